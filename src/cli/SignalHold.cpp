#include "cli/SignalHold.h"

#include <signal.h>

#include <csignal>

namespace marnel::cli {

namespace {

volatile std::sig_atomic_t g_caughtSignal = 0;
struct sigaction g_previousInt;
struct sigaction g_previousTerm;

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
    sigaction(SIGINT, &hold, &g_previousInt);
    sigaction(SIGTERM, &hold, &g_previousTerm);
}

SignalHold::~SignalHold() {
    sigaction(SIGINT, &g_previousInt, nullptr);
    sigaction(SIGTERM, &g_previousTerm, nullptr);
}

int SignalHold::Caught() const { return static_cast<int>(g_caughtSignal); }

}  // namespace marnel::cli
