// What every use case shares: how it ended (a kind whose history text is
// fixed here), the cause for the expert, how it is told to stop, and where
// it records a change to a device.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "files/FileException.h"
#include "protocol/Result.h"

namespace marnel {

class IEnvironment;
class IFileSystem;
class IHashing;

enum class OutcomeKind {
    kSucceeded,
    kRefused,          // the checks refused the input; nothing reached the device
    kNoDevice,         // the device could not be opened
    kDeviceFailed,     // a transfer failed or the device refused
    kFileError,        // a file (the input, a backup, an output) could not be used
    kOutOfMemory,      // a buffer could not be had
    kCancelled,        // the user gave up before anything was sent
    kInterrupted,      // a signal stopped it at a safe point
    kFileChanged,      // the firmware file changed while it was sent
    kSentNotVerified,  // firmware sent, but the unit could not be checked afterwards
    kJobHeld,          // the spooler kept the firmware job from the unit; it was cancelled
};

// The history's word for the kind: "succeeded", "refused", ... Fixed here,
// once, because stored history lines are read back by these words.
const char* OutcomeText(OutcomeKind kind);

struct Outcome {
    OutcomeKind kind = OutcomeKind::kSucceeded;
    Failure failure;                          // why, for the expert: the device's or the system's cause
    std::optional<CFileException> fileError;  // kFileError
    int signal = 0;                           // kInterrupted: what stopped it

    bool Succeeded() const { return kind == OutcomeKind::kSucceeded; }
    // The cause in one line, with what was being done; empty when none is known.
    std::string Detail() const { return failure.Describe(); }
};

// Asked at the points where a use case may stop without leaving a device
// half written or a job half made.
class ICancelToken {
public:
    virtual ~ICancelToken() = default;
    // The signal (or other non-zero reason) that asked to stop; 0: go on.
    virtual int Requested() const = 0;
};

// The window's token: its commands run to their end.
class CNeverCancel : public ICancelToken {
public:
    int Requested() const override { return 0; }
};

// Where a change to a device is recorded. Without a state folder's services
// (a world without user folders) nothing is recorded.
struct ChangeLog {
    IFileSystem* fileSystem = nullptr;
    IEnvironment* environment = nullptr;
    IHashing* hashing = nullptr;  // digests of what went to a unit; none: not recorded
    bool simulated = false;       // the built-in simulated device
    // The front end's exit status for an outcome; none: not recorded.
    std::function<std::optional<int>(const Outcome&)> exitStatusFor;
    // Sees each line once it is in the history (a fleet run reports them).
    std::function<void(const std::string& line)> recorded;
};

}  // namespace marnel
