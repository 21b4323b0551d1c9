#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/DevicePort.h"
#include "sim/SimWorld.h"

namespace marnel {
namespace {

// Opens a port by printer name through the world's real resolution, asks for
// service mode and answers whether the device said "SERVICE".
bool AnswersServiceMode(SimWorld& world, const std::string& printerName) {
    CDevicePort port(world.Services());
    return port.Open(printerName) && port.IsServiceMode();
}

void ExpectEverythingClosed(SimWorld& world) {
    EXPECT_EQ(world.Registry().OpenKeyCount(), 0u);
    EXPECT_EQ(world.Spooler().OpenHandleCount(), 0u);
    EXPECT_EQ(world.DeviceFile().OpenHandleCount(), 0u);
}

TEST(SimWorld, OpensItsDeviceByPrinterNameThroughTheRegistry) {
    SimWorld world;
    SimInstalledDevice& kq10 = world.AddDevice();
    EXPECT_EQ(kq10.printer.printerName, "Zarvel KQ-10");
    EXPECT_EQ(kq10.printer.driverName, "Zarvel KQ-10");
    EXPECT_EQ(kq10.printer.portName, "USB001");

    EXPECT_TRUE(AnswersServiceMode(world, "Zarvel KQ-10"));
    ASSERT_EQ(world.DeviceFile().Opens().size(), 1u);
    EXPECT_EQ(world.DeviceFile().Opens()[0].path, kq10.devicePath);
    EXPECT_EQ(kq10.devicePath,
              "\\\\?\\USB#VID_1A2B&PID_0010#KQ10SN0001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
    EXPECT_EQ(kq10.device.ControlLog().size(), 1u);
    ExpectEverythingClosed(world);
}

TEST(SimWorld, EachPrinterLeadsToItsOwnDeviceOnBothPlatformFamilies) {
    SimWorld world;
    world.AddOtherPrinter("Office Laser", "Generic Laser", "USB001");
    SimInstalledDevice& kq10 = world.AddDevice();
    SimInstalledDevice& zt5 = world.AddDevice(SimDeviceSetup(SimModel::kZT5, "", "", "", true));
    SimInstalledDevice& second =
        world.AddDevice(SimDeviceSetup(SimModel::kKQ10, "Zarvel KQ-10 (copy 1)"));
    SimInstalledDevice& renamed =
        world.AddDevice(SimDeviceSetup(SimModel::kKQ20, "Front desk", "", "USB010"));
    EXPECT_EQ(kq10.printer.portName, "USB002");  // USB001 is taken
    EXPECT_EQ(zt5.printer.attributes & kPrinterAttributeWorkOffline, kPrinterAttributeWorkOffline);
    EXPECT_EQ(renamed.printer.driverName, "Zarvel KQ-20");
    EXPECT_EQ(world.Spooler().Printers().size(), 5u);

    for (DWORD platformId : {kPlatformWin32Nt, kPlatformWin32Windows}) {
        SCOPED_TRACE(platformId);
        world.Version().SetPlatformId(platformId);
        const std::string SimInstalledDevice::*path = platformId == kPlatformWin32Nt
                                                          ? &SimInstalledDevice::devicePath
                                                          : &SimInstalledDevice::devicePath9x;
        for (SimInstalledDevice* installed : {&kq10, &zt5, &second, &renamed}) {
            SCOPED_TRACE(installed->printer.printerName);
            const std::size_t before = installed->device.ControlLog().size();
            EXPECT_TRUE(AnswersServiceMode(world, installed->printer.printerName));
            EXPECT_EQ(world.DeviceFile().Opens().back().path, installed->*path);
            EXPECT_EQ(installed->device.ControlLog().size(), before + 1);
        }
        EXPECT_FALSE(AnswersServiceMode(world, "Office Laser"));
        ExpectEverythingClosed(world);
    }
}

TEST(SimWorld, OpeningAPortAgainLetsGoOfItsDeviceFirst) {
    SimWorld world;
    world.AddDevice();
    world.AddDevice(SimDeviceSetup(SimModel::kZT5));
    {
        CDevicePort port(world.Services());
        ASSERT_TRUE(port.Open("Zarvel KQ-10"));
        // The device opens without sharing: this works only if the first
        // handle was closed.
        ASSERT_TRUE(port.Open("Zarvel KQ-10"));
        EXPECT_EQ(world.DeviceFile().OpenHandleCount(), 1u);
        EXPECT_FALSE(port.Open("No such printer"));
        EXPECT_EQ(world.DeviceFile().OpenHandleCount(), 0u);
        ASSERT_TRUE(port.Open("Zarvel ZT-5"));
        EXPECT_TRUE(port.IsServiceMode());
    }
    EXPECT_EQ(world.Device(1).device.ControlLog().size(), 1u);
    EXPECT_TRUE(world.Device(0).device.ControlLog().empty());
    ExpectEverythingClosed(world);
}

TEST(SimWorld, UnpluggedDevicesKeepTheirPrinterButDoNotOpen) {
    SimWorld world;
    world.AddDevice();
    ASSERT_TRUE(world.Unplug("zarvel kq-10"));
    EXPECT_FALSE(AnswersServiceMode(world, "Zarvel KQ-10"));
    EXPECT_EQ(world.Spooler().Printers().size(), 1u);
    ASSERT_TRUE(world.Plug("Zarvel KQ-10"));
    EXPECT_TRUE(AnswersServiceMode(world, "Zarvel KQ-10"));

    ASSERT_TRUE(world.SetOffline("Zarvel KQ-10", true));
    EXPECT_EQ(world.Spooler().Printers()[0].attributes & kPrinterAttributeWorkOffline,
              kPrinterAttributeWorkOffline);
    ASSERT_TRUE(world.DeletePrinter("Zarvel KQ-10"));
    EXPECT_FALSE(AnswersServiceMode(world, "Zarvel KQ-10"));
    EXPECT_FALSE(world.Unplug("No such printer"));
    ExpectEverythingClosed(world);
}

TEST(SimWorld, AFinishedJobReachesTheDeviceAtThePrintersPort) {
    SimWorld world;
    SimInstalledDevice& kq10 = world.AddDevice();
    SimInstalledDevice& zt5 = world.AddDevice(SimDeviceSetup(SimModel::kZT5));
    zt5.device.SetMode(SimMode::kUpdate);
    MemorySpooler& spooler = world.Spooler();

    PrinterHandle printer = nullptr;
    ASSERT_TRUE(spooler.OpenPrinter("Zarvel ZT-5", &printer));
    spooler.StartDocPrinter(printer, DocInfo{"Updater", nullptr, "RAW"});
    spooler.StartPagePrinter(printer);
    const std::string firmware = "firmware image";
    DWORD written = 0;
    spooler.WritePrinter(printer, firmware.data(), static_cast<DWORD>(firmware.size()), &written);
    EXPECT_TRUE(zt5.device.Jobs().empty());  // nothing before the job ends
    spooler.EndPagePrinter(printer);
    spooler.EndDocPrinter(printer);
    spooler.ClosePrinter(printer);

    ASSERT_EQ(zt5.device.Jobs().size(), 1u);
    const SimJob& job = zt5.device.Jobs()[0];
    EXPECT_EQ(std::string(job.bytes.begin(), job.bytes.end()), firmware);
    EXPECT_EQ(job.modeOnArrival, SimMode::kUpdate);
    EXPECT_TRUE(kq10.device.Jobs().empty());
}

}  // namespace
}  // namespace marnel
