// An emulated Zarvel printer on an emulated USB bus (umockdev), answering the
// host's usbfs requests the way the device does: its identity "SERVICE",
// commands with status polls, the parameter block, the version and the
// report over bulk IN in whole packets, and a kernel printer driver that a
// claim detaches and a release re-attaches. Faults: a stall, a silent device,
// update mode, refused stores, a bulk OUT pipe that fills. It can be
// unplugged. Tests run under umockdev-wrapper.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/DeviceBus.h"

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;

namespace marnel {

// True when the process runs with umockdev's preload library.
bool UnderUmockdev();

// The private CUPS server's folder (MARNEL_TEST_CUPS_DIR); empty without one.
std::string CupsDir();

// Why the bench cannot be had here: umockdev, the private CUPS server and its
// usb:// queue for the emulated KQ-10. Empty when it can.
std::string BenchMissing();

class UsbTestbed;

class EmulatedPrinter {
public:
    struct Identity {
        std::uint16_t vendorId = kMakerVendorId;
        std::uint16_t productId = 0x0010;
        std::string manufacturer = "Zarvel";
        std::string model = "KQ-10";
        std::string serial = "KQ10SN0001";
        std::uint8_t address = 2;  // on bus 1
    };

    // The bench's second printer: a ZT-5 beside the default KQ-10.
    static Identity ZT5() {
        Identity zt;
        zt.productId = 0x0020;
        zt.model = "ZT-5";
        zt.serial = "ZT5SN0042";
        zt.address = 3;
        return zt;
    }

    enum class Mode {
        kService,  // answers as a device in service mode
        kUpdate,   // restarted for a firmware update: the identity request stalls
        kSilent,   // never completes a transfer
    };

    // Behaviour, set by a test before the host talks to the device.
    struct Script {
        Mode mode = Mode::kService;
        int busyPolls = 0;                // status polls answered busy before the answer
        std::uint8_t finalStatus = 0x00;  // the answer after them
        std::vector<std::uint8_t> report;       // sent over bulk IN after command 04
        std::vector<std::uint8_t> version;      // the reply to F0 00 0A after command 03
        std::vector<std::uint8_t> parameters;   // the reply to F0 00 0A after command 01
        bool stallBulkIn = false;
        std::uint16_t stallValue = 0xFFFF;      // a vendor request with this wValue stalls
        bool answersDeviceId = true;            // GET_DEVICE_ID, as a bound kernel driver would refuse
        bool refusesStores = false;             // a store keeps the old block and its status fails
        // From now on the bulk OUT pipe takes this many bytes, whole
        // transfers only, and then stalls, or never answers again.
        std::size_t bulkOutTakes = SIZE_MAX;
        bool bulkOutStallsWhenFull = false;
    };

    EmulatedPrinter(UsbTestbed& testbed, const Identity& identity);
    ~EmulatedPrinter();
    EmulatedPrinter(const EmulatedPrinter&) = delete;
    EmulatedPrinter& operator=(const EmulatedPrinter&) = delete;

    void SetScript(const Script& script);

    // Takes the device off the bus, as pulling its cable would: the host no
    // longer lists it and its open handles fail. What it received stays
    // readable. The destructor unplugs it too.
    void Unplug();

    // What the host did, in order: "ctrl C1 F0 00 00 00 00 08 00" (with
    // " : <data>" for an OUT data stage), "bulk-in <length>", "bulk-out <length>",
    // "detach usblp", "claim <n>", "release <n>", "attach".
    std::vector<std::string> Log() const;
    // Only the vendor requests (bRequest F0) of the log.
    std::vector<std::string> VendorRequests() const;
    std::vector<std::uint8_t> BulkOutData() const;
    // The last block a store kept; empty when none did.
    std::vector<std::uint8_t> StoredParameters() const;
    bool KernelDriverBound() const;

    const Identity& Id() const { return m_identity; }

private:
    static int OnIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, void* self);
    bool HandleIoctl(UMockdevIoctlClient* client);
    void SubmitUrb(UMockdevIoctlData* urbData);
    bool AnswerControl(const std::uint8_t* setup, std::uint8_t* data, int* actual);
    void Finish(UMockdevIoctlData* urbData, int status, int actual);

    UsbTestbed& m_testbed;
    Identity m_identity;
    std::string m_strDevNode;
    UMockdevIoctlBase* m_pHandler = nullptr;
    bool m_plugged = true;

    mutable std::mutex m_mutex;
    Script m_script;
    std::vector<std::string> m_log;
    std::deque<UMockdevIoctlData*> m_reapable;
    std::vector<UMockdevIoctlData*> m_pending;  // never answered (silent device, empty pipe)
    std::deque<std::uint8_t> m_bulkIn;
    std::vector<std::uint8_t> m_command;
    std::vector<std::uint8_t> m_staged;
    std::vector<std::uint8_t> m_stored;
    std::vector<std::uint8_t> m_bulkOut;
    std::size_t m_bulkOutBeforeScript = 0;
    int m_busyLeft = 0;
    bool m_driverBound = true;
};

// One emulated USB bus; devices are added to it by EmulatedPrinter.
class UsbTestbed {
public:
    UsbTestbed();
    ~UsbTestbed();
    UsbTestbed(const UsbTestbed&) = delete;
    UsbTestbed& operator=(const UsbTestbed&) = delete;
    UMockdevTestbed* Get() { return m_pTestbed; }

private:
    UMockdevTestbed* m_pTestbed;
};

// The bench every test on the emulated bus starts from: a KQ-10 and a ZT-5
// attached, or the test skipped with the reason the bench cannot be had.
class EmulatedBenchTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string missing = BenchMissing();
        if (!missing.empty()) {
            GTEST_SKIP() << missing;
        }
        m_testbed = std::make_unique<UsbTestbed>();
        m_kq = std::make_unique<EmulatedPrinter>(*m_testbed, EmulatedPrinter::Identity());
        m_zt = std::make_unique<EmulatedPrinter>(*m_testbed, EmulatedPrinter::ZT5());
    }

    std::unique_ptr<UsbTestbed> m_testbed;
    std::unique_ptr<EmulatedPrinter> m_kq;
    std::unique_ptr<EmulatedPrinter> m_zt;
};

}  // namespace marnel
