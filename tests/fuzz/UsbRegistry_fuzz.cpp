// The registry Linux presents from attached USB printers and CUPS queues,
// fed devices and queues whose serials, makers, models and URIs come from the
// input, then walked by the port resolution for every printer listed.
//
// Promises: every key of the presented tree lists and opens; every device
// listed without a queue has a port name that is unique and that no other
// such name contains; a printer's walk opens only a device its printer names,
// and opens one whenever its names are printable and short enough to present.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "platform/AsciiCase.h"
#include "platform/DeviceFile.h"
#include "platform/Registry.h"
#include "platform/RegistryLayout.h"
#include "posix/CupsSpooler.h"
#include "posix/PosixSpooler.h"
#include "posix/UsbDiscovery.h"
#include "posix/UsbPrinterNames.h"
#include "posix/UsbRegistry.h"
#include "protocol/DevicePort.h"
#include "sim/MemorySpooler.h"
#include "sim/SimPlatform.h"
#include "sim/VirtualClock.h"

namespace {

using namespace marnel;

// Longest name a walk is promised to resolve; longer ones may be skipped.
constexpr std::size_t kPresentableChars = 180;

class RecordingDeviceFile : public IDeviceFile {
public:
    HANDLE Open(const std::string& path, DWORD, DWORD, void*, DWORD, DWORD, HANDLE) override {
        m_paths.push_back(path);
        return reinterpret_cast<HANDLE>(0x100 + m_paths.size());
    }
    BOOL Read(HANDLE, void*, DWORD, DWORD*, void*) override { return 0; }
    BOOL IoControl(HANDLE, DWORD, void*, DWORD, void*, DWORD, DWORD*, void*) override { return 0; }
    BOOL Close(HANDLE) override { return 1; }
    const std::vector<std::string>& Paths() const { return m_paths; }

private:
    std::vector<std::string> m_paths;
};

bool Printable(const std::string& text) {
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) {
            return false;
        }
    }
    return true;
}

bool Presentable(const std::string& text) {
    return !text.empty() && text.size() <= kPresentableChars && Printable(text);
}

std::string PickText(FuzzedDataProvider& input, const std::vector<const char*>& usual) {
    const std::size_t pick = input.ConsumeIntegralInRange<std::size_t>(0, usual.size());
    return pick < usual.size() ? std::string(usual[pick]) : input.ConsumeRandomLengthString(100);
}

std::vector<UsbPrinterDevice> MakeDevices(FuzzedDataProvider& input) {
    std::vector<UsbPrinterDevice> devices;
    const int count = input.ConsumeIntegralInRange<int>(1, 4);
    for (int i = 0; i < count; ++i) {
        UsbPrinterDevice device;
        if (i > 0 && input.ConsumeBool()) {
            device = devices.back();  // another of the same kind
        } else {
            device.vendorId = input.ConsumeBool() ? 0x1A2B : input.ConsumeIntegral<std::uint16_t>();
            device.productId = input.ConsumeIntegralInRange<std::uint16_t>(0x10, 0x12);
            device.manufacturer = PickText(input, {"Zarvel", "ZARVEL", "Other Maker"});
            device.model = PickText(input, {"KQ-10", "KQ-20", "ZT-5"});
            device.serial = PickText(input, {"", "SN1", "SN12", "KQ10SN0001"});
        }
        device.busNumber = input.ConsumeIntegralInRange<std::uint8_t>(1, 3);
        device.address = static_cast<std::uint8_t>(2 + i);  // a place on the bus is never shared
        devices.push_back(device);
    }
    return devices;
}

std::vector<QueuePort> MakeQueues(FuzzedDataProvider& input,
                                  const std::vector<UsbPrinterDevice>& devices) {
    std::vector<QueuePort> queues;
    const int count = input.ConsumeIntegralInRange<int>(0, 3);
    for (int i = 0; i < count; ++i) {
        const UsbPrinterDevice& device =
            devices[input.ConsumeIntegralInRange<std::size_t>(0, devices.size() - 1)];
        QueuePort queue;
        queue.driverName =
            input.ConsumeBool() ? DriverNameOf(device) : input.ConsumeRandomLengthString(100);
        switch (input.ConsumeIntegralInRange<int>(0, 3)) {
            case 0:
                queue.portName = UsbDeviceUri(device);
                break;
            case 1:  // the device's URI with more after it
                queue.portName = UsbDeviceUri(device) + input.ConsumeRandomLengthString(100);
                break;
            case 2:
                queue.portName = "usb://" + input.ConsumeRandomLengthString(200);
                break;
            default:
                queue.portName = input.ConsumeRandomLengthString(200);
                break;
        }
        queues.push_back(queue);
    }
    return queues;
}

// Every key of the tree below `path` lists and opens.
void CheckTree(IRegistry& registry, const std::string& path, int depth) {
    RegKey key = nullptr;
    FUZZ_CHECK(registry.OpenKey(kLocalMachine, path, &key));
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        std::string name;
        DWORD error = 0;
        const RegEnumStatus status = registry.EnumKey(key, index, &name, &error);
        FUZZ_CHECK(status != RegEnumStatus::kError);
        if (status == RegEnumStatus::kNoMoreItems) {
            break;
        }
        names.push_back(name);
    }
    registry.CloseKey(key);
    if (depth > 0) {
        for (const std::string& name : names) {
            CheckTree(registry, path + "\\" + name, depth - 1);
        }
    }
}

bool SameDevice(const UsbInterfaceAddress& address, const UsbPrinterDevice& device) {
    return address.vendorId == device.vendorId && address.productId == device.productId &&
           (address.byLocation
                ? address.busNumber == device.busNumber && address.address == device.address
                : address.serial == device.serial);
}

// With MARNEL_FUZZ_SHOW set, a finding is told as the devices and queues it
// was made of.
void Show(const std::vector<UsbPrinterDevice>& devices, const std::vector<QueuePort>& queues) {
    if (std::getenv("MARNEL_FUZZ_SHOW") == nullptr) {
        return;
    }
    for (const UsbPrinterDevice& d : devices) {
        std::fprintf(stderr,
                     "device %04x:%04x bus %u address %u serial \"%s\" maker \"%s\" model \"%s\"\n",
                     d.vendorId, d.productId, d.busNumber, d.address, d.serial.c_str(),
                     d.manufacturer.c_str(), d.model.c_str());
    }
    for (const QueuePort& q : queues) {
        std::fprintf(stderr, "queue driver \"%s\" uri \"%s\"\n", q.driverName.c_str(),
                     q.portName.c_str());
    }
}

struct ListedPrinter {
    PrinterInfo info;
    std::vector<const UsbPrinterDevice*> named;  // the devices its port names
    bool mustOpen = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static CupsSpooler cups(
        "/nonexistent/marnel-fuzz.sock");  // never asked: the queues come from the input
    static LibusbSession session;
    FuzzedDataProvider input(data, size);
    const std::vector<UsbPrinterDevice> devices = MakeDevices(input);
    const std::vector<QueuePort> queues = MakeQueues(input, devices);
    Show(devices, queues);

    // The printers the Linux spooler lists: the queues, then the devices no
    // queue names.
    std::vector<ListedPrinter> printers;
    std::vector<std::string> uris;
    for (std::size_t i = 0; i < queues.size(); ++i) {
        ListedPrinter p;
        p.info = {"queue" + std::to_string(i), queues[i].driverName, queues[i].portName, 0};
        for (const UsbPrinterDevice& device : devices) {
            if (UsbUriNamesDevice(queues[i].portName, device)) {
                p.named.push_back(&device);
            }
        }
        p.mustOpen =
            !p.named.empty() && Presentable(p.info.driverName) && Presentable(p.info.portName);
        printers.push_back(p);
        uris.push_back(queues[i].portName);
    }
    PosixSpooler lister(cups, session, [&](std::vector<UsbPrinterDevice>* listed) {
        *listed = devices;
        return true;
    });
    const std::vector<PosixSpooler::QueuelessPrinter> queueless = lister.QueuelessPrinters(uris);
    for (const PosixSpooler::QueuelessPrinter& q : queueless) {
        ListedPrinter p;
        p.info = q.info;
        for (const UsbPrinterDevice& device : devices) {
            if (device.busNumber == q.device.busNumber && device.address == q.device.address) {
                p.named.push_back(&device);
            }
        }
        FUZZ_CHECK(p.named.size() == 1);
        p.mustOpen = Presentable(p.info.driverName) && Presentable(p.info.portName) &&
                     Printable(q.device.serial);
        printers.push_back(p);
    }

    // Devices without a queue: unique port names that no other contains.
    for (const PosixSpooler::QueuelessPrinter& a : queueless) {
        for (const PosixSpooler::QueuelessPrinter& b : queueless) {
            if (&a != &b) {
                FUZZ_CHECK(b.info.portName.find(a.info.portName) == std::string::npos);
            }
        }
    }

    UsbRegistry registry([&](std::vector<UsbPrinterDevice>* d, std::vector<QueuePort>* q) {
        *d = devices;
        *q = queues;
        return true;
    });
    CheckTree(registry, kUsbPrintKeyNt, 2);
    CheckTree(registry, kUsbKeyNt, 3);
    CheckTree(registry, kDeviceClassesKey, 3);

    MemorySpooler spooler;
    for (const ListedPrinter& p : printers) {
        spooler.AddPrinter(p.info);
    }
    SimPlatformVersion version;
    RecordingDeviceFile deviceFile;
    VirtualClock clock;
    SimCodePage codePage;
    const PlatformServices services{version, spooler, registry, deviceFile, clock, codePage};
    for (const ListedPrinter& p : printers) {
        bool nameShared = false;  // the in-memory spooler finds names ignoring case
        for (const ListedPrinter& other : printers) {
            nameShared = nameShared || (&other != &p && AsciiEqualsNoCase(other.info.printerName,
                                                                          p.info.printerName));
        }
        if (nameShared) {
            continue;
        }
        CDevicePort port(services);
        const std::size_t opensBefore = deviceFile.Paths().size();
        if (!port.Open(p.info.printerName)) {
            FUZZ_CHECK(!p.mustOpen);
            continue;
        }
        FUZZ_CHECK(deviceFile.Paths().size() == opensBefore + 1);
        UsbInterfaceAddress address;
        FUZZ_CHECK(ParseUsbInterfacePath(deviceFile.Paths().back(), &address));
        bool named = false;
        for (const UsbPrinterDevice* device : p.named) {
            named = named || SameDevice(address, *device);
        }
        FUZZ_CHECK(named);
    }
    return 0;
}
