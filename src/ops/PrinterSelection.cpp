#include "ops/PrinterSelection.h"

#include "device/AnsiText.h"

namespace marnel {

const char* const g_apszPrinterPrefixes[3] = {
    "Zarvel KQ-",    // driver name of the KQ series
    "Zarvel ZT-",    // driver name of the ZT series
    "Zarvel KQ-10",  // printer name of the model with the line-mode report
};

namespace {

bool HasDeviceDriver(const ICodePage& codePage, const PrinterInfo& record) {
    return AnsiStartsWithNoCase(codePage, record.driverName,
                                g_apszPrinterPrefixes[kPrinterPrefixKQ]) ||
           AnsiStartsWithNoCase(codePage, record.driverName,
                                g_apszPrinterPrefixes[kPrinterPrefixZT]);
}

bool IsWorkingOffline(const PrinterInfo& record) {
    return (record.attributes & kPrinterAttributeWorkOffline) != 0;
}

PrinterVerdict Judge(const ICodePage& codePage, const PrinterInfo& record) {
    if (!HasDeviceDriver(codePage, record)) {
        return PrinterVerdict::kNotDevice;
    }
    return IsWorkingOffline(record) ? PrinterVerdict::kOffline : PrinterVerdict::kQualifies;
}

}  // namespace

int ReportEndsWithEtxFor(const ICodePage& codePage, const std::string& printerName) {
    // The flag follows the printer's own name, which the user may have
    // changed; the driver name is what qualified it.
    return AnsiStartsWithNoCase(codePage, printerName, g_apszPrinterPrefixes[kPrinterPrefixKQ10])
               ? 0
               : 1;
}

int ReportEndsWithEtxFor(const ICodePage& codePage, ISpooler& spooler, const PrinterInfo& printer) {
    return ReportEndsWithEtxFor(codePage, spooler.ModelName(printer));
}

bool IsPrinterUsable(ISpooler& spooler, const std::string& printerName) {
    PrinterHandle printer = nullptr;
    if (!spooler.OpenPrinter(printerName, &printer) || printer == nullptr) {
        return false;
    }
    bool usable = false;
    try {
        const PrinterQuery query = spooler.GetPrinter(printer);
        usable = query.status == SpoolerQueryStatus::kOk && !IsWorkingOffline(query.info);
    } catch (...) {
        spooler.ClosePrinter(printer);
        throw;
    }
    spooler.ClosePrinter(printer);
    return usable;
}

PrinterInfo DeviceSelection::Find(const ICodePage& codePage, const std::string& name) const {
    for (const SelectionCandidate& candidate : printers) {
        if (AnsiEqualsNoCase(codePage, candidate.info.printerName, name)) {
            return candidate.info;
        }
    }
    PrinterInfo unknown;
    unknown.printerName = name;
    return unknown;
}

bool DeviceSelection::SourceFailed() const {
    for (const PrinterSource& source : sources) {
        if (!source.ok) {
            return true;
        }
    }
    return false;
}

DeviceSelection SelectDevicePrinter(ISpooler& spooler, const ICodePage& codePage) {
    DeviceSelection selection;
    PrinterList list = spooler.EnumLocalPrinters();
    selection.status = list.status;
    selection.sources = std::move(list.sources);
    if (list.status != SpoolerQueryStatus::kOk) {
        return selection;  // the records are not to be trusted
    }
    for (PrinterInfo& record : list.printers) {
        const PrinterVerdict verdict = Judge(codePage, record);
        if (verdict == PrinterVerdict::kQualifies) {
            if (selection.chosen.empty()) {
                selection.chosen = record.printerName;
                selection.chosenInfo = record;
            }
            ++selection.count;
        }
        OfflineReason offline;
        if (verdict == PrinterVerdict::kOffline) {
            offline = spooler.ExplainOffline(record);
        }
        selection.printers.push_back({std::move(record), verdict, std::move(offline)});
    }
    return selection;
}

}  // namespace marnel
