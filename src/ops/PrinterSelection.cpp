#include "ops/PrinterSelection.h"

#include "device/AnsiText.h"

namespace marnel {

const char* const g_apszPrinterPrefixes[2] = {
    "Zarvel KQ-",  // driver name of the KQ series
    "Zarvel ZT-",  // driver name of the ZT series
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

bool IsPrinterUsable(ISpooler& spooler, const std::string& printerName, OfflineReason* why) {
    PrinterHandle printer = nullptr;
    if (!spooler.OpenPrinter(printerName, &printer) || printer == nullptr) {
        if (why != nullptr) {
            why->reason = "the spooler cannot open it";
        }
        return false;
    }
    bool usable = false;
    try {
        const PrinterQuery query = spooler.GetPrinter(printer);
        usable = query.status == SpoolerQueryStatus::kOk && !IsWorkingOffline(query.info);
        if (!usable && why != nullptr) {
            *why = query.status == SpoolerQueryStatus::kOk
                       ? spooler.ExplainOffline(query.info)
                       : OfflineReason{"the spooler gives no record of it", std::string()};
        }
    } catch (...) {
        spooler.ClosePrinter(printer);
        throw;
    }
    spooler.ClosePrinter(printer);
    return usable;
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
