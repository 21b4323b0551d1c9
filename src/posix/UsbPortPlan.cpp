#include "posix/UsbPortPlan.h"

#include "platform/AsciiCase.h"

namespace marnel {

namespace {

// A port whose node could not be listed or whose driver name could not be
// read back would fail every walk that meets it, so it is left out.
std::string NameProblem(const UsbPort& port) {
    if (port.portName.size() > kMaxPortChars) {
        return "its port name is " + std::to_string(port.portName.size()) +
               " characters long, more than the " + std::to_string(kMaxPortChars) +
               " a printer node can hold";
    }
    if (port.driverName.size() >= kRegValueBytes) {
        return "its driver name is " + std::to_string(port.driverName.size()) +
               " characters long, more than the " + std::to_string(kRegValueBytes - 1) +
               " that can be read back";
    }
    return std::string();
}

// Whether a URI names this device and no other attached one. A serial that
// another alike device shares, or "?" (which CUPS reads as no serial at
// all), leaves its URI naming those others too.
bool NamesOnly(const std::vector<UsbPrinterDevice>& devices, std::size_t index,
               const std::string& uri) {
    for (std::size_t j = 0; j < devices.size(); ++j) {
        if (j != index && UsbUriNamesDevice(uri, devices[j])) {
            return false;
        }
    }
    return true;
}

// Key names ignore letter case, so a printer node whose name differs from an
// earlier one's only in case would merge with it and its walk would find
// nothing. The very same port with the same driver is served by that one node.
std::string KeyClash(const std::vector<UsbPort>& plan, const UsbPort& port) {
    for (const UsbPort& earlier : plan) {
        if (!earlier.skipReason.empty() || earlier.device != port.device ||
            !AsciiEqualsNoCase(earlier.portName, port.portName)) {
            continue;
        }
        if (earlier.portName != port.portName) {
            return "its port name differs only in letter case from " + earlier.portName +
                   ", an earlier queue's port for the same device";
        }
        if (!AsciiEqualsNoCase(earlier.driverName, port.driverName)) {
            return "an earlier queue on the same port has another driver (" + earlier.driverName +
                   ")";
        }
    }
    return std::string();
}

}  // namespace

std::vector<UsbPort> PlanUsbPorts(const std::vector<UsbPrinterDevice>& devices,
                                  const std::vector<QueuePort>& queues) {
    std::vector<UsbPort> plan;
    std::vector<bool> queued(devices.size(), false);
    for (const QueuePort& queue : queues) {
        std::vector<std::size_t> named;
        for (std::size_t i = 0; i < devices.size(); ++i) {
            if (UsbUriNamesDevice(queue.portName, devices[i])) {
                named.push_back(i);
            }
        }
        if (named.empty()) {
            continue;
        }
        UsbPort port;
        port.driverName = queue.driverName;
        port.portName = PresentedUsbPort(queue.portName);
        if (named.size() > 1) {
            // CUPS prints to whichever of them it finds first: neither is safe.
            port.skipReason = std::to_string(named.size()) +
                              " attached USB printers match its device URI and CUPS cannot "
                              "tell them apart";
        } else {
            port.device = static_cast<int>(named[0]);
            queued[named[0]] = true;
            port.skipReason = NameProblem(port);
            if (port.skipReason.empty()) {
                port.skipReason = KeyClash(plan, port);
            }
        }
        plan.push_back(port);
    }
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (queued[i] || !IsServiceableDevice(devices[i])) {
            continue;
        }
        UsbPort port;
        port.device = static_cast<int>(i);
        port.driverName = DriverNameOf(devices[i]);
        port.queueless = true;
        const std::string bySerial = UsbDeviceUri(devices[i]);
        const bool locate = devices[i].serial.empty() || !NamesOnly(devices, i, bySerial);
        const std::string uri = locate ? UsbDeviceUri(devices[i], true) : bySerial;
        port.portName = PresentedUsbPort(uri);
        if (locate && (devices[i].portPath.empty() || !NamesOnly(devices, i, uri))) {
            port.skipReason =
                "neither a serial number nor a USB port path tells it apart from other devices";
        } else {
            port.skipReason = NameProblem(port);
        }
        plan.push_back(port);
    }
    return plan;
}

std::string SkipReasonOf(const std::vector<UsbPort>& plan, const std::string& portName) {
    for (const UsbPort& port : plan) {
        if (port.portName == portName && !port.skipReason.empty()) {
            return port.skipReason;
        }
    }
    return std::string();
}

std::string SkipReasonOf(const std::vector<UsbPort>& plan, const std::string& driverName,
                         const std::string& portName) {
    for (const UsbPort& port : plan) {
        if (port.portName == portName && AsciiEqualsNoCase(port.driverName, driverName)) {
            return port.skipReason;
        }
    }
    return SkipReasonOf(plan, portName);
}

}  // namespace marnel
