#include "cli/FileErrorText.h"

#include "cli/SystemErrorText.h"
#include "files/FileErrorMessage.h"

namespace marnel::cli {

FileErrorText DescribeFileError(const CFileException& error) {
    FileErrorText text;
    text.message = FileErrorMessage(error);
    text.reason = SystemErrorReason(error.m_lOsError);
    text.advice = SystemErrorAdvice(error);
    return text;
}

std::string FileErrorText::Said(const std::string& detail) const {
    std::string why = reason;
    if (!detail.empty()) {
        why += (why.empty() ? "" : "; ") + detail;
    }
    std::string line = message;
    if (!why.empty()) {
        line += " (" + why + ")";
    }
    if (!advice.empty()) {
        line += " " + advice;
    }
    return line;
}

}  // namespace marnel::cli
