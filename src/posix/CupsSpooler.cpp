#include "posix/CupsSpooler.h"

#include "platform/AsciiCase.h"

#include <cups/cups.h>

#include <cctype>
#include <cstring>

namespace marnel {

namespace {

constexpr int kStateStopped = 5;  // IPP_PSTATE_STOPPED
constexpr int kConnectTimeoutMs = 30000;

const char* const kQueueAttributes[] = {"printer-name",  "printer-make-and-model",
                                        "device-uri",    "printer-state",
                                        "printer-type",  "printer-is-accepting-jobs"};

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

}  // namespace

// An open printer and, between StartDocPrinter and EndDocPrinter, its job on
// a connection of its own, so that a cancel can go over the default one.
struct CupsSpooler::Printer {
    std::string name;
    http_t* http = nullptr;
    int jobId = 0;
    unsigned long long bytesSent = 0;
    bool failed = false;
};

CupsSpooler::CupsSpooler(const std::string& server) {
    if (!server.empty()) {
        cupsSetServer(server.c_str());
    }
}

CupsSpooler::~CupsSpooler() = default;

void CupsSpooler::Fail(const std::string& what) {
    // The server's message, and the status it came with when the message
    // does not name it already.
    const std::string message = cupsLastErrorString();
    const std::string status = ippErrorString(cupsLastError());
    m_strLastError = what + ": " + message;
    if (message.find(status) == std::string::npos) {
        m_strLastError += " (" + status + ")";
    }
}

bool CupsSpooler::ListQueues(std::vector<Queue>* queues) {
    ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(sizeof kQueueAttributes / sizeof *kQueueAttributes), nullptr,
                  kQueueAttributes);
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    // A server without queues answers "not found".
    if (!response || (ippGetStatusCode(response) > IPP_STATUS_OK_EVENTS_COMPLETE &&
                      ippGetStatusCode(response) != IPP_STATUS_ERROR_NOT_FOUND)) {
        Fail("listing the CUPS queues");
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

bool CupsSpooler::FindQueue(const std::string& name, Queue* queue) {
    std::vector<Queue> queues;
    if (!ListQueues(&queues)) {
        return false;
    }
    for (const Queue& found : queues) {
        if (AsciiEqualsNoCase(found.name, name)) {  // as CUPS finds its queues
            *queue = found;
            return true;
        }
    }
    m_strLastError = "no local CUPS queue " + name;
    return false;
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
        why.fix += (why.fix.empty() ? "" : " && ") + std::string(command) + " " +
                   ShellWord(queue.name);
    };
    if (queue.state == kStateStopped) {
        add("paused", "cupsenable");
    }
    if (!queue.acceptingJobs) {
        add("rejecting jobs", "cupsaccept");
    }
    return why;
}

PrinterList CupsSpooler::EnumLocalPrinters() {
    PrinterList list;
    std::vector<Queue> queues;
    if (!ListQueues(&queues)) {
        list.status = SpoolerQueryStatus::kSizeQueryFailed;
        return list;
    }
    for (const Queue& queue : queues) {
        list.printers.push_back(ToPrinterInfo(queue));
    }
    list.status = SpoolerQueryStatus::kOk;
    return list;
}

BOOL CupsSpooler::OpenPrinter(const std::string& printerName, PrinterHandle* printer) {
    Queue queue;
    if (printerName.empty() || !FindQueue(printerName, &queue)) {
        return 0;
    }
    auto* opened = new Printer;
    opened->name = queue.name;
    *printer = opened;
    return 1;
}

PrinterQuery CupsSpooler::GetPrinter(PrinterHandle printer) {
    PrinterQuery query;
    Queue queue;
    if (!printer || !FindQueue(static_cast<Printer*>(printer)->name, &queue)) {
        query.status = SpoolerQueryStatus::kSizeQueryFailed;
        return query;
    }
    query.info = ToPrinterInfo(queue);
    query.status = SpoolerQueryStatus::kOk;
    return query;
}

BOOL CupsSpooler::ClosePrinter(PrinterHandle printer) {
    auto* p = static_cast<Printer*>(printer);
    if (!p) {
        return 0;
    }
    if (p->http) {
        AbandonJob(p);  // never leave a job half sent
    }
    delete p;
    return 1;
}

DWORD CupsSpooler::StartDocPrinter(PrinterHandle printer, const DocInfo& doc) {
    auto* p = static_cast<Printer*>(printer);
    if (!p || p->http || p->jobId) {
        m_strLastError = "a job is already open on this printer";
        return 0;
    }
    if (doc.dataType != "RAW" || doc.outputFile) {
        m_strLastError = "only raw jobs to the queue are supported";
        return 0;
    }
    p->http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                           kConnectTimeoutMs, nullptr);
    if (!p->http) {
        Fail("connecting to the CUPS server");
        return 0;
    }
    p->jobId = cupsCreateJob(p->http, p->name.c_str(), doc.docName.c_str(), 0, nullptr);
    if (!p->jobId) {
        Fail("creating the job on " + p->name);
        httpClose(p->http);
        p->http = nullptr;
        return 0;
    }
    if (cupsStartDocument(p->http, p->name.c_str(), p->jobId, doc.docName.c_str(),
                          CUPS_FORMAT_RAW, 1) != HTTP_STATUS_CONTINUE) {
        Fail("starting the document of job " + std::to_string(p->jobId));
        AbandonJob(p);
        return 0;
    }
    p->bytesSent = 0;
    p->failed = false;
    return static_cast<DWORD>(p->jobId);
}

BOOL CupsSpooler::StartPagePrinter(PrinterHandle printer) {
    if (!printer || !static_cast<Printer*>(printer)->http) {
        m_strLastError = "no open job to start a page of";
        return 0;
    }
    return 1;
}

BOOL CupsSpooler::WritePrinter(PrinterHandle printer, const void* data, DWORD size,
                               DWORD* written) {
    auto* p = static_cast<Printer*>(printer);
    if (written) {
        *written = 0;
    }
    if (!p || !p->http || p->failed) {
        m_strLastError = "no open job to write to";
        return 0;
    }
    if (size == 0) {
        return 1;
    }
    if (cupsWriteRequestData(p->http, static_cast<const char*>(data), size) !=
        HTTP_STATUS_CONTINUE) {
        Fail("sending job " + std::to_string(p->jobId));
        p->failed = true;  // whatever follows, this job is not finished
        return 0;
    }
    p->bytesSent += size;
    if (written) {
        *written = size;
    }
    return 1;
}

BOOL CupsSpooler::EndPagePrinter(PrinterHandle printer) {
    if (!printer || !static_cast<Printer*>(printer)->http) {
        m_strLastError = "no open job to end a page of";
        return 0;
    }
    return 1;
}

BOOL CupsSpooler::EndDocPrinter(PrinterHandle printer) {
    auto* p = static_cast<Printer*>(printer);
    if (!p || !p->http) {
        m_strLastError = "no open job to end";
        return 0;
    }
    if (p->failed || p->bytesSent == 0) {
        // CUPS does not finish a document without bytes and holds its job until
        // it is cancelled; a failed one must not print.
        const std::string why = p->failed ? m_strLastError : "CUPS refuses an empty document";
        AbandonJob(p);
        m_strLastError = why;
        return 0;
    }
    if (cupsFinishDocument(p->http, p->name.c_str()) > IPP_STATUS_OK_EVENTS_COMPLETE) {
        Fail("finishing job " + std::to_string(p->jobId));
        const std::string why = m_strLastError;
        AbandonJob(p);
        m_strLastError = why;
        return 0;
    }
    httpClose(p->http);
    p->http = nullptr;
    p->jobId = 0;
    return 1;
}

BOOL CupsSpooler::CancelJob(PrinterHandle printer, DWORD jobId) {
    auto* p = static_cast<Printer*>(printer);
    if (!p || !jobId) {
        return 0;
    }
    const bool cancelled =
        cupsCancelJob2(CUPS_HTTP_DEFAULT, p->name.c_str(), static_cast<int>(jobId), 0) ==
        IPP_STATUS_OK;
    if (!cancelled) {
        Fail("cancelling job " + std::to_string(jobId));
    }
    if (p->jobId == static_cast<int>(jobId)) {
        if (p->http) {
            httpClose(p->http);
        }
        p->http = nullptr;
        p->jobId = 0;
        p->failed = false;
    }
    return cancelled ? 1 : 0;
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

JobStatus CupsSpooler::GetJob(PrinterHandle printer, DWORD jobId) {
    auto* p = static_cast<Printer*>(printer);
    JobStatus status;
    if (!p || !jobId) {
        m_strLastError = "no such job";
        return status;
    }
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                     "/jobs/%u", static_cast<unsigned>(jobId));
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
        Fail("asking CUPS for job " + std::to_string(jobId));
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
        status.fix = "lpadmin -p " + ShellWord(p->name) + " -o job-hold-until-default=no-hold";
    }
    Queue queue;
    if (FindQueue(p->name, &queue)) {
        status.queueStopped = queue.state == kStateStopped;
        const std::string resume = OfflineReasonOf(queue).fix;
        if (!resume.empty()) {
            status.fix += (status.fix.empty() ? "" : " && ") + resume;
        }
    }
    return status;
}

void CupsSpooler::AbandonJob(Printer* p) {
    // Cancel over the default connection while the document request is still
    // open, then drop the job's own connection: nothing reaches the device.
    if (p->jobId && cupsCancelJob2(CUPS_HTTP_DEFAULT, p->name.c_str(), p->jobId, 0) !=
                        IPP_STATUS_OK) {
        Fail("cancelling job " + std::to_string(p->jobId));
    }
    if (p->http) {
        httpClose(p->http);
    }
    p->http = nullptr;
    p->jobId = 0;
    p->failed = false;
}

}  // namespace marnel
