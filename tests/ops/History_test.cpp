#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "ops/History.h"
#include "sim/MemoryFileSystem.h"
#include "sim/SimPlatform.h"

namespace marnel {
namespace {

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
