// The self test in the window: a box for its start and one for each step's
// outcome, shown as each step is done.
#pragma once

#include <string>

#include "platform/Dialogs.h"

namespace marnel {

class CDevicePort;

// Opens `port` for `printerName` and runs the self test, showing "Start Self
// Test" and then every step's line (information icon for a success, the
// warning icon for an error) and, after a report was read, the report. The
// port stays open for the caller to close.
void RunSelfTest(CDevicePort& port, const std::string& printerName, IDialogs& dialogs);

}  // namespace marnel
