// The CUPS side of the spooler: the local queues, a firmware job as a raw job
// streamed into a queue, and what became of a job.
//
// A queue's printer-make-and-model is its driver name and its device-uri its
// port name; a stopped queue (printer-state 5) or one that does not accept
// jobs is reported as working offline. A job is only ever delivered whole:
// one that failed, was cancelled or carried no byte is cancelled in CUPS, and
// a job dropped while still open is cancelled too. A job that ended is told
// by its job-state, job-state-reasons and job-printer-state-message.
//
// Errors read "creating the job on Q: <cupsLastErrorString> (<IPP status>)".
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Spooler.h"

typedef struct _http_s http_t;

namespace marnel {

class CupsSpooler {
public:
    // `server` as CUPS_SERVER takes it (host, host:port or a socket path);
    // empty keeps the user's default.
    explicit CupsSpooler(const std::string& server = std::string());

    // One local queue as CUPS describes it.
    struct Queue {
        std::string name;
        std::string makeAndModel;
        std::string deviceUri;
        int state = 0;  // printer-state: 3 idle, 4 processing, 5 stopped
        bool acceptingJobs = false;
    };

    // The local queues (no remote printers, no classes), in the server's
    // order. False when the server could not be asked.
    bool ListQueues(std::vector<Queue>* queues, std::string* error);

    // The job as CUPS tells it, with the fixes for `queue` (the job's queue
    // as last listed); a job CUPS no longer knows was completed and purged.
    JobStatus GetJob(const Queue& queue, int jobId, std::string* error);

    // Cancels a job of `queue`, open or not.
    bool CancelJob(const std::string& queue, int jobId, std::string* error);

    static PrinterInfo ToPrinterInfo(const Queue& queue);
    // Why ToPrinterInfo marks a queue offline ("paused", "rejecting jobs",
    // or both) and the commands that resume it; empty when it is not.
    static OfflineReason OfflineReasonOf(const Queue& queue);
};

// A raw job with its document open, on a connection of its own so that a
// cancel can go over the default one.
class CupsJob {
public:
    // Creates the job on `queue` and opens its document; null with the cause in *error.
    static std::unique_ptr<CupsJob> Start(const std::string& queue, const std::string& docName,
                                          std::string* error);
    // A job still open is cancelled: nothing of it reaches the device.
    ~CupsJob();
    CupsJob(const CupsJob&) = delete;
    CupsJob& operator=(const CupsJob&) = delete;

    int Id() const { return m_nId; }

    // False, with the cause, when the bytes did not go; the job cannot end well then.
    bool Write(const std::uint8_t* data, std::size_t size, std::string* error);

    // Ends the document. A job that failed or carried no byte (CUPS holds
    // such a job until it is cancelled) is cancelled instead, and false.
    bool Finish(std::string* error);

private:
    CupsJob(std::string queue, http_t* http, int id);
    // Cancels the job, if still open, and drops its connection.
    void Abandon();

    std::string m_queue;
    http_t* m_http;
    int m_nId;
    unsigned long long m_nSent = 0;
    bool m_bFailed = false;
};

}  // namespace marnel
