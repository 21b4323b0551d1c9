// A simulated machine described in a small text file, for the test build of
// the Windows program: which printers the spooler lists, in order, and the
// states the machine can be switched to while the program runs.
//
//   # comment
//   printer Zarvel KQ-10 | Zarvel KQ-10              (name | driver)
//   printer Zarvel ZT-5 (2) | Zarvel ZT-5 | offline  (working offline)
//   state                                            (the next state begins)
//   printer Zarvel KQ-10 | Zarvel KQ-10 | offline
//
// The lines before the first "state" are state 0, the machine at start.
#pragma once

#include <string>
#include <vector>

#include "platform/Types.h"

namespace marnel {

struct ScenarioPrinter {
    std::string name;
    std::string driver;
    bool offline = false;
};

struct ScenarioState {
    std::vector<ScenarioPrinter> printers;
};

struct Scenario {
    std::vector<ScenarioState> states;  // at least one after a successful parse
};

// Parses `text`. False with a message naming the line in *error when a line
// is not understood.
bool ParseScenario(const std::string& text, Scenario* scenario, std::string* error);

}  // namespace marnel
