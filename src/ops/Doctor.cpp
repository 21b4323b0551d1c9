#include "ops/Doctor.h"

#include <algorithm>

#include "ops/DeviceProbe.h"
#include "ops/PrinterSelection.h"

namespace marnel {

namespace {

std::vector<MachineCheck> PrinterChecks(const DeviceSelection& selection) {
    std::vector<MachineCheck> checks;
    for (const SelectionCandidate& candidate : selection.printers) {
        const std::string name =
            candidate.info.printerName + " (" + candidate.info.driverName + ")";
        if (candidate.verdict == PrinterVerdict::kQualifies) {
            checks.push_back({"printers", CheckStatus::kOk, name + " is ready", ""});
        } else if (candidate.verdict == PrinterVerdict::kOffline) {
            const std::string why =
                candidate.offline.reason.empty() ? "working offline" : candidate.offline.reason;
            // A state the user can resume is a fault; an absent device may
            // simply be unplugged.
            checks.push_back(
                {"printers",
                 candidate.offline.fix.empty() ? CheckStatus::kWarn : CheckStatus::kFail,
                 name + " is offline: " + why, candidate.offline.fix});
        }
    }
    if (checks.empty()) {
        checks.push_back(
            {"printers", CheckStatus::kWarn, "no Zarvel printer or device is installed", ""});
    }
    return checks;
}

std::vector<MachineCheck> IdentityChecks(const PlatformServices& services,
                                         const DeviceSelection& selection) {
    std::vector<MachineCheck> checks;
    std::vector<std::string> asked;  // locations: two queues may share a device
    for (const SelectionCandidate& candidate : selection.printers) {
        if (candidate.verdict == PrinterVerdict::kNotDevice) {
            continue;
        }
        const DeviceProbe probe = ProbeDevice(services, candidate.info.printerName);
        if (probe.location.empty() ||
            std::find(asked.begin(), asked.end(), probe.location) != asked.end()) {
            continue;  // no device behind it (said above), or asked already
        }
        asked.push_back(probe.location);
        const std::string name =
            candidate.info.printerName +
            (probe.serial.empty() ? std::string() : " (serial " + probe.serial + ")");
        switch (probe.mode) {
            case DeviceMode::kService:
                checks.push_back(
                    {"identity", CheckStatus::kOk, name + " answers in service mode", ""});
                break;
            case DeviceMode::kUpdate:
                checks.push_back(
                    {"identity", CheckStatus::kWarn,
                     name + " is in update mode (VERSION UP), or refuses: " + probe.detail, ""});
                break;
            case DeviceMode::kNotAnswering:
                checks.push_back({"identity", CheckStatus::kFail,
                                  name + " does not answer: " + probe.detail, ""});
                break;
        }
    }
    if (checks.empty()) {
        checks.push_back({"identity", CheckStatus::kInfo, "no attached device to ask", ""});
    }
    return checks;
}

void Append(std::vector<MachineCheck>* checks, std::vector<MachineCheck> more) {
    checks->insert(checks->end(), more.begin(), more.end());
}

}  // namespace

const char* CheckStatusName(CheckStatus status) {
    static const char* const kNames[] = {"ok", "info", "warn", "fail"};
    static_assert(sizeof kNames / sizeof *kNames == 1 + static_cast<int>(CheckStatus::kFail),
                  "one name per status");
    return kNames[static_cast<int>(status)];
}

std::vector<MachineCheck> RunDoctor(const PlatformServices& services, IMachineCheckup* checkup) {
    std::vector<MachineCheck> checks;
    if (checkup) {
        Append(&checks, checkup->SpoolerChecks());
    }
    const DeviceSelection selection = SelectDevicePrinter(services.spooler, services.codePage);
    Append(&checks, PrinterChecks(selection));
    if (checkup) {
        Append(&checks, checkup->DeviceChecks());
    }
    Append(&checks, IdentityChecks(services, selection));
    if (checkup) {
        Append(&checks, checkup->QueueChecks());
    }
    return checks;
}

bool Healthy(const std::vector<MachineCheck>& checks) {
    return std::none_of(checks.begin(), checks.end(), [](const MachineCheck& check) {
        return check.status == CheckStatus::kFail;
    });
}

}  // namespace marnel
