#include "win32/Win32ReportWindow.h"

namespace marnel {

void Win32ReportWindow::SetOwnFont(FontHandle font) {
    ::SendMessageA(m_geometry.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

std::vector<int> Win32ReportWindow::ChildIds() const {
    std::vector<int> ids;
    for (HWND child = ::GetWindow(m_geometry.Handle(), GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        ids.push_back(::GetDlgCtrlID(child));
    }
    return ids;
}

void Win32ReportWindow::SetChildFont(int id, FontHandle font) {
    HWND child = ::GetDlgItem(m_geometry.Handle(), id);
    if (child != nullptr) {
        ::SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
}

void Win32ReportWindow::SetChildText(int id, const std::string& text) {
    ::SetDlgItemTextA(m_geometry.Handle(), id, text.c_str());
}

}  // namespace marnel
