// A window for the geometry tests: a client size, child controls with
// rectangles, and a record of every move, invalidation and drawing.
#pragma once

#include <map>
#include <vector>

#include "platform/WindowGeometry.h"

namespace marnel::test {

class FakeWindow : public IWindowGeometry {
public:
    struct Move {
        int id;
        Rect rect;
    };
    struct Invalidation {
        Rect rect;
        bool erase;
        bool whole;
    };
    struct Drawing {
        PaintContext dc;
        Rect rect;
        unsigned type;
        unsigned state;
    };

    bool exists = true;
    Rect client{0, 0, 400, 300};
    Point clientOrigin{100, 50};  // where the client area sits on the screen
    std::map<int, Rect> children;
    std::map<int, int> metrics;
    std::vector<Move> moves;
    std::vector<Invalidation> invalidations;
    std::vector<Drawing> drawings;

    // Resizes the client area the way the system does before WM_SIZE.
    void Resize(std::int32_t cx, std::int32_t cy) { client = Rect{0, 0, cx, cy}; }

    bool IsWindow() const override { return exists; }
    Rect GetClientRect() const override { return client; }
    bool HasChild(int id) const override { return children.count(id) != 0; }
    bool GetChildRect(int id, Rect* rect) const override {
        auto it = children.find(id);
        if (it == children.end()) {
            return false;
        }
        *rect = it->second;
        return true;
    }
    void MoveChild(int id, std::int32_t left, std::int32_t top, std::int32_t width,
                   std::int32_t height) override {
        Rect r{left, top, left + width, top + height};
        children[id] = r;
        moves.push_back({id, r});
    }
    void InvalidateRect(const Rect& rect, bool erase) override {
        invalidations.push_back({rect, erase, false});
    }
    void InvalidateAll(bool erase) override { invalidations.push_back({client, erase, true}); }
    Point ScreenToClient(Point screen) const override {
        return Point{screen.x - clientOrigin.x, screen.y - clientOrigin.y};
    }
    int GetSystemMetrics(int index) const override {
        auto it = metrics.find(index);
        return it == metrics.end() ? 0 : it->second;
    }
    void DrawFrameControl(PaintContext dc, const Rect& rect, unsigned type,
                          unsigned state) override {
        drawings.push_back({dc, rect, type, state});
    }
};

}  // namespace marnel::test
