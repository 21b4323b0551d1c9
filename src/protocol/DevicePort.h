// CDevicePort: the device's protocol on top of an open port: the identity
// check, the parameter block, the report and the version.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "device/UsbPrinterPort.h"
#include "protocol/DeviceFailure.h"
#include "protocol/ModelQuirks.h"
#include "protocol/ParameterBlock.h"
#include "protocol/Result.h"
#include "protocol/VendorRequests.h"

namespace marnel {

using VersionBuffer = std::array<std::uint8_t, kVersionBufferSize>;
using ReportBuffer = std::array<std::uint8_t, kReportBufferSize>;

class CDevicePort : public CUsbPrinterPort {
public:
    static constexpr std::uint64_t kDefaultReportSilenceLimitMs = 5000;

    explicit CDevicePort(const PlatformServices& services);
    ~CDevicePort() override;

    // An open port takes the quirks of the printer's model, from the record
    // the spooler gave for the resolution; a failed open leaves the defaults.
    BOOL Open(const std::string& printerName) override;

    // The quirks of the opened printer's model.
    const ModelQuirks& Quirks() const { return m_quirks; }
    // For a port whose device was not opened by printer name (a test's,
    // a fuzzer's); the next Open replaces them.
    void SetQuirks(const ModelQuirks& quirks) { m_quirks = quirks; }

    // Each transfer succeeds, or fails with the request that failed and how.

    // Succeeds when the device answers the identity request with "SERVICE"
    // and a zero byte, in exactly 8 bytes.
    Status IsServiceMode();

    // Succeeds when the block was read and its checksum is valid. Once the
    // data get succeeded, `block` holds what the device delivered, valid or
    // not; bytes it did not deliver keep their earlier content, so callers
    // pass a zeroed block.
    Status ReadParameterBlock(ParameterBlockBytes& block);

    // Succeeds when the device reported the block stored. Sends the bytes as
    // they are; the checksum is the device's business.
    Status WriteParameterBlock(const ParameterBlockBytes& block);

    // Succeeds when the report ended by its model's rule (Quirks()). Stores
    // the bytes from the start of the buffer and nothing else.
    Status ReadReport(ReportBuffer& buffer);

    // Succeeds when the version was delivered into the buffer.
    Status ReadVersion(VersionBuffer& buffer);

    // How long a report may go without a byte before it ends in failure.
    void SetReportSilenceLimitMs(std::uint64_t milliseconds) {
        m_reportSilenceLimitMs = milliseconds;
    }
    std::uint64_t ReportSilenceLimitMs() const { return m_reportSilenceLimitMs; }

    // Sees every vendor request and data-pipe read with its reply bytes.
    void SetRequestObserver(RequestObserver observer) { m_observer = std::move(observer); }

protected:
    // Allocates the request buffer of a block write; may throw std::bad_alloc
    // (a test seam for exhausted memory).
    virtual std::vector<std::uint8_t> AllocateRequestBuffer(std::size_t size);

private:
    // One request buffer (VendorRequests.h) to the unit: byte 0 the request
    // code, bytes 1 and 2 the value, the rest its data; traced as it is.
    BOOL SendSet(DeviceRequest request, std::uint8_t* buffer, DWORD length);
    BOOL SendGet(DeviceRequest request, std::uint8_t* buffer, DWORD length, std::uint8_t* reply,
                 DWORD capacity, DWORD* bytesReturned);
    BOOL ReadByte(std::uint8_t* byte, DWORD* bytesRead);

    // Status polling after a command set that succeeded: a wait, then up to
    // maxPolls of sleep + status get with the command's own buffer.
    BOOL PollStatus(DeviceRequest request, std::uint8_t* command, DWORD length,
                    const PollSchedule& schedule);

    // Identity check that records its cause of failure.
    BOOL CheckServiceMode();
    // The identity check, then the command's set.
    BOOL StartCommand(DeviceRequest request, std::uint8_t* command, DWORD length);
    BOOL ReadBlock(std::uint8_t* block);
    BOOL WriteBlock(const std::uint8_t* data, DWORD length);
    BOOL ReadReportBytes(std::uint8_t* buffer, DWORD size);
    BOOL ReadVersionBytes(std::uint8_t* buffer, DWORD size);

    // A transfer's result: success, or the cause recorded while it ran.
    Status Finish(BOOL ok) const {
        return ok ? Status() : Status::Failed(Failure{m_lastFailure, std::string(), {}});
    }

    void BeginTransfer() {
        m_lastFailure = DeviceFailure{};
        m_strLinkError.clear();
    }
    BOOL Fail(DeviceRequest request, FailureKind kind);
    BOOL Fail(const DeviceFailure& failure);
    // Keeps the back end's cause of a call that failed for the transfer's failure.
    void NoteLinkError(BOOL ok);

    void Trace(DeviceRequest request, DWORD controlCode, const std::uint8_t* requestBytes,
               DWORD requestLength, DWORD replyCapacity, BOOL ok, const std::uint8_t* reply,
               DWORD replyLength);

    std::uint64_t m_reportSilenceLimitMs = kDefaultReportSilenceLimitMs;
    ModelQuirks m_quirks;
    DeviceFailure m_lastFailure;
    std::string m_strLinkError;
    RequestObserver m_observer;
};

}  // namespace marnel
