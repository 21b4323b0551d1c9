// The unit survey: every attached unit whose printer qualifies (the list
// command's selection), narrowed to one printer or one serial when asked,
// each read once through the same ports every command uses: who it is,
// what mode it answers in, its firmware version and its parameter block.
// Comparing units against a profile, the inventory and the metrics are all
// built on this one reading of the machine; it never writes to a unit.
#pragma once

#include <string>
#include <vector>

#include "ops/DeviceAccess.h"
#include "ops/DeviceProbe.h"
#include "protocol/ParameterBlock.h"

namespace marnel {

class IHashing;

// Which units a survey takes: every qualifying printer's, or only the one
// named by printer (letter case ignored) or whose unit carries `serial`.
struct SurveyScope {
    std::string printer;  // empty: any
    std::string serial;   // empty: any
};

struct SurveyedUnit {
    std::string printer;
    std::string serial;    // empty when the unit has none (or none was found)
    std::string location;  // where it is attached; empty when the printer leads to no unit
    // The model tag of the unit's block ("KQ-10"), else the bus's name for
    // the unit; empty when neither is known.
    std::string model;
    DeviceMode mode = DeviceMode::kNotAnswering;
    std::string firmware;  // the version the unit runs; empty unless read
    bool blockRead = false;
    ParameterBlockBytes block{};  // zeroed unless read
    bool blockValid = false;      // its checksum holds
    std::string blockSha256;      // of the block as read; empty unless read and hashed
    // Why the unit could not be read whole (not opened, not in service
    // mode, a transfer failed); empty when it was.
    std::string error;

    bool Read() const { return error.empty(); }
    DeviceIdentity Identity() const { return DeviceIdentity{serial, location}; }
};

struct UnitSurvey {
    std::vector<SurveyedUnit> units;  // in the spooler's order of the printers
    // A source of printers could not be read: the survey may lack units.
    bool incomplete = false;
};

// Reads every unit in `scope` through `access`; `hashing` digests each
// block (null: no digests). May raise std::bad_alloc.
UnitSurvey SurveyUnits(CDeviceAccess& access, const SurveyScope& scope, IHashing* hashing);

// Reads the one unit of `printer` as the survey does.
SurveyedUnit SurveyUnit(CDeviceAccess& access, const std::string& printer, IHashing* hashing);

}  // namespace marnel
