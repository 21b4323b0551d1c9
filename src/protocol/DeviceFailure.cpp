#include "protocol/DeviceFailure.h"

#include <cstdio>

#include "protocol/VendorRequests.h"

namespace marnel {

const char* DeviceRequestName(DeviceRequest request) {
    // In the order of DeviceRequest.
    static const char* const kNames[] = {
        "none",
        "identity",
        "start parameter read",
        "parameter read status",
        "parameter data read",
        "parameter data write",
        "store parameters",
        "store status",
        "start version read",
        "version status",
        "version data read",
        "start report",
        "report status",
        "report data read",
    };
    static_assert(sizeof kNames / sizeof *kNames == 1 + static_cast<int>(DeviceRequest::kReportRead),
                  "one name per request");
    const auto index = static_cast<std::size_t>(request);
    return index < sizeof kNames / sizeof *kNames ? kNames[index] : "unknown request";
}

namespace {

// The causes that need no figures.
const char* PlainCause(FailureKind kind) {
    return kind == FailureKind::kControlFailed ? "the control request failed"
           : kind == FailureKind::kReadFailed  ? "the read failed"
           : kind == FailureKind::kBufferFull  ? "the report is longer than the buffer"
           : kind == FailureKind::kOutOfMemory ? "out of memory"
           : kind == FailureKind::kBadChecksum ? "the block's checksum does not hold"
                                               : "";
}

}  // namespace

std::string DescribeFailure(const DeviceFailure& failure) {
    if (failure.kind == FailureKind::kNone) {
        return {};
    }
    char detail[160] = "";
    const int polls = failure.busyPolls + failure.failedPolls;
    if (failure.kind == FailureKind::kWrongIdentity) {
        std::snprintf(
            detail, sizeof detail,
            "the device is not in service mode (no \"SERVICE\" answer; %u byte%s returned)",
            static_cast<unsigned>(failure.bytesReturned), failure.bytesReturned == 1 ? "" : "s");
    } else if (failure.kind == FailureKind::kFailedStatus) {
        std::snprintf(detail, sizeof detail, "the device reported failure (status 0x%02X)",
                      static_cast<unsigned>(failure.status));
    } else if (failure.kind == FailureKind::kPollsExhausted) {
        std::snprintf(detail, sizeof detail, "no completion after %d poll%s (%d busy, %d failed)",
                      polls, polls == 1 ? "" : "s", failure.busyPolls, failure.failedPolls);
    } else if (failure.kind == FailureKind::kDeviceSilent) {
        std::snprintf(detail, sizeof detail, "the device sent nothing for %llu ms",
                      static_cast<unsigned long long>(failure.silentMs));
    } else {
        std::snprintf(detail, sizeof detail, "%s", PlainCause(failure.kind));
    }
    return std::string(DeviceRequestName(failure.request)) + ": " + detail +
           (failure.linkError.empty() ? std::string() : " (" + failure.linkError + ")");
}

namespace {

void AppendHex(std::string& out, const std::uint8_t* bytes, DWORD length) {
    static const char kHex[] = "0123456789ABCDEF";
    for (DWORD i = 0; i < length; ++i) {
        out += ' ';
        out += kHex[bytes[i] >> 4];
        out += kHex[bytes[i] & 0x0F];
    }
}

}  // namespace

std::string FormatRequestTrace(const RequestTrace& trace) {
    std::string line = DeviceRequestName(trace.request);
    line += ": ";
    const bool isRead = trace.controlCode == 0;
    const bool isGet = trace.controlCode == kIoctlVendorGetCommand;
    if (isRead) {
        line += "READ";
    } else if (isGet) {
        line += "GET";
    } else if (trace.controlCode == kIoctlVendorSetCommand) {
        line += "SET";
    } else {
        char code[24];
        std::snprintf(code, sizeof code, "IOCTL 0x%06X", static_cast<unsigned>(trace.controlCode));
        line += code;
    }
    if (trace.requestBytes != nullptr) {
        AppendHex(line, trace.requestBytes, trace.requestLength);
    }
    if (isRead || isGet) {
        line += " [" + std::to_string(trace.replyCapacity) + "]";
    }
    line += trace.ok ? " -> ok" : " -> FAILED";
    if (trace.ok && (isRead || isGet)) {
        if (trace.replyLength == 0) {
            line += isRead ? " (no byte)" : " (no bytes)";
        } else if (trace.replyBytes != nullptr) {
            AppendHex(line, trace.replyBytes, trace.replyLength);
        }
    }
    return line;
}

}  // namespace marnel
