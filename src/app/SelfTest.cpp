// The diagnostic self test (Shift + "&About Marnel..."): every device
// transfer once, each step's outcome in a box of its own.
#include "app/SelfTest.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "app/AppMessageBox.h"
#include "app/MainDlg.h"
#include "protocol/VendorRequests.h"

namespace marnel {

namespace {

constexpr DWORD kBlockSize = static_cast<DWORD>(kParameterBlockSize);
constexpr DWORD kVersionSize = static_cast<DWORD>(kVersionBufferSize);
constexpr DWORD kReportSize = static_cast<DWORD>(kReportBufferSize);

// Text up to the first zero byte, never past the buffer.
std::string TextOf(const std::uint8_t* buffer, std::size_t size) {
    const void* zero = std::memchr(buffer, 0, size);
    std::size_t length =
        zero != nullptr ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - buffer)
                        : size;
    return std::string(reinterpret_cast<const char*>(buffer), length);
}

void Plain(IUserInterface& ui, const std::string& text) {
    AfxMessageBox(ui, text, kMbOk);
}

void Information(IUserInterface& ui, const std::string& text) {
    AfxMessageBox(ui, text, kMbOk | kMbIconInformation);
}

}  // namespace

void RunSelfTest(CDevicePort& port, const std::string& printerName, IUserInterface& ui) {
    Plain(ui, "Start Self Test");

    if (!port.Open(printerName)) {
        Plain(ui, "Error: Create");
        return;
    }
    Information(ui, "Success: Create");

    std::uint8_t blockA[kBlockSize] = {};
    if (!port.ReadParameterBlock(blockA, kBlockSize)) {
        Plain(ui, "Error: GetParam");
        return;
    }
    Information(ui, "Success: GetParam");

    // The KQ-10 model tag and nothing else: every data and checksum byte zero.
    std::uint8_t dummy[kBlockSize] = {};
    std::memcpy(dummy, "KQ-10   ", 8);
    if (port.WriteParameterBlock(dummy, kBlockSize)) {
        Information(ui, "Success: PutParam dummy");
    } else {
        Plain(ui, "Error: PutParam dummy");
    }

    if (port.WriteParameterBlock(blockA, kBlockSize)) {
        Information(ui, "Success: PutParam original");
    } else {
        Plain(ui, "Error: PutParam original");
    }

    std::uint8_t blockB[kBlockSize] = {};
    if (port.ReadParameterBlock(blockB, kBlockSize)) {
        Information(ui, "Success: GetParam2");
        if (std::memcmp(blockA, blockB, kBlockSize) == 0) {
            Information(ui, "Success: Compare");
        } else {
            Plain(ui, "Error: Compare");
        }
    } else {
        Plain(ui, "Error: GetParam2");
    }

    std::uint8_t version[kVersionSize] = {};
    if (port.ReadVersion(version, kVersionSize)) {
        Information(ui, "Success: GetVersion (" + TextOf(version, kVersionSize) + ")");
    } else {
        Plain(ui, "Error: GetVersion");
    }

    std::uint8_t report[kReportSize] = {};
    if (port.ReadReport(report, kReportSize)) {
        Information(ui, "Success: GetReport");
        Information(ui, TextOf(report, kReportSize));
    } else {
        Plain(ui, "Error: GetReport");
    }
}

void CQuillKQDlg::SelfTest() {
    m_ui.BeginWaitCursor();
    {
        // A copy taken now: a re-selection during a box may change the name.
        const std::string printerName = m_strPrinterName;
        CDevicePort port(m_services);
        RunSelfTest(port, printerName, m_ui);
    }
    m_ui.EndWaitCursor();
}

}  // namespace marnel
