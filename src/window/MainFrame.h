// The main window on Windows: dialog template 101 whose messages go to the
// portable CQuillKQDlg, and the user interface that logic asks for, done
// with the real Win32 calls. It decides nothing itself.
#pragma once

#include "app/MainDlg.h"
#include "platform/Services.h"
#include "platform/Dialogs.h"
#include "platform/MainWindow.h"
#include "window/Framework.h"

namespace marnel {

// A message the main window hands on before its own map: the test build uses
// it to change its simulated world; the product passes none.
class IMessageHook {
public:
    virtual ~IMessageHook() = default;
    // True when the message was taken; *result is then its result.
    virtual bool OnMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                           LRESULT* result) = 0;
};

class CMainFrame : public CDialog, public IDialogs, public IMainWindow {
public:
    CMainFrame(const PlatformServices& services, IMessageHook* pHook);

    CQuillKQDlg& Logic() { return m_logic; }

protected:
    DECLARE_MESSAGE_MAP()

    BOOL OnInitDialog() override;
    void OnOK() override;
    bool PreDispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

    // Message handlers: each one routes to the portable logic.
    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnGetReport();
    void OnGetParameters();
    void OnPutParameters();
    void OnFirmwareUpgrade();
    void OnTimer(UINT_PTR nIDEvent);
    void OnDropFiles(HDROP hDropInfo);
    BOOL OnDeviceChange(UINT nEventType, DWORD_PTR dwData);
    BOOL OnSetCursor(HWND hWnd, UINT nHitTest, UINT message);

    // IDialogs.
    int ShowMessageBox(const std::string& text, DWORD type) override;
    bool ShowFileDialog(const FileDialogRequest& request, std::string* path) override;

    // IMainWindow.
    void RunAboutBox(FontHandle font) override;
    void RunReportWindow(IReportWindowHandler& handler) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    void SetDeviceLabel(const std::string& text) override;
    DWORD SetTimer(DWORD id, DWORD elapseMs) override;
    void KillTimer(DWORD timer) override;
    void DefaultProcessing() override;
    bool HasSystemMenu() override;
    void AppendSystemMenuSeparator() override;
    void AppendSystemMenuItem(DWORD id, const std::string& text) override;
    IconHandle LoadAppIcon(DWORD id) override;
    void SetBigIcon(IconHandle icon) override;
    FontHandle CreateIconTitleFont() override;
    void DeleteFont(FontHandle font) override;
    void ApplyFontToMainWindow(FontHandle font) override;
    void AcceptDroppedFiles(bool accept) override;
    void BringToForeground() override;
    bool IsShiftDown() override;

private:
    // The window that owns a box or a file dialog: the main window's last
    // active popup (an open report window, say), as the framework chooses.
    HWND ActiveOwner() const;

    CQuillKQDlg m_logic;
    IMessageHook* m_pHook;
    int m_nWaitCursorCount = 0;
    HCURSOR m_hcurRestore = nullptr;
};

// Runs the report window (template 129) over the portable report logic.
void RunReportWindowModal(IReportWindowHandler& handler);

}  // namespace marnel
