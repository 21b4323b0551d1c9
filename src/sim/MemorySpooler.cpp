#include "sim/MemorySpooler.h"

#include <algorithm>
#include <new>

#include "platform/AsciiCase.h"
#include "sim/SimDevice.h"

namespace marnel {

namespace {

// Key of the fault tables: the name in lower case, as names match ignoring case.
std::string Key(const std::string& name) { return AsciiLowered(name); }

SpoolerQueryStatus StatusOf(SpoolerFault fault) {
    switch (fault) {
        case SpoolerFault::kSizeQueryFailed:
            return SpoolerQueryStatus::kSizeQueryFailed;
        case SpoolerFault::kReadFailed:
            return SpoolerQueryStatus::kReadFailed;
        case SpoolerFault::kOutOfMemory:
            throw std::bad_alloc();
        case SpoolerFault::kNone:
            break;
    }
    return SpoolerQueryStatus::kOk;
}

}  // namespace

void MemorySpooler::AddPrinter(const PrinterInfo& printer) {
    m_printers.push_back(printer);
}

bool MemorySpooler::RemovePrinter(const std::string& printerName) {
    const auto it = std::find_if(m_printers.begin(), m_printers.end(), [&](const PrinterInfo& p) {
        return AsciiEqualsNoCase(p.printerName, printerName);
    });
    if (it == m_printers.end()) {
        return false;
    }
    m_printers.erase(it);
    return true;
}

bool MemorySpooler::SetAttributes(const std::string& printerName, DWORD attributes) {
    PrinterInfo* printer = FindPrinter(printerName);
    if (printer == nullptr) {
        return false;
    }
    printer->attributes = attributes;
    return true;
}

void MemorySpooler::SetOpenFails(const std::string& printerName, bool fails) {
    if (fails) {
        m_openFails.insert(Key(printerName));
    } else {
        m_openFails.erase(Key(printerName));
    }
}

void MemorySpooler::SetGetPrinterFault(const std::string& printerName, SpoolerFault fault) {
    m_getPrinterFaults[Key(printerName)] = fault;
}

std::size_t MemorySpooler::CountCalls(const std::string& call) const {
    return static_cast<std::size_t>(
        std::count_if(m_calls.begin(), m_calls.end(), [&](const std::string& c) {
            return c == call || c.compare(0, call.size() + 1, call + " ") == 0;
        }));
}

PrinterInfo* MemorySpooler::FindPrinter(const std::string& printerName) {
    for (PrinterInfo& printer : m_printers) {
        if (AsciiEqualsNoCase(printer.printerName, printerName)) {
            return &printer;
        }
    }
    return nullptr;
}

MemorySpooler::Handle* MemorySpooler::FindHandle(PrinterHandle printer) {
    const auto it = m_handles.find(printer);
    return it == m_handles.end() ? nullptr : &it->second;
}

SpoolerJob* MemorySpooler::JobOf(PrinterHandle printer) {
    Handle* handle = FindHandle(printer);
    return handle == nullptr || handle->job == 0 ? nullptr : &m_jobs[handle->job - 1];
}

PrinterList MemorySpooler::EnumLocalPrinters() {
    m_calls.push_back("EnumPrinters");
    PrinterList list;
    list.status = StatusOf(m_enumFault);
    if (list.status == SpoolerQueryStatus::kOk) {
        list.printers = m_printers;
    }
    return list;
}

BOOL MemorySpooler::OpenPrinter(const std::string& printerName, PrinterHandle* printer) {
    m_calls.push_back("OpenPrinter " + printerName);
    const PrinterInfo* info = FindPrinter(printerName);
    if (info == nullptr) {
        return Fail("the printer name is invalid");
    }
    if (m_openFails.count(Key(printerName)) != 0) {
        return Fail(m_faultCause);
    }
    const PrinterHandle handle = reinterpret_cast<PrinterHandle>(m_nextHandle++ * 0x10);
    m_handles[handle] = Handle{info->printerName, 0};
    *printer = handle;
    return 1;
}

PrinterQuery MemorySpooler::GetPrinter(PrinterHandle printer) {
    const Handle* handle = FindHandle(printer);
    m_calls.push_back("GetPrinter" + (handle ? " " + handle->printerName : std::string()));
    PrinterQuery query;
    if (handle == nullptr) {
        query.status = SpoolerQueryStatus::kSizeQueryFailed;  // ERROR_INVALID_HANDLE
        return query;
    }
    const auto fault = m_getPrinterFaults.find(Key(handle->printerName));
    query.status =
        StatusOf(fault == m_getPrinterFaults.end() ? SpoolerFault::kNone : fault->second);
    if (query.status != SpoolerQueryStatus::kOk) {
        return query;
    }
    const PrinterInfo* info = FindPrinter(handle->printerName);
    if (info == nullptr) {
        query.status = SpoolerQueryStatus::kSizeQueryFailed;  // deleted since it was opened
        return query;
    }
    query.info = *info;
    return query;
}

BOOL MemorySpooler::ClosePrinter(PrinterHandle printer) {
    Handle* handle = FindHandle(printer);
    m_calls.push_back("ClosePrinter" + (handle ? " " + handle->printerName : std::string()));
    if (handle == nullptr) {
        ++m_badCloses;
        return 0;
    }
    if (SpoolerJob* job = JobOf(printer);
        job != nullptr && job->state == SpoolerJob::State::kOpen) {
        job->state = SpoolerJob::State::kAbandoned;  // never ended: nothing reaches the port
    }
    m_handles.erase(printer);
    return 1;
}

DWORD MemorySpooler::StartDocPrinter(PrinterHandle printer, const DocInfo& doc) {
    Handle* handle = FindHandle(printer);
    m_calls.push_back("StartDocPrinter " + doc.docName);
    if (handle == nullptr || handle->job != 0) {
        return Fail(handle == nullptr ? "the handle is invalid" : "a job is already open");
    }
    if (m_startDocFails) {
        return Fail(m_faultCause);
    }
    SpoolerJob job;
    job.jobId = static_cast<DWORD>(m_jobs.size() + 1);
    job.printerName = handle->printerName;
    if (const PrinterInfo* info = FindPrinter(handle->printerName)) {
        job.portName = info->portName;
    }
    job.docName = doc.docName;
    job.hasOutputFile = doc.outputFile != nullptr;
    job.outputFile = doc.outputFile != nullptr ? doc.outputFile : "";
    job.dataType = doc.dataType;
    m_jobs.push_back(job);
    handle->job = m_jobs.size();
    return job.jobId;
}

BOOL MemorySpooler::StartPagePrinter(PrinterHandle printer) {
    m_calls.push_back("StartPagePrinter");
    SpoolerJob* job = JobOf(printer);
    if (job == nullptr || job->state != SpoolerJob::State::kOpen) {
        return Fail("no open job");
    }
    ++job->pagesStarted;
    return 1;
}

BOOL MemorySpooler::WritePrinter(PrinterHandle printer, const void* data, DWORD size,
                                 DWORD* written) {
    m_calls.push_back("WritePrinter " + std::to_string(size));
    const std::size_t call = m_writeCalls++;
    *written = 0;
    SpoolerJob* job = JobOf(printer);
    if (job == nullptr || job->state != SpoolerJob::State::kOpen) {
        return Fail("no open job");
    }
    job->writeSizes.push_back(size);
    if (m_failedWrites.count(call) != 0) {
        return Fail(m_faultCause);
    }
    DWORD taken = size;
    if (const auto shortWrite = m_shortWrites.find(call); shortWrite != m_shortWrites.end()) {
        taken = std::min(size, shortWrite->second);
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (m_keepJobData) {
        job->data.insert(job->data.end(), bytes, bytes + taken);
    }
    job->size += taken;
    job->crc32 = Crc32(bytes, taken, job->crc32);
    *written = taken;
    return 1;
}

BOOL MemorySpooler::EndPagePrinter(PrinterHandle printer) {
    m_calls.push_back("EndPagePrinter");
    SpoolerJob* job = JobOf(printer);
    if (job == nullptr || job->state != SpoolerJob::State::kOpen) {
        return Fail("no open job");
    }
    ++job->pagesEnded;
    return 1;
}

BOOL MemorySpooler::EndDocPrinter(PrinterHandle printer) {
    m_calls.push_back("EndDocPrinter");
    Handle* handle = FindHandle(printer);
    SpoolerJob* job = JobOf(printer);
    if (job == nullptr) {
        return Fail("no open job");
    }
    handle->job = 0;
    if (job->state != SpoolerJob::State::kOpen) {
        return Fail("the job was cancelled");
    }
    if (m_endDocFails) {
        job->state = SpoolerJob::State::kAbandoned;
        return Fail(m_faultCause);
    }
    if (!m_jobScript.empty() && m_jobScript.front().state != JobState::kDone) {
        job->state = SpoolerJob::State::kWaiting;
        m_waiting[job->jobId] = std::move(m_jobScript);
        m_jobScript.clear();
        return 1;
    }
    m_jobScript.clear();
    Deliver(*job);
    return 1;
}

void MemorySpooler::Deliver(SpoolerJob& job) {
    job.state = SpoolerJob::State::kDelivered;
    if (m_onDelivered) {
        m_onDelivered(job);
    }
}

BOOL MemorySpooler::Fail(const std::string& cause) {
    m_lastError = cause;
    return 0;
}

BOOL MemorySpooler::CancelJob(PrinterHandle printer, DWORD jobId) {
    m_calls.push_back("CancelJob " + std::to_string(jobId));
    const Handle* handle = FindHandle(printer);
    if (handle == nullptr || jobId == 0 || jobId > m_jobs.size()) {
        return Fail("no such job");
    }
    SpoolerJob& job = m_jobs[jobId - 1];
    if (!AsciiEqualsNoCase(job.printerName, handle->printerName) ||
        job.state == SpoolerJob::State::kDelivered) {
        return Fail("the job cannot be cancelled");
    }
    job.state = SpoolerJob::State::kCancelled;
    job.data.clear();
    m_waiting.erase(jobId);
    return 1;
}

JobStatus MemorySpooler::GetJob(PrinterHandle printer, DWORD jobId) {
    m_calls.push_back("GetJob " + std::to_string(jobId));
    const Handle* handle = FindHandle(printer);
    JobStatus status;
    if (handle == nullptr || jobId == 0 || jobId > m_jobs.size()) {
        Fail("no such job");
        return status;
    }
    SpoolerJob& job = m_jobs[jobId - 1];
    switch (job.state) {
        case SpoolerJob::State::kOpen:
            status.state = JobState::kPending;
            break;
        case SpoolerJob::State::kDelivered:
            status.state = JobState::kDone;
            break;
        case SpoolerJob::State::kCancelled:
        case SpoolerJob::State::kAbandoned:
            status.state = JobState::kCancelled;
            break;
        case SpoolerJob::State::kWaiting: {
            std::deque<JobStatus>& script = m_waiting[jobId];
            status = script.front();
            if (script.size() > 1) {
                script.pop_front();
            }
            if (status.state == JobState::kDone) {
                m_waiting.erase(jobId);
                Deliver(job);
            } else if (status.state == JobState::kCancelled) {
                m_waiting.erase(jobId);
                job.state = SpoolerJob::State::kCancelled;
            }
            break;
        }
    }
    return status;
}

}  // namespace marnel
