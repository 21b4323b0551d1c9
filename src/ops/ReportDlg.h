// CReportDlg: the report window's logic (template 129): the report in a
// read-only text field, "&Save" and "&Close" kept at the bottom-right corner
// by the anchor layout, the text field stretched with the window, and the
// size grip. The window itself is the front end's: it routes
//   WM_INITDIALOG      -> OnInitDialog (after the dialog's own initialisation)
//   BN_CLICKED 1003    -> OnSave
//   WM_SIZE            -> OnSize (after the default processing)
//   WM_PAINT           -> OnPaint (between BeginPaint and EndPaint)
//   WM_NCHITTEST       -> OnNcHitTest (given the default processing's answer)
//   WM_EXITSIZEMOVE    -> OnExitSizeMove
// and ends the window on IDCANCEL ("&Close", Esc, the close box).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/Font.h"
#include "ops/AnchorLayout.h"
#include "ops/SizeGrip.h"
#include "platform/FileSystem.h"
#include "platform/UserInterface.h"
#include "platform/WindowGeometry.h"

namespace marnel {

// The report window as its logic needs it, beyond the geometry.
class IReportWindow : public IWindowGeometry {
public:
    // WM_SETFONT with redraw to the window itself; a null font is sent too.
    virtual void SetOwnFont(FontHandle font) = 0;
    // The ids of the child windows, in child-window order.
    virtual std::vector<int> ChildIds() const = 0;
    // WM_SETFONT with redraw to a child.
    virtual void SetChildFont(int id, FontHandle font) = 0;
    // SetDlgItemText.
    virtual void SetChildText(int id, const std::string& text) = 0;
};

class CReportDlg {
public:
    // `pszText` is the report buffer of `cbBuffer` bytes; the text ends at
    // its first zero byte or at the end of the buffer, never beyond.
    CReportDlg(const char* pszText, std::size_t cbBuffer, IUserInterface& ui,
               IFileSystem& fileSystem);
    ~CReportDlg();
    CReportDlg(const CReportDlg&) = delete;
    CReportDlg& operator=(const CReportDlg&) = delete;

    BOOL OnInitDialog(IReportWindow& window);
    void OnSave();
    void OnSize(DWORD nType, std::int32_t cx, std::int32_t cy);
    void OnPaint(PaintContext dc);
    int OnNcHitTest(Point screen, int defaultResult);
    int OnExitSizeMove();

    // The report's text, as shown and saved.
    std::string Text() const { return std::string(m_pszText, m_cchText); }

    const CFont* m_pFont = nullptr;  // borrowed: the main window's font
    const char* m_pszText;           // borrowed: the report buffer
    CAnchorLayout m_layout;
    CSizeGrip m_grip;

private:
    std::size_t m_cchText;
    IUserInterface& m_ui;
    IFileSystem& m_fileSystem;
    IReportWindow* m_pWindow = nullptr;
};

}  // namespace marnel
