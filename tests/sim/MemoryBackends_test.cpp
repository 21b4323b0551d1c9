#include <gtest/gtest.h>

#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "sim/MemoryRegistry.h"
#include "sim/MemorySpooler.h"

namespace marnel {
namespace {

TEST(MemoryRegistry, KeepsTheLimitsOfTheRealCalls) {
    MemoryRegistry registry;
    registry.AddKey("Root\\" + std::string(255, 'a'));
    registry.AddKey("Root\\" + std::string(256, 'b'));
    registry.SetBytes("Root", "fits", std::string(256, 'v'));
    registry.SetBytes("Root", "too long", std::string(257, 'v'));

    RegKey root = nullptr;
    ASSERT_TRUE(registry.OpenKey(kLocalMachine, "root", &root));  // names ignore case
    std::string name;
    DWORD error = 0;
    EXPECT_EQ(registry.EnumKey(root, 0, &name, &error), RegEnumStatus::kOk);
    EXPECT_EQ(name, std::string(255, 'a'));
    EXPECT_EQ(registry.EnumKey(root, 1, &name, &error), RegEnumStatus::kError);
    EXPECT_EQ(error, kErrorMoreData);
    EXPECT_EQ(registry.EnumKey(root, 2, &name, &error), RegEnumStatus::kNoMoreItems);
    EXPECT_EQ(error, kErrorNoMoreItems);

    std::string bytes;
    EXPECT_TRUE(registry.QueryValue(root, "FITS", &bytes));
    EXPECT_EQ(bytes.size(), 256u);
    EXPECT_FALSE(registry.QueryValue(root, "too long", &bytes));
    EXPECT_FALSE(registry.QueryValue(root, "missing", &bytes));
    registry.CloseKey(root);
    EXPECT_EQ(registry.OpenKeyCount(), 0u);
    registry.CloseKey(root);
    EXPECT_EQ(registry.BadCloses(), 1u);
}

TEST(MemoryRegistry, InjectedFaultsAndDeletedKeys) {
    MemoryRegistry registry;
    registry.SetString("A\\B", "Value", "text");
    registry.AddKey("A\\C");
    registry.SetOpenFails("A\\B");
    registry.SetListingError("A", 1, 5);

    RegKey a = nullptr;
    RegKey b = nullptr;
    ASSERT_TRUE(registry.OpenKey(kLocalMachine, "A", &a));
    std::string name;
    DWORD error = 0;
    EXPECT_EQ(registry.EnumKey(a, 0, &name, &error), RegEnumStatus::kOk);
    EXPECT_EQ(name, "B");  // listed, but cannot be opened
    EXPECT_FALSE(registry.OpenKey(a, "B", &b));
    EXPECT_EQ(registry.EnumKey(a, 1, &name, &error), RegEnumStatus::kError);
    EXPECT_EQ(error, 5u);

    registry.SetOpenFails("A\\B", false);
    ASSERT_TRUE(registry.OpenKey(a, "B", &b));
    EXPECT_TRUE(registry.DeleteKey("A\\B"));
    std::string bytes;
    EXPECT_TRUE(registry.QueryValue(b, "Value", &bytes));  // an open key outlives its deletion
    EXPECT_EQ(bytes, std::string("text", 5));
    EXPECT_FALSE(registry.OpenKey(a, "B", &b));
    EXPECT_EQ(registry.OpenKeyCount(), 2u);
    EXPECT_EQ(registry.OpenLog(), (std::vector<std::string>{"A", "A\\B", "A\\B", "A\\B"}));
    registry.CloseKey(a);
    registry.CloseKey(b);
}

// HKEY_LOCAL_MACHINE lists and reads as a key, and a handle that is not open
// is refused as such, as by the real calls.
TEST(MemoryRegistry, LocalMachineIsAKeyAndFaultsBelongToTheKey) {
    MemoryRegistry registry;
    registry.SetString("", "RootValue", "r");
    registry.AddKey("First");
    std::string name;
    DWORD error = 0;
    std::string bytes;
    EXPECT_EQ(registry.EnumKey(kLocalMachine, 0, &name, &error), RegEnumStatus::kOk);
    EXPECT_EQ(name, "First");
    EXPECT_TRUE(registry.QueryValue(kLocalMachine, "rootvalue", &bytes));
    const RegKey notOpen = reinterpret_cast<RegKey>(std::uintptr_t{0x4242});
    EXPECT_EQ(registry.EnumKey(notOpen, 0, &name, &error), RegEnumStatus::kError);
    EXPECT_EQ(error, 6u);  // ERROR_INVALID_HANDLE
    EXPECT_FALSE(registry.QueryValue(notOpen, "RootValue", &bytes));

    // A key deleted and added again comes back without its faults.
    registry.SetOpenFails("First\\Inner");
    registry.SetListingError("First", 0, 5);
    ASSERT_TRUE(registry.DeleteKey("First"));
    registry.AddKey("First\\Inner");
    RegKey key = nullptr;
    ASSERT_TRUE(registry.OpenKey(kLocalMachine, "First\\Inner", &key));
    registry.CloseKey(key);
    ASSERT_TRUE(registry.OpenKey(kLocalMachine, "First", &key));
    EXPECT_EQ(registry.EnumKey(key, 0, &name, &error), RegEnumStatus::kOk);
    registry.CloseKey(key);
}

class MemorySpoolerJobs : public ::testing::Test {
protected:
    void SetUp() override {
        spooler.AddPrinter({"Zarvel KQ-10", "Zarvel KQ-10", "USB001", 0});
        spooler.OnJobDelivered([this](const SpoolerJob& job) { delivered.push_back(job); });
        ASSERT_TRUE(spooler.OpenPrinter("Zarvel KQ-10", &printer));
    }

    DWORD Start() {
        const DWORD job = spooler.StartDocPrinter(printer, DocInfo{"Updater", nullptr, "RAW"});
        spooler.StartPagePrinter(printer);
        return job;
    }
    BOOL Write(const std::string& data, DWORD* written) {
        return spooler.WritePrinter(printer, data.data(), static_cast<DWORD>(data.size()), written);
    }

    MemorySpooler spooler;
    PrinterHandle printer = nullptr;
    std::vector<SpoolerJob> delivered;
};

TEST_F(MemorySpoolerJobs, DeliversAFinishedJobWithItsPieces) {
    const DWORD jobId = Start();
    EXPECT_NE(jobId, 0u);
    DWORD written = 0;
    EXPECT_TRUE(Write("abc", &written));
    EXPECT_EQ(written, 3u);
    EXPECT_TRUE(Write("", &written));
    EXPECT_TRUE(Write("de", &written));
    EXPECT_TRUE(delivered.empty());
    spooler.EndPagePrinter(printer);
    EXPECT_TRUE(spooler.EndDocPrinter(printer));
    EXPECT_TRUE(spooler.ClosePrinter(printer));

    ASSERT_EQ(delivered.size(), 1u);
    const SpoolerJob& job = delivered[0];
    EXPECT_EQ(job.jobId, jobId);
    EXPECT_EQ(job.printerName, "Zarvel KQ-10");
    EXPECT_EQ(job.portName, "USB001");
    EXPECT_EQ(job.docName, "Updater");
    EXPECT_FALSE(job.hasOutputFile);
    EXPECT_EQ(job.dataType, "RAW");
    EXPECT_EQ(std::string(job.data.begin(), job.data.end()), "abcde");
    EXPECT_EQ(job.writeSizes, (std::vector<DWORD>{3, 0, 2}));
    EXPECT_EQ(job.pagesStarted, 1);
    EXPECT_EQ(job.pagesEnded, 1);
    EXPECT_EQ(spooler.Jobs()[0].state, SpoolerJob::State::kDelivered);
}

TEST_F(MemorySpoolerJobs, FailedAndShortWritesTakeLess) {
    spooler.FailWrite(1);
    spooler.ShortWrite(2, 1);
    Start();
    DWORD written = 99;
    EXPECT_TRUE(Write("ab", &written));
    EXPECT_FALSE(Write("cd", &written));
    EXPECT_EQ(written, 0u);
    EXPECT_TRUE(Write("ef", &written));
    EXPECT_EQ(written, 1u);
    spooler.EndPagePrinter(printer);
    spooler.EndDocPrinter(printer);
    spooler.ClosePrinter(printer);
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(std::string(delivered[0].data.begin(), delivered[0].data.end()), "abe");
    EXPECT_EQ(delivered[0].writeSizes, (std::vector<DWORD>{2, 2, 2}));
}

TEST_F(MemorySpoolerJobs, CancelledOrAbandonedJobsNeverReachThePort) {
    const DWORD first = Start();
    DWORD written = 0;
    Write("part", &written);
    EXPECT_TRUE(spooler.CancelJob(printer, first));
    EXPECT_FALSE(Write("more", &written));
    EXPECT_FALSE(spooler.EndDocPrinter(printer));

    Start();
    Write("part", &written);
    spooler.ClosePrinter(printer);  // never ended

    EXPECT_TRUE(delivered.empty());
    ASSERT_EQ(spooler.Jobs().size(), 2u);
    EXPECT_EQ(spooler.Jobs()[0].state, SpoolerJob::State::kCancelled);
    EXPECT_TRUE(spooler.Jobs()[0].data.empty());
    EXPECT_EQ(spooler.Jobs()[1].state, SpoolerJob::State::kAbandoned);
    EXPECT_EQ(spooler.OpenHandleCount(), 0u);
}

TEST(MemorySpooler, PrinterQueriesAndTheirFaults) {
    MemorySpooler spooler;
    EXPECT_EQ(spooler.EnumLocalPrinters().status, SpoolerQueryStatus::kOk);
    EXPECT_TRUE(spooler.EnumLocalPrinters().printers.empty());
    spooler.AddPrinter({"Zarvel ZT-5", "Zarvel ZT-5", "USB002", kPrinterAttributeWorkOffline});
    spooler.AddPrinter({"Zarvel KQ-10", "Zarvel KQ-10", "USB001", 0});

    const PrinterList list = spooler.EnumLocalPrinters();
    ASSERT_EQ(list.printers.size(), 2u);
    EXPECT_EQ(list.printers[0].printerName, "Zarvel ZT-5");  // the order they were added
    EXPECT_EQ(list.printers[1].portName, "USB001");

    spooler.SetEnumFault(SpoolerFault::kSizeQueryFailed);
    EXPECT_EQ(spooler.EnumLocalPrinters().status, SpoolerQueryStatus::kSizeQueryFailed);
    spooler.SetEnumFault(SpoolerFault::kReadFailed);
    EXPECT_EQ(spooler.EnumLocalPrinters().status, SpoolerQueryStatus::kReadFailed);
    spooler.SetEnumFault(SpoolerFault::kOutOfMemory);
    EXPECT_THROW(spooler.EnumLocalPrinters(), std::bad_alloc);

    PrinterHandle printer = nullptr;
    spooler.SetOpenFails("zarvel zt-5");
    EXPECT_FALSE(spooler.OpenPrinter("Zarvel ZT-5", &printer));
    ASSERT_TRUE(spooler.OpenPrinter("ZARVEL KQ-10", &printer));
    EXPECT_EQ(spooler.GetPrinter(printer).info.printerName, "Zarvel KQ-10");
    spooler.SetAttributes("Zarvel KQ-10", kPrinterAttributeWorkOffline);
    EXPECT_EQ(spooler.GetPrinter(printer).info.attributes, kPrinterAttributeWorkOffline);
    spooler.SetGetPrinterFault("Zarvel KQ-10", SpoolerFault::kReadFailed);
    EXPECT_EQ(spooler.GetPrinter(printer).status, SpoolerQueryStatus::kReadFailed);
    spooler.SetGetPrinterFault("Zarvel KQ-10", SpoolerFault::kNone);
    spooler.RemovePrinter("Zarvel KQ-10");
    EXPECT_NE(spooler.GetPrinter(printer).status, SpoolerQueryStatus::kOk);  // deleted meanwhile
    spooler.ClosePrinter(printer);
    EXPECT_EQ(spooler.CountCalls("EnumPrinters"), 6u);
    EXPECT_EQ(spooler.CountCalls("GetPrinter"), 4u);
    EXPECT_EQ(spooler.OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace marnel
