// Applying a profile: each surveyed unit is brought to what the profile
// wants for its model by the single-unit use cases, so that every change is
// backed up, verified and recorded exactly as `firmware` and `put-params`
// do it: firmware first (when its version differs and the profile has the
// image), then the block, compared again and put when it still differs.
// One unit's failure does not stop the others; a unit that holds what is
// wanted is not written to.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ops/Compliance.h"
#include "ops/DeviceAccess.h"
#include "ops/FirmwareUpgrade.h"
#include "ops/Outcome.h"

namespace marnel {

class IFileSystem;
class IHashing;

enum class ApplyResult {
    kUnchanged,  // nothing needed writing (or the model is not in the profile)
    kChanged,    // written, and the unit now holds what is wanted
    kFailed,     // a step failed, or the unit still differs afterwards
};

// "unchanged", "changed", "failed".
const char* ApplyResultName(ApplyResult result);

struct UnitApplication {
    UnitCompliance before;
    UnitCompliance after;  // read again once the unit was worked on; `before` when it was not
    ApplyResult result = ApplyResult::kUnchanged;
    bool changed = false;  // something was written to the unit (even if a later step failed)
    std::string error;     // kFailed: why
    std::vector<std::string> backups;  // made before each change
    std::vector<std::string> history;  // the history lines written, as written
};

struct FleetApplication {
    std::vector<UnitApplication> units;
    bool changed = false;  // something was written to some unit
    int signal = 0;        // a signal stopped the run before a unit; the rest were not tried

    bool Failed() const;
};

struct FleetApplyPolicy {
    std::uint64_t verifyTimeoutMs = 180000;  // how long a unit has to come back after firmware
};

// The front end's technician for `printer`'s firmware: the update-mode
// prompt and how long it waits for it.
using FirmwareObserverFor = std::function<std::unique_ptr<IFirmwareObserver>(const std::string&)>;

// Applies the loaded `profile` to each unit of `survey` (read through
// `access`), the firmware images read from `files`. `cancel` is asked
// before each unit and inside each use case.
FleetApplication ApplyProfile(CDeviceAccess& access, IFileSystem& files, IHashing* hashing,
                              const Profile& profile, const std::vector<SurveyedUnit>& survey,
                              const FleetApplyPolicy& policy,
                              const FirmwareObserverFor& observerFor, const ICancelToken& cancel,
                              const ChangeLog& log);

}  // namespace marnel
