// A surveyed unit against a profile: whether the model is covered, and for
// what the profile names (firmware version, parameter block) whether the
// unit holds it, with the byte ranges where its block differs. Decides
// nothing about writing; check, apply and the inventory share this record.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ops/Profile.h"
#include "ops/UnitSurvey.h"

namespace marnel {

struct FirmwareCompliance {
    std::string current;
    std::string wanted;
    bool compliant = false;
};

struct ParametersCompliance {
    bool compliant = false;
    std::string currentSha256;
    std::string wantedSha256;
    std::vector<ByteRange> differences;  // where the unit's block differs from the wanted one
};

struct UnitCompliance {
    std::string printer;
    std::string serial;
    std::string model;
    std::string location;
    bool covered = false;  // the profile has an entry for the unit's model
    // Covered and holding everything named; an uncovered or unread unit is not.
    bool compliant = false;
    std::optional<FirmwareCompliance> firmware;      // none when the profile names none
    std::optional<ParametersCompliance> parameters;  // none when the profile names none
    std::string error;  // the unit could not be read; nothing else is judged

    // A covered unit that is not as wanted, or one that could not be read.
    bool Drifted() const { return !error.empty() || (covered && !compliant); }
};

// Judges `unit` against `profile`. The profile's blocks must be loaded.
UnitCompliance CompareUnit(const SurveyedUnit& unit, const Profile& profile);

// The profile's entry for `model`; null when it has none.
const ModelProfile* ProfileFor(const Profile& profile, const std::string& model);

}  // namespace marnel
