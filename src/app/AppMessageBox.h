// The application's message-box routine: every box carries the application
// title (the back end's business) and an OK or OK/Cancel box that names no
// icon shows the warning icon (decided here, once, for every back end).
// Also the file-error report, the one box with which a command reports a
// caught file error or exhausted memory before it goes on with its clean-up.
#pragma once

#include <string>

#include "platform/Dialogs.h"

namespace marnel {

class CFileException;

// The type a box is shown with: `type` plus kMbIconExclamation when it is an
// OK or OK/Cancel box without an icon.
DWORD EffectiveMessageBoxType(DWORD type);

// Shows `text` (or string `stringId`) and returns the button pressed.
int AfxMessageBox(IDialogs& dialogs, const std::string& text, DWORD type = kMbOk);
int AfxMessageBox(IDialogs& dialogs, DWORD stringId, DWORD type = kMbOk);

// Shows the error's own message with an OK button and the warning icon.
void ReportFileError(IDialogs& dialogs, const CFileException& error);
// Shows "Out of memory." the same way.
void ReportOutOfMemory(IDialogs& dialogs);

}  // namespace marnel
