#include <gtest/gtest.h>

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
