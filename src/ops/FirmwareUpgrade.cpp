#include "ops/FirmwareUpgrade.h"

#include <new>

#include "device/AnsiText.h"
#include "files/File.h"
#include "files/Sha256.h"
#include "ops/BackupStore.h"
#include "ops/ChangeRecord.h"
#include "ops/FirmwareJob.h"
#include "ops/ParameterFile.h"
#include "ops/ParameterWrite.h"
#include "ops/PrinterSelection.h"
#include "platform/Clock.h"
#include "platform/Hashing.h"
#include "protocol/DevicePort.h"

namespace marnel {

namespace {

constexpr DWORD kServicePollMs = 1000;
// A queue that prints starts a job at once; one that has not within this
// time is not going to soon.
constexpr std::uint64_t kJobStartMs = 5000;
constexpr DWORD kJobPollMs = 500;

// What the spooler did with a job it kept, for the outcome's cause.
std::string KeptJob(const JobStatus& job) {
    std::string what;
    switch (job.state) {
        case JobState::kHeld:
            what = "the queue held the job";
            break;
        case JobState::kStopped:
            what = "the queue stopped the job";
            break;
        case JobState::kCancelled:
            what = "the spooler cancelled the job";
            break;
        default:
            what = job.queueStopped ? "the queue is stopped and did not start the job"
                                    : "the queue did not start the job within " +
                                          std::to_string(kJobStartMs / 1000) + " seconds";
            break;
    }
    return job.reason.empty() ? what : what + " (" + job.reason + ")";
}

class CUpgrade {
public:
    CUpgrade(CDeviceAccess& access, const std::string& printer, const FirmwarePolicy& policy,
             IFirmwareObserver& observer, const ICancelToken& cancel, const ChangeLog& log,
             FirmwareOutcome& outcome)
        : m_access(access),
          m_printer(printer),
          m_policy(policy),
          m_observer(observer),
          m_cancel(cancel),
          m_log(log),
          m_outcome(outcome) {}

    void Run(CFile& file);

private:
    bool End(FirmwareStage stage, OutcomeKind kind, std::string cause = std::string()) {
        m_outcome.stage = stage;
        m_outcome.kind = kind;
        if (!cause.empty()) {
            m_outcome.failure.cause = std::move(cause);
        }
        return false;
    }
    bool End(FirmwareStage stage, const Failure& failure) {
        m_outcome.failure = failure;
        return End(stage, OutcomeKind::kDeviceFailed);
    }
    // True, with the outcome ended, when a signal asked to stop.
    bool Interrupted(FirmwareStage stage) {
        m_outcome.signal = m_cancel.Requested();
        if (m_outcome.signal == 0) {
            return false;
        }
        End(stage, OutcomeKind::kInterrupted);
        return true;
    }

    bool ReadBaseline();
    bool WaitForUpdateMode(PrinterHandle* printer);
    bool Send(CFile& file, PrinterHandle printer);
    bool FollowJob(PrinterHandle printer, DWORD jobId);
    bool WaitForServiceMode(OpenedDevice* device);
    void Verify();

    CDeviceAccess& m_access;
    const std::string& m_printer;
    const FirmwarePolicy& m_policy;
    IFirmwareObserver& m_observer;
    const ICancelToken& m_cancel;
    const ChangeLog& m_log;
    FirmwareOutcome& m_outcome;
};

void CUpgrade::Run(CFile& file) {
    // A paused or rejecting queue would hold the job and deliver it whenever
    // someone resumes it: nothing is asked or sent.
    OfflineReason why;
    if (m_policy.checkQueue && !IsPrinterUsable(m_access.Services().spooler, m_printer, &why)) {
        m_outcome.failure.cause = "the printer \"" + m_printer + "\" takes no jobs now (" +
                                  (why.reason.empty() ? "working offline" : why.reason) + ")" +
                                  (why.fix.empty() ? "" : "; resume it with: " + why.fix);
        End(FirmwareStage::kPrinter, OutcomeKind::kDeviceFailed);
        return;
    }
    if (m_policy.baseline && !ReadBaseline()) {
        return;
    }
    PrinterHandle printer = nullptr;
    if (!WaitForUpdateMode(&printer)) {
        return;
    }
    bool sent = false;
    try {
        sent = Send(file, printer);
    } catch (const CFileException& error) {
        End(FirmwareStage::kSend, OutcomeKind::kFileError);
        m_outcome.fileError = error;
    } catch (const std::bad_alloc&) {
        End(FirmwareStage::kSend, OutcomeKind::kOutOfMemory);
    }
    m_access.Services().spooler.ClosePrinter(printer);
    if (sent && m_policy.verify) {
        Verify();
    }
}

bool CUpgrade::ReadBaseline() {
    // While the unit still answers in service mode: what it runs and holds
    // now, to check it against once the new firmware runs.
    OpenedDevice device;
    const bool opened = m_access.Open(m_printer, &device);
    m_outcome.identity = device.identity;
    if (opened && device.port->IsServiceMode()) {
        // The version on its own, so that a damaged block does not hide it;
        // the block as it is, so that a damaged one is backed up too.
        VersionBuffer version{};
        if (device.port->ReadVersion(version)) {
            m_outcome.versionBefore = TerminatedText(version.data(), version.size());
        }
        bool valid = false;
        m_outcome.baselineRead = static_cast<bool>(
            ReadBlockAsDelivered(*device.port, m_outcome.blockBefore, &valid));
        m_outcome.blockBeforeInvalid = m_outcome.baselineRead && !valid;
    }
    if (!m_outcome.baselineRead) {
        m_observer.BaselineUnreadable();
        return true;
    }
    try {
        m_outcome.backup = CBackupStore(*m_log.fileSystem, *m_log.environment)
                               .Save(m_printer, device.identity.serial, m_outcome.blockBefore);
    } catch (const CFileException& error) {
        m_outcome.fileError = error;
        return End(FirmwareStage::kBaseline, OutcomeKind::kFileError);
    }
    return true;
}

bool CUpgrade::WaitForUpdateMode(PrinterHandle* printer) {
    // Only the unit read before may take the job.
    const DeviceIdentity* expected =
        m_outcome.identity.location.empty() ? nullptr : &m_outcome.identity;
    for (int attempt = 0;; ++attempt) {
        if (Interrupted(FirmwareStage::kPrompt)) {
            return false;
        }
        if (!m_observer.UpdateModeNeeded(attempt)) {
            return End(FirmwareStage::kPrompt, OutcomeKind::kCancelled);
        }
        if (OpenPrinterInUpdateMode(m_access, m_printer, expected, printer)) {
            return true;
        }
    }
}

bool CUpgrade::Send(CFile& file, PrinterHandle printer) {
    const std::uint64_t length = m_outcome.length;
    // The digest is taken from the pieces as they go out: one pass over the
    // file, and it names exactly what the spooler was given.
    std::unique_ptr<IDigest> digest;
    if (m_log.hashing != nullptr) {
        digest = m_log.hashing->NewSha256();
    }
    SpooledJob job;
    const FirmwareJobResult result = SendFirmwareJob(
        m_access.Services().spooler, printer, file, length,
        [&](std::uint64_t sent) {
            m_outcome.bytesSent = sent;
            m_observer.Progress(sent, length);
            return m_cancel.Requested() == 0;
        },
        [&](const std::uint8_t* piece, DWORD size) {
            if (digest) {
                digest->Update(piece, size);
            }
        },
        &job);
    switch (result) {
        case FirmwareJobResult::kSent:
            if (m_policy.checkQueue && !FollowJob(printer, job.id)) {
                return false;
            }
            m_outcome.sha256 = digest ? FinishSha256(*digest) : std::string();
            m_observer.Sent(length);
            return true;
        case FirmwareJobResult::kFileChanged:
            return End(FirmwareStage::kSend, OutcomeKind::kFileChanged);
        case FirmwareJobResult::kInterrupted:
        case FirmwareJobResult::kSpoolerFailed:
            break;
    }
    // A spooler that sees the stop itself fails the write a device takes
    // slowly: that too is an interruption.
    m_outcome.signal = m_cancel.Requested();
    if (m_outcome.signal != 0) {
        return End(FirmwareStage::kSend, OutcomeKind::kInterrupted);
    }
    return End(FirmwareStage::kSend, OutcomeKind::kDeviceFailed, job.failure);
}

bool CUpgrade::FollowJob(PrinterHandle printer, DWORD jobId) {
    // A queue that holds the job would deliver it whenever someone releases
    // it, long after the unit stopped waiting for it: it is cancelled. One
    // the spooler cannot tell about goes on to the check as before.
    ISpooler& spooler = m_access.Services().spooler;
    IClock& clock = m_access.Services().clock;
    const std::uint64_t deadline = clock.NowMs() + kJobStartMs;
    JobStatus job = spooler.GetJob(printer, jobId);
    while (job.state == JobState::kPending && !job.queueStopped && clock.NowMs() < deadline) {
        clock.Sleep(kJobPollMs);
        job = spooler.GetJob(printer, jobId);
    }
    if (job.state == JobState::kDone || job.state == JobState::kUnknown) {
        return true;
    }
    m_outcome.job = job;
    if (job.state != JobState::kCancelled && !spooler.CancelJob(printer, jobId)) {
        m_outcome.cancelFailure = spooler.LastError();
    }
    return End(FirmwareStage::kSend, OutcomeKind::kJobHeld, KeptJob(job));
}

bool CUpgrade::WaitForServiceMode(OpenedDevice* device) {
    m_observer.ServiceModeNeeded();
    IClock& clock = m_access.Services().clock;
    const std::uint64_t deadline = clock.NowMs() + m_policy.verifyTimeoutMs;
    const bool knownUnit = !m_outcome.identity.location.empty();
    for (;;) {
        const bool opened = knownUnit ? m_access.Reopen(m_printer, m_outcome.identity, device)
                                      : m_access.Open(m_printer, device);
        if (opened && device->port->IsServiceMode()) {
            return true;
        }
        if (!m_access.WrongUnit().location.empty()) {
            // Nothing is asked of, let alone written to, a unit that did not leave.
            m_outcome.wrongUnit = m_access.WrongUnit();
            return End(FirmwareStage::kVerify, OutcomeKind::kSentNotVerified,
                       "another unit answered (" + m_outcome.wrongUnit.Describe() + ", not " +
                           m_outcome.identity.Describe() + ")");
        }
        if (m_cancel.Requested() != 0) {
            return End(FirmwareStage::kVerify, OutcomeKind::kSentNotVerified,
                       "the check was skipped");
        }
        if (clock.NowMs() >= deadline) {
            return End(FirmwareStage::kVerify, OutcomeKind::kSentNotVerified,
                       "the device did not answer in service mode within " +
                           std::to_string(m_policy.verifyTimeoutMs / 1000) + " second" +
                           (m_policy.verifyTimeoutMs == 1000 ? "" : "s"));
        }
        device->port.reset();
        clock.Sleep(kServicePollMs);
    }
}

void CUpgrade::Verify() {
    OpenedDevice device;
    if (!WaitForServiceMode(&device)) {
        return;
    }
    CDevicePort& port = *device.port;
    VersionBuffer version{};
    const Status versionRead = port.ReadVersion(version);
    if (!versionRead) {
        // Without the version nothing says the new firmware runs.
        m_outcome.failure = versionRead.Error();
        m_outcome.failure.context.insert(m_outcome.failure.context.begin(),
                                         "the version could not be read after the restart");
        End(FirmwareStage::kVerify, OutcomeKind::kSentNotVerified);
        return;
    }
    m_outcome.verified = true;
    m_outcome.versionAfter = TerminatedText(version.data(), version.size());
    if (!m_outcome.baselineRead) {
        return;
    }
    ParameterBlockBytes now{};
    bool valid = false;
    const Status read = ReadBlockAsDelivered(port, now, &valid);
    if (!read) {
        End(FirmwareStage::kCompare, read.Error());
        return;
    }
    m_outcome.changedRanges = ChangedRanges(m_outcome.blockBefore, now);
    if (m_outcome.changedRanges.empty() || !m_policy.restoreParams) {
        return;
    }
    const BlockWriteResult restored = StoreBlock(port, m_outcome.blockBefore, 1, true);
    if (!restored.Succeeded()) {
        End(FirmwareStage::kRestore, restored.failure);
        return;
    }
    m_outcome.parametersRestored = true;
}

}  // namespace

FirmwareOutcome UpgradeFirmware(CDeviceAccess& access, const std::string& printer,
                                IFileSystem& files, const std::string& file, const FirmwarePolicy& policy,
                                IFirmwareObserver& observer, const ICancelToken& cancel,
                                const ChangeLog& log) {
    FirmwareOutcome outcome;
    outcome.stage = FirmwareStage::kFile;
    // A FIFO or a device would block the open or never end.
    if (policy.checkFile && !IsRegularFile(files, file)) {
        outcome.kind = OutcomeKind::kRefused;
        outcome.failure.cause = "The firmware file " + file +
                                " is not a regular file (a FIFO, socket or device); nothing was sent.";
        return outcome;
    }
    CFile input(files);
    try {
        input.OpenRead(file);
        outcome.length = input.GetLength();
    } catch (const CFileException& error) {
        outcome.kind = OutcomeKind::kFileError;
        outcome.fileError = error;
        return outcome;
    }
    if (policy.checkFile && outcome.length == 0) {
        // A spooler may hold a document without bytes until it is
        // cancelled, so it is refused before any prompt, backup or job.
        outcome.kind = OutcomeKind::kRefused;
        outcome.failure.cause = "The firmware file " + file + " is empty; nothing was sent.";
        return outcome;
    }
    outcome.stage = FirmwareStage::kDone;
    if (policy.baseline && printer.empty()) {
        outcome.stage = FirmwareStage::kPrinter;
        outcome.kind = OutcomeKind::kNoDevice;
        return outcome;
    }
    CChangeRecord record(log, "firmware", printer, std::string());
    CUpgrade(access, printer, policy, observer, cancel, log, outcome).Run(input);
    HistoryEntry& entry = record.Entry();
    entry.serial = outcome.identity.serial;
    entry.file = file;
    entry.sha256 = outcome.sha256;
    entry.backup = outcome.backup;
    if (!outcome.backup.empty() && log.hashing != nullptr) {
        entry.backupSha256 =
            Sha256Of(*log.hashing, outcome.blockBefore.data(), outcome.blockBefore.size());
    }
    entry.versionBefore = outcome.versionBefore;
    entry.versionAfter = outcome.versionAfter;
    // Only an upgrade that reached the unit (read it, or handed the spooler a
    // job) changed anything worth a line.
    const bool reached = outcome.baselineRead || outcome.stage >= FirmwareStage::kSend;
    if (reached) {
        outcome.historyError = record.Write(outcome);
    }
    return outcome;
}

std::string ChangedRanges(const ParameterBlockBytes& before, const ParameterBlockBytes& after) {
    return RangesText(DifferingBytes(before, after));
}

}  // namespace marnel
