// A parameter file of any content, judged as put-params judges it; a block
// judged valid must cross the wire to a device and come back unchanged.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "FuzzCheck.h"
#include "files/FileException.h"
#include "ops/ParameterFile.h"
#include "protocol/DevicePort.h"
#include "protocol/ParameterBlock.h"
#include "sim/SimWorld.h"

namespace {

using namespace marnel;

constexpr char kPath[] = "/params.bin";

// Stores the block in a simulated device of `model` and reads it back.
void CheckRoundTrip(SimModel model, const ParameterBlockBytes& block) {
    SimWorld world;
    SimInstalledDevice& installed = world.AddDevice(SimDeviceSetup(model));
    CDevicePort port(world.Services());
    FUZZ_CHECK(port.Open(installed.printer.printerName));
    FUZZ_CHECK(port.WriteParameterBlock(block));
    ParameterBlockBytes back{};
    FUZZ_CHECK(port.ReadParameterBlock(back));
    FUZZ_CHECK(back == block);
}

// What the description says must agree with itself and with the bytes.
void CheckDescription(const ParameterBlockBytes& block) {
    const ParameterBlockInfo info = DescribeParameterBlock(block);
    FUZZ_CHECK(info.valid == IsParameterBlockValid(block));
    FUZZ_CHECK(info.valid ==
               (info.checksumInBlock && info.storedChecksum == info.computedChecksum));
    FUZZ_CHECK(info.modelTag.size() <= kModelTagSize);
    FUZZ_CHECK(info.checksumInBlock ==
               (info.layout == ParameterLayout::kFixed || info.dataLength <= kCountedMaxDataSize));

    // Storing the checksum touches only its two bytes and makes the block valid.
    ParameterBlockBytes repaired = block;
    FUZZ_CHECK(StoreParameterChecksum(repaired) == info.checksumInBlock);
    if (!info.checksumInBlock) {
        FUZZ_CHECK(repaired == block);
        return;
    }
    FUZZ_CHECK(IsParameterBlockValid(repaired));
    std::size_t changed = 0;
    for (std::size_t i = 0; i < block.size(); ++i) {
        changed += repaired[i] != block[i] ? 1 : 0;
    }
    FUZZ_CHECK(changed <= 2);
    FUZZ_CHECK(info.valid == (repaired == block));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte picks the device; the rest is the file.
    const SimModel model = AllSimModels()[data[0] % AllSimModels().size()];
    const bool deviceKnown = (data[0] & 0x10) != 0;
    std::vector<std::uint8_t> content(data + 1, data + size);

    static SimWorld files;  // the file is replaced for every input
    files.Files().SetFile(kPath, content);
    ParameterFile file;
    try {
        file = ReadParameterFile(files.Files(), kPath);
    } catch (const CFileException&) {
        FUZZ_CHECK(false);  // a readable file of any length is no file error
    }
    FUZZ_CHECK(files.Files().OpenHandleCount() == 0);
    FUZZ_CHECK(file.length == content.size());
    FUZZ_CHECK(file.hasBlockSize == (content.size() == kParameterBlockSize));
    if (!file.hasBlockSize) {
        return 0;
    }
    FUZZ_CHECK(std::equal(content.begin(), content.end(), file.block.begin()));
    CheckDescription(file.block);

    const std::vector<std::uint8_t> deviceBlock = DefaultParameterBlock(model);
    ParameterBlockBytes device{};
    std::copy(deviceBlock.begin(), deviceBlock.end(), device.begin());
    const ParameterFileVerdict verdict =
        JudgeParameterFile(file.block, deviceKnown ? &device : nullptr);
    FUZZ_CHECK(verdict.checksumValid == IsParameterBlockValid(file.block));
    if (!deviceKnown) {
        FUZZ_CHECK(verdict.modelMatches && verdict.deviceModel.empty());
    } else {
        FUZZ_CHECK(verdict.modelMatches == (verdict.fileModel == verdict.deviceModel));
    }
    if (verdict.checksumValid) {
        CheckRoundTrip(model, file.block);
    }
    return 0;
}
