// The raw firmware job: pieces of at most 1 MiB from one buffer, the file's
// bytes unchanged, and a job cancelled (never delivered) on any failure.
#include <gtest/gtest.h>

#include <vector>

#include "files/File.h"
#include "files/FileException.h"
#include "ops/FirmwareJob.h"
#include "sim/MemoryFileSystem.h"
#include "sim/MemorySpooler.h"

namespace marnel {
namespace {

class FirmwareJobTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_spooler.AddPrinter({"Zarvel KQ-10", "Zarvel KQ-10", "USB001", 0});
        ASSERT_TRUE(m_spooler.OpenPrinter("Zarvel KQ-10", &m_printer));
    }
    void TearDown() override { m_spooler.ClosePrinter(m_printer); }

    FirmwareJobResult Send(std::uint64_t length) {
        m_files.AddGeneratedFile("fw.kvf", length);
        CFile file(m_files);
        file.OpenRead("fw.kvf");
        return SendFirmwareJob(m_spooler, m_printer, file, file.GetLength(),
                               [this](std::uint64_t sent) {
                                   m_progress.push_back(sent);
                                   return m_progress.size() < m_stopAfter;
                               });
    }

    const SpoolerJob& OnlyJob() {
        EXPECT_EQ(m_spooler.Jobs().size(), 1u);
        return m_spooler.Jobs().front();
    }

    MemorySpooler m_spooler;
    MemoryFileSystem m_files;
    PrinterHandle m_printer = nullptr;
    std::vector<std::uint64_t> m_progress;
    std::size_t m_stopAfter = SIZE_MAX;  // pieces after which the progress asks to stop
};

TEST_F(FirmwareJobTest, PiecesAreAtMostOneMebibyte) {
    struct Case {
        std::uint64_t length;
        std::vector<DWORD> writes;
    };
    for (const Case& c : {Case{1048576, {1048576}}, Case{1048577, {1048576, 1}},
                          Case{2500000, {1048576, 1048576, 402848}}, Case{5, {5}}}) {
        ASSERT_EQ(Send(c.length), FirmwareJobResult::kSent) << c.length;
        const SpoolerJob& job = m_spooler.Jobs().back();
        EXPECT_EQ(job.writeSizes, c.writes) << c.length;
        EXPECT_EQ(job.state, SpoolerJob::State::kDelivered) << c.length;
        std::vector<std::uint8_t> expected(c.length);
        MemoryFileSystem::PatternBytes(0, expected.data(), expected.size());
        EXPECT_EQ(job.data, expected) << c.length;
    }
}

TEST_F(FirmwareJobTest, TheJobIsARawUpdaterDocumentWithoutOutputFile) {
    ASSERT_EQ(Send(10), FirmwareJobResult::kSent);
    const SpoolerJob& job = OnlyJob();
    EXPECT_EQ(job.docName, "Updater");
    EXPECT_EQ(job.dataType, "RAW");
    EXPECT_FALSE(job.hasOutputFile);
    EXPECT_EQ(job.pagesStarted, 1);
    EXPECT_EQ(job.pagesEnded, 1);
    EXPECT_EQ(m_progress, std::vector<std::uint64_t>{10});
}

TEST_F(FirmwareJobTest, AnEmptyFileIsAnEmptyJobStartedAndEnded) {
    ASSERT_EQ(Send(0), FirmwareJobResult::kSent);
    EXPECT_TRUE(OnlyJob().writeSizes.empty());
    EXPECT_EQ(OnlyJob().state, SpoolerJob::State::kDelivered);
}

TEST_F(FirmwareJobTest, AReadErrorPartWayCancelsTheJobBeforeTheErrorIsRaised) {
    m_files.FaultsFor("fw.kvf").readErrorAfter = 1500000;
    try {
        Send(3000000);
        FAIL() << "no file error";
    } catch (const CFileException& error) {
        EXPECT_EQ(error.m_cause, FileErrorCause::kHardIo);
        EXPECT_EQ(error.m_strFileName, "fw.kvf");
    }
    EXPECT_EQ(OnlyJob().state, SpoolerJob::State::kCancelled);
    EXPECT_EQ(m_spooler.CountCalls("EndDocPrinter"), 0u);
}

// The job is the file as it was measured: one that ends early or goes on
// past that length is another file, and nothing of it completes.
TEST_F(FirmwareJobTest, AFileThatChangesWhileItIsSentCancelsTheJob) {
    const struct {
        const char* what;
        std::uint64_t measured;
        std::uint64_t actual;
        std::vector<std::uint64_t> progress;
    } cases[] = {
        {"shrinks", 3000000, 1500000, {1048576, 1500000}},
        {"grows", 1500000, 3000000, {1048576, 1500000}},
        {"grows by a byte", 1048576, 1048577, {1048576}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MemorySpooler spooler;
        spooler.AddPrinter({"Zarvel KQ-10", "Zarvel KQ-10", "USB001", 0});
        PrinterHandle printer = nullptr;
        ASSERT_TRUE(spooler.OpenPrinter("Zarvel KQ-10", &printer));
        m_files.AddGeneratedFile("fw.kvf", c.actual);
        CFile file(m_files);
        file.OpenRead("fw.kvf");
        std::vector<std::uint64_t> progress;
        EXPECT_EQ(SendFirmwareJob(spooler, printer, file, c.measured,
                                  [&](std::uint64_t sent) {
                                      progress.push_back(sent);
                                      return true;
                                  }),
                  FirmwareJobResult::kFileChanged);
        ASSERT_EQ(spooler.Jobs().size(), 1u);
        EXPECT_EQ(spooler.Jobs().front().state, SpoolerJob::State::kCancelled);
        EXPECT_EQ(progress, c.progress) << "never past the measured length";
        spooler.ClosePrinter(printer);
    }
}

TEST_F(FirmwareJobTest, AJobStoppedByItsProgressIsCancelled) {
    m_stopAfter = 2;
    EXPECT_EQ(Send(3000000), FirmwareJobResult::kInterrupted);
    EXPECT_EQ(OnlyJob().state, SpoolerJob::State::kCancelled);
    EXPECT_EQ(m_spooler.CountCalls("WritePrinter"), 2u);
    EXPECT_EQ(m_spooler.CountCalls("EndDocPrinter"), 0u);
}

TEST_F(FirmwareJobTest, AFailedWriteCancelsTheJob) {
    m_spooler.FailWrite(1);
    EXPECT_EQ(Send(3000000), FirmwareJobResult::kSpoolerFailed);
    EXPECT_EQ(OnlyJob().state, SpoolerJob::State::kCancelled);
    EXPECT_EQ(m_progress, std::vector<std::uint64_t>{1048576});
}

TEST_F(FirmwareJobTest, AWriteThatTakesLessThanAskedCancelsTheJob) {
    m_spooler.ShortWrite(0, 100);
    EXPECT_EQ(Send(3000000), FirmwareJobResult::kSpoolerFailed);
    EXPECT_EQ(OnlyJob().state, SpoolerJob::State::kCancelled);
    EXPECT_EQ(m_spooler.CountCalls("WritePrinter"), 1u);
}

TEST_F(FirmwareJobTest, ARefusedDocumentSendsNothing) {
    m_spooler.SetStartDocFails(true);
    EXPECT_EQ(Send(10), FirmwareJobResult::kSpoolerFailed);
    EXPECT_EQ(m_spooler.CountCalls("WritePrinter"), 0u);
    EXPECT_TRUE(m_progress.empty());
}

}  // namespace
}  // namespace marnel
