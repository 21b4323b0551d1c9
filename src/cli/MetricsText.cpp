#include "cli/MetricsText.h"

#include <cstdio>
#include <functional>

#include "ops/History.h"

namespace marnel::cli {

namespace {

// One family: its HELP and TYPE, then a sample per unit that has one.
void Family(std::string& text, const char* name, const char* help,
            const std::vector<UnitMetrics>& units,
            const std::function<std::optional<std::string>(const UnitMetrics&)>& sample) {
    text += std::string("# HELP ") + name + ' ' + help + "\n# TYPE " + name + " gauge\n";
    for (const UnitMetrics& unit : units) {
        if (const std::optional<std::string> line = sample(unit)) {
            text += name + *line + '\n';
        }
    }
}

std::string Labels(const UnitMetrics& unit, bool described) {
    std::string labels =
        "{printer=\"" + LabelValue(unit.printer) + "\",serial=\"" + LabelValue(unit.serial) + '"';
    if (described) {
        labels += ",model=\"" + LabelValue(unit.model) + "\",firmware=\"" +
                  LabelValue(unit.firmware) + '"';
    }
    return labels + "} ";
}

}  // namespace

std::string LabelValue(const std::string& text) {
    std::string value;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8SequenceAt(text, i);
        if (length == 0) {
            value += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        const char c = text[i];
        if (c == '\\' || c == '"') {
            value += '\\';
            value += c;
        } else if (c == '\n') {
            value += "\\n";
        } else {
            value.append(text, i, length);
        }
        i += length;
    }
    return value;
}

std::string MetricsText(const RunMetrics& run) {
    std::string text;
    Family(text, "marnel_unit_info", "The unit's model and firmware version, as labels.", run.units,
           [](const UnitMetrics& unit) { return Labels(unit, true) + "1"; });
    Family(text, "marnel_unit_up",
           "1 when the unit answered in service mode and was read whole, else 0.", run.units,
           [](const UnitMetrics& unit) { return Labels(unit, false) + (unit.up ? "1" : "0"); });
    Family(text, "marnel_unit_last_change_timestamp_seconds",
           "When the history last recorded a change to the unit, seconds since 1970.", run.units,
           [](const UnitMetrics& unit) -> std::optional<std::string> {
               if (!unit.lastChange) {
                   return std::nullopt;
               }
               return Labels(unit, false) + std::to_string(*unit.lastChange);
           });
    char duration[64];
    std::snprintf(duration, sizeof duration, "%.3f", run.durationSeconds);
    text +=
        "# HELP marnel_run_duration_seconds How long reading the units took.\n"
        "# TYPE marnel_run_duration_seconds gauge\n"
        "marnel_run_duration_seconds " +
        std::string(duration) +
        "\n# HELP marnel_run_timestamp_seconds When the units were read, seconds since 1970.\n"
        "# TYPE marnel_run_timestamp_seconds gauge\n"
        "marnel_run_timestamp_seconds " +
        std::to_string(run.timestamp) + '\n';
    return text;
}

}  // namespace marnel::cli
