#include <gtest/gtest.h>

#include <cctype>

#include "ops/DeviceProbe.h"
#include "sim/SimWorld.h"

namespace marnel {
namespace {

TEST(DeviceProbe, ModeIsServiceUpdateOrNotAnswering) {
    SimWorld world;
    world.AddDevice(SimDeviceSetup(SimModel::kKQ10));
    world.AddDevice(SimDeviceSetup(SimModel::kZT5));
    world.AddDevice(SimDeviceSetup(SimModel::kKQ10, "Zarvel KQ-10 (2)"));
    world.Device(1).device.SetMode(SimMode::kUpdate);
    world.Unplug("Zarvel KQ-10 (2)");

    const struct {
        const char* printer;
        DeviceMode mode;
        bool detail;
    } cases[] = {
        {"Zarvel KQ-10", DeviceMode::kService, false},
        {"Zarvel ZT-5", DeviceMode::kUpdate, true},
        {"Zarvel KQ-10 (2)", DeviceMode::kNotAnswering, true},
        {"No Such Printer", DeviceMode::kNotAnswering, true},
    };
    for (const auto& c : cases) {
        const DeviceProbe probe = ProbeDevice(world.Services(), c.printer);
        EXPECT_EQ(probe.mode, c.mode) << c.printer;
        EXPECT_EQ(!probe.detail.empty(), c.detail) << c.printer << ": " << probe.detail;
    }
    // An unplugged device keeps its keys: its serial is still known.
    EXPECT_EQ(ProbeDevice(world.Services(), "Zarvel KQ-10 (2)").serial, world.Device(2).serial);
    EXPECT_EQ(ProbeDevice(world.Services(), "Zarvel ZT-5").serial, world.Device(1).serial);
}

TEST(DeviceProbe, SerialChoosesAnOnlinePrinterBeforeAnOfflineOne) {
    SimWorld world;
    world.AddDevice(SimDeviceSetup(SimModel::kKQ10));
    world.AddDevice(SimDeviceSetup(SimModel::kZT5, "", "", "", true));
    const std::string kq = world.Device(0).serial;
    const std::string zt = world.Device(1).serial;
    const PlatformServices& services = world.Services();
    const auto find = [&](const std::string& serial) {
        return FindPrinterBySerial(
            services, SelectDevicePrinter(services.spooler, services.codePage), serial);
    };
    EXPECT_EQ(find(kq), "Zarvel KQ-10");
    EXPECT_EQ(find(zt), "Zarvel ZT-5");  // offline, but the only one with it
    std::string lower = kq;
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    EXPECT_EQ(find(lower), "Zarvel KQ-10");
    EXPECT_EQ(find("NOSUCHSERIAL"), "");
    EXPECT_EQ(find(""), "");
}

}  // namespace
}  // namespace marnel
