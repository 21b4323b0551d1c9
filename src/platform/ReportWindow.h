// The report window (template 129): what its logic asks of the window
// (beyond the geometry the layout and size grip use), and the messages the
// window routes to that logic.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Types.h"
#include "platform/WindowGeometry.h"

namespace marnel {

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

// The window routes
//   WM_INITDIALOG      -> OnInitDialog (after the dialog's own initialisation)
//   BN_CLICKED 1003    -> OnSave
//   WM_SIZE            -> OnSize (after the default processing)
//   WM_PAINT           -> OnPaint (between BeginPaint and EndPaint)
//   WM_NCHITTEST       -> OnNcHitTest (given the default processing's answer)
//   WM_EXITSIZEMOVE    -> OnExitSizeMove
// and ends itself on IDCANCEL ("&Close", Esc, the close box).
class IReportWindowHandler {
public:
    virtual ~IReportWindowHandler() = default;

    virtual BOOL OnInitDialog(IReportWindow& window) = 0;
    virtual void OnSave() = 0;
    virtual void OnSize(DWORD nType, std::int32_t cx, std::int32_t cy) = 0;
    virtual void OnPaint(PaintContext dc) = 0;
    virtual int OnNcHitTest(Point screen, int defaultResult) = 0;
    virtual int OnExitSizeMove() = 0;
};

}  // namespace marnel
