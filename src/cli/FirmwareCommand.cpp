// The firmware command: the use case with the tool's policy, its prompts on
// the console, a progress bar, and the outcome told as lines or JSON.
#include <istream>
#include <ostream>

#include "cli/Commands.h"
#include "cli/ConsoleFirmwareObserver.h"
#include "cli/ExitStatus.h"
#include "cli/FileErrorText.h"
#include "cli/SignalHold.h"
#include "platform/Clock.h"
#include "res/StringTable.h"

namespace marnel::cli {

namespace {

// "byte 40", "bytes 8-11, 40".
std::string Bytes(const std::string& ranges) {
    return (ranges.find_first_of("-,") == std::string::npos ? "byte " : "bytes ") + ranges;
}

// "Firmware not sent: the queue held the job (job-hold-until-specified); the
// job was cancelled." A job stopped or dropped part way may have given the
// unit some of it.
std::string JobHeldText(const FirmwareOutcome& outcome) {
    const JobState state = outcome.job.state;
    const bool partly = state == JobState::kStopped || state == JobState::kCancelled;
    std::string text =
        (partly ? "Firmware not sent whole: " : "Firmware not sent: ") + outcome.Detail();
    if (state == JobState::kCancelled) {
        return text + ".";
    }
    return text + (outcome.cancelFailure.empty()
                       ? "; the job was cancelled."
                       : "; the job could not be cancelled (" + outcome.cancelFailure +
                             "): cancel it before the queue is released.");
}

}  // namespace

int DeviceCommands::Firmware(const std::string& file, const FirmwareOptions& firmwareOptions) {
    if (!StateFolderUsable()) {
        return kExitUsage;
    }
    FirmwarePolicy policy;
    policy.checkFile = true;
    policy.checkQueue = true;
    policy.baseline = true;
    policy.verify = firmwareOptions.verify;
    policy.verifyTimeoutMs = firmwareOptions.verifyTimeoutSeconds * 1000ull;
    policy.restoreParams = firmwareOptions.restoreParams;
    const std::string printer = ChoosePrinter();
    CConsoleFirmwareObserver observer(m_console, m_world, firmwareOptions, printer);
    // Ctrl+C or SIGTERM cancels the job between pieces: never a job left
    // half made in the spooler.
    SignalHold hold;
    CDeviceAccess access = MakeAccess();
    const FirmwareOutcome outcome =
        UpgradeFirmware(access, printer, m_files, file, policy, observer, hold, MakeChangeLog());
    observer.EndBar();
    if (outcome.blockBeforeInvalid) {
        m_console.Warning("the device's parameter block failed its checksum before the upgrade; "
                          "it was backed up as read");
    }
    int status = ExitStatusFor(outcome);
    if (outcome.stage < FirmwareStage::kVerify && !outcome.Succeeded()) {
        status = RenderFirmwareFailure(file, outcome);
    } else {
        nlohmann::json result{{"ok", true}, {"file", file}, {"bytes", outcome.length}};
        if (!outcome.backup.empty()) {
            result["backup"] = outcome.backup;
        }
        if (policy.verify) {
            status = RenderVerification(printer, outcome, &result);
        }
        if (m_console.json) {
            m_console.Result(result);
        }
    }
    return Recorded(outcome.historyError, status);
}

int DeviceCommands::RenderFirmwareFailure(const std::string& file,
                                          const FirmwareOutcome& outcome) {
    switch (outcome.kind) {
        case OutcomeKind::kFileError:
            if (outcome.stage == FirmwareStage::kBaseline) {
                m_console.FileFailure(*outcome.fileError,
                                      "the parameters could not be backed up; nothing was sent");
            } else {
                m_console.FileFailure(*outcome.fileError);
            }
            break;
        case OutcomeKind::kRefused:
            m_console.Failure(outcome.Detail());
            break;
        case OutcomeKind::kNoDevice:
            m_console.Failure(LoadString(IDS_FAILED_CONNECT),
                              "no Zarvel device found on " + m_world.Description());
            break;
        case OutcomeKind::kInterrupted:
            m_console.Failure(
                outcome.stage == FirmwareStage::kSend
                    ? "Interrupted: the firmware job was cancelled."
                    : "Interrupted; nothing was sent.",
                outcome.stage != FirmwareStage::kSend
                    ? std::string()
                    : std::to_string(outcome.bytesSent) + " of " +
                          Counted(outcome.length, "byte") +
                          " had gone to the spooler, so part of the firmware may have reached "
                          "the device; restart it and send the whole file again");
            break;
        case OutcomeKind::kDeviceFailed:
            m_console.Failure(LoadString(IDS_FAILED_SEND_FIRMWARE),
                              outcome.stage == FirmwareStage::kPrinter
                                  ? outcome.Detail() + "; nothing was sent"
                                  : outcome.Detail());
            break;
        case OutcomeKind::kJobHeld:
            m_console.Failure(JobHeldText(outcome),
                              outcome.job.fix.empty()
                                  ? std::string()
                                  : "to let the queue deliver jobs: " + outcome.job.fix);
            break;
        case OutcomeKind::kFileChanged:
            m_console.Failure(FormatString1(IDS_FIRMWARE_CHANGED, file));
            break;
        case OutcomeKind::kOutOfMemory:
            m_console.Failure(LoadString(AFX_IDS_MEMORY_EXCEPTION));
            break;
        default:
            break;  // a cancelled prompt has said why
    }
    return ExitStatusFor(outcome);
}

int DeviceCommands::RenderVerification(const std::string& printer, const FirmwareOutcome& outcome,
                                       nlohmann::json* result) {
    (*result)["verified"] = outcome.verified;
    if (!outcome.verified) {
        const std::string error = "Firmware sent, not verified: " + outcome.Detail() + ".";
        (*result)["ok"] = false;
        (*result)["error"] = error;
        if (!m_console.json) {
            m_console.Failure(error);
        }
        return ExitStatusFor(outcome);
    }
    (*result)["versionAfter"] = outcome.versionAfter;
    if (!outcome.versionBefore.empty()) {
        (*result)["versionBefore"] = outcome.versionBefore;
    }
    if (!m_console.json) {
        m_console.out << "Version: "
                      << (outcome.versionBefore.empty() ? std::string("?") : outcome.versionBefore)
                      << " -> " << outcome.versionAfter << '\n';
    }
    if (outcome.versionAfter == outcome.versionBefore) {
        (*result)["versionChanged"] = false;
        m_console.Warning("the version did not change: the device runs " + outcome.versionAfter +
                          " as before the upgrade");
    }
    if (outcome.stage == FirmwareStage::kCompare) {
        return TransferFailed(outcome, LoadString(IDS_FAILED_GET_PARAMETERS));
    }
    if (!outcome.baselineRead) {
        return ExitStatusFor(outcome);
    }
    const std::string& changed = outcome.changedRanges;
    (*result)["parametersChanged"] = !changed.empty();
    if (changed.empty()) {
        return ExitStatusFor(outcome);
    }
    const std::string restore = RestoreCommand(outcome.backup, printer, outcome.identity);
    if (outcome.stage == FirmwareStage::kRestore) {
        m_console.Failure(LoadString(IDS_FAILED_PUT_PARAMETERS),
                          "the parameters changed at " + Bytes(changed) +
                              " and could not be restored; to try again: " + restore);
        return ExitStatusFor(outcome);
    }
    if (!outcome.parametersRestored) {
        (*result)["changedBytes"] = changed;
        (*result)["restoreCommand"] = restore;
        m_console.Warning("the parameters changed at " + Bytes(changed) + "; to restore them: " +
                          restore);
        return ExitStatusFor(outcome);
    }
    (*result)["parametersRestored"] = true;
    if (!m_console.json) {
        m_console.out << "The parameters had changed at " << Bytes(changed)
                      << "; they were restored from " << outcome.backup << ".\n";
    }
    return ExitStatusFor(outcome);
}

}  // namespace marnel::cli
