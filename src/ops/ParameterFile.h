// A parameter file as both front ends read it: the block byte for byte, so
// exactly 266 bytes long.
#pragma once

#include <cstdint>
#include <string>

#include "protocol/ParameterBlock.h"

namespace marnel {

class IFileSystem;

struct ParameterFile {
    std::uint64_t length = 0;   // the file's length in bytes
    bool hasBlockSize = false;  // exactly one block long; only then is `block` read
    ParameterBlockBytes block{};
};

// Opens `path` for reading, checks its length and reads the block. A file
// error (an end of file before 266 bytes included) raises CFileException;
// the file is closed on every way out.
ParameterFile ReadParameterFile(IFileSystem& fileSystem, const std::string& path);

}  // namespace marnel
