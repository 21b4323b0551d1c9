// How a test driver steers the simulated machine of the test build: a
// private message to the main window that switches the machine to another
// state of its scenario (wParam: the state's index), and a way to drop files
// on it. The product knows neither.
#pragma once

#include <windows.h>

namespace marnel {

constexpr UINT kSimSwitchStateMessage = WM_APP + 0x51;

// WM_COPYDATA with this tag drops files on the main window: the data is the
// paths, each ended by a NUL. The test build hands them over as the shell
// does, in an HDROP with WM_DROPFILES.
constexpr ULONG_PTR kSimDropFilesData = 0x4D524E44;

// The environment variable naming the scenario file the test build starts from.
constexpr const char* kScenarioVariable = "MARNEL_SCENARIO";

}  // namespace marnel
