// Where Marnel keeps what outlives a command (backups, the history), and the
// UTC time stamps that name and date them.
#pragma once

#include <cstdint>
#include <string>

namespace marnel {

class IEnvironment;

// MARNEL_STATE_DIR, or the platform's folder for an application's state;
// empty when neither gives one.
std::string StateFolder(IEnvironment& environment);

// `seconds` since 1970 as UTC: "2026-12-07T12:00:00Z", or compact for a file
// name, "20261207T120000Z".
std::string UtcTimestamp(std::int64_t seconds, bool compact);

}  // namespace marnel
