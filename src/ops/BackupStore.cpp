#include "ops/BackupStore.h"


#include "files/File.h"
#include "ops/StateFolder.h"
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

}  // namespace

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
    const std::string stem = folder + separator +
                             FileNamePart(DescribeParameterBlock(block).modelTag) + "_" +
                             FileNamePart(deviceName) + "_" +
                             (serial.empty() ? std::string() : FileNamePart(serial) + "_") +
                             UtcTimestamp(m_environment.UtcSeconds(), true);
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
        m_strLastSaved = path;
        return path;
    }
}

}  // namespace marnel
