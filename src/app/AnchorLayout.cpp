#include "app/AnchorLayout.h"

namespace marnel {

void CAnchorLayout::Attach(IWindowGeometry* pWnd) {
    if (pWnd == nullptr || !pWnd->IsWindow()) {
        return;
    }
    Rect client = pWnd->GetClientRect();
    m_cxLast = client.right - client.left;
    m_cyLast = client.bottom - client.top;
    m_pWnd = pWnd;
}

void CAnchorLayout::Add(std::int32_t nID, std::uint32_t dwFlags) {
    if (!IsAttached()) {
        return;
    }
    Rect rect;
    if (!m_pWnd->GetChildRect(nID, &rect)) {
        return;
    }
    m_items.push_back({rect, nID, dwFlags});
}

void CAnchorLayout::OnSize(std::int32_t cx, std::int32_t cy) {
    if (!IsAttached() || m_items.empty()) {
        return;
    }
    const std::int32_t dx = cx - m_cxLast;
    const std::int32_t dy = cy - m_cyLast;
    for (ANCHOR_ITEM& item : m_items) {
        if (!m_pWnd->HasChild(item.nID)) {
            continue;
        }
        Rect r = item.rect;
        if (item.dwFlags & ANCHOR_SIZE_X) {
            r.right += dx;
        } else if (item.dwFlags & ANCHOR_MOVE_X) {
            r.left += dx;
            r.right += dx;
        }
        if (item.dwFlags & ANCHOR_SIZE_Y) {
            r.bottom += dy;
        } else if (item.dwFlags & ANCHOR_MOVE_Y) {
            r.top += dy;
            r.bottom += dy;
        }
        if (r == item.rect) {
            continue;
        }
        // The running rectangle is kept even when it cannot be applied, so
        // that growing back places the control from it.
        item.rect = r;
        if (r.right <= r.left || r.bottom <= r.top) {
            continue;
        }
        m_pWnd->MoveChild(item.nID, r.left, r.top, r.right - r.left, r.bottom - r.top);
    }
    m_cxLast = cx;
    m_cyLast = cy;
}

}  // namespace marnel
