// The self test in the window: a box for its start and one for each step's
// outcome, shown as each step is done.
#pragma once

#include <string>

#include "platform/Dialogs.h"

namespace marnel {

class CBackupStore;
class CDevicePort;

// Opens `port` for `printerName` and runs the self test, showing "Start Self
// Test" and then every step's lines (information icon for a success, the
// warning icon for an error). A backup that cannot be saved is reported as
// a file error and ends the test before anything is written. The port stays
// open for the caller to close. True when every step succeeded.
bool RunSelfTest(CDevicePort& port, const std::string& printerName, CBackupStore& backups,
                 IDialogs& dialogs);

}  // namespace marnel
