#include "ops/StateFolder.h"

#include <cstdio>

#include "ops/History.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"

namespace marnel {

std::string StateFolder(IEnvironment& environment) {
    const std::string chosen = environment.Variable("MARNEL_STATE_DIR");
    return environment.AbsolutePath(chosen.empty() ? environment.DefaultStateFolder() : chosen);
}

namespace {

StateFolderProblem FileProblem(const std::string& path, const FileError& error) {
    const FileErrorCause cause =
        error.cause == FileErrorCause::kNone ? FileErrorCause::kGeneric : error.cause;
    return {StateFolderProblem::Kind::kFileError, path, CFileException(cause, path, error.osError)};
}

// A folder at `path`, or nothing there; anything else is a problem.
std::optional<StateFolderProblem> CheckKind(IFileSystem& fileSystem, const std::string& path,
                                            bool* absent) {
    PathKind kind = PathKind::kNothing;
    FileError error;
    if (!fileSystem.GetPathKind(path, &kind, &error)) {
        return FileProblem(path, error);
    }
    if (kind != PathKind::kNothing && kind != PathKind::kFolder) {
        return StateFolderProblem{StateFolderProblem::Kind::kNotAFolder, path, std::nullopt};
    }
    *absent = kind == PathKind::kNothing;
    return std::nullopt;
}

// Makes a file beside `target` and removes it again.
std::optional<StateFolderProblem> ProveWritable(IFileSystem& fileSystem,
                                                const std::string& target) {
    std::string probe;
    FileHandle handle = nullptr;
    FileError error;
    if (!fileSystem.CreateTemporaryBeside(target, &probe, &handle, &error)) {
        return FileProblem(target, error);
    }
    const bool closed = fileSystem.Close(handle, &error);
    FileError removeError;
    const bool removed = fileSystem.Remove(probe, &removeError);
    if (!closed || !removed) {
        return FileProblem(target, closed ? removeError : error);
    }
    return std::nullopt;
}

}  // namespace

std::optional<StateFolderProblem> CheckStateFolder(IFileSystem& fileSystem,
                                                   IEnvironment& environment) {
    const std::string state = StateFolder(environment);
    if (state.empty()) {
        return StateFolderProblem{};
    }
    const char separator = environment.PathSeparator();
    const std::string backups = state + separator + "backups";
    for (const std::string& folder : {state, backups}) {
        bool absent = false;
        if (auto problem = CheckKind(fileSystem, folder, &absent)) {
            return problem;
        }
        FileError error;
        if (!fileSystem.MakeFolders(folder, &error)) {
            return FileProblem(folder, error);
        }
    }
    if (auto problem = ProveWritable(fileSystem, backups + separator + "backup.prm")) {
        return problem;
    }
    // The history itself: it may be a file this user cannot write.
    const std::string history = state + separator + "history.jsonl";
    FileHandle handle = nullptr;
    FileError error;
    if (!fileSystem.OpenAppend(history, kHistoryWaitMs, &handle, &error)) {
        return FileProblem(history, error);
    }
    if (!fileSystem.Close(handle, &error)) {
        return FileProblem(history, error);
    }
    return std::nullopt;
}

std::optional<StateFolderProblem> CheckStateFolderForReading(IFileSystem& fileSystem,
                                                             IEnvironment& environment,
                                                             const std::string& below,
                                                             bool* absent) {
    *absent = false;
    const std::string state = StateFolder(environment);
    if (state.empty()) {
        return StateFolderProblem{};
    }
    if (auto problem = CheckKind(fileSystem, state, absent)) {
        return problem;
    }
    if (*absent || below.empty()) {
        return std::nullopt;
    }
    return CheckKind(fileSystem, state + environment.PathSeparator() + below, absent);
}

std::string UtcTimestamp(std::int64_t seconds, bool compact) {
    // The civil date of a day count, by the proleptic Gregorian rules, so
    // that no C library's time zone is involved.
    const std::int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
    const std::int64_t secondOfDay = seconds - days * 86400;
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t dayOfEra = z - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    const std::int64_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const std::int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    char stamp[128];
    std::snprintf(stamp, sizeof stamp,
                  compact ? "%04lld%02lld%02lldT%02lld%02lld%02lldZ"
                          : "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ",
                  static_cast<long long>(year), static_cast<long long>(month),
                  static_cast<long long>(day), static_cast<long long>(secondOfDay / 3600),
                  static_cast<long long>(secondOfDay / 60 % 60),
                  static_cast<long long>(secondOfDay % 60));
    return stamp;
}

std::optional<std::int64_t> ParseUtcTimestamp(const std::string& stamp) {
    static const char kShape[] = "0000-00-00T00:00:00Z";
    if (stamp.size() != sizeof kShape - 1) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < stamp.size(); ++i) {
        const bool digit = stamp[i] >= '0' && stamp[i] <= '9';
        if (kShape[i] == '0' ? !digit : stamp[i] != kShape[i]) {
            return std::nullopt;
        }
    }
    auto number = [&stamp](std::size_t at, std::size_t length) {
        return static_cast<std::int64_t>(std::stoi(stamp.substr(at, length)));
    };
    const std::int64_t month = number(5, 2);
    const std::int64_t day = number(8, 2);
    if (number(0, 4) < 1970 || month < 1 || month > 12 || day < 1 || day > 31 ||
        number(11, 2) > 23 || number(14, 2) > 59 || number(17, 2) > 60) {
        return std::nullopt;
    }
    // The day count of a civil date, UtcTimestamp's rule turned round.
    const std::int64_t year = number(0, 4) - (month <= 2 ? 1 : 0);
    const std::int64_t era = year / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const std::int64_t days = era * 146097 + dayOfEra - 719468;
    return days * 86400 + number(11, 2) * 3600 + number(14, 2) * 60 + number(17, 2);
}

}  // namespace marnel
