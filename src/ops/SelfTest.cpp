#include "ops/SelfTest.h"

#include <cstdint>
#include <cstring>

#include "device/AnsiText.h"
#include "res/StringTable.h"

namespace marnel {

namespace {

constexpr DWORD kBlockSize = static_cast<DWORD>(kParameterBlockSize);
constexpr DWORD kVersionSize = static_cast<DWORD>(kVersionBufferSize);
constexpr DWORD kReportSize = static_cast<DWORD>(kReportBufferSize);

// The steps' names, in the order of SelfTestStep.
const char* const kStepNames[] = {
    TXT_SELFTEST_CREATE,          TXT_SELFTEST_GET_PARAM,
    TXT_SELFTEST_PUT_PARAM_DUMMY, TXT_SELFTEST_PUT_PARAM_ORIGINAL,
    TXT_SELFTEST_GET_PARAM2,      TXT_SELFTEST_COMPARE,
    TXT_SELFTEST_GET_VERSION,     TXT_SELFTEST_GET_REPORT,
};

}  // namespace

void RunSelfTestSteps(CDevicePort& port, const std::string& printerName, CBackupStore& backups,
                      const SelfTestObserver& onStep) {
    int outOfMemory = 0;  // since the last step was told
    auto tell = [&](SelfTestStep step, bool ok, std::string detail = std::string()) {
        onStep(SelfTestResult{step, ok, std::move(detail), outOfMemory});
        outOfMemory = 0;
        return ok;
    };
    auto write = [&](const std::uint8_t* block) {
        if (port.WriteParameterBlock(block, kBlockSize)) {
            return true;
        }
        outOfMemory += port.LastFailure().kind == FailureKind::kOutOfMemory ? 1 : 0;
        return false;
    };

    if (!tell(SelfTestStep::kCreate, port.Open(printerName) != 0)) {
        return;
    }
    ParameterBlockBytes blockA{};
    if (!tell(SelfTestStep::kGetParam, port.ReadParameterBlock(blockA.data(), kBlockSize) != 0)) {
        return;
    }
    // The block exists nowhere else once the dummy is stored.
    const std::string backup = backups.Save(printerName, blockA);

    // The KQ-10 model tag and nothing else: every data and checksum byte zero.
    std::uint8_t dummy[kBlockSize] = {};
    std::memcpy(dummy, "KQ-10   ", 8);
    tell(SelfTestStep::kPutParamDummy, write(dummy));
    // One failed transfer must not leave the device with the dummy.
    const bool restored = write(blockA.data()) || write(blockA.data());
    tell(SelfTestStep::kPutParamOriginal, restored, restored ? std::string() : backup);

    ParameterBlockBytes blockB{};
    if (tell(SelfTestStep::kGetParam2, port.ReadParameterBlock(blockB.data(), kBlockSize) != 0)) {
        tell(SelfTestStep::kCompare, blockA == blockB);
    }

    std::uint8_t version[kVersionSize] = {};
    if (port.ReadVersion(version, kVersionSize)) {
        tell(SelfTestStep::kGetVersion, true, TerminatedText(version, kVersionSize));
    } else {
        tell(SelfTestStep::kGetVersion, false);
    }

    std::uint8_t report[kReportSize] = {};
    if (port.ReadReport(report, kReportSize)) {
        tell(SelfTestStep::kGetReport, true, TerminatedText(report, kReportSize));
    } else {
        tell(SelfTestStep::kGetReport, false);
    }
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
