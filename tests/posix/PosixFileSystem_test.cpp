#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "files/File.h"
#include "ops/History.h"
#include "posix/PosixEnvironment.h"
#include "posix/PosixFileSystem.h"

namespace marnel {
namespace {

// A fresh folder under the system's temporary directory, removed afterwards.
class PosixFiles : public ::testing::Test {
protected:
    void SetUp() override {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/marnel-fs-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        ASSERT_NE(mkdtemp(name.data()), nullptr);
        dir = name.data();
    }
    void TearDown() override {
        std::string command = "rm -rf '" + dir + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }

    std::string Path(const std::string& name) const { return dir + "/" + name; }
    void Put(const std::string& name, const std::string& content) const {
        std::ofstream(Path(name), std::ios::binary) << content;
    }
    std::string Get(const std::string& name) const {
        std::ifstream in(Path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::size_t EntryCount() const {
        std::string command = "test $(ls -A '" + dir + "' | wc -l) -eq ";
        for (std::size_t n = 0; n < 10; ++n) {
            if (std::system((command + std::to_string(n)).c_str()) == 0) {
                return n;
            }
        }
        return 99;
    }

    template <typename Body>
    FileErrorCause CauseOf(Body body) {
        try {
            body();
        } catch (const CFileException& e) {
            return e.m_cause;
        }
        return FileErrorCause::kNone;
    }

    PosixFileSystem fs;
    std::string dir;
};

TEST_F(PosixFiles, ReadsLengthAndBytes) {
    Put("a.bin", std::string("\x01\x00\x02", 3));
    CFile file(fs);
    file.OpenRead(Path("a.bin"));
    EXPECT_EQ(file.GetLength(), 3u);
    char buffer[8] = {};
    EXPECT_EQ(file.Read(buffer, 8), 3u);
    EXPECT_EQ(file.Read(buffer, 8), 0u);
    EXPECT_EQ(std::string(buffer, 3), std::string("\x01\x00\x02", 3));
}

TEST_F(PosixFiles, OpenErrorsMapToTheirCauses) {
    Put("plain", "x");
    CFile file(fs);
    EXPECT_EQ(CauseOf([&] { file.OpenRead(Path("missing")); }), FileErrorCause::kFileNotFound);
    EXPECT_EQ(CauseOf([&] { file.OpenRead(Path("plain/below")); }), FileErrorCause::kBadPath);
    EXPECT_EQ(CauseOf([&] { file.OpenRead(dir); }), FileErrorCause::kAccessDenied);
}

TEST_F(PosixFiles, AFileHeldByAnotherProgramIsASharingViolation) {
    Put("held.bin", "data");
    int other = open(Path("held.bin").c_str(), O_RDONLY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    CFile file(fs);
    EXPECT_EQ(CauseOf([&] { file.OpenRead(Path("held.bin")); }), FileErrorCause::kSharingViolation);
    // A save over it fails too, and leaves it as it was.
    EXPECT_EQ(CauseOf([&] { SaveFileReplacing(fs, Path("held.bin"), "new", 3); }),
              FileErrorCause::kSharingViolation);
    close(other);
    EXPECT_EQ(Get("held.bin"), "data");
    EXPECT_EQ(EntryCount(), 1u) << "no temporary file left behind";

    // Another reader that shares keeps out only those that do not.
    other = open(Path("held.bin").c_str(), O_RDONLY);
    ASSERT_EQ(flock(other, LOCK_SH | LOCK_NB), 0);
    EXPECT_EQ(CauseOf([&] { file.OpenRead(Path("held.bin")); }), FileErrorCause::kSharingViolation);
    EXPECT_EQ(CauseOf([&] { file.OpenReadShared(Path("held.bin")); }), FileErrorCause::kNone);
    file.Close();
    close(other);
}

TEST_F(PosixFiles, ReplacingSaveKeepsTheModeAndLeavesNoTemporary) {
    Put("params.bin", std::string(300, 'o'));
    ASSERT_EQ(chmod(Path("params.bin").c_str(), 0640), 0);
    std::string fresh(266, 'n');
    SaveFileReplacing(fs, Path("params.bin"), fresh.data(), 266);
    EXPECT_EQ(Get("params.bin"), fresh);
    struct stat st {};
    ASSERT_EQ(stat(Path("params.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(EntryCount(), 1u);

    SaveFileReplacing(fs, Path("new.txt"), "r", 1);
    EXPECT_EQ(Get("new.txt"), "r");
}

TEST_F(PosixFiles, SavingKeepsLinksDevicesAndOwnersAsTheyWere) {
    const std::string fresh(266, 'n');
    // A link leads to the file it names, and stays a link.
    Put("real.bin", std::string(300, 'o'));
    ASSERT_EQ(symlink("real.bin", Path("link.bin").c_str()), 0);
    SaveFileReplacing(fs, Path("link.bin"), fresh.data(), 266);
    struct stat st {};
    ASSERT_EQ(lstat(Path("link.bin").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(Get("real.bin"), fresh);

    // A character device is written, not replaced by a regular file: a node
    // of our own for the null device, so a fault here harms nothing else.
    const bool privileged = geteuid() == 0;
    if (privileged) {
        ASSERT_EQ(mknod(Path("null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
        SaveFileReplacing(fs, Path("null"), fresh.data(), 266);
        ASSERT_EQ(lstat(Path("null").c_str(), &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode));
    }

    // A FIFO that no one reads is an error at once, not a wait.
    ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
    EXPECT_NE(CauseOf([&] { SaveFileReplacing(fs, Path("fifo"), fresh.data(), 266); }),
              FileErrorCause::kNone);
    EXPECT_EQ(EntryCount(), privileged ? 4u : 3u) << "no temporary file left";

    // A file another user owns keeps its owner and mode where we may keep them.
    Put("theirs.bin", "o");
    ASSERT_EQ(chmod(Path("theirs.bin").c_str(), 0444), 0);
    if (privileged) {
        ASSERT_EQ(chown(Path("theirs.bin").c_str(), 65534, 65534), 0);
    }
    SaveFileReplacing(fs, Path("theirs.bin"), fresh.data(), 266);
    ASSERT_EQ(stat(Path("theirs.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
    if (privileged) {
        EXPECT_EQ(st.st_uid, 65534u);
        EXPECT_EQ(st.st_gid, 65534u);
    }
}

// The rename of a temporary file would get past a file's own protection: a
// user who may not write the file is refused, as opening it would be.
TEST_F(PosixFiles, AFileThisUserMayNotWriteIsRefusedAndLeftAlone) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to act as another user";
    }
    Put("locked.bin", "o");
    ASSERT_EQ(chmod(Path("locked.bin").c_str(), 0444), 0);
    ASSERT_EQ(chmod(dir.c_str(), 0777), 0);  // the folder would let anyone rename
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) {
            _exit(10);
        }
        const FileErrorCause cause =
            CauseOf([&] { SaveFileReplacing(fs, Path("locked.bin"), "new", 3); });
        _exit(cause == FileErrorCause::kAccessDenied ? 0 : 20 + static_cast<int>(cause));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10: could not switch user; 20+: another cause";
    EXPECT_EQ(Get("locked.bin"), "o");
    EXPECT_EQ(EntryCount(), 1u);
}

// Twenty processes end together, each with its history line, while one
// reader keeps the history open beside them and another program holds a
// shared lock on it for a moment: every line arrives, whole and on its own,
// and the reader is not held up by the writers.
TEST_F(PosixFiles, HistoryLinesOfManyWritersAllArriveWhole) {
    constexpr int kWriters = 20;
    Put("history.jsonl", "{\"time\":\"2026-12");  // a crash mid-line, before them
    const std::string history = Path("history.jsonl");
    CFile reader(fs);
    reader.OpenReadBesideWriters(history);
    const int other = open(history.c_str(), O_RDONLY);
    ASSERT_EQ(flock(other, LOCK_SH | LOCK_NB), 0);

    int start[2];
    ASSERT_EQ(pipe(start), 0);
    std::vector<pid_t> writers;
    for (int i = 0; i < kWriters; ++i) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(other);  // the lock is the other program's, not the writers'
            close(start[1]);
            char go = 0;
            const bool ready = read(start[0], &go, 1) == 0;  // all start at the pipe's end
            setenv("MARNEL_STATE_DIR", dir.c_str(), 1);
            PosixEnvironment environment;
            HistoryEntry entry;
            entry.operation = "put-params";
            entry.printer = "writer " + std::to_string(i);
            entry.file = std::string(300, 'f');  // long enough to tear if interleaved
            try {
                CHistory(fs, environment).Append(entry);
            } catch (const CFileException& e) {
                _exit(10 + static_cast<int>(e.m_cause));
            }
            _exit(ready ? 0 : 1);
        }
        writers.push_back(child);
    }
    close(start[0]);
    close(start[1]);
    usleep(300 * 1000);  // the writers wait for the shared lock meanwhile
    EXPECT_EQ(ReadHistoryText(fs, history), "{\"time\":\"2026-12") << "a reader is let in";
    close(other);
    for (const pid_t child : writers) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "10 and more: a file error, its cause; status " << status;
    }
    reader.Close();

    std::istringstream lines(Get("history.jsonl"));
    std::string line;
    std::set<std::string> whole;
    while (std::getline(lines, line)) {
        whole.insert(line.size() > 30 ? line.replace(9, 20, "T") : line);  // the time aside
    }
    EXPECT_EQ(whole.count("{\"time\":\"2026-12"), 1u) << "the torn line stays on its own";
    for (int i = 0; i < kWriters; ++i) {
        EXPECT_EQ(whole.count("{\"time\":\"T\",\"operation\":\"put-params\",\"printer\":\"writer " +
                              std::to_string(i) + "\",\"file\":\"" + std::string(300, 'f') + "\"}"),
                  1u)
            << i;
    }
    EXPECT_EQ(whole.size(), kWriters + 1u);

    // A program that keeps the file locked makes a writer fail, not hang.
    const int holder = open(history.c_str(), O_RDONLY);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    const auto before = std::chrono::steady_clock::now();
    FileHandle handle = nullptr;
    FileError error;
    EXPECT_FALSE(fs.OpenAppend(history, 200, &handle, &error));
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(200));
    EXPECT_EQ(error.cause, FileErrorCause::kSharingViolation);
    close(holder);
}

// A signal that ends the process during a save leaves the file as it was
// and nothing beside it; a signal the command holds is left to it.
TEST_F(PosixFiles, ASignalDuringASaveTakesItsTemporaryFileAlong) {
    for (const int signal : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, -SIGTERM /* held */}) {
        Put("params.bin", "old");
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const rlimit noCore{0, 0};
            setrlimit(RLIMIT_CORE, &noCore);
            if (signal < 0) {
                std::signal(-signal, [](int) {});
            }
            CReplacingFile file(fs);
            file.Create(Path("params.bin"));
            file.Write("new", 3);
            raise(std::abs(signal));
            file.Commit();
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_EQ(WIFSIGNALED(status) ? WTERMSIG(status) : -WEXITSTATUS(status),
                  signal < 0 ? 0 : signal);
        EXPECT_EQ(Get("params.bin"), signal < 0 ? "new" : "old") << signal;
        EXPECT_EQ(EntryCount(), 1u) << "no temporary file left, signal " << signal;
    }
    // Once no save is open, the signals are as they were.
    SaveFileReplacing(fs, Path("params.bin"), "x", 1);
    struct sigaction current {};
    ASSERT_EQ(sigaction(SIGTERM, nullptr, &current), 0);
    EXPECT_EQ(current.sa_handler, SIG_DFL);
}

TEST_F(PosixFiles, SaveIntoAMissingFolderIsABadPath) {
    EXPECT_EQ(CauseOf([&] { SaveFileReplacing(fs, Path("no/such.bin"), "x", 1); }),
              FileErrorCause::kBadPath);
}

}  // namespace
}  // namespace marnel
