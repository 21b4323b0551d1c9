// CReportDlg: the report window's logic (template 129): the report in a
// read-only text field, "&Save" and "&Close" kept at the bottom-right corner
// by the anchor layout, the text field stretched with the window, and the
// size grip. The window itself is the front end's; it routes its messages
// as IReportWindowHandler lists them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/AnchorLayout.h"
#include "app/Font.h"
#include "app/SizeGrip.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/ReportWindow.h"

namespace marnel {

class CReportDlg : public IReportWindowHandler {
public:
    // `pszText` is the report buffer of `cbBuffer` bytes; the text ends at
    // its first zero byte or at the end of the buffer, never beyond.
    CReportDlg(const char* pszText, std::size_t cbBuffer, IDialogs& dialogs,
               IFileSystem& fileSystem);
    ~CReportDlg() override;
    CReportDlg(const CReportDlg&) = delete;
    CReportDlg& operator=(const CReportDlg&) = delete;

    BOOL OnInitDialog(IReportWindow& window) override;
    void OnSave() override;
    void OnSize(DWORD nType, std::int32_t cx, std::int32_t cy) override;
    void OnPaint(PaintContext dc) override;
    int OnNcHitTest(Point screen, int defaultResult) override;
    int OnExitSizeMove() override;

    // The report's text, as shown and saved.
    std::string Text() const { return std::string(m_pszText, m_cchText); }

    const CFont* m_pFont = nullptr;  // borrowed: the main window's font
    const char* m_pszText;           // borrowed: the report buffer
    CAnchorLayout m_layout;
    CSizeGrip m_grip;

private:
    std::size_t m_cchText;
    IDialogs& m_dialogs;
    IFileSystem& m_fileSystem;
    IReportWindow* m_pWindow = nullptr;
};

}  // namespace marnel
