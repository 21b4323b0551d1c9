#include "sim/SimCheckup.h"

#include "sim/SimWorld.h"

namespace marnel {

namespace {

MachineCheck DoesNotApply(const char* name) {
    return {name, CheckStatus::kInfo, "does not apply to the simulated machine", ""};
}

}  // namespace

std::vector<MachineCheck> SimCheckup::SpoolerChecks() {
    return {{"spooler", CheckStatus::kOk, "the simulated spooler answers", ""}};
}

std::vector<MachineCheck> SimCheckup::DeviceChecks() {
    std::string plugged;
    for (std::size_t i = 0; i < m_world.DeviceCount(); ++i) {
        const SimInstalledDevice& installed = m_world.Device(i);
        if (installed.plugged) {
            plugged += (plugged.empty() ? "" : ", ") + installed.printer.printerName + " (serial " +
                       installed.serial + ")";
        }
    }
    return {plugged.empty() ? MachineCheck{"usb-devices", CheckStatus::kWarn,
                                           "no simulated device is plugged in", ""}
                            : MachineCheck{"usb-devices", CheckStatus::kOk, plugged, ""},
            DoesNotApply("udev-rule"), DoesNotApply("lp-group"), DoesNotApply("device-access"),
            DoesNotApply("usblp")};
}

std::vector<MachineCheck> SimCheckup::QueueChecks() {
    return {DoesNotApply("usb-queues")};
}

}  // namespace marnel
