// The doctor: every check of a machine's set-up in a fixed order, so that
// its output can be read by people and compared by scripts. The back end's
// checks come from its IMachineCheckup; the printers' state and each
// device's answer are asked here, through the spooler and the port.
#pragma once

#include <vector>

#include "platform/MachineCheckup.h"
#include "platform/Services.h"

namespace marnel {

// "ok", "info", "warn", "fail".
const char* CheckStatusName(CheckStatus status);

// The print system, the maker's printers and their state, the devices and
// what lets this user open them, each device's identity and mode, and the
// queues matched to devices. A null checkup adds only the core's checks.
std::vector<MachineCheck> RunDoctor(const PlatformServices& services, IMachineCheckup* checkup);

// True when no check failed.
bool Healthy(const std::vector<MachineCheck>& checks);

}  // namespace marnel
