// CDevicePort: the device's protocol on top of an open port: the identity
// check, the parameter block, the report and the version.
#pragma once

#include <cstdint>
#include <string>

#include "device/UsbPrinterPort.h"

namespace marnel {

// Chosen by printer selection: 1 when a report ends with ETX, any other value
// for the line-mode report of the KQ-10. 0 at start.
extern int g_bReportEndsWithEtx;

class CDevicePort : public CUsbPrinterPort {
public:
    explicit CDevicePort(const PlatformServices& services);
    ~CDevicePort() override;

    // Open(name) with GENERIC_READ | GENERIC_WRITE, no sharing, OPEN_EXISTING,
    // FILE_ATTRIBUTE_NORMAL.
    BOOL Open(const std::string& printerName);

    // 1 when the device answers the identity request with "SERVICE" and a zero byte.
    BOOL IsServiceMode();

    // 1 when the block was read and its checksum is valid.
    BOOL ReadParameterBlock(std::uint8_t* block, DWORD size);
    // 1 when the device reported the block stored.
    BOOL WriteParameterBlock(const std::uint8_t* data, DWORD length);
    // 1 when the report ended by its rule.
    BOOL ReadReport(std::uint8_t* buffer, DWORD size);
    // Non-zero when the version was delivered.
    BOOL ReadVersion(std::uint8_t* buffer, DWORD size);

    // How long a report may go without a byte before it ends in failure.
    void SetReportSilenceLimitMs(std::uint64_t milliseconds) { m_reportSilenceLimitMs = milliseconds; }

private:
    std::uint64_t m_reportSilenceLimitMs = 5000;
};

}  // namespace marnel
