// The Linux platform as a whole: a private CUPS server with a queue for one
// emulated USB printer, and a second emulated printer that has no queue.
#include "posix/PosixPlatform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "EmulatedPrinter.h"
#include "Kq10Block.h"
#include "platform/Spooler.h"
#include "protocol/DevicePort.h"

namespace marnel {
namespace {

constexpr DWORD kPiece = 1048576;

PosixPlatform::Options BenchOptions() {
    PosixPlatform::Options options;
    options.cupsServer = CupsDir() + "/cups.sock";
    options.timeouts = {300, 300};
    options.refreshInterval = std::chrono::milliseconds(0);
    return options;
}

class PosixPlatformTest : public EmulatedBenchTest {
protected:
    void SetUp() override {
        EmulatedBenchTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        EmulatedPrinter::Script refusesDeviceId;
        refusesDeviceId.answersDeviceId = false;  // as when the kernel driver holds it
        m_zt->SetScript(refusesDeviceId);
        m_platform = std::make_unique<PosixPlatform>(BenchOptions());
    }

    std::unique_ptr<PosixPlatform> m_platform;
};

TEST_F(PosixPlatformTest, ListsTheQueuesFirstThenDevicesWithoutAQueue) {
    ASSERT_EQ(m_platform->Look().devices.size(), 2u) << m_platform->Look().usbError;

    const PrinterList list = m_platform->Services().spooler.EnumLocalPrinters();
    ASSERT_EQ(list.status, SpoolerQueryStatus::kOk);
    ASSERT_GE(list.printers.size(), 2u);
    // The KQ-10 is reached through its queue only; the ZT-5 comes last, named
    // like its queue would be, identified by its strings as its device ID is refused.
    const PrinterInfo& last = list.printers.back();
    EXPECT_EQ(last.printerName, "Zarvel ZT-5");
    EXPECT_EQ(last.driverName, "Zarvel ZT-5");
    EXPECT_EQ(last.portName, "usb://Zarvel/ZT-5?serial=ZT5SN0042");
    EXPECT_EQ(last.attributes, 0u);
    int queueless = 0;
    bool queued = false;
    for (const PrinterInfo& p : list.printers) {
        queueless += p.printerName.find(' ') != std::string::npos ? 1 : 0;
        queued = queued || (p.printerName == "Zarvel_usb" &&
                            p.portName == "usb://Zarvel/KQ-10?serial=KQ10SN0001");
    }
    EXPECT_EQ(queueless, 1);
    EXPECT_TRUE(queued);

    PrinterHandle printer = nullptr;
    ASSERT_TRUE(m_platform->Services().spooler.OpenPrinter("Zarvel ZT-5", &printer));
    const PrinterQuery query = m_platform->Services().spooler.GetPrinter(printer);
    EXPECT_EQ(query.info.portName, last.portName);
    m_platform->Services().spooler.ClosePrinter(printer);
}

// A job to a device without a queue streams to it as it is written, with
// the interface claimed for the job only; *written is what the device took.
TEST_F(PosixPlatformTest, QueuelessJobsStreamToTheDevice) {
    ISpooler& spooler = m_platform->Services().spooler;
    std::vector<std::uint8_t> firmware(kPiece + 1);
    for (std::size_t i = 0; i < firmware.size(); ++i) {
        firmware[i] = static_cast<std::uint8_t>(i * 31 + (i >> 11));
    }
    PrinterHandle printer = nullptr;
    ASSERT_TRUE(spooler.OpenPrinter("Zarvel ZT-5", &printer));
    DWORD written = 0;
    ASSERT_NE(spooler.StartDocPrinter(printer, {"Updater", nullptr, "RAW"}), 0u);
    EXPECT_FALSE(spooler.EndDocPrinter(printer));
    EXPECT_EQ(spooler.LastError(), "an empty job is not sent");

    ASSERT_NE(spooler.StartDocPrinter(printer, {"Updater", nullptr, "RAW"}), 0u);
    ASSERT_TRUE(spooler.StartPagePrinter(printer));
    ASSERT_TRUE(spooler.WritePrinter(printer, firmware.data(), kPiece, &written));
    EXPECT_EQ(written, kPiece);
    EXPECT_EQ(m_zt->BulkOutData().size(), kPiece) << "not sent as it was written";
    ASSERT_TRUE(spooler.WritePrinter(printer, firmware.data() + kPiece, 1, &written));
    ASSERT_TRUE(spooler.EndPagePrinter(printer));
    ASSERT_TRUE(spooler.EndDocPrinter(printer)) << spooler.LastError();
    spooler.ClosePrinter(printer);
    EXPECT_TRUE(m_zt->BulkOutData() == firmware);
    EXPECT_TRUE(m_kq->BulkOutData().empty());

    std::vector<std::string> usb;
    for (const std::string& entry : m_zt->Log()) {
        if (entry.compare(0, 4, "ctrl") != 0 && entry.compare(0, 8, "bulk-out") != 0) {
            usb.push_back(entry);
        }
    }
    EXPECT_EQ(usb, (std::vector<std::string>{"detach usblp", "claim 0", "release 0", "attach",
                                             "detach usblp", "claim 0", "release 0", "attach"}));
    EXPECT_TRUE(m_zt->KernelDriverBound());
}

// A device that stops taking the job: a stall fails the write at once, a
// silence after the send time-out; either way the cause and what the
// device took are said, and *written counts only that.
TEST_F(PosixPlatformTest, AJobTheDeviceStopsTakingFailsWithItsCause) {
    const struct {
        bool stalls;
        const char* cause;
    } cases[] = {
        {true,
         "sending to the printer: the device took 131072 bytes of the job, then "
         "LIBUSB_ERROR_PIPE (the device stalled the request)"},
        {false,
         "sending to the printer: the device took 131072 bytes of the job, then took no "
         "more for 1 s: LIBUSB_ERROR_TIMEOUT (the device did not answer in time)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cause);
        EmulatedPrinter::Script full;
        full.bulkOutTakes = 131072;
        full.bulkOutStallsWhenFull = c.stalls;
        m_zt->SetScript(full);
        PosixPlatform::Options options = BenchOptions();
        options.sendTimeoutMs = 1000;
        PosixPlatform platform(options);
        ISpooler& spooler = platform.Services().spooler;
        PrinterHandle printer = nullptr;
        ASSERT_TRUE(spooler.OpenPrinter("Zarvel ZT-5", &printer));
        ASSERT_NE(spooler.StartDocPrinter(printer, {"Updater", nullptr, "RAW"}), 0u);
        const std::vector<std::uint8_t> job(300000, 0x5A);
        DWORD written = 0;
        EXPECT_FALSE(spooler.WritePrinter(printer, job.data(), 300000, &written));
        EXPECT_EQ(written, 131072u);
        EXPECT_EQ(spooler.LastError(), c.cause);
        EXPECT_FALSE(spooler.EndDocPrinter(printer));
        spooler.ClosePrinter(printer);
        EXPECT_TRUE(m_zt->KernelDriverBound());
    }
}

// Two alike devices that no serial number tells apart, without a serial or
// sharing one: each is a printer of its own, told apart by its USB port, and
// each printer's parameter read and raw job reach its own device only. The
// queue Zarvel_usb (serial KQ10SN0001) names neither or both: it is offline,
// and opening it says why.
TEST(PosixPlatformAlike, EachPrinterReachesItsOwnDevice) {
    const std::string missing = BenchMissing();
    if (!missing.empty()) {
        GTEST_SKIP() << missing;
    }
    const struct {
        const char* serial;
        const char* queueDetail;
    } worlds[] = {
        {"", "no attached USB printer matches usb://Zarvel/KQ-10?serial=KQ10SN0001"},
        {"KQ10SN0001",
         "the USB printer usb://Zarvel/KQ-10?serial=KQ10SN0001 is left out: 2 attached USB "
         "printers match its device URI and CUPS cannot tell them apart"},
    };
    for (const auto& w : worlds) {
        SCOPED_TRACE(w.serial);
        UsbTestbed testbed;
        EmulatedPrinter::Identity id;
        id.serial = w.serial;
        std::vector<std::unique_ptr<EmulatedPrinter>> devices;
        for (std::uint8_t address : {2, 3}) {
            id.address = address;
            devices.push_back(std::make_unique<EmulatedPrinter>(testbed, id));
            EmulatedPrinter::Script script;
            const ParameterBlockBytes parameters =
                Kq10ParameterBlock(static_cast<std::uint8_t>(devices.size() - 1));
            script.parameters.assign(parameters.begin(), parameters.end());
            devices.back()->SetScript(script);
        }
        PosixPlatform platform(BenchOptions());
        ISpooler& spooler = platform.Services().spooler;

        // The printers are numbered in the bus's listing order: each is
        // matched to its device by the USB port its port name gives.
        for (const char* name : {"Zarvel KQ-10", "Zarvel KQ-10 (2)"}) {
            SCOPED_TRACE(name);
            PrinterHandle printer = nullptr;
            ASSERT_TRUE(spooler.OpenPrinter(name, &printer));
            const std::string portName = spooler.GetPrinter(printer).info.portName;
            const std::size_t mine = portName == "usb://Zarvel/KQ-10?location=1-2"   ? 0
                                     : portName == "usb://Zarvel/KQ-10?location=1-3" ? 1
                                                                                     : 2;
            ASSERT_LT(mine, 2u) << portName;
            const std::vector<std::uint8_t> job = {0x4A, static_cast<std::uint8_t>(mine)};
            ASSERT_NE(spooler.StartDocPrinter(printer, {"Updater", nullptr, "RAW"}), 0u);
            DWORD written = 0;
            ASSERT_TRUE(spooler.WritePrinter(printer, job.data(), 2, &written));
            ASSERT_TRUE(spooler.EndDocPrinter(printer)) << spooler.LastError();
            spooler.ClosePrinter(printer);

            ParameterBlockBytes block{};
            {
                CDevicePort port(platform.Services());
                ASSERT_TRUE(port.Open(name)) << port.LastOpenFailure().cause;
                const Status read = port.ReadParameterBlock(block);
                ASSERT_TRUE(read) << read.Error().Describe();
            }
            EXPECT_EQ(block, Kq10ParameterBlock(static_cast<std::uint8_t>(mine)));
            EXPECT_EQ(devices[mine]->BulkOutData(), job);
            EXPECT_NE(devices[1 - mine]->BulkOutData(), job);
        }

        for (const PrinterInfo& p : spooler.EnumLocalPrinters().printers) {
            if (p.printerName == "Zarvel_usb") {
                EXPECT_NE(p.attributes & kPrinterAttributeWorkOffline, 0u);
            }
        }
        CDevicePort queue(platform.Services());
        EXPECT_FALSE(queue.Open("Zarvel_usb"));
        EXPECT_EQ(queue.LastOpenFailure().detail, w.queueDetail);
    }
}

// A device named by its strings (its device ID refused) whose product
// string holds a zero: the name ends there, and the printer opens.
TEST(PosixPlatformNames, AZeroEndsAProductString) {
    const std::string missing = BenchMissing();
    if (!missing.empty()) {
        GTEST_SKIP() << missing;
    }
    UsbTestbed testbed;
    EmulatedPrinter::Identity id = EmulatedPrinter::ZT5();
    id.model = std::string("ZT-5\0rev B", 10);
    EmulatedPrinter zt(testbed, id);
    EmulatedPrinter::Script refusesDeviceId;
    refusesDeviceId.answersDeviceId = false;
    zt.SetScript(refusesDeviceId);
    PosixPlatform platform(BenchOptions());

    const PrinterList list = platform.Services().spooler.EnumLocalPrinters();
    ASSERT_FALSE(list.printers.empty());
    EXPECT_EQ(list.printers.back().driverName, "Zarvel ZT-5");
    CDevicePort port(platform.Services());
    EXPECT_TRUE(port.Open(list.printers.back().printerName)) << port.LastOpenFailure().cause;
}

}  // namespace
}  // namespace marnel
