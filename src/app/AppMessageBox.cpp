#include "app/AppMessageBox.h"

#include "files/FileErrorMessage.h"
#include "res/StringTable.h"

namespace marnel {

DWORD EffectiveMessageBoxType(DWORD type) {
    const DWORD buttons = type & kMbTypeMask;
    if ((type & kMbIconMask) == 0 && (buttons == kMbOk || buttons == kMbOkCancel)) {
        return type | kMbIconExclamation;
    }
    return type;
}

int AfxMessageBox(IDialogs& dialogs, const std::string& text, DWORD type) {
    return dialogs.ShowMessageBox(text, EffectiveMessageBoxType(type));
}

int AfxMessageBox(IDialogs& dialogs, DWORD stringId, DWORD type) {
    return AfxMessageBox(dialogs, LoadString(stringId), type);
}

void ReportFileError(IDialogs& dialogs, const CFileException& error) {
    AfxMessageBox(dialogs, FileErrorMessage(error), kMbOk);
}

void ReportOutOfMemory(IDialogs& dialogs) {
    AfxMessageBox(dialogs, AFX_IDS_MEMORY_EXCEPTION, kMbOk);
}

}  // namespace marnel
