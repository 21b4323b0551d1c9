#include "posix/CupsSpooler.h"

#include <cups/cups.h>

#include <cctype>
#include <cstring>

namespace marnel {

namespace {

constexpr int kStateStopped = 5;  // IPP_PSTATE_STOPPED
constexpr int kConnectTimeoutMs = 30000;

const char* const kQueueAttributes[] = {"printer-name", "printer-make-and-model",
                                        "device-uri",   "printer-state",
                                        "printer-type", "printer-is-accepting-jobs"};

std::string StringAttr(ipp_attribute_t* attr) {
    const char* text = ippGetString(attr, 0, nullptr);
    return text ? text : "";
}

// Reads one printer group of an IPP response, starting at `attr`; returns the
// first attribute after the group. *local is false for remote printers and classes.
ipp_attribute_t* ReadQueue(ipp_t* response, ipp_attribute_t* attr, CupsSpooler::Queue* queue,
                           bool* local) {
    *local = true;
    for (; attr && ippGetGroupTag(attr) == IPP_TAG_PRINTER; attr = ippNextAttribute(response)) {
        const char* name = ippGetName(attr);
        if (!name) {
            continue;
        }
        if (!std::strcmp(name, "printer-name")) {
            queue->name = StringAttr(attr);
        } else if (!std::strcmp(name, "printer-make-and-model")) {
            queue->makeAndModel = StringAttr(attr);
        } else if (!std::strcmp(name, "device-uri")) {
            queue->deviceUri = StringAttr(attr);
        } else if (!std::strcmp(name, "printer-state")) {
            queue->state = ippGetInteger(attr, 0);
        } else if (!std::strcmp(name, "printer-is-accepting-jobs")) {
            queue->acceptingJobs = ippGetBoolean(attr, 0) != 0;
        } else if (!std::strcmp(name, "printer-type")) {
            *local = (ippGetInteger(attr, 0) & (CUPS_PRINTER_REMOTE | CUPS_PRINTER_CLASS)) == 0;
        }
    }
    return attr;
}

// The server's message, and the status it came with when the message does
// not name it already.
std::string Failure(const std::string& what) {
    const std::string message = cupsLastErrorString();
    const std::string status = ippErrorString(cupsLastError());
    return what + ": " + message +
           (message.find(status) == std::string::npos ? " (" + status + ")" : "");
}

}  // namespace

CupsSpooler::CupsSpooler(const std::string& server) {
    if (!server.empty()) {
        cupsSetServer(server.c_str());
    }
}

bool CupsSpooler::ListQueues(std::vector<Queue>* queues, std::string* error) {
    ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(sizeof kQueueAttributes / sizeof *kQueueAttributes), nullptr,
                  kQueueAttributes);
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    // A server without queues answers "not found".
    if (!response || (ippGetStatusCode(response) > IPP_STATUS_OK_EVENTS_COMPLETE &&
                      ippGetStatusCode(response) != IPP_STATUS_ERROR_NOT_FOUND)) {
        *error = Failure("listing the CUPS queues");
        ippDelete(response);
        return false;
    }
    std::vector<Queue> found;
    ipp_attribute_t* attr = ippFirstAttribute(response);
    while (attr) {
        if (ippGetGroupTag(attr) != IPP_TAG_PRINTER) {
            attr = ippNextAttribute(response);
            continue;
        }
        Queue queue;
        bool local = true;
        attr = ReadQueue(response, attr, &queue, &local);
        if (local && !queue.name.empty()) {
            found.push_back(queue);
        }
    }
    ippDelete(response);
    *queues = std::move(found);
    return true;
}

PrinterInfo CupsSpooler::ToPrinterInfo(const Queue& queue) {
    PrinterInfo info;
    info.printerName = queue.name;
    info.driverName = queue.makeAndModel;
    info.portName = queue.deviceUri;
    if (queue.state == kStateStopped || !queue.acceptingJobs) {
        info.attributes |= kPrinterAttributeWorkOffline;
    }
    return info;
}

namespace {

// A queue name as one shell word: CUPS names rarely need quotes.
std::string ShellWord(const std::string& word) {
    bool plain = !word.empty();
    for (char c : word) {
        plain = plain && (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' ||
                          c == '.' || c == '@' || c == '+');
    }
    if (plain) {
        return word;
    }
    std::string quoted = "'";
    for (char c : word) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

}  // namespace

OfflineReason CupsSpooler::OfflineReasonOf(const Queue& queue) {
    OfflineReason why;
    auto add = [&why, &queue](const char* reason, const char* command) {
        why.reason += (why.reason.empty() ? "" : " and ") + std::string(reason);
        why.fix +=
            (why.fix.empty() ? "" : " && ") + std::string(command) + " " + ShellWord(queue.name);
    };
    if (queue.state == kStateStopped) {
        add("paused", "cupsenable");
    }
    if (!queue.acceptingJobs) {
        add("rejecting jobs", "cupsaccept");
    }
    return why;
}

bool CupsSpooler::CancelJob(const std::string& queue, int jobId, std::string* error) {
    if (cupsCancelJob2(CUPS_HTTP_DEFAULT, queue.c_str(), jobId, 0) != IPP_STATUS_OK) {
        *error = Failure("cancelling job " + std::to_string(jobId));
        return false;
    }
    return true;
}

CupsJob::CupsJob(std::string queue, http_t* http, int id)
    : m_queue(std::move(queue)), m_http(http), m_nId(id) {}

CupsJob::~CupsJob() {
    Abandon();  // never leave a job half sent
}

std::unique_ptr<CupsJob> CupsJob::Start(const std::string& queue, const std::string& docName,
                                        std::string* error) {
    http_t* http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                                kConnectTimeoutMs, nullptr);
    if (!http) {
        *error = Failure("connecting to the CUPS server");
        return nullptr;
    }
    const int id = cupsCreateJob(http, queue.c_str(), docName.c_str(), 0, nullptr);
    if (!id) {
        *error = Failure("creating the job on " + queue);
        httpClose(http);
        return nullptr;
    }
    std::unique_ptr<CupsJob> job(new CupsJob(queue, http, id));
    if (cupsStartDocument(http, queue.c_str(), id, docName.c_str(), CUPS_FORMAT_RAW, 1) !=
        HTTP_STATUS_CONTINUE) {
        *error = Failure("starting the document of job " + std::to_string(id));
        return nullptr;  // cancelled as it goes
    }
    return job;
}

bool CupsJob::Write(const std::uint8_t* data, std::size_t size, std::string* error) {
    if (m_bFailed || !m_http) {
        *error = "no open job to write to";
        return false;
    }
    if (size != 0 && cupsWriteRequestData(m_http, reinterpret_cast<const char*>(data), size) !=
                         HTTP_STATUS_CONTINUE) {
        *error = Failure("sending job " + std::to_string(m_nId));
        m_bFailed = true;  // whatever follows, this job is not finished
        return false;
    }
    m_nSent += size;
    return true;
}

bool CupsJob::Finish(std::string* error) {
    if (m_bFailed || m_nSent == 0) {
        // CUPS does not finish a document without bytes and holds its job
        // until it is cancelled; a failed one must not print.
        if (!m_bFailed) {
            *error = "CUPS refuses an empty document";
        }
        Abandon();
        return false;
    }
    if (cupsFinishDocument(m_http, m_queue.c_str()) > IPP_STATUS_OK_EVENTS_COMPLETE) {
        *error = Failure("finishing job " + std::to_string(m_nId));
        Abandon();
        return false;
    }
    httpClose(m_http);
    m_http = nullptr;
    return true;
}

void CupsJob::Abandon() {
    // Cancel over the default connection while the document request is still
    // open, then drop the job's own connection: nothing reaches the device.
    if (m_http) {
        cupsCancelJob2(CUPS_HTTP_DEFAULT, m_queue.c_str(), m_nId, 0);
        httpClose(m_http);
        m_http = nullptr;
    }
}

namespace {

const char* const kJobAttributes[] = {"job-state", "job-state-reasons",
                                      "job-printer-state-message"};

JobState StateOf(int jobState) {
    switch (jobState) {
        case IPP_JSTATE_PENDING:
            return JobState::kPending;
        case IPP_JSTATE_HELD:
            return JobState::kHeld;
        case IPP_JSTATE_STOPPED:
            return JobState::kStopped;
        case IPP_JSTATE_CANCELED:
        case IPP_JSTATE_ABORTED:
            return JobState::kCancelled;
        case IPP_JSTATE_PROCESSING:
        case IPP_JSTATE_COMPLETED:
            return JobState::kDone;
        default:
            return JobState::kUnknown;
    }
}

// "job-hold-until-specified; Printer stopped ...": the reasons that say
// something, then the printer's message about the job.
std::string ReasonOf(ipp_t* response, bool* holdSpecified) {
    std::string reason;
    ipp_attribute_t* reasons = ippFindAttribute(response, "job-state-reasons", IPP_TAG_KEYWORD);
    for (int i = 0; reasons && i < ippGetCount(reasons); ++i) {
        const char* text = ippGetString(reasons, i, nullptr);
        const std::string keyword = text ? text : "none";
        if (keyword != "none") {
            reason += (reason.empty() ? "" : ", ") + keyword;
        }
        *holdSpecified = *holdSpecified || keyword == "job-hold-until-specified";
    }
    ipp_attribute_t* message =
        ippFindAttribute(response, "job-printer-state-message", IPP_TAG_TEXT);
    const std::string text = message ? StringAttr(message) : std::string();
    if (!text.empty()) {
        reason += (reason.empty() ? "" : "; ") + text;
    }
    return reason;
}

}  // namespace

JobStatus CupsSpooler::GetJob(const Queue& queue, int jobId, std::string* error) {
    JobStatus status;
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                     "/jobs/%d", jobId);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(sizeof kJobAttributes / sizeof *kJobAttributes), nullptr,
                  kJobAttributes);
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    if (cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND) {
        ippDelete(response);
        status.state = JobState::kDone;
        return status;
    }
    if (!response || ippGetStatusCode(response) > IPP_STATUS_OK_EVENTS_COMPLETE) {
        *error = Failure("asking CUPS for job " + std::to_string(jobId));
        ippDelete(response);
        return status;
    }
    status.state = StateOf(ippGetInteger(ippFindAttribute(response, "job-state", IPP_TAG_ENUM), 0));
    bool holdSpecified = false;
    status.reason = ReasonOf(response, &holdSpecified);
    ippDelete(response);
    if (status.state == JobState::kDone || status.state == JobState::kCancelled) {
        return status;
    }
    // The job asked for no hold: one that holds it came from the queue's default.
    if (holdSpecified) {
        status.fix = "lpadmin -p " + ShellWord(queue.name) + " -o job-hold-until-default=no-hold";
    }
    status.queueStopped = queue.state == kStateStopped;
    const std::string resume = OfflineReasonOf(queue).fix;
    if (!resume.empty()) {
        status.fix += (status.fix.empty() ? "" : " && ") + resume;
    }
    return status;
}

}  // namespace marnel
