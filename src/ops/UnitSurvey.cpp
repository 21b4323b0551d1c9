#include "ops/UnitSurvey.h"

#include "device/AnsiText.h"
#include "files/Sha256.h"
#include "ops/ParameterWrite.h"
#include "ops/PrinterSelection.h"
#include "protocol/DevicePort.h"

namespace marnel {

namespace {

bool InScope(const PlatformServices& services, const SurveyScope& scope,
             const std::string& printer) {
    if (!scope.printer.empty() && !AnsiEqualsNoCase(services.codePage, printer, scope.printer)) {
        return false;
    }
    // The serial from the bus, without opening: a unit that does not answer
    // is still found by it.
    return scope.serial.empty() ||
           AnsiEqualsNoCase(services.codePage, SerialOfPrinter(services, printer), scope.serial);
}

}  // namespace

SurveyedUnit SurveyUnit(CDeviceAccess& access, const std::string& printer, IHashing* hashing) {
    SurveyedUnit unit;
    unit.printer = printer;
    OpenedDevice device;
    if (!access.Open(printer, &device)) {
        unit.serial = SerialOfPrinter(access.Services(), printer);
        unit.error = DescribeOpenFailure(access.LastOpenFailure(), "this machine");
        return unit;
    }
    CDevicePort& port = *device.port;
    unit.serial = device.identity.serial;
    unit.location = device.identity.location;
    unit.model = port.Device().model;
    const Status identity = port.IsServiceMode();
    if (!identity) {
        // Restarted for an update, it takes print data only.
        unit.mode = DeviceMode::kUpdate;
        unit.error = "the unit does not answer in service mode (" + identity.Error().Describe() +
                     ")";
        return unit;
    }
    unit.mode = DeviceMode::kService;
    VersionBuffer version{};
    const Status versionRead = port.ReadVersion(version);
    if (!versionRead) {
        unit.error = "the version could not be read: " + versionRead.Error().Describe();
        return unit;
    }
    unit.firmware = TerminatedText(version.data(), version.size());
    // A damaged block is still the unit's: read as delivered, judged apart.
    const Status blockRead = ReadBlockAsDelivered(port, unit.block, &unit.blockValid);
    if (!blockRead) {
        unit.block = ParameterBlockBytes{};
        unit.error = "the parameters could not be read: " + blockRead.Error().Describe();
        return unit;
    }
    unit.blockRead = true;
    const std::string tag = DescribeParameterBlock(unit.block).modelTag;
    if (!tag.empty()) {
        unit.model = tag;
    }
    if (hashing != nullptr) {
        unit.blockSha256 = Sha256Of(*hashing, unit.block.data(), unit.block.size());
    }
    return unit;
}

UnitSurvey SurveyUnits(CDeviceAccess& access, const SurveyScope& scope, IHashing* hashing) {
    const PlatformServices& services = access.Services();
    const DeviceSelection selection = SelectDevicePrinter(services.spooler, services.codePage);
    UnitSurvey survey;
    survey.incomplete = selection.SourceFailed();
    for (const SelectionCandidate& candidate : selection.printers) {
        const std::string& printer = candidate.info.printerName;
        if (candidate.verdict == PrinterVerdict::kQualifies && InScope(services, scope, printer)) {
            survey.units.push_back(SurveyUnit(access, printer, hashing));
        }
    }
    return survey;
}

}  // namespace marnel
