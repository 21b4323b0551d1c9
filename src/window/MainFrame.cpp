#include "window/MainFrame.h"

#include <commdlg.h>

#include <vector>

#include "res/Resource.h"
#include "window/AboutDlg.h"

namespace marnel {

namespace {

// One drop on the main window. Each path is fetched whole: its length is
// asked first, so a path of any length arrives uncut.
class CDroppedFiles : public IDroppedFiles {
public:
    explicit CDroppedFiles(HDROP hDrop) : m_hDrop(hDrop) {}
    ~CDroppedFiles() override { Finish(); }
    CDroppedFiles(const CDroppedFiles&) = delete;
    CDroppedFiles& operator=(const CDroppedFiles&) = delete;

    DWORD Count() override { return DragQueryFileA(m_hDrop, 0xFFFFFFFF, nullptr, 0); }

    std::string Path(DWORD index) override {
        UINT length = DragQueryFileA(m_hDrop, index, nullptr, 0);
        if (length == 0) {
            return std::string();
        }
        std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
        UINT copied = DragQueryFileA(m_hDrop, index, buffer.data(), length + 1);
        return std::string(buffer.data(), copied);
    }

    // Released once, whatever the handler did.
    void Finish() override {
        if (m_hDrop != nullptr) {
            DragFinish(m_hDrop);
            m_hDrop = nullptr;
        }
    }

private:
    HDROP m_hDrop;
};

}  // namespace

CMainFrame::CMainFrame(const PlatformServices& services, IMessageHook* pHook)
    : CDialog(IDD_MAIN_DIALOG, nullptr), m_logic(services, *this, *this), m_pHook(pHook) {}

// clang-format off
BEGIN_MESSAGE_MAP(CMainFrame, CDialog)
    ON_WM_SYSCOMMAND()
    ON_BN_CLICKED(IDC_GET_REPORT, OnGetReport)
    ON_BN_CLICKED(IDC_GET_PARAMETERS, OnGetParameters)
    ON_BN_CLICKED(IDC_PUT_PARAMETERS, OnPutParameters)
    ON_BN_CLICKED(IDC_FIRMWARE_UPGRADE, OnFirmwareUpgrade)
    ON_WM_TIMER()
    ON_WM_DROPFILES()
    ON_WM_DEVICECHANGE()
    ON_WM_SETCURSOR()
END_MESSAGE_MAP()
// clang-format on

BOOL CMainFrame::OnInitDialog() {
    CDialog::OnInitDialog();
    App().hMainWnd = m_hWnd;
    return m_logic.OnInitDialog();
}

void CMainFrame::OnOK() {
    m_logic.OnOK();
}

bool CMainFrame::PreDispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    return m_pHook != nullptr && m_pHook->OnMessage(m_hWnd, message, wParam, lParam, pResult);
}

void CMainFrame::OnSysCommand(UINT nID, LPARAM lParam) {
    m_logic.OnSysCommand(nID, static_cast<std::intptr_t>(lParam));
}

void CMainFrame::OnGetReport() {
    m_logic.OnGetReport();
}
void CMainFrame::OnGetParameters() {
    m_logic.OnGetParameters();
}
void CMainFrame::OnPutParameters() {
    m_logic.OnPutParameters();
}
void CMainFrame::OnFirmwareUpgrade() {
    m_logic.OnFirmwareUpgrade();
}

void CMainFrame::OnTimer(UINT_PTR nIDEvent) {
    m_logic.OnTimer(static_cast<DWORD>(nIDEvent));
}

void CMainFrame::OnDropFiles(HDROP hDropInfo) {
    CDroppedFiles drop(hDropInfo);
    m_logic.OnDropFiles(drop);
}

BOOL CMainFrame::OnDeviceChange(UINT nEventType, DWORD_PTR dwData) {
    return m_logic.OnDeviceChange(nEventType, static_cast<DWORD>(dwData));
}

BOOL CMainFrame::OnSetCursor(HWND, UINT, UINT) {
    // Keeps the wait cursor up while a command runs, wherever the mouse is.
    if (m_nWaitCursorCount > 0) {
        SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)));  // IDC_WAIT
        return TRUE;
    }
    Default();
    return FALSE;
}

HWND CMainFrame::ActiveOwner() const {
    HWND hMain = m_hWnd != nullptr ? m_hWnd : App().hMainWnd;
    if (hMain == nullptr) {
        return nullptr;
    }
    HWND hPopup = GetLastActivePopup(hMain);
    return hPopup != nullptr ? hPopup : hMain;
}

int CMainFrame::ShowMessageBox(const std::string& text, DWORD type) {
    std::string caption = LoadResString(AFX_IDS_APP_TITLE);
    return MessageBoxA(ActiveOwner(), text.c_str(), caption.c_str(), type);
}

bool CMainFrame::ShowFileDialog(const FileDialogRequest& request, std::string* path) {
    // "label|pattern|...|" becomes the dialog's double-NUL-ended list.
    std::string filter = request.filter;
    for (char& c : filter) {
        if (c == '|') {
            c = '\0';
        }
    }
    filter.push_back('\0');

    // Room for long paths; the dialog tells when a name does not fit.
    std::vector<char> file(32768, '\0');
    request.initialName.copy(file.data(), file.size() - 1);

    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = ActiveOwner();
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrDefExt = request.defaultExtension.empty() ? nullptr : request.defaultExtension.c_str();
    ofn.Flags = request.flags | OFN_EXPLORER;

    BOOL ok =
        request.kind == FileDialogKind::kOpen ? GetOpenFileNameA(&ofn) : GetSaveFileNameA(&ofn);
    if (!ok) {
        return false;
    }
    *path = file.data();
    return true;
}

void CMainFrame::RunAboutBox(FontHandle font) {
    CAboutDlg about(static_cast<HFONT>(font));
    about.DoModal();
}

void CMainFrame::RunReportWindow(IReportWindowHandler& handler) {
    RunReportWindowModal(handler);
}

void CMainFrame::BeginWaitCursor() {
    if (m_nWaitCursorCount++ == 0) {
        m_hcurRestore = SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)));  // IDC_WAIT
    }
}

void CMainFrame::EndWaitCursor() {
    if (m_nWaitCursorCount > 0 && --m_nWaitCursorCount == 0) {
        SetCursor(m_hcurRestore != nullptr
                      ? m_hcurRestore
                      : LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));  // IDC_ARROW
    }
}

void CMainFrame::SetDeviceLabel(const std::string& text) {
    SetDlgItemTextA(m_hWnd, IDC_DEVICE_NAME, text.c_str());
}

DWORD CMainFrame::SetTimer(DWORD id, DWORD elapseMs) {
    return static_cast<DWORD>(::SetTimer(m_hWnd, id, elapseMs, nullptr));
}

void CMainFrame::KillTimer(DWORD timer) {
    ::KillTimer(m_hWnd, timer);
}

void CMainFrame::DefaultProcessing() {
    Default();
}

bool CMainFrame::HasSystemMenu() {
    return GetSystemMenu(m_hWnd, FALSE) != nullptr;
}

void CMainFrame::AppendSystemMenuSeparator() {
    AppendMenuA(GetSystemMenu(m_hWnd, FALSE), MF_SEPARATOR, 0, nullptr);
}

void CMainFrame::AppendSystemMenuItem(DWORD id, const std::string& text) {
    AppendMenuA(GetSystemMenu(m_hWnd, FALSE), MF_STRING, id, text.c_str());
}

IconHandle CMainFrame::LoadAppIcon(DWORD id) {
    return LoadIconA(App().hInstance, MAKEINTRESOURCEA(id));
}

void CMainFrame::SetBigIcon(IconHandle icon) {
    SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
}

FontHandle CMainFrame::CreateIconTitleFont() {
    LOGFONTA logFont = {};
    // The size argument is that of the font description, 60 bytes.
    if (!SystemParametersInfoA(SPI_GETICONTITLELOGFONT, sizeof logFont, &logFont, 0)) {
        return nullptr;
    }
    return CreateFontIndirectA(&logFont);
}

void CMainFrame::DeleteFont(FontHandle font) {
    DeleteObject(static_cast<HFONT>(font));
}

void CMainFrame::ApplyFontToMainWindow(FontHandle font) {
    ApplyFontToSelfAndChildren(static_cast<HFONT>(font));
}

void CMainFrame::AcceptDroppedFiles(bool accept) {
    DragAcceptFiles(m_hWnd, accept ? TRUE : FALSE);
}

void CMainFrame::BringToForeground() {
    SetForegroundWindow(m_hWnd);
}

bool CMainFrame::IsShiftDown() {
    return GetKeyState(VK_SHIFT) < 0;
}

}  // namespace marnel
