// The history: one JSON line for every command that changed or tried to
// change a device, appended to history.jsonl in the state folder and on the
// disk before the command returns.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace marnel {

class IEnvironment;
class IFileSystem;

struct HistoryEntry {
    std::string operation;  // "put-params", "self-test", "firmware"
    std::string printer;
    std::string serial;         // the unit's serial, when it has one: it names the unit
    std::string model;          // the device's model tag, when read
    std::string file;           // the input file, when there is one
    std::string sha256;         // of the input file
    std::string backup;         // the backup made before the change
    std::string backupSha256;   // of the backup, as saved
    std::string versionBefore;  // firmware versions, when read
    std::string versionAfter;
    std::string outcome;            // "succeeded", "failed", "refused", "interrupted"...
    std::optional<int> exitStatus;  // the tool's exit status
    bool simulated = false;         // the built-in simulated device
};

// How long a history line waits for other writers' lines: each holds the
// file for one line and its flush to the disk, so only a stalled disk or a
// program that keeps the file locked makes it run out.
constexpr unsigned kHistoryWaitMs = 10000;

class CHistory {
public:
    CHistory(IFileSystem& fileSystem, IEnvironment& environment)
        : m_fileSystem(fileSystem), m_environment(environment) {}

    // history.jsonl in the state folder; empty when there is no state folder.
    std::string Path();

    // Appends `entry` with the current UTC time, on the disk when it returns.
    // Another writer's line is waited for, up to kHistoryWaitMs; a reader
    // never holds it up. Returns the line as written, without its line end.
    // Raises CFileException.
    std::string Append(const HistoryEntry& entry);

private:
    IFileSystem& m_fileSystem;
    IEnvironment& m_environment;
};

// The text of the history at `path`, read without making a writer wait:
// the whole file, or its last whole lines within `lastBytes` (*skipped gets
// how many bytes were left out before them). Empty when there is no history
// yet; a last line a writer has not finished may be read in part. Raises
// CFileException.
std::string ReadHistoryText(IFileSystem& fileSystem, const std::string& path,
                            std::uint64_t lastBytes = UINT64_MAX,
                            std::uint64_t* skipped = nullptr);

// The length of the well-formed UTF-8 sequence at `at` (which must be inside
// `text`), or 0 when none starts there.
std::size_t Utf8SequenceAt(const std::string& text, std::size_t at);

// True when `text` is valid UTF-8 throughout.
bool IsUtf8(const std::string& text);

// `text` as a JSON string, quotes included. Bytes that are not UTF-8 are
// written as the code points of the same values, so any text gives valid JSON.
std::string JsonQuoted(const std::string& text);

}  // namespace marnel
