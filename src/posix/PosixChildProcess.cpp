#include "platform/ChildProcess.h"

#include <fcntl.h>
#include <ftw.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

extern char** environ;

namespace marnel {

namespace {

constexpr long kPollNanoseconds = 20'000'000;  // how often a running child is looked at

std::string ErrnoText(const std::string& what, int errnoValue) {
    return what + ": " + std::strerror(errnoValue);
}

// Waits for `pid`, killing it once `timeoutSeconds` have gone by, and
// asking it to end once `stop` says so.
void WaitFor(pid_t pid, unsigned timeoutSeconds, const std::function<bool()>& stop,
             ChildOutcome* outcome) {
    bool stopped = false;
    const std::time_t deadline = std::time(nullptr) + static_cast<std::time_t>(timeoutSeconds);
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            break;
        }
        if (done < 0 && errno != EINTR) {
            outcome->error = ErrnoText("waitpid", errno);
            return;
        }
        if (!stopped && stop && stop()) {
            stopped = true;
            kill(pid, SIGTERM);
        }
        if (!outcome->timedOut && std::time(nullptr) >= deadline) {
            outcome->timedOut = true;
            kill(pid, SIGKILL);
        }
        const timespec pause{0, kPollNanoseconds};
        nanosleep(&pause, nullptr);
    }
    if (WIFEXITED(status)) {
        outcome->exitStatus = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        outcome->signal = WTERMSIG(status);
    }
}

}  // namespace

ChildOutcome RunChild(const std::vector<std::string>& argv, const std::string& outPath,
                      const std::string& errPath, unsigned timeoutSeconds,
                      const std::function<bool()>& stop) {
    ChildOutcome outcome;
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    const int failed = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        outcome.error = ErrnoText(argv[0], failed);
        return outcome;
    }
    outcome.started = true;
    WaitFor(pid, timeoutSeconds, stop, &outcome);
    struct stat st {};
    if (stat(errPath.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0) {
        unlink(errPath.c_str());
    }
    return outcome;
}

std::string OwnExecutable() {
    std::vector<char> path(4096);
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
    return length > 0 ? std::string(path.data(), static_cast<std::size_t>(length)) : std::string();
}

std::string MakePrivateFolder(const std::string& prefix, std::string* error) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/" + prefix + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) {  // mode 0700
        *error = ErrnoText(pattern, errno);
        return std::string();
    }
    return name.data();
}

bool KeepPrivate(const std::string& path, std::string* error) {
    if (chmod(path.c_str(), 0600) != 0) {
        *error = ErrnoText(path, errno);
        return false;
    }
    return true;
}

void RemoveFolderTree(const std::string& folder) {
    // Goes on past an entry it cannot remove: the rest still goes.
    nftw(
        folder.c_str(),
        [](const char* path, const struct stat*, int, FTW*) {
            std::remove(path);
            return 0;
        },
        16, FTW_DEPTH | FTW_PHYS);
}

}  // namespace marnel
