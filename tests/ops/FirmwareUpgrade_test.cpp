// Firmware Upgrade with the tool's policy against a queue that keeps the
// job: what it holds, stops or never starts is cancelled and nothing more is
// asked of the unit; what it hands on is checked as always.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "UnexpectedRequests.h"
#include "ops/FirmwareUpgrade.h"
#include "sim/SimWorld.h"

namespace marnel {
namespace {

// The technician restarts the unit in its update mode when asked, once.
// What the unit was asked and the time, as the last piece went out.
class Technician : public IFirmwareObserver {
public:
    Technician(SimDevice& unit, IClock& clock) : m_unit(unit), m_clock(clock) {}
    bool UpdateModeNeeded(int attempt) override {
        m_unit.SetMode(SimMode::kUpdate);
        return attempt == 0;
    }
    void Progress(std::uint64_t, std::uint64_t) override {
        requestsAtLastPiece = m_unit.ControlLog().size();
        lastPieceAtMs = m_clock.NowMs();
    }
    std::size_t requestsAtLastPiece = 0;
    std::uint64_t lastPieceAtMs = 0;

private:
    SimDevice& m_unit;
    IClock& m_clock;
};

FirmwarePolicy ToolPolicy() {
    FirmwarePolicy policy;
    policy.checkFile = true;
    policy.checkQueue = true;
    policy.baseline = true;
    policy.verify = true;
    policy.verifyTimeoutMs = 3000;
    return policy;
}

JobStatus Job(JobState state, std::string reason = {}, bool queueStopped = false) {
    return JobStatus{state, queueStopped, std::move(reason), {}};
}

TEST(FirmwareUpgradeQueue, AJobTheQueueKeepsIsCancelledAndNothingMoreIsAsked) {
    // The check afterwards finds the unit's port through its printer.
    const char* const kCheckOpens = "OpenPrinter Zarvel KQ-10";
    const char* const kCheckReads = "GetPrinter Zarvel KQ-10";
    const char* const kCheckCloses = "ClosePrinter Zarvel KQ-10";
    const std::string stoppedQueue = "Printer stopped due to backend errors";
    const struct {
        const char* what;
        std::vector<JobStatus> states;  // GetJob's answers in turn; none: delivered at once
        bool startDocRefused;
        OutcomeKind kind;
        const char* cause;
        std::vector<std::string> afterEnd;  // the spooler calls after EndDocPrinter
        DWORD waitedMs;  // on the clock, for a queue that kept the job to start it
    } cases[] = {
        {"held", {Job(JobState::kHeld, "job-hold-until-specified")}, false, OutcomeKind::kJobHeld,
         "the queue held the job (job-hold-until-specified)",
         {"GetJob 1", "CancelJob 1", "ClosePrinter Zarvel KQ-10"}, 0},
        {"stopped", {Job(JobState::kStopped, stoppedQueue)}, false, OutcomeKind::kJobHeld,
         "the queue stopped the job (Printer stopped due to backend errors)",
         {"GetJob 1", "CancelJob 1", "ClosePrinter Zarvel KQ-10"}, 0},
        {"pending on a stopped queue", {Job(JobState::kPending, "printer-stopped", true)}, false,
         OutcomeKind::kJobHeld, "the queue is stopped and did not start the job (printer-stopped)",
         {"GetJob 1", "CancelJob 1", "ClosePrinter Zarvel KQ-10"}, 0},
        {"never started", {Job(JobState::kPending)}, false, OutcomeKind::kJobHeld,
         "the queue did not start the job within 5 seconds",
         {"GetJob 1", "GetJob 1", "GetJob 1", "GetJob 1", "GetJob 1", "GetJob 1", "GetJob 1",
          "GetJob 1", "GetJob 1", "GetJob 1", "GetJob 1", "CancelJob 1",
          "ClosePrinter Zarvel KQ-10"},
         5000},
        {"cancelled by the spooler", {Job(JobState::kCancelled, "aborted-by-system")}, false,
         OutcomeKind::kJobHeld, "the spooler cancelled the job (aborted-by-system)",
         {"GetJob 1", "ClosePrinter Zarvel KQ-10"}, 0},
        {"started after a while", {Job(JobState::kPending), Job(JobState::kPending),
                                   Job(JobState::kDone)},
         false, OutcomeKind::kSucceeded, "",
         {"GetJob 1", "GetJob 1", "GetJob 1", "ClosePrinter Zarvel KQ-10", kCheckOpens,
          kCheckReads, kCheckCloses},
         0},
        {"handed on at once", {}, false, OutcomeKind::kSucceeded, "",
         {"GetJob 1", "ClosePrinter Zarvel KQ-10", kCheckOpens, kCheckReads, kCheckCloses}, 0},
        {"rejected", {}, true, OutcomeKind::kDeviceFailed,
         "The printer or class is not accepting jobs.", {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SimWorld world;
        SimDevice& unit = world.AddDevice(SimDeviceSetup(SimModel::kKQ10)).device;
        unit.SetVersionAfterFirmware(std::string("2.00"));
        world.Files().AddGeneratedFile("/fw/image.kvf", 3000);
        world.Spooler().ScriptJobStates(c.states);
        world.Spooler().SetStartDocFails(c.startDocRefused);
        world.Spooler().SetFaultCause("The printer or class is not accepting jobs.");
        CDeviceAccess access(world.Services());
        Technician technician(unit, world.Clock());
        ChangeLog log;
        log.fileSystem = &world.Files();
        log.environment = &world.Environment();
        log.exitStatusFor = [](const Outcome& outcome) { return outcome.Succeeded() ? 0 : 1; };

        const FirmwareOutcome outcome =
            UpgradeFirmware(access, "Zarvel KQ-10", world.Files(), "/fw/image.kvf", ToolPolicy(),
                            technician, CNeverCancel(), log);

        EXPECT_EQ(outcome.kind, c.kind);
        EXPECT_EQ(outcome.failure.cause, c.cause);
        EXPECT_EQ(outcome.verified, c.kind == OutcomeKind::kSucceeded);
        const bool delivered = c.kind == OutcomeKind::kSucceeded;
        EXPECT_EQ(unit.Jobs().size(), delivered ? 1u : 0u) << "what reached the unit";
        if (!c.startDocRefused) {
            const std::vector<std::string>& calls = world.Spooler().Calls();
            const auto end = std::find(calls.begin(), calls.end(), "EndDocPrinter");
            ASSERT_NE(end, calls.end());
            EXPECT_EQ(std::vector<std::string>(end + 1, calls.end()), c.afterEnd);
            EXPECT_EQ(world.Spooler().Jobs()[0].state, delivered ? SpoolerJob::State::kDelivered
                                                                 : SpoolerJob::State::kCancelled);
        } else {
            EXPECT_EQ(world.Spooler().CountCalls("CancelJob"), 0u) << "there was no job";
            EXPECT_TRUE(world.Spooler().Jobs().empty());
        }
        if (!delivered && !c.startDocRefused) {
            EXPECT_EQ(unit.ControlLog().size(), technician.requestsAtLastPiece)
                << "the unit was asked nothing after the job";
            EXPECT_EQ(world.Clock().NowMs() - technician.lastPieceAtMs, c.waitedMs);
        }
        const std::vector<std::uint8_t> line =
            world.Files().Content("/home/technician/.local/state/marnel/history.jsonl");
        EXPECT_NE(std::string(line.begin(), line.end())
                      .find(delivered ? "\"outcome\":\"succeeded\"" : "\"outcome\":\"failed\""),
                  std::string::npos);
        test::ExpectUnexpectedRequests(world, 0);
    }
}

}  // namespace
}  // namespace marnel
