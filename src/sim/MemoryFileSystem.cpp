#include "sim/MemoryFileSystem.h"

#include <algorithm>
#include <cstring>

namespace marnel {

namespace {

bool Fail(FileError* error, FileErrorCause cause) {
    if (error != nullptr) {
        error->cause = cause;
        error->osError = 0;
    }
    return false;
}

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

namespace {

// A prime period: no power-of-two piece lines up with it, so a dropped,
// doubled or reordered piece changes the bytes.
constexpr std::size_t kPatternPeriod = 65521;

const std::vector<std::uint8_t>& PatternTable() {
    static const std::vector<std::uint8_t> table = [] {
        std::vector<std::uint8_t> bytes(kPatternPeriod);
        std::uint32_t x = 0x2545F491u;
        for (std::uint8_t& b : bytes) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            b = static_cast<std::uint8_t>(x >> 24);
        }
        return bytes;
    }();
    return table;
}

}  // namespace

std::uint8_t MemoryFileSystem::PatternByte(std::uint64_t offset) {
    return PatternTable()[offset % kPatternPeriod];
}

void MemoryFileSystem::PatternBytes(std::uint64_t offset, std::uint8_t* out, std::size_t count) {
    const std::vector<std::uint8_t>& table = PatternTable();
    std::size_t at = static_cast<std::size_t>(offset % kPatternPeriod);
    while (count > 0) {
        const std::size_t run = std::min(count, kPatternPeriod - at);
        std::memcpy(out, table.data() + at, run);
        out += run;
        count -= run;
        at = 0;
    }
}

void MemoryFileSystem::AddGeneratedFile(const std::string& path, std::uint64_t length) {
    Node node;
    node.generatedLength = length;
    m_files[path] = std::move(node);
}

void MemoryFileSystem::SetFile(const std::string& path, std::vector<std::uint8_t> content) {
    Node node;
    node.data = std::move(content);
    m_files[path] = std::move(node);
}

bool MemoryFileSystem::Exists(const std::string& path) const {
    return m_files.count(path) != 0;
}

std::vector<std::uint8_t> MemoryFileSystem::Content(const std::string& path) const {
    auto it = m_files.find(path);
    if (it == m_files.end()) {
        return {};
    }
    if (!it->second.generatedLength) {
        return it->second.data;
    }
    std::vector<std::uint8_t> bytes(*it->second.generatedLength);
    PatternBytes(0, bytes.data(), bytes.size());
    return bytes;
}

void MemoryFileSystem::RemoveFile(const std::string& path) {
    m_files.erase(path);
}

std::vector<std::string> MemoryFileSystem::Paths() const {
    std::vector<std::string> paths;
    for (const auto& entry : m_files) {
        paths.push_back(entry.first);
    }
    return paths;
}

const MemoryFileSystem::Faults* MemoryFileSystem::FaultsOf(const std::string& path) const {
    auto it = m_faults.find(path);
    return it == m_faults.end() ? nullptr : &it->second;
}

MemoryFileSystem::OpenFile* MemoryFileSystem::Find(FileHandle file) {
    auto* open = static_cast<OpenFile*>(file);
    return m_open.count(open) != 0 ? open : nullptr;
}

bool MemoryFileSystem::IsOpen(const std::string& path) const {
    return std::any_of(m_open.begin(), m_open.end(),
                       [&](const OpenFile* open) { return open->path == path; });
}

bool MemoryFileSystem::KeptOut(const std::string& path, Sharing sharing, bool writing) const {
    // Each side must let the other in: as Windows' share modes decide it.
    auto lets = [](Sharing by, Sharing opener, bool openerWrites) {
        switch (by) {
            case Sharing::kEveryone:
                return true;
            case Sharing::kAppenders:
                return opener == Sharing::kEveryone;
            case Sharing::kReaders:
                return !openerWrites &&
                       (opener == Sharing::kReaders || opener == Sharing::kEveryone);
            case Sharing::kNone:
                return false;
        }
        return false;
    };
    return std::any_of(m_open.begin(), m_open.end(), [&](const OpenFile* open) {
        return open->path == path &&
               !(lets(open->sharing, sharing, writing) && lets(sharing, open->sharing, open->writing));
    });
}

bool MemoryFileSystem::OpenCommon(const std::string& path, const std::string& faultPath,
                                  bool writing, bool mustExist, FileHandle* file, FileError* error,
                                  Sharing sharing) {
    const Faults* faults = FaultsOf(faultPath);
    if (faults != nullptr && faults->openFails) {
        return Fail(error, *faults->openFails);
    }
    if (KeptOut(path, sharing, writing) || (faults != nullptr && faults->heldByOtherProgram)) {
        return Fail(error, FileErrorCause::kSharingViolation);
    }
    if (path.empty()) {
        return Fail(error, FileErrorCause::kBadPath);
    }
    if (mustExist && !Exists(path)) {
        return Fail(error, FileErrorCause::kFileNotFound);
    }
    if (writing && faults != nullptr && faults->readOnly && Exists(path)) {
        return Fail(error, FileErrorCause::kAccessDenied);
    }
    if (writing) {
        m_files[path] = Node();  // created or truncated
    }
    auto open = std::make_unique<OpenFile>();
    open->path = path;
    open->faultPath = faultPath;
    open->writing = writing;
    open->sharing = sharing;
    *file = open.get();
    m_open.insert(open.get());
    m_handles.push_back(std::move(open));
    m_openedPaths.push_back(path);
    return true;
}

bool MemoryFileSystem::OpenRead(const std::string& path, FileHandle* file, FileError* error) {
    return OpenCommon(path, path, false, true, file, error);
}

bool MemoryFileSystem::OpenReadShared(const std::string& path, FileHandle* file,
                                      FileError* error) {
    return OpenCommon(path, path, false, true, file, error, Sharing::kReaders);
}

bool MemoryFileSystem::OpenReadBesideWriters(const std::string& path, FileHandle* file,
                                             FileError* error) {
    return OpenCommon(path, path, false, true, file, error, Sharing::kEveryone);
}

bool MemoryFileSystem::Create(const std::string& path, FileHandle* file, FileError* error) {
    return OpenCommon(path, path, true, false, file, error);
}

bool MemoryFileSystem::CreateTemporaryBeside(const std::string& target, std::string* tempPath,
                                             FileHandle* file, FileError* error) {
    std::string path;
    do {
        path = FolderOf(target) + "~mrn" + std::to_string(m_nextTemp++) + ".tmp";
    } while (Exists(path));
    if (!OpenCommon(path, target, true, false, file, error)) {
        return false;
    }
    *tempPath = path;
    return true;
}

bool MemoryFileSystem::InspectSaveTarget(const std::string& path, SaveTarget* target,
                                         FileError* error) {
    std::string at = path;
    for (int hops = 0;; ++hops) {
        const Faults* faults = FaultsOf(at);
        if (faults == nullptr || !faults->linkTo) {
            break;
        }
        if (hops == 40) {
            return Fail(error, FileErrorCause::kBadPath);
        }
        at = *faults->linkTo;
    }
    const Faults* faults = FaultsOf(at);
    *target = SaveTarget{at, faults != nullptr && faults->special,
                         faults != nullptr && faults->readOnly && Exists(at)};
    return true;
}

bool MemoryFileSystem::OpenSpecialForWriting(const std::string& path, FileHandle* file,
                                             FileError* error) {
    return OpenCommon(path, path, true, true, file, error);
}

bool MemoryFileSystem::MakeFolders(const std::string& path, FileError* error) {
    // Folders are implied by the files in them; only a fault, or a file
    // where a folder should be, stops one.
    const Faults* faults = FaultsOf(path);
    if (faults != nullptr && faults->openFails) {
        return Fail(error, *faults->openFails);
    }
    PathKind kind = PathKind::kNothing;
    GetPathKind(path, &kind, nullptr);
    if (kind != PathKind::kNothing && kind != PathKind::kFolder) {
        return Fail(error, FileErrorCause::kBadPath);
    }
    m_folders.insert(path);
    return true;
}

bool MemoryFileSystem::GetPathKind(const std::string& path, PathKind* kind, FileError* /*error*/) {
    *kind = PathKind::kNothing;
    if (Exists(path)) {
        *kind = PathKind::kFile;
        return true;
    }
    const std::string below = path + "/";
    if (m_folders.count(path) != 0 ||
        std::any_of(m_files.begin(), m_files.end(), [&](const auto& file) {
            return file.first.compare(0, below.size(), below) == 0;
        })) {
        *kind = PathKind::kFolder;
        return true;
    }
    // A file on the way: the path leads through it.
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        if (Exists(path.substr(0, slash))) {
            *kind = PathKind::kOther;
        }
    }
    return true;
}

bool MemoryFileSystem::Seek(FileHandle file, std::uint64_t offset, FileError* error) {
    OpenFile* open = Find(file);
    if (open == nullptr || open->writing) {
        return Fail(error,
                    open == nullptr ? FileErrorCause::kInvalidFile : FileErrorCause::kBadSeek);
    }
    open->position = offset;
    return true;
}

bool MemoryFileSystem::CreateNew(const std::string& path, FileHandle* file, bool* exists,
                                 FileError* error) {
    *exists = Exists(path);
    if (*exists) {
        return Fail(error, FileErrorCause::kAccessDenied);
    }
    return OpenCommon(path, path, true, false, file, error);
}

bool MemoryFileSystem::OpenAppend(const std::string& path, unsigned /*waitMilliseconds*/,
                                  FileHandle* file, FileError* error) {
    // One thread: a holder cannot let go while this waits, so it fails at once.
    std::vector<std::uint8_t> kept = Content(path);
    if (!OpenCommon(path, path, true, false, file, error, Sharing::kAppenders)) {
        return false;
    }
    m_files[path].data = std::move(kept);
    Find(*file)->position = m_files[path].data.size();
    return true;
}

bool MemoryFileSystem::ListFiles(const std::string& folder, std::vector<std::string>* names,
                                 FileError* error) {
    const Faults* faults = FaultsOf(folder);
    if (faults != nullptr && faults->openFails) {
        return Fail(error, *faults->openFails);
    }
    names->clear();
    const std::string prefix = folder + "/";
    for (const auto& file : m_files) {
        const std::string& path = file.first;
        if (path.compare(0, prefix.size(), prefix) == 0 &&
            path.find('/', prefix.size()) == std::string::npos) {
            names->push_back(path.substr(prefix.size()));
        }
    }
    return true;
}

bool MemoryFileSystem::GetLength(FileHandle file, std::uint64_t* length, FileError* error) {
    OpenFile* open = Find(file);
    if (open == nullptr) {
        return Fail(error, FileErrorCause::kInvalidFile);
    }
    const Faults* faults = FaultsOf(open->faultPath);
    if (faults != nullptr && faults->lengthFails) {
        return Fail(error, *faults->lengthFails);
    }
    *length = m_files[open->path].Length();
    return true;
}

bool MemoryFileSystem::Read(FileHandle file, void* buffer, DWORD count, DWORD* bytesRead,
                            FileError* error) {
    *bytesRead = 0;
    OpenFile* open = Find(file);
    if (open == nullptr || open->writing) {
        return Fail(error,
                    open == nullptr ? FileErrorCause::kInvalidFile : FileErrorCause::kAccessDenied);
    }
    const Node& node = m_files[open->path];
    const Faults* faults = FaultsOf(open->faultPath);
    std::uint64_t end = node.Length();
    if (faults != nullptr && faults->readEndsAt) {
        end = std::min(end, *faults->readEndsAt);
    }
    std::uint64_t want =
        std::min<std::uint64_t>(count, end > open->position ? end - open->position : 0);
    if (faults != nullptr && faults->readChunk) {
        want = std::min<std::uint64_t>(want, *faults->readChunk);
    }
    if (faults != nullptr && faults->readErrorAfter && want > 0 &&
        open->position + want > *faults->readErrorAfter) {
        return Fail(error, FileErrorCause::kHardIo);
    }
    auto* out = static_cast<std::uint8_t*>(buffer);
    if (node.generatedLength) {
        PatternBytes(open->position, out, static_cast<std::size_t>(want));
    } else if (want > 0) {
        std::memcpy(out, node.data.data() + open->position, want);
    }
    open->position += want;
    *bytesRead = static_cast<DWORD>(want);
    return true;
}

bool MemoryFileSystem::Write(FileHandle file, const void* data, DWORD count, DWORD* written,
                             FileError* error) {
    *written = 0;
    OpenFile* open = Find(file);
    if (open == nullptr || !open->writing) {
        return Fail(error,
                    open == nullptr ? FileErrorCause::kInvalidFile : FileErrorCause::kAccessDenied);
    }
    const Faults* faults = FaultsOf(open->faultPath);
    if (faults != nullptr && faults->writeErrorAfter &&
        open->position + count > *faults->writeErrorAfter) {
        return Fail(error, FileErrorCause::kDiskFull);
    }
    std::uint64_t store = count;
    if (faults != nullptr && faults->shortWriteAt &&
        open->position + count > *faults->shortWriteAt) {
        store = *faults->shortWriteAt > open->position ? *faults->shortWriteAt - open->position : 0;
    }
    Node& node = m_files[open->path];
    const auto* in = static_cast<const std::uint8_t*>(data);
    node.data.resize(open->position);
    node.data.insert(node.data.end(), in, in + store);
    open->position += store;
    *written = static_cast<DWORD>(store);
    return true;
}

bool MemoryFileSystem::Close(FileHandle file, FileError* error) {
    OpenFile* open = Find(file);
    if (open == nullptr) {
        return Fail(error, FileErrorCause::kInvalidFile);
    }
    m_open.erase(open);
    const Faults* faults = FaultsOf(open->faultPath);
    if (open->writing && faults != nullptr && faults->closeFails) {
        return Fail(error, FileErrorCause::kHardIo);
    }
    return true;
}

bool MemoryFileSystem::Replace(const std::string& source, const std::string& target,
                               FileError* error) {
    const Faults* faults = FaultsOf(target);
    if (faults != nullptr && faults->replaceFails) {
        return Fail(error, FileErrorCause::kAccessDenied);
    }
    if (IsOpen(source) || IsOpen(target) || (faults != nullptr && faults->heldByOtherProgram)) {
        return Fail(error, FileErrorCause::kSharingViolation);
    }
    auto it = m_files.find(source);
    if (it == m_files.end()) {
        return Fail(error, FileErrorCause::kFileNotFound);
    }
    Node node = std::move(it->second);
    m_files.erase(it);
    m_files[target] = std::move(node);
    return true;
}

bool MemoryFileSystem::Remove(const std::string& path, FileError* error) {
    if (IsOpen(path)) {
        return Fail(error, FileErrorCause::kSharingViolation);
    }
    if (m_files.erase(path) == 0) {
        return Fail(error, FileErrorCause::kFileNotFound);
    }
    return true;
}

}  // namespace marnel
