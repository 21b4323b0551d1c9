#include "device/UsbPrinterMatch.h"

#include "platform/AsciiCase.h"

namespace marnel {

std::vector<int> DevicesNamedBy(const std::string& uri,
                                const std::vector<UsbPrinterDevice>& devices) {
    std::vector<int> named;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (UsbUriNamesDevice(uri, devices[i])) {
            named.push_back(static_cast<int>(i));
        }
    }
    return named;
}

namespace {

bool NamesOnly(const std::string& uri, const std::vector<UsbPrinterDevice>& devices,
               std::size_t device) {
    return DevicesNamedBy(uri, devices) == std::vector<int>{static_cast<int>(device)};
}

}  // namespace

UsbPrinterMatch MatchUsbPrinters(const std::vector<UsbPrinterDevice>& devices,
                                 const std::vector<PrinterInfo>& queues) {
    UsbPrinterMatch match;
    std::vector<bool> queued(devices.size(), false);
    for (std::size_t q = 0; q < queues.size(); ++q) {
        UsbMatchedPrinter p;
        p.info = queues[q];
        p.queue = static_cast<int>(q);
        p.usb = AsciiEqualsNoCase(p.info.portName.substr(0, 6), "usb://");
        const std::vector<int> named = DevicesNamedBy(p.info.portName, devices);
        if (named.size() == 1) {
            p.device = named[0];
            queued[static_cast<std::size_t>(named[0])] = true;
        } else if (named.size() > 1) {
            p.leftOut = std::to_string(named.size()) +
                        " attached USB printers match its device URI and CUPS cannot tell them "
                        "apart";
        }
        match.printers.push_back(p);
    }
    // "?" is CUPS's "no serial number", whatever the device meant by it.
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const std::string& serial = devices[i].serial;
        match.serialNamesIt.push_back(!serial.empty() && serial != "?" &&
                                      NamesOnly(UsbDeviceUri(devices[i]), devices, i));
    }
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (queued[i] || !IsServiceableDevice(devices[i])) {
            continue;
        }
        UsbMatchedPrinter p;
        p.usb = true;
        p.device = static_cast<int>(i);
        p.info.driverName = DriverNameOf(devices[i]);
        p.info.portName = UsbDeviceUri(devices[i], !match.serialNamesIt[i]);
        if (!match.serialNamesIt[i] &&
            (devices[i].portPath.empty() || !NamesOnly(p.info.portName, devices, i))) {
            p.device = -1;
            p.leftOut =
                "neither a serial number nor a USB port path tells it apart from other "
                "devices";
        }
        // Two alike devices must not share a name: the second is "... (2)".
        int same = 1;
        for (std::size_t e = queues.size(); e < match.printers.size(); ++e) {
            same += match.printers[e].info.driverName == p.info.driverName ? 1 : 0;
        }
        p.info.printerName =
            same == 1 ? p.info.driverName : p.info.driverName + " (" + std::to_string(same) + ")";
        match.printers.push_back(p);
    }
    return match;
}

DeviceRef UsbDeviceRef(const UsbPrinterDevice& device, bool serialNamesIt) {
    const std::string id = std::to_string(device.busNumber) + ":" + std::to_string(device.address);
    return DeviceRef{id, device.model, serialNamesIt ? device.serial : std::string(),
                     device.portPath.empty() ? "bus " + id : device.portPath};
}

bool LocateUsbPrinter(const PrinterInfo& printer, const std::vector<UsbPrinterDevice>& devices,
                      const UsbPrinterMatch& match, const std::string* busError, DeviceRef* ref,
                      LocateFailure* failure) {
    const std::string& uri = printer.portName;
    auto fail = [failure](OpenStep step, const std::string& cause, const std::string& detail) {
        *failure = LocateFailure{step, cause, detail};
        return false;
    };
    if (!AsciiEqualsNoCase(uri.substr(0, 6), "usb://")) {
        return fail(OpenStep::kPrinterNode, "the port is no USB printer's",
                    "the printer " + printer.printerName + " is not on a USB port (" + uri + ")");
    }
    if (busError != nullptr) {
        return fail(OpenStep::kUsbDevice, "the USB devices cannot be listed",
                    "USB devices cannot be listed: " + *busError);
    }
    UsbMatchedPrinter found = MatchUsbPrinters(devices, {printer}).printers[0];
    for (const UsbMatchedPrinter& listed : match.printers) {
        if (listed.info.printerName == printer.printerName && listed.info.portName == uri) {
            found = listed;
        }
    }
    if (!found.leftOut.empty()) {
        return fail(OpenStep::kPrinterNode, "the USB printer is left out",
                    "the USB printer " + uri + " is left out: " + found.leftOut);
    }
    if (found.device < 0) {
        std::string unopened;
        for (const UsbPrinterDevice& device : devices) {
            if (!device.openError.empty()) {
                unopened += (unopened.empty() ? "" : ", ") + UsbDeviceKeyName(device) + " on bus " +
                            std::to_string(device.busNumber) + ": " + device.openError;
            }
        }
        return fail(OpenStep::kUsbDevice, "no attached USB printer matches " + uri,
                    "no attached USB printer matches " + uri +
                        (unopened.empty()
                             ? std::string()
                             : "; printers that could not be asked who they are: " + unopened));
    }
    const std::size_t at = static_cast<std::size_t>(found.device);
    *ref = UsbDeviceRef(devices[at], match.serialNamesIt[at]);
    return true;
}

}  // namespace marnel
