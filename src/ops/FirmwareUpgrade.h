// Firmware Upgrade: a file sent unchanged as one raw job, once the unit was
// restarted in its update mode. The window's policy sends it and nothing
// more; the tool's first reads and backs up what the unit runs and holds,
// and afterwards checks that the same unit came back, what it runs and
// whether its parameters changed. Records the change in the history.
#pragma once

#include <cstdint>
#include <string>

#include "ops/DeviceAccess.h"
#include "ops/Outcome.h"
#include "platform/Spooler.h"
#include "protocol/ParameterBlock.h"

namespace marnel {

class IFileSystem;

struct FirmwarePolicy {
    bool checkFile = false;      // refuse an empty file, or one that is no regular file
    // Refuse a printer that takes no jobs now (paused, rejecting), and once
    // the job is in, see that the queue hands it on: one it holds is cancelled.
    bool checkQueue = false;
    bool baseline = false;       // read version and parameters first, and back them up
    bool verify = false;         // afterwards wait for the unit in service mode and compare
    std::uint64_t verifyTimeoutMs = 0;
    bool restoreParams = false;  // put back parameters the upgrade changed
};

// The window's: the file is sent and nothing else is asked of the unit.
inline FirmwarePolicy WindowFirmwarePolicy() { return FirmwarePolicy{}; }

class IFirmwareObserver {
public:
    virtual ~IFirmwareObserver() = default;
    // The unit must be restarted in its update mode; `attempt` counts the
    // times asked (0 the first). False gives up, once the observer said why.
    virtual bool UpdateModeNeeded(int attempt) = 0;
    // After each piece the spooler took.
    virtual void Progress(std::uint64_t /*sent*/, std::uint64_t /*total*/) {}
    // The whole job was taken.
    virtual void Sent(std::uint64_t /*bytes*/) {}
    // The unit must be restarted in its service mode to be checked.
    virtual void ServiceModeNeeded() {}
    // The unit's state could not be read before the upgrade.
    virtual void BaselineUnreadable() {}
};

// Where an upgrade ended.
enum class FirmwareStage {
    kFile,      // opening and measuring the file
    kPrinter,   // no printer to send to, or one that takes no jobs
    kBaseline,  // backing up what the unit holds
    kPrompt,    // waiting for the update mode
    kSend,      // the job
    kVerify,    // waiting for the unit in service mode
    kCompare,   // reading its parameters
    kRestore,   // putting changed parameters back
    kDone,
};

struct FirmwareOutcome : Outcome {
    FirmwareStage stage = FirmwareStage::kDone;
    std::uint64_t length = 0;     // the file's, as measured
    std::uint64_t bytesSent = 0;  // handed to the spooler
    std::string sha256;           // of the bytes sent, once the whole file was
    JobStatus job;                // kJobHeld: where the spooler kept the job
    std::string cancelFailure;    // kJobHeld: why it could not be cancelled; empty when it was
    bool baselineRead = false;        // the block before was read (and backed up)
    bool blockBeforeInvalid = false;  // it was read, but its checksum did not hold
    std::string versionBefore;        // empty when it could not be read
    ParameterBlockBytes blockBefore{};
    std::string backup;
    bool verified = false;
    std::string versionAfter;   // once verified
    std::string changedRanges;  // "8-11, 40": parameter bytes the upgrade changed
    bool parametersRestored = false;
    DeviceIdentity identity;   // the unit, as read before the upgrade
    DeviceIdentity wrongUnit;  // another unit that answered afterwards
    std::optional<CFileException> historyError;
};

// Sends `file` (on `files`) to `printer`'s unit as `policy` says, telling `observer`
// what it needs and how it goes. `cancel` is asked before each prompt,
// between pieces and while waiting for the unit afterwards.
[[nodiscard]] FirmwareOutcome UpgradeFirmware(CDeviceAccess& access, const std::string& printer,
                                IFileSystem& files, const std::string& file, const FirmwarePolicy& policy,
                                IFirmwareObserver& observer, const ICancelToken& cancel,
                                const ChangeLog& log);

// "8-11, 40": where two blocks differ; empty when they do not.
std::string ChangedRanges(const ParameterBlockBytes& before, const ParameterBlockBytes& after);

}  // namespace marnel
