// The print spooler: local printers with their level-2 records, and the raw
// job that carries firmware to a printer's port. A back end keeps the
// size-query-then-read dance of the real calls to itself but reports every
// outcome the core tells apart.
#pragma once

#include <string>
#include <vector>

#include "platform/Types.h"

namespace marnel {

constexpr DWORD kPrinterAttributeWorkOffline = 0x400;  // PRINTER_ATTRIBUTE_WORK_OFFLINE

// The fields of a level-2 printer record (PRINTER_INFO_2) the core reads.
struct PrinterInfo {
    std::string printerName;
    std::string driverName;
    std::string portName;
    DWORD attributes = 0;
};

enum class SpoolerQueryStatus {
    kOk,              // the records were read
    kSizeQueryFailed, // the size query failed with an error other than ERROR_INSUFFICIENT_BUFFER
    kReadFailed,      // the size was had, the read into a buffer of that size failed
};

// One place a spooler gathers its printers from (a print server, a device
// bus), and whether it could be read this time.
struct PrinterSource {
    std::string name;     // "CUPS", "USB"
    bool ok = true;
    std::string failure;  // what could not be done, for the user; empty when ok
    std::string reason;   // the system's own cause; empty when ok or unknown
};

struct PrinterList {
    SpoolerQueryStatus status = SpoolerQueryStatus::kReadFailed;
    std::vector<PrinterInfo> printers;  // in the spooler's order; valid when kOk
    // Every source the listing read, in order. Empty for a spooler with one
    // source, for which `status` speaks. A failed source leaves the printers
    // it would have given out, while the others may still make a listing.
    std::vector<PrinterSource> sources;
};

// Why a printer is working offline, as the spooler knows it, and the command
// that brings it back when there is one.
struct OfflineReason {
    std::string reason;  // "paused", "rejecting jobs", "device not present"
    std::string fix;     // "cupsenable Zarvel_KQ-10"; empty when none
};

struct PrinterQuery {
    SpoolerQueryStatus status = SpoolerQueryStatus::kReadFailed;
    PrinterInfo info;  // valid when kOk
};

using PrinterHandle = void*;

// The job description of a raw job (DOC_INFO_1).
struct DocInfo {
    std::string docName;     // "Updater"
    const char* outputFile;  // null: no output file
    std::string dataType;    // "RAW"
};

// Where a job whose document ended stands now.
enum class JobState {
    kDone,       // delivered to the device, or on its way there (printing, completed)
    kPending,    // waiting for its turn
    kHeld,       // held until someone releases it
    kStopped,    // stopped by the spooler (an error, a printer that stopped)
    kCancelled,  // cancelled or aborted by the spooler: nothing more of it goes out
    kUnknown,    // the spooler could not be asked; LastError says why
};

struct JobStatus {
    JobState state = JobState::kUnknown;
    bool queueStopped = false;  // the queue prints nothing now (paused, stopped)
    std::string reason;         // the spooler's own words for the state; empty when none
    std::string fix;            // the command that lets the queue deliver jobs; empty when none
};

class ISpooler {
public:
    virtual ~ISpooler() = default;

    // EnumPrintersA(PRINTER_ENUM_LOCAL, no server, level 2): size query, then
    // the read. A buffer that cannot be allocated throws std::bad_alloc.
    virtual PrinterList EnumLocalPrinters() = 0;

    // The name that tells which model a printer is, where the core asks (the
    // KQ-10's report rule, when a port opens): the printer's own name, which
    // installing its driver gives it. A spooler whose names cannot carry the
    // model (CUPS queue names hold no spaces) answers with the driver
    // instead. From the record alone: it calls nothing.
    virtual std::string ModelName(const PrinterInfo& printer) { return printer.printerName; }

    // Why `printer` (a record of the last EnumLocalPrinters) works offline;
    // empty when the spooler knows no more than the attribute.
    virtual OfflineReason ExplainOffline(const PrinterInfo& printer) {
        (void)printer;
        return OfflineReason();
    }

    // OpenPrinterA(name, no defaults). Non-zero with a handle in *printer.
    virtual BOOL OpenPrinter(const std::string& printerName, PrinterHandle* printer) = 0;

    // GetPrinterA(level 2): size query, then the read. A buffer that cannot
    // be allocated throws std::bad_alloc.
    virtual PrinterQuery GetPrinter(PrinterHandle printer) = 0;

    // ClosePrinter.
    virtual BOOL ClosePrinter(PrinterHandle printer) = 0;

    // StartDocPrinterA(level 1). Returns the job id, 0 on failure.
    virtual DWORD StartDocPrinter(PrinterHandle printer, const DocInfo& doc) = 0;
    virtual BOOL StartPagePrinter(PrinterHandle printer) = 0;
    // WritePrinter: *written gets the count the spooler took.
    virtual BOOL WritePrinter(PrinterHandle printer, const void* data, DWORD size,
                              DWORD* written) = 0;
    virtual BOOL EndPagePrinter(PrinterHandle printer) = 0;
    virtual BOOL EndDocPrinter(PrinterHandle printer) = 0;
    // Deletes the job so that no part of it reaches the device.
    virtual BOOL CancelJob(PrinterHandle printer, DWORD jobId) = 0;

    // GetJobA(level 1): where job `jobId` of `printer` stands, once its
    // document ended. A job the spooler no longer holds has left the queue
    // for the device (kDone); kUnknown when it could not be asked.
    virtual JobStatus GetJob(PrinterHandle printer, DWORD jobId) = 0;

    // Why the last call that failed failed, in the system's words, taken
    // when it failed; empty before any failure. A port that found no printer
    // asks after OpenPrinter or GetPrinter.
    virtual std::string LastError() const = 0;
};

}  // namespace marnel
