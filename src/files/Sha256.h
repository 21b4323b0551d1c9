// SHA-256, for the history's record of which file went to a device.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace marnel {

class IFileSystem;

class CSha256 {
public:
    CSha256();
    void Update(const void* data, std::size_t size);
    // The digest as 64 lower-case hex digits; the object is spent.
    std::string HexDigest();

private:
    void Block(const std::uint8_t* block);

    std::array<std::uint32_t, 8> m_state;
    std::array<std::uint8_t, 64> m_buffer{};
    std::size_t m_buffered = 0;
    std::uint64_t m_length = 0;
};

// The digest of the file at `path`; a file error raises CFileException.
std::string Sha256OfFile(IFileSystem& fileSystem, const std::string& path);

}  // namespace marnel
