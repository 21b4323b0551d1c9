// The file error that the commands catch around their file work: its cause
// (one of the fifteen of the file-error report) and the file's path.
#pragma once

#include <exception>
#include <string>

#include "platform/FileSystem.h"

namespace marnel {

class CFileException : public std::exception {
public:
    CFileException(FileErrorCause cause, std::string path, long osError = 0)
        : m_cause(cause), m_strFileName(std::move(path)), m_lOsError(osError) {}

    const char* what() const noexcept override { return "file error"; }

    FileErrorCause m_cause;
    std::string m_strFileName;  // empty when no path is known
    long m_lOsError;
};

}  // namespace marnel
