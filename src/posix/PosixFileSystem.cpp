#include "posix/PosixFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "posix/PosixFileErrorCauses.h"

namespace marnel {

namespace {

struct PosixFile {
    int fd;
    bool writing;
};

bool FailErrno(FileError* error, int errnoValue) {
    if (error != nullptr) {
        error->cause = FileErrorCauseFromErrno(errnoValue);
        error->osError = errnoValue;
    }
    return false;
}

PosixFile* AsFile(FileHandle file) {
    return static_cast<PosixFile*>(file);
}

// Takes the advisory lock of `lockKind` (LOCK_EX or LOCK_SH) that other
// users of this tool (and of flock) respect, or closes the file: one that
// another program holds is a sharing violation. The lock is waited for up
// to `waitMilliseconds` in short naps: a blocking flock could not be given
// up in time without a signal.
bool LockOrClose(int fd, int lockKind, unsigned waitMilliseconds, FileError* error) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(waitMilliseconds);
    while (flock(fd, lockKind | LOCK_NB) != 0) {
        const int saved = errno;
        const Clock::duration left = deadline - Clock::now();
        if ((saved != EWOULDBLOCK && saved != EINTR) || left <= Clock::duration::zero()) {
            close(fd);
            return FailErrno(error, saved);
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(left, std::chrono::milliseconds(10)));
    }
    return true;
}

// Reads or writes the whole `count` unless the file ends: a short count is
// not the end, and a call a signal broke is made again.
template <typename Io, typename Byte>
bool Transfer(Io io, int fd, Byte* bytes, DWORD count, DWORD* done, FileError* error) {
    *done = 0;
    while (*done < count) {
        const ssize_t moved = io(fd, bytes + *done, count - *done);
        if (moved < 0) {
            if (errno == EINTR) {
                continue;
            }
            return FailErrno(error, errno);
        }
        if (moved == 0) {
            break;
        }
        *done += static_cast<DWORD>(moved);
    }
    return true;
}

bool Wrap(int fd, bool writing, FileHandle* file) {
    *file = new PosixFile{fd, writing};
    return true;
}

// The folder part of a path, with its slash; empty for a bare name.
std::string FolderPart(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A missing folder is a bad path, as on Windows; only a missing file in an
// existing folder is "not found". The system's code stays ENOENT either way.
bool FailOpen(FileError* error, const std::string& path, int errnoValue) {
    FailErrno(error, errnoValue);
    if (errnoValue != ENOENT || error == nullptr) {
        return false;
    }
    const std::string folder = FolderPart(path);
    struct stat st {};
    if (stat(folder.empty() ? "." : folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        error->cause = FileErrorCause::kBadPath;
    }
    return false;
}

// The temporary files of saves in progress. A signal that would end the
// process removes them first, then ends it as it would have: a save cut
// short leaves nothing beside the file. Only a signal whose disposition is
// the default is taken over; one that a command holds stays held (its save
// then finishes or is undone as usual).
namespace temporaries {

constexpr int kEndingSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};
constexpr std::size_t kSignalCount = sizeof kEndingSignals / sizeof *kEndingSignals;
constexpr std::size_t kSlots = 4;  // saves open at once
constexpr std::size_t kLongestPath = 4096;

char g_paths[kSlots][kLongestPath];
volatile std::sig_atomic_t g_used[kSlots];  // changed only with the signals blocked
struct sigaction g_previous[kSignalCount];
bool g_installed[kSignalCount];

// Only async-signal-safe calls here.
void RemoveAndEnd(int signal) {
    for (std::size_t i = 0; i < kSlots; ++i) {
        if (g_used[i] != 0) {
            unlink(g_paths[i]);
        }
    }
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    raise(signal);  // delivered as the handler returns
}

// The ending signals blocked while the table changes.
class Blocked {
public:
    Blocked() {
        sigset_t set;
        sigemptyset(&set);
        for (int signal : kEndingSignals) {
            sigaddset(&set, signal);
        }
        sigprocmask(SIG_BLOCK, &set, &m_previous);
    }
    ~Blocked() { sigprocmask(SIG_SETMASK, &m_previous, nullptr); }

private:
    sigset_t m_previous;
};

void Install() {
    for (std::size_t i = 0; i < kSignalCount; ++i) {
        struct sigaction current {};
        if (g_installed[i] || sigaction(kEndingSignals[i], nullptr, &current) != 0 ||
            (current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler != SIG_DFL) {
            continue;
        }
        struct sigaction remove {};
        remove.sa_handler = RemoveAndEnd;
        sigemptyset(&remove.sa_mask);
        for (int signal : kEndingSignals) {
            sigaddset(&remove.sa_mask, signal);
        }
        g_installed[i] = sigaction(kEndingSignals[i], &remove, &g_previous[i]) == 0;
    }
}

void Uninstall() {
    for (std::size_t i = 0; i < kSignalCount; ++i) {
        struct sigaction current {};
        if (g_installed[i] && sigaction(kEndingSignals[i], nullptr, &current) == 0 &&
            current.sa_handler == RemoveAndEnd) {
            sigaction(kEndingSignals[i], &g_previous[i], nullptr);
        }
        g_installed[i] = false;
    }
}

// Records `path` as a temporary file to remove on a signal. The caller
// holds the signals blocked.
void Record(const char* path) {
    const std::size_t length = std::strlen(path);
    for (std::size_t i = 0; i < kSlots; ++i) {
        if (g_used[i] == 0 && length < kLongestPath) {
            std::memcpy(g_paths[i], path, length + 1);
            g_used[i] = 1;
            Install();
            return;
        }
    }
}

// `path` is no temporary file any more: renamed into place or removed.
void Forget(const std::string& path) {
    const Blocked blocked;
    bool any = false;
    for (std::size_t i = 0; i < kSlots; ++i) {
        if (g_used[i] != 0 && path == g_paths[i]) {
            g_used[i] = 0;
        }
        any = any || g_used[i] != 0;
    }
    if (!any) {
        Uninstall();
    }
}

}  // namespace temporaries

mode_t NewFileMode() {
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

namespace {

// Opens for reading under an advisory lock of `lockKind` (LOCK_EX or
// LOCK_SH), or none for LOCK_UN.
bool OpenForReading(const std::string& path, int lockKind, FileHandle* file, FileError* error) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return FailOpen(error, path, errno);
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        int saved = S_ISDIR(st.st_mode) ? EISDIR : errno;
        close(fd);
        return FailErrno(error, saved);
    }
    if (lockKind != LOCK_UN && !LockOrClose(fd, lockKind, 0, error)) {
        return false;
    }
    return Wrap(fd, false, file);
}

}  // namespace

bool PosixFileSystem::OpenRead(const std::string& path, FileHandle* file, FileError* error) {
    return OpenForReading(path, LOCK_EX, file, error);
}

bool PosixFileSystem::OpenReadShared(const std::string& path, FileHandle* file, FileError* error) {
    return OpenForReading(path, LOCK_SH, file, error);
}

bool PosixFileSystem::OpenReadBesideWriters(const std::string& path, FileHandle* file,
                                            FileError* error) {
    return OpenForReading(path, LOCK_UN, file, error);
}

bool PosixFileSystem::Create(const std::string& path, FileHandle* file, FileError* error) {
    // Truncate only once the lock is held, so a file in use is left alone.
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        return FailOpen(error, path, errno);
    }
    if (!LockOrClose(fd, LOCK_EX, 0, error)) {
        return false;
    }
    if (ftruncate(fd, 0) != 0) {
        int saved = errno;
        close(fd);
        return FailErrno(error, saved);
    }
    return Wrap(fd, true, file);
}

bool PosixFileSystem::CreateTemporaryBeside(const std::string& target, std::string* tempPath,
                                            FileHandle* file, FileError* error) {
    std::string pattern = FolderPart(target) + ".~mrnXXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = -1;
    int madeError = 0;
    {
        // No signal between the file's making and its record.
        const temporaries::Blocked blocked;
        fd = mkstemp(name.data());
        madeError = errno;
        if (fd >= 0) {
            temporaries::Record(name.data());
        }
    }
    if (fd < 0) {
        return FailOpen(error, target, madeError);
    }
    // mkstemp makes the file private; the saved file gets the target's
    // owner, group and mode, or the mode a plain create would give. Only a
    // privileged process may give a file away: otherwise it stays ours.
    struct stat st {};
    const bool hadTarget = stat(target.c_str(), &st) == 0;
    const mode_t mode = hadTarget ? (st.st_mode & 07777) : NewFileMode();
    if ((hadTarget && fchown(fd, st.st_uid, st.st_gid) != 0 && errno != EPERM) ||
        fchmod(fd, mode) != 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int saved = errno;
        close(fd);
        unlink(name.data());
        temporaries::Forget(name.data());
        return FailErrno(error, saved);
    }
    *tempPath = name.data();
    return Wrap(fd, true, file);
}

bool PosixFileSystem::InspectSaveTarget(const std::string& path, SaveTarget* target,
                                        FileError* error) {
    // Follow the links one by one: the last one may lead to nothing yet, and
    // the file is then made where it points.
    std::string at = path;
    struct stat st {};
    for (int hops = 0;; ++hops) {
        if (lstat(at.c_str(), &st) != 0) {
            *target = SaveTarget{at, false, false};
            return true;
        }
        if (!S_ISLNK(st.st_mode)) {
            break;
        }
        if (hops == 40) {  // the kernel's own limit
            return FailErrno(error, ELOOP);
        }
        char link[4096];
        const ssize_t length = readlink(at.c_str(), link, sizeof link);
        if (length < 0 || static_cast<std::size_t>(length) == sizeof link) {
            return FailErrno(error, length < 0 ? errno : ENAMETOOLONG);
        }
        const std::string next(link, static_cast<std::size_t>(length));
        at = next.compare(0, 1, "/") == 0 ? next : FolderPart(at) + next;
    }
    const bool special =
        S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) || S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode);
    const bool readOnly = S_ISREG(st.st_mode) && access(at.c_str(), W_OK) != 0 && errno == EACCES;
    *target = SaveTarget{at, special, readOnly};
    return true;
}

bool PosixFileSystem::OpenSpecialForWriting(const std::string& path, FileHandle* file,
                                            FileError* error) {
    // Non-blocking only for the open, which would otherwise wait for a
    // FIFO's reader; writes then wait as usual.
    int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return FailErrno(error, errno);
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        int saved = errno;
        close(fd);
        return FailErrno(error, saved);
    }
    return Wrap(fd, true, file);
}

bool PosixFileSystem::MakeFolders(const std::string& path, FileError* error) {
    for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string folder = path.substr(0, end);
        if (!folder.empty() && mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
            return FailErrno(error, errno);
        }
        if (end == std::string::npos) {
            break;
        }
    }
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return FailErrno(error, ENOTDIR);
    }
    return true;
}

bool PosixFileSystem::CreateNew(const std::string& path, FileHandle* file, bool* exists,
                                FileError* error) {
    *exists = false;
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        *exists = errno == EEXIST;
        return FailOpen(error, path, errno);
    }
    if (!LockOrClose(fd, LOCK_EX, 0, error)) {
        return false;
    }
    return Wrap(fd, true, file);
}

bool PosixFileSystem::OpenAppend(const std::string& path, unsigned waitMilliseconds,
                                 FileHandle* file, FileError* error) {
    int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        return FailOpen(error, path, errno);
    }
    if (!LockOrClose(fd, LOCK_EX, waitMilliseconds, error)) {
        return false;
    }
    return Wrap(fd, true, file);
}

bool PosixFileSystem::ListFiles(const std::string& folder, std::vector<std::string>* names,
                                FileError* error) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return FailOpen(error, folder, errno);
    }
    names->clear();
    while (const dirent* entry = readdir(dir)) {
        struct stat st {};
        const std::string name = entry->d_name;
        if (stat((folder + "/" + name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            names->push_back(name);
        }
    }
    closedir(dir);
    return true;
}

bool PosixFileSystem::GetPathKind(const std::string& path, PathKind* kind, FileError* error) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        if (errno != ENOENT && errno != ENOTDIR) {
            return FailErrno(error, errno);
        }
        *kind = errno == ENOENT ? PathKind::kNothing : PathKind::kOther;
        return true;
    }
    *kind = S_ISDIR(st.st_mode)   ? PathKind::kFolder
            : S_ISREG(st.st_mode) ? PathKind::kFile
                                  : PathKind::kOther;
    return true;
}

bool PosixFileSystem::Seek(FileHandle file, std::uint64_t offset, FileError* error) {
    if (lseek(AsFile(file)->fd, static_cast<off_t>(offset), SEEK_SET) < 0) {
        return FailErrno(error, errno);
    }
    return true;
}

bool PosixFileSystem::GetLength(FileHandle file, std::uint64_t* length, FileError* error) {
    struct stat st {};
    if (fstat(AsFile(file)->fd, &st) != 0) {
        return FailErrno(error, errno);
    }
    *length = static_cast<std::uint64_t>(st.st_size);
    return true;
}

bool PosixFileSystem::Read(FileHandle file, void* buffer, DWORD count, DWORD* bytesRead,
                           FileError* error) {
    return Transfer(::read, AsFile(file)->fd, static_cast<char*>(buffer), count, bytesRead, error);
}

bool PosixFileSystem::Write(FileHandle file, const void* data, DWORD count, DWORD* written,
                            FileError* error) {
    return Transfer(::write, AsFile(file)->fd, static_cast<const char*>(data), count, written,
                    error);
}

bool PosixFileSystem::Close(FileHandle file, FileError* error) {
    PosixFile* posixFile = AsFile(file);
    int fd = posixFile->fd;
    bool writing = posixFile->writing;
    delete posixFile;
    // A written file must be on the disk before it may replace another.
    int syncError = (writing && fsync(fd) != 0 && errno != EINVAL) ? errno : 0;
    int closeError = close(fd) != 0 ? errno : 0;
    if (syncError != 0) {
        return FailErrno(error, syncError);
    }
    if (closeError != 0 && closeError != EINTR) {
        return FailErrno(error, closeError);
    }
    return true;
}

bool PosixFileSystem::Replace(const std::string& source, const std::string& target,
                              FileError* error) {
    // A target that another program holds locked is not taken away from it.
    int fd = open(target.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        bool held = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        close(fd);
        if (held) {
            return FailErrno(error, EWOULDBLOCK);
        }
    }
    if (rename(source.c_str(), target.c_str()) != 0) {
        return FailErrno(error, errno);
    }
    temporaries::Forget(source);
    return true;
}

bool PosixFileSystem::Remove(const std::string& path, FileError* error) {
    const bool removed = unlink(path.c_str()) == 0;
    const int saved = errno;
    temporaries::Forget(path);
    return removed || FailErrno(error, saved);
}

}  // namespace marnel
