// Children as support-bundle runs them: how each ended, what it printed, and
// a child that outlives its time is stopped.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/ChildProcess.h"

namespace marnel {
namespace {

std::string Content(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(ChildProcess, SaysHowEachChildEndedAndKeepsWhatItPrinted) {
    std::string error;
    const std::string folder = MakePrivateFolder("marnel-child-", &error);
    ASSERT_FALSE(folder.empty()) << error;
    struct stat st {};
    ASSERT_EQ(stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << "private";

    const struct {
        std::vector<std::string> argv;
        unsigned timeout;
        bool started;
        int exitStatus;
        int signal;
        bool timedOut;
        std::string out;
        std::string err;  // empty: the error file is gone
    } cases[] = {
        {{"sh", "-c", "echo out; echo err >&2; exit 3"}, 10, true, 3, 0, false, "out\n", "err\n"},
        {{"sh", "-c", "read line || echo no input"}, 10, true, 0, 0, false, "no input\n", ""},
        {{"sh", "-c", "kill -TERM $$"}, 10, true, -1, 15, false, "", ""},
        {{"sleep", "30"}, 1, true, -1, 9, true, "", ""},
        {{"/nonexistent/program"}, 10, false, -1, 0, false, "", ""},
    };
    for (const auto& c : cases) {
        const std::string out = folder + "/out";
        const std::string err = folder + "/err";
        const ChildOutcome outcome = RunChild(c.argv, out, err, c.timeout);
        const std::string name = c.argv.back();
        EXPECT_EQ(outcome.started, c.started) << name;
        EXPECT_EQ(outcome.exitStatus, c.exitStatus) << name;
        EXPECT_EQ(outcome.signal, c.signal) << name;
        EXPECT_EQ(outcome.timedOut, c.timedOut) << name;
        EXPECT_EQ(outcome.error.empty(), c.started) << name << ": " << outcome.error;
        if (c.started) {
            EXPECT_EQ(Content(out), c.out) << name;
            EXPECT_EQ(access(err.c_str(), F_OK) == 0, !c.err.empty()) << name;
            EXPECT_EQ(Content(err), c.err) << name;
        }
        unlink(out.c_str());
        unlink(err.c_str());
    }

    ASSERT_EQ(mkdir((folder + "/below").c_str(), 0700), 0);
    std::ofstream(folder + "/below/file") << "x";
    RemoveFolderTree(folder);
    EXPECT_NE(access(folder.c_str(), F_OK), 0);
}

}  // namespace
}  // namespace marnel
