// CAnchorLayout: keeps registered controls at their distance to the right
// and bottom edges (or stretches them) as the owner's client size changes.
#pragma once

#include <cstdint>
#include <list>

#include "platform/WindowGeometry.h"

namespace marnel {

constexpr std::uint32_t ANCHOR_MOVE_X = 0x01;
constexpr std::uint32_t ANCHOR_MOVE_Y = 0x02;
constexpr std::uint32_t ANCHOR_SIZE_X = 0x10;
constexpr std::uint32_t ANCHOR_SIZE_Y = 0x20;

struct ANCHOR_ITEM {
    Rect rect;  // placement in the owner's client coordinates, as last computed
    std::int32_t nID;
    std::uint32_t dwFlags;
};

class CAnchorLayout {
public:
    CAnchorLayout() = default;
    CAnchorLayout(const CAnchorLayout&) = delete;
    CAnchorLayout& operator=(const CAnchorLayout&) = delete;

    // Takes the owner's current client size as the starting size.
    void Attach(IWindowGeometry* pWnd);
    // Registers a control by id; a control that cannot be found is skipped.
    void Add(std::int32_t nID, std::uint32_t dwFlags);
    // Re-places the controls for the new client size.
    void OnSize(std::int32_t cx, std::int32_t cy);

    const std::list<ANCHOR_ITEM>& Items() const { return m_items; }
    std::int32_t LastWidth() const { return m_cxLast; }
    std::int32_t LastHeight() const { return m_cyLast; }

private:
    bool IsAttached() const { return m_pWnd != nullptr && m_pWnd->IsWindow(); }

    IWindowGeometry* m_pWnd = nullptr;
    std::int32_t m_cxLast = 0;
    std::int32_t m_cyLast = 0;
    std::list<ANCHOR_ITEM> m_items;
};

}  // namespace marnel
