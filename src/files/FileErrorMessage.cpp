#include "files/FileErrorMessage.h"

#include "res/StringTable.h"

namespace marnel {

std::string FileErrorMessage(const CFileException& error) {
    return FormatString1(
        AFX_IDP_FILE_NONE + static_cast<DWORD>(error.m_cause),
        error.m_strFileName.empty() ? LoadString(AFX_IDS_UNNAMED_FILE) : error.m_strFileName);
}

}  // namespace marnel
