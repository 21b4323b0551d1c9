#include "cli/UnitRecord.h"

namespace marnel::cli {

nlohmann::json UnitStateJson(const UnitCompliance& unit) {
    nlohmann::json state{{"firmware", nullptr}, {"parameters", nullptr}};
    if (unit.firmware) {
        state["firmware"] = {{"current", unit.firmware->current},
                             {"wanted", unit.firmware->wanted},
                             {"compliant", unit.firmware->compliant}};
    }
    if (unit.parameters) {
        nlohmann::json differences = nlohmann::json::array();
        for (const ByteRange& range : unit.parameters->differences) {
            differences.push_back({{"first", range.first}, {"last", range.last}});
        }
        state["parameters"] = {{"compliant", unit.parameters->compliant},
                               {"currentSha256", unit.parameters->currentSha256},
                               {"wantedSha256", unit.parameters->wantedSha256},
                               {"differences", differences}};
    }
    return state;
}

nlohmann::json UnitRecordJson(const UnitCompliance& unit) {
    nlohmann::json record{{"printer", unit.printer},     {"serial", unit.serial},
                          {"model", unit.model},         {"location", unit.location},
                          {"covered", unit.covered},     {"compliant", unit.compliant}};
    record.update(UnitStateJson(unit));
    if (!unit.error.empty()) {
        record["error"] = unit.error;
    }
    return record;
}

}  // namespace marnel::cli
