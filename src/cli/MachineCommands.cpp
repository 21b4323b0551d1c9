// The commands that describe the machine rather than change a device:
// `list` (every printer, its verdict, each device's serial and mode) and
// `doctor` (the set-up, one check a line).
#include <ostream>

#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/StateCommands.h"
#include "cli/Trace.h"
#include "ops/DeviceProbe.h"
#include "ops/Doctor.h"
#include "ops/PrinterSelection.h"
#include "res/StringTable.h"

namespace marnel::cli {

namespace {

const char* VerdictName(PrinterVerdict verdict) {
    static const char* const kNames[] = {"qualifies", "offline", "not a Zarvel device"};
    static_assert(sizeof kNames / sizeof *kNames == 1 + static_cast<int>(PrinterVerdict::kNotDevice),
                  "one name per verdict");
    return kNames[static_cast<int>(verdict)];
}

// "update (VERSION UP)", "not answering (no attached USB printer matches ...)".
std::string ModeText(const DeviceProbe& probe) {
    std::string text = DeviceModeName(probe.mode);
    if (probe.mode == DeviceMode::kUpdate) {
        text += " (VERSION UP)";
    } else if (probe.mode == DeviceMode::kNotAnswering && !probe.detail.empty()) {
        text += " (" + probe.detail + ")";
    }
    return text;
}

nlohmann::json DescribePrinter(const SelectionCandidate& candidate, bool selected,
                               const DeviceProbe* probe) {
    const PrinterInfo& record = candidate.info;
    nlohmann::json printer{{"name", record.printerName},
                           {"driver", record.driverName},
                           {"port", record.portName},
                           {"offline", (record.attributes & kPrinterAttributeWorkOffline) != 0},
                           {"device", candidate.verdict == PrinterVerdict::kQualifies},
                           {"selected", selected},
                           {"verdict", VerdictName(candidate.verdict)}};
    if (candidate.verdict == PrinterVerdict::kOffline) {
        printer["offlineReason"] = candidate.offline.reason;
        printer["fix"] = candidate.offline.fix;
    }
    if (probe) {
        printer["serial"] = probe->serial;
        printer["mode"] = DeviceModeName(probe->mode);
        if (!probe->detail.empty()) {
            printer["modeDetail"] = probe->detail;
        }
    }
    return printer;
}

// Every text a device, a queue or the system gave is one line, escaped: a
// line feed in a serial must not start a line of its own.
void PrintPrinter(std::ostream& out, const SelectionCandidate& candidate, bool selected,
                  const DeviceProbe* probe) {
    const PrinterInfo& record = candidate.info;
    const bool offline = (record.attributes & kPrinterAttributeWorkOffline) != 0;
    out << (selected ? "* " : "  ") << PrintableLine(record.printerName)
        << "\n    driver: " << PrintableLine(record.driverName)
        << "\n    port:   " << PrintableLine(record.portName)
        << "\n    state:  " << (offline ? "offline" : "online");
    if (candidate.verdict == PrinterVerdict::kNotDevice) {
        out << " (not a Zarvel device)\n";
        return;
    }
    if (!candidate.offline.reason.empty()) {
        out << ": " << PrintableLine(candidate.offline.reason);
    }
    out << '\n';
    if (!candidate.offline.fix.empty()) {
        out << "    fix:    " << PrintableLine(candidate.offline.fix) << '\n';
    }
    if (probe) {
        out << "    serial: " << (probe->serial.empty() ? "unknown" : PrintableLine(probe->serial))
            << '\n'
            << "    mode:   " << PrintableLine(ModeText(*probe)) << '\n';
    }
}

}  // namespace

int DeviceCommands::List() {
    const PlatformServices& services = m_world.Services();
    const DeviceSelection selection = SelectDevicePrinter(services.spooler, services.codePage);
    const RequestObserver tracer = m_options.trace ? MakeHexTracer(m_console.err) : nullptr;
    nlohmann::json printers = nlohmann::json::array();
    bool marked = false;  // the chosen one is the first that qualifies
    for (const SelectionCandidate& candidate : selection.printers) {
        const bool selected = candidate.verdict == PrinterVerdict::kQualifies && !marked;
        marked = marked || selected;
        DeviceProbe probe;
        const bool device = candidate.verdict != PrinterVerdict::kNotDevice;
        if (device) {
            probe = ProbeDevice(services, candidate.info.printerName, tracer);
        }
        printers.push_back(DescribePrinter(candidate, selected, device ? &probe : nullptr));
        if (!m_console.json) {
            PrintPrinter(m_console.out, candidate, selected, device ? &probe : nullptr);
        }
    }
    nlohmann::json sources = nlohmann::json::array();
    for (const PrinterSource& source : selection.sources) {
        nlohmann::json entry{{"name", source.name}, {"ok", source.ok}};
        if (!source.ok) {
            entry["reason"] = source.reason;
            if (!m_console.json) {
                m_console.err << "marnel: " << PrintableLine(source.failure)
                              << (source.reason.empty() ? "" : ": " + PrintableLine(source.reason))
                              << '\n';
            }
        }
        sources.push_back(entry);
    }
    const bool complete = !selection.SourceFailed();
    if (m_console.json) {
        nlohmann::json result{{"ok", complete}, {"printers", printers}};
        if (!sources.empty()) {
            result["sources"] = sources;
        }
        m_console.Result(result);
    } else if (printers.empty()) {
        m_console.out << "No printers on " << m_world.Description() << ".\n";
    } else if (selection.chosen.empty()) {
        m_console.out << LoadString(IDS_NO_DEVICE) << '\n';
    }
    return complete ? kExitSuccess : kExitIncomplete;
}

int DeviceCommands::Doctor() {
    std::vector<MachineCheck> checks = RunDoctor(m_world.Services(), m_world.Checkup());
    checks.push_back(StateFolderCheck(m_files, m_environment));
    const bool healthy = Healthy(checks);
    if (m_console.json) {
        nlohmann::json list = nlohmann::json::array();
        for (const MachineCheck& check : checks) {
            list.push_back({{"name", check.name},
                            {"status", CheckStatusName(check.status)},
                            {"detail", check.detail},
                            {"fix", check.fix}});
        }
        m_console.Result({{"ok", healthy}, {"checks", list}});
    } else {
        for (const MachineCheck& check : checks) {
            const std::string status = CheckStatusName(check.status);
            // A check's text holds device strings: one line each, escaped.
            m_console.out << status << std::string(5 - status.size(), ' ')
                          << PrintableLine(check.name) << ": " << PrintableLine(check.detail)
                          << '\n';
            if (!check.fix.empty()) {
                m_console.out << "     fix: " << PrintableLine(check.fix) << '\n';
            }
        }
    }
    return healthy ? kExitSuccess : kExitIncomplete;
}

}  // namespace marnel::cli
