#include "device/AnsiText.h"

#include <algorithm>
#include <cstring>

#include "platform/CodePage.h"

namespace marnel {

namespace {

// Bytes in the character that starts at `pos`: 2 for a lead byte with a byte
// after it, else 1 (a lead byte at the very end stands alone).
std::size_t CharBytes(const ICodePage& codePage, const std::string& text, std::size_t pos) {
    const auto byte = static_cast<unsigned char>(text[pos]);
    return codePage.IsLeadByte(byte) && pos + 1 < text.size() ? 2 : 1;
}

// Compares the first `prefix.size()` bytes of `text` with `prefix` unit by
// unit; `text` must be at least as long as `prefix`. While the bytes agree
// both strings are on the same character boundaries. A double-byte character
// on either side is compared whole, so that a lead byte is never folded into
// a match with the other side's letter (which would make the comparison
// depend on its order).
bool SameIgnoringCase(const ICodePage& codePage, const std::string& text,
                      const std::string& prefix) {
    std::size_t pos = 0;
    while (pos < prefix.size()) {
        const std::size_t unit =
            std::max(CharBytes(codePage, text, pos), CharBytes(codePage, prefix, pos));
        if (unit == 2) {
            if (text.compare(pos, 2, prefix, pos, 2) != 0) {
                return false;
            }
        } else if (codePage.UpperCase(static_cast<unsigned char>(text[pos])) !=
                   codePage.UpperCase(static_cast<unsigned char>(prefix[pos]))) {
            return false;
        }
        pos += unit;
    }
    return true;
}

}  // namespace

bool AnsiEqualsNoCase(const ICodePage& codePage, const std::string& left,
                      const std::string& right) {
    return left.size() == right.size() && SameIgnoringCase(codePage, left, right);
}

bool AnsiStartsWithNoCase(const ICodePage& codePage, const std::string& text,
                          const std::string& prefix) {
    if (text.size() < prefix.size() || !SameIgnoringCase(codePage, text, prefix)) {
        return false;
    }
    // A prefix that ends in a lone lead byte must not swallow half of the
    // text's double-byte character.
    if (prefix.empty()) {
        return true;
    }
    std::size_t pos = 0;
    while (pos < prefix.size()) {
        pos += CharBytes(codePage, text, pos);
    }
    return pos == prefix.size();
}

std::size_t AnsiFind(const ICodePage& codePage, const std::string& text, const std::string& what) {
    for (std::size_t pos = 0; pos + what.size() <= text.size();
         pos += CharBytes(codePage, text, pos)) {
        if (text.compare(pos, what.size(), what) != 0) {
            continue;
        }
        std::size_t end = pos;
        while (end < pos + what.size()) {
            end += CharBytes(codePage, text, end);
        }
        if (end == pos + what.size()) {
            return pos;
        }
    }
    return std::string::npos;
}

std::size_t TerminatedLength(const void* buffer, std::size_t size) {
    const void* zero = std::memchr(buffer, 0, size);
    return zero != nullptr
               ? static_cast<std::size_t>(static_cast<const char*>(zero) -
                                          static_cast<const char*>(buffer))
               : size;
}

std::string TerminatedText(const void* buffer, std::size_t size) {
    return std::string(static_cast<const char*>(buffer), TerminatedLength(buffer, size));
}

}  // namespace marnel
