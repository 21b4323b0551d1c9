// The checks of a machine's set-up that only its back end can make: can the
// print system be reached, are the maker's devices on the bus, may this user
// open them, and does every queue lead to a device that is there. Each
// check is a fact with its verdict and the exact command that fixes it; the
// core adds what it asks through the spooler and the port, and the front
// end prints them in order.
#pragma once

#include <string>
#include <vector>

namespace marnel {

enum class CheckStatus {
    kOk,
    kInfo,  // information, not a fault (or a check that does not apply here)
    kWarn,
    kFail,
};

struct MachineCheck {
    std::string name;  // "cups", "udev-rule", ... stable: scripts read it
    CheckStatus status = CheckStatus::kOk;
    std::string detail;  // one line: what was found
    std::string fix;     // the exact command to run; empty when there is none
};

class IMachineCheckup {
public:
    virtual ~IMachineCheckup() = default;

    // Can the print system be asked for its printers.
    virtual std::vector<MachineCheck> SpoolerChecks() = 0;

    // The maker's devices on the bus, and what lets this user open each: the
    // device rule, the node's permissions, group membership, and which
    // kernel driver holds the printer interface.
    virtual std::vector<MachineCheck> DeviceChecks() = 0;

    // Every queue that names a USB device, matched to a device on the bus.
    virtual std::vector<MachineCheck> QueueChecks() = 0;
};

}  // namespace marnel
