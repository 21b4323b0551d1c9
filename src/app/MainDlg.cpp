#include "app/MainDlg.h"

#include <new>

#include "app/AppMessageBox.h"
#include "app/WaitCursor.h"
#include "files/FileException.h"
#include "ops/PrinterSelection.h"
#include "platform/Clock.h"
#include "platform/Spooler.h"
#include "protocol/DevicePort.h"
#include "res/StringTable.h"

namespace marnel {

CQuillKQDlg::CQuillKQDlg(const PlatformServices& services, IDialogs& dialogs,
                         IMainWindow& window)
    : m_services(services), m_dialogs(dialogs), m_window(window) {
    m_hIcon = m_window.LoadAppIcon(IDR_MAINFRAME);
}

CQuillKQDlg::~CQuillKQDlg() = default;

BOOL CQuillKQDlg::OnInitDialog() {
    // "&About Marnel..." at the end of the system menu, after a separator.
    if (m_window.HasSystemMenu()) {
        const std::string about = LoadString(IDS_ABOUTBOX);
        if (!about.empty()) {
            m_window.AppendSystemMenuSeparator();
            m_window.AppendSystemMenuItem(IDM_ABOUTBOX, about);
        }
    }

    m_window.SetBigIcon(m_hIcon);

    // The user's icon-title font for the window and its controls; without
    // it they keep the template's font.
    if (m_font.Attach(m_window.CreateIconTitleFont(), m_window)) {
        m_window.ApplyFontToMainWindow(m_font.GetSafeHandle());
    }

    SelectPrinter();

    m_window.AcceptDroppedFiles(true);
    return 1;
}

void CQuillKQDlg::OnSysCommand(DWORD nID, std::intptr_t /*lParam*/) {
    if ((nID & kSysCommandMask) != IDM_ABOUTBOX) {
        m_window.DefaultProcessing();
        return;
    }
    if (m_window.IsShiftDown()) {
        SelfTest();
    } else {
        m_window.RunAboutBox(m_font.GetSafeHandle());
    }
}

void CQuillKQDlg::OnDropFiles(IDroppedFiles& drop) {
    // The drop is released on every way out, an exception included.
    struct FinishDrop {
        IDroppedFiles& drop;
        ~FinishDrop() { drop.Finish(); }
    } finish{drop};

    m_window.BringToForeground();
    if (drop.Count() >= 1) {
        // Only the first file counts; its extension is not looked at, and it
        // does not become the firmware dialog's remembered file.
        const std::string path = drop.Path(0);
        DownloadFirmware(path);
    }
}

BOOL CQuillKQDlg::OnDeviceChange(DWORD nEventType, DWORD /*dwData*/) {
    if (nEventType == kDbtDevNodesChanged) {
        // Restarting the timer replaces it: a burst of notifications leads
        // to one re-check after the last of them.
        m_nTimer = m_window.SetTimer(kDeviceChangeTimerId, kDeviceChangeDelayMs);
    }
    return 1;
}

void CQuillKQDlg::OnTimer(DWORD nIDEvent) {
    if (nIDEvent != m_nTimer) {
        m_window.DefaultProcessing();
        return;
    }
    m_window.KillTimer(m_nTimer);
    m_nTimer = 0;

    if (m_strPrinterName.empty()) {
        SelectPrinter();
        return;
    }
    // While the stored printer stays usable the choice stands, even if
    // other devices arrived meanwhile.
    if (!ConfirmStoredPrinter()) {
        SelectPrinter();
    }
}

bool CQuillKQDlg::ConfirmStoredPrinter() {
    CWaitCursor wait(m_window);
    // Give a device that is coming or going time to settle in the spooler.
    m_services.clock.Sleep(kRecheckSettleMs);
    try {
        return IsPrinterUsable(m_services.spooler, m_strPrinterName);
    } catch (const std::bad_alloc&) {
        AfxMessageBox(m_dialogs, AFX_IDS_MEMORY_EXCEPTION, kMbOk);
        return false;
    }
}

std::unique_ptr<CDevicePort> CQuillKQDlg::MakePort() {
    return std::make_unique<CDevicePort>(m_services);
}

CDeviceAccess CQuillKQDlg::MakeAccess() {
    return CDeviceAccess(m_services, [this] { return MakePort(); });
}

bool CQuillKQDlg::OpenDeviceOrSay(OpenedDevice* device) {
    CDeviceAccess access = MakeAccess();
    if (access.Open(m_strPrinterName, device)) {
        return true;
    }
    AfxMessageBox(m_dialogs, IDS_FAILED_CONNECT);
    return false;
}

ChangeLog CQuillKQDlg::MakeChangeLog() const {
    ChangeLog log;
    log.fileSystem = m_services.fileSystem;
    log.environment = m_services.environment;
    log.hashing = m_services.hashing;
    return log;
}

void CQuillKQDlg::SelectPrinter() {
    m_strPrinterName.clear();
    const int count = FindDevicePrinters();
    if (count > 1) {
        // Modal: the label follows only once the box is closed.
        AfxMessageBox(m_dialogs, IDS_MANY_DEVICES, kMbOk);
    }
    UpdateDeviceLabel();
}

int CQuillKQDlg::FindDevicePrinters() {
    int count = 0;
    try {
        const DeviceSelection selection =
            SelectDevicePrinter(m_services.spooler, m_services.codePage);
        if (selection.NothingListed()) {
            throw ERROR_NO_ENUM_PRINTERS;
        }
        count = selection.count;
        if (m_strPrinterName.empty() && !selection.chosen.empty()) {
            m_strPrinterName = selection.chosen;
        }
    } catch (ERROR_NO) {
        // No printers to be had is no error of its own: the label says so.
    } catch (const std::bad_alloc&) {
        AfxMessageBox(m_dialogs, AFX_IDS_MEMORY_EXCEPTION, kMbOk);
    }
    return count;
}

void CQuillKQDlg::UpdateDeviceLabel() {
    if (!m_strPrinterName.empty()) {
        m_window.SetDeviceLabel(m_strPrinterName);
    } else {
        m_window.SetDeviceLabel(LoadString(IDS_NO_DEVICE));
    }
}

}  // namespace marnel
