#include "app/AppMessageBox.h"

#include "app/StringTable.h"

namespace marnel {

DWORD EffectiveMessageBoxType(DWORD type) {
    const DWORD buttons = type & kMbTypeMask;
    if ((type & kMbIconMask) == 0 && (buttons == kMbOk || buttons == kMbOkCancel)) {
        return type | kMbIconExclamation;
    }
    return type;
}

int AfxMessageBox(IUserInterface& ui, const std::string& text, DWORD type) {
    return ui.ShowMessageBox(text, EffectiveMessageBoxType(type));
}

int AfxMessageBox(IUserInterface& ui, DWORD stringId, DWORD type) {
    return AfxMessageBox(ui, LoadString(stringId), type);
}

}  // namespace marnel
