// What a factory-set simulated device holds: its report, its version and
// its parameter block, per model.
#include <cctype>
#include <cstring>

#include "protocol/ParameterBlock.h"
#include "sim/SimDevice.h"

namespace marnel {

namespace {

struct ModelFacts {
    SimModel model;
    const char* name;
    const char* version;
    const char* serial;
    const char* tag;  // eight header bytes of the parameter block
};

constexpr ModelFacts kModels[] = {
    {SimModel::kKQ10, "KQ-10", "1.05", "KQ10-2318-04417", "KQ-10   "},
    {SimModel::kKQ20, "KQ-20", "2.31", "KQ20-2402-00981", "KQ-20   "},
    {SimModel::kZT5, "ZT-5", "3.12", "ZT05-2251-13302", "ZT-5    "},
};

const ModelFacts& Facts(SimModel model) {
    for (const ModelFacts& facts : kModels) {
        if (facts.model == model) {
            return facts;
        }
    }
    return kModels[0];
}

// Settings bytes of a plausible factory block: density, speed, sensor
// thresholds and the like, then zeros.
void FillSettings(std::uint8_t* data, std::size_t length, SimModel model) {
    static const std::uint8_t kSettings[] = {0x03, 0x96, 0x01, 0x00, 0x40, 0x1E, 0x02, 0x08,
                                             0x00, 0x01, 0x7F, 0x10, 0x05, 0x00, 0x2C, 0x01,
                                             0xC8, 0x00, 0x00, 0x0A, 0x01, 0x01, 0x00, 0x30};
    for (std::size_t i = 0; i < length && i < sizeof kSettings; ++i) {
        data[i] = kSettings[i];
    }
    if (length > 32) {
        data[32] = static_cast<std::uint8_t>(static_cast<int>(model) + 1);  // model variant
    }
}

}  // namespace

const char* SimModelName(SimModel model) {
    return Facts(model).name;
}

std::optional<SimModel> ParseSimModel(const std::string& name) {
    for (const ModelFacts& facts : kModels) {
        const std::size_t length = std::strlen(facts.name);
        if (name.size() != length) {
            continue;
        }
        bool same = true;
        for (std::size_t i = 0; i < length && same; ++i) {
            same = std::toupper(static_cast<unsigned char>(name[i])) ==
                   std::toupper(static_cast<unsigned char>(facts.name[i]));
        }
        if (same) {
            return facts.model;
        }
    }
    return std::nullopt;
}

std::vector<SimModel> AllSimModels() {
    std::vector<SimModel> models;
    for (const ModelFacts& facts : kModels) {
        models.push_back(facts.model);
    }
    return models;
}

std::vector<std::uint8_t> DefaultParameterBlock(SimModel model) {
    ParameterBlockBytes block{};
    std::memcpy(block.data(), Facts(model).tag, 8);
    if (model == SimModel::kKQ10) {
        FillSettings(block.data() + kFixedDataOffset, kFixedDataSize, model);
    } else {
        constexpr std::int32_t kLength = 64;
        block[kCountedLengthOffset] = kLength;  // little-endian, high bytes zero
        FillSettings(block.data() + kCountedDataOffset, kLength, model);
    }
    StoreParameterChecksum(block);
    return std::vector<std::uint8_t>(block.begin(), block.end());
}

std::string DefaultReportText(SimModel model) {
    const ModelFacts& facts = Facts(model);
    std::string report;
    report += "Zarvel ";
    report += facts.name;
    report += " Service Report\r\n";
    report += "----------------------------------------\r\n";
    report += "Serial number       : ";
    report += facts.serial;
    report += "\r\n";
    report += "Firmware version    : ";
    report += facts.version;
    report += "\r\n";
    report += "Boot loader         : 0.92\r\n";
    report += "Printed length      : 18452.7 m\r\n";
    report += "Printed labels      : 1284530\r\n";
    report += "Cutter operations   : 40211\r\n";
    report += "Head temperature    : 38 C\r\n";
    report += "Head resistance     : 642 ohm (nominal)\r\n";
    report += "Paper sensor        : OK (gap, level 4)\r\n";
    report += "Print density       : 3 of 5\r\n";
    report += "Print speed         : 150 mm/s\r\n";
    report += "Interface           : USB 2.0 full speed\r\n";
    report += "Error log           : no entries\r\n";
    return report;
}

std::string DefaultVersionText(SimModel model) {
    return Facts(model).version;
}

}  // namespace marnel
