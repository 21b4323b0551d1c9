// The report over the data pipe and the version text.
#include "platform/Clock.h"
#include "protocol/DevicePort.h"

namespace marnel {

Status CDevicePort::ReadReport(ReportBuffer& buffer) {
    BeginTransfer();
    return Finish(ReadReportBytes(buffer.data(), static_cast<DWORD>(buffer.size())));
}

Status CDevicePort::ReadVersion(VersionBuffer& buffer) {
    BeginTransfer();
    return Finish(ReadVersionBytes(buffer.data(), static_cast<DWORD>(buffer.size())));
}

BOOL CDevicePort::StartCommand(DeviceRequest request, std::uint8_t* command, DWORD length) {
    if (!CheckServiceMode()) {
        return 0;
    }
    if (!SendSet(request, command, length)) {
        return Fail(request, FailureKind::kControlFailed);
    }
    return 1;
}

BOOL CDevicePort::ReadReportBytes(std::uint8_t* buffer, DWORD size) {
    auto command = kReportCommand;
    if (!StartCommand(DeviceRequest::kStartReport, command.data(), command.size())) {
        return 0;
    }
    const bool etxMode = m_quirks.reportEndsWithEtx;
    auto status = kStatusReplyInitial;  // set once for the whole report

    // The device may fall silent; a read that succeeds without a byte is
    // what a read time-out looks like, and only time tells silence apart
    // from a slow device.
    IClock& clock = Services().clock;
    std::uint64_t lastByteMs = clock.NowMs();

    DWORD stored = 0;
    std::uint8_t byte = 0;
    DWORD got = 0;
    if (!ReadByte(&byte, &got)) {
        return Fail(DeviceRequest::kReportRead, FailureKind::kReadFailed);
    }
    for (;;) {
        if (stored >= size) {
            return Fail(DeviceRequest::kReportRead, FailureKind::kBufferFull);
        }
        if (got != 0) {
            lastByteMs = clock.NowMs();
            if (etxMode && byte == kReportEtx) {
                return 1;
            }
            buffer[stored++] = byte;
            if (!etxMode && byte == kReportLineFeed) {
                DWORD returned = 0;
                if (SendGet(DeviceRequest::kReportStatus, command.data(), command.size(),
                            status.data(), status.size(), &returned) &&
                    status[kStatusByteIndex] != kStatusBusy) {
                    if (status[kStatusByteIndex] == kStatusDone) {
                        return 1;
                    }
                    DeviceFailure failed;
                    failed.request = DeviceRequest::kReportStatus;
                    failed.kind = FailureKind::kFailedStatus;
                    failed.status = status[kStatusByteIndex];
                    return Fail(failed);
                }
                // A failed or busy answer sends the reader back to the pipe.
            }
        } else {
            const std::uint64_t silentMs = clock.NowMs() - lastByteMs;
            if (silentMs >= m_reportSilenceLimitMs) {
                DeviceFailure silent;
                silent.request = DeviceRequest::kReportRead;
                silent.kind = FailureKind::kDeviceSilent;
                silent.silentMs = silentMs;
                return Fail(silent);
            }
        }
        byte = 0;
        if (!ReadByte(&byte, &got)) {
            return Fail(DeviceRequest::kReportRead, FailureKind::kReadFailed);
        }
    }
}

BOOL CDevicePort::ReadVersionBytes(std::uint8_t* buffer, DWORD size) {
    auto command = kVersionCommand;
    if (!StartCommand(DeviceRequest::kStartVersionRead, command.data(), command.size())) {
        return 0;
    }
    if (!PollStatus(DeviceRequest::kVersionStatus, command.data(), command.size(), kVersionPolls)) {
        return 0;
    }
    auto dataRead = kVersionDataReadRequest;
    DWORD returned = 0;  // not examined: the reply is placed as delivered
    if (!SendGet(DeviceRequest::kVersionDataRead, dataRead.data(), dataRead.size(), buffer, size,
                 &returned)) {
        return Fail(DeviceRequest::kVersionDataRead, FailureKind::kControlFailed);
    }
    return 1;
}

}  // namespace marnel
