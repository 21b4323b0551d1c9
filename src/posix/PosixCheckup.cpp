#include "posix/PosixCheckup.h"

#include <grp.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include <cups/cups.h>

#include "platform/DeviceBus.h"

namespace marnel {

namespace {

constexpr const char* kDeviceGroup = "lp";
constexpr const char* kGroupFix = "sudo usermod -aG lp $USER, then log in again";
// The package puts the rule in place; a tool installed from a source tree
// copies it from there.
constexpr const char* kRuleFix =
    "sudo apt install --reinstall marnel (from a source tree: sudo install -m 644 "
    "src/posix/60-marnel.rules /etc/udev/rules.d/), then sudo udevadm control --reload-rules "
    "&& sudo udevadm trigger";

std::string DeviceNode(const UsbPrinterDevice& device) {
    char node[32];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03u/%03u", device.busNumber, device.address);
    return node;
}

// "KQ-10 (serial KQ10SN0001) at /dev/bus/usb/001/002"
std::string Describe(const UsbPrinterDevice& device) {
    std::string text = device.model.empty() ? UsbDeviceKeyName(device) : device.model;
    if (!device.serial.empty()) {
        text += " (serial " + device.serial + ")";
    }
    return text + " at " + DeviceNode(device);
}

std::string Joined(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts) {
        text += (text.empty() ? "" : ", ") + part;
    }
    return text;
}

// Why the rule at `path` would not open the maker's devices to group lp;
// empty when it does. udev reads the file named so in the first folder that
// has one, so an empty or unrelated file there counts for nothing.
std::string RuleFault(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        return "it cannot be read: " + std::string(std::strerror(errno));
    }
    bool vendor = false;
    bool group = false;
    for (std::string line; std::getline(in, line);) {
        const std::size_t text = line.find_first_not_of(" \t");
        if (text == std::string::npos || line[text] == '#') {
            continue;
        }
        vendor = vendor || (line.find("idVendor}") != std::string::npos &&
                            line.find('"' + MakerVendorIdHex() + '"') != std::string::npos);
        group = group || line.find("GROUP=\"lp\"") != std::string::npos ||
                line.find("GROUP:=\"lp\"") != std::string::npos;
    }
    if (!vendor && !group) {
        return "it holds no rule for the maker's devices (vendor " + MakerVendorIdHex() +
               ", group lp)";
    }
    return !vendor ? "it names no devices of vendor " + MakerVendorIdHex()
           : !group ? "it gives the devices to no group lp"
                    : std::string();
}

// Why the CUPS server at `server` (a socket's path) cannot be reached, in
// the system's words: the library's own error may be another call's.
std::string SocketFault(const std::string& server) {
    sockaddr_un address{};
    if (server.empty() || server[0] != '/' || server.size() >= sizeof address.sun_path) {
        return std::string();
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, server.c_str(), server.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return std::strerror(errno);
    }
    const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    const int cause = errno;
    close(fd);
    return connected ? std::string() : std::strerror(cause);
}

// In the order of the checks' table in DeviceChecks.
enum class GroupState { kRoot, kMember, kAddedNotLoggedIn, kNotMember, kNoGroup };

// Whether this process may use what group lp may, and why not.
GroupState DeviceGroupState(std::string* user) {
    const passwd* account = getpwuid(geteuid());
    *user = account ? account->pw_name : std::to_string(geteuid());
    if (geteuid() == 0) {
        return GroupState::kRoot;
    }
    const group* lp = getgrnam(kDeviceGroup);
    if (!lp) {
        return GroupState::kNoGroup;
    }
    if (getegid() == lp->gr_gid) {
        return GroupState::kMember;
    }
    const int count = getgroups(0, nullptr);
    std::vector<gid_t> groups(count > 0 ? static_cast<std::size_t>(count) : 0);
    if (count > 0 && getgroups(count, groups.data()) == count) {
        for (gid_t gid : groups) {
            if (gid == lp->gr_gid) {
                return GroupState::kMember;
            }
        }
    }
    // The group database may list the user already: the session is older.
    for (char** member = lp->gr_mem; member && *member; ++member) {
        if (*user == *member) {
            return GroupState::kAddedNotLoggedIn;
        }
    }
    return GroupState::kNotMember;
}

}  // namespace

std::vector<std::string> DefaultUdevRuleFolders() {
    const char* folders = std::getenv(kUdevRuleFoldersVariable);
    if (!folders || !*folders) {
        return {"/etc/udev/rules.d", "/lib/udev/rules.d", "/usr/lib/udev/rules.d"};
    }
    std::vector<std::string> parts;
    std::istringstream list(folders);
    for (std::string folder; std::getline(list, folder, ':');) {
        if (!folder.empty()) {
            parts.push_back(folder);
        }
    }
    return parts;
}

PosixCheckup::PosixCheckup(PrinterLooker look, std::vector<std::string> ruleFolders)
    : m_look(std::move(look)), m_ruleFolders(std::move(ruleFolders)) {}

std::string PosixCheckup::FindRule() const {
    for (const std::string& folder : m_ruleFolders) {
        const std::string path = folder + "/" + kUdevRuleName;
        if (access(path.c_str(), R_OK) == 0) {
            return path;
        }
    }
    return std::string();
}

std::vector<MachineCheck> PosixCheckup::SpoolerChecks() {
    const PrinterLook& look = m_look();
    const std::string server = cupsServer();
    if (!look.cupsOk) {
        const std::string socketFault = SocketFault(server);
        const std::string why = socketFault.empty() ? look.cupsError : socketFault;
        const char* chosen = std::getenv("CUPS_SERVER");
        if (chosen != nullptr && *chosen != '\0') {
            // Starting the local CUPS would not help a server chosen elsewhere.
            return {{"cups", CheckStatus::kFail,
                     "CUPS could not be reached at " + server + ", which CUPS_SERVER names: " + why,
                     "point CUPS_SERVER at a running CUPS server, or unset it to use this "
                     "machine's"}};
        }
        return {{"cups", CheckStatus::kFail, "CUPS could not be reached at " + server + ": " + why,
                 "sudo systemctl start cups"}};
    }
    return {{"cups", CheckStatus::kOk,
             "CUPS answers at " + server + " with " + std::to_string(look.queues.size()) +
                 " queue" + (look.queues.size() == 1 ? "" : "s"),
             ""}};
}

std::vector<MachineCheck> PosixCheckup::DeviceChecks() {
    std::vector<MachineCheck> checks;
    const PrinterLook& look = m_look();
    std::vector<UsbPrinterDevice> devices;
    if (!look.usbOk) {
        checks.push_back({"usb-devices", CheckStatus::kFail,
                          "the USB bus could not be read: " + look.usbError, ""});
    } else {
        for (const UsbPrinterDevice& device : look.devices) {
            if (device.vendorId == kMakerVendorId) {
                devices.push_back(device);
            }
        }
        // The bus lists in no fixed order; the doctor's text is compared.
        std::sort(devices.begin(), devices.end(), [](const auto& a, const auto& b) {
            return a.busNumber != b.busNumber ? a.busNumber < b.busNumber : a.address < b.address;
        });
        std::vector<std::string> names;
        for (const UsbPrinterDevice& device : devices) {
            names.push_back(Describe(device));
        }
        const std::string vendor = MakerVendorIdHex();
        checks.push_back(devices.empty()
                             ? MachineCheck{"usb-devices", CheckStatus::kWarn,
                                            "no device of vendor " + vendor +
                                                " is attached; plug one in and switch it on",
                                            ""}
                             : MachineCheck{"usb-devices", CheckStatus::kOk, Joined(names), ""});
    }

    std::string rule = FindRule();
    const std::string ruleFault = rule.empty() ? std::string() : RuleFault(rule);
    if (rule.empty()) {
        checks.push_back({"udev-rule", CheckStatus::kFail,
                          std::string(kUdevRuleName) + " is in none of " + Joined(m_ruleFolders) +
                              ": device nodes stay root's alone",
                          kRuleFix});
    } else if (!ruleFault.empty()) {
        checks.push_back(
            {"udev-rule", CheckStatus::kFail,
             rule + " is not Marnel's rule: " + ruleFault + "; device nodes stay root's alone",
             kRuleFix});
        rule.clear();  // as good as none, for the fixes below
    } else {
        checks.push_back({"udev-rule", CheckStatus::kOk, "installed: " + rule, ""});
    }

    std::string user;
    const GroupState group = DeviceGroupState(&user);
    // Per group state: the check, and the fix for a device node this user may not open.
    const struct {
        CheckStatus status;
        std::string detail;
        std::string fix;
        std::string accessFix;
    } groupChecks[] = {
        {CheckStatus::kOk, "running as root, which may open every device node", "",
         "sudo udevadm trigger"},
        {CheckStatus::kOk, user + " is in group lp", "", "sudo udevadm trigger"},
        {CheckStatus::kFail, user + " was added to group lp after this session began",
         "log in again", "log in again"},
        {CheckStatus::kFail, user + " is not in group lp", kGroupFix, kGroupFix},
        {CheckStatus::kFail, "this machine has no group lp, which the rule gives the devices to",
         "sudo groupadd -r lp && " + std::string(kGroupFix), kGroupFix},
    };
    const auto& state = groupChecks[static_cast<int>(group)];
    checks.push_back({"lp-group", state.status, state.detail, state.fix});

    for (const UsbPrinterDevice& device : devices) {
        const std::string node = DeviceNode(device);
        if (access(node.c_str(), R_OK | W_OK) == 0) {
            checks.push_back(
                {"device-access", CheckStatus::kOk, "this user may read and write " + node, ""});
        } else {
            const std::string cause = std::strerror(errno);
            checks.push_back({"device-access", CheckStatus::kFail,
                              "this user may not read and write " + node + ": " + cause,
                              rule.empty() ? kRuleFix : state.accessFix});
        }
        const std::string held =
            device.kernelDriver == 1   ? "the kernel printer driver (usblp) holds"
            : device.kernelDriver == 0 ? "no kernel driver holds"
                                       : "it could not be asked which driver holds";
        checks.push_back({"usblp", CheckStatus::kInfo,
                          held + " interface " + std::to_string(device.interfaceNumber) + " of " +
                              Describe(device) +
                              (device.kernelDriver == 1
                                   ? "; marnel detaches it for each request and gives it back"
                                   : ""),
                          ""});
    }
    return checks;
}

std::vector<MachineCheck> PosixCheckup::QueueChecks() {
    const PrinterLook& look = m_look();
    if (!look.cupsOk) {
        return {{"usb-queues", CheckStatus::kInfo, "CUPS could not be asked for its queues", ""}};
    }
    std::vector<MachineCheck> checks;
    for (const UsbMatchedPrinter& printer : look.match.printers) {
        if (printer.queue < 0 || !printer.usb) {
            continue;
        }
        const std::string queue = printer.info.printerName + " (" + printer.info.portName + ")";
        if (!look.usbOk) {
            checks.push_back({"usb-queues", CheckStatus::kInfo,
                              queue + ": the USB bus could not be read to match it", ""});
        } else if (printer.device >= 0) {
            checks.push_back({"usb-queues", CheckStatus::kOk,
                              queue + " leads to " +
                                  Describe(look.devices[static_cast<std::size_t>(printer.device)]),
                              ""});
        } else {
            checks.push_back(
                {"usb-queues", CheckStatus::kWarn,
                 queue + (printer.leftOut.empty() ? ": no attached device matches; plug it in, or "
                                                    "delete the queue if it is stale"
                                                  : ": " + printer.leftOut),
                 ""});
        }
    }
    if (checks.empty()) {
        checks.push_back(
            {"usb-queues", CheckStatus::kInfo, "no CUPS queue names a USB device", ""});
    }
    return checks;
}

}  // namespace marnel
