// The window geometry of one real window (an HWND): client area, child
// controls by id, invalidation, coordinates, metrics and DrawFrameControl.
#pragma once

#include <windows.h>

#include "platform/WindowGeometry.h"

namespace marnel {

class Win32WindowGeometry : public IWindowGeometry {
public:
    explicit Win32WindowGeometry(HWND window) : m_hWnd(window) {}

    HWND Handle() const { return m_hWnd; }

    bool IsWindow() const override;
    Rect GetClientRect() const override;
    bool HasChild(int id) const override;
    bool GetChildRect(int id, Rect* rect) const override;
    void MoveChild(int id, std::int32_t left, std::int32_t top, std::int32_t width,
                   std::int32_t height) override;
    void InvalidateRect(const Rect& rect, bool erase) override;
    void InvalidateAll(bool erase) override;
    Point ScreenToClient(Point screen) const override;
    int GetSystemMetrics(int index) const override;
    void DrawFrameControl(PaintContext dc, const Rect& rect, unsigned type,
                          unsigned state) override;

private:
    HWND m_hWnd;
};

}  // namespace marnel
