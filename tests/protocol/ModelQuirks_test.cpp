// The model's quirks an open port carries: taken from the printer's name as
// the spooler records it, at the open, with no spooler call of their own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/DevicePort.h"
#include "sim/SimWorld.h"

namespace marnel {
namespace {

TEST(ModelQuirks, TheOpenedPrintersNameDecidesHowItsReportEnds) {
    const struct {
        const char* printer;
        const char* driver;
        SimModel device;
        bool etx;
    } cases[] = {
        {"Zarvel KQ-10", "Zarvel KQ-10", SimModel::kKQ10, false},
        {"zARVEL kq-10 (Copy 2)", "Zarvel KQ-10", SimModel::kKQ10, false},
        // Renamed by the user: the driver still qualifies it, the name rules.
        {"Front desk", "Zarvel KQ-10", SimModel::kKQ10, true},
        {"Zarvel KQ-1", "Zarvel KQ-10", SimModel::kKQ10, true},
        {"Zarvel KQ-100", "Zarvel ZT-9", SimModel::kZT5, false},
        {"Zarvel KQ-20", "Zarvel KQ-20", SimModel::kKQ20, true},
        {"Zarvel ZT-5", "Zarvel ZT-5", SimModel::kZT5, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.printer);
        SimWorld world;
        world.AddDevice(SimDeviceSetup(c.device, c.printer, c.driver));
        CDevicePort port(world.Services());
        port.SetQuirks(ModelQuirks{!c.etx});  // what the open must replace
        ASSERT_EQ(port.Open(c.printer), 1);
        EXPECT_EQ(port.Quirks().reportEndsWithEtx, c.etx);
        EXPECT_EQ(world.Spooler().Calls(),
                  (std::vector<std::string>{"OpenPrinter " + std::string(c.printer),
                                            "GetPrinter " + std::string(c.printer),
                                            "ClosePrinter " + std::string(c.printer)}))
            << "the resolution's calls and no more";
    }
}

}  // namespace
}  // namespace marnel
