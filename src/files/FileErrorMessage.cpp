#include "files/FileErrorMessage.h"

#include "res/StringTable.h"

namespace marnel {

std::string FileErrorMessage(const CFileException& error) {
    std::string text = LoadString(AFX_IDP_FILE_NONE + static_cast<DWORD>(error.m_cause));
    const std::string name =
        error.m_strFileName.empty() ? LoadString(AFX_IDS_UNNAMED_FILE) : error.m_strFileName;
    // Replace every "%1"; a path that itself holds "%1" stays as it is.
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '1') {
            out += name;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace marnel
