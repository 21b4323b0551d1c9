// CSizeGrip: the grip cell in the bottom-right corner of a resizable
// window's client area, drawn as a size grip and acting as the window's
// bottom-right sizing corner.
#pragma once

#include <cstdint>

#include "platform/WindowGeometry.h"

namespace marnel {

class CSizeGrip {
public:
    CSizeGrip() = default;
    CSizeGrip(const CSizeGrip&) = delete;
    CSizeGrip& operator=(const CSizeGrip&) = delete;

    void Attach(IWindowGeometry* pWnd);
    bool IsAttached() const { return m_pWnd != nullptr; }

    // The cell at the owner's current client size.
    Rect GetCellRect() const;
    // Invalidates the cell without erasing the background.
    void Invalidate();
    void Draw(PaintContext dc);
    // True when the screen point lies in the cell.
    bool HitTest(Point screen) const;

private:
    IWindowGeometry* m_pWnd = nullptr;
    std::int32_t m_cx = 0;
    std::int32_t m_cy = 0;
};

}  // namespace marnel
