// Which local printer is the maker's device: one rule for the Windows
// program and the command-line tool, and the report-end rule that follows
// from the chosen printer's name.
#pragma once

#include <string>
#include <vector>

#include "platform/Spooler.h"

namespace marnel {

class ICodePage;

// Driver-name prefixes of the two series, then the printer-name prefix of
// the model whose report ends in line mode.
extern const char* const g_apszPrinterPrefixes[3];
constexpr int kPrinterPrefixKQ = 0;
constexpr int kPrinterPrefixZT = 1;
constexpr int kPrinterPrefixKQ10 = 2;

// The value of g_bReportEndsWithEtx for a chosen printer: 0 when its name
// begins with "Zarvel KQ-10" (case ignored), 1 otherwise.
int ReportEndsWithEtxFor(const ICodePage& codePage, const std::string& printerName);
// The same for a printer's record, read from the name the spooler says
// tells its model.
int ReportEndsWithEtxFor(const ICodePage& codePage, ISpooler& spooler, const PrinterInfo& printer);

// A printer qualifies when its driver name begins with either series prefix
// (case ignored, multibyte-aware) and it is not working offline.
enum class PrinterVerdict {
    kQualifies,  // a device printer that is online
    kOffline,    // a device printer working offline
    kNotDevice,  // its driver is not one of the maker's
};

struct SelectionCandidate {
    PrinterInfo info;
    PrinterVerdict verdict = PrinterVerdict::kNotDevice;
    OfflineReason offline;  // kOffline: why, as far as the spooler knows
};

struct DeviceSelection {
    SpoolerQueryStatus status = SpoolerQueryStatus::kOk;  // of the enumeration
    std::vector<SelectionCandidate> printers;             // in the spooler's order; none on failure
    std::vector<PrinterSource> sources;                   // as the spooler read them, even on failure
    std::string chosen;      // the first qualifying printer; empty when none
    PrinterInfo chosenInfo;  // its record
    int count = 0;           // how many qualify

    // The record of the printer named `name` (case ignored), or one that
    // knows nothing but the name.
    PrinterInfo Find(const ICodePage& codePage, const std::string& name) const;

    // No printers to be had at all: the enumeration failed or found none.
    bool NothingListed() const { return status != SpoolerQueryStatus::kOk || printers.empty(); }
    // Some source could not be read: the listing may lack printers.
    bool SourceFailed() const;
};

// The stored choice still stands when the spooler opens the printer, gives
// its record and it is not working offline. May raise std::bad_alloc.
bool IsPrinterUsable(ISpooler& spooler, const std::string& printerName);

// Lists the local printers and judges each one. A failed enumeration lists
// and chooses nothing, whatever records came with it. May raise
// std::bad_alloc.
DeviceSelection SelectDevicePrinter(ISpooler& spooler, const ICodePage& codePage);

}  // namespace marnel
