#include "cli/Win32ConsoleOutput.h"

#include <windows.h>

#include <vector>

namespace marnel::cli {

namespace {

// `text` from code page `from` to code page `to`; a letter `to` lacks
// becomes its default character. Unchanged when it cannot be read.
std::string Converted(const std::string& text, ::UINT from, ::UINT to) {
    if (from == to || text.empty()) {
        return text;
    }
    const int size = static_cast<int>(text.size());
    const int wide = MultiByteToWideChar(from, 0, text.data(), size, nullptr, 0);
    if (wide <= 0) {
        return text;
    }
    std::vector<wchar_t> utf16(static_cast<std::size_t>(wide));
    MultiByteToWideChar(from, 0, text.data(), size, utf16.data(), wide);
    const int bytes = WideCharToMultiByte(to, 0, utf16.data(), wide, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) {
        return text;
    }
    std::string converted(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(to, 0, utf16.data(), wide, &converted[0], bytes, nullptr, nullptr);
    return converted;
}

std::string ToConsoleCodePage(const std::string& text) {
    const ::UINT console = GetConsoleOutputCP();
    return console == 0 ? text : Converted(text, GetACP(), console);
}

}  // namespace

std::string AnsiToUtf8(const std::string& text) {
    return Converted(text, GetACP(), CP_UTF8);
}

ConsoleCodePageBuffer::ConsoleCodePageBuffer(std::streambuf* target, const bool* json)
    : m_target(target), m_json(json) {}

ConsoleCodePageBuffer::~ConsoleCodePageBuffer() {
    Flush();
}

ConsoleCodePageBuffer::int_type ConsoleCodePageBuffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) {
        return traits_type::not_eof(c);
    }
    m_line.push_back(traits_type::to_char_type(c));
    if (c == '\n' && !Flush()) {
        return traits_type::eof();
    }
    return c;
}

int ConsoleCodePageBuffer::sync() {
    return Flush() && m_target->pubsync() == 0 ? 0 : -1;
}

bool ConsoleCodePageBuffer::Flush() {
    const std::string shown = *m_json ? m_line : ToConsoleCodePage(m_line);
    m_line.clear();
    return m_target->sputn(shown.data(), static_cast<std::streamsize>(shown.size())) ==
           static_cast<std::streamsize>(shown.size());
}

}  // namespace marnel::cli
