// A unit judged against a profile, as the tool's JSON gives it (check,
// apply, inventory): the one place its keys are spelled.
#pragma once

#include <nlohmann/json.hpp>

#include "ops/Compliance.h"

namespace marnel::cli {

// {"printer", "serial", "model", "location", "covered", "compliant",
//  "firmware", "parameters", "error"?}
nlohmann::json UnitRecordJson(const UnitCompliance& unit);

// Only what the profile names of it: {"firmware", "parameters"}, each null
// when the profile names none.
nlohmann::json UnitStateJson(const UnitCompliance& unit);

}  // namespace marnel::cli
