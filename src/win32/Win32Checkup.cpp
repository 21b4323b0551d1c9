#include "win32/Win32Checkup.h"

#include "platform/AsciiCase.h"
#include "platform/DeviceBus.h"
#include "platform/RegistryLayout.h"
#include "win32/WindowsApi.h"

namespace marnel {

namespace {

constexpr char kStartSpooler[] =
    "Start it as an administrator: net start spooler (and set it to start automatically: "
    "sc config spooler start= auto)";

std::string StateName(::DWORD state) {
    switch (state) {
        case SERVICE_STOPPED:
            return "stopped";
        case SERVICE_START_PENDING:
            return "starting";
        case SERVICE_STOP_PENDING:
            return "stopping";
        case SERVICE_PAUSED:
            return "paused";
        default:
            return "in state " + std::to_string(state);
    }
}

}  // namespace

std::vector<MachineCheck> Win32Checkup::SpoolerChecks() {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (manager == nullptr) {
        return {{"spooler", CheckStatus::kWarn,
                 "the service control manager cannot be asked (error " +
                     std::to_string(GetLastError()) + ")",
                 ""}};
    }
    SC_HANDLE service = OpenServiceA(manager, "Spooler", SERVICE_QUERY_STATUS);
    MachineCheck check{"spooler", CheckStatus::kOk, "the Print Spooler service is running", ""};
    SERVICE_STATUS status{};
    if (service == nullptr) {
        check = {"spooler", CheckStatus::kFail, "the Print Spooler service is not installed",
                 "Repair Windows' printing (Settings, Optional features, Print Management) or "
                 "ask your administrator"};
    } else if (!QueryServiceStatus(service, &status)) {
        check = {"spooler", CheckStatus::kWarn,
                 "the Print Spooler service's state cannot be read (error " +
                     std::to_string(GetLastError()) + ")",
                 ""};
    } else if (status.dwCurrentState != SERVICE_RUNNING) {
        check = {"spooler", CheckStatus::kFail,
                 "the Print Spooler service is " + StateName(status.dwCurrentState), kStartSpooler};
    }
    if (service != nullptr) {
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return {check};
}

std::vector<MachineCheck> Win32Checkup::DeviceChecks() {
    RegKey usb = nullptr;
    if (!m_registry.OpenKey(kLocalMachine, kUsbKeyNt, &usb)) {
        return {{"devices", CheckStatus::kWarn, "the USB device nodes cannot be read", ""}};
    }
    // Windows names the maker's device nodes vid_1a2b&pid_....
    const std::string prefix = "vid_" + MakerVendorIdHex() + "&";
    std::vector<std::string> models;
    std::string name;
    DWORD error = 0;
    for (DWORD index = 0; m_registry.EnumKey(usb, index, &name, &error) == RegEnumStatus::kOk;
         ++index) {
        if (AsciiLowered(name).compare(0, prefix.size(), prefix) == 0) {
            models.push_back(name);
        }
    }
    m_registry.CloseKey(usb);
    if (models.empty()) {
        return {{"devices", CheckStatus::kWarn, "Windows has no Zarvel USB device installed",
                 "Attach the device and switch it on; Windows installs it as a printer (Device "
                 "Manager, Printers)"}};
    }
    std::vector<MachineCheck> checks;
    for (const std::string& model : models) {
        checks.push_back({"devices", CheckStatus::kOk, "Windows knows the device " + model, ""});
    }
    return checks;
}

}  // namespace marnel
