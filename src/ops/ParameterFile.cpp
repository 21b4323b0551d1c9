#include "ops/ParameterFile.h"

#include "files/File.h"

namespace marnel {

bool IsRegularFile(IFileSystem& fileSystem, const std::string& path) {
    SaveTarget target;
    FileError error;
    return !fileSystem.InspectSaveTarget(path, &target, &error) || !target.special;
}

ParameterFile ReadParameterFile(IFileSystem& fileSystem, const std::string& path, bool shared) {
    if (!IsRegularFile(fileSystem, path)) {
        throw CFileException(FileErrorCause::kBadPath, path);
    }
    ParameterFile result;
    CFile file(fileSystem);
    if (shared) {
        file.OpenReadShared(path);
    } else {
        file.OpenRead(path);
    }
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

ParameterFileVerdict JudgeParameterFile(const ParameterBlockBytes& file,
                                        const ParameterBlockBytes* device) {
    ParameterFileVerdict verdict;
    const ParameterBlockInfo info = DescribeParameterBlock(file);
    verdict.checksumValid = info.valid;
    verdict.fileModel = info.modelTag;
    // A device whose own block fails its checksum (a dummy, a block lost
    // part-way) or names no model says nothing reliable about its model.
    if (device != nullptr && IsParameterBlockValid(*device)) {
        verdict.deviceModel = DescribeParameterBlock(*device).modelTag;
        verdict.modelMatches =
            verdict.deviceModel.empty() || verdict.fileModel == verdict.deviceModel;
    }
    return verdict;
}

}  // namespace marnel
