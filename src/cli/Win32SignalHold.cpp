// The console's control events held back as the POSIX signals are on Linux:
// Ctrl+C as SIGINT, Ctrl+Break as SIGTERM, a closed console window (or a
// logoff, a shutdown) as SIGHUP, numbered as there so that a script sees the
// same exit statuses (130, 143, 129).
#include <windows.h>

#include <atomic>

#include "cli/SignalHold.h"

namespace marnel::cli {

namespace {

constexpr int kHangUp = 1;
constexpr int kInterrupt = 2;
constexpr int kTerminate = 15;

// Windows ends a process whose console closes once its handler returns, or
// after 5 s (logoff and shutdown: 20 s); the held work gets as much of that
// as the system gives.
constexpr ::DWORD kCloseWaitMs = 20000;

std::atomic<int> g_caughtSignal{0};
// Set while nothing is held, so that a console closed meanwhile is not kept
// waiting.
HANDLE g_released = nullptr;

// Runs on a thread of its own that the system starts for the event.
::BOOL WINAPI Record(::DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
            g_caughtSignal = kInterrupt;
            return TRUE;
        case CTRL_BREAK_EVENT:
            g_caughtSignal = kTerminate;
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            // The process ends when this returns: wait for the job to be
            // cancelled or the block written back, and its history line.
            g_caughtSignal = kHangUp;
            WaitForSingleObject(g_released, kCloseWaitMs);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

SignalHold::SignalHold() {
    g_caughtSignal = 0;
    if (g_released == nullptr) {
        g_released = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    ResetEvent(g_released);
    SetConsoleCtrlHandler(Record, TRUE);
}

SignalHold::~SignalHold() {
    SetConsoleCtrlHandler(Record, FALSE);
    SetEvent(g_released);
}

int SignalHold::Caught() {
    return g_caughtSignal;
}

const char* SignalHold::EndOfInputKeys() { return "Ctrl+Z then Enter"; }

}  // namespace marnel::cli
