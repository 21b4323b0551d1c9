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

std::string DescribeFailure(const DeviceFailure& failure) {
    char detail[160] = "";
    switch (failure.kind) {
        case FailureKind::kNone:
            return {};
        case FailureKind::kControlFailed:
            std::snprintf(detail, sizeof detail, "the control request failed");
            break;
        case FailureKind::kWrongIdentity:
            std::snprintf(
                detail, sizeof detail,
                "the device is not in service mode (no \"SERVICE\" answer; %u byte%s returned)",
                static_cast<unsigned>(failure.bytesReturned),
                failure.bytesReturned == 1 ? "" : "s");
            break;
        case FailureKind::kFailedStatus:
            std::snprintf(detail, sizeof detail, "the device reported failure (status 0x%02X)",
                          static_cast<unsigned>(failure.status));
            break;
        case FailureKind::kPollsExhausted:
            std::snprintf(detail, sizeof detail,
                          "no completion after %d poll%s (%d busy, %d failed)",
                          failure.busyPolls + failure.failedPolls,
                          failure.busyPolls + failure.failedPolls == 1 ? "" : "s",
                          failure.busyPolls, failure.failedPolls);
            break;
        case FailureKind::kReadFailed:
            std::snprintf(detail, sizeof detail, "the read failed");
            break;
        case FailureKind::kBufferFull:
            std::snprintf(detail, sizeof detail, "the report is longer than the buffer");
            break;
        case FailureKind::kDeviceSilent:
            std::snprintf(detail, sizeof detail, "the device sent nothing for %llu ms",
                          static_cast<unsigned long long>(failure.silentMs));
            break;
        case FailureKind::kOutOfMemory:
            std::snprintf(detail, sizeof detail, "out of memory");
            break;
        case FailureKind::kBadChecksum:
            std::snprintf(detail, sizeof detail, "the block's checksum does not hold");
            break;
    }
    return std::string(DeviceRequestName(failure.request)) + ": " + detail;
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
