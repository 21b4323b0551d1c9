// What a Windows machine adds to the support bundle: the system's version,
// the spooler's printers with their drivers and ports, and the registry's
// device nodes that the walks from a printer to its unit read.
#include <cstdio>

#include "cli/SupportBundle.h"
#include "platform/AsciiCase.h"
#include "platform/DeviceBus.h"
#include "platform/RegistryLayout.h"
#include "win32/Win32Platform.h"
#include "win32/WindowsApi.h"

namespace marnel::cli {

namespace {

// The version the system reports of itself, whatever the program's manifest
// claims (GetVersionEx answers to the manifest).
std::string WindowsVersion() {
    using RtlGetVersionCall = LONG(WINAPI*)(OSVERSIONINFOW*);
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    const auto call = ntdll == nullptr
                          ? nullptr
                          : reinterpret_cast<RtlGetVersionCall>(
                                reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (call == nullptr || call(&version) != 0) {
        return "Windows, version unknown\n";
    }
    char line[96];
    std::snprintf(line, sizeof line, "Windows %lu.%lu build %lu\n", version.dwMajorVersion,
                  version.dwMinorVersion, version.dwBuildNumber);
    return line;
}

std::string Printers(ISpooler& spooler) {
    const PrinterList list = spooler.EnumLocalPrinters();
    if (list.status != SpoolerQueryStatus::kOk) {
        return "The spooler's printers could not be listed: " + spooler.LastError() + "\n";
    }
    std::string text = "Printers (name | driver | port):\n";
    for (const PrinterInfo& printer : list.printers) {
        text += "  " + printer.printerName + " | " + printer.driverName + " | " + printer.portName +
                "\n";
    }
    return list.printers.empty() ? text + "  (none)\n" : text;
}

// The nodes two levels below HKLM\`root` (device\instance) whose device
// name begins with `prefix` (lower case; empty for all), with the values
// named in `values` where a node has them.
std::string DeviceNodes(IRegistry& registry, const std::string& root, const std::string& prefix,
                        const std::vector<std::string>& values) {
    std::string text = "HKLM\\" + root + ":\n";
    RegKey top = nullptr;
    if (!registry.OpenKey(kLocalMachine, root, &top)) {
        return text + "  (cannot be read)\n";
    }
    std::size_t shown = 0;
    std::string device;
    DWORD error = 0;
    for (DWORD i = 0; registry.EnumKey(top, i, &device, &error) == RegEnumStatus::kOk; ++i) {
        RegKey node = nullptr;
        if (AsciiLowered(device).compare(0, prefix.size(), prefix) != 0 ||
            !registry.OpenKey(top, device, &node)) {
            continue;
        }
        std::string instance;
        for (DWORD j = 0; registry.EnumKey(node, j, &instance, &error) == RegEnumStatus::kOk; ++j) {
            text += "  " + device + "\\" + instance;
            RegKey leaf = nullptr;
            if (registry.OpenKey(node, instance, &leaf)) {
                for (const std::string& value : values) {
                    std::string bytes;
                    if (registry.QueryValue(leaf, value, &bytes)) {
                        text += "  " + value + "=" + bytes.substr(0, bytes.find('\0'));
                    }
                }
                registry.CloseKey(leaf);
            }
            text += "\n";
            ++shown;
        }
        registry.CloseKey(node);
    }
    registry.CloseKey(top);
    return shown == 0 ? text + "  (none)\n" : text;
}

}  // namespace

SystemFacts GatherSystemFacts() {
    Win32Platform machine;
    return {"windows.txt", "the Windows version, printers and USB device nodes",
            WindowsVersion() + "\n" + Printers(machine.Spooler()) + "\nDevices of vendor " +
                MakerVendorIdHex() + ", " +
                DeviceNodes(machine.Registry(), kUsbKeyNt, "vid_" + MakerVendorIdHex() + "&",
                            {"ParentIdPrefix"}) +
                "\nUSB printer nodes, " + DeviceNodes(machine.Registry(), kUsbPrintKeyNt, "", {})};
}

}  // namespace marnel::cli
