// The identity check, status polling and the parameter block transfers,
// pinned against the simulated device's request log and the virtual clock.
#include <gtest/gtest.h>

#include <cstring>
#include <new>

#include "SimPortHarness.h"
#include "protocol/ParameterBlock.h"

namespace marnel {
namespace {

using namespace test;

class ParameterTransferTest : public ::testing::Test {
protected:
    explicit ParameterTransferTest(SimModel model = SimModel::kKQ10) : world(model) {}

    std::vector<std::uint64_t> RequestTimes() const {
        std::vector<std::uint64_t> times;
        for (const SimLogEntry& e : world.device.ControlLog()) {
            times.push_back(e.atMs);
        }
        return times;
    }

    DeviceBench world;
    std::unique_ptr<TestPort> port = world.OpenPort();
    std::vector<std::uint8_t> block = std::vector<std::uint8_t>(kParameterBlockSize, 0);
};

TEST_F(ParameterTransferTest, ServiceModeNeedsExactlySERVICEAndAZeroInEightBytes) {
    using Bytes = std::vector<std::uint8_t>;
    struct Case {
        const char* name;
        Bytes reply;
        BOOL expected;
    };
    const Case cases[] = {
        {"SERVICE and zero", {'S', 'E', 'R', 'V', 'I', 'C', 'E', 0}, 1},
        {"seven bytes", {'S', 'E', 'R', 'V', 'I', 'C', 'E'}, 0},
        {"nothing", {}, 0},
        {"non-zero eighth byte", {'S', 'E', 'R', 'V', 'I', 'C', 'E', '!'}, 0},
        {"lower case", {'s', 'e', 'r', 'v', 'i', 'c', 'e', 0}, 0},
        {"update loader", {'U', 'P', 'D', 'A', 'T', 'E', 0, 0}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        world.device.ClearLog();
        world.device.Faults().identityReply = c.reply;
        EXPECT_EQ(port->IsServiceMode(), c.expected);
        EXPECT_EQ(Requests(world.device), std::vector<Request>{Identity()});
        EXPECT_EQ(port->LastFailure().kind,
                  c.expected ? FailureKind::kNone : FailureKind::kWrongIdentity);
    }
}

TEST_F(ParameterTransferTest, NoRequestFollowsAFailedIdentity) {
    world.device.Faults().failControlCalls = {1};
    EXPECT_EQ(port->ReadParameterBlock(block.data(), 266), 0);
    world.device.SetMode(SimMode::kUpdate);
    EXPECT_EQ(port->WriteParameterBlock(block.data(), 266), 0);
    EXPECT_EQ(Requests(world.device), Repeat(Identity(), 2));
    EXPECT_TRUE(world.clock.Sleeps().empty());
    EXPECT_EQ(port->LastFailure().kind, FailureKind::kWrongIdentity);
}

TEST_F(ParameterTransferTest, ReadSendsTheTableRequestsAndDeliversTheBlock) {
    ASSERT_EQ(port->ReadParameterBlock(block.data(), 266), 1);
    EXPECT_EQ(Requests(world.device),
              (std::vector<Request>{Identity(), StartParameterRead(), ParameterReadStatus(),
                                    ParameterDataRead()}));
    EXPECT_EQ(world.clock.Sleeps(), std::vector<DWORD>{100});
    EXPECT_EQ(block, world.device.ParameterBlock());
    EXPECT_EQ(port->LastFailure().kind, FailureKind::kNone);
    EXPECT_EQ(world.device.UnexpectedCount(), 0u);
}

TEST_F(ParameterTransferTest, ReadPollsFourTimesAtHundredMilliseconds) {
    world.device.Faults().busyPolls = 3;  // done at the fourth poll
    ASSERT_EQ(port->ReadParameterBlock(block.data(), 266), 1);
    EXPECT_EQ(Requests(world.device), Concat({{Identity(), StartParameterRead()},
                                              Repeat(ParameterReadStatus(), 4),
                                              {ParameterDataRead()}}));
    // Each poll comes after its sleep.
    EXPECT_EQ(RequestTimes(), (std::vector<std::uint64_t>{0, 0, 100, 200, 300, 400, 400}));

    world.device.ClearLog();
    world.clock.ClearSleeps();
    world.device.Faults().busyPolls = 4;
    EXPECT_EQ(port->ReadParameterBlock(block.data(), 266), 0);
    EXPECT_EQ(Requests(world.device),
              Concat({{Identity(), StartParameterRead()}, Repeat(ParameterReadStatus(), 4)}));
    EXPECT_EQ(world.clock.Sleeps(), std::vector<DWORD>(4, 100));
    EXPECT_EQ(port->LastFailure().kind, FailureKind::kPollsExhausted);
    EXPECT_EQ(port->LastFailure().busyPolls, 4);
}

TEST_F(ParameterTransferTest, FailedStatusGetsAreSpentPolls) {
    world.device.Faults().failControlCalls = {3, 4, 5, 6};
    EXPECT_EQ(port->ReadParameterBlock(block.data(), 266), 0);
    EXPECT_EQ(world.clock.Sleeps(), std::vector<DWORD>(4, 100));
    EXPECT_EQ(Requests(world.device).size(), 6u);
    EXPECT_EQ(port->LastFailure().failedPolls, 4);

    world.device.ClearLog();
    world.device.Faults().failControlCalls = {3, 4, 5};  // the fourth poll answers done
    EXPECT_EQ(port->ReadParameterBlock(block.data(), 266), 1);
    EXPECT_EQ(Requests(world.device).back(), ParameterDataRead());
}

TEST_F(ParameterTransferTest, StatusByteDecidesAlone) {
    world.device.Faults().statusPadding = 0xFF;  // FF 00 FF is done
    EXPECT_EQ(port->ReadParameterBlock(block.data(), 266), 1);

    world.device.ClearLog();
    world.clock.ClearSleeps();
    world.device.Faults().statusPadding = 0x00;
    world.device.Faults().failedStatus = 0x01;
    EXPECT_EQ(port->ReadParameterBlock(block.data(), 266), 0);
    EXPECT_EQ(Requests(world.device),
              (std::vector<Request>{Identity(), StartParameterRead(), ParameterReadStatus()}));
    EXPECT_EQ(world.clock.Sleeps(), std::vector<DWORD>{100});
    EXPECT_EQ(port->LastFailure().kind, FailureKind::kFailedStatus);
    EXPECT_EQ(port->LastFailure().status, 0x01);
    EXPECT_EQ(DescribeFailure(port->LastFailure()),
              "parameter read status: the device reported failure (status 0x01)");
}

TEST_F(ParameterTransferTest, EmptyStatusReplyCountsAsBusy) {
    world.device.Faults().statusReplyLength = 0;
    EXPECT_EQ(port->ReadParameterBlock(block.data(), 266), 0);
    EXPECT_EQ(Requests(world.device).size(), 6u);
    EXPECT_EQ(port->LastFailure().busyPolls, 4);
}

TEST_F(ParameterTransferTest, FailedCommandEndsBeforeAnySleep) {
    world.device.Faults().failControlCalls = {2};
    EXPECT_EQ(port->ReadParameterBlock(block.data(), 266), 0);
    EXPECT_EQ(Requests(world.device), (std::vector<Request>{Identity(), StartParameterRead()}));
    EXPECT_TRUE(world.clock.Sleeps().empty());
    EXPECT_EQ(DescribeFailure(port->LastFailure()),
              "start parameter read: the control request failed");
}

TEST_F(ParameterTransferTest, BadChecksumFailsButKeepsTheDeliveredBytes) {
    auto corrupt = world.device.ParameterBlock();
    corrupt[20] ^= 0x40;
    world.device.SetParameterBlock(corrupt);
    EXPECT_EQ(port->ReadParameterBlock(block.data(), 266), 0);
    EXPECT_EQ(block, corrupt);
    EXPECT_EQ(port->LastFailure().kind, FailureKind::kBadChecksum);
}

TEST_F(ParameterTransferTest, ShortReplyLeavesTheRestOfTheBuffer) {
    world.device.Faults().dataReplyLength = 100;
    std::fill(block.begin(), block.end(), 0xEE);
    EXPECT_EQ(port->ReadParameterBlock(block.data(), 266), 0);
    const auto& device = world.device.ParameterBlock();
    EXPECT_TRUE(std::equal(block.begin(), block.begin() + 100, device.begin()));
    EXPECT_TRUE(std::all_of(block.begin() + 100, block.end(), [](auto b) { return b == 0xEE; }));
}

TEST_F(ParameterTransferTest, BufferSmallerThanABlockIsRefusedBeforeSending) {
    EXPECT_EQ(port->ReadParameterBlock(block.data(), 265), 0);
    EXPECT_TRUE(world.device.Log().empty());
    EXPECT_EQ(port->LastFailure().kind, FailureKind::kBufferTooSmall);
}

TEST_F(ParameterTransferTest, WriteSendsTheBlockUnchangedThenStores) {
    auto written = DefaultParameterBlock(SimModel::kKQ10);
    written[40] = 0x12;
    ASSERT_TRUE(StoreParameterChecksum(written.data()));
    const auto copy = written;

    ASSERT_EQ(port->WriteParameterBlock(written.data(), 266), 1);
    std::vector<std::uint8_t> dataWrite = {0xF0, 0x00, 0x0A};
    dataWrite.insert(dataWrite.end(), written.begin(), written.end());
    EXPECT_EQ(Requests(world.device),
              (std::vector<Request>{Identity(), Set(dataWrite), StoreParameters(), StoreStatus()}));
    EXPECT_EQ(Requests(world.device)[1].bytes.size(), 269u);
    EXPECT_EQ(world.clock.Sleeps(), (std::vector<DWORD>{500, 100}));
    EXPECT_EQ(world.device.ParameterBlock(), written);
    EXPECT_EQ(written, copy);
}

TEST_F(ParameterTransferTest, StoreWaitsThenPollsTenTimes) {
    world.device.Faults().busyPolls = 9;
    auto good = DefaultParameterBlock(SimModel::kKQ10);
    auto bad = good;
    bad[264] ^= 0x01;
    EXPECT_EQ(port->WriteParameterBlock(bad.data(), 266), 0)
        << "the sim refuses a bad block only once the busy polls are spent";
    EXPECT_EQ(world.device.StoreCount(), 0);
    EXPECT_EQ(port->LastFailure().status, 0x01);

    world.device.ClearLog();
    world.clock.ClearSleeps();
    EXPECT_EQ(port->WriteParameterBlock(good.data(), 266), 1);
    EXPECT_EQ(world.clock.Sleeps().front(), 500u);
    EXPECT_EQ(world.clock.TotalSleptMs(), 1500u);
    EXPECT_EQ(Requests(world.device).size(), 3u + 10u);

    world.device.ClearLog();
    world.clock.ClearSleeps();
    world.device.Faults().busyPolls = 10;
    EXPECT_EQ(port->WriteParameterBlock(good.data(), 266), 0);
    EXPECT_EQ(world.clock.TotalSleptMs(), 1500u);
    EXPECT_EQ(Requests(world.device).size(), 3u + 10u);
    EXPECT_EQ(Requests(world.device).back(), StoreStatus());
    EXPECT_EQ(port->LastFailure().kind, FailureKind::kPollsExhausted);
}

TEST_F(ParameterTransferTest, FailedStoreStatusEndsAfterSixHundredMilliseconds) {
    world.device.Faults().failedStatus = 0x01;
    auto good = DefaultParameterBlock(SimModel::kKQ10);
    EXPECT_EQ(port->WriteParameterBlock(good.data(), 266), 0);
    EXPECT_EQ(world.clock.Sleeps(), (std::vector<DWORD>{500, 100}));
    EXPECT_EQ(Requests(world.device).size(), 4u);
    EXPECT_EQ(port->LastFailure().request, DeviceRequest::kStoreStatus);
}

TEST_F(ParameterTransferTest, WriteLeavesTheBlockToTheDevice) {
    auto bad = DefaultParameterBlock(SimModel::kKQ10);
    bad[100] ^= 0x01;  // wrong checksum, sent as it is
    world.device.SetVerifyStoredBlock(false);
    EXPECT_EQ(port->WriteParameterBlock(bad.data(), 266), 1);
    EXPECT_EQ(world.device.ParameterBlock(), bad);

    world.device.SetVerifyStoredBlock(true);
    EXPECT_EQ(port->WriteParameterBlock(bad.data(), 266), 0);
    EXPECT_EQ(port->LastFailure().status, 0x01);
}

TEST_F(ParameterTransferTest, FailedWriteRequestsSendNothingMore) {
    auto good = DefaultParameterBlock(SimModel::kKQ10);
    world.device.Faults().failControlCalls = {2};
    EXPECT_EQ(port->WriteParameterBlock(good.data(), 266), 0);
    EXPECT_EQ(Requests(world.device).size(), 2u);
    EXPECT_EQ(port->LastFailure().request, DeviceRequest::kParameterDataWrite);

    world.device.ClearLog();
    world.device.Faults().failControlCalls = {3};
    EXPECT_EQ(port->WriteParameterBlock(good.data(), 266), 0);
    EXPECT_EQ(Requests(world.device).back(), StoreParameters());
    EXPECT_TRUE(world.clock.Sleeps().empty());
}

class OutOfMemoryPort : public TestPort {
public:
    using TestPort::TestPort;

protected:
    std::vector<std::uint8_t> AllocateRequestBuffer(std::size_t) override {
        throw std::bad_alloc();
    }
};

TEST_F(ParameterTransferTest, OutOfMemoryIsCaughtInsideTheWrite) {
    OutOfMemoryPort starved(world.services);
    port.reset();  // the device opens for one port at a time
    starved.Adopt(world.files.Open(kDevicePath, CDevicePort::kOpenDesiredAccess, 0, nullptr, 3,
                                   0x80, nullptr));
    EXPECT_EQ(starved.WriteParameterBlock(block.data(), 266), 0);
    EXPECT_EQ(Requests(world.device), std::vector<Request>{Identity()});
    EXPECT_EQ(DescribeFailure(starved.LastFailure()), "parameter data write: out of memory");
}

TEST_F(ParameterTransferTest, TraceSeesEveryRequestWithItsReply) {
    std::vector<std::string> lines;
    std::vector<DWORD> codes;
    std::vector<std::vector<std::uint8_t>> replies;
    port->SetRequestObserver([&](const RequestTrace& t) {
        lines.push_back(FormatRequestTrace(t));
        codes.push_back(t.controlCode);
        replies.emplace_back(t.replyBytes, t.replyBytes + t.replyLength);
    });
    ASSERT_EQ(port->ReadParameterBlock(block.data(), 266), 1);
    const auto log = world.device.ControlLog();
    ASSERT_EQ(lines.size(), log.size());
    for (std::size_t i = 0; i < log.size(); ++i) {
        EXPECT_EQ(codes[i], log[i].controlCode);
        EXPECT_EQ(replies[i], log[i].reply);
    }
    EXPECT_EQ(lines[0], "identity: GET F0 00 00 [8] -> ok 53 45 52 56 49 43 45 00");
    EXPECT_EQ(lines[1], "start parameter read: SET F0 00 08 01 -> ok");
    EXPECT_EQ(lines[2], "parameter read status: GET F0 00 08 01 [3] -> ok 00 00 00");
    EXPECT_EQ(replies.back().size(), 266u);
}

class CountedParameterTransferTest : public ParameterTransferTest {
protected:
    CountedParameterTransferTest() : ParameterTransferTest(SimModel::kZT5) {}
};

TEST_F(CountedParameterTransferTest, DummyBlockIsStoredWhateverTheModel) {
    std::vector<std::uint8_t> dummy(266, 0);
    std::memcpy(dummy.data(), "KQ-10   ", 8);
    EXPECT_EQ(port->WriteParameterBlock(dummy.data(), 266), 1);
    EXPECT_EQ(port->ReadParameterBlock(block.data(), 266), 1);
    EXPECT_EQ(block, dummy);
}

TEST_F(CountedParameterTransferTest, CountedBlockRoundTrips) {
    ASSERT_EQ(port->ReadParameterBlock(block.data(), 266), 1);
    EXPECT_EQ(DescribeParameterBlock(block.data()).layout, ParameterLayout::kCounted);
    block[13] ^= 0x08;
    ASSERT_TRUE(StoreParameterChecksum(block.data()));
    EXPECT_EQ(port->WriteParameterBlock(block.data(), 266), 1);
    EXPECT_EQ(world.device.ParameterBlock(), block);
    EXPECT_EQ(world.device.UnexpectedCount(), 0u);
}

}  // namespace
}  // namespace marnel
