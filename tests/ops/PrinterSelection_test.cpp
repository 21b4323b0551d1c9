#include <gtest/gtest.h>

#include "ops/PrinterSelection.h"
#include "sim/MemorySpooler.h"
#include "sim/SimPlatform.h"

namespace marnel {
namespace {

TEST(PrinterSelection, JudgesEveryPrinterAndChoosesTheFirstThatQualifies) {
    MemorySpooler spooler;
    SimCodePage codePage;
    const struct {
        PrinterInfo printer;
        PrinterVerdict verdict;
    } cases[] = {
        {{"Office", "Generic / Text Only", "LPT1:", 0}, PrinterVerdict::kNotDevice},
        {{"Paused", "Zarvel KQ-20", "USB001", kPrinterAttributeWorkOffline},
         PrinterVerdict::kOffline},
        {{"Label", "zarvel zt-5", "USB002", 0}, PrinterVerdict::kQualifies},
        {{"Zarvel KQ-10", "Zarvel KQ-10", "USB003", 0}, PrinterVerdict::kQualifies},
        {{"Zarvel ZT-9", "Microsoft Print To PDF", "PORTPROMPT:", 0}, PrinterVerdict::kNotDevice},
    };
    for (const auto& c : cases) {
        spooler.AddPrinter(c.printer);
    }

    const DeviceSelection selection = SelectDevicePrinter(spooler, codePage);
    EXPECT_EQ(selection.status, SpoolerQueryStatus::kOk);
    EXPECT_EQ(selection.chosen, "Label");
    EXPECT_EQ(selection.count, 2);
    ASSERT_EQ(selection.printers.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(selection.printers[i].info.printerName, cases[i].printer.printerName);
        EXPECT_EQ(selection.printers[i].verdict, cases[i].verdict) << cases[i].printer.printerName;
    }

    // A failed listing is nothing to choose from, whatever it held.
    for (SpoolerFault fault : {SpoolerFault::kSizeQueryFailed, SpoolerFault::kReadFailed}) {
        spooler.SetEnumFault(fault);
        const DeviceSelection failed = SelectDevicePrinter(spooler, codePage);
        EXPECT_NE(failed.status, SpoolerQueryStatus::kOk);
        EXPECT_TRUE(failed.NothingListed());
        EXPECT_TRUE(failed.printers.empty());
        EXPECT_EQ(failed.chosen, "");
        EXPECT_EQ(failed.count, 0);
    }
}

}  // namespace
}  // namespace marnel
