// An in-memory file system for the command tests: files by path, opened
// without sharing as the real back ends do, with fault injection for every
// failure the commands must report.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace marnel {

class MemoryFileSystem : public IFileSystem {
public:
    // Faults of one path. Unset members change nothing.
    struct Faults {
        std::optional<FileErrorCause> openFails;  // OpenRead, Create and temporary files beside it
        std::optional<FileErrorCause> lengthFails;  // GetLength
        std::optional<std::uint64_t>
            readErrorAfter;  // a read that would pass this offset fails (hardware I/O)
        std::optional<std::uint64_t>
            readEndsAt;  // reads deliver nothing past this offset although the length is larger
        std::optional<DWORD> readChunk;  // each read delivers at most this many bytes
        std::optional<std::uint64_t>
            writeErrorAfter;  // a write that would pass this offset fails (disk full)
        std::optional<std::uint64_t> shortWriteAt;  // a write that passes this offset stores only
                                                    // up to it, reporting success
        bool closeFails = false;                    // closing a written file fails (hardware I/O)
        bool replaceFails = false;  // putting a temporary file in this place fails (access denied)
        bool heldByOtherProgram = false;  // opening it is a sharing violation
        // What the path is, beyond a plain file:
        bool readOnly = false;  // this user may not write it
        bool special = false;   // a device or FIFO: written in place
        std::optional<std::string> linkTo;  // a symbolic link to this path
    };

    // A file of `length` bytes whose content is computed from the offset, so
    // that large files cost no memory. PatternBytes gives the content.
    void AddGeneratedFile(const std::string& path, std::uint64_t length);
    static std::uint8_t PatternByte(std::uint64_t offset);
    static void PatternBytes(std::uint64_t offset, std::uint8_t* out, std::size_t count);

    void SetFile(const std::string& path, std::vector<std::uint8_t> content);
    bool Exists(const std::string& path) const;
    // The stored content; empty when the file does not exist.
    std::vector<std::uint8_t> Content(const std::string& path) const;
    void RemoveFile(const std::string& path);

    Faults& FaultsFor(const std::string& path) { return m_faults[path]; }

    // Handles open now, and every path opened or created so far in order.
    std::size_t OpenHandleCount() const { return m_open.size(); }
    const std::vector<std::string>& OpenedPaths() const { return m_openedPaths; }
    // Paths of every file that exists, the temporaries included.
    std::vector<std::string> Paths() const;

    bool OpenRead(const std::string& path, FileHandle* file, FileError* error) override;
    bool OpenReadShared(const std::string& path, FileHandle* file, FileError* error) override;
    bool OpenReadBesideWriters(const std::string& path, FileHandle* file,
                               FileError* error) override;
    bool Create(const std::string& path, FileHandle* file, FileError* error) override;
    bool CreateTemporaryBeside(const std::string& target, std::string* tempPath, FileHandle* file,
                               FileError* error) override;
    bool InspectSaveTarget(const std::string& path, SaveTarget* target,
                           FileError* error) override;
    bool OpenSpecialForWriting(const std::string& path, FileHandle* file,
                               FileError* error) override;
    bool MakeFolders(const std::string& path, FileError* error) override;
    bool CreateNew(const std::string& path, FileHandle* file, bool* exists,
                   FileError* error) override;
    bool OpenAppend(const std::string& path, unsigned waitMilliseconds, FileHandle* file,
                    FileError* error) override;
    bool ListFiles(const std::string& folder, std::vector<std::string>* names,
                   FileError* error) override;
    bool GetPathKind(const std::string& path, PathKind* kind, FileError* error) override;
    bool GetLength(FileHandle file, std::uint64_t* length, FileError* error) override;
    bool Seek(FileHandle file, std::uint64_t offset, FileError* error) override;
    bool Read(FileHandle file, void* buffer, DWORD count, DWORD* bytesRead,
              FileError* error) override;
    bool Write(FileHandle file, const void* data, DWORD count, DWORD* written,
               FileError* error) override;
    bool Close(FileHandle file, FileError* error) override;
    bool Replace(const std::string& source, const std::string& target, FileError* error) override;
    bool Remove(const std::string& path, FileError* error) override;

private:
    struct Node {
        std::vector<std::uint8_t> data;
        std::optional<std::uint64_t> generatedLength;
        std::uint64_t Length() const { return generatedLength ? *generatedLength : data.size(); }
    };
    // Whom an open handle lets in besides itself.
    enum class Sharing {
        kNone,
        kReaders,     // other shared readers (OpenReadShared)
        kAppenders,   // readers beside writers (OpenAppend)
        kEveryone,    // a reader beside writers lets in anyone
    };
    struct OpenFile {
        std::string path;
        std::string faultPath;  // the target a temporary file stands for
        bool writing = false;
        Sharing sharing = Sharing::kNone;
        std::uint64_t position = 0;
    };

    const Faults* FaultsOf(const std::string& path) const;
    OpenFile* Find(FileHandle file);
    // Open by anyone at all.
    bool IsOpen(const std::string& path) const;
    // Whether an opener sharing as `sharing` is kept out by a handle open now.
    bool KeptOut(const std::string& path, Sharing sharing, bool writing) const;
    bool OpenCommon(const std::string& path, const std::string& faultPath, bool writing,
                    bool mustExist, FileHandle* file, FileError* error,
                    Sharing sharing = Sharing::kNone);

    std::map<std::string, Node> m_files;
    std::map<std::string, Faults> m_faults;
    std::set<std::string> m_folders;  // made by MakeFolders
    std::set<OpenFile*> m_open;
    std::vector<std::unique_ptr<OpenFile>> m_handles;
    std::vector<std::string> m_openedPaths;
    unsigned m_nextTemp = 1;
};

}  // namespace marnel
