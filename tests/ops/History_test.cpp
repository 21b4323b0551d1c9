#include <gtest/gtest.h>

#include <string>

#include "files/Sha256.h"
#include "ops/History.h"
#include "sim/MemoryFileSystem.h"
#include "sim/SimPlatform.h"

namespace marnel {
namespace {

TEST(Sha256, KnownDigests) {
    const struct {
        std::string message;
        const char* digest;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        // 56 bytes: the length no longer fits the first block.
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases) {
        CSha256 sha;
        // In two uneven parts, as a file arrives in pieces.
        sha.Update(c.message.data(), c.message.size() / 3);
        sha.Update(c.message.data() + c.message.size() / 3,
                   c.message.size() - c.message.size() / 3);
        EXPECT_EQ(sha.HexDigest(), c.digest) << c.message.size() << " bytes";
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
