// What a printer's device is, beyond its printer record: its serial number
// and the mode it answers in. Both front ends ask through the same port as
// every command.
#pragma once

#include <string>

#include "ops/PrinterSelection.h"
#include "platform/Services.h"
#include "protocol/DeviceFailure.h"

namespace marnel {

enum class DeviceMode {
    kService,       // answers the identity request with "SERVICE"
    kUpdate,        // opens, but answers otherwise or refuses: restarted for "VERSION UP"
    kNotAnswering,  // the device could not be opened
};

// "service", "update", "not answering".
const char* DeviceModeName(DeviceMode mode);

struct DeviceProbe {
    std::string location;  // where the unit is attached; empty when the printer leads to none
    std::string serial;    // empty when the unit has none
    DeviceMode mode = DeviceMode::kNotAnswering;
    std::string detail;  // for a mode other than service: what happened, for the expert
};

// Opens the printer's device, asks its identity once and closes it again.
// `observer` sees the request (a trace).
DeviceProbe ProbeDevice(const PlatformServices& services, const std::string& printerName,
                        const RequestObserver& observer = nullptr);

// The serial of the printer's device without opening it; empty when the
// printer leads to no device or the device has none.
std::string SerialOfPrinter(const PlatformServices& services, const std::string& printerName);

// The maker's printer whose device carries `serial` (letter case ignored, as
// the system may change it): the first online one, else the first offline
// one. Empty when none does.
std::string FindPrinterBySerial(const PlatformServices& services, const DeviceSelection& selection,
                                const std::string& serial);

}  // namespace marnel
