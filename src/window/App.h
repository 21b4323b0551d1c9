// The application object: the single-instance guard and the main window's
// modal run. The two programs (the product and its simulator-backed test
// build) differ only in the world they hand it.
#pragma once

#include "platform/Services.h"
#include "window/Framework.h"
#include "window/MainFrame.h"

namespace marnel {

// The named mutex that keeps a second instance from starting.
constexpr const char* kInstanceMutexName = "Zarvel KQ Service Tool";

class CQuillKQApp {
public:
    CQuillKQApp() = default;
    virtual ~CQuillKQApp() = default;
    CQuillKQApp(const CQuillKQApp&) = delete;
    CQuillKQApp& operator=(const CQuillKQApp&) = delete;

    // Runs the program; always false, so no message loop of its own follows.
    virtual BOOL InitInstance();

    // Set by the entry point before InitInstance.
    HINSTANCE m_hInstance = nullptr;
    const PlatformServices* m_pServices = nullptr;
    IMessageHook* m_pHook = nullptr;
    // The main window while it runs.
    CMainFrame* m_pMainWnd = nullptr;
};

extern CQuillKQApp theApp;

// The shared entry: sets up theApp for `services` and runs it. Returns the
// process's exit code.
int RunApplication(HINSTANCE hInstance, const PlatformServices& services, IMessageHook* pHook);

}  // namespace marnel
