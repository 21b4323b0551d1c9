// The commands that report every unit at once for the tools that watch a
// fleet: `inventory` (text or JSON) and `metrics` (a file for a monitoring
// system's textfile collector). Both read each unit once through the unit
// survey and never write to a unit.
#include <algorithm>
#include <cstdio>
#include <ostream>

#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/MetricsText.h"
#include "cli/StateCommands.h"
#include "cli/ToolVersion.h"
#include "cli/Trace.h"
#include "cli/UnitRecord.h"
#include "device/AnsiText.h"
#include "files/File.h"
#include "ops/History.h"
#include "ops/StateFolder.h"
#include "platform/Clock.h"
#include "platform/Environment.h"

namespace marnel::cli {

namespace {

constexpr const char* kMetricsFile = "marnel.prom";

// The last entry that names `unit`: by its serial when it has one (letter
// case ignored, as the system may change it), else by its printer among the
// entries that name no serial (one that does was made on another unit). A
// simulated unit's changes never stand for a real one's.
nlohmann::json LastChangeOf(const std::vector<nlohmann::json>& entries, const SurveyedUnit& unit,
                            bool simulated, const ICodePage& codePage) {
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        const std::string serial = it->value("serial", std::string());
        const bool same =
            unit.serial.empty()
                ? serial.empty() &&
                      AnsiEqualsNoCase(codePage, unit.printer, it->value("printer", std::string()))
                : AnsiEqualsNoCase(codePage, unit.serial, serial);
        if (same && it->value("simulated", false) == simulated) {
            return *it;
        }
    }
    return nullptr;
}

nlohmann::json TextOrNull(const std::string& text) {
    return text.empty() ? nlohmann::json(nullptr) : nlohmann::json(text);
}

// "compliant", "drift", "not in profile", "not read": the table's word for a judged unit.
std::string ComplianceWord(const UnitCompliance& unit) {
    if (!unit.error.empty()) {
        return "not read";
    }
    if (!unit.covered) {
        return "not in profile";
    }
    return unit.compliant ? "compliant" : "drift";
}

nlohmann::json UnitRecord(const SurveyedUnit& unit, const nlohmann::json& lastChange) {
    nlohmann::json record{{"printer", unit.printer},
                          {"model", unit.model},
                          {"serial", unit.serial},
                          {"location", unit.location},
                          {"mode", DeviceModeName(unit.mode)},
                          {"firmware", TextOrNull(unit.firmware)},
                          {"parametersSha256", TextOrNull(unit.blockSha256)},
                          {"lastChange", lastChange}};
    if (!unit.error.empty()) {
        record["error"] = unit.error;
    }
    return record;
}

// "2026-12-07T12:00:00Z put-params succeeded", or "-".
std::string ChangeText(const nlohmann::json& entry) {
    if (entry.is_null()) {
        return "-";
    }
    return entry.value("time", std::string()) + " " + entry.value("operation", std::string()) +
           " " + entry.value("outcome", std::string());
}

// The units as a table, one line each, columns as wide as their widest
// cell; why a unit could not be read follows the table.
void PrintTable(std::ostream& out, const std::vector<SurveyedUnit>& units,
                const std::vector<nlohmann::json>& lastChanges,
                const std::vector<UnitCompliance>& compliance) {
    const bool judged = !compliance.empty();
    std::vector<std::vector<std::string>> rows{
        {"PRINTER", "SERIAL", "MODEL", "MODE", "FIRMWARE", "PARAMETERS", "LAST CHANGE"}};
    if (judged) {
        rows[0].push_back("PROFILE");
    }
    for (std::size_t i = 0; i < units.size(); ++i) {
        const SurveyedUnit& unit = units[i];
        auto cell = [](const std::string& text) {
            return text.empty() ? std::string("-") : PrintableLine(text);
        };
        // A digest's first twelve digits tell blocks apart at a glance.
        rows.push_back({cell(unit.printer), cell(unit.serial), cell(unit.model),
                        DeviceModeName(unit.mode), cell(unit.firmware),
                        cell(unit.blockSha256.substr(0, 12)),
                        PrintableLine(ChangeText(lastChanges[i]))});
        if (judged) {
            rows.back().push_back(ComplianceWord(compliance[i]));
        }
    }
    std::vector<std::size_t> widths(rows[0].size(), 0);
    for (const auto& row : rows) {
        for (std::size_t column = 0; column < row.size(); ++column) {
            widths[column] = std::max(widths[column], row[column].size());
        }
    }
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t column = 0; column < row.size(); ++column) {
            line += row[column];
            line += std::string(widths[column] - row[column].size() + 2, ' ');
        }
        line.erase(line.find_last_not_of(' ') + 1);
        out << line << '\n';
    }
    for (const SurveyedUnit& unit : units) {
        if (!unit.error.empty()) {
            out << PrintableLine(unit.printer) << ": " << PrintableLine(unit.error) << '\n';
        }
    }
}

}  // namespace

bool DeviceCommands::ReadUnits(const std::string& profilePath, UnitsRead* read) {
    // The profile first: a bad one is refused before any unit is opened.
    Profile profile;
    if (!profilePath.empty() && !LoadProfileOrSay(profilePath, &profile)) {
        return false;
    }
    const PlatformServices& services = m_world.Services();
    CDeviceAccess access = MakeAccess();
    read->survey = SurveyAndWarn(access);
    const std::vector<nlohmann::json> history = HistoryForReport(m_console, m_files, m_environment);
    for (const SurveyedUnit& unit : read->survey.units) {
        read->lastChanges.push_back(
            LastChangeOf(history, unit, m_options.simulateModel.has_value(), services.codePage));
        if (!profilePath.empty()) {
            read->compliance.push_back(CompareUnit(unit, profile));
        }
    }
    return true;
}

int DeviceCommands::Inventory(const std::string& profilePath) {
    const std::string time = UtcTimestamp(m_environment.UtcSeconds(), false);
    UnitsRead read;
    if (!ReadUnits(profilePath, &read)) {
        return kExitUsage;
    }
    const std::string host = m_environment.HostName();
    const int status = read.survey.incomplete ? kExitIncomplete : kExitSuccess;
    if (m_console.json) {
        nlohmann::json units = nlohmann::json::array();
        for (std::size_t i = 0; i < read.survey.units.size(); ++i) {
            units.push_back(UnitRecord(read.survey.units[i], read.lastChanges[i]));
            if (!read.compliance.empty()) {
                units.back()["compliance"] = UnitRecordJson(read.compliance[i]);
            }
        }
        m_console.Result({{"schema", 1},
                          {"host", host},
                          {"tool", {{"name", kToolName}, {"version", kToolVersion}}},
                          {"time", time},
                          {"units", units}});
        return status;
    }
    m_console.out << "Host: " << PrintableLine(host) << "\nTool: " << kToolName << ' '
                  << kToolVersion << "\nTime: " << time << "\n\n";
    if (read.survey.units.empty()) {
        m_console.out << "No units found.\n";
        return status;
    }
    PrintTable(m_console.out, read.survey.units, read.lastChanges, read.compliance);
    return status;
}

int DeviceCommands::Metrics(const std::string& folder, const std::string& profilePath) {
    IClock& clock = m_world.Services().clock;
    const std::uint64_t started = clock.NowMs();
    RunMetrics run;
    run.timestamp = m_environment.UtcSeconds();
    run.profiled = !profilePath.empty();
    UnitsRead read;
    if (!ReadUnits(profilePath, &read)) {
        return kExitUsage;
    }
    run.durationSeconds = static_cast<double>(clock.NowMs() - started) / 1000.0;
    // Labels are UTF-8: the system's own text is turned into it first.
    auto utf8 = [this](const std::string& text) {
        return m_console.narrowToUtf8 && !IsUtf8(text) ? m_console.narrowToUtf8(text) : text;
    };
    std::size_t up = 0;
    for (std::size_t i = 0; i < read.survey.units.size(); ++i) {
        const SurveyedUnit& unit = read.survey.units[i];
        const nlohmann::json& change = read.lastChanges[i];
        UnitMetrics metrics{utf8(unit.printer),  utf8(unit.serial), utf8(unit.model),
                            utf8(unit.firmware), unit.Read(),       std::nullopt,
                            std::nullopt};
        if (!change.is_null()) {
            metrics.lastChange = ParseUtcTimestamp(change.value("time", std::string()));
        }
        if (run.profiled && (read.compliance[i].covered || !read.compliance[i].error.empty())) {
            metrics.compliant = !read.compliance[i].Drifted();
        }
        up += metrics.up ? 1 : 0;
        run.units.push_back(metrics);
    }
    const char separator = m_environment.PathSeparator();
    const bool ended = !folder.empty() && (folder.back() == separator || folder.back() == '/');
    const std::string path = folder + (ended ? "" : std::string(1, separator)) + kMetricsFile;
    const std::string text = MetricsText(run);
    try {
        SaveFileReplacing(m_files, path, text.data(), static_cast<DWORD>(text.size()));
    } catch (const CFileException& error) {
        m_console.FileFailure(error);
        return kExitUsage;
    }
    m_console.Result({{"file", path}, {"units", run.units.size()}, {"up", up}});
    if (!m_console.json) {
        m_console.out << "Wrote " << PrintableLine(path) << ": "
                      << Counted(run.units.size(), "unit") << ", " << up << " up.\n";
    }
    return read.survey.incomplete ? kExitIncomplete : kExitSuccess;
}

}  // namespace marnel::cli
