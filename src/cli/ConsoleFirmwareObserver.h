// The technician's side of an upgrade on the console: Enter (or --yes
// polling) for the update mode, a bar or JSON lines for the job. Shared by
// the firmware command and apply.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "cli/Commands.h"
#include "ops/FirmwareUpgrade.h"

namespace marnel::cli {

class CConsoleFirmwareObserver : public IFirmwareObserver {
public:
    CConsoleFirmwareObserver(const Console& console, DeviceWorld& world,
                             const DeviceCommands::FirmwareOptions& options,
                             const std::string& printer);

    bool UpdateModeNeeded(int attempt) override;
    void Progress(std::uint64_t sent, std::uint64_t total) override;
    void Sent(std::uint64_t bytes) override;
    void ServiceModeNeeded() override;
    void BaselineUnreadable() override;

    // A bar cut short by a failure still ends its line.
    void EndBar();

private:
    const Console& m_console;
    DeviceWorld& m_world;
    const DeviceCommands::FirmwareOptions m_options;
    const std::string m_printer;
    std::ostream& m_say;
    std::uint64_t m_deadline = 0;
    bool m_barShown = false;
};

}  // namespace marnel::cli
