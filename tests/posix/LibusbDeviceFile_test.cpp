// The libusb device file against an emulated printer on an emulated USB bus.
#include "posix/LibusbDeviceFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "EmulatedPrinter.h"
#include "posix/UsbDiscovery.h"
#include "posix/UsbVendorControl.h"

namespace marnel {
namespace {

const char kPath[] =
    "\\\\?\\USB#VID_1A2B&PID_0010#KQ10SN0001#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";

class LibusbDeviceFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!UnderUmockdev()) {
            GTEST_SKIP() << "needs umockdev-wrapper (package umockdev)";
        }
        m_testbed = std::make_unique<UsbTestbed>();
        m_printer = std::make_unique<EmulatedPrinter>(*m_testbed, EmulatedPrinter::Identity());
        m_session = std::make_unique<LibusbSession>();
        m_file = std::make_unique<LibusbDeviceFile>(*m_session, LibusbDeviceFile::Timeouts{300, 300});
    }

    void TearDown() override {
        if (m_handle != InvalidHandle()) {
            m_file->Close(m_handle);
        }
    }

    HANDLE OpenDevice() {
        m_handle = m_file->Open(kPath, 0xC0000000, 0, nullptr, 3, 0x80, nullptr);
        EXPECT_NE(m_handle, InvalidHandle()) << m_file->LastError();
        return m_handle;
    }

    BOOL Set(std::vector<std::uint8_t> request) {
        DWORD returned = 99;
        return m_file->IoControl(m_handle, kIoctlVendorSetCommand, request.data(),
                                 static_cast<DWORD>(request.size()), nullptr, 0, &returned, nullptr);
    }

    BOOL Get(std::vector<std::uint8_t> request, std::vector<std::uint8_t>* reply,
             DWORD* returned) {
        return m_file->IoControl(m_handle, kIoctlVendorGetCommand, request.data(),
                                 static_cast<DWORD>(request.size()), reply->data(),
                                 static_cast<DWORD>(reply->size()), returned, nullptr);
    }

    std::unique_ptr<UsbTestbed> m_testbed;
    std::unique_ptr<EmulatedPrinter> m_printer;
    std::unique_ptr<LibusbSession> m_session;
    std::unique_ptr<LibusbDeviceFile> m_file;
    HANDLE m_handle = InvalidHandle();
};

TEST_F(LibusbDeviceFileTest, IdentityAndParameterReadWithStatusPolls) {
    EmulatedPrinter::Script script;
    script.busyPolls = 2;
    for (int i = 0; i < 266; ++i) {
        script.parameters.push_back(static_cast<std::uint8_t>(i));
    }
    m_printer->SetScript(script);
    OpenDevice();

    std::vector<std::uint8_t> identity(8);
    DWORD returned = 0;
    ASSERT_TRUE(Get({0xF0, 0x00, 0x00}, &identity, &returned)) << m_file->LastError();
    EXPECT_EQ(returned, 8u);
    EXPECT_EQ(std::string(identity.begin(), identity.end()), std::string("SERVICE\0", 8));

    ASSERT_TRUE(Set({0xF0, 0x00, 0x08, 0x01}));
    std::vector<std::uint8_t> status(3);
    for (std::uint8_t expected : {0x02, 0x02, 0x00}) {
        status = {0x00, 0x02, 0x00};
        ASSERT_TRUE(Get({0xF0, 0x00, 0x08, 0x01}, &status, &returned));
        EXPECT_EQ(returned, 3u);
        EXPECT_EQ(status[1], expected);
    }
    std::vector<std::uint8_t> block(266);
    ASSERT_TRUE(Get({0xF0, 0x00, 0x0A, 0x01}, &block, &returned));
    EXPECT_EQ(returned, 266u);
    EXPECT_EQ(block, script.parameters);

    // Exactly these setup packets reached the device, and nothing claimed the
    // interface: vendor requests leave the kernel driver alone.
    const std::vector<std::string> expected = {
        "ctrl C1 F0 00 00 00 00 08 00",      "ctrl 41 F0 08 00 00 00 01 00 : 01",
        "ctrl C1 F0 08 00 00 00 03 00",      "ctrl C1 F0 08 00 00 00 03 00",
        "ctrl C1 F0 08 00 00 00 03 00",      "ctrl C1 F0 0A 00 00 00 0A 01",
    };
    EXPECT_EQ(m_printer->VendorRequests(), expected);
    for (const std::string& entry : m_printer->Log()) {
        EXPECT_EQ(entry.find("claim"), std::string::npos) << entry;
    }
    EXPECT_TRUE(m_printer->KernelDriverBound());
}

TEST_F(LibusbDeviceFileTest, ParameterWriteStoreAndVersion) {
    EmulatedPrinter::Script script;
    script.busyPolls = 1;
    script.version = {'V', '2', '.', '0', '1', '.', '0', '7', 'Z'};
    m_printer->SetScript(script);
    OpenDevice();

    std::vector<std::uint8_t> write = {0xF0, 0x00, 0x0A};
    std::vector<std::uint8_t> block;
    for (int i = 0; i < 266; ++i) {
        block.push_back(static_cast<std::uint8_t>(255 - i));
    }
    write.insert(write.end(), block.begin(), block.end());
    ASSERT_TRUE(Set(write)) << m_file->LastError();
    ASSERT_TRUE(Set({0xF0, 0x00, 0x08, 0x02, 0x02}));
    std::vector<std::uint8_t> status(3);
    DWORD returned = 0;
    ASSERT_TRUE(Get({0xF0, 0x00, 0x08, 0x02, 0x02}, &status, &returned));
    EXPECT_EQ(status[1], 0x02);
    ASSERT_TRUE(Get({0xF0, 0x00, 0x08, 0x02, 0x02}, &status, &returned));
    EXPECT_EQ(status[1], 0x00);
    EXPECT_EQ(m_printer->StoredParameters(), block);

    ASSERT_TRUE(Set({0xF0, 0x00, 0x08, 0x03}));
    ASSERT_TRUE(Get({0xF0, 0x00, 0x08, 0x03}, &status, &returned));
    ASSERT_TRUE(Get({0xF0, 0x00, 0x08, 0x03}, &status, &returned));
    std::vector<std::uint8_t> version(9);
    ASSERT_TRUE(Get({0xF0, 0x00, 0x0A, 0x03}, &version, &returned));
    EXPECT_EQ(returned, 9u);
    EXPECT_EQ(version, script.version);
    const std::vector<std::string> log = m_printer->VendorRequests();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front().substr(0, 35), "ctrl 41 F0 0A 00 00 00 0A 01 : FF F");
}

TEST_F(LibusbDeviceFileTest, ReportInWholePacketsHandedOutByteByByteWithDriverDetached) {
    EmulatedPrinter::Script script;
    for (int i = 0; i < 5000; ++i) {
        script.report.push_back(static_cast<std::uint8_t>('A' + i % 26));
    }
    script.report.push_back(0x03);
    m_printer->SetScript(script);
    OpenDevice();
    ASSERT_TRUE(Set({0xF0, 0x00, 0x08, 0x04}));

    std::vector<std::uint8_t> got;
    for (int reads = 0; reads < 6000; ++reads) {
        std::uint8_t byte = 0;
        DWORD n = 7;
        ASSERT_TRUE(m_file->Read(m_handle, &byte, 1, &n, nullptr)) << m_file->LastError();
        ASSERT_LE(n, 1u);
        if (n == 1) {
            got.push_back(byte);
            if (byte == 0x03) {
                break;
            }
        }
        if (reads == 0) {
            EXPECT_FALSE(m_printer->KernelDriverBound()) << "the report needs the interface";
        }
    }
    EXPECT_EQ(got, script.report);
    m_file->Close(m_handle);
    m_handle = InvalidHandle();
    EXPECT_TRUE(m_printer->KernelDriverBound()) << "the kernel driver must be back for CUPS";

    std::vector<std::string> usb;
    for (const std::string& entry : m_printer->Log()) {
        if (entry.compare(0, 4, "ctrl") != 0) {
            usb.push_back(entry);
        }
    }
    // Two reads of 8 whole 512-byte packets carry the 5001 bytes.
    const std::vector<std::string> expected = {"detach usblp", "claim 0",   "bulk-in 4096",
                                               "bulk-in 4096", "release 0", "attach"};
    EXPECT_EQ(usb, expected);
}

TEST_F(LibusbDeviceFileTest, StallsFailTheTransferWithTheirCause) {
    EmulatedPrinter::Script script;
    script.stallValue = 0x0008;
    script.stallBulkIn = true;
    m_printer->SetScript(script);
    OpenDevice();
    std::vector<std::uint8_t> identity(8);
    DWORD returned = 0;
    EXPECT_TRUE(Get({0xF0, 0x00, 0x00}, &identity, &returned));
    EXPECT_FALSE(Set({0xF0, 0x00, 0x08, 0x04}));
    EXPECT_NE(m_file->LastError().find("LIBUSB_ERROR_PIPE"), std::string::npos)
        << m_file->LastError();
    EXPECT_NE(m_file->LastError().find("vendor set F0 00 08"), std::string::npos);

    std::uint8_t byte = 0;
    DWORD n = 0;
    EXPECT_FALSE(m_file->Read(m_handle, &byte, 1, &n, nullptr));
    EXPECT_EQ(n, 0u);
    EXPECT_NE(m_file->LastError().find("LIBUSB_ERROR_PIPE"), std::string::npos);
    m_file->Close(m_handle);
    m_handle = InvalidHandle();
    EXPECT_TRUE(m_printer->KernelDriverBound());  // released on this way out too
}

TEST_F(LibusbDeviceFileTest, SilentDeviceEndsRequestsInBoundedTime) {
    OpenDevice();
    EmulatedPrinter::Script script;
    script.mode = EmulatedPrinter::Mode::kSilent;
    m_printer->SetScript(script);

    const auto start = std::chrono::steady_clock::now();
    std::vector<std::uint8_t> identity(8);
    DWORD returned = 5;
    EXPECT_FALSE(Get({0xF0, 0x00, 0x00}, &identity, &returned));
    EXPECT_EQ(returned, 0u);
    EXPECT_NE(m_file->LastError().find("LIBUSB_ERROR_TIMEOUT"), std::string::npos);

    // A read time-out is a success without a byte; the caller bounds the silence.
    std::uint8_t byte = 0;
    DWORD n = 9;
    EXPECT_TRUE(m_file->Read(m_handle, &byte, 1, &n, nullptr)) << m_file->LastError();
    EXPECT_EQ(n, 0u);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(elapsed, std::chrono::milliseconds(2000));
    EXPECT_GE(elapsed, std::chrono::milliseconds(550));  // both time-outs were waited out
}

TEST_F(LibusbDeviceFileTest, OpenFailsForPathsThatNameNoAttachedPrinter) {
    const char* paths[] = {
        "\\\\?\\USB#VID_1A2B&PID_0010#OTHERSERIAL#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}",
        "\\\\?\\USB#VID_1A2B&PID_0011#KQ10SN0001#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}",
        "\\\\?\\USB#VID_1A2B&PID_0010#KQ10SN0001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}",
        "/dev/usb/lp0",
        "",
    };
    for (const char* path : paths) {
        SCOPED_TRACE(path);
        EXPECT_EQ(m_file->Open(path, 0, 0, nullptr, 3, 0x80, nullptr), InvalidHandle());
        EXPECT_FALSE(m_file->LastError().empty());
    }
    // By bus location, as for a device without a usable serial.
    HANDLE h = m_file->Open(
        "\\\\?\\USB#VID_1A2B&PID_0010#BUS001&DEV002#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}", 0, 0,
        nullptr, 3, 0x80, nullptr);
    EXPECT_NE(h, InvalidHandle()) << m_file->LastError();
    m_file->Close(h);
}

}  // namespace
}  // namespace marnel
