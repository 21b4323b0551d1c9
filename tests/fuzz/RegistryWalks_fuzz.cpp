// The port's registry walks, both platform families, over a simulated
// machine whose printer, driver and port names come from the input, with
// other makers' printers, stray keys and values of any bytes, and a code
// page whose lead bytes come from the input.
//
// Promises: a walk closes every key it opened and opens at most one device;
// on a machine without stray keys, a printer whose names are plain and that
// no other printer's names could be mistaken for opens its own device, and
// no walk ever opens a device other than its own.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "platform/AsciiCase.h"
#include "platform/RegistryLayout.h"
#include "protocol/DevicePort.h"
#include "sim/SimWorld.h"

namespace {

using namespace marnel;

constexpr std::size_t kLongestName = 100;  // keeps every key the machine makes under 256

// Empty: the simulated machine's own default.
std::string MaybeName(FuzzedDataProvider& input) {
    return input.ConsumeBool() ? std::string() : input.ConsumeRandomLengthString(kLongestName + 20);
}

bool Plain(const std::string& name) {
    return !name.empty() && name.size() <= kLongestName && name.find('\0') == std::string::npos &&
           name.find('\\') == std::string::npos;
}

bool Contains(const std::string& text, const std::string& what) {
    return text.find(what) != std::string::npos;
}

// "<port>&VID_xxxx&PID_xxxx&<serial>": the name the 95/98/Me family gives
// a device's printer node; its ids are the ones in its device path.
std::string NodeName9x(const SimInstalledDevice& device) {
    const std::size_t ids = device.devicePath.find("VID_");
    return device.printer.portName + "&" + device.devicePath.substr(ids, 17) + "&" + device.serial;
}

void AddStrayKey(FuzzedDataProvider& input, MemoryRegistry& registry) {
    static const char* const kRoots[] = {kUsbPrintKeyNt, kUsbKeyNt, kDeviceClassesKey,
                                         kUsbPrintKey9x, kUsbKey9x};
    static const char* const kValues[] = {"DeviceDesc", "ParentIdPrefix", "SymbolicName",
                                          "SymbolicLink"};
    std::string path = kRoots[input.ConsumeIntegralInRange<std::size_t>(0, 4)];
    const int depth = input.ConsumeIntegralInRange<int>(1, 4);
    for (int level = 0; level < depth; ++level) {
        path += "\\" + input.ConsumeRandomLengthString(300);
    }
    registry.SetBytes(path, kValues[input.ConsumeIntegralInRange<std::size_t>(0, 3)],
                      input.ConsumeRandomLengthString(300));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    SimWorld world;
    const bool nt = input.ConsumeBool();
    world.Version().SetPlatformId(nt ? kPlatformWin32Nt : kPlatformWin32Windows);
    if (input.ConsumeBool()) {
        // Lead bytes of real double-byte code pages lie above ASCII.
        const auto first = input.ConsumeIntegralInRange<unsigned char>(0x80, 0xFE);
        world.CodePage().AddLeadByteRange(first,
                                          input.ConsumeIntegralInRange<unsigned char>(first, 0xFE));
    }

    const int devices = input.ConsumeIntegralInRange<int>(1, 3);
    for (int i = 0; i < devices; ++i) {
        const SimModel model = AllSimModels()[input.ConsumeIntegralInRange<std::size_t>(0, 2)];
        const std::string printer = MaybeName(input);
        const std::string driver = MaybeName(input);
        world.AddDevice(SimDeviceSetup(model, printer, driver, MaybeName(input)));
    }
    std::vector<PrinterInfo> others;
    const int otherCount = input.ConsumeIntegralInRange<int>(0, 2);
    for (int i = 0; i < otherCount; ++i) {
        PrinterInfo other;
        other.printerName = input.ConsumeRandomLengthString(kLongestName);
        other.driverName = input.ConsumeRandomLengthString(kLongestName);
        other.portName = input.ConsumeRandomLengthString(kLongestName);
        world.AddOtherPrinter(other.printerName, other.driverName, other.portName);
        others.push_back(other);
    }
    const int strays = input.ConsumeIntegralInRange<int>(0, 3);
    for (int i = 0; i < strays; ++i) {
        AddStrayKey(input, world.Registry());
    }

    // Every name on the machine: a port found inside another's keys, or a
    // serial inside any name, lets the walks take the other by their rules.
    std::vector<std::string> names;
    for (const PrinterInfo& printer : world.Spooler().Printers()) {
        names.insert(names.end(), {printer.printerName, printer.driverName, printer.portName});
    }
    bool plainMachine = strays == 0;
    for (const std::string& name : names) {
        plainMachine = plainMachine && Plain(name);
    }

    for (std::size_t i = 0; i < world.DeviceCount(); ++i) {
        const SimInstalledDevice& own = world.Device(i);
        const std::string& port = own.printer.portName;
        bool mistakable = false;
        for (const PrinterInfo& printer : world.Spooler().Printers()) {
            const bool self = AsciiEqualsNoCase(printer.printerName, own.printer.printerName);
            mistakable = mistakable || (self && &printer != &world.Spooler().Printers()[i]) ||
                         Contains(printer.portName, own.serial) ||
                         (!self && Contains(printer.portName, port));
        }
        // Another device's printer node holds more than its port: on 95/98/Me
        // its ids and serial; on NT a prefix of hexadecimal digits and "&".
        for (std::size_t j = 0; j < world.DeviceCount(); ++j) {
            const SimInstalledDevice& other = world.Device(j);
            mistakable = mistakable || (j != i && !nt && Contains(NodeName9x(other), port));
        }
        mistakable =
            mistakable || (nt && port.find_first_not_of("0123456789abcdef&") == std::string::npos);
        // A port with the "&" that joins a node's name can match across
        // another node's prefix or ids. Before the 95/98/Me family's ids: a
        // "VID" in the port, or a port whose last byte swallows the
        // separator as a double-byte character.
        mistakable =
            mistakable || Contains(port, "&") ||
            (!nt && (Contains(port, "VID") ||
                     world.CodePage().IsLeadByte(static_cast<unsigned char>(port.back()))));

        const std::size_t opensBefore = world.DeviceFile().Opens().size();
        {
            CDevicePort device(world.Services());
            const BOOL opened = device.Open(own.printer.printerName);
            FUZZ_CHECK(world.Registry().OpenKeyCount() == 0);
            FUZZ_CHECK(world.DeviceFile().Opens().size() <= opensBefore + 1);
            FUZZ_CHECK(world.DeviceFile().OpenHandleCount() == (opened ? 1u : 0u));
            if (plainMachine && !mistakable) {
                FUZZ_CHECK(opened);
            }
            if (opened && plainMachine) {
                const std::string& path = world.DeviceFile().Opens().back().path;
                const bool ownDevice =
                    AsciiEqualsNoCase(path, nt ? own.devicePath : own.devicePath9x);
                FUZZ_CHECK(ownDevice || mistakable);
            }
        }
        FUZZ_CHECK(world.DeviceFile().OpenHandleCount() == 0);
    }
    FUZZ_CHECK(world.Registry().BadCloses() == 0);
    return 0;
}
