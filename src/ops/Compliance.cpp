#include "ops/Compliance.h"

namespace marnel {

const ModelProfile* ProfileFor(const Profile& profile, const std::string& model) {
    const auto it = profile.models.find(model);
    return it == profile.models.end() ? nullptr : &it->second;
}

UnitCompliance CompareUnit(const SurveyedUnit& unit, const Profile& profile) {
    UnitCompliance result;
    result.printer = unit.printer;
    result.serial = unit.serial;
    result.model = unit.model;
    result.location = unit.location;
    result.error = unit.error;
    const ModelProfile* wanted = ProfileFor(profile, unit.model);
    result.covered = wanted != nullptr;
    if (!unit.Read() || wanted == nullptr) {
        return result;
    }
    result.compliant = true;
    if (wanted->firmware) {
        FirmwareCompliance& firmware = result.firmware.emplace();
        firmware.current = unit.firmware;
        firmware.wanted = wanted->firmware->version;
        firmware.compliant = firmware.current == firmware.wanted;
        result.compliant = result.compliant && firmware.compliant;
    }
    if (wanted->parameters) {
        ParametersCompliance& parameters = result.parameters.emplace();
        parameters.currentSha256 = unit.blockSha256;
        parameters.wantedSha256 = wanted->parameters->sha256;
        parameters.differences = DifferingBytes(unit.block, wanted->block);
        parameters.compliant = parameters.differences.empty();
        result.compliant = result.compliant && parameters.compliant;
    }
    return result;
}

}  // namespace marnel
