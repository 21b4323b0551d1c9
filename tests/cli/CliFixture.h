// The marnel tool run in-process for the tests: arguments in, exit status,
// standard output and error, the files written in a scratch folder; the
// device commands run on a fresh simulated world or on the test's own.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "UnexpectedRequests.h"
#include "cli/Cli.h"
#include "posix/PosixFileSystem.h"
#include "posix/PosixHashing.h"
#include "protocol/ParameterBlock.h"
#include "sim/SimWorld.h"

namespace marnel::cli {

// A world the test keeps hold of, to set up faults and look at the device.
// When the command is done, its devices must have refused nothing.
class BorrowedWorld : public DeviceWorld {
public:
    explicit BorrowedWorld(SimWorld& world) : m_world(world) {}
    ~BorrowedWorld() override { test::ExpectUnexpectedRequests(m_world, 0); }
    const PlatformServices& Services() override { return m_world.Services(); }
    std::string Description() const override { return "the test's machine"; }

private:
    SimWorld& m_world;
};

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/marnel-cli-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        m_environment.SetVariable("MARNEL_STATE_DIR", m_dir + "/state");
    }
    void TearDown() override {
        ASSERT_EQ(std::system(("rm -rf '" + m_dir + "'").c_str()), 0);
    }

    std::string PathOf(const std::string& name) {
        return m_dir + "/" + name;
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
        m_in.clear();
        Console console{m_out, m_err, m_in};
        const WorldFactory factory =
            makeWorld ? makeWorld : [this](const std::optional<Simulation>& simulation) {
                return MakeSimulatedWorld(simulation.value_or(Simulation{"KQ-10", ""}),
                                          m_fileSystem, m_hashing);
            };
        return RunCli(static_cast<int>(argv.size()), argv.data(), console, m_fileSystem,
                      m_environment, m_hashing, factory);
    }

    // Runs against m_world instead of a fresh simulated one.
    int RunOnWorld(std::vector<std::string> args) {
        return Run(std::move(args), [this](const std::optional<Simulation>&) {
            return std::make_unique<BorrowedWorld>(m_world);
        });
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

    PosixHashing m_hashing;
    SimWorld m_world{&m_hashing};
    std::string m_dir;
    std::istringstream m_in;
    PosixFileSystem m_fileSystem;
    SimEnvironment m_environment;

private:
    std::ostringstream m_out;
    std::ostringstream m_err;
};

}  // namespace marnel::cli
