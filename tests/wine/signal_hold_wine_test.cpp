// The console program's signal hold under Wine: Ctrl+C sent to the console
// while a hold lives is recorded as SIGINT, does not end the process, and
// gives the Linux tool's exit status. (Wine sends no Ctrl+Break and no close
// event through GenerateConsoleCtrlEvent; those take the same path.)
#include <windows.h>

#include <cstdio>

#include "cli/SignalHold.h"

int main() {
    // A console of its own, so that the event has somewhere to go.
    FreeConsole();
    if (!AllocConsole()) {
        std::printf("FAIL: no console\n");
        return 1;
    }
    marnel::cli::SignalHold hold;
    const bool fresh = hold.Caught() == 0;
    const bool sent = GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != 0;
    // The handler runs on a thread the system starts for the event.
    for (int i = 0; i < 100 && hold.Caught() == 0; ++i) {
        Sleep(20);
    }
    const int status = marnel::cli::SignalHold::ExitStatusFor(hold.Caught());
    std::printf(
        "fresh hold caught nothing: %d; Ctrl+C sent: %d; caught signal %d, exit status %d\n", fresh,
        sent, hold.Caught(), status);
    const bool ok = fresh && sent && hold.Caught() == 2 && status == 130;
    std::printf("%s\n", ok ? "signal hold ok" : "FAIL: signal hold");
    return ok ? 0 : 1;
}
