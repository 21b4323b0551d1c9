// A font holder in the framework's manner: it owns at most one font that the
// user-interface back end made, and deletes it through that back end.
#pragma once

#include "platform/MainWindow.h"

namespace marnel {

class CFont {
public:
    CFont() = default;
    ~CFont() { DeleteObject(); }
    CFont(const CFont&) = delete;
    CFont& operator=(const CFont&) = delete;

    // Takes ownership of `font` (which `owner` made). False, and nothing
    // held, for a null font.
    bool Attach(FontHandle font, IMainWindow& owner) {
        DeleteObject();
        if (font == nullptr) {
            return false;
        }
        m_hObject = font;
        m_pOwner = &owner;
        return true;
    }

    // The font held, or null: the holder may be lent out empty.
    FontHandle GetSafeHandle() const { return m_hObject; }

    void DeleteObject() {
        if (m_hObject != nullptr) {
            m_pOwner->DeleteFont(m_hObject);
            m_hObject = nullptr;
            m_pOwner = nullptr;
        }
    }

private:
    FontHandle m_hObject = nullptr;
    IMainWindow* m_pOwner = nullptr;
};

}  // namespace marnel
