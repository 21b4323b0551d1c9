#include <gtest/gtest.h>

#include "ops/Doctor.h"
#include "sim/SimWorld.h"

namespace marnel {
namespace {

// A spooler that knows why its printers are offline, as the CUPS one does.
class ExplainingSpooler : public MemorySpooler {
public:
    OfflineReason ExplainOffline(const PrinterInfo& printer) override {
        if (printer.printerName == "Zarvel_paused") {
            return {"paused", "cupsenable Zarvel_paused"};
        }
        return {"device not present", ""};
    }
};

// Back-end checks that name themselves, to see where each group goes.
class NamedCheckup : public IMachineCheckup {
public:
    std::vector<MachineCheck> SpoolerChecks() override {
        return {{"spooler", CheckStatus::kOk, "", ""}};
    }
    std::vector<MachineCheck> DeviceChecks() override {
        return {{"devices", CheckStatus::kInfo, "", ""}};
    }
    std::vector<MachineCheck> QueueChecks() override {
        return {{"queues", CheckStatus::kWarn, "", ""}};
    }
};

TEST(Doctor, APrinterTheUserCanResumeFailsWithItsFixAndAnAbsentDeviceWarns) {
    SimWorld world;
    ExplainingSpooler spooler;
    spooler.AddPrinter({"Office", "Generic Office Laser", "LPT1:", 0});
    spooler.AddPrinter({"Zarvel_paused", "Zarvel KQ-10", "usb://a", kPrinterAttributeWorkOffline});
    spooler.AddPrinter({"Zarvel_gone", "Zarvel ZT-5", "usb://b", kPrinterAttributeWorkOffline});
    spooler.AddPrinter({"Zarvel_ready", "Zarvel ZT-5", "usb://c", 0});
    PlatformServices services = world.Services();
    PlatformServices withSpooler{spooler, services.devices, services.clock, services.codePage};

    const std::vector<MachineCheck> checks = RunDoctor(withSpooler, nullptr);
    const struct {
        const char* name;
        CheckStatus status;
        const char* fix;
    } expected[] = {
        {"printers", CheckStatus::kFail, "cupsenable Zarvel_paused"},
        {"printers", CheckStatus::kWarn, ""},
        {"printers", CheckStatus::kOk, ""},
        {"identity", CheckStatus::kInfo, ""},  // no printer leads to a device
    };
    ASSERT_EQ(checks.size(), std::size(expected));
    for (std::size_t i = 0; i < checks.size(); ++i) {
        EXPECT_EQ(checks[i].name, expected[i].name) << i;
        EXPECT_EQ(checks[i].status, expected[i].status) << checks[i].detail;
        EXPECT_EQ(checks[i].fix, expected[i].fix) << i;
    }
    EXPECT_NE(checks[0].detail.find("paused"), std::string::npos) << checks[0].detail;
    EXPECT_FALSE(Healthy(checks));
}

TEST(Doctor, EachDeviceIsAskedOnceBetweenTheBackEndsChecks) {
    SimWorld world;
    world.AddDevice(SimDeviceSetup(SimModel::kKQ10));
    world.AddDevice(SimDeviceSetup(SimModel::kZT5));
    world.AddDevice(SimDeviceSetup(SimModel::kKQ10, "Zarvel KQ-10 (2)"));
    world.Device(1).device.SetMode(SimMode::kUpdate);
    NamedCheckup checkup;

    std::vector<MachineCheck> checks = RunDoctor(world.Services(), &checkup);
    std::string order;
    for (const MachineCheck& check : checks) {
        order += check.name + ":" + CheckStatusName(check.status) + " ";
    }
    EXPECT_EQ(order,
              "spooler:ok printers:ok printers:ok printers:ok devices:info identity:ok "
              "identity:warn identity:ok queues:warn ");
    EXPECT_TRUE(Healthy(checks));
    EXPECT_NE(checks[6].detail.find("serial " + world.Device(1).serial), std::string::npos)
        << checks[6].detail;

    world.Unplug("Zarvel KQ-10 (2)");
    checks = RunDoctor(world.Services(), &checkup);
    EXPECT_EQ(checks[7].status, CheckStatus::kFail) << checks[7].detail;
    EXPECT_FALSE(Healthy(checks));
}

}  // namespace
}  // namespace marnel
