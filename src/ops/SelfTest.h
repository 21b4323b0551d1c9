// The diagnostic self test: every device transfer once, on a port that is
// closed when it begins. Each step's outcome goes to the caller as data, as
// soon as the step is done; the front ends render it (a box each in the
// window, a line each in the tool).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ops/BackupStore.h"
#include "protocol/DevicePort.h"

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

// Opens `port` for `printerName` and runs the steps in order, telling
// `onStep` each outcome. A failed open or first read ends the test; every
// later step runs whatever came before. Before the dummy block goes to the
// device, the block read first is saved in `backups`; a backup that cannot
// be saved raises its CFileException and nothing is written. The port stays
// open for the caller to close.
void RunSelfTestSteps(CDevicePort& port, const std::string& printerName, CBackupStore& backups,
                      const SelfTestObserver& onStep);

// What a step shows, in order: its own line ("Success: GetVersion (1.00)",
// "Error: Create") and, after a report was read, the report itself, or
// after the original block could not be written back, where its backup is.
std::vector<std::string> SelfTestStepLines(const SelfTestResult& result);

}  // namespace marnel
