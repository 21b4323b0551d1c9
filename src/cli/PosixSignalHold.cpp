#include "cli/SignalHold.h"

#include <signal.h>

#include <csignal>

namespace marnel::cli {

namespace {

// Every signal that ends the tool by default and can be caught: Ctrl+C, a
// kill, a closed terminal or SSH session, Ctrl+\\.
constexpr int kHeldSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int kHeldCount = sizeof kHeldSignals / sizeof kHeldSignals[0];

volatile std::sig_atomic_t g_caughtSignal = 0;
struct sigaction g_previous[kHeldCount];

void Record(int signal) { g_caughtSignal = signal; }

}  // namespace

SignalHold::SignalHold() {
    g_caughtSignal = 0;
    struct sigaction hold {};
    hold.sa_handler = Record;
    sigemptyset(&hold.sa_mask);
    // No SA_RESTART: a wait on the terminal ends, so the caller sees the
    // signal at once.
    hold.sa_flags = 0;
    for (int i = 0; i < kHeldCount; ++i) {
        sigaction(kHeldSignals[i], &hold, &g_previous[i]);
    }
}

SignalHold::~SignalHold() {
    for (int i = 0; i < kHeldCount; ++i) {
        sigaction(kHeldSignals[i], &g_previous[i], nullptr);
    }
}

int SignalHold::Caught() { return static_cast<int>(g_caughtSignal); }

const char* SignalHold::EndOfInputKeys() { return "Ctrl-D"; }

}  // namespace marnel::cli
