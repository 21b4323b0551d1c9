#include "ops/DeviceReads.h"

#include <algorithm>

#include "device/AnsiText.h"
#include "protocol/DevicePort.h"

namespace marnel {


ReportOutcome ReadReport(OpenedDevice& device) {
    ReportOutcome outcome;
    ReportBuffer buffer{};
    const Status read = device.port->ReadReport(buffer);
    std::copy(buffer.begin(), buffer.end(), outcome.buffer.begin());
    if (!read) {
        outcome.kind = OutcomeKind::kDeviceFailed;
        outcome.failure = read.Error();
        return outcome;
    }
    outcome.text = TerminatedText(buffer.data(), buffer.size());
    return outcome;
}

VersionOutcome ReadVersion(OpenedDevice& device) {
    VersionOutcome outcome;
    VersionBuffer buffer{};
    const Status read = device.port->ReadVersion(buffer);
    if (!read) {
        outcome.kind = OutcomeKind::kDeviceFailed;
        outcome.failure = read.Error();
        return outcome;
    }
    outcome.text = TerminatedText(buffer.data(), buffer.size());
    return outcome;
}

GetParametersOutcome GetParameters(OpenedDevice& device) {
    GetParametersOutcome outcome;
    const Status read = device.port->ReadParameterBlock(outcome.block);
    if (!read) {
        outcome.kind = OutcomeKind::kDeviceFailed;
        outcome.failure = read.Error();
    }
    return outcome;
}

}  // namespace marnel
