#include "window/Framework.h"

#include <new>

#include "app/AppMessageBox.h"
#include "res/Resource.h"

namespace marnel {

namespace {

// Shows string `id` in the program's box over `hWnd`, the way the core shows
// its own. Nothing here allocates: memory may be what ran out.
void ReportEscapedException(HWND hWnd, UINT id) noexcept {
    char text[256] = "";
    char caption[64] = "";
    LoadStringA(App().hInstance, id, text, static_cast<int>(sizeof text));
    LoadStringA(App().hInstance, AFX_IDS_APP_TITLE, caption, static_cast<int>(sizeof caption));
    MessageBoxA(hWnd, text, caption, EffectiveMessageBoxType(kMbOk));
}

}  // namespace

AppState& App() {
    static AppState state;
    return state;
}

std::string LoadResString(UINT id) {
    // A string-table entry is at most 4097 characters long.
    char buffer[4098];
    int length = LoadStringA(App().hInstance, id, buffer, static_cast<int>(sizeof buffer));
    return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
}

CDialog::CDialog(UINT nIDTemplate, HWND hParent) : m_nIDTemplate(nIDTemplate), m_hParent(hParent) {}

const MessageMap* CDialog::GetThisMessageMap() {
    static const MessageMapEntry entries[] = {{0, 0, 0, nullptr}};
    static const MessageMap map = {nullptr, entries};
    return &map;
}

const MessageMap* CDialog::GetMessageMap() const {
    return GetThisMessageMap();
}

INT_PTR CDialog::DoModal() {
    // Without a parent the main window owns the dialog, as the framework's
    // modal dialogs do; the main window itself has no owner.
    HWND hOwner = m_hParent != nullptr ? m_hParent : App().hMainWnd;
    if (hOwner != nullptr && !IsWindow(hOwner)) {
        hOwner = nullptr;
    }
    INT_PTR result = DialogBoxParamA(App().hInstance, MAKEINTRESOURCEA(m_nIDTemplate), hOwner,
                                     &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    return result;
}

void CDialog::EndDialog(int nResult) {
    ::EndDialog(m_hWnd, nResult);
}

BOOL CDialog::OnInitDialog() {
    return TRUE;
}

void CDialog::OnOK() {
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::Default() {
    m_bDefault = true;
}

bool CDialog::PreDispatch(UINT, WPARAM, LPARAM, LRESULT*) {
    return false;
}

void CDialog::ApplyFontToSelfAndChildren(HFONT hFont) {
    SendMessageA(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(hFont), TRUE);
    for (HWND hChild = GetWindow(m_hWnd, GW_CHILD); hChild != nullptr;
         hChild = GetWindow(hChild, GW_HWNDNEXT)) {
        SendMessageA(hChild, WM_SETFONT, reinterpret_cast<WPARAM>(hFont), TRUE);
    }
}

void CDialog::CenterOverOwner() {
    // A template at 0, 0 that names no alignment style is centred over its
    // owner, or in the work area when it has none (or the owner is hidden).
    LONG style = GetWindowLongA(m_hWnd, GWL_STYLE);
    if (style & (DS_ABSALIGN | DS_CENTER | DS_CENTERMOUSE)) {
        return;
    }
    RECT rcWindow;
    GetWindowRect(m_hWnd, &rcWindow);
    HWND hOwner = GetWindow(m_hWnd, GW_OWNER);
    RECT rcArea;
    HMONITOR hMonitor =
        MonitorFromWindow(hOwner != nullptr ? hOwner : m_hWnd, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info;
    info.cbSize = sizeof info;
    GetMonitorInfoA(hMonitor, &info);
    if (hOwner != nullptr && IsWindowVisible(hOwner) && !IsIconic(hOwner)) {
        GetWindowRect(hOwner, &rcArea);
    } else {
        rcArea = info.rcWork;
    }
    int cx = rcWindow.right - rcWindow.left;
    int cy = rcWindow.bottom - rcWindow.top;
    int x = rcArea.left + ((rcArea.right - rcArea.left) - cx) / 2;
    int y = rcArea.top + ((rcArea.bottom - rcArea.top) - cy) / 2;
    // Keep the whole window on the monitor's work area.
    if (x + cx > info.rcWork.right)
        x = info.rcWork.right - cx;
    if (y + cy > info.rcWork.bottom)
        y = info.rcWork.bottom - cy;
    if (x < info.rcWork.left)
        x = info.rcWork.left;
    if (y < info.rcWork.top)
        y = info.rcWork.top;
    SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    // No exception may unwind through the system's frames that called us: one
    // that a handler lets out is shown here, and the program goes on.
    try {
        return Route(hWnd, message, wParam, lParam);
    } catch (const std::bad_alloc&) {
        ReportEscapedException(hWnd, AFX_IDS_MEMORY_EXCEPTION);
    } catch (...) {
        ReportEscapedException(hWnd, IDS_UNEXPECTED_ERROR);
    }
    return FALSE;
}

INT_PTR CDialog::Route(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* pThis = reinterpret_cast<CDialog*>(lParam);
        SetWindowLongPtrA(hWnd, DWLP_USER, reinterpret_cast<LONG_PTR>(pThis));
        pThis->m_hWnd = hWnd;
        BOOL focusDefault = pThis->OnInitDialog();
        pThis->CenterOverOwner();
        return focusDefault;
    }
    // Messages sent while the window is being made, before WM_INITDIALOG,
    // get the dialog manager's processing only.
    auto* pThis = reinterpret_cast<CDialog*>(GetWindowLongPtrA(hWnd, DWLP_USER));
    if (pThis == nullptr) {
        return FALSE;
    }
    return pThis->Dispatch(message, wParam, lParam);
}

const MessageMapEntry* CDialog::FindEntry(UINT message, WPARAM wParam) const {
    for (const MessageMap* map = GetMessageMap(); map != nullptr;
         map = map->pfnGetBaseMap != nullptr ? map->pfnGetBaseMap() : nullptr) {
        for (const MessageMapEntry* entry = map->pEntries; entry->nMessage != 0; ++entry) {
            if (entry->nMessage != message) {
                continue;
            }
            if (message == WM_COMMAND &&
                (entry->nCode != HIWORD(wParam) || entry->nID != LOWORD(wParam))) {
                continue;
            }
            return entry;
        }
    }
    return nullptr;
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT hooked = 0;
    if (PreDispatch(message, wParam, lParam, &hooked)) {
        SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, hooked);
        return TRUE;
    }
    if (const MessageMapEntry* entry = FindEntry(message, wParam)) {
        // Handlers may run nested message loops (boxes, dialogs): keep the
        // outer message's request for default processing apart.
        bool outerDefault = m_bDefault;
        m_bDefault = false;
        LRESULT result = 0;
        try {
            result = entry->pfnHandler(this, wParam, lParam);
        } catch (...) {
            m_bDefault = outerDefault;
            throw;
        }
        bool wantsDefault = m_bDefault;
        m_bDefault = outerDefault;
        if (wantsDefault) {
            return FALSE;
        }
        SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
            case IDOK:
                OnOK();
                return TRUE;
            case IDCANCEL:
                OnCancel();
                return TRUE;
            default:
                break;
        }
    }
    return FALSE;
}

}  // namespace marnel
