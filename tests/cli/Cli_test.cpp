// The marnel tool run in-process: arguments in, exit status, standard
// output and error and the files written out. The device commands run
// against the simulated world.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "cli/Cli.h"
#include "cli/ExitStatus.h"
#include "posix/PosixFileSystem.h"
#include "protocol/ParameterBlock.h"

namespace marnel::cli {
namespace {

using ::testing::HasSubstr;

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/marnel-cli-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override {
        for (const std::string& file : m_files) {
            std::remove(file.c_str());
        }
        rmdir(m_dir.c_str());
    }

    std::string PathOf(const std::string& name) {
        m_files.push_back(m_dir + "/" + name);
        return m_files.back();
    }

    std::string WriteFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const std::string path = PathOf(name);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    static std::vector<std::uint8_t> ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    int Run(std::vector<std::string> args, const WorldFactory& makeWorld = nullptr) {
        args.insert(args.begin(), "marnel");
        std::vector<const char*> argv;
        for (const std::string& arg : args) {
            argv.push_back(arg.c_str());
        }
        m_out.str("");
        m_err.str("");
        Console console{m_out, m_err, m_in};
        const WorldFactory factory =
            makeWorld ? makeWorld : [](const std::optional<std::string>& model) {
                return MakeSimulatedWorld(model.value_or("KQ-10"));
            };
        return RunCli(static_cast<int>(argv.size()), argv.data(), console, m_fileSystem,
                      factory);
    }

    std::string Out() const { return m_out.str(); }
    std::string Err() const { return m_err.str(); }

    // A fixed-layout block with a valid checksum and one data byte set.
    static std::vector<std::uint8_t> ValidBlock() {
        ParameterBlockBytes block{};
        const char tag[] = "KQ-10   ";
        std::copy(tag, tag + 8, block.begin());
        block[8] = 0x01;
        block[9] = 0x02;
        StoreParameterChecksum(block);
        return {block.begin(), block.end()};
    }

private:
    std::string m_dir;
    std::vector<std::string> m_files;
    std::ostringstream m_out;
    std::ostringstream m_err;
    std::istringstream m_in;
    PosixFileSystem m_fileSystem;
};

TEST_F(CliTest, InspectTellsLayoutModelLengthAndBothChecksums) {
    const std::string file = WriteFile("good.prm", ValidBlock());
    EXPECT_EQ(Run({"inspect", file}), kExitSuccess);
    EXPECT_THAT(Out(), HasSubstr("layout:            fixed"));
    EXPECT_THAT(Out(), HasSubstr("model tag:         KQ-10"));
    EXPECT_THAT(Out(), HasSubstr("data length:       256"));
    EXPECT_THAT(Out(), HasSubstr("stored checksum:   0xFFFD"));
    EXPECT_THAT(Out(), HasSubstr("computed checksum: 0xFFFD"));
    EXPECT_THAT(Out(), HasSubstr("checksum:          valid"));
}

TEST_F(CliTest, InspectOfAnAlteredBlockIsInvalidWithExitOne) {
    std::vector<std::uint8_t> block = ValidBlock();
    block[100] ^= 0x40;
    const std::string file = WriteFile("bad.prm", block);
    EXPECT_EQ(Run({"inspect", file}), kExitInvalidBlock);
    EXPECT_THAT(Out(), HasSubstr("INVALID"));
}

TEST_F(CliTest, InspectRefusesFilesOfAnyOtherSizeAsDataFormatError) {
    for (std::size_t size : {0u, 265u, 267u}) {
        const std::string file = WriteFile("size" + std::to_string(size), std::vector<std::uint8_t>(size));
        EXPECT_EQ(Run({"inspect", file}), kExitUsage) << size;
        EXPECT_THAT(Err(), HasSubstr("Data format error.")) << size;
    }
}

TEST_F(CliTest, InspectOfAMissingFileIsAFileErrorNamingThePath) {
    const std::string missing = PathOf("missing.prm");
    EXPECT_EQ(Run({"inspect", missing}), kExitUsage);
    EXPECT_THAT(Err(), HasSubstr(missing + " was not found."));
}

TEST_F(CliTest, InspectAsJsonCarriesTheSameFacts) {
    const std::string file = WriteFile("good.prm", ValidBlock());
    EXPECT_EQ(Run({"--json", "inspect", file}), kExitSuccess);
    EXPECT_THAT(Out(), HasSubstr("\"layout\":\"fixed\""));
    EXPECT_THAT(Out(), HasSubstr("\"valid\":true"));
    EXPECT_THAT(Out(), HasSubstr("\"storedChecksum\":65533"));
}

TEST_F(CliTest, UsageErrorsExitTwo) {
    EXPECT_EQ(Run({}), kExitUsage);
    EXPECT_EQ(Run({"frobnicate"}), kExitUsage);
    EXPECT_EQ(Run({"get-params"}), kExitUsage);
}

TEST_F(CliTest, HelpDocumentsEveryCommand) {
    EXPECT_EQ(Run({"--help"}), kExitSuccess);
    for (const char* command : {"list", "report", "get-params", "put-params", "version", "inspect"}) {
        EXPECT_THAT(Out(), HasSubstr(command));
    }
}

}  // namespace
}  // namespace marnel::cli
