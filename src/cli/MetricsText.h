// The units' metrics in the text format that a monitoring system's
// textfile collector reads: every family a gauge, with its HELP and TYPE.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace marnel::cli {

struct UnitMetrics {
    std::string printer;
    std::string serial;
    std::string model;
    std::string firmware;
    bool up = false;                         // read whole
    std::optional<std::int64_t> lastChange;  // the last history entry's time
};

struct RunMetrics {
    std::vector<UnitMetrics> units;
    double durationSeconds = 0;
    std::int64_t timestamp = 0;  // when the run began, seconds since 1970
};

// A label's value between its quotes: backslash, double quote and line feed
// escaped as the format asks, and a byte that is not UTF-8 as U+FFFD.
std::string LabelValue(const std::string& text);

// The whole file.
std::string MetricsText(const RunMetrics& run);

}  // namespace marnel::cli
