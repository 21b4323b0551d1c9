#include "cli/ConsoleFirmwareObserver.h"

#include <istream>
#include <ostream>

#include "cli/SignalHold.h"
#include "platform/Clock.h"
#include "res/StringTable.h"

namespace marnel::cli {

CConsoleFirmwareObserver::CConsoleFirmwareObserver(const Console& console, DeviceWorld& world,
                                                   const DeviceCommands::FirmwareOptions& options,
                                                   const std::string& printer)
    : m_console(console),
      m_world(world),
      m_options(options),
      m_printer(printer),
      m_say(console.json ? console.err : console.out) {}

bool CConsoleFirmwareObserver::UpdateModeNeeded(int attempt) {
    // The prompt's first sentence is the system's own; the second is the console's.
    const std::string prompt = LoadString(IDS_VERSION_UP);
    const std::string restart = prompt.substr(0, prompt.find('\n'));
    IClock& clock = m_world.Services().clock;
    if (attempt == 0) {
        // Flushed: under --yes nothing else is printed until the device
        // has restarted, which it does only once someone reads this.
        m_say << restart << std::endl;
        m_world.OnVersionUpPrompt(m_printer);
        m_deadline = clock.NowMs() + m_options.timeoutSeconds * 1000ull;
    }
    if (m_options.yes) {
        if (attempt == 0) {
            return true;
        }
        if (clock.NowMs() >= m_deadline) {
            m_console.Failure("The device did not leave service mode within " +
                              Counted(m_options.timeoutSeconds, "second") +
                              "; nothing was sent.");
            return false;
        }
        clock.Sleep(1000);
        return true;
    }
    if (attempt > 0) {
        m_say << "The device is not in VERSION UP mode yet. " << restart << '\n';
    }
    m_say << "Press Enter when the device is ready to receive (" << SignalHold::EndOfInputKeys()
          << " cancels)." << std::endl;
    std::string line;
    if (!std::getline(m_console.in, line)) {
        m_console.Failure("Firmware upgrade cancelled; nothing was sent.");
        return false;
    }
    return true;
}

void CConsoleFirmwareObserver::Progress(std::uint64_t sent, std::uint64_t total) {
    if (m_console.json) {
        m_console.Progress({{"progress", sent}, {"total", total}});
    } else if (m_console.outIsTerminal) {
        const int width = 40;
        const int filled = static_cast<int>(sent * width / total);
        m_console.out << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
                      << std::string(static_cast<std::size_t>(width - filled), ' ') << "] "
                      << (sent * 100 / total) << "%" << std::flush;
        m_barShown = true;
    }
}

void CConsoleFirmwareObserver::Sent(std::uint64_t bytes) {
    EndBar();
    if (!m_console.json) {
        m_console.out << "Firmware sent to " << m_printer << " (" << Counted(bytes, "byte")
                      << ").\n";
    }
}

void CConsoleFirmwareObserver::ServiceModeNeeded() {
    m_say << "Restart the device in its service mode; it is checked once it answers (Ctrl+C "
             "skips the check)."
          << std::endl;
    m_world.OnServiceModePrompt(m_printer);
}

void CConsoleFirmwareObserver::BaselineUnreadable() {
    m_console.Warning("the device's version and parameters could not be read before the "
                      "upgrade, so they cannot be compared afterwards");
}

void CConsoleFirmwareObserver::EndBar() {
    if (m_barShown) {
        m_console.out << '\n';
        m_barShown = false;
    }
}

}  // namespace marnel::cli
