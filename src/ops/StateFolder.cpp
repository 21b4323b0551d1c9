#include "ops/StateFolder.h"

#include <cstdio>

#include "platform/Environment.h"

namespace marnel {

std::string StateFolder(IEnvironment& environment) {
    const std::string chosen = environment.Variable("MARNEL_STATE_DIR");
    return chosen.empty() ? environment.DefaultStateFolder() : chosen;
}

std::string UtcTimestamp(std::int64_t seconds, bool compact) {
    // The civil date of a day count, by the proleptic Gregorian rules, so
    // that no C library's time zone is involved.
    const std::int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
    const std::int64_t secondOfDay = seconds - days * 86400;
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t dayOfEra = z - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    const std::int64_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const std::int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    char stamp[128];
    std::snprintf(stamp, sizeof stamp,
                  compact ? "%04lld%02lld%02lldT%02lld%02lld%02lldZ"
                          : "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ",
                  static_cast<long long>(year), static_cast<long long>(month),
                  static_cast<long long>(day), static_cast<long long>(secondOfDay / 3600),
                  static_cast<long long>(secondOfDay / 60 % 60),
                  static_cast<long long>(secondOfDay % 60));
    return stamp;
}

}  // namespace marnel
