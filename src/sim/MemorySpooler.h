// An in-memory print spooler: local printers with their level-2 records in
// the spooler's order, and raw jobs that are recorded piece by piece and
// handed to a callback when they end (the simulated device takes them from
// there). Every call is logged; faults can be injected where the real
// spooler can fail, and a queue can be made to keep a job that ended.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/Spooler.h"

namespace marnel {

enum class SpoolerFault {
    kNone,
    kSizeQueryFailed,  // the size query fails with an error other than ERROR_INSUFFICIENT_BUFFER
    kReadFailed,       // the read into the buffer of the reported size fails
    kOutOfMemory,      // the buffer cannot be allocated (std::bad_alloc)
};

// One raw job as the spooler saw it.
struct SpoolerJob {
    // kWaiting: ended, but kept in the queue (held, stopped, pending).
    enum class State { kOpen, kWaiting, kDelivered, kCancelled, kAbandoned };

    DWORD jobId = 0;
    std::string printerName;
    std::string portName;
    std::string docName;
    bool hasOutputFile = false;
    std::string outputFile;
    std::string dataType;
    int pagesStarted = 0;
    int pagesEnded = 0;
    std::vector<std::uint8_t> data;  // what the spooler took, in order (unless not kept)
    std::uint64_t size = 0;          // bytes taken, kept or not
    std::uint32_t crc32 = 0;         // CRC-32 of the bytes taken, kept or not
    std::vector<DWORD> writeSizes;   // the size asked of each WritePrinter
    State state = State::kOpen;
};

class MemorySpooler : public ISpooler {
public:
    // Adds a local printer after the ones already there.
    void AddPrinter(const PrinterInfo& printer);
    bool RemovePrinter(const std::string& printerName);
    // Changes a printer's attributes (e.g. to set it working offline).
    bool SetAttributes(const std::string& printerName, DWORD attributes);
    const std::vector<PrinterInfo>& Printers() const { return m_printers; }

    // Fault injection.
    void SetEnumFault(SpoolerFault fault) { m_enumFault = fault; }
    void SetOpenFails(const std::string& printerName, bool fails = true);
    void SetGetPrinterFault(const std::string& printerName, SpoolerFault fault);
    void SetStartDocFails(bool fails) { m_startDocFails = fails; }
    // The WritePrinter call number `index` (0-based, counted over all jobs)
    // fails and takes nothing.
    void FailWrite(std::size_t index) { m_failedWrites.insert(index); }
    // The WritePrinter call number `index` takes only `bytes` bytes.
    void ShortWrite(std::size_t index, DWORD bytes) { m_shortWrites[index] = bytes; }
    // EndDocPrinter fails: the job is not delivered.
    void SetEndDocFails(bool fails) { m_endDocFails = fails; }
    // Off: a job's bytes are only counted and checksummed, so that a very
    // large job costs the spooler no memory.
    void SetKeepJobData(bool keep) { m_keepJobData = keep; }
    // What LastError says after an injected failure.
    void SetFaultCause(std::string cause) { m_faultCause = std::move(cause); }
    // The next job that ends is kept in the queue, and GetJob reports these
    // states for it in turn, the last one for good. It is delivered when it
    // reaches kDone and gone when it reaches kCancelled. None, or kDone
    // first: delivered at once, as always.
    void ScriptJobStates(std::vector<JobStatus> states) {
        m_jobScript.assign(states.begin(), states.end());
    }

    // A job that ends (EndDocPrinter) is handed over here.
    void OnJobDelivered(std::function<void(const SpoolerJob&)> callback) {
        m_onDelivered = std::move(callback);
    }

    // What the callers did.
    const std::vector<std::string>& Calls() const {
        return m_calls;
    }  // "OpenPrinter Zarvel KQ-10", ...
    std::size_t CountCalls(const std::string& call) const;
    void ClearCalls() { m_calls.clear(); }
    std::size_t OpenHandleCount() const { return m_handles.size(); }
    std::size_t BadCloses() const { return m_badCloses; }
    const std::vector<SpoolerJob>& Jobs() const { return m_jobs; }

    PrinterList EnumLocalPrinters() override;
    BOOL OpenPrinter(const std::string& printerName, PrinterHandle* printer) override;
    PrinterQuery GetPrinter(PrinterHandle printer) override;
    BOOL ClosePrinter(PrinterHandle printer) override;
    DWORD StartDocPrinter(PrinterHandle printer, const DocInfo& doc) override;
    BOOL StartPagePrinter(PrinterHandle printer) override;
    BOOL WritePrinter(PrinterHandle printer, const void* data, DWORD size, DWORD* written) override;
    BOOL EndPagePrinter(PrinterHandle printer) override;
    BOOL EndDocPrinter(PrinterHandle printer) override;
    BOOL CancelJob(PrinterHandle printer, DWORD jobId) override;
    JobStatus GetJob(PrinterHandle printer, DWORD jobId) override;
    std::string LastError() const override { return m_lastError; }

private:
    struct Handle {
        std::string printerName;
        std::size_t job = 0;  // index + 1 in m_jobs of the job in progress, 0 when none
    };

    PrinterInfo* FindPrinter(const std::string& printerName);
    Handle* FindHandle(PrinterHandle printer);
    SpoolerJob* JobOf(PrinterHandle printer);
    BOOL Fail(const std::string& cause);
    void Deliver(SpoolerJob& job);

    std::vector<PrinterInfo> m_printers;
    SpoolerFault m_enumFault = SpoolerFault::kNone;
    std::set<std::string> m_openFails;
    std::map<std::string, SpoolerFault> m_getPrinterFaults;
    bool m_startDocFails = false;
    bool m_endDocFails = false;
    bool m_keepJobData = true;
    std::set<std::size_t> m_failedWrites;
    std::map<std::size_t, DWORD> m_shortWrites;
    std::size_t m_writeCalls = 0;
    std::function<void(const SpoolerJob&)> m_onDelivered;
    std::string m_faultCause = "the simulated spooler failed";
    std::string m_lastError;
    std::deque<JobStatus> m_jobScript;
    std::map<DWORD, std::deque<JobStatus>> m_waiting;  // by job id

    std::vector<std::string> m_calls;
    std::map<PrinterHandle, Handle> m_handles;
    std::size_t m_nextHandle = 1;
    std::size_t m_badCloses = 0;
    std::vector<SpoolerJob> m_jobs;
};

}  // namespace marnel
