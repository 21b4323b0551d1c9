#include "device/PrinterSelection.h"

#include "device/AnsiText.h"

namespace marnel {

const char* const g_apszPrinterPrefixes[3] = {
    "Zarvel KQ-",    // driver name of the KQ series
    "Zarvel ZT-",    // driver name of the ZT series
    "Zarvel KQ-10",  // printer name of the model with the line-mode report
};

bool IsDevicePrinter(const ICodePage& codePage, const PrinterInfo& record) {
    const bool driverMatches =
        AnsiStartsWithNoCase(codePage, record.driverName, g_apszPrinterPrefixes[kPrinterPrefixKQ]) ||
        AnsiStartsWithNoCase(codePage, record.driverName, g_apszPrinterPrefixes[kPrinterPrefixZT]);
    return driverMatches && (record.attributes & kPrinterAttributeWorkOffline) == 0;
}

int ReportEndsWithEtxFor(const ICodePage& codePage, const std::string& printerName) {
    // The flag follows the printer's own name, which the user may have
    // changed; the driver name is what qualified it.
    return AnsiStartsWithNoCase(codePage, printerName, g_apszPrinterPrefixes[kPrinterPrefixKQ10])
               ? 0
               : 1;
}

}  // namespace marnel
