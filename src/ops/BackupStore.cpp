#include "ops/BackupStore.h"

#include <algorithm>

#include "files/File.h"
#include "files/Sha256.h"
#include "ops/StateFolder.h"
#include "platform/Environment.h"
#include "platform/Hashing.h"

namespace marnel {

namespace {

constexpr const char* kBackupExtension = ".prm";

// Room left in a name for a second backup's count ("-100" at most) and
// the extension.
constexpr std::size_t kSuffixRoom = 4 + 4;

// Strips what Windows drops from the end of a name: trailing dots (and the
// dashes that stand for blanks look no better there).
std::string Trimmed(std::string part) {
    while (!part.empty() && (part.back() == '-' || part.back() == '.')) {
        part.pop_back();
    }
    return part.empty() ? std::string("unknown") : part;
}

// The name without the folder, extension and count, and the count (1 for
// the first backup of a second): "..._20261207T120000Z-2.prm" -> 2.
std::pair<std::string, unsigned long> NameAndCount(const std::string& name) {
    std::string stem = name.substr(0, name.size() - std::string(kBackupExtension).size());
    const std::size_t dash = stem.rfind('-');
    if (dash != std::string::npos && dash + 1 < stem.size() && dash > 0 && stem[dash - 1] == 'Z' &&
        stem.find_first_not_of("0123456789", dash + 1) == std::string::npos &&
        stem.size() - dash <= 10) {
        return {stem.substr(0, dash), std::stoul(stem.substr(dash + 1))};
    }
    return {stem, 1};
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

std::string FileNamePart(const std::string& text) {
    std::string part;
    for (char c : text) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.';
        part += plain ? c : '-';
    }
    return Trimmed(part);
}

std::string CBackupStore::Save(const std::string& deviceName, const std::string& serial,
                               const ParameterBlockBytes& block) {
    const std::string state = StateFolder(m_environment);
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
    const std::string model = FileNamePart(DescribeParameterBlock(block).modelTag) + "_";
    const std::string unit = serial.empty() ? std::string() : FileNamePart(serial) + "_";
    const std::string time = UtcTimestamp(m_environment.UtcSeconds(), true);
    // The printer's name gives way, so that model, serial and time all fit.
    const std::size_t fixed = model.size() + 1 + unit.size() + time.size() + kSuffixRoom;
    std::string printer = FileNamePart(deviceName);
    if (fixed + printer.size() > kLongestFileName) {
        printer =
            Trimmed(printer.substr(0, fixed < kLongestFileName ? kLongestFileName - fixed : 1));
    }
    const std::string stem = folder + separator + model + printer + "_" + unit + time;
    // Two backups in one second get -2, -3...: none replaces another.
    for (int attempt = 1;; ++attempt) {
        const std::string path = stem +
                                 (attempt == 1 ? std::string() : "-" + std::to_string(attempt)) +
                                 kBackupExtension;
        CFile file(m_fileSystem);
        if (!file.CreateNew(path)) {
            if (attempt < 100) {
                continue;
            }
            throw CFileException(FileErrorCause::kAccessDenied, path);
        }
        try {
            file.Write(block.data(), static_cast<DWORD>(block.size()));
            file.Close();
        } catch (const CFileException&) {
            // A backup cut short (a full disk) would pass for one.
            file.Abort();
            FileError ignored;
            m_fileSystem.Remove(path, &ignored);
            throw;
        }
        m_strLastSaved = path;
        return path;
    }
}

std::string BackupDigest(IFileSystem& fileSystem, IHashing& hashing, const std::string& path) {
    try {
        CFile file(fileSystem);
        file.OpenReadShared(path);
        std::unique_ptr<IDigest> digest = hashing.NewSha256();
        char buffer[4096];
        for (DWORD got; (got = file.Read(buffer, sizeof buffer)) > 0;) {
            digest->Update(buffer, got);
        }
        file.Close();
        return FinishSha256(*digest);
    } catch (const CFileException&) {
        return std::string();
    }
}

std::vector<BackupFile> ListBackupFiles(
    IFileSystem& fileSystem, IEnvironment& environment, IHashing* hashing,
    const std::map<std::string, std::set<std::string>>& recordedDigests) {
    const std::string state = StateFolder(environment);
    const std::string folder = state + environment.PathSeparator() + "backups";
    std::vector<std::string> names;
    FileError error;
    if (state.empty() || !fileSystem.ListFiles(folder, &names, &error)) {
        if (state.empty() || error.cause == FileErrorCause::kFileNotFound) {
            return {};
        }
        throw CFileException(
            error.cause == FileErrorCause::kNone ? FileErrorCause::kGeneric : error.cause, folder,
            error.osError);
    }
    names.erase(
        std::remove_if(names.begin(), names.end(),
                       [](const std::string& name) { return !EndsWith(name, kBackupExtension); }),
        names.end());
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return NameAndCount(a) < NameAndCount(b);
    });
    std::vector<BackupFile> backups;
    for (const std::string& name : names) {
        BackupFile backup;
        backup.path = folder + environment.PathSeparator() + name;
        try {
            CFile file(fileSystem);
            file.OpenReadShared(backup.path);
            backup.length = file.GetLength();
            file.Close();
        } catch (const CFileException& e) {
            backup.state = BackupFile::State::kUnreadable;
            backup.error = e;
        }
        if (backup.state == BackupFile::State::kComplete && backup.length != kParameterBlockSize) {
            backup.state = BackupFile::State::kWrongSize;
        }
        const auto recorded = recordedDigests.find(backup.path);
        if (backup.state == BackupFile::State::kComplete && hashing != nullptr &&
            recorded != recordedDigests.end() &&
            recorded->second.count(BackupDigest(fileSystem, *hashing, backup.path)) == 0) {
            backup.state = BackupFile::State::kDigestDiffers;
        }
        backups.push_back(backup);
    }
    return backups;
}

}  // namespace marnel
