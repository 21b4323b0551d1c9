#include "ops/ParameterFile.h"

#include "files/File.h"

namespace marnel {

ParameterFile ReadParameterFile(IFileSystem& fileSystem, const std::string& path) {
    ParameterFile result;
    CFile file(fileSystem);
    file.OpenRead(path);
    result.length = file.GetLength();
    result.hasBlockSize = result.length == kParameterBlockSize;
    if (result.hasBlockSize) {
        // A file that ends before its 266 bytes is an end-of-file error: a
        // half-filled block never goes to the device.
        file.ReadExactly(result.block.data(), static_cast<DWORD>(kParameterBlockSize));
    }
    file.Close();
    return result;
}

}  // namespace marnel
