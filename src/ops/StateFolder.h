// Where Marnel keeps what outlives a command (backups, the history), whether
// it can keep them there, and the UTC time stamps that name and date them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "files/FileException.h"

namespace marnel {

class IEnvironment;
class IFileSystem;

// MARNEL_STATE_DIR, or the platform's folder for an application's state,
// as an absolute path (a relative MARNEL_STATE_DIR is taken from the current
// folder, so that what is recorded still names it from elsewhere); empty
// when neither gives one.
std::string StateFolder(IEnvironment& environment);

// Why the state folder cannot be used.
struct StateFolderProblem {
    enum class Kind {
        kUnknown,     // no state folder is known (no MARNEL_STATE_DIR, no home)
        kNotAFolder,  // `path` names a file or something else, not a folder
        kFileError,   // `error` says what failed at `path`
    };
    Kind kind = Kind::kUnknown;
    std::string path;
    std::optional<CFileException> error;
};

// Before a command changes a unit: makes the state folder and its backups/
// when missing, and proves that a backup can be made there and a history
// line appended. Nothing when they can; nothing is left behind either way.
std::optional<StateFolderProblem> CheckStateFolder(IFileSystem& fileSystem,
                                                   IEnvironment& environment);

// For a command that only reads what was kept: whether `below` in the state
// folder ("" for the folder itself, "backups") can be read. Nothing when it
// can, or when it does not exist yet (*absent is then set): nothing was
// kept there.
std::optional<StateFolderProblem> CheckStateFolderForReading(IFileSystem& fileSystem,
                                                             IEnvironment& environment,
                                                             const std::string& below,
                                                             bool* absent);

// `seconds` since 1970 as UTC: "2026-12-07T12:00:00Z", or compact for a file
// name, "20261207T120000Z".
std::string UtcTimestamp(std::int64_t seconds, bool compact);

// The seconds since 1970 of a stamp UtcTimestamp wrote (not compact);
// nothing for any other text.
std::optional<std::int64_t> ParseUtcTimestamp(const std::string& stamp);

}  // namespace marnel
