// How attached USB printers and their queues are named and presented as the
// registry tree the port resolution walks.
#include "posix/UsbRegistry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/RegistryDeviceBus.h"
#include "device/UsbPrinterPort.h"
#include "posix/UsbPortPlan.h"
#include "posix/UsbPrinterNames.h"
#include "sim/MemorySpooler.h"
#include "sim/SimDeviceFile.h"
#include "sim/SimPlatform.h"
#include "sim/VirtualClock.h"

namespace marnel {
namespace {

UsbPrinterDevice Device(const std::string& model, const std::string& serial,
                        std::uint8_t address = 2) {
    UsbPrinterDevice d;
    d.vendorId = 0x1a2b;
    d.productId = 0x0010;
    d.busNumber = 1;
    d.address = address;
    d.portPath = "1-" + std::to_string(address);
    d.serial = serial;
    d.manufacturer = "Zarvel";
    d.model = model;
    return d;
}

TEST(UsbPrinterNames, InterfacePathsRoundTrip) {
    const UsbPrinterDevice kq = Device("KQ-10", "KQ10SN0001", 7);
    const std::string bySerial = UsbInterfacePath(kq, UsbInstanceId(kq, true));
    EXPECT_EQ(bySerial,
              "\\\\?\\USB#VID_1A2B&PID_0010#KQ10SN0001#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}");
    UsbInterfaceAddress a;
    ASSERT_TRUE(ParseUsbInterfacePath(bySerial, &a));
    EXPECT_EQ(a.vendorId, 0x1a2b);
    EXPECT_EQ(a.productId, 0x0010);
    EXPECT_EQ(a.serial, "KQ10SN0001");
    EXPECT_FALSE(a.byLocation);

    // A serial shared by two devices, one that would not survive the path,
    // or none at all gives way to the bus location.
    const struct {
        UsbPrinterDevice device;
        bool serialUnique;
    } located[] = {{kq, false}, {Device("KQ-10", "A#B&C", 7), true}, {Device("KQ-10", "", 7), true}};
    for (const auto& c : located) {
        const std::string path = UsbInterfacePath(c.device, UsbInstanceId(c.device, c.serialUnique));
        ASSERT_TRUE(ParseUsbInterfacePath(path, &a)) << path;
        EXPECT_TRUE(a.byLocation) << path;
        EXPECT_EQ(a.busNumber, 1);
        EXPECT_EQ(a.address, 7);
    }
    for (const char* bad : {"", "/dev/usb/lp0",
                            "\\\\?\\USB#VID_1A2B#KQ10SN0001#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}",
                            "\\\\?\\USB#VID_1A2B&PID_0010#KQ10SN0001#{other}",
                            "\\\\?\\USB#VID_1A2G&PID_0010#KQ10SN0001#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}",
                            "\\\\?\\USB#VID_1A2B&PID_0010#BUS999&DEV1#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}"}) {
        EXPECT_FALSE(ParseUsbInterfacePath(bad, &a)) << bad;
    }
}

// Reads the presented registry through the interface, the way the walks do.
class RegistryReader {
public:
    explicit RegistryReader(IRegistry& registry) : m_registry(registry) {}

    std::vector<std::string> Subkeys(const std::string& path) {
        std::vector<std::string> names;
        RegKey key = nullptr;
        if (!m_registry.OpenKey(kLocalMachine, path, &key)) {
            return {"<cannot open>"};
        }
        std::string name;
        DWORD error = 0;
        for (DWORD i = 0;; ++i) {
            const RegEnumStatus status = m_registry.EnumKey(key, i, &name, &error);
            if (status == RegEnumStatus::kNoMoreItems) {
                break;
            }
            names.push_back(status == RegEnumStatus::kOk ? name : "<error " + std::to_string(error) + ">");
        }
        m_registry.CloseKey(key);
        return names;
    }

    std::string Value(const std::string& path, const std::string& value) {
        RegKey key = nullptr;
        if (!m_registry.OpenKey(kLocalMachine, path, &key)) {
            return "<cannot open>";
        }
        std::string bytes;
        const BOOL ok = m_registry.QueryValue(key, value, &bytes);
        m_registry.CloseKey(key);
        return ok ? bytes : "<unreadable>";
    }

private:
    IRegistry& m_registry;
};

TEST(UsbRegistry, PresentsQueuedAndQueuelessDevicesAsTheWalksExpect) {
    const std::vector<UsbPrinterDevice> devices = {Device("KQ-10", "KQ10SN0001", 2),
                                                   Device("ZT-5", "ZT5SN7", 3)};
    const std::vector<QueuePort> queues = {
        {"Zarvel KQ-10", "usb://Zarvel/KQ-10?serial=KQ10SN0001"},
        {"Generic Laser", "ipp://printer.local/ipp/print"},
    };
    int fetches = 0;
    UsbRegistry registry(
        [&](std::vector<UsbPrinterDevice>* d, std::vector<QueuePort>* q) {
            ++fetches;
            *d = devices;
            *q = queues;
            return true;
        },
        std::chrono::milliseconds(0));
    RegistryReader reader(registry);

    const std::string usbPrint = "SYSTEM\\CurrentControlSet\\Enum\\USBPRINT";
    ASSERT_EQ(reader.Subkeys(usbPrint), (std::vector<std::string>{"ZarvelKQ-10", "ZarvelZT-5"}));
    const std::vector<std::string> kq = reader.Subkeys(usbPrint + "\\ZarvelKQ-10");
    ASSERT_EQ(kq.size(), 1u);
    const std::string port = "usb://Zarvel/KQ-10?serial=KQ10SN0001#";
    ASSERT_GT(kq[0].size(), port.size() + 1);
    EXPECT_EQ(kq[0].substr(kq[0].size() - port.size() - 1), "&" + port);
    const std::string prefix = kq[0].substr(0, kq[0].size() - port.size() - 1);
    EXPECT_EQ(reader.Value(usbPrint + "\\ZarvelKQ-10\\" + kq[0], "DeviceDesc"),
              std::string("Zarvel KQ-10\0", 13));
    // The device without a queue carries the port its queue would have.
    const std::vector<std::string> zt = reader.Subkeys(usbPrint + "\\ZarvelZT-5");
    ASSERT_EQ(zt.size(), 1u);
    EXPECT_NE(zt[0].find("&usb://Zarvel/ZT-5?serial=ZT5SN7#"), std::string::npos);

    const std::string usb = "SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_1A2B&PID_0010";
    EXPECT_EQ(reader.Subkeys(usb), (std::vector<std::string>{"KQ10SN0001", "ZT5SN7"}));
    EXPECT_EQ(reader.Value(usb + "\\KQ10SN0001", "ParentIdPrefix"), prefix + '\0');
    EXPECT_EQ(reader.Value(usb + "\\KQ10SN0001\\Device Parameters", "SymbolicName"),
              std::string("\\??\\USB#VID_1A2B&PID_0010#KQ10SN0001#"
                          "{28d78fad-5a12-11d1-ae5b-0000f803a8c2}") + '\0');

    const std::string classes = "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\"
                                "{28D78FAD-5A12-11D1-AE5B-0000F803A8C2}";  // any letter case
    const std::vector<std::string> links = reader.Subkeys(classes);
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[0], "##?#USB#VID_1A2B&PID_0010#KQ10SN0001#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}");
    EXPECT_EQ(reader.Value(classes + "\\" + links[0] + "\\#", "SymbolicLink"),
              std::string("\\\\?\\USB#VID_1A2B&PID_0010#KQ10SN0001#"
                          "{28d78fad-5a12-11d1-ae5b-0000f803a8c2}") + '\0');
    EXPECT_EQ(reader.Value(classes + "\\" + links[0] + "\\#", "Missing"), "<unreadable>");
    EXPECT_EQ(reader.Subkeys("SYSTEM\\CurrentControlSet\\Enum\\NOSUCH"),
              (std::vector<std::string>{"<cannot open>"}));
    EXPECT_GT(fetches, 1);  // every walk looked afresh
}

TEST(UsbRegistry, KeepsTheLimitsOfTheRealCalls) {
    // A driver name of 255 characters still lists and reads (256 bytes with
    // its terminator); one of 256 could not be read back whole, so its port
    // is left out rather than listed.
    const UsbPrinterDevice device = Device("KQ-10", "SN1");
    for (std::size_t length : {255u, 256u}) {
        SCOPED_TRACE(length);
        const std::string driver(length, 'Z');
        UsbRegistry registry([&](std::vector<UsbPrinterDevice>* d, std::vector<QueuePort>* q) {
            *d = {device};
            *q = {{driver, "usb://Zarvel/KQ-10?serial=SN1"}};
            return true;
        });
        RegistryReader reader(registry);
        const std::string usbPrint = "SYSTEM\\CurrentControlSet\\Enum\\USBPRINT";
        const std::vector<std::string> models = reader.Subkeys(usbPrint);
        if (length == 256) {
            EXPECT_TRUE(models.empty());
            continue;
        }
        ASSERT_EQ(models, std::vector<std::string>{driver});
        const std::vector<std::string> printers = reader.Subkeys(usbPrint + "\\" + driver);
        ASSERT_EQ(printers.size(), 1u);
        EXPECT_EQ(reader.Value(usbPrint + "\\" + driver + "\\" + printers[0], "DeviceDesc"),
                  driver + '\0');
    }
}

// The core's walks, unchanged, over the presented tree: each presented port
// leads to its own device whatever the others are named, and a port left
// out fails alone, at its printer node, without stopping the others.
TEST(UsbRegistry, EveryPresentedPortLeadsToItsOwnDevice) {
    UsbPrinterDevice other = Device(std::string(120, '%'), "X1", 9);  // 360 characters encoded
    other.manufacturer = "Other";
    const QueuePort sn1 = {"Zarvel KQ-10", "usb://Zarvel/KQ-10?serial=SN1"};
    const struct {
        const char* what;
        std::vector<UsbPrinterDevice> devices;
        std::vector<QueuePort> queues;
        std::size_t presented;
        std::size_t skipped;
    } worlds[] = {
        // clang-format off
        {"two alike devices without serials", {Device("KQ-10", "", 2), Device("KQ-10", "", 3)}, {}, 2, 0},
        {"SN12 before SN1", {Device("KQ-10", "SN12", 2), Device("KQ-10", "SN1", 3)}, {}, 2, 0},
        {"SN12 before SN1, both queued", {Device("KQ-10", "SN12", 2), Device("KQ-10", "SN1", 3)},
         {{"Zarvel KQ-10", "usb://Zarvel/KQ-10?serial=SN12"}, sn1}, 2, 0},
        {"a serial-less device beside one with a serial",
         {Device("KQ-10", "SN1", 2), Device("KQ-10", "", 3)}, {sn1}, 2, 0},
        {"serials inside the others' names",
         {Device("KQ-10", "1A2B", 2), Device("KQ-10", "0010", 3), Device("KQ-10", "b", 4)}, {}, 3, 0},
        {"two devices sharing a serial", {Device("KQ-10", "SN1", 2), Device("KQ-10", "SN1", 3)}, {}, 2, 0},
        {"a queue that names two devices", {Device("KQ-10", "", 2), Device("KQ-10", "", 3)},
         {{"Zarvel KQ-10", "usb://Zarvel/KQ-10"}}, 2, 1},
        {"a long model of another maker first", {other, Device("KQ-10", "SN1", 3)},
         {{"Other Printer", UsbDeviceUri(other)}, sn1}, 1, 1},
        {"a queue URI with a backslash", {Device("KQ-10", "A\\B", 5)},
         {{"Zarvel KQ-10", "usb://Zarvel/KQ-10?serial=A\\B"}}, 1, 0},
        {"a driver name too long to read back", {Device("KQ-10", "SN1", 2)},
         {{std::string(256, 'Z'), sn1.portName}}, 0, 1},
        {"two queues whose URIs differ only in case", {Device("KQ-10", "SN1", 2)},
         {sn1, {"Zarvel KQ-10", "usb://ZARVEL/KQ-10?serial=SN1"}}, 1, 1},
        {"two queues on one URI, one driver", {Device("KQ-10", "SN1", 2)},
         {sn1, {"ZARVEL KQ-10", sn1.portName}}, 2, 0},
        {"two queues on one URI, other drivers", {Device("KQ-10", "SN1", 2)},
         {sn1, {"Local Raw Printer", sn1.portName}}, 1, 1},
        {"a serial of \"?\", which a URI cannot tell from none",
         {Device("KQ-10", "?", 2), Device("KQ-10", "SN1", 3)},
         {{"Zarvel KQ-10", "usb://Zarvel/KQ-10?serial=%3F"}}, 2, 1},
        // Inside "7&...&0&usb://Zarvel/KQ-10?serial=SN1#" at the port's own
        // length, so that the cut leaves the node's parent id prefix.
        {"a queue whose URI is no URI but part of a node's name", {Device("KQ-10", "SN1", 2)},
         {{"Zarvel KQ-10", "&usb://Zarvel/KQ-10?serial=SN1"}}, 1, 0},
        {"a queue of another kind", {Device("KQ-10", "SN1", 2)},
         {{"Zarvel KQ-10", "socket://kq10.example:9100"}}, 1, 0},
        // clang-format on
    };
    SimPlatformVersion version;
    SimDeviceFile deviceFile;
    VirtualClock clock;
    SimCodePage codePage;
    for (const auto& w : worlds) {
        SCOPED_TRACE(w.what);
        UsbRegistry registry([&](std::vector<UsbPrinterDevice>* d, std::vector<QueuePort>* q) {
            *d = w.devices;
            *q = w.queues;
            return true;
        });
        MemorySpooler spooler;
        const std::vector<UsbPort> plan = PlanUsbPorts(w.devices, w.queues);
        for (std::size_t i = 0; i < plan.size(); ++i) {
            spooler.AddPrinter({"P" + std::to_string(i), plan[i].driverName, plan[i].portName, 0});
        }
        CRegistryDeviceBus devices(version, registry, deviceFile, codePage);
        const PlatformServices services{spooler, devices, clock, codePage};
        for (const QueuePort& queue : w.queues) {
            bool named = false;
            for (const UsbPrinterDevice& d : w.devices) {
                named = named || UsbUriNamesDevice(queue.portName, d);
            }
            if (!named) {  // such a queue's walk must open no device
                spooler.AddPrinter({"Q", queue.driverName, PresentedQueuePort(queue.portName), 0});
                CUsbPrinterPort port(services);
                EXPECT_FALSE(port.Locate("Q")) << queue.portName;
                EXPECT_EQ(port.Device().location, "") << queue.portName;
                spooler.RemovePrinter("Q");
            }
        }
        std::size_t presented = 0;
        std::size_t skipped = 0;
        for (std::size_t i = 0; i < plan.size(); ++i) {
            CUsbPrinterPort port(services);
            port.Locate("P" + std::to_string(i));
            EXPECT_EQ(SkipReasonOf(plan, plan[i].driverName, plan[i].portName),
                      plan[i].skipReason);
            if (!plan[i].skipReason.empty()) {
                ++skipped;
                EXPECT_EQ(port.LastOpenFailure().step, OpenStep::kPrinterNode) << plan[i].portName;
                continue;
            }
            UsbInterfaceAddress a;
            ASSERT_TRUE(ParseUsbInterfacePath(port.Device().location, &a))
                << plan[i].portName << ": " << port.LastOpenFailure().cause;
            const UsbPrinterDevice& d = w.devices[static_cast<std::size_t>(plan[i].device)];
            EXPECT_TRUE(a.byLocation ? a.address == d.address : a.serial == d.serial)
                << plan[i].portName << " reached " << port.Device().location;
            ++presented;
        }
        EXPECT_EQ(presented, w.presented);
        EXPECT_EQ(skipped, w.skipped);
    }
}

TEST(UsbRegistry, SnapshotStaysWhileKeysAreOpen) {
    std::vector<UsbPrinterDevice> devices = {Device("KQ-10", "A1")};
    UsbRegistry registry(
        [&](std::vector<UsbPrinterDevice>* d, std::vector<QueuePort>* q) {
            *d = devices;
            q->clear();
            return true;
        },
        std::chrono::milliseconds(0));
    RegKey outer = nullptr;
    ASSERT_TRUE(registry.OpenKey(kLocalMachine, "SYSTEM\\CurrentControlSet\\Enum\\USB", &outer));
    devices.clear();  // the device goes away in the middle of a walk
    RegKey inner = nullptr;
    ASSERT_TRUE(registry.OpenKey(kLocalMachine, "SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_1A2B&PID_0010\\A1", &inner));
    registry.CloseKey(inner);
    registry.CloseKey(outer);
    // The next walk sees it gone.
    EXPECT_FALSE(registry.OpenKey(kLocalMachine, "SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_1A2B&PID_0010", &outer));
}

// Unlike the simulator's registry, HKEY_LOCAL_MACHINE only opens keys here,
// and a key that is not open lists as not found.
TEST(UsbRegistry, LocalMachineOnlyOpensKeys) {
    UsbRegistry registry([](std::vector<UsbPrinterDevice>* d, std::vector<QueuePort>* q) {
        d->clear();
        q->clear();
        return true;
    });
    std::string name;
    DWORD error = 0;
    std::string bytes;
    EXPECT_EQ(registry.EnumKey(kLocalMachine, 0, &name, &error), RegEnumStatus::kError);
    EXPECT_EQ(error, 2u);  // ERROR_FILE_NOT_FOUND
    EXPECT_FALSE(registry.QueryValue(kLocalMachine, "SYSTEM", &bytes));
    RegKey key = nullptr;
    ASSERT_TRUE(registry.OpenKey(kLocalMachine, "", &key));
    EXPECT_EQ(registry.EnumKey(key, 0, &name, &error), RegEnumStatus::kOk);
    EXPECT_EQ(name, "SYSTEM");
    registry.CloseKey(key);
    EXPECT_EQ(registry.EnumKey(key, 0, &name, &error), RegEnumStatus::kError);
    EXPECT_EQ(error, 2u);
}

}  // namespace
}  // namespace marnel
