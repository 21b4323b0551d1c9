// The self test in the window: a box for its start and one for each step's
// outcome, shown as each step is done.
#pragma once

#include <string>

#include "ops/Outcome.h"
#include "platform/Dialogs.h"

namespace marnel {

class CDeviceAccess;

// Runs the self test on `printerName`'s unit, showing "Start Self Test" and
// then every step's lines (information icon for a success, the warning icon
// for an error). A backup that cannot be saved is reported as a file error.
// True when every step succeeded.
bool ShowSelfTest(CDeviceAccess& access, const std::string& printerName, const ChangeLog& log,
                  IDialogs& dialogs);

}  // namespace marnel
