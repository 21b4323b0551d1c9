// Comparisons of ANSI strings in the active code page. A double-byte
// character (a lead byte and the byte after it) is one unit: it is compared
// byte for byte and never case-folded, so a trail byte that happens to be an
// ASCII letter is neither folded nor matched on its own. Case is ignored for
// the code page's single-byte letters (ICodePage::UpperCase).
#pragma once

#include <cstddef>
#include <string>

namespace marnel {

class ICodePage;

// True when both strings are equal, letter case ignored.
bool AnsiEqualsNoCase(const ICodePage& codePage, const std::string& left, const std::string& right);

// True when `text` begins with `prefix`, letter case ignored. Exactly as many
// bytes as the prefix has are compared; a shorter text does not match.
bool AnsiStartsWithNoCase(const ICodePage& codePage, const std::string& text,
                          const std::string& prefix);

// Case-sensitive search: the byte position of the first occurrence of `what`
// that starts and ends on a character boundary of `text`, or std::string::npos.
// An empty `what` is found at 0.
std::size_t AnsiFind(const ICodePage& codePage, const std::string& text, const std::string& what);

inline bool AnsiContains(const ICodePage& codePage, const std::string& text,
                         const std::string& what) {
    return AnsiFind(codePage, text, what) != std::string::npos;
}

// The text a device or a caller left in a buffer: up to its first zero byte,
// or the whole buffer when it holds none, never beyond.
std::size_t TerminatedLength(const void* buffer, std::size_t size);
std::string TerminatedText(const void* buffer, std::size_t size);

}  // namespace marnel
