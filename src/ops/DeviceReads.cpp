#include "ops/DeviceReads.h"

#include <cstdint>

#include "device/AnsiText.h"
#include "protocol/DevicePort.h"

namespace marnel {

namespace {

void Fail(Outcome* outcome, const CDevicePort& port) {
    outcome->kind = OutcomeKind::kDeviceFailed;
    outcome->failure = port.LastFailure();
    outcome->detail = DescribeFailure(outcome->failure);
}

}  // namespace

ReportOutcome ReadReport(OpenedDevice& device) {
    ReportOutcome outcome;
    auto* bytes = reinterpret_cast<std::uint8_t*>(outcome.buffer.data());
    if (!device.port->ReadReport(bytes, static_cast<DWORD>(outcome.buffer.size()))) {
        Fail(&outcome, *device.port);
        return outcome;
    }
    outcome.text = TerminatedText(bytes, outcome.buffer.size());
    return outcome;
}

VersionOutcome ReadVersion(OpenedDevice& device) {
    VersionOutcome outcome;
    std::uint8_t buffer[kVersionBufferSize] = {};
    if (!device.port->ReadVersion(buffer, static_cast<DWORD>(sizeof buffer))) {
        Fail(&outcome, *device.port);
        return outcome;
    }
    outcome.text = TerminatedText(buffer, sizeof buffer);
    return outcome;
}

GetParametersOutcome GetParameters(OpenedDevice& device) {
    GetParametersOutcome outcome;
    if (!device.port->ReadParameterBlock(outcome.block.data(), kParameterBlockSize)) {
        Fail(&outcome, *device.port);
    }
    return outcome;
}

}  // namespace marnel
