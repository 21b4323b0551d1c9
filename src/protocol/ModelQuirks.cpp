#include "protocol/ModelQuirks.h"

#include "device/AnsiText.h"

namespace marnel {

ModelQuirks ModelQuirksFor(const ICodePage& codePage, const std::string& modelName) {
    ModelQuirks quirks;
    quirks.reportEndsWithEtx = !AnsiStartsWithNoCase(codePage, modelName, kLineModeReportModel);
    return quirks;
}

}  // namespace marnel
