// The identity check, status polling and the parameter block transfers,
// pinned against the simulated device's request log and the virtual clock.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "SimPortHarness.h"
#include "protocol/ParameterBlock.h"

namespace marnel {
namespace {

using namespace test;
using ::testing::ElementsAreArray;

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
    ParameterBlockBytes block{};
};

TEST_F(ParameterTransferTest, ServiceModeNeedsExactlySERVICEAndAZeroInEightBytes) {
    using Bytes = std::vector<std::uint8_t>;
    struct Case {
        const char* name;
        Bytes reply;
        bool accepted;
    };
    const Case cases[] = {
        {"SERVICE and zero", {'S', 'E', 'R', 'V', 'I', 'C', 'E', 0}, true},
        {"seven bytes", {'S', 'E', 'R', 'V', 'I', 'C', 'E'}, false},
        {"nothing", {}, false},
        {"non-zero eighth byte", {'S', 'E', 'R', 'V', 'I', 'C', 'E', '!'}, false},
        {"lower case", {'s', 'e', 'r', 'v', 'i', 'c', 'e', 0}, false},
        {"update loader", {'U', 'P', 'D', 'A', 'T', 'E', 0, 0}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        world.device.ClearLog();
        world.device.Faults().identityReply = c.reply;
        const Status identity = port->IsServiceMode();
        EXPECT_EQ(static_cast<bool>(identity), c.accepted);
        EXPECT_EQ(Requests(world.device), std::vector<Request>{Identity()});
        EXPECT_EQ(identity.Error().device.kind,
                  c.accepted ? FailureKind::kNone : FailureKind::kWrongIdentity);
    }
}

TEST_F(ParameterTransferTest, NoRequestFollowsAFailedIdentity) {
    world.device.Faults().failControlCalls = {1};
    const Status read = port->ReadParameterBlock(block);
    world.device.SetMode(SimMode::kUpdate);
    const Status write = port->WriteParameterBlock(block);
    EXPECT_FALSE(read);
    EXPECT_FALSE(write);
    EXPECT_EQ(Requests(world.device), Repeat(Identity(), 2));
    EXPECT_TRUE(world.clock.Sleeps().empty());
    EXPECT_EQ(read.Error().Describe(), "identity: the control request failed");
    EXPECT_EQ(write.Error().device.request, DeviceRequest::kIdentity);
    EXPECT_EQ(write.Error().device.kind, FailureKind::kWrongIdentity);
}

TEST_F(ParameterTransferTest, ReadSendsTheTableRequestsAndDeliversTheBlock) {
    const Status read = port->ReadParameterBlock(block);
    ASSERT_TRUE(read) << read.Error().Describe();
    EXPECT_EQ(Requests(world.device),
              (std::vector<Request>{Identity(), StartParameterRead(), ParameterReadStatus(),
                                    ParameterDataRead()}));
    EXPECT_EQ(world.clock.Sleeps(), std::vector<DWORD>{100});
    EXPECT_THAT(block, ElementsAreArray(world.device.ParameterBlock()));
    EXPECT_EQ(world.device.UnexpectedCount(), 0u);
}

TEST_F(ParameterTransferTest, ReadPollsFourTimesAtHundredMilliseconds) {
    world.device.Faults().busyPolls = 3;  // done at the fourth poll
    ASSERT_TRUE(port->ReadParameterBlock(block));
    EXPECT_EQ(Requests(world.device), Concat({{Identity(), StartParameterRead()},
                                              Repeat(ParameterReadStatus(), 4),
                                              {ParameterDataRead()}}));
    // Each poll comes after its sleep.
    EXPECT_EQ(RequestTimes(), (std::vector<std::uint64_t>{0, 0, 100, 200, 300, 400, 400}));

    world.device.ClearLog();
    world.clock.ClearSleeps();
    world.device.Faults().busyPolls = 4;
    const Status exhausted = port->ReadParameterBlock(block);
    EXPECT_FALSE(exhausted);
    EXPECT_EQ(Requests(world.device),
              Concat({{Identity(), StartParameterRead()}, Repeat(ParameterReadStatus(), 4)}));
    EXPECT_EQ(world.clock.Sleeps(), std::vector<DWORD>(4, 100));
    EXPECT_EQ(exhausted.Error().device.kind, FailureKind::kPollsExhausted);
    EXPECT_EQ(exhausted.Error().device.busyPolls, 4);
}

TEST_F(ParameterTransferTest, FailedStatusGetsAreSpentPolls) {
    world.device.Faults().failControlCalls = {3, 4, 5, 6};
    const Status exhausted = port->ReadParameterBlock(block);
    EXPECT_FALSE(exhausted);
    EXPECT_EQ(world.clock.Sleeps(), std::vector<DWORD>(4, 100));
    EXPECT_EQ(Requests(world.device).size(), 6u);
    EXPECT_EQ(exhausted.Error().device.failedPolls, 4);

    world.device.ClearLog();
    world.device.Faults().failControlCalls = {3, 4, 5};  // the fourth poll answers done
    EXPECT_TRUE(port->ReadParameterBlock(block));
    EXPECT_EQ(Requests(world.device).back(), ParameterDataRead());
}

TEST_F(ParameterTransferTest, StatusByteDecidesAlone) {
    world.device.Faults().statusPadding = 0xFF;  // FF 00 FF is done
    EXPECT_TRUE(port->ReadParameterBlock(block));

    world.device.ClearLog();
    world.clock.ClearSleeps();
    world.device.Faults().statusPadding = 0x00;
    world.device.Faults().failedStatus = 0x01;
    const Status failed = port->ReadParameterBlock(block);
    EXPECT_FALSE(failed);
    EXPECT_EQ(Requests(world.device),
              (std::vector<Request>{Identity(), StartParameterRead(), ParameterReadStatus()}));
    EXPECT_EQ(world.clock.Sleeps(), std::vector<DWORD>{100});
    EXPECT_EQ(failed.Error().device.kind, FailureKind::kFailedStatus);
    EXPECT_EQ(failed.Error().device.status, 0x01);
    EXPECT_EQ(failed.Error().Describe(),
              "parameter read status: the device reported failure (status 0x01)");
}

TEST_F(ParameterTransferTest, EmptyStatusReplyCountsAsBusy) {
    world.device.Faults().statusReplyLength = 0;
    const Status exhausted = port->ReadParameterBlock(block);
    EXPECT_FALSE(exhausted);
    EXPECT_EQ(Requests(world.device).size(), 6u);
    EXPECT_EQ(exhausted.Error().device.busyPolls, 4);
}

TEST_F(ParameterTransferTest, FailedCommandEndsBeforeAnySleep) {
    world.device.Faults().failControlCalls = {2};
    const Status read = port->ReadParameterBlock(block);
    EXPECT_FALSE(read);
    EXPECT_EQ(Requests(world.device), (std::vector<Request>{Identity(), StartParameterRead()}));
    EXPECT_TRUE(world.clock.Sleeps().empty());
    EXPECT_EQ(read.Error().Describe(), "start parameter read: the control request failed");
}

TEST_F(ParameterTransferTest, BadChecksumFailsButKeepsTheDeliveredBytes) {
    auto corrupt = world.device.ParameterBlock();
    corrupt[20] ^= 0x40;
    world.device.SetParameterBlock(corrupt);
    const Status read = port->ReadParameterBlock(block);
    EXPECT_FALSE(read);
    EXPECT_THAT(block, ElementsAreArray(corrupt));
    EXPECT_EQ(read.Error().device.kind, FailureKind::kBadChecksum);
}

TEST_F(ParameterTransferTest, ShortReplyLeavesTheRestOfTheBuffer) {
    world.device.Faults().dataReplyLength = 100;
    block.fill(0xEE);
    EXPECT_FALSE(port->ReadParameterBlock(block));
    const auto& device = world.device.ParameterBlock();
    EXPECT_TRUE(std::equal(block.begin(), block.begin() + 100, device.begin()));
    EXPECT_TRUE(std::all_of(block.begin() + 100, block.end(), [](auto b) { return b == 0xEE; }));
}

TEST_F(ParameterTransferTest, WriteSendsTheBlockUnchangedThenStores) {
    ParameterBlockBytes written = AsBlock(DefaultParameterBlock(SimModel::kKQ10));
    written[40] = 0x12;
    ASSERT_TRUE(StoreParameterChecksum(written));
    const ParameterBlockBytes copy = written;

    const Status write = port->WriteParameterBlock(written);
    ASSERT_TRUE(write) << write.Error().Describe();
    std::vector<std::uint8_t> dataWrite = {0xF0, 0x00, 0x0A};
    dataWrite.insert(dataWrite.end(), written.begin(), written.end());
    EXPECT_EQ(Requests(world.device),
              (std::vector<Request>{Identity(), Set(dataWrite), StoreParameters(), StoreStatus()}));
    EXPECT_EQ(Requests(world.device)[1].bytes.size(), 269u);
    EXPECT_EQ(world.clock.Sleeps(), (std::vector<DWORD>{500, 100}));
    EXPECT_THAT(world.device.ParameterBlock(), ElementsAreArray(written));
    EXPECT_EQ(written, copy);
}

TEST_F(ParameterTransferTest, StoreWaitsThenPollsTenTimes) {
    world.device.Faults().busyPolls = 9;
    const ParameterBlockBytes good = AsBlock(DefaultParameterBlock(SimModel::kKQ10));
    ParameterBlockBytes bad = good;
    bad[264] ^= 0x01;
    const Status refused = port->WriteParameterBlock(bad);
    EXPECT_FALSE(refused) << "the sim refuses a bad block only once the busy polls are spent";
    EXPECT_EQ(world.device.StoreCount(), 0);
    EXPECT_EQ(refused.Error().device.status, 0x01);

    world.device.ClearLog();
    world.clock.ClearSleeps();
    EXPECT_TRUE(port->WriteParameterBlock(good));
    EXPECT_EQ(world.clock.Sleeps().front(), 500u);
    EXPECT_EQ(world.clock.TotalSleptMs(), 1500u);
    EXPECT_EQ(Requests(world.device).size(), 3u + 10u);

    world.device.ClearLog();
    world.clock.ClearSleeps();
    world.device.Faults().busyPolls = 10;
    const Status exhausted = port->WriteParameterBlock(good);
    EXPECT_FALSE(exhausted);
    EXPECT_EQ(world.clock.TotalSleptMs(), 1500u);
    EXPECT_EQ(Requests(world.device).size(), 3u + 10u);
    EXPECT_EQ(Requests(world.device).back(), StoreStatus());
    EXPECT_EQ(exhausted.Error().device.kind, FailureKind::kPollsExhausted);
}

TEST_F(ParameterTransferTest, FailedStoreStatusEndsAfterSixHundredMilliseconds) {
    world.device.Faults().failedStatus = 0x01;
    const Status write = port->WriteParameterBlock(AsBlock(DefaultParameterBlock(SimModel::kKQ10)));
    EXPECT_FALSE(write);
    EXPECT_EQ(world.clock.Sleeps(), (std::vector<DWORD>{500, 100}));
    EXPECT_EQ(Requests(world.device).size(), 4u);
    EXPECT_EQ(write.Error().device.request, DeviceRequest::kStoreStatus);
}

TEST_F(ParameterTransferTest, WriteLeavesTheBlockToTheDevice) {
    ParameterBlockBytes bad = AsBlock(DefaultParameterBlock(SimModel::kKQ10));
    bad[100] ^= 0x01;  // wrong checksum, sent as it is
    world.device.SetVerifyStoredBlock(false);
    EXPECT_TRUE(port->WriteParameterBlock(bad));
    EXPECT_THAT(world.device.ParameterBlock(), ElementsAreArray(bad));

    world.device.SetVerifyStoredBlock(true);
    const Status refused = port->WriteParameterBlock(bad);
    EXPECT_FALSE(refused);
    EXPECT_EQ(refused.Error().device.status, 0x01);
}

TEST_F(ParameterTransferTest, FailedWriteRequestsSendNothingMore) {
    const ParameterBlockBytes good = AsBlock(DefaultParameterBlock(SimModel::kKQ10));
    world.device.Faults().failControlCalls = {2};
    const Status dataWrite = port->WriteParameterBlock(good);
    EXPECT_FALSE(dataWrite);
    EXPECT_EQ(Requests(world.device).size(), 2u);
    EXPECT_EQ(dataWrite.Error().device.request, DeviceRequest::kParameterDataWrite);

    world.device.ClearLog();
    world.device.Faults().failControlCalls = {3};
    const Status store = port->WriteParameterBlock(good);
    EXPECT_FALSE(store);
    EXPECT_EQ(store.Error().device.request, DeviceRequest::kStoreParameters);
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
    starved.Adopt(world.OpenLink());
    const Status write = starved.WriteParameterBlock(block);
    EXPECT_FALSE(write);
    EXPECT_EQ(Requests(world.device), std::vector<Request>{Identity()});
    EXPECT_EQ(write.Error().Describe(), "parameter data write: out of memory");
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
    ASSERT_TRUE(port->ReadParameterBlock(block));
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
    ParameterBlockBytes dummy{};
    std::memcpy(dummy.data(), "KQ-10   ", 8);
    EXPECT_TRUE(port->WriteParameterBlock(dummy));
    EXPECT_TRUE(port->ReadParameterBlock(block));
    EXPECT_EQ(block, dummy);
}

TEST_F(CountedParameterTransferTest, CountedBlockRoundTrips) {
    ASSERT_TRUE(port->ReadParameterBlock(block));
    EXPECT_EQ(DescribeParameterBlock(block).layout, ParameterLayout::kCounted);
    block[13] ^= 0x08;
    ASSERT_TRUE(StoreParameterChecksum(block));
    EXPECT_TRUE(port->WriteParameterBlock(block));
    EXPECT_THAT(world.device.ParameterBlock(), ElementsAreArray(block));
    EXPECT_EQ(world.device.UnexpectedCount(), 0u);
}

}  // namespace
}  // namespace marnel
