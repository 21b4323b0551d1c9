// The main window's surface as the core needs it: the wait cursor, the
// device label, timers, system menu, icon, font and drop target, the Shift
// key, and the modal About box and report window it owns. A back end shows
// and fetches; it decides nothing (which text the label shows, what a timer
// does is the core's business).
//
// The names avoid the <windows.h> macros (LoadIcon, SetTimer...) so that a
// Windows back end can implement this class next to that header.
#pragma once

#include <string>

#include "platform/Types.h"

namespace marnel {

class IReportWindowHandler;

// The files of one drop on the main window (an HDROP on Windows).
class IDroppedFiles {
public:
    virtual ~IDroppedFiles() = default;

    // How many files were dropped.
    virtual DWORD Count() = 0;

    // The full path of file `index` (0-based, in the order the system
    // reports them), whole however long it is: a cut path could name another
    // existing file.
    virtual std::string Path(DWORD index) = 0;

    // Releases the drop (DragFinish). Called once, at the end of every drop.
    virtual void Finish() = 0;
};

class IMainWindow {
public:
    virtual ~IMainWindow() = default;

    // --- Modal windows it owns (timers and device changes still arrive) ---

    // Runs the About box (template 100) modally; it applies `font` (which
    // may be null, leaving the system font) to itself and its children.
    virtual void RunAboutBox(FontHandle font) = 0;

    // Runs the report window (template 129) modally, routing its messages
    // to `handler`, and returns when it closes.
    virtual void RunReportWindow(IReportWindowHandler& handler) = 0;

    // --- The wait cursor: nestable, shown while more begins than ends are
    // outstanding ---
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;

    // Sets the text of the device label (control 1001).
    virtual void SetDeviceLabel(const std::string& text) = 0;

    // Starts or restarts window timer `id` with period `elapseMs` on the main
    // window (no callback). Returns the timer's value, 0 on failure.
    virtual DWORD SetTimer(DWORD id, DWORD elapseMs) = 0;
    // Stops the timer with the value SetTimer returned.
    virtual void KillTimer(DWORD timer) = 0;

    // Gives the message being handled its default processing (the standard
    // system commands, timers that are not ours).
    virtual void DefaultProcessing() = 0;

    // True when the main window has a system menu.
    virtual bool HasSystemMenu() = 0;
    // Appends a separator to the system menu.
    virtual void AppendSystemMenuSeparator() = 0;
    // Appends a text item with command `id` to the system menu.
    virtual void AppendSystemMenuItem(DWORD id, const std::string& text) = 0;

    // Loads icon `id` from the program's resources; null when it can't.
    virtual IconHandle LoadAppIcon(DWORD id) = 0;
    // Sets the main window's big icon (WM_SETICON, ICON_BIG); null clears it.
    virtual void SetBigIcon(IconHandle icon) = 0;

    // Makes a font from the user's icon-title font; null when the font can't
    // be read or made.
    virtual FontHandle CreateIconTitleFont() = 0;
    // Deletes a font made by CreateIconTitleFont.
    virtual void DeleteFont(FontHandle font) = 0;
    // Sends WM_SETFONT (with redraw) to the main window and then to each of
    // its direct children in child order.
    virtual void ApplyFontToMainWindow(FontHandle font) = 0;

    // Lets files be dropped on the main window (DragAcceptFiles).
    virtual void AcceptDroppedFiles(bool accept) = 0;

    // Brings the main window to the foreground.
    virtual void BringToForeground() = 0;

    // True when the Shift key is down at the moment of the call.
    virtual bool IsShiftDown() = 0;
};

}  // namespace marnel
