#include "ops/DeviceReads.h"

#include <algorithm>

#include "device/AnsiText.h"
#include "protocol/DevicePort.h"

namespace marnel {

namespace {

// Takes a read's result into `outcome`; true when it succeeded.
bool Took(const Status& read, Outcome* outcome) {
    if (!read) {
        outcome->kind = OutcomeKind::kDeviceFailed;
        outcome->failure = read.Error();
    }
    return static_cast<bool>(read);
}

}  // namespace

ReportOutcome ReadReport(OpenedDevice& device) {
    ReportOutcome outcome;
    ReportBuffer buffer{};
    const Status read = device.port->ReadReport(buffer);
    std::copy(buffer.begin(), buffer.end(), outcome.buffer.begin());
    if (Took(read, &outcome)) {
        outcome.text = TerminatedText(buffer.data(), buffer.size());
    }
    return outcome;
}

VersionOutcome ReadVersion(OpenedDevice& device) {
    VersionOutcome outcome;
    VersionBuffer buffer{};
    if (Took(device.port->ReadVersion(buffer), &outcome)) {
        outcome.text = TerminatedText(buffer.data(), buffer.size());
    }
    return outcome;
}

GetParametersOutcome GetParameters(OpenedDevice& device) {
    GetParametersOutcome outcome;
    Took(device.port->ReadParameterBlock(outcome.block), &outcome);
    return outcome;
}

}  // namespace marnel
