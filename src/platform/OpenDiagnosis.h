// What a back end can add when a printer does not lead to an open device.
// The core knows which step of the resolution failed and the names it had
// found by then; the machine's own reason (a queue it cannot reach, a device
// that is absent or held by another driver, a permission) is the back end's,
// and it goes into the same failure record, so a failure is explained once.
#pragma once

#include <string>

namespace marnel {

// The step of opening a port that failed.
enum class OpenStep {
    kNone,             // the open succeeded, or was not tried
    kPlatformVersion,  // the version query failed
    kPrinter,          // the spooler gave no driver and port names
    kPrinterNode,      // no USB printer node for the driver and port
    kUsbDevice,        // no USB device node (or interface class) behind it
    kInterfaceLink,    // no device-interface record with a symbolic link
    kDeviceFile,       // the device path did not open
};

class IOpenDiagnosis {
public:
    virtual ~IOpenDiagnosis() = default;

    // One line for the expert on why `printerName` (on `portName`, empty when
    // the spooler gave none) failed at `step`; empty when there is nothing to
    // add to the core's own cause.
    virtual std::string Explain(OpenStep step, const std::string& printerName,
                                const std::string& portName) = 0;
};

}  // namespace marnel
