// The marnel tool itself on the Linux back ends, run as a child process on
// the same emulated USB bus (umockdev passes it on) and the private CUPS server.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "EmulatedPrinter.h"
#include "Kq10Block.h"
#include "protocol/ParameterBlock.h"

namespace marnel {
namespace {

struct ToolRun {
    int status = -1;
    std::string out;
};

// Runs marnel with `arguments` (shell words) and the variables `environment`
// sets (VAR=value words), standard error joined to the output. `onLine` sees
// each line as it is printed, as a technician beside the device would.
ToolRun Marnel(const std::string& arguments, const std::string& environment = std::string(),
               const std::function<void(const std::string&)>& onLine = nullptr) {
    ToolRun run;
    const std::string command = "CUPS_SERVER=" + CupsDir() + "/cups.sock " + environment + " " +
                                MARNEL_TOOL + " " + arguments + " 2>&1 </dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        return run;
    }
    char* line = nullptr;
    std::size_t size = 0;
    ssize_t n = 0;
    while ((n = getline(&line, &size, pipe)) > 0) {
        run.out.append(line, static_cast<std::size_t>(n));
        if (onLine) {
            onLine(std::string(line, static_cast<std::size_t>(n)));
        }
    }
    std::free(line);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// What `command` prints on its standard output.
std::string Output(const std::string& command) {
    std::string printed;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return "cannot run " + command;
    }
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        printed += line;
    }
    pclose(pipe);
    return printed;
}

// A KQ-10 that no CUPS queue names, so the tool lists it as "Zarvel KQ-10",
// or "Zarvel KQ-10 (2)" behind an alike one; the emulated bus lists the
// higher port first.
EmulatedPrinter::Identity QueuelessKq10(const std::string& serial, std::uint8_t address) {
    EmulatedPrinter::Identity id;
    id.serial = serial;
    id.address = address;
    return id;
}

// A unit in service mode holding its own block.
EmulatedPrinter::Script ServiceScript(std::uint8_t blockSeed) {
    EmulatedPrinter::Script script;
    const ParameterBlockBytes block = Kq10ParameterBlock(blockSeed);
    script.parameters.assign(block.begin(), block.end());
    script.version = {'1', '.', '0', '0', 'K', 0, 0, 0, 0};
    const std::string report = "KQ-10 REPORT\r\n";
    script.report.assign(report.begin(), report.end());
    return script;
}

class CliOnLinuxTest : public EmulatedBenchTest {
protected:
    void SetUp() override {
        EmulatedBenchTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        m_scratch = CupsDir() + "/cli-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        // Afresh, so that nothing an earlier run left is taken for this run's.
        std::system(("rm -rf " + m_scratch + " && mkdir -p " + m_scratch).c_str());
    }

    std::string m_scratch;
};

TEST_F(CliOnLinuxTest, ListVersionParametersAndReportOnEmulatedPrinters) {
    ParameterBlockBytes block{};
    std::memcpy(block.data(), "KQ-10 \0\0", 8);
    for (std::size_t i = 0; i < kFixedDataSize; ++i) {
        block[kFixedDataOffset + i] = static_cast<std::uint8_t>(i ^ 0x5A);
    }
    StoreParameterChecksum(block);
    EmulatedPrinter::Script kq;
    kq.parameters.assign(block.begin(), block.end());
    kq.version = {'2', '.', '0', '1', 'K', 0, 0, 0, 0};
    m_kq->SetScript(kq);
    EmulatedPrinter::Script zt;
    const std::string text = "ZT-5 REPORT\r\nCOUNT 7\r\n";
    zt.report.assign(text.begin(), text.end());
    zt.report.push_back(0x03);
    m_zt->SetScript(zt);

    ToolRun list = Marnel("list");
    EXPECT_EQ(list.status, 0) << list.out;
    EXPECT_NE(list.out.find("Zarvel_usb"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("Zarvel ZT-5"), std::string::npos) << list.out;

    ToolRun version = Marnel("--printer Zarvel_usb version");
    EXPECT_EQ(version.status, 0) << version.out;
    EXPECT_NE(version.out.find("2.01K"), std::string::npos) << version.out;

    const std::string saved = m_scratch + "/block.bin";
    ToolRun get = Marnel("--printer Zarvel_usb get-params " + saved);
    EXPECT_EQ(get.status, 0) << get.out;
    std::ifstream in(saved, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    EXPECT_TRUE(bytes.size() == block.size() &&
                std::memcmp(bytes.data(), block.data(), block.size()) == 0);

    ToolRun report = Marnel("--printer 'Zarvel ZT-5' report");
    EXPECT_EQ(report.status, 0) << report.out;
    EXPECT_NE(report.out.find("COUNT 7"), std::string::npos) << report.out;
    EXPECT_TRUE(m_zt->KernelDriverBound());

    ToolRun trace = Marnel("--trace --printer Zarvel_usb version");
    EXPECT_NE(trace.out.find("F0 00 00"), std::string::npos) << trace.out;
}

// A CUPS queue's name is the user's: the KQ-10's line-mode report is chosen
// by its driver, and a usb:// queue is offline while its device is away.
TEST_F(CliOnLinuxTest, QueuesAreJudgedByTheirDriverAndTheirDevice) {
    EmulatedPrinter::Script kq;
    const std::string text = "KQ-10 REPORT\r\n";  // line mode: no ETX follows
    kq.report.assign(text.begin(), text.end());
    m_kq->SetScript(kq);
    ToolRun report = Marnel("--printer Zarvel_usb report");
    EXPECT_EQ(report.status, 0) << report.out;
    EXPECT_NE(report.out.find("KQ-10 REPORT"), std::string::npos) << report.out;

    auto usbQueueEntry = [] {
        ToolRun list = Marnel("--json list");
        const std::size_t at = list.out.find("\"name\":\"Zarvel_usb\"");
        const std::size_t start = list.out.rfind('{', at);
        return list.out.substr(start, list.out.find('}', at) - start);
    };
    EXPECT_NE(usbQueueEntry().find("\"offline\":false"), std::string::npos) << usbQueueEntry();
    m_kq.reset();  // unplugged
    const std::string entry = usbQueueEntry();
    EXPECT_NE(entry.find("\"offline\":true"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\"offlineReason\":\"device not present\""), std::string::npos) << entry;
}

// Each device's serial and mode, a paused queue's fix, and a source that
// could not be read said and counted.
TEST_F(CliOnLinuxTest, ListShowsSerialsModesFixesAndWhatItCouldNotRead) {
    ToolRun bySerial = Marnel("--serial zt5sn0042 version");
    EXPECT_EQ(bySerial.status, 0) << bySerial.out;

    EmulatedPrinter::Script update;
    update.mode = EmulatedPrinter::Mode::kUpdate;
    m_zt->SetScript(update);
    ToolRun list = Marnel("list");
    EXPECT_EQ(list.status, 0) << list.out;
    for (const char* shown :
         {"state:  offline: paused\n    fix:    cupsenable Zarvel_stopped\n",
          "state:  offline: rejecting jobs\n    fix:    cupsaccept Zarvel_rejecting\n",
          "serial: KQ10SN0001\n    mode:   service\n",
          "serial: ZT5SN0042\n    mode:   update (VERSION UP)\n"}) {
        EXPECT_NE(list.out.find(shown), std::string::npos) << shown << "\n" << list.out;
    }

    ToolRun noCups = Marnel("list", "CUPS_SERVER=" + m_scratch + "/none.sock");
    EXPECT_EQ(noCups.status, 1) << noCups.out;
    EXPECT_NE(noCups.out.find("marnel: CUPS could not be reached: "), std::string::npos)
        << noCups.out;
    EXPECT_NE(noCups.out.find(" Zarvel ZT-5\n    driver: Zarvel ZT-5\n"), std::string::npos)
        << noCups.out;
    noCups = Marnel("--json list", "CUPS_SERVER=" + m_scratch + "/none.sock");
    EXPECT_NE(noCups.out.find("{\"name\":\"CUPS\",\"ok\":false,\"reason\":"),
              std::string::npos)
        << noCups.out;
}

// The doctor on the bench: a missing rule and a paused queue fail with their
// fixes; each device answers in its mode; the usb:// queue has its device.
TEST_F(CliOnLinuxTest, DoctorNamesEachFaultWithItsFix) {
    EmulatedPrinter::Script update;
    update.mode = EmulatedPrinter::Mode::kUpdate;
    m_zt->SetScript(update);
    const std::string rules = m_scratch + "/rules";
    ASSERT_EQ(std::system(("mkdir -p " + rules).c_str()), 0);
    const std::string folders = "MARNEL_UDEV_RULES_DIRS=" + rules;

    ToolRun doctor = Marnel("doctor", folders);
    EXPECT_EQ(doctor.status, 1) << doctor.out;
    for (const std::string& line : {
             std::string("ok   cups: CUPS answers at "),
             std::string("fail printers: Zarvel_stopped (Zarvel KQ-30) is offline: paused\n"
                         "     fix: cupsenable Zarvel_stopped\n"),
             std::string("fail printers: Zarvel_rejecting (Zarvel ZT-7) is offline: rejecting "
                         "jobs\n     fix: cupsaccept Zarvel_rejecting\n"),
             std::string("ok   usb-devices: KQ-10 (serial KQ10SN0001) at /dev/bus/usb/001/002, "
                         "ZT-5 (serial ZT5SN0042) at /dev/bus/usb/001/003\n"),
             "fail udev-rule: 60-marnel.rules is in none of " + rules + ": ",
             std::string("ok   lp-group: "),
             std::string("ok   device-access: this user may read and write /dev/bus/usb/001/002\n"),
             std::string("info usblp: the kernel printer driver (usblp) holds interface 0 of KQ-10"),
             std::string("ok   identity: Zarvel_usb (serial KQ10SN0001) answers in service mode\n"),
             std::string("warn identity: Zarvel ZT-5 (serial ZT5SN0042) is in update mode"),
             std::string("ok   usb-queues: Zarvel_usb (usb://Zarvel/KQ-10?serial=KQ10SN0001) leads "
                         "to KQ-10 (serial KQ10SN0001) at /dev/bus/usb/001/002\n")}) {
        EXPECT_NE(doctor.out.find(line), std::string::npos) << line << "\n" << doctor.out;
    }

    // A file of the rule's name counts only with the rule in it.
    const std::pair<const char*, const char*> impostors[] = {
        {"", "it holds no rule for the maker's devices"},
        {"# ATTR{idVendor}==\"1a2b\", GROUP=\"lp\"\n", "it holds no rule for the maker's devices"},
        {"ATTR{idVendor}==\"1a2b\", GROUP=\"plugdev\"\n", "it gives the devices to no group lp"},
        {"ATTR{idVendor}==\"04b8\", GROUP=\"lp\"\n", "it names no devices of vendor 1a2b"}};
    for (const auto& [content, fault] : impostors) {
        std::ofstream(rules + "/60-marnel.rules") << content;
        doctor = Marnel("doctor", folders);
        EXPECT_NE(doctor.out.find("fail udev-rule: " + rules + "/60-marnel.rules is not Marnel's "
                                  "rule: " + fault),
                  std::string::npos)
            << doctor.out;
    }

    // A CUPS_SERVER that leads nowhere is named with the system's reason.
    doctor = Marnel("doctor", folders + " CUPS_SERVER=" + m_scratch + "/missing.sock");
    EXPECT_NE(doctor.out.find("fail cups: CUPS could not be reached at " + m_scratch +
                              "/missing.sock, which CUPS_SERVER names: No such file or directory\n"
                              "     fix: point CUPS_SERVER at a running CUPS server, or unset it"),
              std::string::npos)
        << doctor.out;

    ASSERT_EQ(std::system(("cp " MARNEL_UDEV_RULE " " + rules).c_str()), 0);
    doctor = Marnel("--json doctor", folders);
    EXPECT_EQ(doctor.status, 1) << doctor.out;  // the paused queue still fails
    EXPECT_NE(doctor.out.find("{\"detail\":\"installed: " + rules +
                              "/60-marnel.rules\",\"fix\":\"\",\"name\":\"udev-rule\","
                              "\"status\":\"ok\"}"),
              std::string::npos)
        << doctor.out;
}

TEST_F(CliOnLinuxTest, FirmwareReachesAQueuelessPrinterInUpdateMode) {
    EmulatedPrinter::Script update;
    update.mode = EmulatedPrinter::Mode::kUpdate;
    m_zt->SetScript(update);
    const std::string firmware = m_scratch + "/fw.kvf";
    std::vector<char> bytes(1048577);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 13 + 1);
    }
    std::ofstream(firmware, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));

    ToolRun run = Marnel("--printer 'Zarvel ZT-5' firmware " + firmware + " --yes --timeout 10 --no-verify");
    EXPECT_EQ(run.status, 0) << run.out;
    const std::vector<std::uint8_t> received = m_zt->BulkOutData();
    EXPECT_EQ(received.size(), bytes.size());
    EXPECT_TRUE(received.size() == bytes.size() &&
                std::memcmp(received.data(), bytes.data(), bytes.size()) == 0);
    EXPECT_TRUE(m_zt->KernelDriverBound());
}

// The unit that left for its update mode does not come back, and the
// printer's name now leads to another alike unit: the upgrade ends not
// verified, and nothing is asked of that unit, let alone written to it.
TEST_F(CliOnLinuxTest, FirmwareIsNotCheckedOnAnotherUnitThatTookThePrintersName) {
    EmulatedPrinter first(*m_testbed, QueuelessKq10("KQ10SN0002", 5));
    EmulatedPrinter second(*m_testbed, QueuelessKq10("KQ10SN0003", 4));
    first.SetScript(ServiceScript(1));
    second.SetScript(ServiceScript(2));
    const std::string firmware = m_scratch + "/fw.kvf";
    const std::string bytes(4096, 'k');
    std::ofstream(firmware, std::ios::binary) << bytes;
    const std::string state = "MARNEL_STATE_DIR=" + m_scratch + "/state";

    const std::string arguments = "--printer 'Zarvel KQ-10' firmware --yes --timeout 10 "
                                  "--verify-timeout 10 --restore-params " + firmware;
    ToolRun run = Marnel(arguments, state, [&](const std::string& line) {
        if (line.find("VERSION UP") != std::string::npos) {
            EmulatedPrinter::Script update;
            update.mode = EmulatedPrinter::Mode::kUpdate;
            first.SetScript(update);
        } else if (line.find("in its service mode") != std::string::npos) {
            first.Unplug();  // it does not come back
        }
    });
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("Firmware sent, not verified: another unit answered (serial "
                           "KQ10SN0003, not serial KQ10SN0002)."),
              std::string::npos)
        << run.out;
    const std::vector<std::uint8_t> received = first.BulkOutData();
    EXPECT_EQ(std::string(received.begin(), received.end()), bytes);
    EXPECT_EQ(second.VendorRequests(), std::vector<std::string>());
    EXPECT_TRUE(second.BulkOutData().empty());
    std::ifstream history(m_scratch + "/state/history.jsonl");
    const std::string lines((std::istreambuf_iterator<char>(history)),
                            std::istreambuf_iterator<char>());
    EXPECT_NE(lines.find("\"outcome\":\"sent, not verified\""), std::string::npos) << lines;
}

// A self test that could not put the block back prints a command naming the
// unit by its serial; once an alike unit earlier on the bus has taken the
// printer's name, the command still writes that unit and no other.
TEST_F(CliOnLinuxTest, TheSelfTestsRestoreCommandReachesTheUnitItNames) {
    EmulatedPrinter first(*m_testbed, QueuelessKq10("KQ10SN0002", 4));
    EmulatedPrinter::Script refusing = ServiceScript(1);
    refusing.refusesStores = true;
    first.SetScript(refusing);
    const std::string state = "MARNEL_STATE_DIR=" + m_scratch + "/state";
    ToolRun selfTest = Marnel("--printer 'Zarvel KQ-10' self-test", state);
    EXPECT_EQ(selfTest.status, 1) << selfTest.out;
    const std::string shown = "To restore them: marnel --serial 'KQ10SN0002' put-params '";
    const std::size_t at = selfTest.out.find(shown);
    ASSERT_NE(at, std::string::npos) << selfTest.out;
    const std::size_t words = at + std::strlen("To restore them: marnel ");
    const std::string restore = selfTest.out.substr(words, selfTest.out.find('\n', at) - words);

    EmulatedPrinter second(*m_testbed, QueuelessKq10("KQ10SN0003", 6));
    second.SetScript(ServiceScript(2));
    first.SetScript(ServiceScript(1));
    ToolRun list = Marnel("list");
    ASSERT_NE(list.out.find("  Zarvel KQ-10\n    driver: Zarvel KQ-10\n"
                            "    port:   usb://Zarvel/KQ-10?serial=KQ10SN0003\n"),
              std::string::npos)
        << "the second unit did not take the name\n"
        << list.out;
    const std::vector<std::string> askedByList = second.VendorRequests();
    ToolRun put = Marnel(restore, state);
    EXPECT_EQ(put.status, 0) << put.out;
    const ParameterBlockBytes original = Kq10ParameterBlock(1);
    EXPECT_EQ(first.StoredParameters(),
              std::vector<std::uint8_t>(original.begin(), original.end()));
    EXPECT_EQ(second.VendorRequests(), askedByList);
}

// A serial with blanks, URI delimiters and a character past ASCII: listed
// as the unit gives it, and found by it.
TEST_F(CliOnLinuxTest, AnySerialIsListedAndFound) {
    const std::string serial = "A B#?&=%\xC3\xA9";
    EmulatedPrinter odd(*m_testbed, QueuelessKq10(serial, 5));
    odd.SetScript(ServiceScript(1));
    ToolRun list = Marnel("list");
    EXPECT_NE(list.out.find("    port:   usb://Zarvel/KQ-10?serial=A%20B#?&=%25%C3%A9\n"
                            "    state:  online\n    serial: " +
                            serial + "\n"),
              std::string::npos)
        << list.out;
    ToolRun version = Marnel("--serial '" + serial + "' version");
    EXPECT_EQ(version.status, 0) << version.out;
    EXPECT_NE(version.out.find("1.00K"), std::string::npos) << version.out;
}

// A queue-less unit that stops taking the firmware: a stall is said with
// what the unit took; Ctrl+C while its pipe hangs ends the tool at once.
TEST_F(CliOnLinuxTest, AFirmwareJobTheUnitStopsTakingEndsWithItsCause) {
    EmulatedPrinter::Script full;
    full.mode = EmulatedPrinter::Mode::kUpdate;
    full.bulkOutTakes = 131072;
    full.bulkOutStallsWhenFull = true;
    m_zt->SetScript(full);
    const std::string firmware = m_scratch + "/fw.kvf";
    std::ofstream(firmware, std::ios::binary) << std::string(300000, 'z');
    const std::string arguments =
        "--printer 'Zarvel ZT-5' firmware " + firmware + " --yes --timeout 10 --no-verify";
    ToolRun run = Marnel(arguments);
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("Failed to send the firmware."), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("the device took 131072 bytes of the job, then LIBUSB_ERROR_PIPE"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(m_zt->BulkOutData().size(), 131072u);

    full.bulkOutStallsWhenFull = false;
    m_zt->SetScript(full);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("CUPS_SERVER", (CupsDir() + "/cups.sock").c_str(), 1);
        const int out = open((m_scratch + "/interrupted.out").c_str(), O_WRONLY | O_CREAT, 0600);
        dup2(out, STDOUT_FILENO);
        dup2(out, STDERR_FILENO);
        execl(MARNEL_TOOL, MARNEL_TOOL, "--printer", "Zarvel ZT-5", "firmware", firmware.c_str(),
              "--yes", "--timeout", "10", "--no-verify", static_cast<char*>(nullptr));
        _exit(127);
    }
    const std::size_t before = m_zt->Log().size();
    auto hangs = [&] {
        const std::vector<std::string> log = m_zt->Log();
        for (std::size_t i = before; i < log.size(); ++i) {
            if (log[i].find("(full)") != std::string::npos) {
                return true;
            }
        }
        return false;
    };
    for (int i = 0; i < 1000 && !hangs(); ++i) {
        usleep(10000);
    }
    ASSERT_TRUE(hangs()) << "the job never reached the full pipe";
    kill(child, SIGINT);
    const auto signalled = std::chrono::steady_clock::now();
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(1));
    std::ifstream said(m_scratch + "/interrupted.out");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130)
        << status << "\n"
        << std::string(std::istreambuf_iterator<char>(said), {});
}

// Ctrl+C while a firmware job goes to a CUPS queue cancels the job: none is
// left waiting or held in the queue, and the tool ends with 130.
TEST_F(CliOnLinuxTest, AnInterruptedJobLeavesNothingInTheQueue) {
    EmulatedPrinter::Script update;
    update.mode = EmulatedPrinter::Mode::kUpdate;
    m_kq->SetScript(update);
    const std::string firmware = m_scratch + "/big.kvf";
    std::ofstream(firmware, std::ios::binary) << std::string(64u << 20, 'f');

    // The tool's output goes to a pipe that is full already, so its first
    // progress line waits there: the job is then surely under way.
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    ASSERT_GT(fcntl(out[1], F_SETPIPE_SZ, 4096), 0);
    const int capacity = fcntl(out[1], F_GETPIPE_SZ);
    ASSERT_EQ(write(out[1], std::string(static_cast<std::size_t>(capacity), ' ').data(),
                    static_cast<std::size_t>(capacity)),
              capacity);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        setenv("CUPS_SERVER", (CupsDir() + "/cups.sock").c_str(), 1);
        execl(MARNEL_TOOL, MARNEL_TOOL, "--json", "--printer", "Zarvel_usb", "firmware",
              firmware.c_str(), "--yes", "--timeout", "10", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    bool blocked = false;
    for (int i = 0; i < 1000 && !blocked; ++i) {
        std::ifstream wchan("/proc/" + std::to_string(child) + "/wchan");
        std::string where;
        wchan >> where;
        blocked = where.find("pipe_write") != std::string::npos;
        if (!blocked) {
            usleep(10000);
        }
    }
    kill(child, SIGINT);
    char drain[4096];
    while (read(out[0], drain, sizeof drain) > 0) {
    }
    close(out[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(blocked) << "the tool never wrote its progress";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << status;

    EXPECT_EQ(Output("lpstat -h " + CupsDir() + "/cups.sock -o Zarvel_usb"), "")
        << "jobs left in the queue";
}

// A queue that holds every job it is given takes the firmware job: the tool
// cancels it and says why, with what lets the queue deliver. The same queue
// set to reject jobs once the tool has checked it refuses the job, and CUPS's
// reason is shown. Nothing is left in the queue, nothing reaches the device.
TEST_F(CliOnLinuxTest, AQueueThatHoldsOrRefusesTheJobIsToldAndKeepsNothing) {
    // A server of its own: the other tests' queues deliver what they take.
    struct HeldServer {
        const std::string dir = "/tmp/marnel-held-" + std::to_string(getpid());
        int started = std::system((std::string(MARNEL_CUPS_SERVER_SCRIPT) + " start " + dir +
                                   " held").c_str());
        ~HeldServer() {
            std::system((std::string(MARNEL_CUPS_SERVER_SCRIPT) + " stop " + dir + " && rm -rf " +
                         dir).c_str());
        }
    } server;
    ASSERT_EQ(server.started, 0);
    const std::string socket = server.dir + "/cups.sock";
    const std::string firmware = m_scratch + "/fw.kvf";
    std::ofstream(firmware, std::ios::binary) << std::string(4096, 'h');
    const struct {
        const char* what;
        const char* afterTheCheck;  // done to the queue when the tool prompts; null: nothing
        const char* said;
    } cases[] = {
        {"held", nullptr,
         "Firmware not sent: the queue held the job (job-hold-until-specified); the job was "
         "cancelled. (to let the queue deliver jobs: lpadmin -p Zarvel_held -o "
         "job-hold-until-default=no-hold)"},
        {"rejecting", "cupsreject",
         "Failed to send the firmware. (creating the job on Zarvel_held: Destination "
         "\"Zarvel_held\" is not accepting jobs."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        m_kq->SetScript(ServiceScript(1));
        ToolRun run = Marnel("--printer Zarvel_held firmware --yes --timeout 10 " + firmware,
                             "CUPS_SERVER=" + socket + " MARNEL_STATE_DIR=" + m_scratch + "/state",
                             [&](const std::string& line) {
                                 if (line.find("VERSION UP") == std::string::npos) {
                                     return;
                                 }
                                 if (c.afterTheCheck != nullptr) {
                                     std::system((std::string(c.afterTheCheck) + " -h " + socket +
                                                  " Zarvel_held").c_str());
                                 }
                                 EmulatedPrinter::Script update;
                                 update.mode = EmulatedPrinter::Mode::kUpdate;
                                 m_kq->SetScript(update);
                             });
        EXPECT_EQ(run.status, 1) << run.out;
        EXPECT_NE(run.out.find(c.said), std::string::npos) << run.out;
        EXPECT_EQ(Output("lpstat -h " + socket + " -o"), "") << "jobs left in the queue";
        EXPECT_TRUE(m_kq->BulkOutData().empty());
    }
}

}  // namespace
}  // namespace marnel
