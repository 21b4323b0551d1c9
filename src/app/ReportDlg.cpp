#include "app/ReportDlg.h"

#include "app/AppMessageBox.h"
#include "app/FileDialogs.h"
#include "device/AnsiText.h"
#include "files/File.h"
#include "res/Resource.h"

namespace marnel {

namespace {

constexpr int kIdCancelButton = 2;  // "&Close"

}  // namespace

CReportDlg::CReportDlg(const char* pszText, std::size_t cbBuffer, IDialogs& dialogs,
                       IFileSystem& fileSystem)
    : m_pszText(pszText),
      m_cchText(TerminatedLength(pszText, cbBuffer)),
      m_dialogs(dialogs),
      m_fileSystem(fileSystem) {}

CReportDlg::~CReportDlg() = default;

BOOL CReportDlg::OnInitDialog(IReportWindow& window) {
    m_pWindow = &window;
    if (m_pFont != nullptr) {
        // The buttons take the main window's font; the text field and what
        // follows it keep the template's fixed-width one.
        const FontHandle font = m_pFont->GetSafeHandle();
        window.SetOwnFont(font);
        for (int id : window.ChildIds()) {
            if (id == IDC_REPORT_TEXT) {
                break;
            }
            window.SetChildFont(id, font);
        }
    }
    m_layout.Attach(&window);
    m_layout.Add(kIdCancelButton, ANCHOR_MOVE_X | ANCHOR_MOVE_Y);
    m_layout.Add(IDC_SAVE, ANCHOR_MOVE_X | ANCHOR_MOVE_Y);
    m_layout.Add(IDC_REPORT_TEXT, ANCHOR_SIZE_X | ANCHOR_SIZE_Y);
    m_grip.Attach(&window);
    window.SetChildText(IDC_REPORT_TEXT, Text());
    return 1;
}

void CReportDlg::OnSave() {
    FileDialogRequest request;
    request.kind = FileDialogKind::kSave;
    request.defaultExtension = "*";
    request.flags = kOfnHideReadOnly | kOfnOverwritePrompt;
    request.filter = AllFilesFilter(IDS_TEXT_FILTER);
    std::string path;
    if (!m_dialogs.ShowFileDialog(request, &path)) {
        return;
    }
    // A dialog that appended the "All Files" pattern's extension leaves ".*".
    if (path.size() > 2 && path.compare(path.size() - 2, 2, ".*") == 0) {
        path.resize(path.size() - 2);
    }
    try {
        SaveFileReplacing(m_fileSystem, path, m_pszText, static_cast<DWORD>(m_cchText));
    } catch (const CFileException& error) {
        ReportFileError(m_dialogs, error);
    }
}

void CReportDlg::OnSize(DWORD /*nType*/, std::int32_t cx, std::int32_t cy) {
    if (m_grip.IsAttached()) {
        m_grip.Invalidate();
    }
    m_layout.OnSize(cx, cy);
}

void CReportDlg::OnPaint(PaintContext dc) {
    m_grip.Draw(dc);
}

int CReportDlg::OnNcHitTest(Point screen, int defaultResult) {
    return m_grip.HitTest(screen) ? kHtBottomRight : defaultResult;
}

int CReportDlg::OnExitSizeMove() {
    if (m_pWindow != nullptr) {
        m_pWindow->InvalidateAll(true);
    }
    return 1;
}

}  // namespace marnel
