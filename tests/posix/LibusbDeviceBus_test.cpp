// The Linux device bus against emulated printers on an emulated USB bus:
// which printer leads to which unit, and the link's bytes on the wire.
#include "posix/LibusbDeviceBus.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "EmulatedPrinter.h"
#include "posix/UsbDiscovery.h"

namespace marnel {
namespace {

const PrinterInfo kQueue = {"Zarvel_usb", "Zarvel KQ-10", "usb://Zarvel/KQ-10?serial=KQ10SN0001",
                            0};

class LibusbDeviceBusTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!UnderUmockdev()) {
            GTEST_SKIP() << "needs umockdev-wrapper (package umockdev)";
        }
        m_testbed = std::make_unique<UsbTestbed>();
        m_printer = std::make_unique<EmulatedPrinter>(*m_testbed, EmulatedPrinter::Identity());
        m_session = std::make_unique<LibusbSession>();  // after the bus, so that it sees it
        m_bus = std::make_unique<LibusbDeviceBus>([this]() -> const PrinterLook& { return Look(); },
                                                  LibusbDeviceBus::Timeouts{300, 300});
    }

    // The bus as it is now, without CUPS: the devices alone.
    const PrinterLook& Look() {
        m_look = PrinterLook();
        m_look.usbOk = ListUsbPrinters(*m_session, 300, &m_look.devices, &m_look.usbError);
        m_look.match = MatchUsbPrinters(m_look.devices, {kQueue});
        return m_look;
    }

    std::unique_ptr<IDeviceLink> Open(const PrinterInfo& printer = kQueue) {
        DeviceRef ref;
        LocateFailure failure;
        EXPECT_TRUE(m_bus->Locate(printer, &ref, &failure)) << failure.detail;
        std::string error;
        std::unique_ptr<IDeviceLink> link = m_bus->Open(ref, &error);
        EXPECT_TRUE(link) << error;
        return link;
    }

    bool Get(IDeviceLink& link, std::uint16_t value, std::vector<std::uint8_t>* reply,
             std::size_t* received) {
        const std::uint8_t extra[] = {0x01};  // a get's request bytes never reach the wire
        return link.VendorGet(0xF0, value, extra, sizeof extra, reply->data(), reply->size(),
                              received);
    }

    std::unique_ptr<UsbTestbed> m_testbed;
    std::unique_ptr<EmulatedPrinter> m_printer;
    std::unique_ptr<LibusbSession> m_session;
    PrinterLook m_look;  // its devices go before their session
    std::unique_ptr<LibusbDeviceBus> m_bus;
};

TEST_F(LibusbDeviceBusTest, PrintersLeadToTheirUnitOrSayWhyNot) {
    DeviceRef ref;
    LocateFailure failure;
    ASSERT_TRUE(m_bus->Locate(kQueue, &ref, &failure)) << failure.detail;
    EXPECT_EQ(ref.id, "1:2");
    EXPECT_EQ(ref.serial, "KQ10SN0001");
    EXPECT_EQ(ref.location, "1-2");
    EXPECT_EQ(ref.model, "KQ-10");

    EmulatedPrinter::Identity twin;
    twin.address = 3;
    EmulatedPrinter second(*m_testbed, twin);
    // A twin that shares the serial: the queue names both and leads to neither.
    EXPECT_FALSE(m_bus->Locate(kQueue, &ref, &failure));
    // Told apart by its port, the twin leads to itself, with no serial to its name.
    ASSERT_TRUE(m_bus->Locate({"Zarvel KQ-10 (2)", "", "usb://Zarvel/KQ-10?location=1-3", 0}, &ref,
                              &failure))
        << failure.detail;
    EXPECT_EQ(ref.id, "1:3");
    EXPECT_EQ(ref.serial, "");
    EXPECT_EQ(ref.location, "1-3");

    // An address given to another device since is not the unit's.
    ref.location = "1-9";
    std::string error;
    EXPECT_FALSE(m_bus->Open(ref, &error));
    EXPECT_EQ(error, "the USB printer KQ-10 at 1-9 is no longer attached");
}

TEST_F(LibusbDeviceBusTest, VendorRequestsGoToThePrinterInterfaceWithoutAClaim) {
    EmulatedPrinter::Script script;
    script.busyPolls = 1;
    for (int i = 0; i < 266; ++i) {
        script.parameters.push_back(static_cast<std::uint8_t>(i));
    }
    m_printer->SetScript(script);
    std::unique_ptr<IDeviceLink> link = Open();
    ASSERT_TRUE(link);

    std::vector<std::uint8_t> identity(8);
    std::size_t received = 0;
    ASSERT_TRUE(Get(*link, 0x0000, &identity, &received)) << link->LastError();
    EXPECT_EQ(std::string(identity.begin(), identity.end()), std::string("SERVICE\0", 8));
    const std::uint8_t command[] = {0x01};
    ASSERT_TRUE(link->VendorSet(0xF0, 0x0008, command, sizeof command));
    std::vector<std::uint8_t> status(3);
    for (std::uint8_t expected : {0x02, 0x00}) {
        ASSERT_TRUE(Get(*link, 0x0008, &status, &received));
        EXPECT_EQ(received, 3u);
        EXPECT_EQ(status[1], expected);
    }
    std::vector<std::uint8_t> block(266);
    ASSERT_TRUE(Get(*link, 0x000A, &block, &received));
    EXPECT_EQ(received, 266u);
    EXPECT_EQ(block, script.parameters);
    ASSERT_TRUE(link->VendorSet(0xF0, 0x000A, block.data(), block.size()));
    EXPECT_EQ(m_printer->StoredParameters(), std::vector<std::uint8_t>());  // staged, not stored

    const std::vector<std::string> wire = m_printer->VendorRequests();
    ASSERT_EQ(wire.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(wire.begin(), wire.begin() + 5),
              (std::vector<std::string>{
                  "ctrl C1 F0 00 00 00 00 08 00", "ctrl 41 F0 08 00 00 00 01 00 : 01",
                  "ctrl C1 F0 08 00 00 00 03 00", "ctrl C1 F0 08 00 00 00 03 00",
                  "ctrl C1 F0 0A 00 00 00 0A 01"}));
    EXPECT_EQ(wire[5].substr(0, 42), "ctrl 41 F0 0A 00 00 00 0A 01 : 00 01 02 03");
    for (const std::string& entry : m_printer->Log()) {
        EXPECT_EQ(entry.find("claim"), std::string::npos) << entry;
    }
    EXPECT_TRUE(m_printer->KernelDriverBound());
}

TEST_F(LibusbDeviceBusTest, ReportInWholePacketsHandedOutByteByByteWithDriverDetached) {
    EmulatedPrinter::Script script;
    for (int i = 0; i < 5000; ++i) {
        script.report.push_back(static_cast<std::uint8_t>('A' + i % 26));
    }
    script.report.push_back(0x03);
    m_printer->SetScript(script);
    std::unique_ptr<IDeviceLink> link = Open();
    ASSERT_TRUE(link);
    const std::uint8_t report[] = {0x04};
    ASSERT_TRUE(link->VendorSet(0xF0, 0x0008, report, sizeof report));

    std::vector<std::uint8_t> got;
    for (int reads = 0; reads < 6000 && (got.empty() || got.back() != 0x03); ++reads) {
        std::uint8_t byte = 0;
        std::size_t n = 7;
        ASSERT_TRUE(link->ReadData(&byte, 1, &n)) << link->LastError();
        ASSERT_LE(n, 1u);
        got.insert(got.end(), &byte, &byte + n);
        if (reads == 0) {
            EXPECT_FALSE(m_printer->KernelDriverBound()) << "the report needs the interface";
        }
    }
    EXPECT_EQ(got, script.report);
    link.reset();
    EXPECT_TRUE(m_printer->KernelDriverBound()) << "the kernel driver must be back for CUPS";

    std::vector<std::string> usb;
    for (const std::string& entry : m_printer->Log()) {
        if (entry.compare(0, 4, "ctrl") != 0) {
            usb.push_back(entry);
        }
    }
    // Two reads of 8 whole 512-byte packets carry the 5001 bytes.
    EXPECT_EQ(usb, (std::vector<std::string>{"detach usblp", "claim 0", "bulk-in 4096",
                                             "bulk-in 4096", "release 0", "attach"}));
}

TEST_F(LibusbDeviceBusTest, FailuresSayTheirCauseInBoundedTime) {
    EmulatedPrinter::Script script;
    script.stallValue = 0x0008;
    script.stallBulkIn = true;
    m_printer->SetScript(script);
    std::unique_ptr<IDeviceLink> link = Open();
    ASSERT_TRUE(link);
    const std::uint8_t command[] = {0x04};
    EXPECT_FALSE(link->VendorSet(0xF0, 0x0008, command, sizeof command));
    EXPECT_EQ(link->LastError(),
              "vendor set F0 00 08: LIBUSB_ERROR_PIPE (the device stalled the request)");
    std::uint8_t byte = 0;
    std::size_t n = 5;
    EXPECT_FALSE(link->ReadData(&byte, 1, &n));
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(link->LastError(),
              "reading the data pipe: LIBUSB_ERROR_PIPE (the device stalled the request)");

    script.mode = EmulatedPrinter::Mode::kSilent;
    m_printer->SetScript(script);
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::uint8_t> identity(8);
    std::size_t received = 5;
    EXPECT_FALSE(Get(*link, 0x0000, &identity, &received));
    EXPECT_EQ(link->LastError(),
              "vendor get F0 00 00: LIBUSB_ERROR_TIMEOUT (the device did not answer in time)");
    // A read time-out is a success without a byte; the caller bounds the silence.
    script.stallBulkIn = false;
    m_printer->SetScript(script);
    EXPECT_TRUE(link->ReadData(&byte, 1, &n)) << link->LastError();
    EXPECT_EQ(n, 0u);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(elapsed, std::chrono::milliseconds(2000));
    EXPECT_GE(elapsed, std::chrono::milliseconds(550));  // both time-outs were waited out
    link.reset();
    EXPECT_TRUE(m_printer->KernelDriverBound());  // released on this way out too
}

}  // namespace
}  // namespace marnel
