// SHA-256 digests as the history records them (64 lower-case hex digits),
// computed by the platform's hashing.
#pragma once

#include <cstddef>
#include <string>

namespace marnel {

class IFileSystem;
class IHashing;

// The digest of `size` bytes at `data`; empty when the platform could not
// compute one.
std::string Sha256Of(IHashing& hashing, const void* data, std::size_t size);

// The digest of the file at `path`; a file error raises CFileException.
// Empty when the platform could not compute one.
std::string Sha256OfFile(IHashing& hashing, IFileSystem& fileSystem, const std::string& path);

}  // namespace marnel
