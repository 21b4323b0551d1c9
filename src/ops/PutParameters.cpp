#include "ops/PutParameters.h"

#include "files/Sha256.h"
#include "ops/BackupStore.h"
#include "ops/ChangeRecord.h"
#include "ops/ParameterWrite.h"
#include "protocol/DevicePort.h"

namespace marnel {

namespace {

PutParametersOutcome Put(OpenedDevice& device, const ParameterBlockBytes& block,
                         const PutParametersPolicy& policy, const ICancelToken& cancel,
                         const ChangeLog& log, HistoryEntry& entry) {
    PutParametersOutcome outcome;
    CDevicePort& port = *device.port;
    ParameterBlockBytes current{};
    if (policy.ReadsCurrent()) {
        // A unit whose own block is damaged can still be repaired: the block
        // is backed up as it was read, and the model check leaves it out.
        bool valid = false;
        const Status read = ReadBlockAsDelivered(port, current, &valid);
        if (!read) {
            outcome.kind = OutcomeKind::kDeviceFailed;
            outcome.step = PutStep::kReadCurrent;
            outcome.failure = read.Error();
            return outcome;
        }
        outcome.ownBlockInvalid = !valid;
    }
    outcome.verdict = JudgeParameterFile(block, policy.ReadsCurrent() ? &current : nullptr);
    entry.model = outcome.verdict.fileModel;
    if (policy.checkFile && !outcome.verdict.Acceptable()) {
        outcome.kind = OutcomeKind::kRefused;
        outcome.step = PutStep::kCheck;
        return outcome;
    }
    if (policy.backup) {
        try {
            outcome.backup = CBackupStore(*log.fileSystem, *log.environment)
                                 .Save(device.printer, device.identity.serial, current);
            entry.backup = outcome.backup;
            if (log.hashing != nullptr) {
                entry.backupSha256 = Sha256Of(*log.hashing, current.data(), current.size());
            }
        } catch (const CFileException& error) {
            outcome.kind = OutcomeKind::kFileError;
            outcome.step = PutStep::kBackup;
            outcome.fileError = error;
            return outcome;
        }
    }
    outcome.signal = cancel.Requested();
    if (outcome.signal != 0) {
        outcome.kind = OutcomeKind::kInterrupted;
        outcome.step = PutStep::kWrite;
        outcome.failure.cause = "stopped before the block was sent";
        return outcome;
    }
    const BlockWriteResult written = StoreBlock(port, block, 1, policy.readBack);
    outcome.kind = written.kind;
    outcome.failure = written.failure;
    outcome.storedInvalidChecksum = written.Succeeded() && written.checksumInvalid;
    outcome.step = written.Succeeded()   ? PutStep::kDone
                   : written.readBackFailed ? PutStep::kReadBack
                                            : PutStep::kWrite;
    return outcome;
}

}  // namespace

PutParametersOutcome PutParameters(OpenedDevice& device, const ParameterBlockBytes& block,
                                   const std::string& file, const PutParametersPolicy& policy,
                                   const ICancelToken& cancel, const ChangeLog& log) {
    CChangeRecord record(log, "put-params", device.printer, device.identity.serial);
    record.Entry().file = file;
    if (log.hashing != nullptr) {
        record.Entry().sha256 = Sha256Of(*log.hashing, block.data(), block.size());
    }
    record.Entry().model = DescribeParameterBlock(block).modelTag;
    PutParametersOutcome outcome = Put(device, block, policy, cancel, log, record.Entry());
    outcome.historyError = record.Write(outcome);
    return outcome;
}

}  // namespace marnel
