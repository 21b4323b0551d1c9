// The framework's wait cursor as a scope: shown from construction to
// destruction on every way out, exceptions included, so a begin is never
// left without its end.
#pragma once

#include "platform/MainWindow.h"

namespace marnel {

class CWaitCursor {
public:
    explicit CWaitCursor(IMainWindow& window) : m_window(window) { m_window.BeginWaitCursor(); }
    ~CWaitCursor() { m_window.EndWaitCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

private:
    IMainWindow& m_window;
};

}  // namespace marnel
