// The machine checks of the simulated machine: its spooler always answers
// and its devices are plugged in or not; the checks of a real machine's
// set-up (device rules, permissions, kernel drivers) do not apply and say so.
#pragma once

#include "platform/MachineCheckup.h"

namespace marnel {

class SimWorld;

class SimCheckup : public IMachineCheckup {
public:
    explicit SimCheckup(SimWorld& world) : m_world(world) {}

    std::vector<MachineCheck> SpoolerChecks() override;
    std::vector<MachineCheck> DeviceChecks() override;
    std::vector<MachineCheck> QueueChecks() override;

private:
    SimWorld& m_world;
};

}  // namespace marnel
