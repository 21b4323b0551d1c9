// The core's device port, unchanged, on the Linux platform: a CUPS queue
// name led to an emulated USB printer by its device URI, and the protocol's
// transfers over libusb.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "EmulatedPrinter.h"
#include "Kq10Block.h"
#include "posix/PosixPlatform.h"
#include "protocol/DeviceFailure.h"
#include "protocol/DevicePort.h"

namespace marnel {
namespace {

class DevicePortOnLinuxTest : public EmulatedBenchTest {
protected:
    void SetUp() override {
        EmulatedBenchTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        PosixPlatform::Options options;
        options.cupsServer = CupsDir() + "/cups.sock";
        options.timeouts = {300, 300};
        options.refreshInterval = std::chrono::milliseconds(0);
        m_platform = std::make_unique<PosixPlatform>(options);
    }

    std::unique_ptr<PosixPlatform> m_platform;
};

TEST_F(DevicePortOnLinuxTest, QueueNameOpensTheDeviceAndParametersGoBothWays) {
    EmulatedPrinter::Script script;
    script.busyPolls = 2;
    const ParameterBlockBytes parameters = Kq10ParameterBlock(7);
    script.parameters.assign(parameters.begin(), parameters.end());
    script.version = {'2', '.', '0', '1', ' ', 'K', 'Q', 0, 0};
    m_kq->SetScript(script);

    CDevicePort port(m_platform->Services());
    ASSERT_TRUE(port.Open("Zarvel_usb")) << port.LastOpenFailure().detail;
    EXPECT_FALSE(port.Quirks().reportEndsWithEtx) << "the queue's driver names the KQ-10";
    EXPECT_TRUE(port.IsServiceMode());

    ParameterBlockBytes block{};
    const Status read = port.ReadParameterBlock(block);
    ASSERT_TRUE(read) << read.Error().Describe();
    EXPECT_EQ(block, parameters);
    const std::vector<std::string> requests = m_kq->VendorRequests();
    const std::vector<std::string> expectedRead = {
        "ctrl C1 F0 00 00 00 00 08 00",  // identity (IsServiceMode)
        "ctrl C1 F0 00 00 00 00 08 00",  // identity (the transfer's own check)
        "ctrl 41 F0 08 00 00 00 01 00 : 01",
        "ctrl C1 F0 08 00 00 00 03 00",
        "ctrl C1 F0 08 00 00 00 03 00",
        "ctrl C1 F0 08 00 00 00 03 00",
        "ctrl C1 F0 0A 00 00 00 0A 01",
    };
    EXPECT_EQ(requests, expectedRead);

    const ParameterBlockBytes replacement = Kq10ParameterBlock(99);
    const Status write = port.WriteParameterBlock(replacement);
    ASSERT_TRUE(write) << write.Error().Describe();
    EXPECT_EQ(m_kq->StoredParameters(),
              std::vector<std::uint8_t>(replacement.begin(), replacement.end()));

    VersionBuffer version{};
    ASSERT_TRUE(port.ReadVersion(version));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(version.data())), "2.01 KQ");
    EXPECT_TRUE(m_zt->VendorRequests().empty()) << "the other printer was spoken to";
}

TEST_F(DevicePortOnLinuxTest, ReportComesOverBulkInWithTheDriverDetachedOnlyMeanwhile) {
    EmulatedPrinter::Script script;
    const std::string text = "MODEL ZT-5\r\nPRINTED 12345\r\n";
    script.report.assign(text.begin(), text.end());
    script.report.push_back(0x03);
    m_zt->SetScript(script);
    ReportBuffer report{};
    {
        CDevicePort port(m_platform->Services());
        ASSERT_TRUE(port.Open("Zarvel ZT-5")) << port.LastOpenFailure().detail;  // no queue
        EXPECT_TRUE(port.Quirks().reportEndsWithEtx);
        const Status read = port.ReadReport(report);
        ASSERT_TRUE(read) << read.Error().Describe();
        EXPECT_FALSE(m_zt->KernelDriverBound());
    }
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(report.data())), text);
    EXPECT_TRUE(m_zt->KernelDriverBound()) << "destroying the port gives the driver back";
    std::vector<std::string> usb;
    for (const std::string& entry : m_zt->Log()) {
        if (entry.compare(0, 4, "ctrl") != 0) {
            usb.push_back(entry);
        }
    }
    EXPECT_EQ(usb, (std::vector<std::string>{"detach usblp", "claim 0", "bulk-in 4096",
                                              "release 0", "attach"}));
}

TEST_F(DevicePortOnLinuxTest, StallAndSilenceEndTransfersInBoundedTime) {
    EmulatedPrinter::Script stalled;
    stalled.stallBulkIn = true;
    m_kq->SetScript(stalled);
    ReportBuffer report{};
    {
        CDevicePort port(m_platform->Services());
        ASSERT_TRUE(port.Open("Zarvel_usb"));
        const Status stall = port.ReadReport(report);
        EXPECT_FALSE(stall);
        EXPECT_EQ(stall.Error().device.kind, FailureKind::kReadFailed);
        // The user is told libusb's own cause.
        EXPECT_NE(stall.Error().Describe().find("LIBUSB_ERROR_PIPE"), std::string::npos)
            << stall.Error().Describe();
    }
    EXPECT_TRUE(m_kq->KernelDriverBound());

    // A report that never comes: each read times out without a byte, and the
    // port gives up after its silence limit.
    m_kq->SetScript(EmulatedPrinter::Script());
    const auto start = std::chrono::steady_clock::now();
    {
        CDevicePort port(m_platform->Services());
        ASSERT_TRUE(port.Open("Zarvel_usb"));
        port.SetReportSilenceLimitMs(900);
        const Status silence = port.ReadReport(report);
        EXPECT_FALSE(silence);
        EXPECT_EQ(silence.Error().device.kind, FailureKind::kDeviceSilent);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3000));
    EXPECT_TRUE(m_kq->KernelDriverBound());

    // A device that answers nothing at all fails its identity after one time-out.
    EmulatedPrinter::Script silent;
    silent.mode = EmulatedPrinter::Mode::kSilent;
    CDevicePort port(m_platform->Services());
    ASSERT_TRUE(port.Open("Zarvel_usb"));
    m_kq->SetScript(silent);
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_FALSE(port.IsServiceMode());
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(1500));
}

TEST_F(DevicePortOnLinuxTest, PrintersWithoutAUsbDeviceDoNotOpen) {
    // What the expert is told about each, in the port's own failure record.
    auto detail = [&](const char* name) {
        CDevicePort port(m_platform->Services());
        EXPECT_FALSE(port.Open(name)) << name;
        return port.LastOpenFailure().detail;
    };
    EXPECT_EQ(detail("No_such_printer").rfind("no printer named No_such_printer", 0), 0u);
    EXPECT_EQ(detail("Office_Laser"), "the printer Office_Laser is not on a USB port (file:" +
                                          CupsDir() + "/out/Office_Laser.bin)");
    detail("Zarvel_KQ-10");
    detail("");
    EXPECT_TRUE(m_kq->VendorRequests().empty());

    m_kq.reset();  // the device stops answering: it can no longer be told apart
    EXPECT_EQ(detail("Zarvel_usb"),
              "no attached USB printer matches usb://Zarvel/KQ-10?serial=KQ10SN0001");
}

}  // namespace
}  // namespace marnel
