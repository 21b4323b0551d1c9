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

// What stands against storing a file's block in a device.
struct ParameterFileVerdict {
    bool checksumValid = false;  // the block's layout, length and checksum hold
    bool modelMatches = true;    // its model tag is the device's (true when unknown)
    std::string fileModel;
    std::string deviceModel;  // empty when the device's block is unknown or invalid

    bool Acceptable() const { return checksumValid && modelMatches; }
};

// Judges `file` for a device whose current block is `device` (null when it
// was not read).
ParameterFileVerdict JudgeParameterFile(const ParameterBlockBytes& file,
                                        const ParameterBlockBytes* device);

// False for a FIFO, socket or device at `path` (after its links): reading
// one may block or never end. A missing file counts as regular: opening it
// says what is wrong.
bool IsRegularFile(IFileSystem& fileSystem, const std::string& path);

// Opens `path` for reading (letting other readers in when `shared`), checks
// its length and reads the block. A file error (an end of file before 266
// bytes included) raises CFileException, as does a file that is no regular
// file (the bad-path cause); the file is closed on every way out.
ParameterFile ReadParameterFile(IFileSystem& fileSystem, const std::string& path,
                                bool shared = false);

}  // namespace marnel
