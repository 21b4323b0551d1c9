#include "cli/StateCommands.h"

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "cli/ExitStatus.h"
#include "files/File.h"
#include "ops/History.h"
#include "ops/StateFolder.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"

namespace marnel::cli {

namespace {

// The whole file, or false when there is none yet.
bool ReadWhole(IFileSystem& files, const std::string& path, std::string* content) {
    CFile file(files);
    try {
        file.OpenRead(path);
    } catch (const CFileException& error) {
        if (error.m_cause == FileErrorCause::kFileNotFound ||
            error.m_cause == FileErrorCause::kBadPath) {
            return false;
        }
        throw;
    }
    char buffer[65536];
    for (DWORD got; (got = file.Read(buffer, sizeof buffer)) > 0;) {
        content->append(buffer, got);
    }
    file.Close();
    return true;
}

}  // namespace

int ShowHistory(const Console& console, IFileSystem& files, IEnvironment& environment) {
    const std::string path = CHistory(files, environment).Path();
    std::string content;
    try {
        if (path.empty() || !ReadWhole(files, path, &content)) {
            content.clear();
        }
    } catch (const CFileException& error) {
        console.FileFailure(error);
        return kExitUsage;
    }
    nlohmann::json entries = nlohmann::json::array();
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        const bool torn = end == std::string::npos;
        const std::string line = content.substr(start, torn ? std::string::npos : end - start);
        start = torn ? content.size() : end + 1;
        nlohmann::json entry = nlohmann::json::parse(line, nullptr, false);
        if (torn || entry.is_discarded() || !entry.is_object()) {
            // A line cut short, by a crash mid-write say, is no record.
            console.Warning("a line of " + path + " is incomplete and was skipped");
            continue;
        }
        entries.push_back(entry);
    }
    if (console.json) {
        console.Result({{"ok", true}, {"entries", entries}});
        return kExitSuccess;
    }
    if (entries.empty()) {
        console.out << "No changes to a device recorded yet.\n";
    }
    for (const nlohmann::json& entry : entries) {
        console.out << entry.value("time", "") << "  " << entry.value("operation", "") << "  "
                    << entry.value("printer", "") << "  " << entry.value("outcome", "");
        if (entry.value("simulated", false)) {
            console.out << " (simulated)";
        }
        console.out << '\n';
        for (const char* field : {"serial", "file", "backup", "versionBefore", "versionAfter"}) {
            if (entry.contains(field)) {
                console.out << "    " << field << ": " << entry[field].get<std::string>() << '\n';
            }
        }
    }
    return kExitSuccess;
}

int ListBackups(const Console& console, IFileSystem& files, IEnvironment& environment) {
    const std::string state = StateFolder(environment);
    const std::string folder = state + environment.PathSeparator() + "backups";
    std::vector<std::string> names;
    FileError error;
    if (!state.empty() && !files.ListFiles(folder, &names, &error) &&
        error.cause != FileErrorCause::kFileNotFound && error.cause != FileErrorCause::kBadPath) {
        console.FileFailure(CFileException(error.cause, folder, error.osError));
        return kExitUsage;
    }
    // By name without the extension, so a second backup of the same second
    // ("...Z-2.prm") follows the first ("...Z.prm").
    auto stem = [](const std::string& name) { return name.substr(0, name.rfind('.')); };
    std::sort(names.begin(), names.end(),
              [&](const std::string& a, const std::string& b) { return stem(a) < stem(b); });
    nlohmann::json paths = nlohmann::json::array();
    for (const std::string& name : names) {
        paths.push_back(folder + environment.PathSeparator() + name);
    }
    if (console.json) {
        console.Result({{"ok", true}, {"backups", paths}});
    } else if (paths.empty()) {
        console.out << "No backups yet.\n";
    } else {
        for (const auto& backup : paths) {
            console.out << backup.get<std::string>() << '\n';
        }
    }
    return kExitSuccess;
}

}  // namespace marnel::cli
