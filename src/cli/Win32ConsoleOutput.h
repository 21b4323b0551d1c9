// Text for a console window in the console's own code page. The tool's
// text (printer names, device text, the system's messages) is in the ANSI
// code page, as the Windows API gives it; a console shows bytes in its
// output code page (often the OEM one, 437 or 850), where the same byte is
// another letter. JSON stays UTF-8 and passes unchanged, as does anything
// written to a file or a pipe.
#pragma once

#include <ostream>
#include <streambuf>
#include <string>

namespace marnel::cli {

// `text` in the ANSI code page as UTF-8, for JSON.
std::string AnsiToUtf8(const std::string& text);

class ConsoleCodePageBuffer : public std::streambuf {
public:
    // Writes to `target`, converted from the ANSI code page to the console's
    // output code page while *json is false.
    ConsoleCodePageBuffer(std::streambuf* target, const bool* json);
    ~ConsoleCodePageBuffer() override;

protected:
    int_type overflow(int_type c) override;
    int sync() override;

private:
    // Converts and writes what is held; a line at a time, so that a
    // double-byte character is never cut.
    bool Flush();

    std::streambuf* m_target;
    const bool* m_json;
    std::string m_line;
};

}  // namespace marnel::cli
