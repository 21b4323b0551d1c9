// Name matching as the registry and the spooler do it in memory: the ASCII
// letters fold, every other byte stands for itself. Also the upper-casing of
// a code page whose letters are ASCII.
#pragma once

#include <algorithm>
#include <string>

namespace marnel {

inline char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline unsigned char AsciiUpper(unsigned char c) {
    return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

inline std::string AsciiLowered(std::string text) {
    for (char& c : text) {
        c = AsciiLower(c);
    }
    return text;
}

inline bool AsciiEqualsNoCase(const std::string& left, const std::string& right) {
    return std::equal(left.begin(), left.end(), right.begin(), right.end(),
                      [](char a, char b) { return AsciiLower(a) == AsciiLower(b); });
}

}  // namespace marnel
