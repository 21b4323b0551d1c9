// The port's link over the simulated device file: a port is closed until a
// unit opens, destruction closes once, vendor requests and reads reach the
// device as they were asked.
#include <gtest/gtest.h>

#include "SimPortHarness.h"
#include "sim/SimWorld.h"

namespace marnel {
namespace {

using namespace test;

TEST(PortHandleTest, ClosedUntilOpenedAndClosedOnceOnDestruction) {
    DeviceBench world;
    {
        TestPort never(world.services);
        EXPECT_FALSE(never.IsOpen());
    }
    EXPECT_TRUE(world.files.Closes().empty()) << "a closed port closes nothing";

    HANDLE handle = nullptr;
    {
        auto port = world.OpenPort();
        ASSERT_TRUE(port->IsOpen());
        handle = world.files.Opens().back().result;
        EXPECT_EQ(world.files.OpenHandleCount(), 1u);
    }
    EXPECT_EQ(world.files.Closes(), std::vector<HANDLE>{handle});
    EXPECT_EQ(world.files.OpenHandleCount(), 0u);
    EXPECT_EQ(world.files.BadHandleCalls(), 0u);
}

TEST(PortHandleTest, DeviceOpensForOneHandleAtATime) {
    DeviceBench world;
    auto first = world.OpenPort();
    auto second = world.OpenPort();
    EXPECT_TRUE(first->IsOpen());
    EXPECT_FALSE(second->IsOpen());

    first.reset();
    auto third = world.OpenPort();
    EXPECT_TRUE(third->IsOpen());
    EXPECT_TRUE(third->IsServiceMode());
}

TEST(PortHandleTest, PathsAreMatchedIgnoringCaseAndUnknownPathsFail) {
    DeviceBench world;
    std::string upper = kDevicePath;
    for (char& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    const HANDLE h = world.files.Open(upper, 0xC0000000, 0, nullptr, 3, 0x80, nullptr);
    EXPECT_NE(h, InvalidHandle());
    EXPECT_EQ(world.files.Close(h), 1);

    EXPECT_EQ(world.files.Open("\\\\?\\usb#other", 0xC0000000, 0, nullptr, 3, 0x80, nullptr),
              InvalidHandle());
    const auto& call = world.files.Opens().back();
    EXPECT_EQ(call.result, InvalidHandle());
    EXPECT_EQ(call.desiredAccess, 0xC0000000u);
    EXPECT_EQ(call.creationDisposition, 3u);
    EXPECT_EQ(call.flagsAndAttributes, 0x80u);
}

TEST(PortHandleTest, VendorRequestsAndReadsReachTheDeviceAsAsked) {
    DeviceBench world(SimModel::kZT5);
    auto port = world.OpenPort();

    const std::uint8_t report[] = {0x04};
    EXPECT_TRUE(port->VendorSet(0xF0, 0x0008, report, 1));
    std::uint8_t byte = 0;
    std::size_t got = 0;
    EXPECT_TRUE(port->ReadData(&byte, 1, &got));
    EXPECT_EQ(got, 1u);
    EXPECT_EQ(byte, static_cast<std::uint8_t>(DefaultReportText(SimModel::kZT5)[0]));

    std::uint8_t reply[3] = {};
    EXPECT_FALSE(port->VendorGet(0xF0, 0x0007, nullptr, 0, reply, 3, &got));

    const auto& log = world.device.Log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].controlCode, kIoctlVendorSetCommand);
    EXPECT_EQ(log[0].request, (std::vector<std::uint8_t>{0xF0, 0x00, 0x08, 0x04}));
    EXPECT_EQ(log[1].op, SimLogEntry::Op::kRead);
    EXPECT_EQ(log[1].replyCapacity, 1u);
    EXPECT_EQ(log[2].request, (std::vector<std::uint8_t>{0xF0, 0x00, 0x07}));
    EXPECT_EQ(log[2].replyCapacity, 3u);
    EXPECT_TRUE(log[2].unexpected);
    world.expectedUnexpected = 1;  // the bench checks the count as it ends
}

TEST(PortHandleTest, ClosedOrUnpluggedPortFails) {
    DeviceBench world;
    TestPort closed(world.services);
    std::uint8_t byte = 0;
    std::size_t got = 0;
    EXPECT_FALSE(closed.ReadData(&byte, 1, &got));
    EXPECT_FALSE(closed.IsServiceMode());
    EXPECT_EQ(world.files.BadHandleCalls(), 0u) << "a closed port asks nothing of the device file";
    EXPECT_TRUE(world.device.Log().empty());

    auto port = world.OpenPort();
    world.files.Detach(kDevicePath);
    const Status identity = port->IsServiceMode();
    EXPECT_FALSE(identity);
    EXPECT_EQ(identity.Error().Describe(), "identity: the control request failed");
    EXPECT_TRUE(world.device.Log().empty());
}

TEST(PortHandleTest, OneArgumentOpenResolvesThePrinter) {
    SimWorld world;
    SimInstalledDevice& kq10 = world.AddDevice();
    SimInstalledDevice& zt5 = world.AddDevice(SimDeviceSetup(SimModel::kZT5));
    {
        CDevicePort port(world.Services());
        ASSERT_EQ(port.Open("Zarvel ZT-5"), 1);
        const auto& call = world.DeviceFile().Opens().back();
        // The open's fixed arguments are the locator's, pinned with the walks.
        EXPECT_EQ(call.path, zt5.devicePath);
        EXPECT_TRUE(port.IsServiceMode());
        EXPECT_EQ(zt5.device.Log().size(), 1u);
        EXPECT_TRUE(kq10.device.Log().empty());

        // The device is taken, whichever of its paths the next open uses.
        world.Version().SetPlatformId(kPlatformWin32Windows);
        CDevicePort second(world.Services());
        EXPECT_EQ(second.Open("Zarvel ZT-5"), 0);
        EXPECT_EQ(world.DeviceFile().Opens().back().path, zt5.devicePath9x);
    }
    EXPECT_EQ(world.DeviceFile().OpenHandleCount(), 0u);

    CDevicePort again(world.Services());
    EXPECT_EQ(again.Open("Zarvel ZT-5"), 1) << "free again once the first port is gone";

    world.Unplug("Zarvel KQ-10");
    CDevicePort unplugged(world.Services());
    EXPECT_EQ(unplugged.Open("Zarvel KQ-10"), 0);
    CDevicePort unnamed(world.Services());
    EXPECT_EQ(unnamed.Open(""), 0);
}

}  // namespace
}  // namespace marnel
