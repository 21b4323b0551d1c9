// The modal boxes and file dialogs, the one part of the user interface that
// every command's front end answers to. A back end shows and fetches; the
// core has already chosen each box's text, buttons and icon.
//
// The names avoid the <windows.h> macros (MessageBox, GetOpenFileName...) so
// that a Windows back end can implement this class next to that header.
#pragma once

#include <string>

#include "platform/Types.h"

namespace marnel {

// Message-box types (the MB_* values) and the answers (ID*).
constexpr DWORD kMbOk = 0x00000000;
constexpr DWORD kMbOkCancel = 0x00000001;
constexpr DWORD kMbTypeMask = 0x0000000F;
constexpr DWORD kMbIconExclamation = 0x00000030;
constexpr DWORD kMbIconInformation = 0x00000040;
constexpr DWORD kMbIconMask = 0x000000F0;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

// Common file dialog flags (OFN_*).
constexpr DWORD kOfnOverwritePrompt = 0x00000002;
constexpr DWORD kOfnHideReadOnly = 0x00000004;
constexpr DWORD kOfnFileMustExist = 0x00001000;

enum class FileDialogKind { kOpen, kSave };

struct FileDialogRequest {
    FileDialogKind kind = FileDialogKind::kOpen;
    std::string initialName;       // offered file name; empty for none
    std::string defaultExtension;  // empty for none
    DWORD flags = 0;               // kOfn* bits
    // Labels and patterns alternating, each followed by '|', and one more
    // '|' at the end: "All Files (*.*)|*.*||".
    std::string filter;
};

// Modal: the main window still gets timers and device changes while one is
// open.
class IDialogs {
public:
    virtual ~IDialogs() = default;

    // Shows `text` with the application title as caption and `type` exactly
    // as given (buttons and icon). Returns the button pressed: kIdOk,
    // kIdCancel...
    virtual int ShowMessageBox(const std::string& text, DWORD type) = 0;

    // Shows the common open or save dialog, owned by the active window.
    // True when it ended with OK, with the chosen file's full path in *path.
    virtual bool ShowFileDialog(const FileDialogRequest& request, std::string* path) = 0;
};

}  // namespace marnel
