#include "window/App.h"

namespace marnel {

CQuillKQApp theApp;

BOOL CQuillKQApp::InitInstance() {
    // Owned from the start and never released: the running instance holds
    // it until the process ends. A second instance leaves without a word and
    // does not bring the first one forward.
    HANDLE hMutex = CreateMutexA(nullptr, TRUE, kInstanceMutexName);
    if (hMutex == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) {
        return FALSE;
    }

    CMainFrame dlg(*m_pServices, m_pHook);
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    App().hMainWnd = nullptr;
    return FALSE;
}

int RunApplication(HINSTANCE hInstance, const PlatformServices& services, IMessageHook* pHook) {
    App().hInstance = hInstance;
    theApp.m_hInstance = hInstance;
    theApp.m_pServices = &services;
    theApp.m_pHook = pHook;
    theApp.InitInstance();
    return 0;
}

}  // namespace marnel
