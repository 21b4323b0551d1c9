// SIGINT, SIGTERM, SIGHUP and SIGQUIT held back while an object of this
// class lives (on Windows the console's Ctrl+C, Ctrl+Break and close, as
// SIGINT, SIGTERM and SIGHUP): they are recorded, not acted on, so that a
// job can be cancelled or a parameter block written back, and the history
// line written, before the tool ends with the signal's status. One
// implementation per platform.
#pragma once

#include "ops/Outcome.h"

namespace marnel::cli {

// Also the cancel token of the use cases it holds signals for.
class SignalHold : public ICancelToken {
public:
    SignalHold();
    ~SignalHold() override;
    SignalHold(const SignalHold&) = delete;
    SignalHold& operator=(const SignalHold&) = delete;

    // The signal that arrived while held; 0 when none did.
    static int Caught();
    int Requested() const override { return Caught(); }

    // The keys that end standard input here, which cancel a prompt that
    // waits for Enter: "Ctrl-D" on Linux, "Ctrl+Z then Enter" on Windows.
    static const char* EndOfInputKeys();

    // The exit status of a tool that a signal ended: 128 + its number.
    static int ExitStatusFor(int signal) { return 128 + signal; }
};

}  // namespace marnel::cli
