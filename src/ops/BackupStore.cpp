#include "ops/BackupStore.h"

#include <cstdint>
#include <cstdio>

#include "files/File.h"
#include "platform/Environment.h"

namespace marnel {

namespace {

// A name part that is safe in a file name on every platform.
std::string FileNamePart(const std::string& text) {
    std::string part;
    for (char c : text) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.';
        part += plain ? c : '-';
    }
    while (!part.empty() && (part.back() == '-' || part.back() == '.')) {
        part.pop_back();  // Windows drops trailing dots and spaces
    }
    return part.empty() ? std::string("unknown") : part;
}

// "20261207T120000Z": the civil date of a day count, by the proleptic
// Gregorian rules, so that no C library's time zone is involved.
std::string UtcStamp(std::int64_t seconds) {
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
    std::snprintf(stamp, sizeof stamp, "%04lld%02lld%02lldT%02lld%02lld%02lldZ",
                  static_cast<long long>(year), static_cast<long long>(month),
                  static_cast<long long>(day), static_cast<long long>(secondOfDay / 3600),
                  static_cast<long long>(secondOfDay / 60 % 60),
                  static_cast<long long>(secondOfDay % 60));
    return stamp;
}

}  // namespace

std::string CBackupStore::StateFolder() {
    const std::string chosen = m_environment.Variable("MARNEL_STATE_DIR");
    return chosen.empty() ? m_environment.DefaultStateFolder() : chosen;
}

std::string CBackupStore::Save(const std::string& deviceName, const ParameterBlockBytes& block) {
    const std::string state = StateFolder();
    const char separator = m_environment.PathSeparator();
    const std::string folder = state + separator + "backups";
    if (state.empty()) {
        throw CFileException(FileErrorCause::kBadPath, "backups");
    }
    FileError error;
    if (!m_fileSystem.MakeFolders(folder, &error)) {
        throw CFileException(
            error.cause == FileErrorCause::kNone ? FileErrorCause::kGeneric : error.cause, folder,
            error.osError);
    }
    const std::string stem = folder + separator +
                             FileNamePart(DescribeParameterBlock(block).modelTag) + "_" +
                             FileNamePart(deviceName) + "_" + UtcStamp(m_environment.UtcSeconds());
    // Two backups in one second get -2, -3...: none replaces another.
    for (int attempt = 1;; ++attempt) {
        const std::string path =
            stem + (attempt == 1 ? std::string() : "-" + std::to_string(attempt)) + ".prm";
        CFile file(m_fileSystem);
        if (!file.CreateNew(path)) {
            if (attempt < 100) {
                continue;
            }
            throw CFileException(FileErrorCause::kAccessDenied, path);
        }
        file.Write(block.data(), static_cast<DWORD>(block.size()));
        file.Close();
        return path;
    }
}

}  // namespace marnel
