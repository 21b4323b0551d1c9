#include "ops/DeviceProbe.h"

#include "device/AnsiText.h"
#include "ops/DeviceAccess.h"
#include "protocol/DevicePort.h"

namespace marnel {

const char* DeviceModeName(DeviceMode mode) {
    static const char* const kNames[] = {"service", "update", "not answering"};
    static_assert(sizeof kNames / sizeof *kNames == 1 + static_cast<int>(DeviceMode::kNotAnswering),
                  "one name per mode");
    return kNames[static_cast<int>(mode)];
}

DeviceProbe ProbeDevice(const PlatformServices& services, const std::string& printerName,
                        const RequestObserver& observer) {
    DeviceProbe probe;
    CDevicePort port(services);
    if (observer) {
        port.SetRequestObserver(observer);
    }
    const BOOL opened = port.Open(printerName);
    probe.location = port.Device().location;
    probe.serial = port.Device().serial;
    if (!opened) {
        probe.detail = DescribeOpenFailure(port.LastOpenFailure(), "this machine");
        return probe;
    }
    // A device restarted for an update takes print data only: it opens, but
    // its identity request is refused or answered otherwise.
    const Status identity = port.IsServiceMode();
    if (identity) {
        probe.mode = DeviceMode::kService;
    } else {
        probe.mode = DeviceMode::kUpdate;
        probe.detail = identity.Error().Describe();
    }
    return probe;
}

std::string SerialOfPrinter(const PlatformServices& services, const std::string& printerName) {
    CUsbPrinterPort port(services);
    return port.Locate(printerName) ? port.Device().serial : std::string();
}

std::string FindPrinterBySerial(const PlatformServices& services, const DeviceSelection& selection,
                                const std::string& serial) {
    for (PrinterVerdict wanted : {PrinterVerdict::kQualifies, PrinterVerdict::kOffline}) {
        for (const SelectionCandidate& candidate : selection.printers) {
            if (candidate.verdict == wanted && !serial.empty() &&
                AnsiEqualsNoCase(services.codePage,
                                 SerialOfPrinter(services, candidate.info.printerName), serial)) {
                return candidate.info.printerName;
            }
        }
    }
    return std::string();
}

}  // namespace marnel
