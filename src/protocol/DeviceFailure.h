// Why a transfer failed, for the expert: the transfers themselves answer
// only 0 or 1, and the port keeps the cause of its last failure beside that
// so that a front end can explain it (the CLI's diagnostics, traces).
// Also the trace hook's record of one request and its reply.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/Types.h"

namespace marnel {

// Every request the port sends, and the data-pipe read of the report.
enum class DeviceRequest {
    kNone,
    kIdentity,
    kStartParameterRead,
    kParameterReadStatus,
    kParameterDataRead,
    kParameterDataWrite,
    kStoreParameters,
    kStoreStatus,
    kStartVersionRead,
    kVersionStatus,
    kVersionDataRead,
    kStartReport,
    kReportStatus,
    kReportRead,
};

enum class FailureKind {
    kNone,
    kControlFailed,   // the control call returned FALSE
    kWrongIdentity,   // not "SERVICE" and a zero byte in exactly 8 bytes
    kFailedStatus,    // a status other than done or busy
    kPollsExhausted,  // every poll was busy or failed
    kReadFailed,      // a data-pipe read returned FALSE
    kBufferFull,      // the report did not end within the buffer
    kDeviceSilent,    // the report stream delivered nothing for too long
    kOutOfMemory,     // the request buffer could not be allocated
    kBadChecksum,     // the block arrived but its checksum does not hold
};

struct DeviceFailure {
    DeviceRequest request = DeviceRequest::kNone;
    FailureKind kind = FailureKind::kNone;
    std::uint8_t status = 0;     // kFailedStatus: the status byte
    DWORD bytesReturned = 0;     // kWrongIdentity: the count the device returned
    int busyPolls = 0;           // kPollsExhausted: polls answered busy
    int failedPolls = 0;         // kPollsExhausted: polls whose control call failed
    std::uint64_t silentMs = 0;  // kDeviceSilent: time without a byte
    // The back end's words for the last call that failed (a USB stall, a
    // time-out); empty when it gave none.
    std::string linkError;
};

// "parameter read status", "identity", ...
const char* DeviceRequestName(DeviceRequest request);

// One line for the expert, e.g. "store status: the device reported failure
// (status 0x01)". Empty when there was no failure.
std::string DescribeFailure(const DeviceFailure& failure);

// One request as it went over the wire, handed to the trace observer after
// the call returned. Pointers are valid only during the callback.
struct RequestTrace {
    DeviceRequest request = DeviceRequest::kNone;
    DWORD controlCode = 0;  // 0 for a data-pipe read
    const std::uint8_t* requestBytes = nullptr;
    DWORD requestLength = 0;
    DWORD replyCapacity = 0;  // output capacity, or bytes asked of a read
    BOOL ok = 0;
    const std::uint8_t* replyBytes = nullptr;  // what came back, clipped to the capacity
    DWORD replyLength = 0;
};

using RequestObserver = std::function<void(const RequestTrace&)>;

// One line per request for a trace, bytes in hex, e.g.
//   "identity: GET F0 00 00 [8] -> ok 53 45 52 56 49 43 45 00"
//   "start report: SET F0 00 08 04 -> ok"
//   "report data read: READ [1] -> ok (no byte)"
std::string FormatRequestTrace(const RequestTrace& trace);

}  // namespace marnel
