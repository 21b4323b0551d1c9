// The ANSI text helpers under a code page whose lead bytes come from the
// input, against plain reference rules: a double-byte character is never
// split, never folded, and never matched half.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "device/AnsiText.h"
#include "sim/SimPlatform.h"

namespace {

using namespace marnel;

// Where each character of `text` starts, and its end.
std::vector<bool> Boundaries(const ICodePage& codePage, const std::string& text) {
    std::vector<bool> at(text.size() + 1, false);
    std::size_t pos = 0;
    while (pos < text.size()) {
        at[pos] = true;
        pos += codePage.IsLeadByte(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size()
                   ? 2
                   : 1;
    }
    at[text.size()] = true;
    return at;
}

// Upper case, a-z only; a lead byte never folds, even standing alone at
// the end (so a lone lead byte "b" does not match "B").
char Fold(const ICodePage& codePage, char c) {
    return !codePage.IsLeadByte(static_cast<unsigned char>(c)) && c >= 'a' && c <= 'z'
               ? static_cast<char>(c - 'a' + 'A')
               : c;
}

// Equal ignoring case: same characters, single bytes folded.
bool ReferenceEquals(const ICodePage& codePage, const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    const std::vector<bool> atA = Boundaries(codePage, a);
    if (atA != Boundaries(codePage, b)) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const bool single = atA[i] && atA[i + 1];
        if (single ? Fold(codePage, a[i]) != Fold(codePage, b[i]) : a[i] != b[i]) {
            return false;
        }
    }
    return true;
}

std::size_t ReferenceFind(const ICodePage& codePage, const std::string& text,
                          const std::string& what) {
    const std::vector<bool> at = Boundaries(codePage, text);
    for (std::size_t pos = 0; pos + what.size() <= text.size(); ++pos) {
        if (at[pos] && at[pos + what.size()] && text.compare(pos, what.size(), what) == 0) {
            return pos;
        }
    }
    return std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    SimCodePage codePage;
    const std::vector<std::uint8_t> table = input.ConsumeBytes<std::uint8_t>(32);
    for (std::size_t i = 0; i < table.size() * 8; ++i) {
        if (table[i / 8] & (1u << (i % 8))) {
            codePage.AddLeadByteRange(static_cast<unsigned char>(i), static_cast<unsigned char>(i));
        }
    }
    const std::string a = input.ConsumeRandomLengthString(64);
    const std::string b = input.ConsumeRandomLengthString(64);
    const std::string text = input.ConsumeRemainingBytesAsString();

    FUZZ_CHECK(AnsiEqualsNoCase(codePage, a, a));
    FUZZ_CHECK(AnsiEqualsNoCase(codePage, a, b) == AnsiEqualsNoCase(codePage, b, a));
    FUZZ_CHECK(AnsiEqualsNoCase(codePage, a, b) == ReferenceEquals(codePage, a, b));
    FUZZ_CHECK(AnsiEqualsNoCase(codePage, text, b) == ReferenceEquals(codePage, text, b));

    // A prefix matches when the text's first characters equal it whole.
    const bool starts = AnsiStartsWithNoCase(codePage, text, a);
    const bool reference = a.size() <= text.size() && Boundaries(codePage, text)[a.size()] &&
                           ReferenceEquals(codePage, text.substr(0, a.size()), a);
    FUZZ_CHECK(starts == reference);

    for (const std::string* what : {&a, &b}) {
        const std::size_t found = AnsiFind(codePage, text, *what);
        FUZZ_CHECK(found == ReferenceFind(codePage, text, *what));
    }
    const std::size_t length = TerminatedLength(text.data(), text.size());
    FUZZ_CHECK(length <= text.size() &&
               text.find('\0') == (length == text.size() ? std::string::npos : length));
    return 0;
}
