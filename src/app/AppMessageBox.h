// The application's message-box routine: every box carries the application
// title (the back end's business) and an OK or OK/Cancel box that names no
// icon shows the warning icon (decided here, once, for every back end).
#pragma once

#include <string>

#include "platform/UserInterface.h"

namespace marnel {

// The type a box is shown with: `type` plus kMbIconExclamation when it is an
// OK or OK/Cancel box without an icon.
DWORD EffectiveMessageBoxType(DWORD type);

// Shows `text` (or string `stringId`) and returns the button pressed.
int AfxMessageBox(IUserInterface& ui, const std::string& text, DWORD type = kMbOk);
int AfxMessageBox(IUserInterface& ui, DWORD stringId, DWORD type = kMbOk);

}  // namespace marnel
