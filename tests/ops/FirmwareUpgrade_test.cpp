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
    const struct {
        const char* what;
        std::vector<JobStatus> states;  // GetJob's answers in turn; none: delivered at once
        bool startDocRefused;
        OutcomeKind kind;
        const char* cause;
        std::size_t polls;  // GetJob calls
        bool cancelled;     // by the tool
        DWORD waitedMs;     // on the clock, for a queue that kept the job to start it
    } cases[] = {
        {"held", {Job(JobState::kHeld, "job-hold-until-specified")}, false, OutcomeKind::kJobHeld,
         "the queue held the job (job-hold-until-specified)", 1, true, 0},
        {"stopped", {Job(JobState::kStopped, "Printer stopped due to backend errors")}, false,
         OutcomeKind::kJobHeld, "the queue stopped the job (Printer stopped due to backend errors)",
         1, true, 0},
        {"pending on a stopped queue", {Job(JobState::kPending, "printer-stopped", true)}, false,
         OutcomeKind::kJobHeld, "the queue is stopped and did not start the job (printer-stopped)",
         1, true, 0},
        {"never started", {Job(JobState::kPending)}, false, OutcomeKind::kJobHeld,
         "the queue did not start the job within 5 seconds", 11, true, 5000},
        {"cancelled by the spooler", {Job(JobState::kCancelled, "aborted-by-system")}, false,
         OutcomeKind::kJobHeld, "the spooler cancelled the job (aborted-by-system)", 1, false, 0},
        {"started after a while",
         {Job(JobState::kPending), Job(JobState::kPending), Job(JobState::kDone)}, false,
         OutcomeKind::kSucceeded, "", 3, false, 0},
        {"handed on at once", {}, false, OutcomeKind::kSucceeded, "", 1, false, 0},
        {"rejected", {}, true, OutcomeKind::kDeviceFailed,
         "The printer or class is not accepting jobs.", 0, false, 0},
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

        const bool delivered = c.kind == OutcomeKind::kSucceeded;
        EXPECT_EQ(outcome.kind, c.kind);
        EXPECT_EQ(outcome.failure.cause, c.cause);
        EXPECT_EQ(outcome.verified, delivered);
        EXPECT_EQ(unit.Jobs().size(), delivered ? 1u : 0u) << "what reached the unit";
        if (!c.startDocRefused) {
            // Then the check, for a delivered job, opens the unit through its printer.
            std::vector<std::string> expected(c.polls, "GetJob 1");
            if (c.cancelled) {
                expected.push_back("CancelJob 1");
            }
            expected.push_back("ClosePrinter Zarvel KQ-10");
            const std::vector<std::string>& calls = world.Spooler().Calls();
            const auto end = std::find(calls.begin(), calls.end(), "EndDocPrinter");
            ASSERT_GE(calls.end() - end, static_cast<std::ptrdiff_t>(expected.size() + 1));
            EXPECT_EQ(std::vector<std::string>(end + 1, delivered ? end + 1 + expected.size()
                                                                  : calls.end()),
                      expected);
            EXPECT_EQ(world.Spooler().Jobs()[0].state, delivered ? SpoolerJob::State::kDelivered
                                                                 : SpoolerJob::State::kCancelled);
            if (!delivered) {
                EXPECT_EQ(unit.ControlLog().size(), technician.requestsAtLastPiece)
                    << "the unit was asked nothing after the job";
                EXPECT_EQ(world.Clock().NowMs() - technician.lastPieceAtMs, c.waitedMs);
            }
        } else {
            EXPECT_EQ(world.Spooler().CountCalls("CancelJob"), 0u) << "there was no job";
            EXPECT_TRUE(world.Spooler().Jobs().empty());
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
