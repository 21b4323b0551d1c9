// The backup store: every parameter block Marnel is about to overwrite on a
// device is first saved here, one file per backup, never overwritten, in
// backups/ below the state folder (MARNEL_STATE_DIR, or the platform's
// folder for an application's state).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "files/FileException.h"
#include "protocol/ParameterBlock.h"

namespace marnel {

class IEnvironment;
class IFileSystem;
class IHashing;

// The longest file name the file systems take.
constexpr std::size_t kLongestFileName = 255;

class CBackupStore {
public:
    CBackupStore(IFileSystem& fileSystem, IEnvironment& environment)
        : m_fileSystem(fileSystem), m_environment(environment) {}

    // Saves `block`, read from the unit `deviceName` names, as a new file
    // named from its model tag, the printer, the unit's serial (when it has
    // one) and the UTC time ("KQ-10_Zarvel-KQ-10_KQ10SN0001_20261207T120000Z.prm"),
    // and returns its path. The printer part is shortened so that the name
    // fits in kLongestFileName bytes. A file error raises CFileException and
    // leaves no file behind; an existing file is never touched.
    std::string Save(const std::string& deviceName, const std::string& serial,
                     const ParameterBlockBytes& block);

    // The path the last Save returned; empty before one succeeded.
    const std::string& LastSaved() const { return m_strLastSaved; }

private:
    std::string m_strLastSaved;
    IFileSystem& m_fileSystem;
    IEnvironment& m_environment;
};

// `text` as a part of a file name that is safe on every platform: what is
// not a letter, digit, '-' or '.' becomes '-', and what Windows drops from a
// name's end goes ("unknown" when nothing is left).
std::string FileNamePart(const std::string& text);

// The SHA-256 of the backup at `path` as the history records it; empty when
// it cannot be read or hashed.
std::string BackupDigest(IFileSystem& fileSystem, IHashing& hashing, const std::string& path);

// One file of the backup store, as found.
struct BackupFile {
    enum class State {
        kComplete,       // a whole block, as recorded where a digest was
        kWrongSize,      // not kParameterBlockSize bytes (`length`): cut short
        kDigestDiffers,  // its SHA-256 is none of those recorded for it
        kUnreadable,     // it cannot be read (`error`)
    };
    std::string path;
    State state = State::kComplete;
    std::uint64_t length = 0;
    std::optional<CFileException> error;  // for kUnreadable
};

// The .prm files of the backup store in the order they were made for each
// printer (by name, a second backup of one second "-2" before "-10"), each
// judged: its length, and its digest against `recordedDigests` (per path,
// every SHA-256 the history recorded for that file) when `hashing` is given.
// A missing folder has none. Raises CFileException when the folder cannot
// be listed.
std::vector<BackupFile> ListBackupFiles(
    IFileSystem& fileSystem, IEnvironment& environment, IHashing* hashing,
    const std::map<std::string, std::set<std::string>>& recordedDigests);

}  // namespace marnel
