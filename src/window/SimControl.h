// How a test driver steers the simulated machine of the test build: a
// private message to the main window that switches the machine to another
// state of its scenario (wParam: the state's index), and a way to drop files
// on it. The product knows neither.
#pragma once

#include <windows.h>

namespace marnel {

constexpr UINT kSimSwitchStateMessage = WM_APP + 0x51;

// Switches every simulated device to its update mode (wParam 1), as a user
// restarting it for a firmware update would, or back to service mode (0).
constexpr UINT kSimSetUpdateModeMessage = WM_APP + 0x52;

// Makes the handler of this very message throw, as a command that lets an
// exception out would: std::bad_alloc for wParam 0, a std::runtime_error for
// any other value.
constexpr UINT kSimThrowMessage = WM_APP + 0x53;

// WM_COPYDATA with this tag asks for the last print job the first device
// received: its bytes are written to the file the data names (a path, NUL
// ended). The answer is 0 when there is no complete job or no file.
constexpr ULONG_PTR kSimSaveLastJobData = 0x4D524E4A;

// WM_COPYDATA with this tag drops files on the main window: the data is the
// paths, each ended by a NUL. The test build hands them over as the shell
// does, in an HDROP with WM_DROPFILES.
constexpr ULONG_PTR kSimDropFilesData = 0x4D524E44;

// The environment variable naming the scenario file the test build starts from.
constexpr const char* kScenarioVariable = "MARNEL_SCENARIO";

}  // namespace marnel
