// The Linux spooler's CUPS side against a private CUPS server started by the
// test fixture (cups_server.sh): listing, offline states and raw jobs that
// land whole or not at all.
#include "posix/CupsSpooler.h"

#include <cups/cups.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "posix/PosixPlatform.h"

namespace marnel {
namespace {

constexpr DWORD kPiece = 1048576;

std::string ServerDir() {
    const char* dir = std::getenv("MARNEL_TEST_CUPS_DIR");
    return dir ? dir : "";
}

bool ServerRunning() {
    const std::string dir = ServerDir();
    return !dir.empty() && std::ifstream(dir + "/cupsd.pid").good();
}

#define REQUIRE_CUPS_SERVER()                                                      \
    if (!ServerRunning()) {                                                        \
        GTEST_SKIP() << "no private CUPS server (cupsd or lpadmin not installed)"; \
    }

std::string OutputFile(const std::string& queue) {
    return ServerDir() + "/out/" + queue + ".bin";
}

bool ReadFile(const std::string& path, std::vector<std::uint8_t>* bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

std::vector<std::uint8_t> Pattern(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    std::uint32_t x = 2463534242u;
    for (auto& b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(x);
    }
    return bytes;
}

ipp_jstate_t JobState(const std::string& queue, int jobId) {
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.c_str(), 0, CUPS_WHICHJOBS_ALL);
    ipp_jstate_t state = IPP_JSTATE_PENDING;
    for (int i = 0; i < count; ++i) {
        if (jobs[i].id == jobId) {
            state = jobs[i].state;
        }
    }
    cupsFreeJobs(count, jobs);
    return state;
}

// Waits until CUPS has finished with the job one way or another.
ipp_jstate_t WaitForJob(const std::string& queue, int jobId) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        const ipp_jstate_t state = JobState(queue, jobId);
        if (state >= IPP_JSTATE_CANCELED) {
            return state;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return IPP_JSTATE_PENDING;
}

class CupsSpoolerTest : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_CUPS_SERVER();
        PosixPlatform::Options options;
        options.cupsServer = ServerDir() + "/cups.sock";
        options.refreshInterval = std::chrono::milliseconds(0);
        m_platform = std::make_unique<PosixPlatform>(options);
        m_spooler = &m_platform->Services().spooler;
    }

    // Sends `bytes` the way the firmware download does: pieces of at most 1 MiB.
    int SendJob(const std::string& queue, const std::vector<std::uint8_t>& bytes,
                std::vector<DWORD>* writes) {
        PrinterHandle printer = nullptr;
        EXPECT_TRUE(m_spooler->OpenPrinter(queue, &printer)) << m_spooler->LastError();
        const DWORD jobId = m_spooler->StartDocPrinter(printer, {"Updater", nullptr, "RAW"});
        EXPECT_NE(jobId, 0u) << m_spooler->LastError();
        EXPECT_TRUE(m_spooler->StartPagePrinter(printer));
        for (std::size_t at = 0; at < bytes.size(); at += kPiece) {
            const DWORD piece =
                static_cast<DWORD>(std::min<std::size_t>(kPiece, bytes.size() - at));
            DWORD written = 0;
            EXPECT_TRUE(m_spooler->WritePrinter(printer, bytes.data() + at, piece, &written))
                << m_spooler->LastError();
            EXPECT_EQ(written, piece);
            writes->push_back(piece);
        }
        EXPECT_TRUE(m_spooler->EndPagePrinter(printer));
        EXPECT_TRUE(m_spooler->EndDocPrinter(printer)) << m_spooler->LastError();
        EXPECT_TRUE(m_spooler->ClosePrinter(printer));
        return static_cast<int>(jobId);
    }

    std::unique_ptr<PosixPlatform> m_platform;
    ISpooler* m_spooler = nullptr;
};

TEST_F(CupsSpoolerTest, ListsLocalQueuesWithDriverPortAndOfflineState) {
    const PrinterList list = m_spooler->EnumLocalPrinters();
    ASSERT_EQ(list.status, SpoolerQueryStatus::kOk) << m_spooler->LastError();
    std::map<std::string, PrinterInfo> byName;
    for (const PrinterInfo& p : list.printers) {
        byName[p.printerName] = p;
    }
    struct Expected {
        const char* name;
        const char* driver;
        DWORD attributes;
    };
    const Expected expected[] = {
        {"Zarvel_KQ-10", "Zarvel KQ-10", 0},
        {"Zarvel_ZT-5", "Zarvel ZT-5", 0},
        {"zarvel_lower", "zarvel kq-20", 0},  // make-and-model as the queue has it
        {"Zarvel_stopped", "Zarvel KQ-30", kPrinterAttributeWorkOffline},
        {"Zarvel_rejecting", "Zarvel ZT-7", kPrinterAttributeWorkOffline},
        {"Office_Laser", "Generic Office Laser", 0},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.name);
        ASSERT_EQ(byName.count(e.name), 1u);
        const PrinterInfo& p = byName[e.name];
        EXPECT_EQ(p.driverName, e.driver);
        EXPECT_EQ(p.portName, "file:" + OutputFile(e.name));
        EXPECT_EQ(p.attributes, e.attributes);
    }
}

TEST_F(CupsSpoolerTest, JobsLandByteIdenticalInOneOrTwoPieces) {
    struct Case {
        const char* queue;
        std::size_t size;
        std::vector<DWORD> writes;
    };
    const Case cases[] = {
        {"Job_exact", kPiece, {kPiece}},
        {"Job_plus_one", kPiece + 1, {kPiece, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.queue);
        const std::vector<std::uint8_t> bytes = Pattern(c.size);
        std::vector<DWORD> writes;
        const int jobId = SendJob(c.queue, bytes, &writes);
        EXPECT_EQ(writes, c.writes);
        ASSERT_EQ(WaitForJob(c.queue, jobId), IPP_JSTATE_COMPLETED);
        std::vector<std::uint8_t> landed;
        ASSERT_TRUE(ReadFile(OutputFile(c.queue), &landed));
        EXPECT_EQ(landed.size(), bytes.size());
        EXPECT_TRUE(landed == bytes) << "the queue's file differs from what was sent";
    }
}

TEST_F(CupsSpoolerTest, CancelledEmptyOrAbandonedJobsLandNothing) {
    const std::vector<std::uint8_t> bytes = Pattern(kPiece);
    PrinterHandle printer = nullptr;

    // Cancelled half way.
    ASSERT_TRUE(m_spooler->OpenPrinter("Job_cancel", &printer));
    DWORD jobId = m_spooler->StartDocPrinter(printer, {"Updater", nullptr, "RAW"});
    ASSERT_NE(jobId, 0u) << m_spooler->LastError();
    DWORD written = 0;
    ASSERT_TRUE(m_spooler->WritePrinter(printer, bytes.data(), kPiece, &written));
    EXPECT_TRUE(m_spooler->CancelJob(printer, jobId)) << m_spooler->LastError();
    EXPECT_FALSE(m_spooler->WritePrinter(printer, bytes.data(), 1, &written));
    EXPECT_FALSE(m_spooler->EndDocPrinter(printer));
    m_spooler->ClosePrinter(printer);
    EXPECT_EQ(WaitForJob("Job_cancel", static_cast<int>(jobId)), IPP_JSTATE_CANCELED);

    // Empty: CUPS would hold it until cancelled (below); it is refused and cancelled.
    ASSERT_TRUE(m_spooler->OpenPrinter("Job_empty", &printer));
    const DWORD emptyId = m_spooler->StartDocPrinter(printer, {"Updater", nullptr, "RAW"});
    ASSERT_NE(emptyId, 0u);
    EXPECT_FALSE(m_spooler->EndDocPrinter(printer));
    EXPECT_NE(m_spooler->LastError().find("empty"), std::string::npos);
    m_spooler->ClosePrinter(printer);
    EXPECT_EQ(WaitForJob("Job_empty", static_cast<int>(emptyId)), IPP_JSTATE_CANCELED);

    // Closed with the document still open, as after a failed file read.
    ASSERT_TRUE(m_spooler->OpenPrinter("Job_failed", &printer));
    const DWORD openId = m_spooler->StartDocPrinter(printer, {"Updater", nullptr, "RAW"});
    ASSERT_NE(openId, 0u);
    ASSERT_TRUE(m_spooler->WritePrinter(printer, bytes.data(), kPiece, &written));
    m_spooler->ClosePrinter(printer);
    EXPECT_EQ(WaitForJob("Job_failed", static_cast<int>(openId)), IPP_JSTATE_CANCELED);

    std::vector<std::uint8_t> landed;
    for (const char* queue : {"Job_cancel", "Job_empty", "Job_failed"}) {
        EXPECT_FALSE(ReadFile(OutputFile(queue), &landed) && !landed.empty())
            << queue << " received " << landed.size() << " bytes";
    }
}

// What the refusal of an empty document rests on: CUPS does not finish a
// document without bytes ("No file in print request."), and its job stays
// held until someone cancels it.
TEST_F(CupsSpoolerTest, CupsHoldsAJobWithAnEmptyDocumentUntilCancelled) {
    http_t* http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                                30000, nullptr);
    ASSERT_NE(http, nullptr);
    const int jobId = cupsCreateJob(http, "Job_empty", "Updater", 0, nullptr);
    ASSERT_NE(jobId, 0) << cupsLastErrorString();
    ASSERT_EQ(cupsStartDocument(http, "Job_empty", jobId, "Updater", CUPS_FORMAT_RAW, 1),
              HTTP_STATUS_CONTINUE);
    EXPECT_GT(cupsFinishDocument(http, "Job_empty"), IPP_STATUS_OK_EVENTS_COMPLETE);
    httpClose(http);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_EQ(JobState("Job_empty", jobId), IPP_JSTATE_HELD);
    EXPECT_EQ(cupsCancelJob2(CUPS_HTTP_DEFAULT, "Job_empty", jobId, 0), IPP_STATUS_OK);
    EXPECT_EQ(WaitForJob("Job_empty", jobId), IPP_JSTATE_CANCELED);
}

TEST_F(CupsSpoolerTest, RejectingQueueRefusesTheJob) {
    PrinterHandle printer = nullptr;
    ASSERT_TRUE(m_spooler->OpenPrinter("Zarvel_rejecting", &printer));
    EXPECT_EQ(m_spooler->StartDocPrinter(printer, {"Updater", nullptr, "RAW"}), 0u);
    EXPECT_FALSE(m_spooler->LastError().empty());
    DWORD written = 0;
    const std::uint8_t byte = 0x55;
    EXPECT_FALSE(m_spooler->WritePrinter(printer, &byte, 1, &written));
    m_spooler->ClosePrinter(printer);
}

// A finished job is done; one on a paused queue waits, with the command that
// resumes the queue, until it is cancelled.
TEST_F(CupsSpoolerTest, AJobThatEndedIsToldAsCupsHasIt) {
    std::vector<DWORD> writes;
    const int printed = SendJob("Zarvel_ZT-5", Pattern(10), &writes);
    ASSERT_EQ(WaitForJob("Zarvel_ZT-5", printed), IPP_JSTATE_COMPLETED);
    PrinterHandle printer = nullptr;
    ASSERT_TRUE(m_spooler->OpenPrinter("Zarvel_ZT-5", &printer));
    EXPECT_EQ(m_spooler->GetJob(printer, static_cast<DWORD>(printed)).state, JobState::kDone);
    m_spooler->ClosePrinter(printer);

    const DWORD waiting = static_cast<DWORD>(SendJob("Zarvel_stopped", Pattern(10), &writes));
    ASSERT_TRUE(m_spooler->OpenPrinter("Zarvel_stopped", &printer));
    const JobStatus status = m_spooler->GetJob(printer, waiting);
    EXPECT_EQ(status.state, JobState::kPending);
    EXPECT_TRUE(status.queueStopped);
    EXPECT_EQ(status.fix, "cupsenable Zarvel_stopped");
    EXPECT_TRUE(m_spooler->CancelJob(printer, waiting)) << m_spooler->LastError();
    EXPECT_EQ(m_spooler->GetJob(printer, waiting).state, JobState::kCancelled);
    m_spooler->ClosePrinter(printer);
}

TEST(CupsSpoolerNoServer, ListingFailsWhenNoServerAnswers) {
    CupsSpooler cups("/nonexistent/cups.sock");
    std::vector<CupsSpooler::Queue> queues;
    std::string error;
    EXPECT_FALSE(cups.ListQueues(&queues, &error));
    EXPECT_TRUE(queues.empty());
    EXPECT_NE(error.find("listing the CUPS queues"), std::string::npos) << error;
}

// The reason names every state that keeps jobs from the device, and the fix
// is one line a shell runs as it stands.
TEST(CupsSpoolerOffline, ReasonAndFixFollowTheQueuesState) {
    const struct {
        const char* name;
        int state;
        bool accepting;
        const char* reason;
        const char* fix;
    } cases[] = {
        {"Zarvel_KQ-10", 3, true, "", ""},
        {"Zarvel_KQ-10", 5, true, "paused", "cupsenable Zarvel_KQ-10"},
        {"Zarvel_KQ-10", 3, false, "rejecting jobs", "cupsaccept Zarvel_KQ-10"},
        {"KQ", 5, false, "paused and rejecting jobs", "cupsenable KQ && cupsaccept KQ"},
        {"it's;KQ", 5, true, "paused", "cupsenable 'it'\\''s;KQ'"},
    };
    for (const auto& c : cases) {
        CupsSpooler::Queue queue;
        queue.name = c.name;
        queue.state = c.state;
        queue.acceptingJobs = c.accepting;
        const OfflineReason why = CupsSpooler::OfflineReasonOf(queue);
        EXPECT_EQ(why.reason, c.reason) << c.name << " " << c.state;
        EXPECT_EQ(why.fix, c.fix) << c.name << " " << c.state;
        EXPECT_EQ(why.reason.empty(), (CupsSpooler::ToPrinterInfo(queue).attributes &
                                       kPrinterAttributeWorkOffline) == 0);
    }
}

}  // namespace
}  // namespace marnel
