// Which local printer is the maker's device: one rule for the Windows
// program and the command-line tool. How the chosen model behaves is the
// port's to know once it opens the printer (protocol/ModelQuirks.h).
#pragma once

#include <string>
#include <vector>

#include "platform/Spooler.h"

namespace marnel {

class ICodePage;

// Driver-name prefixes of the two series.
extern const char* const g_apszPrinterPrefixes[2];
constexpr int kPrinterPrefixKQ = 0;
constexpr int kPrinterPrefixZT = 1;

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
    std::string chosen;  // the first qualifying printer; empty when none
    int count = 0;       // how many qualify

    // No printers to be had at all: the enumeration failed or found none.
    bool NothingListed() const { return status != SpoolerQueryStatus::kOk || printers.empty(); }
    // Some source could not be read: the listing may lack printers.
    bool SourceFailed() const;
};

// The stored choice still stands when the spooler opens the printer, gives
// its record and it is not working offline (paused, rejecting jobs, its
// device gone); *why then says why, when asked. May raise std::bad_alloc.
bool IsPrinterUsable(ISpooler& spooler, const std::string& printerName,
                     OfflineReason* why = nullptr);

// Lists the local printers and judges each one. A failed enumeration lists
// and chooses nothing, whatever records came with it. May raise
// std::bad_alloc.
DeviceSelection SelectDevicePrinter(ISpooler& spooler, const ICodePage& codePage);

}  // namespace marnel
