// What Windows says about one of its error codes, for the expert.
#pragma once

#include <string>

namespace marnel {

// FormatMessage's text with the code: "The printer name is invalid. (error
// 1801)"; the code alone when the system has no text for it.
std::string SystemMessage(unsigned long error);

}  // namespace marnel
