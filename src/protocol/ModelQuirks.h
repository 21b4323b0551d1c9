// What one model of the series does its own way, known from the name that
// tells a printer's model (ISpooler::ModelName). An open port carries the
// quirks of the printer it opened, so two ports on two models never share one.
#pragma once

#include <string>

namespace marnel {

class ICodePage;

// The model-name prefix of the one model whose report ends in line mode.
constexpr char kLineModeReportModel[] = "Zarvel KQ-10";

struct ModelQuirks {
    // True: the byte 0x03 (ETX) ends a report and is not stored. False (the
    // KQ-10, which sends no ETX): a status get after each stored line feed
    // asks whether the report is complete.
    bool reportEndsWithEtx = true;
};

// The quirks of the model `modelName` names: line mode when it begins with
// "Zarvel KQ-10" (letter case ignored, a double-byte character one unit),
// ETX otherwise. The driver may qualify a printer, but the name decides: a
// printer the user renamed reports as its new name says.
ModelQuirks ModelQuirksFor(const ICodePage& codePage, const std::string& modelName);

}  // namespace marnel
