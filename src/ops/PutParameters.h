// Put Parameters: a 266-byte block into an open unit, as each front end's
// policy asks: the window sends it as it is and lets the unit decide; the
// tool checks it against the unit, backs up what it replaces and reads it
// back. Records the change in the history.
#pragma once

#include <string>

#include "ops/DeviceAccess.h"
#include "ops/Outcome.h"
#include "ops/ParameterFile.h"

namespace marnel {

struct PutParametersPolicy {
    bool checkFile = false;  // refuse a block whose checksum fails or whose model is not the unit's
    bool backup = false;     // save the unit's own block to the backup store first
    bool readBack = false;   // read the block back and compare it with what was sent

    // The unit's block is needed to check against or to back up.
    bool ReadsCurrent() const { return checkFile || backup; }
};

// Where a put ended.
enum class PutStep {
    kReadCurrent,  // reading the unit's own block
    kCheck,        // the checks refused the file
    kBackup,       // saving the backup
    kWrite,        // the write and store
    kReadBack,     // reading back what was stored
    kDone,
};

struct PutParametersOutcome : Outcome {
    PutStep step = PutStep::kDone;
    ParameterFileVerdict verdict;  // when the unit's block was read
    std::string backup;            // where the replaced block was saved
    bool ownBlockInvalid = false;  // the unit's own block failed its checksum (backed up as read)
    bool storedInvalidChecksum = false;  // stored as sent, but the block's checksum does not hold
    std::optional<CFileException> historyError;
};

// Writes `block`, read from `file`, into `device`'s unit. `cancel` is asked
// once, before the write: once it has begun, the put ends as it ends.
[[nodiscard]] PutParametersOutcome PutParameters(OpenedDevice& device,
                                                 const ParameterBlockBytes& block,
                                                 const std::string& file,
                                                 const PutParametersPolicy& policy,
                                                 const ICancelToken& cancel, const ChangeLog& log);

}  // namespace marnel
