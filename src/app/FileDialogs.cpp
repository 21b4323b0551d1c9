#include "app/FileDialogs.h"

#include "res/StringTable.h"

namespace marnel {

std::string AllFilesFilter(DWORD firstFilter) {
    const std::string first = firstFilter != 0 ? LoadString(firstFilter) : std::string();
    return first + LoadString(AFX_IDS_ALLFILTER) + "|" + LoadString(IDS_ALL_FILES_PATTERN) + "||";
}

FileDialogRequest ParameterFileDialog(FileDialogKind kind, const std::string& initialName) {
    FileDialogRequest request;
    request.kind = kind;
    request.initialName = initialName;
    request.flags = kind == FileDialogKind::kSave ? (kOfnHideReadOnly | kOfnOverwritePrompt)
                                                  : (kOfnHideReadOnly | kOfnFileMustExist);
    request.filter = AllFilesFilter();
    return request;
}

}  // namespace marnel
