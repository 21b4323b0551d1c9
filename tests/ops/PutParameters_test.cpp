// Put Parameters as a use case: each front end's policy against the unit's
// faults, judged by the outcome, what the unit holds, the backup and the
// history line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UnexpectedRequests.h"
#include "files/File.h"
#include "ops/PutParameters.h"
#include "sim/SimWorld.h"

namespace marnel {
namespace {

enum class Policy { kWindow, kTool, kToolForce, kToolForceNoBackup };

PutParametersPolicy Make(Policy policy) {
    PutParametersPolicy made;
    made.checkFile = policy == Policy::kTool;
    made.backup = policy != Policy::kWindow && policy != Policy::kToolForceNoBackup;
    made.readBack = policy != Policy::kWindow;
    return made;
}

enum class Fault {
    kNone,
    kStoreRefused,
    kStoresSomethingElse,
    kOwnBlockDamaged,  // its checksum does not hold
    kOwnBlockUnreadable,
    kBackupFails,
};

// The unit's own block, with one data byte changed and the checksum made good.
std::vector<std::uint8_t> Changed(std::vector<std::uint8_t> block, bool validChecksum = true) {
    block[8] ^= 0x5A;
    if (validChecksum) {
        ParameterBlockBytes bytes{};
        std::copy(block.begin(), block.end(), bytes.begin());
        StoreParameterChecksum(bytes);
        block.assign(bytes.begin(), bytes.end());
    }
    return block;
}

TEST(PutParameters, EachPolicyAgainstTheUnitsFaults) {
    const std::vector<std::uint8_t> own = DefaultParameterBlock(SimModel::kKQ10);
    const std::vector<std::uint8_t> good = Changed(own);
    const std::vector<std::uint8_t> badChecksum = Changed(own, false);
    const std::vector<std::uint8_t> otherModel = DefaultParameterBlock(SimModel::kZT5);
    const struct {
        const char* what;
        Policy policy;
        std::vector<std::uint8_t> file;
        Fault fault;
        OutcomeKind kind;
        PutStep step;
        bool stored;  // the unit holds the file afterwards
        bool backedUp;
        const char* history;  // the outcome word in the history; "" for none
    } cases[] = {
        {"window sends", Policy::kWindow, good, Fault::kNone, OutcomeKind::kSucceeded,
         PutStep::kDone, true, false, "succeeded"},
        {"window sends a bad checksum as it is; the unit refuses it", Policy::kWindow,
         badChecksum, Fault::kNone, OutcomeKind::kDeviceFailed, PutStep::kWrite, false, false,
         "failed"},
        {"window: the unit refuses the store", Policy::kWindow, good, Fault::kStoreRefused,
         OutcomeKind::kDeviceFailed, PutStep::kWrite, false, false, "failed"},
        {"tool checks, backs up, reads back", Policy::kTool, good, Fault::kNone,
         OutcomeKind::kSucceeded, PutStep::kDone, true, true, "succeeded"},
        {"tool refuses a bad checksum", Policy::kTool, badChecksum, Fault::kNone,
         OutcomeKind::kRefused, PutStep::kCheck, false, false, "refused"},
        {"tool refuses another model", Policy::kTool, otherModel, Fault::kNone,
         OutcomeKind::kRefused, PutStep::kCheck, false, false, "refused"},
        {"tool --force sends another model", Policy::kToolForce, otherModel, Fault::kNone,
         OutcomeKind::kSucceeded, PutStep::kDone, true, true, "succeeded"},
        {"tool: what comes back differs", Policy::kTool, good, Fault::kStoresSomethingElse,
         OutcomeKind::kDeviceFailed, PutStep::kReadBack, false, true, "failed"},
        {"tool repairs a unit whose own block is damaged", Policy::kTool, good,
         Fault::kOwnBlockDamaged, OutcomeKind::kSucceeded, PutStep::kDone, true, true,
         "succeeded"},
        {"tool: the unit's own block does not arrive", Policy::kTool, good,
         Fault::kOwnBlockUnreadable, OutcomeKind::kDeviceFailed, PutStep::kReadCurrent, false,
         false, "failed"},
        {"tool --force --no-backup reads nothing first", Policy::kToolForceNoBackup, good,
         Fault::kOwnBlockDamaged, OutcomeKind::kSucceeded, PutStep::kDone, true, false,
         "succeeded"},
        {"tool: no backup, nothing sent", Policy::kTool, good, Fault::kBackupFails,
         OutcomeKind::kFileError, PutStep::kBackup, false, false, "failed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SimWorld world;
        SimDevice& unit = world.AddDevice(SimDeviceSetup(SimModel::kKQ10)).device;
        switch (c.fault) {
            case Fault::kStoreRefused:
                unit.Faults().failedStatus = 0x01;
                unit.Faults().failedStatusCommand = 0x02;
                break;
            case Fault::kStoresSomethingElse:
                unit.OnStored([&unit, &own] { unit.SetParameterBlock(own); });
                break;
            case Fault::kOwnBlockDamaged:
                unit.SetParameterBlock(Changed(own, false));
                break;
            case Fault::kOwnBlockUnreadable:
                // Only the parameter read fails; the store still answers.
                unit.Faults().failedStatus = 0x01;
                unit.Faults().failedStatusCommand = 0x01;
                break;
            case Fault::kBackupFails:
                world.Files().FaultsFor("/home/technician/.local/state/marnel/backups").openFails =
                    FileErrorCause::kAccessDenied;
                break;
            case Fault::kNone:
                break;
        }
        const std::vector<std::uint8_t> before = unit.ParameterBlock();
        ParameterBlockBytes block{};
        std::copy(c.file.begin(), c.file.end(), block.begin());
        CDeviceAccess access(world.Services());
        OpenedDevice device;
        ASSERT_TRUE(access.Open("Zarvel KQ-10", &device));
        ChangeLog log;
        log.fileSystem = &world.Files();
        log.environment = &world.Environment();
        log.exitStatusFor = [](const Outcome& outcome) {
            return outcome.Succeeded() ? 0 : 1;
        };

        const PutParametersOutcome outcome =
            PutParameters(device, block, "/p/file.prm", Make(c.policy), CNeverCancel(), log);

        EXPECT_EQ(outcome.kind, c.kind);
        EXPECT_EQ(outcome.step, c.step);
        EXPECT_EQ(unit.ParameterBlock() == c.file, c.stored);
        if (c.kind == OutcomeKind::kRefused || c.step == PutStep::kBackup ||
            c.step == PutStep::kReadCurrent) {
            EXPECT_EQ(unit.StoreCount(), 0) << "nothing sent";
        }
        EXPECT_EQ(!outcome.backup.empty(), c.backedUp);
        if (c.backedUp) {
            EXPECT_EQ(world.Files().Content(outcome.backup), before) << "what the file replaced";
        }
        const std::vector<std::uint8_t> line =
            world.Files().Content("/home/technician/.local/state/marnel/history.jsonl");
        const std::string history(line.begin(), line.end());
        EXPECT_NE(history.find("\"outcome\":\"" + std::string(c.history) + "\""),
                  std::string::npos)
            << history;
        EXPECT_NE(history.find("\"exitStatus\":" + std::string(c.kind == OutcomeKind::kSucceeded
                                                                    ? "0"
                                                                    : "1")),
                  std::string::npos);
        test::ExpectUnexpectedRequests(world, 0);
    }
}

}  // namespace
}  // namespace marnel
