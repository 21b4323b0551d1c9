// The port's handle over the simulated device file: closed means invalid,
// destruction closes once, reads and device controls pass through.
#include <gtest/gtest.h>

#include "SimPortHarness.h"

namespace marnel {
namespace {

using namespace test;

TEST(PortHandleTest, ClosedUntilOpenedAndClosedOnceOnDestruction) {
    SimWorld world;
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
    SimWorld world;
    auto first = world.OpenPort();
    auto second = world.OpenPort();
    EXPECT_NE(first->Handle(), InvalidHandle());
    EXPECT_EQ(second->Handle(), InvalidHandle());

    first.reset();
    auto third = world.OpenPort();
    EXPECT_NE(third->Handle(), InvalidHandle());
    EXPECT_EQ(third->IsServiceMode(), 1);
}

TEST(PortHandleTest, PathsAreMatchedIgnoringCaseAndUnknownPathsFail) {
    SimWorld world;
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
    SimWorld world(SimModel::kZT5);
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
    EXPECT_EQ(world.device.UnexpectedCount(), 2u);
}

TEST(PortHandleTest, ClosedOrUnpluggedPortFailsInThePlatformCall) {
    SimWorld world;
    TestPort closed(world.services);
    std::uint8_t byte = 0;
    DWORD got = 0;
    EXPECT_EQ(closed.Read(&byte, 1, &got, nullptr), 0);
    EXPECT_EQ(closed.IsServiceMode(), 0);
    EXPECT_EQ(world.files.BadHandleCalls(), 2u);
    EXPECT_TRUE(world.device.Log().empty());

    auto port = world.OpenPort();
    world.files.Detach(kDevicePath);
    EXPECT_EQ(port->IsServiceMode(), 0);
    EXPECT_EQ(DescribeFailure(port->LastFailure()), "identity: the control request failed");
    EXPECT_TRUE(world.device.Log().empty());
}

TEST(PortHandleTest, OneArgumentOpenFailsWithoutAResolvablePrinter) {
    SimWorld world;
    CDevicePort port(world.services);
    EXPECT_EQ(port.Open(""), 0);
    EXPECT_TRUE(world.files.Opens().empty());
}

}  // namespace
}  // namespace marnel
