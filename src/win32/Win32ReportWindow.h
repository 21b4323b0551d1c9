// The report window's side that its logic needs, over the real window.
#pragma once

#include <windows.h>

#include "platform/ReportWindow.h"
#include "win32/Win32WindowGeometry.h"

namespace marnel {

class Win32ReportWindow : public IReportWindow {
public:
    explicit Win32ReportWindow(HWND window) : m_geometry(window) {}

    void SetOwnFont(FontHandle font) override;
    std::vector<int> ChildIds() const override;
    void SetChildFont(int id, FontHandle font) override;
    void SetChildText(int id, const std::string& text) override;

    bool IsWindow() const override { return m_geometry.IsWindow(); }
    Rect GetClientRect() const override { return m_geometry.GetClientRect(); }
    bool HasChild(int id) const override { return m_geometry.HasChild(id); }
    bool GetChildRect(int id, Rect* rect) const override {
        return m_geometry.GetChildRect(id, rect);
    }
    void MoveChild(int id, std::int32_t left, std::int32_t top, std::int32_t width,
                   std::int32_t height) override {
        m_geometry.MoveChild(id, left, top, width, height);
    }
    void InvalidateRect(const Rect& rect, bool erase) override {
        m_geometry.InvalidateRect(rect, erase);
    }
    void InvalidateAll(bool erase) override { m_geometry.InvalidateAll(erase); }
    Point ScreenToClient(Point screen) const override { return m_geometry.ScreenToClient(screen); }
    int GetSystemMetrics(int index) const override { return m_geometry.GetSystemMetrics(index); }
    void DrawFrameControl(PaintContext dc, const Rect& rect, unsigned type,
                          unsigned state) override {
        m_geometry.DrawFrameControl(dc, rect, type, state);
    }

private:
    Win32WindowGeometry m_geometry;
};

}  // namespace marnel
