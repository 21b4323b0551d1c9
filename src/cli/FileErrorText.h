// A file error as the command line says it: the window's cause-based
// message, then the system's own reason and what to do next.
#pragma once

#include <string>

#include "files/FileException.h"

namespace marnel::cli {

struct FileErrorText {
    std::string message;  // as the window shows it: "Access to adir was denied."
    std::string reason;   // strerror of the system's code; empty without one
    std::string advice;   // what to do next; empty when there is nothing to say

    // "Access to adir was denied. (Is a directory) Give a file name, not a
    // folder." `detail` (what the failure meant for the command) joins the
    // reason.
    std::string Said(const std::string& detail = std::string()) const;
};

FileErrorText DescribeFileError(const CFileException& error);

}  // namespace marnel::cli
