// The print spooler on CUPS: the local queues as printers and the firmware
// as a raw job streamed into a queue.
//
// A queue's printer-make-and-model is its driver name and its device-uri its
// port name; a stopped queue (printer-state 5) or one that does not accept
// jobs is reported as working offline. A job is only ever delivered whole:
// one that failed, was cancelled or carried no byte is cancelled in CUPS, and
// a handle closed with a job still open cancels it too. A job that ended is
// told by its job-state, job-state-reasons and job-printer-state-message.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/Spooler.h"

namespace marnel {

class CupsSpooler : public ISpooler {
public:
    // `server` as CUPS_SERVER takes it (host, host:port or a socket path);
    // empty keeps the user's default.
    explicit CupsSpooler(const std::string& server = std::string());
    ~CupsSpooler() override;

    CupsSpooler(const CupsSpooler&) = delete;
    CupsSpooler& operator=(const CupsSpooler&) = delete;

    // One local queue as CUPS describes it.
    struct Queue {
        std::string name;
        std::string makeAndModel;
        std::string deviceUri;
        int state = 0;  // printer-state: 3 idle, 4 processing, 5 stopped
        bool acceptingJobs = false;
    };

    // The local queues (no remote printers, no classes), in the server's
    // order. False when the server could not be asked; LastError says why.
    bool ListQueues(std::vector<Queue>* queues);

    PrinterList EnumLocalPrinters() override;
    BOOL OpenPrinter(const std::string& printerName, PrinterHandle* printer) override;
    PrinterQuery GetPrinter(PrinterHandle printer) override;
    BOOL ClosePrinter(PrinterHandle printer) override;
    DWORD StartDocPrinter(PrinterHandle printer, const DocInfo& doc) override;
    BOOL StartPagePrinter(PrinterHandle printer) override;
    BOOL WritePrinter(PrinterHandle printer, const void* data, DWORD size,
                      DWORD* written) override;
    BOOL EndPagePrinter(PrinterHandle printer) override;
    BOOL EndDocPrinter(PrinterHandle printer) override;
    BOOL CancelJob(PrinterHandle printer, DWORD jobId) override;
    // A job CUPS no longer knows was completed and purged.
    JobStatus GetJob(PrinterHandle printer, DWORD jobId) override;

    // "creating the job on Q: <cupsLastErrorString> (<IPP status>)".
    std::string LastError() const override { return m_strLastError; }

    static PrinterInfo ToPrinterInfo(const Queue& queue);
    // Why ToPrinterInfo marks a queue offline ("paused", "rejecting jobs",
    // or both) and the commands that resume it; empty when it is not.
    static OfflineReason OfflineReasonOf(const Queue& queue);

private:
    struct Printer;

    // The local queue of this name, as ListQueues gives it.
    bool FindQueue(const std::string& name, Queue* queue);
    void AbandonJob(Printer* printer);
    void Fail(const std::string& what);

    std::string m_strLastError;
};

}  // namespace marnel
