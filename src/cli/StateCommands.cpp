#include "cli/StateCommands.h"

#include <cctype>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "cli/ExitStatus.h"
#include "cli/FileErrorText.h"
#include "files/File.h"
#include "ops/BackupStore.h"
#include "ops/History.h"
#include "ops/StateFolder.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"

namespace marnel::cli {

namespace {

// The fields a history line may carry and the type each must have; a field
// of another type makes the line no record (a reader must not trip on it).
const struct {
    const char* name;
    nlohmann::json::value_t type;
} kHistoryFields[] = {
    {"time", nlohmann::json::value_t::string},
    {"operation", nlohmann::json::value_t::string},
    {"printer", nlohmann::json::value_t::string},
    {"serial", nlohmann::json::value_t::string},
    {"model", nlohmann::json::value_t::string},
    {"file", nlohmann::json::value_t::string},
    {"sha256", nlohmann::json::value_t::string},
    {"backup", nlohmann::json::value_t::string},
    {"backupSha256", nlohmann::json::value_t::string},
    {"versionBefore", nlohmann::json::value_t::string},
    {"versionAfter", nlohmann::json::value_t::string},
    {"outcome", nlohmann::json::value_t::string},
    {"exitStatus", nlohmann::json::value_t::number_integer},
    {"simulated", nlohmann::json::value_t::boolean},
};

// The first known field of `entry` whose type is wrong; empty when none is.
std::string WrongField(const nlohmann::json& entry) {
    for (const auto& field : kHistoryFields) {
        if (!entry.contains(field.name)) {
            continue;
        }
        const nlohmann::json& value = entry[field.name];
        const bool integer = field.type == nlohmann::json::value_t::number_integer &&
                             value.is_number_integer();
        if (value.type() != field.type && !integer) {
            return field.name;
        }
    }
    return std::string();
}

// The history writes a byte that is not UTF-8 as an escape of U+0080 to
// U+00FF, and never escapes a character of its own there: such an escape
// becomes the text "\xHH", so that the byte is shown, not a letter.
std::string WithBytesShown(const std::string& line) {
    auto hex = [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    };
    std::string shown;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '\\' || i + 1 >= line.size()) {
            shown += line[i];
            continue;
        }
        if (i + 5 < line.size() && line[i + 1] == 'u' && line[i + 2] == '0' &&
            line[i + 3] == '0' && hex(line[i + 4]) && hex(line[i + 5]) &&
            std::string("89abcdefABCDEF").find(line[i + 4]) != std::string::npos) {
            shown += "\\\\x";
            shown += static_cast<char>(std::tolower(static_cast<unsigned char>(line[i + 4])));
            shown += static_cast<char>(std::tolower(static_cast<unsigned char>(line[i + 5])));
            i += 5;
            continue;
        }
        shown += line[i];
        shown += line[++i];  // an escape stays whole: "\\u00e9" is no byte
    }
    return shown;
}

struct HistoryRecords {
    std::vector<nlohmann::json> entries;  // as recorded
    std::vector<nlohmann::json> shown;    // the same, bytes that are not UTF-8 as "\xHH"
};

// The records of the history's text, oldest first. A line cut short, or
// one that is no record, is skipped, with a warning on `warnings` if given.
HistoryRecords ParseHistory(const Console* warnings, const std::string& path,
                            const std::string& content) {
    HistoryRecords records;
    std::size_t start = 0;
    while (start < content.size()) {
        const std::size_t end = content.find('\n', start);
        const bool torn = end == std::string::npos;
        const std::string line = content.substr(start, torn ? std::string::npos : end - start);
        start = torn ? content.size() : end + 1;
        nlohmann::json entry = nlohmann::json::parse(line, nullptr, false);
        if (torn || entry.is_discarded() || !entry.is_object()) {
            // A line cut short, by a crash mid-write say, is no record.
            if (warnings != nullptr) {
                warnings->Warning("a line of " + PrintableLine(path) +
                                  " is incomplete and was skipped");
            }
            continue;
        }
        const std::string wrong = WrongField(entry);
        if (!wrong.empty()) {
            if (warnings != nullptr) {
                warnings->Warning("a line of " + PrintableLine(path) + " has a \"" + wrong +
                                  "\" of the wrong type and was skipped");
            }
            continue;
        }
        nlohmann::json shown = nlohmann::json::parse(WithBytesShown(line), nullptr, false);
        records.shown.push_back(shown.is_object() ? shown : entry);
        records.entries.push_back(entry);
    }
    return records;
}

// The history's records (none when there is no state folder yet), or false
// after saying why they cannot be read, with the exit status.
bool ReadHistory(const Console& console, IFileSystem& files, IEnvironment& environment,
                 HistoryRecords* records, int* status) {
    bool absent = false;
    if (const auto problem = CheckStateFolderForReading(files, environment, "", &absent)) {
        *status = SayStateFolderProblem(console, environment, *problem);
        return false;
    }
    if (absent) {
        return true;
    }
    const std::string path = CHistory(files, environment).Path();
    try {
        *records = ParseHistory(&console, path, ReadHistoryText(files, path));
    } catch (const CFileException& error) {
        console.FileFailure(error);
        *status = kExitUsage;
        return false;
    }
    return true;
}

std::string Shown(const nlohmann::json& entry, const char* field) {
    return entry.contains(field) ? PrintableLine(entry[field].get<std::string>()) : std::string();
}

// Every digest the history recorded for a file: a backup's own, and that of
// a file sent, which a backup sent back is.
std::map<std::string, std::set<std::string>> RecordedDigests(const HistoryRecords& records) {
    std::map<std::string, std::set<std::string>> digests;
    for (const nlohmann::json& entry : records.entries) {
        if (entry.contains("backup") && entry.contains("backupSha256")) {
            digests[entry["backup"].get<std::string>()].insert(
                entry["backupSha256"].get<std::string>());
        }
        if (entry.contains("file") && entry.contains("sha256")) {
            digests[entry["file"].get<std::string>()].insert(entry["sha256"].get<std::string>());
        }
    }
    return digests;
}

// Why a backup is not offered for a restore.
std::string DamageOf(const BackupFile& backup) {
    switch (backup.state) {
        case BackupFile::State::kWrongSize:
            return Counted(backup.length, "byte") + " where a backup holds " +
                   std::to_string(kParameterBlockSize) + ": it was cut short";
        case BackupFile::State::kDigestDiffers:
            return "its SHA-256 is not the one the history recorded: it changed since it was "
                   "made";
        case BackupFile::State::kUnreadable:
            return "it cannot be read: " + DescribeFileError(*backup.error).Said();
        case BackupFile::State::kComplete:
            break;
    }
    return std::string();
}

}  // namespace

namespace {

std::string StateFolderProblemText(IEnvironment& environment, const StateFolderProblem& problem) {
    // Naming the variable tells a folder the user chose from the default.
    const bool chosen = !environment.Variable("MARNEL_STATE_DIR").empty() &&
                        problem.path == StateFolder(environment);
    const std::string where = chosen ? " (MARNEL_STATE_DIR)" : "";
    switch (problem.kind) {
        case StateFolderProblem::Kind::kUnknown:
            return "no state folder is known for the backups and the history: set "
                   "MARNEL_STATE_DIR, or HOME";
        case StateFolderProblem::Kind::kNotAFolder:
            return "the state folder cannot be used: " + PrintableLine(problem.path) + where +
                   " is not a folder";
        case StateFolderProblem::Kind::kFileError:
            break;
    }
    return "the state folder cannot be used: " + DescribeFileError(*problem.error).Said();
}

}  // namespace

int SayStateFolderProblem(const Console& console, IEnvironment& environment,
                          const StateFolderProblem& problem) {
    console.Failure("marnel: " + StateFolderProblemText(environment, problem));
    return kExitUsage;
}

MachineCheck StateFolderCheck(IFileSystem& files, IEnvironment& environment) {
    const std::optional<StateFolderProblem> problem = CheckStateFolder(files, environment);
    if (!problem) {
        return {"state-folder", CheckStatus::kOk,
                "backups and the history can be kept in " + StateFolder(environment), ""};
    }
    return {"state-folder", CheckStatus::kFail, StateFolderProblemText(environment, *problem),
            "Set MARNEL_STATE_DIR to a folder you can write to, or fix the one named"};
}

int ShowHistory(const Console& console, IFileSystem& files, IEnvironment& environment) {
    HistoryRecords records;
    int status = kExitSuccess;
    if (!ReadHistory(console, files, environment, &records, &status)) {
        return status;
    }
    if (console.json) {
        console.Result({{"ok", true}, {"entries", records.entries}});
        return kExitSuccess;
    }
    if (records.shown.empty()) {
        console.out << "No changes to a device recorded yet.\n";
    }
    for (const nlohmann::json& entry : records.shown) {
        console.out << Shown(entry, "time") << "  " << Shown(entry, "operation") << "  "
                    << Shown(entry, "printer") << "  " << Shown(entry, "outcome");
        if (entry.value("simulated", false)) {
            console.out << " (simulated)";
        }
        console.out << '\n';
        for (const char* field : {"serial", "file", "backup", "versionBefore", "versionAfter"}) {
            if (entry.contains(field)) {
                console.out << "    " << field << ": " << Shown(entry, field) << '\n';
            }
        }
    }
    return kExitSuccess;
}

std::vector<nlohmann::json> HistoryForReport(const Console& console, IFileSystem& files,
                                             IEnvironment& environment) {
    bool absent = false;
    if (const auto problem = CheckStateFolderForReading(files, environment, "", &absent)) {
        console.Warning(StateFolderProblemText(environment, *problem));
        return {};
    }
    if (absent) {
        return {};
    }
    const std::string path = CHistory(files, environment).Path();
    try {
        return ParseHistory(&console, path, ReadHistoryText(files, path)).entries;
    } catch (const CFileException& error) {
        console.Warning("the history could not be read: " + DescribeFileError(error).Said());
    }
    return {};
}

int ListBackups(const Console& console, IFileSystem& files, IEnvironment& environment,
                IHashing* hashing) {
    bool absent = false;
    if (const auto problem = CheckStateFolderForReading(files, environment, "backups", &absent)) {
        return SayStateFolderProblem(console, environment, *problem);
    }
    std::vector<BackupFile> found;
    if (!absent) {
        HistoryRecords records;
        const std::string history = CHistory(files, environment).Path();
        try {
            records = ParseHistory(nullptr, history, ReadHistoryText(files, history));
        } catch (const CFileException& error) {
            // The sizes still tell a backup cut short.
            console.Warning("the history could not be read to check the backups' digests: " +
                            DescribeFileError(error).Said());
        }
        try {
            found = ListBackupFiles(files, environment, hashing, RecordedDigests(records));
        } catch (const CFileException& error) {
            console.FileFailure(error);
            return kExitUsage;
        }
    }
    nlohmann::json paths = nlohmann::json::array();
    nlohmann::json damaged = nlohmann::json::array();
    for (const BackupFile& backup : found) {
        if (backup.state == BackupFile::State::kComplete) {
            paths.push_back(backup.path);
            continue;
        }
        damaged.push_back({{"path", backup.path}, {"problem", DamageOf(backup)}});
        if (!console.json) {
            console.Warning(PrintableLine(backup.path) + " is damaged and not listed: " +
                            DamageOf(backup));
        }
    }
    if (console.json) {
        nlohmann::json result{{"ok", true}, {"backups", paths}};
        if (!damaged.empty()) {
            result["damaged"] = damaged;
        }
        console.Result(result);
    } else if (paths.empty()) {
        console.out << "No backups yet.\n";
    } else {
        for (const auto& backup : paths) {
            console.out << PrintableLine(backup.get<std::string>()) << '\n';
        }
    }
    return kExitSuccess;
}

}  // namespace marnel::cli
