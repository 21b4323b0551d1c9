#include "sim/SimWorld.h"

#include "platform/AsciiCase.h"

#include <cstdio>
#include <string>

#include "platform/RegistryLayout.h"

namespace marnel {

namespace {

// The path of `subkey` below the key `key`.
std::string Below(const char* key, const std::string& subkey) {
    return std::string(key) + "\\" + subkey;
}

std::string Hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

// "VID_1A2B&PID_0010": one product id per model.
std::string UsbId(SimModel model) {
    switch (model) {
        case SimModel::kKQ10:
            return "VID_1A2B&PID_0010";
        case SimModel::kKQ20:
            return "VID_1A2B&PID_0020";
        case SimModel::kZT5:
            return "VID_1A2B&PID_0105";
    }
    return "VID_1A2B&PID_FFFF";
}

std::string WithoutDash(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c != '-') {
            out += c;
        }
    }
    return out;
}

}  // namespace

SimWorld::SimWorld(IHashing* hashing)
    : m_services{m_spooler, m_bus, m_clock, m_codePage, &m_files, &m_environment, hashing} {
    m_spooler.OnJobDelivered([this](const SpoolerJob& job) { DeliverJob(job); });
    // Every machine has a root hub; the walks list it before any device.
    const std::string hub = Below(kUsbKeyNt, "ROOT_HUB20\\4&1B2C3D4E&0");
    m_registry.SetString(hub, "DeviceDesc", "USB Root Hub");
    m_registry.SetString(
        hub + "\\Device Parameters", "SymbolicName",
        "\\??\\USB#ROOT_HUB20#4&1b2c3d4e&0#{f18a0e88-c30c-11d0-8815-00a0c906bed8}");
}

SimWorld::~SimWorld() = default;

SimInstalledDevice& SimWorld::AddDevice(const SimDeviceSetup& setup) {
    const std::size_t number = m_devices.size() + 1;
    m_devices.emplace_back(setup.model);
    SimInstalledDevice& installed = m_devices.back();
    installed.device.SetClock(&m_clock);

    const std::string model = SimModelName(setup.model);
    PrinterInfo& printer = installed.printer;
    printer.printerName = setup.printerName.empty() ? "Zarvel " + model : setup.printerName;
    printer.driverName = setup.driverName.empty() ? "Zarvel " + model : setup.driverName;
    printer.portName = setup.portName;
    while (printer.portName.empty()) {
        const std::string port = "USB" + std::to_string(1000 + ++m_portsUsed).substr(1);
        bool used = false;
        for (const PrinterInfo& other : m_spooler.Printers()) {
            used = used || AsciiEqualsNoCase(other.portName, port);
        }
        if (!used) {
            printer.portName = port;
        }
    }
    printer.attributes = 0x40 | (setup.offline ? kPrinterAttributeWorkOffline : 0);  // local
    installed.serial = setup.serial.empty()
                           ? WithoutDash(model) + "SN" + std::to_string(10000 + number).substr(1)
                           : setup.serial;

    const std::string usbId = UsbId(setup.model);
    installed.devicePath =
        "\\\\?\\USB#" + usbId + "#" + installed.serial + "#" + kUsbDeviceInterfaceClass;
    installed.devicePath9x = "\\\\.\\" + installed.serial + "#" + kUsbPrintInterfaceClass;

    WriteKeys(installed, number);
    m_spooler.AddPrinter(printer);
    m_deviceFile.Attach(installed.devicePath, installed.device);
    m_deviceFile.Attach(installed.devicePath9x, installed.device);
    return installed;
}

void SimWorld::WriteKeys(const SimInstalledDevice& installed, std::size_t number) {
    const PrinterInfo& printer = installed.printer;
    const std::string usbId = UsbId(installed.device.Model());
    const std::string& serial = installed.serial;
    // The printer node's hardware key: maker, model and a checksum.
    const std::string hardwareKey = "Zarvel" + std::string(SimModelName(installed.device.Model())) +
                                    Hex(0xA1B2u + static_cast<unsigned>(number), 4);

    // NT family: the printer node's instance is named after its parent's
    // "ParentIdPrefix" and the port.
    const std::string parentIdPrefix =
        "7&" + AsciiLowered(Hex(0x2F1E3A4Bu + static_cast<unsigned>(number) * 0x111u, 8)) + "&0";
    const std::string printNode =
        Below(kUsbPrintKeyNt, hardwareKey + "\\" + parentIdPrefix + "&" + printer.portName);
    m_registry.SetString(printNode, "DeviceDesc", printer.driverName);
    m_registry.SetString(printNode + "\\Device Parameters", "Port Name", printer.portName);

    const std::string usbNode = Below(kUsbKeyNt, usbId + "\\" + serial);
    m_registry.SetString(usbNode, "DeviceDesc", "USB Printing Support");
    m_registry.SetString(usbNode, "ParentIdPrefix", parentIdPrefix);
    m_registry.SetString(usbNode + "\\Device Parameters", "SymbolicName",
                         "\\??\\USB#" + usbId + "#" + serial + "#" + kUsbDeviceInterfaceClass);

    const std::string usbClass = Below(kDeviceClassesKey, kUsbDeviceInterfaceClass);
    const std::string usbRecord =
        usbClass + "\\##?#USB#" + usbId + "#" + serial + "#" + kUsbDeviceInterfaceClass;
    m_registry.SetString(usbRecord, "DeviceInstance", "USB\\" + usbId + "\\" + serial);
    m_registry.SetString(usbRecord + "\\#", "SymbolicLink", installed.devicePath);

    const std::string printClass = Below(kDeviceClassesKey, kUsbPrintInterfaceClass);
    const std::string printRecord = printClass + "\\##?#USBPRINT#" + hardwareKey + "#" +
                                    parentIdPrefix + "&" + printer.portName + "#" +
                                    kUsbPrintInterfaceClass;
    m_registry.SetString(
        printRecord, "DeviceInstance",
        "USBPRINT\\" + hardwareKey + "\\" + parentIdPrefix + "&" + printer.portName);
    m_registry.SetString(printRecord + "\\#", "SymbolicLink",
                         "\\\\?\\USBPRINT#" + hardwareKey + "#" + parentIdPrefix + "&" +
                             printer.portName + "#" + kUsbPrintInterfaceClass);

    // 95/98/Me family: the printer node names the device by its ids.
    m_registry.SetString(
        Below(kUsbPrintKey9x, hardwareKey + "\\" + printer.portName + "&" + usbId + "&" + serial),
        "DeviceDesc", printer.driverName);
    m_registry.SetString(Below(kUsbKey9x, usbId + "\\" + serial), "SymbolicName",
                         "\\DosDevices\\" + serial + "#" + kUsbPrintInterfaceClass);
    m_registry.SetString(printClass + "\\##.#" + serial + "#" + kUsbPrintInterfaceClass + "\\#",
                         "SymbolicLink", installed.devicePath9x);
}

void SimWorld::AddOtherPrinter(const std::string& printerName, const std::string& driverName,
                               const std::string& portName) {
    m_spooler.AddPrinter({printerName, driverName, portName, 0x40});
    // Its printer node names a parent that is no USB device of this machine.
    m_registry.SetString(
        Below(kUsbPrintKeyNt, WithoutDash(driverName) + "\\8&99aabbcc&0&" + portName), "DeviceDesc",
        driverName);
}

std::size_t SimWorld::UnexpectedCount() const {
    std::size_t count = 0;
    for (const SimInstalledDevice& installed : m_devices) {
        count += installed.device.UnexpectedCount();
    }
    return count;
}

SimInstalledDevice* SimWorld::Find(const std::string& printerName) {
    for (SimInstalledDevice& installed : m_devices) {
        if (AsciiEqualsNoCase(installed.printer.printerName, printerName)) {
            return &installed;
        }
    }
    return nullptr;
}

bool SimWorld::Unplug(const std::string& printerName) {
    SimInstalledDevice* installed = Find(printerName);
    if (installed == nullptr) {
        return false;
    }
    m_deviceFile.Detach(installed->devicePath);
    m_deviceFile.Detach(installed->devicePath9x);
    installed->plugged = false;
    return true;
}

bool SimWorld::Plug(const std::string& printerName) {
    SimInstalledDevice* installed = Find(printerName);
    if (installed == nullptr) {
        return false;
    }
    if (!installed->plugged) {
        m_deviceFile.Attach(installed->devicePath, installed->device);
        m_deviceFile.Attach(installed->devicePath9x, installed->device);
        installed->plugged = true;
    }
    return true;
}

bool SimWorld::SetOffline(const std::string& printerName, bool offline) {
    SimInstalledDevice* installed = Find(printerName);
    if (installed == nullptr) {
        return false;
    }
    DWORD& attributes = installed->printer.attributes;
    attributes = offline ? (attributes | kPrinterAttributeWorkOffline)
                         : (attributes & ~kPrinterAttributeWorkOffline);
    return m_spooler.SetAttributes(printerName, attributes);
}

bool SimWorld::DeletePrinter(const std::string& printerName) {
    return m_spooler.RemovePrinter(printerName);
}

void SimWorld::DeliverJob(const SpoolerJob& job) {
    // The spooler sends a finished job to the printer's port; only a device
    // plugged in at that port takes it.
    for (SimInstalledDevice& installed : m_devices) {
        if (installed.plugged && AsciiEqualsNoCase(installed.printer.portName, job.portName)) {
            installed.device.ReceiveJob(job.data);
            return;
        }
    }
}

}  // namespace marnel
