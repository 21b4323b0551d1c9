// The registry Linux presents from attached USB printers and CUPS queues,
// fed devices and queues whose serials, makers, models, port paths and URIs
// come from the input, then walked by the port resolution for every printer
// the spooler lists: the ports PlanUsbPorts plans, and the queues that name
// no attached device.
//
// Promises: every key of the presented tree lists and opens; no presented
// port is contained in another device's presented port; a presented port's
// walk opens its own device and never another; a port left out, or a queue
// that names no device, opens nothing.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "device/RegistryDeviceBus.h"
#include "platform/DeviceFile.h"
#include "platform/Registry.h"
#include "platform/RegistryLayout.h"
#include "posix/UsbPortPlan.h"
#include "posix/UsbPrinterNames.h"
#include "posix/UsbRegistry.h"
#include "protocol/DevicePort.h"
#include "sim/MemorySpooler.h"
#include "sim/SimPlatform.h"
#include "sim/VirtualClock.h"

namespace {

using namespace marnel;

class RecordingDeviceFile : public IDeviceFile {
public:
    HANDLE Open(const std::string& path, DWORD, DWORD, void*, DWORD, DWORD, HANDLE) override {
        m_paths.push_back(path);
        return reinterpret_cast<HANDLE>(0x100 + m_paths.size());
    }
    BOOL Read(HANDLE, void*, DWORD, DWORD*, void*) override { return 0; }
    BOOL IoControl(HANDLE, DWORD, void*, DWORD, void*, DWORD, DWORD*, void*) override { return 0; }
    BOOL Close(HANDLE) override { return 1; }
    const std::vector<std::string>& Paths() const { return m_paths; }

private:
    std::vector<std::string> m_paths;
};

// Discovery and CUPS hand their names over as C strings: each ends at its
// first zero byte.
std::string CText(const std::string& text) {
    return text.substr(0, text.find('\0'));
}

std::string PickText(FuzzedDataProvider& input, const std::vector<const char*>& usual) {
    const std::size_t pick = input.ConsumeIntegralInRange<std::size_t>(0, usual.size());
    return pick < usual.size() ? std::string(usual[pick])
                               : CText(input.ConsumeRandomLengthString(100));
}

std::vector<UsbPrinterDevice> MakeDevices(FuzzedDataProvider& input) {
    std::vector<UsbPrinterDevice> devices;
    const int count = input.ConsumeIntegralInRange<int>(1, 4);
    for (int i = 0; i < count; ++i) {
        UsbPrinterDevice device;
        if (i > 0 && input.ConsumeBool()) {
            device = devices.back();  // another of the same kind
        } else {
            device.vendorId = input.ConsumeBool() ? 0x1A2B : input.ConsumeIntegral<std::uint16_t>();
            device.productId = input.ConsumeIntegralInRange<std::uint16_t>(0x10, 0x12);
            device.manufacturer = PickText(input, {"Zarvel", "ZARVEL", "Other Maker"});
            device.model = PickText(input, {"KQ-10", "KQ-20", "ZT-5"});
            device.serial = PickText(input, {"", "SN1", "SN12", "KQ10SN0001"});
        }
        device.busNumber = input.ConsumeIntegralInRange<std::uint8_t>(1, 3);
        device.address = static_cast<std::uint8_t>(2 + i);  // a place on the bus is never shared
        devices.push_back(device);
    }
    return devices;
}

// Most devices have a port path; taken last, so that an input written before
// port paths were drawn still makes the same devices and queues.
void GivePortPaths(FuzzedDataProvider& input, std::vector<UsbPrinterDevice>* devices) {
    for (UsbPrinterDevice& device : *devices) {
        if (!input.ConsumeBool()) {
            device.portPath =
                std::to_string(device.busNumber) + "-" + std::to_string(device.address);
        }
    }
}

std::vector<QueuePort> MakeQueues(FuzzedDataProvider& input,
                                  const std::vector<UsbPrinterDevice>& devices) {
    std::vector<QueuePort> queues;
    const int count = input.ConsumeIntegralInRange<int>(0, 3);
    for (int i = 0; i < count; ++i) {
        const UsbPrinterDevice& device =
            devices[input.ConsumeIntegralInRange<std::size_t>(0, devices.size() - 1)];
        QueuePort queue;
        queue.driverName =
            input.ConsumeBool() ? DriverNameOf(device) : input.ConsumeRandomLengthString(100);
        switch (input.ConsumeIntegralInRange<int>(0, 3)) {
            case 0:
                queue.portName = UsbDeviceUri(device);
                break;
            case 1:  // the device's URI with more after it
                queue.portName = UsbDeviceUri(device) + input.ConsumeRandomLengthString(100);
                break;
            case 2:
                queue.portName = "usb://" + input.ConsumeRandomLengthString(200);
                break;
            default:
                queue.portName = input.ConsumeRandomLengthString(200);
                break;
        }
        queue.driverName = CText(queue.driverName);
        queue.portName = CText(queue.portName);
        queues.push_back(queue);
    }
    return queues;
}

// Every key of the tree below `path` lists and opens.
void CheckTree(IRegistry& registry, const std::string& path, int depth) {
    RegKey key = nullptr;
    FUZZ_CHECK(registry.OpenKey(kLocalMachine, path, &key));
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        std::string name;
        DWORD error = 0;
        const RegEnumStatus status = registry.EnumKey(key, index, &name, &error);
        FUZZ_CHECK(status != RegEnumStatus::kError);
        if (status == RegEnumStatus::kNoMoreItems) {
            break;
        }
        names.push_back(name);
    }
    registry.CloseKey(key);
    if (depth > 0) {
        for (const std::string& name : names) {
            CheckTree(registry, path + "\\" + name, depth - 1);
        }
    }
}

bool SameDevice(const UsbInterfaceAddress& address, const UsbPrinterDevice& device) {
    return address.vendorId == device.vendorId && address.productId == device.productId &&
           (address.byLocation
                ? address.busNumber == device.busNumber && address.address == device.address
                : address.serial == device.serial);
}

// With MARNEL_FUZZ_SHOW set, a finding is told as the devices and queues it
// was made of.
void Show(const std::vector<UsbPrinterDevice>& devices, const std::vector<QueuePort>& queues) {
    if (std::getenv("MARNEL_FUZZ_SHOW") == nullptr) {
        return;
    }
    for (const UsbPrinterDevice& d : devices) {
        std::fprintf(stderr,
                     "device %04x:%04x bus %u address %u path \"%s\" serial \"%s\" maker \"%s\" "
                     "model \"%s\"\n",
                     d.vendorId, d.productId, d.busNumber, d.address, d.portPath.c_str(),
                     d.serial.c_str(), d.manufacturer.c_str(), d.model.c_str());
    }
    for (const QueuePort& q : queues) {
        std::fprintf(stderr, "queue driver \"%s\" uri \"%s\"\n", q.driverName.c_str(),
                     q.portName.c_str());
    }
}

// A printer as the spooler lists it, and the device its walk must open: -1
// for one that must open nothing.
struct ListedPrinter {
    PrinterInfo info;
    int device = -1;
};

// The attached device an opened interface path names; -1 when none or several.
int OpenedDevice(const std::string& path, const std::vector<UsbPrinterDevice>& devices) {
    UsbInterfaceAddress address;
    FUZZ_CHECK(ParseUsbInterfacePath(path, &address));
    int found = -1;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (SameDevice(address, devices[i])) {
            FUZZ_CHECK(found == -1);
            found = static_cast<int>(i);
        }
    }
    return found;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    std::vector<UsbPrinterDevice> devices = MakeDevices(input);
    const std::vector<QueuePort> queues = MakeQueues(input, devices);
    GivePortPaths(input, &devices);
    Show(devices, queues);

    // The printers the Linux spooler lists: the planned ports, then the
    // queues that name no attached device, on their presented ports.
    const std::vector<UsbPort> plan = PlanUsbPorts(devices, queues);
    std::vector<ListedPrinter> printers;
    for (const UsbPort& port : plan) {
        printers.push_back(
            {{"", port.driverName, port.portName, 0}, port.skipReason.empty() ? port.device : -1});
    }
    for (const QueuePort& queue : queues) {
        bool named = false;
        for (const UsbPrinterDevice& device : devices) {
            named = named || UsbUriNamesDevice(queue.portName, device);
        }
        if (!named) {
            printers.push_back({{"", queue.driverName, PresentedQueuePort(queue.portName), 0}, -1});
        }
    }
    for (std::size_t i = 0; i < printers.size(); ++i) {
        printers[i].info.printerName = "P" + std::to_string(i);
    }

    // The walks take the first printer node that contains the port name.
    for (const UsbPort& a : plan) {
        for (const UsbPort& b : plan) {
            if (a.skipReason.empty() && b.skipReason.empty() && a.device != b.device) {
                FUZZ_CHECK(b.portName.find(a.portName) == std::string::npos);
            }
        }
    }

    UsbRegistry registry([&](std::vector<UsbPrinterDevice>* d, std::vector<QueuePort>* q) {
        *d = devices;
        *q = queues;
        return true;
    });
    CheckTree(registry, kUsbPrintKeyNt, 2);
    CheckTree(registry, kUsbKeyNt, 3);
    CheckTree(registry, kDeviceClassesKey, 3);

    MemorySpooler spooler;
    for (const ListedPrinter& p : printers) {
        spooler.AddPrinter(p.info);
    }
    SimPlatformVersion version;
    RecordingDeviceFile deviceFile;
    VirtualClock clock;
    SimCodePage codePage;
    CRegistryDeviceBus walks(version, registry, deviceFile, codePage);
    const PlatformServices services{spooler, walks, clock, codePage};
    for (const ListedPrinter& p : printers) {
        CDevicePort port(services);
        const std::size_t opensBefore = deviceFile.Paths().size();
        const bool opened = port.Open(p.info.printerName) != 0;
        FUZZ_CHECK(opened == (p.device >= 0));
        FUZZ_CHECK(deviceFile.Paths().size() == opensBefore + (opened ? 1 : 0));
        if (opened) {
            FUZZ_CHECK(OpenedDevice(deviceFile.Paths().back(), devices) == p.device);
        }
    }
    return 0;
}
