#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ops/History.h"
#include "ops/StateFolder.h"
#include "sim/MemoryFileSystem.h"
#include "sim/SimPlatform.h"

namespace marnel {
namespace {

// A stamp read back gives the seconds it was written from; any other text
// gives none.
TEST(History, TimestampsReadBackAsWritten) {
    for (std::int64_t seconds : {0LL, 951782400LL, 1709164800LL, 1796644800LL, 4102444799LL}) {
        EXPECT_EQ(ParseUtcTimestamp(UtcTimestamp(seconds, false)), seconds) << seconds;
    }
    for (const char* text : {"", "2026-12-07T12:00:00", "2026-12-07 12:00:00Z",
                             "2026-13-07T12:00:00Z", "2026-12-07T24:00:00Z", "1969-12-31T23:59:59Z",
                             "20261207T120000Z", "2026-1a-07T12:00:00Z"}) {
        EXPECT_EQ(ParseUtcTimestamp(text), std::nullopt) << text;
    }
}

TEST(History, JsonStringsAreValidWhateverTheBytes) {
    const struct {
        std::string text;
        const char* json;
    } cases[] = {
        {"plain", "\"plain\""},
        {"a\"b\\c", "\"a\\\"b\\\\c\""},
        {"tab\there\n", "\"tab\\u0009here\\u000a\""},
        {"caf\xC3\xA9", "\"caf\xC3\xA9\""},       // UTF-8 stays
        {"38 \xB0" "C", "\"38 \\u00b0C\""},       // a Latin-1 degree sign
        {"\xC3", "\"\\u00c3\""},                   // a sequence cut short
        {"\xC0\xAF", "\"\\u00c0\\u00af\""},       // an overlong form
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JsonQuoted(c.text), c.json) << c.text;
    }
}

// The standard's well-formed sequences at their edges, and its malformed
// ones: a malformed sequence is not UTF-8, and each of its bytes goes into
// JSON as a code point of its own, never as the character it seems to be.
TEST(History, Utf8IsDecodedStrictly) {
    const std::vector<std::string> wellFormed = {
        "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xED\x9F\xBF" /* U+D7FF */,
        "\xEE\x80\x80" /* U+E000 */, "\xEF\xBF\xBD", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF" /* U+10FFFF */};
    const std::vector<std::string> malformed = {
        "\xC0\xAF", "\xC1\xBF", "\xE0\x80\xAF", "\xE0\x9F\xBF", "\xF0\x80\x80\xAF",
        "\xF0\x8F\xBF\xBF",                          // overlong forms
        "\xED\xA0\x80", "\xED\xBF\xBF", "\xED\xA0\x80\xED\xB0\x80",  // surrogates
        "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xF8\x88\x80\x80\x80",  // past U+10FFFF
        "\x80", "\xE2\x82", "\xFE", "\xFF"};        // alone, cut short, never used
    for (const std::string& bytes : wellFormed) {
        EXPECT_TRUE(IsUtf8("a" + bytes + "z")) << ::testing::PrintToString(bytes);
        EXPECT_EQ(JsonQuoted(bytes), "\"" + bytes + "\"");
    }
    for (const std::string& bytes : malformed) {
        std::string json = "\"";
        for (unsigned char byte : bytes) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            json += escaped;
        }
        EXPECT_FALSE(IsUtf8("a" + bytes + "z")) << ::testing::PrintToString(bytes);
        EXPECT_EQ(JsonQuoted(bytes), json + "\"");
    }
}

// A reader of the history takes what stands, or only its last whole lines.
TEST(History, ReadingTheLastLinesKeepsOnlyWholeOnes) {
    MemoryFileSystem files;
    files.SetFile("/h", {'a', 'a', 'a', '\n', 'b', 'b', 'b', '\n', 'c', 'c', 'c', '\n'});
    const struct {
        std::uint64_t lastBytes;
        const char* text;
        std::uint64_t skipped;
    } cases[] = {
        {12, "aaa\nbbb\nccc\n", 0},
        {8, "bbb\nccc\n", 4},  // the window starts a line
        {6, "ccc\n", 8},        // inside "bbb": that line is left out
        {3, "", 12},            // inside the last line
    };
    for (const auto& c : cases) {
        std::uint64_t skipped = 99;
        EXPECT_EQ(ReadHistoryText(files, "/h", c.lastBytes, &skipped), c.text) << c.lastBytes;
        EXPECT_EQ(skipped, c.skipped) << c.lastBytes;
    }
    EXPECT_EQ(ReadHistoryText(files, "/none"), "");
    EXPECT_EQ(files.OpenHandleCount(), 0u);
}

TEST(History, LinesAreAppendedEachOnItsOwn) {
    MemoryFileSystem files;
    SimEnvironment environment;
    environment.SetVariable("MARNEL_STATE_DIR", "/state");
    CHistory history(files, environment);
    ASSERT_EQ(history.Path(), "/state/history.jsonl");
    files.SetFile("/state/history.jsonl", {'{', '"', 't'});  // a line cut short by a crash
    HistoryEntry entry;
    entry.operation = "put-params";
    entry.printer = "Zarvel KQ-10";
    entry.outcome = "succeeded";
    entry.exitStatus = 0;
    history.Append(entry);
    entry.simulated = true;
    history.Append(entry);
    const std::vector<std::uint8_t> content = files.Content("/state/history.jsonl");
    const std::string line = "{\"time\":\"2026-12-07T12:00:00Z\",\"operation\":\"put-params\","
                             "\"printer\":\"Zarvel KQ-10\",\"outcome\":\"succeeded\","
                             "\"exitStatus\":0";
    EXPECT_EQ(std::string(content.begin(), content.end()),
              "{\"t\n" + line + "}\n" + line + ",\"simulated\":true}\n");
}

}  // namespace
}  // namespace marnel
