// The report window on Windows: dialog template 129, whose messages go to
// the portable report logic (the core's handler) with the window's own side done by
// Win32ReportWindow.
#include "platform/ReportWindow.h"
#include "res/Resource.h"
#include "win32/Win32ReportWindow.h"
#include "window/MainFrame.h"

namespace marnel {

namespace {

class CReportFrame : public CDialog {
public:
    explicit CReportFrame(IReportWindowHandler& logic)
        : CDialog(IDD_REPORT, nullptr), m_logic(logic), m_window(nullptr) {}

protected:
    DECLARE_MESSAGE_MAP()

    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        m_window = Win32ReportWindow(m_hWnd);
        return m_logic.OnInitDialog(m_window);
    }

    void OnSave() { m_logic.OnSave(); }

    void OnSize(UINT nType, int cx, int cy) {
        ::DefWindowProcA(m_hWnd, WM_SIZE, nType, MAKELPARAM(cx, cy));
        m_logic.OnSize(nType, cx, cy);
    }

    void OnPaint() {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(m_hWnd, &ps);
        m_logic.OnPaint(dc);
        ::EndPaint(m_hWnd, &ps);
    }

    LRESULT OnNcHitTest(POINT point) {
        const LRESULT standard =
            ::DefWindowProcA(m_hWnd, WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y));
        return m_logic.OnNcHitTest(Point{point.x, point.y}, static_cast<int>(standard));
    }

    LRESULT OnExitSizeMove() { return m_logic.OnExitSizeMove(); }

private:
    IReportWindowHandler& m_logic;
    Win32ReportWindow m_window;
};

BEGIN_MESSAGE_MAP(CReportFrame, CDialog)
    ON_BN_CLICKED(IDC_SAVE, OnSave)
    ON_WM_SIZE()
    ON_WM_PAINT()
    ON_WM_NCHITTEST()
    ON_WM_EXITSIZEMOVE()
END_MESSAGE_MAP()

}  // namespace

void RunReportWindowModal(IReportWindowHandler& handler) {
    CReportFrame window(handler);
    window.DoModal();
}

}  // namespace marnel
