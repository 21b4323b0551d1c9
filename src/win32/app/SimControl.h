// How a test driver steers the simulated machine of the test build: a
// private message to the main window that switches the machine to another
// state of its scenario (wParam: the state's index). The product does not
// know this message.
#pragma once

#include <windows.h>

namespace marnel {

constexpr UINT kSimSwitchStateMessage = WM_APP + 0x51;

// The environment variable naming the scenario file the test build starts from.
constexpr const char* kScenarioVariable = "MARNEL_SCENARIO";

}  // namespace marnel
