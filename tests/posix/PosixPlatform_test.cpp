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
#include "platform/Spooler.h"

namespace marnel {
namespace {

constexpr DWORD kPiece = 1048576;


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

        PosixPlatform::Options options;
        options.cupsServer = CupsDir() + "/cups.sock";
        options.timeouts = {300, 300};
        options.refreshInterval = std::chrono::milliseconds(0);
        m_platform = std::make_unique<PosixPlatform>(options);
    }

    std::unique_ptr<PosixPlatform> m_platform;
};

TEST_F(PosixPlatformTest, ListsTheQueuesFirstThenDevicesWithoutAQueue) {
    const std::vector<UsbPrinterDevice> devices = m_platform->UsbPrinters();
    ASSERT_EQ(devices.size(), 2u) << m_platform->UsbError();

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

TEST_F(PosixPlatformTest, QueuelessJobsReachTheDeviceWholeOrNotAtAll) {
    ISpooler& spooler = m_platform->Services().spooler;
    std::vector<std::uint8_t> firmware(kPiece + 1);
    for (std::size_t i = 0; i < firmware.size(); ++i) {
        firmware[i] = static_cast<std::uint8_t>(i * 31 + (i >> 11));
    }
    PrinterHandle printer = nullptr;
    DWORD written = 0;

    // Cancelled after the first piece, then an empty one: nothing goes out.
    ASSERT_TRUE(spooler.OpenPrinter("Zarvel ZT-5", &printer));
    DWORD jobId = spooler.StartDocPrinter(printer, {"Updater", nullptr, "RAW"});
    ASSERT_NE(jobId, 0u);
    ASSERT_TRUE(spooler.WritePrinter(printer, firmware.data(), kPiece, &written));
    EXPECT_TRUE(spooler.CancelJob(printer, jobId));
    jobId = spooler.StartDocPrinter(printer, {"Updater", nullptr, "RAW"});
    ASSERT_NE(jobId, 0u);
    EXPECT_FALSE(spooler.EndDocPrinter(printer));
    EXPECT_TRUE(m_zt->BulkOutData().empty());

    // Whole: two pieces, delivered when the document ends.
    jobId = spooler.StartDocPrinter(printer, {"Updater", nullptr, "RAW"});
    ASSERT_TRUE(spooler.StartPagePrinter(printer));
    ASSERT_TRUE(spooler.WritePrinter(printer, firmware.data(), kPiece, &written));
    ASSERT_TRUE(spooler.WritePrinter(printer, firmware.data() + kPiece, 1, &written));
    EXPECT_TRUE(m_zt->BulkOutData().empty()) << "sent before the job was complete";
    ASSERT_TRUE(spooler.EndPagePrinter(printer));
    ASSERT_TRUE(spooler.EndDocPrinter(printer)) << m_platform->LastSpoolerError();
    spooler.ClosePrinter(printer);
    EXPECT_TRUE(m_zt->BulkOutData() == firmware);
    EXPECT_TRUE(m_kq->BulkOutData().empty());

    std::vector<std::string> usb;
    for (const std::string& entry : m_zt->Log()) {
        if (entry.compare(0, 4, "ctrl") != 0 && entry.compare(0, 8, "bulk-out") != 0) {
            usb.push_back(entry);
        }
    }
    EXPECT_EQ(usb, (std::vector<std::string>{"detach usblp", "claim 0", "release 0", "attach"}));
    EXPECT_TRUE(m_zt->KernelDriverBound());
}

}  // namespace
}  // namespace marnel
