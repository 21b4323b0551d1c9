#include <gtest/gtest.h>

#include <string>

#include "device/AnsiText.h"
#include "sim/SimPlatform.h"

namespace marnel {
namespace {

// A double-byte code page shaped like the common East Asian ones: lead bytes
// 0x81-0x9F and 0xE0-0xFC, trail bytes that include the ASCII letters.
SimCodePage DoubleByte() {
    SimCodePage codePage;
    codePage.AddLeadByteRange(0x81, 0x9F);
    codePage.AddLeadByteRange(0xE0, 0xFC);
    return codePage;
}

struct TextCase {
    const char* text;
    const char* other;
    bool expected;
};

TEST(AnsiText, EqualsIgnoringCase) {
    const SimCodePage codePage = DoubleByte();
    const TextCase cases[] = {
        {"Zarvel KQ-10", "zARVEL kq-10", true},
        {"Zarvel KQ-10", "Zarvel KQ-1", false},
        {"", "", true},
        {"{28D78FAD-5A12}", "{28d78fad-5a12}", true},
        // Same characters, but the trail byte 'a' / 'A' must not fold.
        {"KQ\x83"
         "a",
         "KQ\x83"
         "A",
         false},
        {"\x83"
         "a\x83"
         "a",
         "\x83"
         "a\x83"
         "a",
         true},
        // Letters around a double-byte character still fold.
        {"k\x83"
         "aq",
         "K\x83"
         "aQ",
         true},
        // Bytes the code page does not make letters are compared as they are.
        {"\xE9", "\xC9", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AnsiEqualsNoCase(codePage, c.text, c.other), c.expected)
            << '"' << c.text << "\" vs \"" << c.other << '"';
    }
}

TEST(AnsiText, StartsWithIgnoringCase) {
    const SimCodePage codePage = DoubleByte();
    const TextCase cases[] = {
        {"Zarvel KQ-10", "Zarvel KQ-", true},
        {"zarvel zt-5", "Zarvel ZT-", true},
        {"Zarvel KQ-10 (copy 1)", "Zarvel KQ-10", true},
        {"Zarvel KQ", "Zarvel KQ-", false},  // shorter than the prefix
        {"Zarvel KQ", "Zarvel KQ", true},
        {"Zarvel KX-10", "Zarvel KQ-", false},
        {"anything", "", true},
        {"\x83"
         "a-10",
         "\x83"
         "A",
         false},  // trail byte never folds
        {"\x83"
         "a-10",
         "\x83"
         "a-",
         true},
        {"\x83"
         "a-10",
         "\x83", false},  // the prefix would split a character
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AnsiStartsWithNoCase(codePage, c.text, c.other), c.expected)
            << '"' << c.text << "\" starts with \"" << c.other << '"';
    }
}

TEST(AnsiText, FindsFirstOccurrenceOnACharacterBoundary) {
    const SimCodePage codePage = DoubleByte();
    struct FindCase {
        const char* text;
        const char* what;
        std::size_t expected;
    };
    const FindCase cases[] = {
        {"8&11223344&0&USB001", "USB001", 13},
        {"8&11223344&0&USB001", "usb001", std::string::npos},  // case-sensitive
        {"VID_1A2B&VID_0010", "VID", 0},
        {"abc", "", 0},
        {"", "a", std::string::npos},
        // "\x83V" is one character: the V inside it is no match, the next is.
        {"\x83VID_VID", "VID", 5},
        {"\x83VID", "VID", std::string::npos},
        // A trail byte that equals '{' is not a brace.
        {"\x83{x{y", "{", 3},
        // A lone lead byte at the end stands for itself.
        {"ab\x83", "\x83", 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AnsiFind(codePage, c.text, c.what), c.expected)
            << '"' << c.what << "\" in \"" << c.text << '"';
    }
}

// The code page's own letters fold too: a Western page where 0xE4 is the
// small a-umlaut of 0xC4 and 0xFF the small y-diaeresis of 0x9F. A byte it
// does not pair (0xB5) matches only itself, and a lead byte never folds.
TEST(AnsiText, FoldsTheCodePagesSingleByteLetters) {
    SimCodePage western;
    western.AddLetter(0xE4, 0xC4);
    western.AddLetter(0xFF, 0x9F);
    SimCodePage doubleByte = DoubleByte();
    doubleByte.AddLetter(0xE4, 0xC4);  // 0xE4 begins a character there
    struct FoldCase {
        const SimCodePage& codePage;
        const char* text;
        const char* other;
        bool equal;
    };
    const FoldCase cases[] = {
        {western, "zarvel kq-10 \xE4", "ZARVEL KQ-10 \xC4", true},
        {western, "\xC4\x9F", "\xE4\xFF", true},
        {western, "\xE4", "\xE9", false},
        {western, "\xB5", "M", false},
        {doubleByte, "\xE4z", "\xC4z", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AnsiEqualsNoCase(c.codePage, c.text, c.other), c.equal)
            << '"' << c.text << "\" vs \"" << c.other << '"';
        EXPECT_EQ(AnsiStartsWithNoCase(c.codePage, std::string(c.text) + "-1", c.other), c.equal)
            << '"' << c.text << "-1\" starts with \"" << c.other << '"';
    }
}

// Whichever side a double-byte character stands on, it is compared whole:
// equality does not depend on the order of its arguments.
TEST(AnsiText, LeadByteOnEitherSideIsNeverFolded) {
    SimCodePage codePage;
    codePage.AddLeadByteRange('S', 'S');  // "SB" is one character, "sb" two
    const TextCase cases[] = {
        {"USB", "usb", false},
        {"usb", "USB", false},
        {"USB", "uSB", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AnsiEqualsNoCase(codePage, c.text, c.other), c.expected)
            << '"' << c.text << "\" vs \"" << c.other << '"';
    }
    EXPECT_FALSE(AnsiStartsWithNoCase(codePage, "USB001", "usb"));
}

TEST(AnsiText, SingleByteCodePageTreatsEveryByteAlone) {
    const SimCodePage codePage;
    EXPECT_EQ(AnsiFind(codePage, "\x83VID", "VID"), 1u);
    EXPECT_TRUE(AnsiEqualsNoCase(codePage,
                                 "\x83"
                                 "a",
                                 "\x83"
                                 "A"));
}

}  // namespace
}  // namespace marnel
