#include "app/SizeGrip.h"

namespace marnel {

namespace {

// A system that reports no scroll-bar size still gets a usable cell.
constexpr std::int32_t kFallbackCellSize = 16;

}  // namespace

void CSizeGrip::Attach(IWindowGeometry* pWnd) {
    m_pWnd = pWnd;
    if (pWnd == nullptr) {
        return;
    }
    m_cx = pWnd->GetSystemMetrics(kSmCxHScroll);
    if (m_cx == 0) {
        m_cx = kFallbackCellSize;
    }
    m_cy = pWnd->GetSystemMetrics(kSmCyHScroll);
    if (m_cy == 0) {
        m_cy = kFallbackCellSize;
    }
}

Rect CSizeGrip::GetCellRect() const {
    if (m_pWnd == nullptr) {
        return Rect{};
    }
    Rect client = m_pWnd->GetClientRect();
    Rect cell;
    cell.right = client.right;
    cell.bottom = client.bottom;
    cell.left = client.right - m_cx;
    cell.top = client.bottom - m_cy;
    return cell;
}

void CSizeGrip::Invalidate() {
    if (m_pWnd == nullptr) {
        return;
    }
    m_pWnd->InvalidateRect(GetCellRect(), false);
}

void CSizeGrip::Draw(PaintContext dc) {
    if (m_pWnd == nullptr) {
        return;
    }
    m_pWnd->DrawFrameControl(dc, GetCellRect(), kDfcScroll, kDfcsScrollSizeGrip);
}

bool CSizeGrip::HitTest(Point screen) const {
    if (m_pWnd == nullptr) {
        return false;
    }
    Point p = m_pWnd->ScreenToClient(screen);
    Rect cell = GetCellRect();
    return p.x >= cell.left && p.x < cell.right && p.y >= cell.top && p.y < cell.bottom;
}

}  // namespace marnel
