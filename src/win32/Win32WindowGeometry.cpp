#include "win32/Win32WindowGeometry.h"

namespace marnel {

namespace {

RECT ToRect(const Rect& r) {
    RECT out;
    out.left = r.left;
    out.top = r.top;
    out.right = r.right;
    out.bottom = r.bottom;
    return out;
}

Rect FromRect(const RECT& r) {
    return Rect{static_cast<std::int32_t>(r.left), static_cast<std::int32_t>(r.top),
                static_cast<std::int32_t>(r.right), static_cast<std::int32_t>(r.bottom)};
}

}  // namespace

bool Win32WindowGeometry::IsWindow() const {
    return m_hWnd != nullptr && ::IsWindow(m_hWnd) != FALSE;
}

Rect Win32WindowGeometry::GetClientRect() const {
    RECT r{};
    ::GetClientRect(m_hWnd, &r);
    return FromRect(r);
}

bool Win32WindowGeometry::HasChild(int id) const {
    return ::GetDlgItem(m_hWnd, id) != nullptr;
}

bool Win32WindowGeometry::GetChildRect(int id, Rect* rect) const {
    HWND child = ::GetDlgItem(m_hWnd, id);
    if (child == nullptr) {
        return false;
    }
    RECT r{};
    ::GetWindowRect(child, &r);
    // Both corners, so that a mirrored window converts correctly too.
    ::MapWindowPoints(HWND_DESKTOP, m_hWnd, reinterpret_cast<POINT*>(&r), 2);
    *rect = FromRect(r);
    return true;
}

void Win32WindowGeometry::MoveChild(int id, std::int32_t left, std::int32_t top, std::int32_t width,
                                    std::int32_t height) {
    HWND child = ::GetDlgItem(m_hWnd, id);
    if (child != nullptr) {
        ::MoveWindow(child, left, top, width, height, TRUE);
    }
}

void Win32WindowGeometry::InvalidateRect(const Rect& rect, bool erase) {
    RECT r = ToRect(rect);
    ::InvalidateRect(m_hWnd, &r, erase ? TRUE : FALSE);
}

void Win32WindowGeometry::InvalidateAll(bool erase) {
    ::InvalidateRect(m_hWnd, nullptr, erase ? TRUE : FALSE);
}

Point Win32WindowGeometry::ScreenToClient(Point screen) const {
    POINT p{screen.x, screen.y};
    ::ScreenToClient(m_hWnd, &p);
    return Point{static_cast<std::int32_t>(p.x), static_cast<std::int32_t>(p.y)};
}

int Win32WindowGeometry::GetSystemMetrics(int index) const {
    return ::GetSystemMetrics(index);
}

void Win32WindowGeometry::DrawFrameControl(PaintContext dc, const Rect& rect, unsigned type,
                                           unsigned state) {
    RECT r = ToRect(rect);
    ::DrawFrameControl(static_cast<HDC>(dc), &r, type, state);
}

}  // namespace marnel
