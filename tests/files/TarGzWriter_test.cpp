// The archive writer's output as the system's tar reads it back: names in
// order (a long one split over the prefix), contents byte for byte, and the
// names that no ustar header can hold refused with nothing written.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "files/TarGzWriter.h"
#include "sim/MemoryFileSystem.h"

namespace marnel {
namespace {

struct Entry {
    std::string name;
    std::string data;
};

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

TEST(TarGzWriter, SystemTarReadsBackEveryEntry) {
    const std::string longFolder = "bundle/" + std::string(90, 'f');
    const std::vector<Entry> files = {
        {"bundle/MANIFEST.txt", "what was collected\n"},
        {"bundle/empty.txt", ""},
        {"bundle/block.prm", std::string("\0\x01\xff", 3) + std::string(509, 'x')},  // 512
        {"bundle/history.jsonl", std::string(70000, 'h') + "\n"},
        {longFolder + "/" + std::string(60, 'n') + ".txt", "under a long name"},  // 162 bytes
    };
    MemoryFileSystem memory;
    {
        CFile file(memory);
        file.Create("b.tar.gz");
        CTarGzWriter writer(file, 1700000000);
        ASSERT_TRUE(writer.AddFolder("bundle"));
        for (const Entry& entry : files) {
            ASSERT_TRUE(writer.AddFile(entry.name, entry.data)) << entry.name;
        }
        writer.Finish();
        file.Close();
    }
    char folder[] = "/tmp/marnel-tar-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string work = folder;
    const std::vector<std::uint8_t> archive = memory.Content("b.tar.gz");
    std::ofstream(work + "/b.tar.gz", std::ios::binary)
        .write(reinterpret_cast<const char*>(archive.data()),
               static_cast<std::streamsize>(archive.size()));

    std::string expected = "bundle/\n";
    for (const Entry& entry : files) {
        expected += entry.name + "\n";
    }
    EXPECT_EQ(Shell("tar -tzf " + work + "/b.tar.gz"), expected);
    EXPECT_NE(Shell("gzip -t " + work + "/b.tar.gz && tar -xzf " + work + "/b.tar.gz -C " + work +
                  " && echo ok"),
              "");
    for (const Entry& entry : files) {
        EXPECT_EQ(ReadAll(work + "/" + entry.name), entry.data) << entry.name;
    }
    EXPECT_EQ(Shell("stat -c %a " + work + "/bundle/empty.txt"), "600\n");
    EXPECT_EQ(Shell("TZ=UTC stat -c %y " + work + "/bundle/MANIFEST.txt").substr(0, 19),
              "2023-11-14 22:13:20");
    std::system(("rm -rf " + work).c_str());
}

TEST(TarGzWriter, RefusesNamesNoHeaderHolds) {
    const std::string cases[] = {
        "",
        std::string(101, 'n'),                // no '/' to split at
        "bundle/" + std::string(101, 'n'),    // the last part alone is too long
        std::string(156, 'p') + "/name.txt",  // the prefix is too long
        std::string(100, 'a') + "/" + std::string(100, 'b') + "/" + std::string(60, 'c'),
    };
    for (const std::string& name : cases) {
        MemoryFileSystem memory;
        CFile file(memory);
        file.Create("b.tar.gz");
        CTarGzWriter writer(file, 0);
        EXPECT_FALSE(writer.AddFile(name, "data")) << name.size() << " bytes";
        EXPECT_TRUE(memory.Content("b.tar.gz").empty()) << name.size() << " bytes";
    }
}

}  // namespace
}  // namespace marnel
