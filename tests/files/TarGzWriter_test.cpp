// The archive writer's output as the system's tools read it back: gzip
// inflates what Gzip made to the very bytes, tar lists the names in order (a
// long one split over the prefix) with their contents byte for byte, and the
// names that no ustar header can hold are refused and leave no trace.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "files/Gzip.h"
#include "files/TarGzWriter.h"
#include "sim/MemoryFileSystem.h"

namespace marnel {
namespace {

// What `command` printed; empty when it failed.
std::string Shell(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        out.append(buffer, got);
    }
    return pclose(pipe) == 0 ? out : std::string();
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteAll(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary)
        .write(data.data(), static_cast<std::streamsize>(data.size()));
}

// A scratch folder, removed with its holder.
struct Scratch {
    std::string path;
    Scratch() {
        char name[] = "/tmp/marnel-tar-XXXXXX";
        path = mkdtemp(name) != nullptr ? name : "";
    }
    ~Scratch() { std::system(("rm -rf " + path).c_str()); }
};

// What the writer made of `body` in the memory file system.
template <typename Body>
std::string Archive(Body body) {
    MemoryFileSystem memory;
    CFile file(memory);
    file.Create("b.tar.gz");
    CTarGzWriter writer(file, 1700000000);
    body(writer);
    writer.Finish();
    file.Close();
    const std::vector<std::uint8_t> content = memory.Content("b.tar.gz");
    return std::string(content.begin(), content.end());
}

TEST(Gzip, GzipInflatesItToTheSameBytes) {
    std::string counted;  // lines alike but for a counter, as a history's are
    for (int i = 0; i < 3000; ++i) {
        counted += "{\"time\":\"2026-01-01\",\"printer\":\"unit " + std::to_string(i) + "\"}\n";
    }
    std::string noise;  // nothing to match
    for (std::uint32_t x = 1; noise.size() < 70000;) {
        x = x * 1103515245u + 12345u;
        noise += static_cast<char>(x >> 24);
    }
    std::string everyByte;
    for (int i = 0; i < 512; ++i) {
        everyByte += static_cast<char>(i % 256);
    }
    const struct {
        const char* what;
        std::string data;
        bool shrinks;  // to under a third
    } cases[] = {
        {"nothing", "", false},
        {"one byte", "x", false},
        {"a run: matches that overlap themselves", std::string(1000, 'a'), true},
        {"every byte value, twice", everyByte, false},
        {"counted lines", counted, true},
        {"noise", noise, false},
        {"a repeat 40000 bytes back, beyond reach", noise.substr(0, 40000) + noise.substr(0, 300),
         false},
    };
    Scratch scratch;
    ASSERT_FALSE(scratch.path.empty());
    for (const auto& c : cases) {
        const std::string packed = Gzip(c.data, 1700000000);
        WriteAll(scratch.path + "/x.gz", packed);
        EXPECT_NE(Shell("gzip -t " + scratch.path + "/x.gz && echo ok"), "") << c.what;
        Shell("gzip -dc " + scratch.path + "/x.gz >" + scratch.path + "/x");
        EXPECT_EQ(ReadAll(scratch.path + "/x"), c.data) << c.what;
        if (c.shrinks) {
            EXPECT_LT(packed.size(), c.data.size() / 3) << c.what;
        }
    }
}

TEST(TarGzWriter, SystemTarReadsBackEveryEntry) {
    const std::string longFolder = "bundle/" + std::string(90, 'f');
    const struct {
        std::string name;
        std::string data;
    } files[] = {
        {"bundle/MANIFEST.txt", "what was collected\n"},
        {"bundle/empty.txt", ""},
        {"bundle/block.prm", std::string("\0\x01\xff", 3) + std::string(509, 'x')},  // 512
        {"bundle/history.jsonl", std::string(70000, 'h') + "\n"},
        {longFolder + "/" + std::string(60, 'n') + ".txt", "under a long name"},  // 162 bytes
    };
    Scratch scratch;
    ASSERT_FALSE(scratch.path.empty());
    WriteAll(scratch.path + "/b.tar.gz", Archive([&](CTarGzWriter& writer) {
                 ASSERT_TRUE(writer.AddFolder("bundle"));
                 for (const auto& entry : files) {
                     ASSERT_TRUE(writer.AddFile(entry.name, entry.data)) << entry.name;
                 }
             }));
    std::string expected = "bundle/\n";
    for (const auto& entry : files) {
        expected += entry.name + "\n";
    }
    const std::string archive = scratch.path + "/b.tar.gz";
    EXPECT_EQ(Shell("tar -tzf " + archive), expected);
    EXPECT_NE(Shell("tar -xzf " + archive + " -C " + scratch.path + " && echo ok"), "");
    for (const auto& entry : files) {
        EXPECT_EQ(ReadAll(scratch.path + "/" + entry.name), entry.data) << entry.name;
    }
    EXPECT_EQ(Shell("stat -c %a " + scratch.path + "/bundle/empty.txt"), "600\n");
    EXPECT_EQ(Shell("TZ=UTC stat -c %y " + scratch.path + "/bundle/MANIFEST.txt").substr(0, 19),
              "2023-11-14 22:13:20");
}

TEST(TarGzWriter, RefusesNamesNoHeaderHolds) {
    const std::string cases[] = {
        "",
        std::string(101, 'n'),                // no '/' to split at
        "bundle/" + std::string(101, 'n'),    // the last part alone is too long
        std::string(156, 'p') + "/name.txt",  // the prefix is too long
        std::string(100, 'a') + "/" + std::string(100, 'b') + "/" + std::string(60, 'c'),
    };
    Scratch scratch;
    ASSERT_FALSE(scratch.path.empty());
    WriteAll(scratch.path + "/b.tar.gz", Archive([&](CTarGzWriter& writer) {
                 for (const std::string& name : cases) {
                     EXPECT_FALSE(writer.AddFile(name, "data")) << name.size() << " bytes";
                 }
                 ASSERT_TRUE(writer.AddFile("kept.txt", "data"));
             }));
    EXPECT_EQ(Shell("tar -tzf " + scratch.path + "/b.tar.gz"), "kept.txt\n");
}

}  // namespace
}  // namespace marnel
