// What the report window's layout and size grip need of a window: its
// client area, its child controls by id, invalidation, coordinate
// conversion, two system metrics and the frame-control drawing. Shaped like
// the Win32 calls behind it so that the geometry itself stays in the core.
#pragma once

#include <cstdint>

namespace marnel {

// RECT: left and top inclusive, right and bottom exclusive.
struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    bool operator==(const Rect& other) const {
        return left == other.left && top == other.top && right == other.right &&
               bottom == other.bottom;
    }
    bool operator!=(const Rect& other) const { return !(*this == other); }
};

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

// A paint context (HDC) handed through to the drawing call.
using PaintContext = void*;

constexpr int kSmCxHScroll = 21;    // SM_CXHSCROLL: width of a horizontal scroll bar's arrow
constexpr int kSmCyHScroll = 3;     // SM_CYHSCROLL: height of a horizontal scroll bar
constexpr unsigned kDfcScroll = 3;  // DFC_SCROLL
constexpr unsigned kDfcsScrollSizeGrip = 8;  // DFCS_SCROLLSIZEGRIP
constexpr int kHtBottomRight = 17;           // HTBOTTOMRIGHT

class IWindowGeometry {
public:
    virtual ~IWindowGeometry() = default;

    // IsWindow: the window exists.
    virtual bool IsWindow() const = 0;
    // GetClientRect: left and top are 0.
    virtual Rect GetClientRect() const = 0;
    // GetDlgItem: the window has a child control with this id.
    virtual bool HasChild(int id) const = 0;
    // The child's window rectangle (GetWindowRect) converted to this
    // window's client coordinates. False when there is no such child.
    virtual bool GetChildRect(int id, Rect* rect) const = 0;
    // MoveWindow of the child to left, top, width, height, with repaint.
    virtual void MoveChild(int id, std::int32_t left, std::int32_t top, std::int32_t width,
                           std::int32_t height) = 0;
    // InvalidateRect of part of the client area; erase: background too.
    virtual void InvalidateRect(const Rect& rect, bool erase) = 0;
    // InvalidateRect of the whole window.
    virtual void InvalidateAll(bool erase) = 0;
    // ScreenToClient.
    virtual Point ScreenToClient(Point screen) const = 0;
    // GetSystemMetrics.
    virtual int GetSystemMetrics(int index) const = 0;
    // DrawFrameControl on the paint context.
    virtual void DrawFrameControl(PaintContext dc, const Rect& rect, unsigned type,
                                  unsigned state) = 0;
};

}  // namespace marnel
