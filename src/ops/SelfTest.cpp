#include "ops/SelfTest.h"

#include <cstdint>
#include <cstring>

#include "files/Sha256.h"
#include "ops/BackupStore.h"
#include "ops/ChangeRecord.h"
#include "ops/DeviceReads.h"
#include "ops/ParameterWrite.h"
#include "protocol/DevicePort.h"
#include "res/StringTable.h"

namespace marnel {

namespace {


// The steps' names, in the order of SelfTestStep.
const char* const kStepNames[] = {
    TXT_SELFTEST_CREATE,          TXT_SELFTEST_GET_PARAM,
    TXT_SELFTEST_PUT_PARAM_DUMMY, TXT_SELFTEST_PUT_PARAM_ORIGINAL,
    TXT_SELFTEST_GET_PARAM2,      TXT_SELFTEST_COMPARE,
    TXT_SELFTEST_GET_VERSION,     TXT_SELFTEST_GET_REPORT,
};

}  // namespace

namespace {

// The steps proper, on a unit that opened. Fills `outcome` as they go.
void RunSteps(OpenedDevice& device, const SelfTestObserver& onStep, const ICancelToken& cancel,
              const ChangeLog& log, SelfTestOutcome& outcome) {
    CDevicePort& port = *device.port;
    int outOfMemory = 0;  // since the last step was told
    auto tell = [&](SelfTestStep step, bool ok, std::string detail = std::string(),
                    const Failure& failure = Failure{}) {
        if (!ok && outcome.Succeeded()) {
            outcome.kind = OutcomeKind::kDeviceFailed;
            outcome.failedStep = step;
            outcome.failure = failure;
        }
        onStep(SelfTestResult{step, ok, std::move(detail), outOfMemory});
        outOfMemory = 0;
        return ok;
    };
    auto stopped = [&](const char* where) {
        outcome.signal = cancel.Requested();
        if (outcome.signal != 0) {
            outcome.kind = OutcomeKind::kInterrupted;
            outcome.failure.cause = where;
        }
        return outcome.signal != 0;
    };
    const char* const kBeforeWrites = "before it wrote anything";
    const char* const kAfterRestore = "once the parameters had been written back";

    ParameterBlockBytes blockA{};
    const Status firstRead = port.ReadParameterBlock(blockA);
    if (!tell(SelfTestStep::kGetParam, static_cast<bool>(firstRead), std::string(),
              firstRead.Error())) {
        return;
    }
    // The block exists nowhere else once the dummy is stored.
    try {
        outcome.backup = CBackupStore(*log.fileSystem, *log.environment)
                             .Save(device.printer, device.identity.serial, blockA);
        if (log.hashing != nullptr) {
            outcome.backupSha256 = Sha256Of(*log.hashing, blockA.data(), blockA.size());
        }
    } catch (const CFileException& error) {
        outcome.kind = OutcomeKind::kFileError;
        outcome.fileError = error;
        return;
    }
    if (stopped(kBeforeWrites)) {
        return;
    }

    // The KQ-10 model tag and nothing else: every data and checksum byte zero.
    ParameterBlockBytes dummy{};
    std::memcpy(dummy.data(), "KQ-10   ", 8);
    const BlockWriteResult dummyWrite = StoreBlock(port, dummy, 1, false);
    outOfMemory += dummyWrite.outOfMemory;
    tell(SelfTestStep::kPutParamDummy, dummyWrite.Succeeded(), std::string(), dummyWrite.failure);
    // One failed transfer must not leave the unit with the dummy.
    const BlockWriteResult restore = StoreBlock(port, blockA, 2, false);
    outOfMemory += restore.outOfMemory;
    outcome.originalRestored = restore.Succeeded();
    tell(SelfTestStep::kPutParamOriginal, restore.Succeeded(),
         restore.Succeeded() ? std::string() : outcome.backup, restore.failure);
    if (stopped(kAfterRestore)) {
        return;
    }

    ParameterBlockBytes blockB{};
    const Status secondRead = port.ReadParameterBlock(blockB);
    if (tell(SelfTestStep::kGetParam2, static_cast<bool>(secondRead), std::string(),
             secondRead.Error())) {
        tell(SelfTestStep::kCompare, blockA == blockB);
    }
    if (stopped(kAfterRestore)) {
        return;
    }
    const VersionOutcome version = ReadVersion(device);
    tell(SelfTestStep::kGetVersion, version.Succeeded(), version.text, version.failure);
    if (stopped(kAfterRestore)) {
        return;
    }
    const ReportOutcome report = ReadReport(device);
    tell(SelfTestStep::kGetReport, report.Succeeded(), report.text, report.failure);
    stopped(kAfterRestore);
}

}  // namespace

SelfTestOutcome RunSelfTest(CDeviceAccess& access, const std::string& printer,
                            const SelfTestObserver& onStep, const ICancelToken& cancel,
                            const ChangeLog& log) {
    SelfTestOutcome outcome;
    OpenedDevice device;
    const bool opened = access.Open(printer, &device);
    outcome.identity = device.identity;
    if (!opened) {
        outcome.kind = OutcomeKind::kNoDevice;
        outcome.failure.cause = DescribeOpenFailure(access.LastOpenFailure(), std::string());
        onStep(SelfTestResult{SelfTestStep::kCreate, false, std::string(), 0});
        return outcome;
    }
    onStep(SelfTestResult{SelfTestStep::kCreate, true, std::string(), 0});
    CChangeRecord record(log, "self-test", printer, device.identity.serial);
    RunSteps(device, onStep, cancel, log, outcome);
    record.Entry().backup = outcome.backup;
    record.Entry().backupSha256 = outcome.backupSha256;
    outcome.historyError = record.Write(outcome);
    return outcome;
}

std::vector<std::string> SelfTestStepLines(const SelfTestResult& result) {
    std::string line = std::string(result.ok ? TXT_SELFTEST_SUCCESS : TXT_SELFTEST_ERROR) +
                       kStepNames[static_cast<int>(result.step)];
    if (!result.ok) {
        if (result.step == SelfTestStep::kPutParamOriginal && !result.detail.empty()) {
            return {line, FormatString1(IDS_RESTORE_BACKUP, result.detail)};
        }
        return {line};
    }
    switch (result.step) {
        case SelfTestStep::kGetVersion:
            return {line + " (" + result.detail + ")"};
        case SelfTestStep::kGetReport:
            return {line, result.detail};
        default:
            return {line};
    }
}

}  // namespace marnel
