// Simulated units that outlive one process: what each unit holds (its
// parameter block, firmware version and mode, whether it is plugged in, its
// faults) as a JSON text, read into a world at the start of a command and
// taken from it at the end.
#pragma once

#include <string>
#include <vector>

#include "sim/SimDevice.h"

namespace marnel {

class SimWorld;

struct SimUnitState {
    SimModel model = SimModel::kKQ10;
    std::string printer;  // empty: the world's default name
    std::string serial;   // empty: the world's default serial
    std::string firmware;
    SimMode mode = SimMode::kService;
    std::vector<std::uint8_t> block;  // the parameter block, 266 bytes
    bool plugged = true;
    std::vector<std::string> faults;  // names from SimFaultNames()
};

struct SimState {
    std::vector<SimUnitState> units;
};

// Factory-set units, one per model named in `models` ("KQ-10,ZT-5", letter
// case ignored, repeats allowed). A repeated model's printer is named
// "Zarvel KQ-10 (2)" and on, so that every unit has a printer of its own.
// False with *error naming the model the simulator does not know.
bool SeedSimState(const std::string& models, SimState* state, std::string* error);

// The state file's text: {"schema": 1, "units": [...]}, keys as the tool's
// JSON has them.
std::string SimStateToJson(const SimState& state);

// Reads a state file's text. False with *error saying what is wrong: not
// JSON, another schema, a unit's key missing or of the wrong kind, an
// unknown model, mode or fault, a block that is not 266 bytes of hex, or two
// units with one printer or one serial.
bool ParseSimState(const std::string& text, SimState* state, std::string* error);

// Installs the units in `world`, in order, as the state has them.
void BuildSimWorld(const SimState& state, SimWorld& world);

// Takes into `state`, which `world` was built from, what its units hold
// now: names, version, mode, block, plugged. Faults stay as they were.
void CaptureSimState(SimWorld& world, SimState* state);

// The faults a unit in a state may carry, for messages and the docs.
std::string SimFaultNames();

}  // namespace marnel
