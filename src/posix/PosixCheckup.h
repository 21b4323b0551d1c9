// The machine checks of a Linux machine: CUPS, the maker's devices on the
// USB bus, the udev rule that opens them to group lp, this user's access to
// each device node and membership of lp, the kernel printer driver, and the
// usb:// queues matched to attached devices.
#pragma once

#include <string>
#include <vector>

#include "platform/MachineCheckup.h"
#include "posix/PrinterLook.h"

namespace marnel {

// The rule's file name and the folders udev reads rules from.
constexpr const char* kUdevRuleName = "60-marnel.rules";
// Overrides the folders, separated by ':'; meant for tests.
constexpr const char* kUdevRuleFoldersVariable = "MARNEL_UDEV_RULES_DIRS";
std::vector<std::string> DefaultUdevRuleFolders();

class PosixCheckup : public IMachineCheckup {
public:
    PosixCheckup(PrinterLooker look, std::vector<std::string> ruleFolders);

    std::vector<MachineCheck> SpoolerChecks() override;
    std::vector<MachineCheck> DeviceChecks() override;
    std::vector<MachineCheck> QueueChecks() override;

private:
    // The rule's path in the first folder that has it; empty when none does.
    std::string FindRule() const;

    PrinterLooker m_look;
    std::vector<std::string> m_ruleFolders;
};

}  // namespace marnel
