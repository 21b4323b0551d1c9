// The least window framework the program needs: a modal dialog base whose
// dialog procedure hands each message to a member handler found in the
// class's message map, and resource strings. (The font holder is the core's
// CFont: the fonts it holds are this front end's HFONTs.) The customs are
// those of the framework the program was designed with: message maps built
// with BEGIN_MESSAGE_MAP / ON_... / END_MESSAGE_MAP, handlers named On...,
// OnInitDialog / OnOK / OnCancel as virtual members, Default() for the
// standard processing of the message being handled.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace marnel {

class CDialog;

// One message-map entry. For WM_COMMAND the entry names the notification
// code and the control id; for any other message both are 0.
struct MessageMapEntry {
    UINT nMessage;
    UINT nCode;
    UINT nID;
    LRESULT (*pfnHandler)(CDialog* pThis, WPARAM wParam, LPARAM lParam);
};

// A class's entries (ended by an entry with nMessage 0) and its base's map.
struct MessageMap {
    const MessageMap* (*pfnGetBaseMap)();
    const MessageMapEntry* pEntries;
};

#define DECLARE_MESSAGE_MAP()                          \
protected:                                             \
    static const ::marnel::MessageMap* GetThisMessageMap(); \
    const ::marnel::MessageMap* GetMessageMap() const override;

// The handler thunks are captureless lambdas inside a member function of
// theClass, so they reach its protected handlers and cast with full types.
#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                 \
    const ::marnel::MessageMap* theClass::GetMessageMap() const {              \
        return GetThisMessageMap();                                            \
    }                                                                          \
    const ::marnel::MessageMap* theClass::GetThisMessageMap() {                \
        typedef theClass ThisClass;                                            \
        typedef baseClass TheBaseClass;                                        \
        static_assert(sizeof(ThisClass) > 0, "complete class");               \
        static const ::marnel::MessageMapEntry entries[] = {

#define END_MESSAGE_MAP()                                                      \
            {0, 0, 0, nullptr}};                                               \
        static const ::marnel::MessageMap map = {&TheBaseClass::GetThisMessageMap, entries}; \
        return &map;                                                           \
    }

#define MARNEL_THIS(p) static_cast<ThisClass*>(p)

// BN_CLICKED from control id: void memberFxn()
#define ON_BN_CLICKED(id, memberFxn)                                           \
    {WM_COMMAND, BN_CLICKED, static_cast<UINT>(id),                            \
     [](::marnel::CDialog* p, WPARAM, LPARAM) -> LRESULT {                     \
         MARNEL_THIS(p)->memberFxn();                                          \
         return 0;                                                             \
     }},

// void OnSysCommand(UINT nID, LPARAM lParam)
#define ON_WM_SYSCOMMAND()                                                     \
    {WM_SYSCOMMAND, 0, 0, [](::marnel::CDialog* p, WPARAM w, LPARAM l) -> LRESULT { \
         MARNEL_THIS(p)->OnSysCommand(static_cast<UINT>(w), l);                \
         return 0;                                                             \
     }},

// void OnTimer(UINT_PTR nIDEvent)
#define ON_WM_TIMER()                                                          \
    {WM_TIMER, 0, 0, [](::marnel::CDialog* p, WPARAM w, LPARAM) -> LRESULT {   \
         MARNEL_THIS(p)->OnTimer(static_cast<UINT_PTR>(w));                    \
         return 0;                                                             \
     }},

// void OnDropFiles(HDROP hDropInfo)
#define ON_WM_DROPFILES()                                                      \
    {WM_DROPFILES, 0, 0, [](::marnel::CDialog* p, WPARAM w, LPARAM) -> LRESULT { \
         MARNEL_THIS(p)->OnDropFiles(reinterpret_cast<HDROP>(w));              \
         return 0;                                                             \
     }},

// BOOL OnDeviceChange(UINT nEventType, DWORD_PTR dwData)
#define ON_WM_DEVICECHANGE()                                                   \
    {WM_DEVICECHANGE, 0, 0, [](::marnel::CDialog* p, WPARAM w, LPARAM l) -> LRESULT { \
         return MARNEL_THIS(p)->OnDeviceChange(static_cast<UINT>(w),           \
                                               static_cast<DWORD_PTR>(l));     \
     }},

// BOOL OnSetCursor(HWND hWnd, UINT nHitTest, UINT message)
#define ON_WM_SETCURSOR()                                                      \
    {WM_SETCURSOR, 0, 0, [](::marnel::CDialog* p, WPARAM w, LPARAM l) -> LRESULT { \
         return MARNEL_THIS(p)->OnSetCursor(reinterpret_cast<HWND>(w), LOWORD(l), HIWORD(l)); \
     }},

// void OnSize(UINT nType, int cx, int cy)
#define ON_WM_SIZE()                                                           \
    {WM_SIZE, 0, 0, [](::marnel::CDialog* p, WPARAM w, LPARAM l) -> LRESULT {  \
         MARNEL_THIS(p)->OnSize(static_cast<UINT>(w), static_cast<short>(LOWORD(l)), \
                                static_cast<short>(HIWORD(l)));                \
         return 0;                                                             \
     }},

// void OnPaint()
#define ON_WM_PAINT()                                                          \
    {WM_PAINT, 0, 0, [](::marnel::CDialog* p, WPARAM, LPARAM) -> LRESULT {     \
         MARNEL_THIS(p)->OnPaint();                                            \
         return 0;                                                             \
     }},

// LRESULT OnNcHitTest(POINT point)
#define ON_WM_NCHITTEST()                                                      \
    {WM_NCHITTEST, 0, 0, [](::marnel::CDialog* p, WPARAM, LPARAM l) -> LRESULT { \
         POINT pt = {static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))}; \
         return MARNEL_THIS(p)->OnNcHitTest(pt);                               \
     }},

// LRESULT OnExitSizeMove()
#define ON_WM_EXITSIZEMOVE()                                                   \
    {WM_EXITSIZEMOVE, 0, 0, [](::marnel::CDialog* p, WPARAM, LPARAM) -> LRESULT { \
         return MARNEL_THIS(p)->OnExitSizeMove();                              \
     }},

// Any message: LRESULT memberFxn(WPARAM, LPARAM)
#define ON_MESSAGE(message, memberFxn)                                         \
    {static_cast<UINT>(message), 0, 0,                                         \
     [](::marnel::CDialog* p, WPARAM w, LPARAM l) -> LRESULT {                 \
         return MARNEL_THIS(p)->memberFxn(w, l);                               \
     }},

// The application: its instance handle and main window, which a dialog made
// without a parent takes as its owner.
struct AppState {
    HINSTANCE hInstance = nullptr;
    HWND hMainWnd = nullptr;
};
AppState& App();

// The text of string `id` from the program's string table; empty if none.
std::string LoadResString(UINT id);

// A modal dialog from a template. Messages reach member handlers through
// the message map; WM_INITDIALOG reaches OnInitDialog, IDOK and IDCANCEL
// reach OnOK and OnCancel when the map does not name them. An exception a
// handler lets out ends at the dialog procedure, in a box: "Out of memory."
// for exhausted memory, string IDS_UNEXPECTED_ERROR for anything else.
class CDialog {
public:
    CDialog(UINT nIDTemplate, HWND hParent);
    virtual ~CDialog() = default;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Runs the dialog until EndDialog; returns its result, -1 when the
    // window could not be made.
    INT_PTR DoModal();
    void EndDialog(int nResult);

    HWND GetSafeHwnd() const { return m_hWnd; }
    static const MessageMap* GetThisMessageMap();

protected:
    virtual const MessageMap* GetMessageMap() const;

    // Called with the window made and its controls in place; TRUE lets the
    // dialog manager focus the first tab stop.
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    // Sees every message after WM_INITDIALOG before the message map does;
    // true when it took the message, with its result in *pResult.
    virtual bool PreDispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

    // Asks for the standard processing of the message being handled: the
    // dialog procedure then leaves it to the dialog manager.
    void Default();

    // Sends WM_SETFONT with redraw to the window and then to each direct
    // child in child order.
    void ApplyFontToSelfAndChildren(HFONT hFont);

    HWND m_hWnd = nullptr;

private:
    // Contains every exception; Route does the work.
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR Route(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    const MessageMapEntry* FindEntry(UINT message, WPARAM wParam) const;
    void CenterOverOwner();

    UINT m_nIDTemplate;
    HWND m_hParent;
    bool m_bDefault = false;
};

}  // namespace marnel
