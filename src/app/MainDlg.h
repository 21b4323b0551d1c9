// CQuillKQDlg: the main window's logic. The window itself (template 101) is
// the front end's; it routes each message to the handler named beside it
// and implements IDialogs and IMainWindow. Everything that decides lives here:
// which printer is the device, what the label says, when the choice is
// checked again, where the system-menu command and a drop lead.
//
// Message map, as the front end routes it:
//   WM_SYSCOMMAND             -> OnSysCommand
//   BN_CLICKED 1002           -> OnGetReport
//   BN_CLICKED 1003           -> OnGetParameters
//   BN_CLICKED 1004           -> OnPutParameters
//   BN_CLICKED 1005           -> OnFirmwareUpgrade
//   WM_TIMER                  -> OnTimer
//   WM_DROPFILES              -> OnDropFiles
//   WM_DEVICECHANGE           -> OnDeviceChange
//   IDOK                      -> OnOK (does nothing; IDCANCEL closes the window)
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/Font.h"
#include "ops/DeviceAccess.h"
#include "ops/Outcome.h"
#include "platform/Dialogs.h"
#include "platform/MainWindow.h"
#include "platform/Services.h"
#include "platform/Types.h"

namespace marnel {

class CDevicePort;

// The window timer that delays the re-check after a device change.
constexpr DWORD kDeviceChangeTimerId = 1;
constexpr DWORD kDeviceChangeDelayMs = 200;
// How long the re-check waits for a changing device to settle.
constexpr DWORD kRecheckSettleMs = 1000;
// WM_DEVICECHANGE event type DBT_DEVNODES_CHANGED.
constexpr DWORD kDbtDevNodesChanged = 7;
// The system-menu command ids 0x0010 to 0x001F all mean the About item.
constexpr DWORD kSysCommandMask = 0xFFF0;

class CQuillKQDlg {
public:
    // Raised (with the value 1) when the printer enumeration fails; caught
    // inside FindDevicePrinters.
    enum ERROR_NO { ERROR_NO_ENUM_PRINTERS = 1 };

    // `dialogs` and `window` are the main window's; all must outlive the object.
    CQuillKQDlg(const PlatformServices& services, IDialogs& dialogs, IMainWindow& window);
    virtual ~CQuillKQDlg();
    CQuillKQDlg(const CQuillKQDlg&) = delete;
    CQuillKQDlg& operator=(const CQuillKQDlg&) = delete;

    // Called after the dialog's own initialisation, before the window is
    // first shown. Returns TRUE: the focus goes to the first tab stop.
    BOOL OnInitDialog();
    // Enter with no push button focused: the main window stays open.
    void OnOK() {}

    // --- Message handlers ---
    void OnSysCommand(DWORD nID, std::intptr_t lParam);
    void OnGetReport();
    void OnGetParameters();
    void OnPutParameters();
    void OnFirmwareUpgrade();
    void OnTimer(DWORD nIDEvent);
    void OnDropFiles(IDroppedFiles& drop);
    BOOL OnDeviceChange(DWORD nEventType, DWORD dwData);

    // --- Printer selection ---

    // Chooses the device afresh, warns when several qualify, sets the label.
    void SelectPrinter();
    // Counts the qualifying printers; stores the first one's name only if
    // m_strPrinterName is empty.
    int FindDevicePrinters();
    // Shows the chosen printer's name, or "- No Device -".
    void UpdateDeviceLabel();

    // --- Operations reached from here ---

    // Sends the firmware file at `path` to the device. Virtual so that the
    // hand-off from a drop can be observed on its own.
    virtual void DownloadFirmware(const std::string& path);
    // The diagnostic self test (Shift + "&About Marnel..."). Virtual for the
    // same reason.
    virtual void SelfTest();

    // --- State shared by the operations ---
    IconHandle m_hIcon = nullptr;   // icon 128; null when it could not be loaded
    CFont m_font;                   // the icon-title font; may hold none
    std::string m_strPrinterName;   // the chosen printer; empty: no device
    std::string m_strFirmwarePath;  // the firmware file last chosen in its dialog
    std::string m_strParamPath;     // the parameter file last chosen in either dialog
    DWORD m_nTimer = 0;             // the pending re-check's timer; 0: none

protected:
    // True when the stored printer can still be opened and is not offline.
    bool ConfirmStoredPrinter();
    // The port a command makes for its transfers (closed). Virtual so that
    // a test can hand in one whose request buffers cannot be allocated.
    virtual std::unique_ptr<CDevicePort> MakePort();
    // How the commands reach a unit: through MakePort.
    CDeviceAccess MakeAccess();
    // Opens the chosen printer's unit; on failure says "Failed to connect."
    // and returns false.
    bool OpenDeviceOrSay(OpenedDevice* device);
    // Where the use cases record the changes they make.
    ChangeLog MakeChangeLog() const;

    PlatformServices m_services;
    IDialogs& m_dialogs;
    IMainWindow& m_window;
};

}  // namespace marnel
