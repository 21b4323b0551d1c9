#include "ops/FleetApply.h"

#include "files/FileErrorMessage.h"
#include "ops/ParameterWrite.h"
#include "ops/PutParameters.h"
#include "protocol/DevicePort.h"

namespace marnel {

namespace {

// An outcome's cause in one line.
std::string Cause(const Outcome& outcome) {
    if (outcome.fileError) {
        return FileErrorMessage(*outcome.fileError);
    }
    const std::string detail = outcome.Detail();
    return detail.empty() ? OutcomeText(outcome.kind) : detail;
}

class CUnitApply {
public:
    CUnitApply(CDeviceAccess& access, IFileSystem& files, IHashing* hashing,
               const Profile& profile, const FleetApplyPolicy& policy,
               const FirmwareObserverFor& observerFor, const ICancelToken& cancel,
               const ChangeLog& log, UnitApplication& application)
        : m_access(access),
          m_files(files),
          m_hashing(hashing),
          m_profile(profile),
          m_policy(policy),
          m_observerFor(observerFor),
          m_cancel(cancel),
          m_log(log),
          m_application(application) {
        m_log.recorded = [&application, &log](const std::string& line) {
            application.history.push_back(line);
            if (log.recorded) {
                log.recorded(line);
            }
        };
    }

    void Run(const SurveyedUnit& unit);

private:
    bool Fail(const std::string& error) {
        m_application.result = ApplyResult::kFailed;
        m_application.error = error;
        return false;
    }
    bool Recorded(const std::optional<CFileException>& historyError) {
        return !historyError ||
               Fail("the change was not recorded: " + FileErrorMessage(*historyError));
    }
    // Only the unit surveyed may be written: the printer must still lead to it.
    bool Reopen(const SurveyedUnit& unit, OpenedDevice* device) {
        if (m_access.Reopen(unit.printer, unit.Identity(), device)) {
            return true;
        }
        return Fail(m_access.WrongUnit().location.empty()
                        ? "the unit could not be opened again: " +
                              DescribeOpenFailure(m_access.LastOpenFailure(), "this machine")
                        : "another unit (" + m_access.WrongUnit().Describe() + ") answered for " +
                              unit.printer + "; nothing was written to it");
    }
    bool Upgrade(const SurveyedUnit& unit, const ModelProfile& wanted);
    bool PutBlock(const SurveyedUnit& unit, const ModelProfile& wanted);

    CDeviceAccess& m_access;
    IFileSystem& m_files;
    IHashing* m_hashing;
    const Profile& m_profile;
    const FleetApplyPolicy& m_policy;
    const FirmwareObserverFor& m_observerFor;
    const ICancelToken& m_cancel;
    ChangeLog m_log;
    UnitApplication& m_application;
};

void CUnitApply::Run(const SurveyedUnit& unit) {
    UnitApplication& application = m_application;
    application.before = CompareUnit(unit, m_profile);
    application.after = application.before;
    if (!unit.Read()) {
        Fail(unit.error);
        return;
    }
    if (!application.before.covered || application.before.compliant) {
        return;
    }
    const ModelProfile& wanted = *ProfileFor(m_profile, unit.model);
    const std::optional<FirmwareCompliance>& firmware = application.before.firmware;
    if (firmware && !firmware->compliant && !wanted.firmware->image) {
        Fail("the unit runs firmware " + firmware->current + ", the profile wants " +
             firmware->wanted + " but names no image for the " + unit.model +
             "; nothing was written");
        return;
    }
    const bool done = (!firmware || firmware->compliant || Upgrade(unit, wanted)) &&
                      (!wanted.parameters || PutBlock(unit, wanted));
    SurveyedUnit now = SurveyUnit(m_access, unit.printer, m_hashing);
    application.after = CompareUnit(now, m_profile);
    if (done && !application.after.compliant) {
        Fail(now.Read() ? "the unit still differs from the profile after the changes"
                        : "the unit could not be read after the changes: " + now.error);
    } else if (done) {
        application.result = application.changed ? ApplyResult::kChanged : ApplyResult::kUnchanged;
    }
}

bool CUnitApply::Upgrade(const SurveyedUnit& unit, const ModelProfile& wanted) {
    if (OpenedDevice device; !Reopen(unit, &device)) {
        return false;
    }
    FirmwarePolicy policy;
    policy.checkFile = true;
    policy.checkQueue = true;
    policy.baseline = true;
    policy.verify = true;
    policy.verifyTimeoutMs = m_policy.verifyTimeoutMs;
    const std::unique_ptr<IFirmwareObserver> observer = m_observerFor(unit.printer);
    const FirmwareOutcome outcome = UpgradeFirmware(m_access, unit.printer, m_files,
                                                    wanted.firmware->image->path, policy,
                                                    *observer, m_cancel, m_log);
    if (!outcome.backup.empty()) {
        m_application.backups.push_back(outcome.backup);
    }
    m_application.changed = m_application.changed || outcome.bytesSent > 0;
    if (outcome.kind == OutcomeKind::kCancelled) {
        return Fail("firmware: the unit was not restarted in its update mode in time; nothing "
                    "was sent");
    }
    if (!outcome.Succeeded()) {
        return Fail("firmware: " + Cause(outcome));
    }
    if (outcome.versionAfter != wanted.firmware->version) {
        return Fail("firmware: the unit runs " + outcome.versionAfter + " after the upgrade, not " +
                    wanted.firmware->version);
    }
    return Recorded(outcome.historyError);
}

bool CUnitApply::PutBlock(const SurveyedUnit& unit, const ModelProfile& wanted) {
    OpenedDevice device;
    if (!Reopen(unit, &device)) {
        return false;
    }
    // Firmware may have changed the block: it is compared again as it is now.
    ParameterBlockBytes current{};
    bool valid = false;
    const Status read = ReadBlockAsDelivered(*device.port, current, &valid);
    if (!read) {
        return Fail("the parameters could not be read: " + read.Error().Describe());
    }
    if (current == wanted.block) {
        return true;
    }
    PutParametersPolicy policy;
    policy.checkFile = true;
    policy.backup = true;
    policy.readBack = true;
    const PutParametersOutcome outcome = PutParameters(device, wanted.block,
                                                       wanted.parameters->path, policy, m_cancel,
                                                       m_log);
    if (!outcome.backup.empty()) {
        m_application.backups.push_back(outcome.backup);
    }
    m_application.changed = m_application.changed || outcome.step == PutStep::kDone ||
                            outcome.step == PutStep::kReadBack;
    if (!outcome.Succeeded()) {
        return Fail("parameters: " + Cause(outcome));
    }
    return Recorded(outcome.historyError);
}

}  // namespace

const char* ApplyResultName(ApplyResult result) {
    static const char* const kNames[] = {"unchanged", "changed", "failed"};
    return kNames[static_cast<int>(result)];
}

bool FleetApplication::Failed() const {
    for (const UnitApplication& unit : units) {
        if (unit.result == ApplyResult::kFailed) {
            return true;
        }
    }
    return false;
}

FleetApplication ApplyProfile(CDeviceAccess& access, IFileSystem& files, IHashing* hashing,
                              const Profile& profile, const std::vector<SurveyedUnit>& survey,
                              const FleetApplyPolicy& policy,
                              const FirmwareObserverFor& observerFor, const ICancelToken& cancel,
                              const ChangeLog& log) {
    FleetApplication fleet;
    for (const SurveyedUnit& unit : survey) {
        UnitApplication& application = fleet.units.emplace_back();
        fleet.signal = fleet.signal != 0 ? fleet.signal : cancel.Requested();
        if (fleet.signal != 0) {
            application.before = application.after = CompareUnit(unit, profile);
            application.result = ApplyResult::kFailed;
            application.error = "interrupted before this unit";
            continue;
        }
        CUnitApply(access, files, hashing, profile, policy, observerFor, cancel, log, application)
            .Run(unit);
        fleet.changed = fleet.changed || application.changed;
    }
    return fleet;
}

}  // namespace marnel
