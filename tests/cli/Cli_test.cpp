// The marnel tool run in-process: arguments in, exit status, standard
// output and error and the files written out. The device commands run
// against the simulated world.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <set>
#include <iterator>
#include <sstream>
#include <vector>

#include "CliFixture.h"
#include "cli/Cli.h"
#include "cli/ExitStatus.h"
#include "posix/PosixFileSystem.h"
#include "posix/PosixHashing.h"
#include "protocol/ParameterBlock.h"
#include "sim/SimWorld.h"

namespace marnel::cli {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST_F(CliTest, InspectTellsLayoutModelLengthAndBothChecksums) {
    const std::string file = WriteFile("good.prm", ValidBlock());
    EXPECT_EQ(Run({"inspect", file}), kExitSuccess);
    EXPECT_THAT(Out(), HasSubstr("layout:            fixed"));
    EXPECT_THAT(Out(), HasSubstr("model tag:         KQ-10"));
    EXPECT_THAT(Out(), HasSubstr("data length:       256"));
    EXPECT_THAT(Out(), HasSubstr("stored checksum:   0xFFFD"));
    EXPECT_THAT(Out(), HasSubstr("computed checksum: 0xFFFD"));
    EXPECT_THAT(Out(), HasSubstr("checksum:          valid"));

    // It only reads: another reader of the file does not stop it.
    const int reader = open(file.c_str(), O_RDONLY);
    ASSERT_EQ(flock(reader, LOCK_SH | LOCK_NB), 0);
    EXPECT_EQ(Run({"inspect", file}), kExitSuccess) << Err();
    close(reader);
}

TEST_F(CliTest, InspectOfAnAlteredBlockIsInvalidWithExitOne) {
    std::vector<std::uint8_t> block = ValidBlock();
    block[100] ^= 0x40;
    const std::string file = WriteFile("bad.prm", block);
    EXPECT_EQ(Run({"inspect", file}), kExitInvalidBlock);
    EXPECT_THAT(Out(), HasSubstr("INVALID"));
}

TEST_F(CliTest, InspectRefusesFilesOfAnyOtherSizeAsDataFormatError) {
    for (std::size_t size : {0u, 265u, 267u}) {
        const std::string file = WriteFile("size" + std::to_string(size), std::vector<std::uint8_t>(size));
        EXPECT_EQ(Run({"inspect", file}), kExitUsage) << size;
        EXPECT_THAT(Err(), HasSubstr("Data format error.")) << size;
    }
}

TEST_F(CliTest, InspectOfAMissingFileIsAFileErrorNamingThePath) {
    const std::string missing = PathOf("missing.prm");
    EXPECT_EQ(Run({"inspect", missing}), kExitUsage);
    EXPECT_THAT(Err(), HasSubstr(missing + " was not found."));
}

// Each cause keeps the window's message and adds the system's reason and
// what to do, on one "marnel:" line.
TEST_F(CliTest, FileErrorsSayTheSystemsReasonAndWhatToDo) {
    ASSERT_EQ(mkdir(PathOf("adir").c_str(), 0700), 0);
    ASSERT_EQ(symlink("loop", PathOf("loop").c_str()), 0);
    WriteFile("afile", {});
    const std::string tooLong = PathOf(std::string(300, 'n'));
    const struct {
        std::vector<std::string> args;
        std::string line;
    } cases[] = {
        {{"inspect", PathOf("adir")},
         "marnel: Access to " + PathOf("adir") +
             " was denied. (Is a directory) Give a file name, not a folder."},
        {{"inspect", PathOf("missing.prm")},
         "marnel: " + PathOf("missing.prm") +
             " was not found. (No such file or directory) Check the file name."},
        {{"inspect", PathOf("nodir/x.prm")},
         "marnel: " + PathOf("nodir/x.prm") +
             " contains an invalid path. (No such file or directory) The folder does not exist; "
             "create it first or check the path."},
        {{"inspect", PathOf("afile/x.prm")},
         "marnel: " + PathOf("afile/x.prm") +
             " contains an invalid path. (Not a directory) A part of the path is a file, not a "
             "folder; check the path."},
        {{"inspect", tooLong},
         "marnel: " + tooLong +
             " contains an invalid path. (File name too long) Use a shorter name or path."},
        {{"inspect", PathOf("loop")},
         "marnel: " + PathOf("loop") +
             " contains an invalid path. (Too many levels of symbolic links) The path's symbolic "
             "links lead round in a loop; fix or remove them."},
        {{"get-params", "/dev/full"},
         "marnel: Disk full while accessing /dev/full. (No space left on device) Free some space "
         "on that disk or choose another one."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Run(c.args), kExitUsage) << c.line;
        EXPECT_EQ(Err(), c.line + "\n");
    }
    EXPECT_EQ(Run({"--json", "inspect", PathOf("adir")}), kExitUsage);
    EXPECT_EQ(nlohmann::json::parse(Out())["advice"], "Give a file name, not a folder.");
}

TEST_F(CliTest, InspectAsJsonCarriesTheSameFacts) {
    const std::string file = WriteFile("good.prm", ValidBlock());
    EXPECT_EQ(Run({"--json", "inspect", file}), kExitSuccess);
    EXPECT_THAT(Out(), HasSubstr("\"layout\":\"fixed\""));
    EXPECT_THAT(Out(), HasSubstr("\"valid\":true"));
    EXPECT_THAT(Out(), HasSubstr("\"storedChecksum\":65533"));
}

TEST_F(CliTest, UsageErrorsExitTwo) {
    EXPECT_EQ(Run({}), kExitUsage);
    EXPECT_EQ(Run({"frobnicate"}), kExitUsage);
    EXPECT_EQ(Run({"get-params"}), kExitUsage);
}

TEST_F(CliTest, HelpDocumentsEveryCommand) {
    EXPECT_EQ(Run({"--help"}), kExitSuccess);
    for (const char* command : {"list", "report", "get-params", "put-params", "version", "inspect"}) {
        EXPECT_THAT(Out(), HasSubstr(command));
    }
}

// Whole, with its lines ended the Linux way and no control character that
// could act on the terminal (-o keeps the exact bytes).
TEST_F(CliTest, SimulatedReportIsPrintedWholeAndSafely) {
    SimDevice& device = m_world.AddDevice(SimDeviceSetup(SimModel::kZT5)).device;
    const std::string report(device.Report().begin(), device.Report().end());
    ASSERT_NE(report.find("\r\n"), std::string::npos);
    EXPECT_EQ(RunOnWorld({"report"}), kExitSuccess);
    std::string lines = report;
    for (std::size_t at; (at = lines.find("\r\n")) != std::string::npos;) {
        lines.erase(at, 1);
    }
    EXPECT_EQ(Out(), lines);
    EXPECT_EQ(Err(), "");

    device.SetReport(std::string("Head\x1b[2J\tok\rX\x7f\r\n\x03"));
    EXPECT_EQ(RunOnWorld({"report"}), kExitSuccess);
    EXPECT_EQ(Out(), "Head\\x1b[2J\tok\\x0dX\\x7f\n");
}

TEST_F(CliTest, ReportSavedToAFileHoldsExactlyTheReportBytes) {
    SimDevice& device = m_world.AddDevice().device;
    const std::string file = PathOf("report.txt");
    EXPECT_EQ(RunOnWorld({"report", "-o", file}), kExitSuccess);
    EXPECT_EQ(ReadFile(file), device.Report());
}

TEST_F(CliTest, GetParamsSavesTheDeviceBlockAndPutParamsSendsItBack) {
    SimDevice& device = m_world.AddDevice().device;
    const std::vector<std::uint8_t> original = device.ParameterBlock();
    const std::string file = PathOf("backup.prm");
    ASSERT_EQ(RunOnWorld({"get-params", file}), kExitSuccess);
    EXPECT_EQ(ReadFile(file), original);

    device.SetParameterBlock(std::vector<std::uint8_t>(266, 0));
    EXPECT_EQ(RunOnWorld({"put-params", file}), kExitSuccess);
    const std::string backup = m_dir + "/state/backups/unknown_Zarvel-KQ-10_KQ10SN0001_20261207T120000Z.prm";
    EXPECT_EQ(Out(), "Succeeded in Put Parameters.\nThe earlier parameters are in " + backup + ".\n");
    EXPECT_EQ(device.ParameterBlock(), original);
    EXPECT_EQ(ReadFile(backup), std::vector<std::uint8_t>(266, 0)) << "what the file replaced";
}

TEST_F(CliTest, PutParamsOfAWrongSizeSendsNothing) {
    SimDevice& device = m_world.AddDevice().device;
    device.ClearLog();
    const std::string file = WriteFile("short.prm", std::vector<std::uint8_t>(265));
    EXPECT_EQ(RunOnWorld({"put-params", file}), kExitUsage);
    EXPECT_THAT(Err(), HasSubstr("Data format error."));
    EXPECT_TRUE(device.Log().empty());
}

TEST_F(CliTest, PutParamsSendsOnlyAFileThatFitsTheDeviceAndChecksWhatItStored) {
    std::vector<std::uint8_t> badChecksum = ValidBlock();
    badChecksum[8] ^= 0xFF;
    std::vector<std::uint8_t> zt5(DefaultParameterBlock(SimModel::kZT5));
    const struct {
        const char* what;
        std::vector<std::uint8_t> file;
        std::vector<std::string> options;
        std::set<int> failedCalls;  // control calls of the simulated device that fail
        int status;
        int stores;
        const char* said;
    } cases[] = {
        {"wrong checksum", badChecksum, {}, {}, kExitUsage, 0, "is no valid parameter block"},
        {"another model", zt5, {}, {}, kExitUsage, 0, "parameters of a ZT-5, the device is a KQ-10"},
        {"another model, forced", zt5, {"--force"}, {}, kExitSuccess, 1, "Succeeded"},
        // Sent, so the device judges it: it refuses the store.
        {"forced without backup", badChecksum, {"--force", "--no-backup"}, {}, kExitDeviceFailed,
         0, "Failed to Put Parameters. (store status: the device reported failure"},
        // Calls 1-4 read the block, 5-8 store the file, 9 begins the read-back.
        {"read-back fails", ValidBlock(), {}, {9}, kExitDeviceFailed, 1,
         "the block was stored, but reading it back failed: identity: the control request "
         "failed; the earlier parameters are in "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SimWorld world(&m_hashing);
        SimDevice& device = world.AddDevice().device;
        device.Faults().failControlCalls = c.failedCalls;
        std::vector<std::string> args = {"put-params", WriteFile("file.prm", c.file)};
        args.insert(args.end(), c.options.begin(), c.options.end());
        EXPECT_EQ(Run(args, [&](const std::optional<Simulation>&) {
                      return std::make_unique<BorrowedWorld>(world);
                  }),
                  c.status);
        EXPECT_EQ(device.StoreCount(), c.stores);
        EXPECT_THAT(Out() + Err(), HasSubstr(c.said));
    }
}

TEST_F(CliTest, ChangesToADeviceAreRecordedAndListedWithTheirBackups) {
    SimDevice& device = m_world.AddDevice().device;
    const std::vector<std::uint8_t> before = device.ParameterBlock();
    const std::string file = WriteFile("good.prm", ValidBlock());
    EXPECT_EQ(RunOnWorld({"put-params", file}), kExitSuccess);
    EXPECT_EQ(RunOnWorld({"self-test"}), kExitSuccess);
    EXPECT_EQ(RunOnWorld({"put-params", WriteFile("short.prm", {1, 2})}), kExitUsage);
    EXPECT_EQ(RunOnWorld({"report"}), kExitSuccess);  // changes nothing: not recorded
    {
        std::ofstream torn(m_dir + "/state/history.jsonl", std::ios::app);
        torn << "{\"time\":\"2026-12";  // a crash mid-line
    }

    EXPECT_EQ(RunOnWorld({"--json", "history"}), kExitSuccess);
    EXPECT_THAT(Err(), HasSubstr("incomplete and was skipped"));
    const nlohmann::json entries = nlohmann::json::parse(Out())["entries"];
    // The short file never reached the device: it changed nothing and is not recorded.
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0]["operation"], "put-params");
    EXPECT_EQ(entries[0]["outcome"], "succeeded");
    EXPECT_EQ(entries[0]["sha256"].get<std::string>().size(), 64u);
    EXPECT_EQ(entries[0]["serial"], "KQ10SN0001") << "the line names the unit";
    EXPECT_EQ(entries[1]["operation"], "self-test");

    EXPECT_EQ(RunOnWorld({"--json", "backups"}), kExitSuccess);
    const nlohmann::json backups = nlohmann::json::parse(Out())["backups"];
    ASSERT_EQ(backups.size(), 2u) << "one before each change that reached the device";
    EXPECT_EQ(ReadFile(backups[0].get<std::string>()), before) << "what put-params replaced";
    EXPECT_EQ(backups[1], entries[1]["backup"]);
    EXPECT_EQ(ReadFile(backups[1].get<std::string>()), ValidBlock()) << "what the test found";
}

// A line that is no record is skipped with a warning; what a record holds
// reaches the terminal as text, never as bytes that act or pass for other
// letters.
TEST_F(CliTest, HistoryShowsEachRecordSafelyAndSkipsWhatIsNone) {
    const std::string good = "{\"time\":\"2026-12-07T12:00:00Z\",\"operation\":\"put-params\","
                             "\"printer\":\"Z\\u001b[2J\",\"file\":\"caf\\u00e9\\u000aok\","
                             "\"backup\":\"/b/caf\xC3\xA9\",\"outcome\":\"succeeded\"}\n";
    ASSERT_EQ(mkdir(PathOf("state").c_str(), 0700), 0);
    std::ofstream(PathOf("state/history.jsonl"))
        << good << "{\"file\":5}\n{\"exitStatus\":\"0\"}\n{\"simulated\":1}\n[1]\n" << good;
    EXPECT_EQ(RunOnWorld({"history"}), kExitSuccess);
    const std::string record = "2026-12-07T12:00:00Z  put-params  Z\\x1b[2J  succeeded\n"
                               "    file: caf\\xe9\\x0aok\n    backup: /b/caf\xC3\xA9\n";
    EXPECT_EQ(Out(), record + record);
    for (const char* field : {"\"file\" of", "\"exitStatus\" of", "\"simulated\" of"}) {
        EXPECT_THAT(Err(), HasSubstr(std::string("has a ") + field + " the wrong type and was skipped"));
    }
    EXPECT_THAT(Err(), HasSubstr("is incomplete and was skipped"));
    EXPECT_EQ(RunOnWorld({"--json", "history"}), kExitSuccess);
    EXPECT_EQ(nlohmann::json::parse(Out())["entries"].size(), 2u);
}

// A state folder that is not one is said, exit 2; one not made yet has
// nothing in it.
TEST_F(CliTest, AStateFolderThatCannotBeUsedIsAnError) {
    WriteFile("plain", {'x'});
    for (const auto& [folder, status] : {std::pair(PathOf("plain"), kExitUsage),
                                         std::pair(PathOf("plain/state"), kExitUsage),
                                         std::pair(PathOf("none/yet"), kExitSuccess)}) {
        m_environment.SetVariable("MARNEL_STATE_DIR", folder);
        for (const char* command : {"history", "backups"}) {
            EXPECT_EQ(RunOnWorld({command}), status) << folder << " " << command;
            EXPECT_THAT(Err(), HasSubstr(status == kExitUsage
                                             ? folder + " (MARNEL_STATE_DIR) is not a folder"
                                             : ""));
            EXPECT_EQ(Out().empty(), status == kExitUsage);
        }
    }
}

// Only complete backups are offered, oldest first; a damaged one is said.
TEST_F(CliTest, BackupsListsOnlyCompleteOnesInOrder) {
    ASSERT_EQ(std::system(("mkdir -p " + PathOf("state/backups")).c_str()), 0);
    const std::string stem = PathOf("state/backups/KQ-10_P_20261207T120000Z");
    for (const char* count : {"-10", "-2", "-3"}) {
        std::ofstream(stem + count + ".prm") << std::string(kParameterBlockSize, '\x01');
    }
    std::ofstream(stem + ".prm").flush();  // cut short by a full disk
    // The history took another digest of -3 when it was made.
    std::ofstream(PathOf("state/history.jsonl"))
        << "{\"backup\":\"" << stem << "-3.prm\",\"backupSha256\":\"00\"}\n";

    EXPECT_EQ(RunOnWorld({"backups"}), kExitSuccess);
    EXPECT_EQ(Out(), stem + "-2.prm\n" + stem + "-10.prm\n");
    EXPECT_THAT(Err(), HasSubstr(stem + ".prm is damaged and not listed: 0 bytes where a backup "
                                        "holds 266"));
    EXPECT_THAT(Err(), HasSubstr(stem + "-3.prm is damaged and not listed: its SHA-256"));
    EXPECT_EQ(RunOnWorld({"--json", "backups"}), kExitSuccess);
    const nlohmann::json result = nlohmann::json::parse(Out());
    EXPECT_EQ(result["backups"].size(), 2u);
    EXPECT_EQ(result["damaged"].size(), 2u);
}

TEST_F(CliTest, ARefusedStoreIsFailedToPutParametersWithItsCause) {
    SimDevice& device = m_world.AddDevice().device;
    device.Faults().failedStatus = 0x01;
    device.Faults().failedStatusCommand = 0x02;  // the store
    const std::string file = WriteFile("good.prm", ValidBlock());
    EXPECT_EQ(RunOnWorld({"put-params", file}), kExitDeviceFailed);
    EXPECT_THAT(Err(), HasSubstr("Failed to Put Parameters."));
    EXPECT_THAT(Err(), HasSubstr("0x01"));
}

TEST_F(CliTest, ABusyDeviceFailsGetParamsAndLeavesNoFile) {
    m_world.AddDevice().device.Faults().busyPolls = 100;
    const std::string file = PathOf("never.prm");
    EXPECT_EQ(RunOnWorld({"get-params", file}), kExitDeviceFailed);
    EXPECT_THAT(Err(), HasSubstr("Failed to Get Parameters."));
    EXPECT_NE(access(file.c_str(), F_OK), 0);
}

TEST_F(CliTest, ASilentDeviceEndsTheReportWithFailure) {
    m_world.AddDevice(SimDeviceSetup(SimModel::kZT5)).device.Faults().silent = true;
    EXPECT_EQ(RunOnWorld({"report"}), kExitDeviceFailed);
    EXPECT_THAT(Err(), HasSubstr("Failed to Get Report."));
}

TEST_F(CliTest, WithoutADeviceEveryDeviceCommandFailsToConnect) {
    m_world.AddOtherPrinter("Office", "Generic Laser", "USB007");
    for (const char* command : {"report", "version"}) {
        EXPECT_EQ(RunOnWorld({command}), kExitNoDevice) << command;
        EXPECT_THAT(Err(), HasSubstr("Failed to connect.")) << command;
    }
}

TEST_F(CliTest, TwoDevicesWarnAndUseTheFirstUnlessOneIsNamed) {
    m_world.AddDevice(SimDeviceSetup(SimModel::kKQ10));
    m_world.AddDevice(SimDeviceSetup(SimModel::kZT5));
    EXPECT_EQ(RunOnWorld({"version"}), kExitSuccess);
    EXPECT_THAT(Err(), HasSubstr("Many devices are connected."));
    EXPECT_EQ(Out(), "1.05\n");

    EXPECT_EQ(RunOnWorld({"--printer", "Zarvel ZT-5", "version"}), kExitSuccess);
    EXPECT_THAT(Err(), Not(HasSubstr("Many devices")));
    EXPECT_EQ(Out(), "3.12\n");
}

TEST_F(CliTest, ListMarksTheChosenDeviceAndSkipsOfflineOnes) {
    m_world.AddDevice(SimDeviceSetup(SimModel::kKQ10, "Zarvel KQ-10", "", "", true));
    m_world.AddDevice(SimDeviceSetup(SimModel::kZT5));
    EXPECT_EQ(RunOnWorld({"list"}), kExitSuccess);
    EXPECT_THAT(Out(), HasSubstr("  Zarvel KQ-10\n"));
    EXPECT_THAT(Out(), HasSubstr("state:  offline"));
    EXPECT_THAT(Out(), HasSubstr("* Zarvel ZT-5\n"));
}

TEST_F(CliTest, ListShowsEachDevicesSerialAndModeAndSerialChoosesOne) {
    m_world.AddDevice(SimDeviceSetup(SimModel::kKQ10));
    m_world.AddDevice(SimDeviceSetup(SimModel::kZT5));
    m_world.Device(1).device.SetMode(SimMode::kUpdate);
    const std::string kq = m_world.Device(0).serial;
    const std::string zt = m_world.Device(1).serial;
    EXPECT_EQ(RunOnWorld({"list"}), kExitSuccess);
    EXPECT_THAT(Out(), HasSubstr("serial: " + kq + "\n    mode:   service\n"));
    EXPECT_THAT(Out(), HasSubstr("serial: " + zt + "\n    mode:   update (VERSION UP)\n"));

    m_world.Device(1).device.SetMode(SimMode::kService);
    const struct {
        std::vector<std::string> args;
        int status;
        const char* shown;
    } cases[] = {
        {{"--serial", zt, "version"}, kExitSuccess, "3.12\n"},
        {{"version", "--serial", kq}, kExitSuccess, "1.05\n"},
        {{"--serial", "NOSUCH", "version"}, kExitNoDevice, "no Zarvel device with serial NOSUCH"},
        {{"--serial", kq, "--printer", "Zarvel KQ-10", "version"}, kExitUsage, "give one"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RunOnWorld(c.args), c.status) << c.args[1];
        EXPECT_THAT(Out() + Err(), HasSubstr(c.shown)) << c.args[1];
    }
}

TEST_F(CliTest, DoctorPrintsOneCheckALineAndFailsOnAFailedCheck) {
    EXPECT_EQ(Run({"--simulate", "doctor"}), kExitSuccess);
    EXPECT_THAT(Out(), HasSubstr("ok   identity: Zarvel KQ-10 (serial KQ10SN0001) answers in "
                                 "service mode\n"));
    EXPECT_THAT(Out(), HasSubstr("info udev-rule: does not apply to the simulated machine\n"));
    EXPECT_THAT(Out(), HasSubstr("ok   state-folder: backups and the history can be kept in " +
                                 m_dir + "/state\n"));

    // Nothing that changes a unit could keep its backup there.
    WriteFile("plain", {'x'});
    m_environment.SetVariable("MARNEL_STATE_DIR", PathOf("plain"));
    EXPECT_EQ(Run({"--simulate", "--json", "doctor"}), kExitIncomplete);
    EXPECT_THAT(Out(), HasSubstr("\"name\":\"state-folder\",\"status\":\"fail\""));
    m_environment.SetVariable("MARNEL_STATE_DIR", m_dir + "/state");

    m_world.AddDevice();
    m_world.Unplug("Zarvel KQ-10");
    EXPECT_EQ(RunOnWorld({"--json", "doctor"}), kExitIncomplete);
    EXPECT_THAT(Out(), HasSubstr("\"name\":\"identity\",\"status\":\"fail\""));
    EXPECT_THAT(Out(), HasSubstr("\"ok\":false"));
}

// A device's strings can neither start a line of their own nor act on the
// terminal; JSON carries bytes that are not UTF-8 in hex too.
TEST_F(CliTest, DeviceStringsAreShownAsText) {
    m_world.AddDevice(SimDeviceSetup(SimModel::kKQ10, "Zarvel KQ-10\nok   lp-group: \x1b[2J"));
    for (const char* command : {"list", "doctor"}) {
        RunOnWorld({command});
        EXPECT_THAT(Out(), HasSubstr("Zarvel KQ-10\\x0aok   lp-group: \\x1b[2J")) << command;
        EXPECT_THAT(Out(), Not(HasSubstr("\nok   lp-group"))) << command;
    }
    // A surrogate, an overlong form, a code point past the last.
    m_world.Device(0).device.SetReport(std::string("\xED\xA0\x80 \xC0\xAF \xF4\x90\x80\x80\n"));
    EXPECT_EQ(RunOnWorld({"--json", "report"}), kExitSuccess);
    EXPECT_EQ(nlohmann::json::parse(Out())["reportHex"], "eda08020c0af20f49080800a");
}

TEST_F(CliTest, TraceShowsEveryRequestInHex) {
    m_world.AddDevice();
    EXPECT_EQ(RunOnWorld({"--trace", "version"}), kExitSuccess);
    EXPECT_THAT(Err(), HasSubstr("identity: F0 00 00 -> ok 53 45 52 56 49 43 45 00"));
    EXPECT_THAT(Err(), HasSubstr("start version read: F0 00 08 03 -> ok"));
    EXPECT_THAT(Err(), HasSubstr("version data read: F0 00 0A 03 -> ok"));
}

TEST_F(CliTest, JsonResultsAreOneObjectPerCommand) {
    m_world.AddDevice(SimDeviceSetup(SimModel::kZT5));
    EXPECT_EQ(RunOnWorld({"--json", "version"}), kExitSuccess);
    EXPECT_EQ(Out(), "{\"exitStatus\":0,\"ok\":true,\"version\":\"3.12\"}\n");
    m_world.Device(0).device.Faults().failedStatus = 0x05;
    EXPECT_EQ(RunOnWorld({"--json", "version"}), kExitDeviceFailed);
    EXPECT_THAT(Out(), ::testing::StartsWith("{\"detail\":\"version status: the device reported failure"));
    EXPECT_THAT(Out(), ::testing::EndsWith(
                           "\"error\":\"Failed to get the version.\",\"exitStatus\":1,"
                           "\"ok\":false}\n"));
    EXPECT_EQ(Err(), "");
    // Even a command line it cannot run ends in one object, with the reason.
    EXPECT_EQ(RunOnWorld({"--json", "inspect"}), kExitUsage);
    EXPECT_EQ(Out(), "{\"error\":\"FILE is required\",\"exitStatus\":2,\"ok\":false}\n");
}

TEST_F(CliTest, JsonStaysValidForTextThatIsNotUtf8) {
    // A Latin-1 degree sign from the device, a file name in another encoding.
    m_world.AddDevice(SimDeviceSetup(SimModel::kKQ10));
    m_world.Device(0).device.SetReport(std::string("Head: 38 \xB0" "C\n"));
    const std::string oddName = PathOf("caf\xE9.prm");
    for (const auto& [args, status] : std::vector<std::pair<std::vector<std::string>, int>>{
             {{"--json", "report"}, kExitSuccess},
             {{"--json", "get-params", oddName}, kExitSuccess},
             {{"--json", "inspect", PathOf("missing\xFF.prm")}, kExitUsage}}) {
        SCOPED_TRACE(args[1]);
        EXPECT_EQ(RunOnWorld(args), status);
        const nlohmann::json result = nlohmann::json::parse(Out());  // throws if invalid
        EXPECT_EQ(result["ok"], status == kExitSuccess);
        if (args[1] == "report") {
            EXPECT_EQ(result["reportHex"], "486561643a20333820b0430a") << "the exact bytes";
        }
    }
    EXPECT_THAT(ReadFile(oddName), ::testing::SizeIs(266)) << "the file keeps its own name";
}

TEST_F(CliTest, TheCommandLineForgivesOrderAndSaysWhatWasMeant) {
    const SimDevice& device = m_world.AddDevice().device;
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out;  // a part of standard output
        std::string err;  // a part of standard error
    } cases[] = {
        {{"reprot"}, kExitUsage, "", "unknown command 'reprot'; did you mean 'report'?"},
        {{"report", "--jsno"}, kExitUsage, "", "unknown option '--jsno'; did you mean '--json'?"},
        {{"report", "--json"}, kExitSuccess, "{\"exitStatus\":0,\"ok\":true,\"report\":", ""},
        {{"help", "put-params"}, kExitSuccess, "--no-backup", ""},
        {{"help", "firmwear"}, kExitUsage, "", "did you mean 'firmware'?"},
        {{"report", "-o", ""}, kExitUsage, "", "an empty file name"},
        {{"get-params", ""}, kExitUsage, "", "an empty file name"},
        {{"--json", "get-params", "-"}, kExitUsage, "cannot share standard output", ""},
        // Given empty, a value is refused, not taken as none or as 0.
        {{"--serial", "", "version"}, kExitUsage, "", "an empty serial number"},
        {{"version", "--printer", ""}, kExitUsage, "", "an empty printer name"},
        {{"firmware", "--timeout", "", "f"}, kExitUsage, "", "an empty number of seconds"},
        {{"firmware", "--verify-timeout", "", "f"}, kExitUsage, "", "an empty number of seconds"},
        // A JSON reader gets the reason of a usage error, not only its status.
        {{"--json", "--printer", "", "version"}, kExitUsage, "\"error\":\"--printer: an empty", ""},
        {{"help", "nosuch", "--json"}, kExitUsage, "\"error\":\"marnel: unknown command", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : ""));
        EXPECT_EQ(RunOnWorld(c.args), c.status);
        EXPECT_THAT(Out(), HasSubstr(c.out));
        EXPECT_THAT(Err(), HasSubstr(c.err));
    }
    // "-" is standard output, with the bytes unchanged.
    EXPECT_EQ(RunOnWorld({"get-params", "-"}), kExitSuccess);
    const std::string block = Out();
    EXPECT_EQ(std::vector<std::uint8_t>(block.begin(), block.end()), device.ParameterBlock());
    EXPECT_EQ(RunOnWorld({"report", "-o", "-"}), kExitSuccess);
    EXPECT_EQ(Out(), DefaultReportText(SimModel::kKQ10));
}

TEST_F(CliTest, SimulateTakesAModelAndRefusesAnUnknownOne) {
    EXPECT_EQ(Run({"--simulate=ZT-5", "version"}), kExitSuccess);
    EXPECT_EQ(Out(), "3.12\n");
    EXPECT_EQ(Run({"--simulate=QQ-1", "version"}), kExitUsage);
    EXPECT_THAT(Err(), HasSubstr("QQ-1"));
}

TEST_F(CliTest, SimulatedUnitsKeepTheirStateFromOneCommandToTheNext) {
    const std::string state = PathOf("units.json");
    EXPECT_EQ(Run({"--simulate=KQ-10,ZT-5,KQ-10", "--simulate-state", state, "--json", "list"}),
              kExitSuccess);
    for (const char* unit :
         {"\"name\":\"Zarvel KQ-10\"", "\"serial\":\"KQ10SN0001\"", "\"serial\":\"ZT5SN0002\"",
          "\"name\":\"Zarvel KQ-10 (2)\"", "\"serial\":\"KQ10SN0003\""}) {
        EXPECT_THAT(Out(), HasSubstr(unit));
    }

    const std::string block = WriteFile("block.prm", ValidBlock());
    EXPECT_EQ(Run({"--simulate-state", state, "--serial", "KQ10SN0003", "put-params", block}),
              kExitSuccess);
    for (const char* serial : {"KQ10SN0003", "KQ10SN0001"}) {
        const std::string saved = PathOf(std::string(serial) + ".prm");
        EXPECT_EQ(Run({"--simulate-state", state, "--serial", serial, "get-params", saved}),
                  kExitSuccess);
        EXPECT_EQ(ReadFile(saved) == ValidBlock(), std::string(serial) == "KQ10SN0003") << serial;
    }

    const std::string image = "KVF\nSIMULATED-VERSION=1.06\n";
    const std::string firmware =
        WriteFile("fw.kvf", std::vector<std::uint8_t>(image.begin(), image.end()));
    EXPECT_EQ(
        Run({"--simulate-state", state, "--serial", "ZT5SN0002", "firmware", "--yes", firmware}),
        kExitSuccess);
    EXPECT_EQ(Run({"--simulate-state", state, "--serial", "ZT5SN0002", "version"}), kExitSuccess);
    EXPECT_EQ(Out(), "1.06\n");
}

TEST_F(CliTest, AStateFileThatCannotBeReadIsAUsageErrorAndStaysAsItWas) {
    ASSERT_EQ(mkdir(PathOf("folder").c_str(), 0700), 0);
    const struct {
        std::string file;
        std::string content;  // empty: none written
        const char* said;
    } cases[] = {
        {PathOf("cut.json"), "{\"schema\": 1, \"units\": [", "not valid JSON"},
        {PathOf("old.json"), "{\"schema\": 0, \"units\": []}", "\"schema\" is not 1"},
        {PathOf("folder"), "", "is not a file"},
        {PathOf("missing/units.json"), "", "missing/units.json"},
    };
    for (const auto& c : cases) {
        if (!c.content.empty()) {
            WriteFile(c.file.substr(m_dir.size() + 1),
                      std::vector<std::uint8_t>(c.content.begin(), c.content.end()));
        }
        EXPECT_EQ(Run({"--simulate-state", c.file, "version"}), kExitUsage) << c.file;
        EXPECT_THAT(Err(), HasSubstr(c.said));
        if (!c.content.empty()) {
            const std::vector<std::uint8_t> after = ReadFile(c.file);
            EXPECT_EQ(std::string(after.begin(), after.end()), c.content);
        }
    }
}

TEST_F(CliTest, SelfTestShowsItsStepsInOrder) {
    m_world.AddDevice();
    EXPECT_EQ(RunOnWorld({"self-test"}), kExitSuccess);
    EXPECT_THAT(Out(), ::testing::StartsWith(
                           "Start Self Test\nSuccess: Create\nSuccess: GetParam\n"
                           "Success: PutParam dummy\nSuccess: PutParam original\n"
                           "Success: GetParam2\nSuccess: Compare\nSuccess: GetVersion (1.05)\n"
                           "Success: GetReport\nZarvel KQ-10 Service Report\n"));
}

TEST_F(CliTest, SelfTestExitStatusFollowsTheFirstFailedStep) {
    EXPECT_EQ(RunOnWorld({"self-test"}), kExitNoDevice);
    EXPECT_EQ(Out(), "Start Self Test\nError: Create\n");

    m_world.AddDevice().device.Faults().busyPolls = 100;
    EXPECT_EQ(RunOnWorld({"self-test"}), kExitDeviceFailed);
    EXPECT_THAT(Out(), ::testing::EndsWith("Success: Create\nError: GetParam\n"));
}

TEST_F(CliTest, ASelfTestThatCannotRestoreNamesItsBackupAndTheCommandThatRestoresIt) {
    SimDevice& device = m_world.AddDevice().device;
    const std::vector<std::uint8_t> original = device.ParameterBlock();
    device.Faults().failedStatus = 0x01;
    device.Faults().failedStatusCommand = 0x02;  // every store fails
    const std::string backup =
        m_dir + "/state/backups/KQ-10_Zarvel-KQ-10_KQ10SN0001_20261207T120000Z.prm";
    EXPECT_EQ(RunOnWorld({"self-test"}), kExitDeviceFailed);
    EXPECT_THAT(Out(), HasSubstr("Error: PutParam original\nThe device's parameters were saved to " +
                                 backup + " before the test. Restore them with Put Parameters.\n"));
    EXPECT_THAT(Out(), HasSubstr("To restore them: marnel --serial 'KQ10SN0001' put-params '" +
                                 backup + "'\n"));
    EXPECT_EQ(ReadFile(backup), original);

    // A second unit arrives and takes the printer's name; the command still
    // reaches the unit it names, once that stores again.
    device.Faults().failedStatus.reset();
    device.SetParameterBlock(std::vector<std::uint8_t>(266, 0));
    const std::string port = m_world.Device(0).printer.portName;
    m_world.DeletePrinter("Zarvel KQ-10");
    SimDevice& other = m_world.AddDevice(SimDeviceSetup(SimModel::kKQ10)).device;
    m_world.Spooler().AddPrinter({"Zarvel KQ-10 (2)", "Zarvel KQ-10", port, 0});
    EXPECT_EQ(RunOnWorld({"--serial", "KQ10SN0001", "put-params", backup}), kExitSuccess);
    EXPECT_EQ(device.ParameterBlock(), original);
    EXPECT_EQ(other.StoreCount(), 0);

    // A second run in the same second keeps the first backup.
    device.Faults().failedStatus = 0x01;
    EXPECT_EQ(RunOnWorld({"--serial", "KQ10SN0001", "--json", "self-test"}), kExitDeviceFailed);
    const std::string restore = nlohmann::json::parse(Out())["restoreCommand"];
    EXPECT_THAT(restore, HasSubstr("--serial 'KQ10SN0001' put-params '"));
    EXPECT_THAT(restore, Not(HasSubstr(backup)));
    EXPECT_EQ(ReadFile(backup), original);
}

TEST_F(CliTest, ASignalWaitsUntilTheParametersAreBackAndTheChangeIsRecorded) {
    SimDevice& device = m_world.AddDevice().device;
    const std::vector<std::uint8_t> original = device.ParameterBlock();
    const std::string file = WriteFile("good.prm", ValidBlock());
    int lines = 0;
    // Every signal that ends the tool by default: Ctrl+C, kill, a closed
    // terminal or SSH session, Ctrl+\.
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        for (const bool selfTest : {true, false}) {
            SCOPED_TRACE(std::to_string(signal) + (selfTest ? " self-test" : " put-params"));
            // Right after the first store; without the hold it would end the
            // test process here.
            int stores = 0;
            device.OnStored([&] {
                if (++stores == 1) {
                    std::raise(signal);
                }
            });
            EXPECT_EQ(RunOnWorld(selfTest ? std::vector<std::string>{"self-test"}
                                          : std::vector<std::string>{"put-params", file}),
                      128 + signal);
            EXPECT_THAT(Err(), HasSubstr("Interrupted"));
            if (selfTest) {
                EXPECT_EQ(stores, 2);
                EXPECT_EQ(device.ParameterBlock(), original);
                EXPECT_THAT(Out(), ::testing::EndsWith("Success: PutParam original\n"));
            } else {
                EXPECT_EQ(device.ParameterBlock(), ValidBlock());
                device.SetParameterBlock(original);
            }
            std::ifstream history(m_dir + "/state/history.jsonl");
            int now = 0;
            for (std::string line; std::getline(history, line);) {
                ++now;
            }
            EXPECT_EQ(now, ++lines) << "the change is recorded before the tool ends";
        }
    }
    device.OnStored(nullptr);
    struct sigaction after {};
    ASSERT_EQ(sigaction(SIGINT, nullptr, &after), 0);
    EXPECT_EQ(after.sa_handler, SIG_DFL) << "the handlers are given back";
}

TEST_F(CliTest, FirmwareReachesTheDeviceByteForByteOnceItLeftServiceMode) {
    SimDevice& device = m_world.AddDevice().device;
    device.SetKeepJobBytes(true);
    std::vector<std::uint8_t> firmware(1048577);
    for (std::size_t i = 0; i < firmware.size(); ++i) {
        firmware[i] = static_cast<std::uint8_t>(i * 7 + (i >> 9));
    }
    const std::string file = WriteFile("fw.kvf", firmware);

    // The first Enter finds the device still in service mode: asked again.
    m_in.str("\n\n");
    EXPECT_EQ(RunOnWorld({"firmware", file}), kExitDeviceFailed);
    EXPECT_THAT(Out(), HasSubstr("not in VERSION UP mode yet"));
    EXPECT_THAT(Err(), HasSubstr("cancelled; nothing was sent"));
    EXPECT_TRUE(device.Jobs().empty());

    device.SetMode(SimMode::kUpdate);
    device.SetVersionAfterFirmware(std::string("2.00"));  // and back in service mode
    m_in.str("\n");
    EXPECT_EQ(RunOnWorld({"firmware", file}), kExitSuccess);
    EXPECT_THAT(Out(), HasSubstr("Please restart in a VERSION UP mode."));
    ASSERT_EQ(device.Jobs().size(), 1u);
    EXPECT_EQ(device.Jobs()[0].bytes, firmware);
    EXPECT_EQ(m_world.Spooler().Jobs().back().docName, "Updater");
}

TEST_F(CliTest, FirmwareWithYesGivesUpAfterTheTimeoutAndSendsNothing) {
    SimDevice& device = m_world.AddDevice().device;
    const std::string file = WriteFile("fw.kvf", std::vector<std::uint8_t>(100, 0x5A));
    EXPECT_EQ(RunOnWorld({"firmware", "--yes", "--timeout", "1", file}), kExitDeviceFailed);
    EXPECT_THAT(Err(), HasSubstr("did not leave service mode within 1 second;"));
    EXPECT_TRUE(device.Jobs().empty());
    const std::vector<DWORD>& sleeps = m_world.Clock().Sleeps();
    EXPECT_EQ(std::count(sleeps.begin(), sleeps.end(), 1000u), 1) << "one look a second";
}

TEST_F(CliTest, FirmwareWithYesSendsOnceTheDeviceLeftServiceModeAndReportsProgressAsJson) {
    SimDevice& device = m_world.AddDevice().device;
    device.SetMode(SimMode::kUpdate);
    device.SetVersionAfterFirmware(std::string("2.00"));
    const std::string file = WriteFile("fw.kvf", std::vector<std::uint8_t>(2500000, 0x33));
    EXPECT_EQ(RunOnWorld({"--json", "firmware", "--yes", file}), kExitSuccess);
    EXPECT_EQ(Out(),
              "{\"progress\":1048576,\"total\":2500000}\n"
              "{\"progress\":2097152,\"total\":2500000}\n"
              "{\"progress\":2500000,\"total\":2500000}\n"
              "{\"bytes\":2500000,\"exitStatus\":0,\"file\":\"" + file +
                  "\",\"ok\":true,\"verified\":true,\"versionAfter\":\"2.00\"}\n");
    ASSERT_EQ(device.Jobs().size(), 1u);
    EXPECT_EQ(device.Jobs()[0].size, 2500000u);
}

// The device is read and backed up before the prompt and checked once it
// runs the new firmware.
TEST_F(CliTest, FirmwareIsCheckedAgainstTheDeviceAsItWasBefore) {
    ParameterBlockBytes changedBlock{};
    const std::vector<std::uint8_t> kq10 = DefaultParameterBlock(SimModel::kKQ10);
    std::copy(kq10.begin(), kq10.end(), changedBlock.begin());
    changedBlock[8] ^= 0x01;
    changedBlock[9] ^= 0x01;
    changedBlock[40] ^= 0x01;
    StoreParameterChecksum(changedBlock);
    const std::vector<std::uint8_t> reset(changedBlock.begin(), changedBlock.end());
    // Who answers after the job: nobody, the unit with new firmware, with
    // the same firmware, with no readable version, or another unit.
    enum Back { kNever, kSame, kUnchanged, kNoVersion, kAnother };
    const struct {
        const char* what;
        Back back;
        std::vector<std::uint8_t> blockAfter;  // empty: kept
        std::vector<std::string> options;
        int status;
        const char* said;
        bool restored;
    } cases[] = {
        {"same parameters", kSame, {}, {}, kExitSuccess, "Version: 1.05 -> 9.99\n", false},
        {"changed parameters", kSame, reset, {}, kExitSuccess,
         "the parameters changed at bytes 8-9, 40, 265; to restore them: marnel --serial "
         "'KQ10SN0001' put-params '",
         false},
        {"changed and restored", kSame, reset, {"--restore-params"}, kExitSuccess,
         "they were restored from ", true},
        {"never back", kNever, {}, {"--verify-timeout", "30"}, kExitDeviceFailed,
         "Firmware sent, not verified: the device did not answer in service mode within 30 "
         "seconds.",
         false},
        // Another unit now answers for the printer: nothing is asked of it or written to it.
        {"another unit back", kAnother, reset, {"--restore-params"}, kExitDeviceFailed,
         "Firmware sent, not verified: another unit answered (serial KQ10SN0002, not serial "
         "KQ10SN0001).",
         false},
        {"not checked", kNever, {}, {"--no-verify"}, kExitSuccess, "Firmware sent to", false},
        {"the version did not change", kUnchanged, {}, {}, kExitSuccess,
         "the version did not change: the device runs 1.05 as before the upgrade", false},
        {"no version after the restart", kNoVersion, {}, {}, kExitDeviceFailed,
         "Firmware sent, not verified: the version could not be read after the restart: "
         "version status: the device reported failure (status 0x01).",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SimWorld world(&m_hashing);
        SimDevice& device = world.AddDevice().device;
        const std::vector<std::uint8_t> before = device.ParameterBlock();
        device.SetBlockAfterFirmware(c.blockAfter);
        std::vector<std::string> args = {"firmware", "--yes",
                                         WriteFile("fw.kvf", std::vector<std::uint8_t>(10, 1))};
        args.insert(args.end(), c.options.begin(), c.options.end());
        SimDevice* another = nullptr;
        const int status = Run(args, [&](const std::optional<Simulation>&) {
            // The technician: update mode when asked; after the job, the
            // unit comes back, or another takes its printer's name.
            struct Technician : BorrowedWorld {
                Technician(SimWorld& w, Back b, SimDevice** other)
                    : BorrowedWorld(w), world(w), back(b), another(other) {}
                void OnVersionUpPrompt(const std::string&) override {
                    SimDevice& device = world.Device(0).device;
                    if (back == kSame || back == kNoVersion) {
                        device.SetVersionAfterFirmware(std::string("9.99"));
                    } else if (back == kUnchanged) {
                        device.SetVersionAfterFirmware(std::string("1.05"));
                    }
                    device.SetMode(SimMode::kUpdate);
                }
                void OnServiceModePrompt(const std::string&) override {
                    if (back == kNoVersion) {
                        world.Device(0).device.Faults().failedStatus = 0x01;
                        world.Device(0).device.Faults().failedStatusCommand = 0x03;
                    }
                    if (back == kAnother) {
                        world.DeletePrinter("Zarvel KQ-10");
                        *another = &world.AddDevice(SimDeviceSetup(SimModel::kKQ10)).device;
                    }
                }
                SimWorld& world;
                Back back;
                SimDevice** another;
            };
            return std::make_unique<Technician>(world, c.back, &another);
        });
        EXPECT_EQ(status, c.status);
        EXPECT_THAT(Out() + Err(), HasSubstr(c.said));
        const std::string backup = m_dir + "/state/backups/KQ-10_Zarvel-KQ-10_KQ10SN0001_20261207T120000Z.prm";
        EXPECT_EQ(ReadFile(backup), before) << "backed up before the prompt";
        std::remove(backup.c_str());
        if (another != nullptr) {
            EXPECT_EQ(another->StoreCount(), 0) << "nothing written to the other unit";
        } else {
            EXPECT_EQ(device.ParameterBlock() == before, c.blockAfter.empty() || c.restored);
        }
    }
}

TEST_F(CliTest, FirmwareThatCannotGoWellIsRefusedBeforeAnythingIsSent) {
    SimDevice& device = m_world.AddDevice().device;
    const std::string fifo = PathOf("fifo.kvf");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        const char* what;
        std::vector<std::string> args;
        bool paused;
        int status;
        const char* said;
    } cases[] = {
        {"an empty file", {"firmware", "--yes", WriteFile("empty.kvf", {})}, false, kExitUsage,
         "is empty; nothing was sent"},
        // Reading a FIFO would wait for a writer for ever.
        {"a FIFO", {"firmware", "--yes", fifo}, false, kExitUsage, "is not a regular file"},
        {"a FIFO to inspect", {"inspect", fifo}, false, kExitUsage, "is not a regular file"},
        {"a FIFO to put", {"put-params", fifo}, false, kExitUsage, "is not a regular file"},
        // A paused queue would hold the job and deliver it when resumed.
        {"a paused queue",
         {"--printer", "Zarvel KQ-10", "firmware", "--yes", WriteFile("fw.kvf", {1, 2, 3})}, true,
         kExitDeviceFailed, "takes no jobs now"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        m_world.SetOffline("Zarvel KQ-10", c.paused);
        EXPECT_EQ(RunOnWorld(c.args), c.status);
        EXPECT_THAT(Err(), HasSubstr(c.said));
        EXPECT_TRUE(m_world.Spooler().Jobs().empty());
        EXPECT_TRUE(device.ControlLog().empty()) << "the device was not even asked";
    }
}

// The spooler's own cause follows the failure; a job the queue holds is
// cancelled with what lets the queue deliver.
TEST_F(CliTest, ASpoolerFailureCancelsTheJobAndSaysSo) {
    SimDevice& device = m_world.AddDevice().device;
    device.SetMode(SimMode::kUpdate);
    m_world.Spooler().FailWrite(1);
    m_world.Spooler().SetFaultCause("There is not enough space on the disk. (error 112)");
    const std::string file = WriteFile("fw.kvf", std::vector<std::uint8_t>(3000000, 1));
    EXPECT_EQ(RunOnWorld({"firmware", "--yes", file}), kExitDeviceFailed);
    EXPECT_THAT(Err(), HasSubstr("Failed to send the firmware. (There is not enough space on the "
                                 "disk. (error 112))"));
    EXPECT_EQ(m_world.Spooler().Jobs().back().state, SpoolerJob::State::kCancelled);

    device.SetMode(SimMode::kUpdate);
    m_world.Spooler().ScriptJobStates(
        {JobStatus{JobState::kHeld, false, "job-hold-until-specified", "release Q"}});
    EXPECT_EQ(RunOnWorld({"firmware", "--yes", file}), kExitDeviceFailed);
    EXPECT_THAT(Err(), HasSubstr("Firmware not sent: the queue held the job "
                                 "(job-hold-until-specified); the job was cancelled. (to let the "
                                 "queue deliver jobs: release Q)"));
    EXPECT_EQ(m_world.Spooler().Jobs().back().state, SpoolerJob::State::kCancelled);
    EXPECT_TRUE(device.Jobs().empty());
}

// Each unit's facts as read, and its last change: the newest entry of its
// serial, never one recorded on a simulated unit for a real one.
TEST_F(CliTest, InventoryReportsEachUnitWithItsLastChange) {
    m_world.AddDevice(SimDeviceSetup(SimModel::kKQ10));
    m_world.AddDevice(SimDeviceSetup(SimModel::kZT5));
    m_world.AddDevice(SimDeviceSetup(SimModel::kKQ10, "Zarvel KQ-10 bench"));
    m_world.Unplug("Zarvel ZT-5");
    m_world.Device(2).device.SetMode(SimMode::kUpdate);
    auto entry = [](const char* time, const char* serial, bool simulated) {
        return std::string("{\"time\":\"") + time + "\",\"operation\":\"put-params\",\"serial\":\"" +
               serial + "\",\"outcome\":\"succeeded\",\"simulated\":" +
               (simulated ? "true" : "false") + "}\n";
    };
    ASSERT_EQ(mkdir(PathOf("state").c_str(), 0700), 0);
    std::ofstream(PathOf("state/history.jsonl"))
        << entry("2026-12-01T08:00:00Z", "KQ10SN0001", false)
        << entry("2026-12-02T09:00:00Z", "KQ10SN0001", false)
        << entry("2026-12-03T10:00:00Z", "KQ10SN0001", true)
        << entry("2026-12-04T11:00:00Z", "ZT5SN0002", false);

    EXPECT_EQ(RunOnWorld({"--json", "inventory"}), kExitSuccess);
    const nlohmann::json result = nlohmann::json::parse(Out());
    EXPECT_EQ(result["schema"], 1);
    EXPECT_EQ(result["host"], "service-bench");
    EXPECT_EQ(result["tool"], nlohmann::json({{"name", "marnel"}, {"version", "2.01"}}));
    EXPECT_EQ(result["time"], "2026-12-07T12:00:00Z");
    const struct {
        const char* serial;
        const char* mode;
        bool read;  // firmware and parameters' digest known
        const char* lastChange;
    } units[] = {
        {"KQ10SN0001", "service", true, "2026-12-02T09:00:00Z"},
        {"ZT5SN0002", "not answering", false, "2026-12-04T11:00:00Z"},
        {"KQ10SN0003", "update", false, nullptr},
    };
    ASSERT_EQ(result["units"].size(), 3u) << Out();
    for (std::size_t i = 0; i < 3; ++i) {
        const nlohmann::json& unit = result["units"][i];
        EXPECT_EQ(unit["serial"], units[i].serial);
        EXPECT_EQ(unit["mode"], units[i].mode) << units[i].serial;
        EXPECT_EQ(unit["firmware"].is_string(), units[i].read) << units[i].serial;
        EXPECT_EQ(unit["parametersSha256"].is_string(), units[i].read) << units[i].serial;
        EXPECT_EQ(unit.contains("error"), !units[i].read) << units[i].serial;
        EXPECT_EQ(unit["lastChange"].is_null() ? nlohmann::json(nullptr)
                                                : unit["lastChange"]["time"],
                  units[i].lastChange ? nlohmann::json(units[i].lastChange)
                                      : nlohmann::json(nullptr))
            << units[i].serial;
    }
    EXPECT_EQ(result["units"][0]["firmware"], "1.05");
}

// A unit that does not answer is still listed, as down; label values are
// escaped; the file replaces the earlier one whole and nothing else stays.
TEST_F(CliTest, MetricsWriteEveryUnitToTheCollectorsFolder) {
    m_world.AddDevice(SimDeviceSetup(SimModel::kKQ10, "Lab \"A\\1\"\nKQ"));
    m_world.AddDevice(SimDeviceSetup(SimModel::kZT5));
    m_world.Unplug("Zarvel ZT-5");
    ASSERT_EQ(mkdir(PathOf("state").c_str(), 0700), 0);
    std::ofstream(PathOf("state/history.jsonl"))
        << "{\"time\":\"2026-12-01T08:30:00Z\",\"operation\":\"firmware\","
           "\"serial\":\"ZT5SN0002\",\"outcome\":\"succeeded\"}\n";
    ASSERT_EQ(mkdir(PathOf("prom").c_str(), 0755), 0);
    WriteFile("prom/marnel.prom", {'o', 'l', 'd'});

    EXPECT_EQ(RunOnWorld({"metrics", "--textfile", PathOf("prom")}), kExitSuccess) << Err();
    const std::vector<std::uint8_t> bytes = ReadFile(PathOf("prom/marnel.prom"));
    const std::string text(bytes.begin(), bytes.end());
    for (const char* line : {
             "# TYPE marnel_unit_info gauge\n",
             "marnel_unit_info{printer=\"Lab \\\"A\\\\1\\\"\\nKQ\",serial=\"KQ10SN0001\","
             "model=\"KQ-10\",firmware=\"1.05\"} 1\n",
             "marnel_unit_info{printer=\"Zarvel ZT-5\",serial=\"ZT5SN0002\",model=\"\","
             "firmware=\"\"} 1\n",
             "marnel_unit_up{printer=\"Lab \\\"A\\\\1\\\"\\nKQ\",serial=\"KQ10SN0001\"} 1\n",
             "marnel_unit_up{printer=\"Zarvel ZT-5\",serial=\"ZT5SN0002\"} 0\n",
             "marnel_unit_last_change_timestamp_seconds{printer=\"Zarvel ZT-5\","
             "serial=\"ZT5SN0002\"} 1796113800\n",
             "marnel_run_timestamp_seconds 1796644800\n",
         }) {
        EXPECT_THAT(text, HasSubstr(line));
    }
    EXPECT_THAT(text, Not(HasSubstr("last_change_timestamp_seconds{printer=\"Lab")));
    EXPECT_EQ(std::system(("test \"$(ls -A '" + PathOf("prom") + "')\" = marnel.prom").c_str()), 0);

    EXPECT_EQ(RunOnWorld({"metrics", "--textfile", PathOf("missing")}), kExitUsage);
    EXPECT_THAT(Err(), HasSubstr("missing/marnel.prom"));
}

}  // namespace
}  // namespace marnel::cli
