// The self test's steps, on a port that is closed when it begins.
#pragma once

#include <string>

#include "platform/UserInterface.h"
#include "protocol/DevicePort.h"

namespace marnel {

// Opens `port` for `printerName` and runs every transfer once, showing each
// step's outcome; the port stays open for the caller to close.
void RunSelfTest(CDevicePort& port, const std::string& printerName, IUserInterface& ui);

}  // namespace marnel
