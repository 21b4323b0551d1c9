// The rule that makes a local printer one of the maker's devices, and the
// report-end rule that follows from the chosen printer's name. One rule for
// the Windows program and the command-line tool.
#pragma once

#include <string>

#include "platform/Spooler.h"

namespace marnel {

class ICodePage;

// Driver-name prefixes of the two series, then the printer-name prefix of
// the model whose report ends in line mode.
extern const char* const g_apszPrinterPrefixes[3];
constexpr int kPrinterPrefixKQ = 0;
constexpr int kPrinterPrefixZT = 1;
constexpr int kPrinterPrefixKQ10 = 2;

// True when the driver name begins with either series prefix (case ignored,
// multibyte-aware) and the printer is not working offline.
bool IsDevicePrinter(const ICodePage& codePage, const PrinterInfo& record);

// The value of g_bReportEndsWithEtx for a chosen printer: 0 when its name
// begins with "Zarvel KQ-10" (case ignored), 1 otherwise.
int ReportEndsWithEtxFor(const ICodePage& codePage, const std::string& printerName);

}  // namespace marnel
