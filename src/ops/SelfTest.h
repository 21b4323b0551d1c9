// The diagnostic self test: every device transfer once, on a port that is
// closed when it begins. Each step's outcome goes to the caller as data, as
// soon as the step is done; the front ends render it (a box each in the
// window, a line each in the tool).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ops/DeviceAccess.h"
#include "ops/Outcome.h"

namespace marnel {

enum class SelfTestStep {
    kCreate,            // the port opened
    kGetParam,          // the parameter block read
    kPutParamDummy,     // the dummy block written
    kPutParamOriginal,  // the block read first written back, tried twice;
                        // detail on failure: the backup that holds it
    kGetParam2,         // the block read again
    kCompare,           // the two reads agree (only after kGetParam2 succeeded)
    kGetVersion,        // detail: the version text
    kGetReport,         // detail: the report text
};

struct SelfTestResult {
    SelfTestStep step;
    bool ok;
    std::string detail;   // the text a successful version or report read gave
    int outOfMemory = 0;  // writes of this step that failed for want of memory
};

using SelfTestObserver = std::function<void(const SelfTestResult&)>;

struct SelfTestOutcome : Outcome {
    SelfTestStep failedStep = SelfTestStep::kCreate;  // the first step that failed
    std::string backup;            // the block read first, saved before the dummy went out
    std::string backupSha256;      // its digest, for the history
    bool originalRestored = true;  // false: the dummy may be on the unit; `backup` holds the block
    DeviceIdentity identity;       // the unit the test ran on, once it opened
    std::optional<CFileException> historyError;
};

// Opens `printer` through `access` and runs the steps in order, telling
// `onStep` each outcome as it comes. A failed open or first read ends the
// test; every later step runs whatever came before. Before the dummy block
// goes out, the block read first is saved to the backup store; a backup
// that cannot be saved ends the test before anything is written.
// `cancel` is asked where stopping leaves the unit as it was: before the
// dummy goes out, and after each step from the write-back on. A test that
// reached the unit is recorded in `log`.
[[nodiscard]] SelfTestOutcome RunSelfTest(CDeviceAccess& access, const std::string& printer,
                            const SelfTestObserver& onStep, const ICancelToken& cancel,
                            const ChangeLog& log);

// What a step shows, in order: its own line ("Success: GetVersion (1.00)",
// "Error: Create") and, after a report was read, the report itself, or
// after the original block could not be written back, where its backup is.
std::vector<std::string> SelfTestStepLines(const SelfTestResult& result);

}  // namespace marnel
