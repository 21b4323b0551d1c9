// The port's handle over the simulated device file: closed means invalid,
// destruction closes once, reads and device controls pass through.
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
        EXPECT_EQ(never.Handle(), InvalidHandle());
    }
    EXPECT_TRUE(world.files.Closes().empty()) << "a closed port closes nothing";

    HANDLE handle = nullptr;
    {
        auto port = world.OpenPort();
        handle = port->Handle();
        ASSERT_NE(handle, InvalidHandle());
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
    EXPECT_NE(first->Handle(), InvalidHandle());
    EXPECT_EQ(second->Handle(), InvalidHandle());

    first.reset();
    auto third = world.OpenPort();
    EXPECT_NE(third->Handle(), InvalidHandle());
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

TEST(PortHandleTest, ReadAndIoControlPassThroughUnchanged) {
    DeviceBench world(SimModel::kZT5);
    auto port = world.OpenPort();

    std::uint8_t request[] = {0xF0, 0x00, 0x08, 0x04};
    DWORD returned = 99;
    EXPECT_EQ(port->IoControl(0x220038, request, 4, nullptr, 0, &returned, nullptr), 1);
    std::uint8_t byte = 0;
    DWORD got = 0;
    EXPECT_EQ(port->Read(&byte, 1, &got, nullptr), 1);
    EXPECT_EQ(got, 1u);
    EXPECT_EQ(byte, static_cast<std::uint8_t>(DefaultReportText(SimModel::kZT5)[0]));

    std::uint8_t unknown[] = {0xF0, 0x00, 0x07};
    std::uint8_t reply[3] = {};
    EXPECT_EQ(port->IoControl(0x22003C, unknown, 3, reply, 3, &returned, nullptr), 0);
    EXPECT_EQ(port->IoControl(0x220040, request, 4, nullptr, 0, &returned, nullptr), 0);

    const auto& log = world.device.Log();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].request, (std::vector<std::uint8_t>{0xF0, 0x00, 0x08, 0x04}));
    EXPECT_EQ(log[1].op, SimLogEntry::Op::kRead);
    EXPECT_EQ(log[1].replyCapacity, 1u);
    EXPECT_EQ(log[2].replyCapacity, 3u);
    EXPECT_TRUE(log[2].unexpected);
    EXPECT_EQ(log[3].controlCode, 0x220040u);
    world.expectedUnexpected = 2;  // the bench checks the count as it ends
}

TEST(PortHandleTest, ClosedOrUnpluggedPortFailsInThePlatformCall) {
    DeviceBench world;
    TestPort closed(world.services);
    std::uint8_t byte = 0;
    DWORD got = 0;
    EXPECT_EQ(closed.Read(&byte, 1, &got, nullptr), 0);
    EXPECT_FALSE(closed.IsServiceMode());
    EXPECT_EQ(world.files.BadHandleCalls(), 2u);
    EXPECT_TRUE(world.device.Log().empty());

    auto port = world.OpenPort();
    world.files.Detach(kDevicePath);
    const Status identity = port->IsServiceMode();
    EXPECT_FALSE(identity);
    EXPECT_EQ(identity.Error().Describe(), "identity: the control request failed");
    EXPECT_TRUE(world.device.Log().empty());
}

TEST(PortHandleTest, OneArgumentOpenResolvesThePrinterWithFixedArguments) {
    SimWorld world;
    SimInstalledDevice& kq10 = world.AddDevice();
    SimInstalledDevice& zt5 = world.AddDevice(SimDeviceSetup(SimModel::kZT5));
    {
        CDevicePort port(world.Services());
        ASSERT_EQ(port.Open("Zarvel ZT-5"), 1);
        const auto& call = world.DeviceFile().Opens().back();
        EXPECT_EQ(call.path, zt5.devicePath);
        EXPECT_EQ(call.desiredAccess, 0xC0000000u);  // GENERIC_READ | GENERIC_WRITE
        EXPECT_EQ(call.shareMode, 0u);
        EXPECT_EQ(call.securityAttributes, nullptr);
        EXPECT_EQ(call.creationDisposition, 3u);    // OPEN_EXISTING
        EXPECT_EQ(call.flagsAndAttributes, 0x80u);  // FILE_ATTRIBUTE_NORMAL
        EXPECT_EQ(call.templateFile, nullptr);
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
