// The use cases that only read an open unit: its report, its firmware
// version and its parameter block. Neither front end touches a transfer.
#pragma once

#include <array>
#include <string>

#include "ops/DeviceAccess.h"
#include "ops/Outcome.h"
#include "protocol/ParameterBlock.h"

namespace marnel {

struct ReportOutcome : Outcome {
    // The report's bytes as the unit sent them, zero after them: the window
    // borrows the whole buffer.
    std::array<char, kReportBufferSize> buffer{};
    std::string text;  // up to the first zero byte
};
[[nodiscard]] ReportOutcome ReadReport(OpenedDevice& device);

struct VersionOutcome : Outcome {
    std::string text;  // up to the first zero byte, at most 9 bytes
};
[[nodiscard]] VersionOutcome ReadVersion(OpenedDevice& device);

struct GetParametersOutcome : Outcome {
    ParameterBlockBytes block{};  // zeroed unless read: nothing uninitialised reaches a file
};
[[nodiscard]] GetParametersOutcome GetParameters(OpenedDevice& device);

}  // namespace marnel
