// The vendor request channel: the two control operations, the identity
// check and status polling, on which every transfer is built.
#include "protocol/DevicePort.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/Clock.h"
#include "platform/Spooler.h"

namespace marnel {

namespace {

constexpr std::size_t kMaxDword = std::numeric_limits<DWORD>::max();

// A request buffer's value: bytes 1 and 2, high byte first.
std::uint16_t RequestValue(const std::uint8_t* buffer) {
    return static_cast<std::uint16_t>(buffer[1] << 8 | buffer[2]);
}

}  // namespace

CDevicePort::CDevicePort(const PlatformServices& services) : CUsbPrinterPort(services) {}

CDevicePort::~CDevicePort() = default;

BOOL CDevicePort::Open(const std::string& printerName) {
    m_quirks = ModelQuirks{};
    if (!CUsbPrinterPort::Open(printerName)) {
        return 0;
    }
    // From the record the resolution read: the model costs no spooler call.
    m_quirks = ModelQuirksFor(Services().codePage, Services().spooler.ModelName(Printer()));
    return 1;
}

Status CDevicePort::IsServiceMode() {
    BeginTransfer();
    return Finish(CheckServiceMode());
}

BOOL CDevicePort::CheckServiceMode() {
    auto request = kIdentityRequest;
    std::uint8_t reply[kIdentityReplySize] = {};
    DWORD returned = 0;
    if (!SendGet(DeviceRequest::kIdentity, request.data(), request.size(), reply, sizeof reply,
                 &returned)) {
        return Fail(DeviceRequest::kIdentity, FailureKind::kControlFailed);
    }
    if (returned != kIdentityReplySize ||
        std::memcmp(reply, kServiceIdentity.data(), kIdentityReplySize) != 0) {
        DeviceFailure failure;
        failure.request = DeviceRequest::kIdentity;
        failure.kind = FailureKind::kWrongIdentity;
        failure.bytesReturned = returned;
        return Fail(failure);
    }
    return 1;
}

BOOL CDevicePort::SendSet(DeviceRequest request, std::uint8_t* buffer, DWORD length) {
    const BOOL ok = length >= kRequestHeaderSize &&
                    VendorSet(buffer[0], RequestValue(buffer), buffer + kRequestHeaderSize,
                              length - kRequestHeaderSize);
    NoteLinkError(ok);
    Trace(request, kIoctlVendorSetCommand, buffer, length, 0, ok, nullptr, 0);
    return ok;
}

BOOL CDevicePort::SendGet(DeviceRequest request, std::uint8_t* buffer, DWORD length,
                          std::uint8_t* reply, DWORD capacity, DWORD* bytesReturned) {
    std::size_t received = 0;
    const BOOL ok = length >= kRequestHeaderSize &&
                    VendorGet(buffer[0], RequestValue(buffer), buffer + kRequestHeaderSize,
                              length - kRequestHeaderSize, reply, capacity, &received);
    NoteLinkError(ok);
    *bytesReturned = static_cast<DWORD>(std::min<std::size_t>(received, kMaxDword));
    // The driver's count is not trusted beyond the buffer it was given.
    Trace(request, kIoctlVendorGetCommand, buffer, length, capacity, ok, reply,
          ok ? std::min(*bytesReturned, capacity) : 0);
    return ok;
}

BOOL CDevicePort::ReadByte(std::uint8_t* byte, DWORD* bytesRead) {
    std::size_t received = 0;
    const BOOL ok = ReadData(byte, 1, &received);
    NoteLinkError(ok);
    *bytesRead = ok && received != 0 ? 1 : 0;
    Trace(DeviceRequest::kReportRead, 0, nullptr, 0, 1, ok, byte, *bytesRead);
    return ok;
}

BOOL CDevicePort::PollStatus(DeviceRequest request, std::uint8_t* command, DWORD length,
                             const PollSchedule& schedule) {
    IClock& clock = Services().clock;
    // Set once: a get that succeeds without delivering byte 1 leaves the
    // last value there (busy before any answer).
    auto status = kStatusReplyInitial;
    if (schedule.waitBeforeMs != 0) {
        clock.Sleep(schedule.waitBeforeMs);
    }
    DeviceFailure exhausted;
    exhausted.request = request;
    exhausted.kind = FailureKind::kPollsExhausted;
    for (int poll = 0; poll < schedule.maxPolls; ++poll) {
        clock.Sleep(schedule.intervalMs);
        DWORD returned = 0;
        if (!SendGet(request, command, length, status.data(), status.size(), &returned)) {
            ++exhausted.failedPolls;
            continue;
        }
        const std::uint8_t value = status[kStatusByteIndex];
        if (value == kStatusBusy) {
            ++exhausted.busyPolls;
            continue;
        }
        if (value == kStatusDone) {
            return 1;
        }
        DeviceFailure failed;
        failed.request = request;
        failed.kind = FailureKind::kFailedStatus;
        failed.status = value;
        return Fail(failed);
    }
    return Fail(exhausted);
}

BOOL CDevicePort::Fail(DeviceRequest request, FailureKind kind) {
    DeviceFailure failure;
    failure.request = request;
    failure.kind = kind;
    return Fail(failure);
}

BOOL CDevicePort::Fail(const DeviceFailure& failure) {
    m_lastFailure = failure;
    // Only a failure that a failed call caused carries that call's cause.
    const bool callFailed = failure.kind == FailureKind::kControlFailed ||
                            failure.kind == FailureKind::kReadFailed ||
                            (failure.kind == FailureKind::kPollsExhausted && failure.failedPolls > 0);
    m_lastFailure.linkError = callFailed ? m_strLinkError : std::string();
    return 0;
}

void CDevicePort::NoteLinkError(BOOL ok) {
    if (!ok) {
        m_strLinkError = LinkError();
    }
}

void CDevicePort::Trace(DeviceRequest request, DWORD controlCode, const std::uint8_t* requestBytes,
                        DWORD requestLength, DWORD replyCapacity, BOOL ok,
                        const std::uint8_t* reply, DWORD replyLength) {
    if (!m_observer) {
        return;
    }
    RequestTrace trace;
    trace.request = request;
    trace.controlCode = controlCode;
    trace.requestBytes = requestBytes;
    trace.requestLength = requestLength;
    trace.replyCapacity = replyCapacity;
    trace.ok = ok;
    trace.replyBytes = reply;
    trace.replyLength = replyLength;
    m_observer(trace);
}

std::vector<std::uint8_t> CDevicePort::AllocateRequestBuffer(std::size_t size) {
    return std::vector<std::uint8_t>(size);
}

}  // namespace marnel
