#include "win32/Win32SystemMessage.h"

#include <windows.h>

namespace marnel {

std::string SystemMessage(unsigned long error) {
    char* text = nullptr;
    const ::DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string message = length != 0 && text != nullptr ? std::string(text, length) : "";
    LocalFree(text);
    while (!message.empty() &&
           (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
        message.pop_back();
    }
    const std::string code = "error " + std::to_string(error);
    return message.empty() ? code : message + " (" + code + ")";
}

}  // namespace marnel
