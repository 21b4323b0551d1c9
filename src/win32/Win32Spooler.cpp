#include "win32/Win32Spooler.h"

#include "win32/Win32SystemMessage.h"
#include "win32/WindowsApi.h"

#include <vector>

namespace marnel {
namespace {

std::string Text(const char* text) { return text != nullptr ? std::string(text) : std::string(); }

PrinterInfo FromRecord(const PRINTER_INFO_2A& record) {
    PrinterInfo info;
    info.printerName = Text(record.pPrinterName);
    info.driverName = Text(record.pDriverName);
    info.portName = Text(record.pPortName);
    info.attributes = static_cast<DWORD>(record.Attributes);
    return info;
}

// A buffer of `Record`s of at least `bytes` bytes: the records hold
// pointers, so it must be aligned for them.
template <typename Record>
std::vector<Record> RecordBuffer(::DWORD bytes) {
    const std::size_t count = (bytes + sizeof(Record) - 1) / sizeof(Record);
    return std::vector<Record>(count > 0 ? count : 1);
}

JobState StateOf(::DWORD status) {
    if (status & (JOB_STATUS_DELETING | JOB_STATUS_DELETED)) {
        return JobState::kCancelled;
    }
    if (status & (JOB_STATUS_ERROR | JOB_STATUS_OFFLINE | JOB_STATUS_PAPEROUT |
                  JOB_STATUS_BLOCKED_DEVQ | JOB_STATUS_USER_INTERVENTION)) {
        return JobState::kStopped;
    }
    if (status & JOB_STATUS_PAUSED) {
        return JobState::kHeld;
    }
    if (status & (JOB_STATUS_PRINTING | JOB_STATUS_PRINTED | JOB_STATUS_COMPLETE)) {
        return JobState::kDone;
    }
    return JobState::kPending;  // spooling, restarted, or waiting with no bit set
}

// The bits that keep a job from the device, in words, when the port gave none.
std::string StatusWords(::DWORD status) {
    const struct {
        ::DWORD bit;
        const char* words;
    } kWords[] = {
        {JOB_STATUS_PAUSED, "paused"},
        {JOB_STATUS_ERROR, "error"},
        {JOB_STATUS_OFFLINE, "printer offline"},
        {JOB_STATUS_PAPEROUT, "out of paper"},
        {JOB_STATUS_BLOCKED_DEVQ, "blocked by the driver"},
        {JOB_STATUS_USER_INTERVENTION, "waiting for the user"},
        {JOB_STATUS_DELETED, "deleted"},
    };
    std::string words;
    for (const auto& w : kWords) {
        if (status & w.bit) {
            words += (words.empty() ? "" : ", ") + std::string(w.words);
        }
    }
    return words;
}

}  // namespace

void Win32Spooler::Failed(::DWORD error) {
    m_strLastError = SystemMessage(error);
}

PrinterList Win32Spooler::EnumLocalPrinters() {
    PrinterList list;
    ::DWORD needed = 0;
    ::DWORD returned = 0;
    if (!EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned)) {
        const ::DWORD error = GetLastError();
        if (error != ERROR_INSUFFICIENT_BUFFER) {
            Failed(error);
            list.status = SpoolerQueryStatus::kSizeQueryFailed;
            return list;
        }
    } else if (needed == 0) {
        // Nothing to read: the spooler has no local printers.
        list.status = SpoolerQueryStatus::kOk;
        return list;
    }
    std::vector<PRINTER_INFO_2A> buffer = RecordBuffer<PRINTER_INFO_2A>(needed);
    if (!Checked(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2,
                               reinterpret_cast<LPBYTE>(buffer.data()), needed, &needed,
                               &returned))) {
        list.status = SpoolerQueryStatus::kReadFailed;
        return list;
    }
    list.status = SpoolerQueryStatus::kOk;
    for (::DWORD i = 0; i < returned && i < buffer.size(); ++i) {
        list.printers.push_back(FromRecord(buffer[i]));
    }
    return list;
}

BOOL Win32Spooler::OpenPrinter(const std::string& printerName, PrinterHandle* printer) {
    HANDLE handle = nullptr;
    // The name parameter is not const in the API; the spooler does not write it.
    if (!Checked(OpenPrinterA(const_cast<LPSTR>(printerName.c_str()), &handle, nullptr))) {
        return 0;
    }
    *printer = handle;
    return 1;
}

SpoolerQueryStatus Win32Spooler::ReadPrinter(PrinterHandle printer,
                                             std::vector<PRINTER_INFO_2A>* buffer) {
    ::DWORD needed = 0;
    if (!GetPrinterA(printer, 2, nullptr, 0, &needed)) {
        const ::DWORD error = GetLastError();
        if (error != ERROR_INSUFFICIENT_BUFFER) {
            Failed(error);
            return SpoolerQueryStatus::kSizeQueryFailed;
        }
    }
    *buffer = RecordBuffer<PRINTER_INFO_2A>(needed);
    if (!Checked(
            GetPrinterA(printer, 2, reinterpret_cast<LPBYTE>(buffer->data()), needed, &needed))) {
        return SpoolerQueryStatus::kReadFailed;
    }
    return SpoolerQueryStatus::kOk;
}

PrinterQuery Win32Spooler::GetPrinter(PrinterHandle printer) {
    PrinterQuery query;
    std::vector<PRINTER_INFO_2A> buffer;
    query.status = ReadPrinter(printer, &buffer);
    if (query.status == SpoolerQueryStatus::kOk) {
        query.info = FromRecord(buffer[0]);
    }
    return query;
}

BOOL Win32Spooler::ClosePrinter(PrinterHandle printer) {
    return Checked(::ClosePrinter(printer));
}

DWORD Win32Spooler::StartDocPrinter(PrinterHandle printer, const DocInfo& doc) {
    // DOC_INFO_1A's strings are not const in the API; the spooler only reads them.
    DOC_INFO_1A info{};
    info.pDocName = const_cast<LPSTR>(doc.docName.c_str());
    info.pOutputFile = const_cast<LPSTR>(doc.outputFile);
    info.pDatatype = const_cast<LPSTR>(doc.dataType.c_str());
    return static_cast<DWORD>(
        Checked(StartDocPrinterA(printer, 1, reinterpret_cast<LPBYTE>(&info))));
}

BOOL Win32Spooler::StartPagePrinter(PrinterHandle printer) {
    return Checked(::StartPagePrinter(printer));
}

BOOL Win32Spooler::WritePrinter(PrinterHandle printer, const void* data, DWORD size,
                                DWORD* written) {
    ::DWORD count = 0;
    const BOOL ok = Checked(::WritePrinter(printer, const_cast<void*>(data), size, &count));
    if (written != nullptr) {
        *written = static_cast<DWORD>(count);
    }
    return ok;
}

BOOL Win32Spooler::EndPagePrinter(PrinterHandle printer) {
    return Checked(::EndPagePrinter(printer));
}

BOOL Win32Spooler::EndDocPrinter(PrinterHandle printer) {
    return Checked(::EndDocPrinter(printer));
}

BOOL Win32Spooler::CancelJob(PrinterHandle printer, DWORD jobId) {
    return Checked(SetJobA(printer, jobId, 0, nullptr, JOB_CONTROL_DELETE));
}

JobStatus Win32Spooler::GetJob(PrinterHandle printer, DWORD jobId) {
    JobStatus status;
    ::DWORD needed = 0;
    std::vector<JOB_INFO_1A> buffer;
    ::DWORD error = ERROR_INSUFFICIENT_BUFFER;
    if (!GetJobA(printer, jobId, 1, nullptr, 0, &needed)) {
        error = GetLastError();
    }
    if (error == ERROR_INSUFFICIENT_BUFFER) {
        buffer = RecordBuffer<JOB_INFO_1A>(needed);
        error = GetJobA(printer, jobId, 1, reinterpret_cast<LPBYTE>(buffer.data()), needed, &needed)
                    ? ERROR_SUCCESS
                    : GetLastError();
    }
    std::vector<PRINTER_INFO_2A> record;
    const bool printerRead = ReadPrinter(printer, &record) == SpoolerQueryStatus::kOk;
    if (error != ERROR_SUCCESS) {
        // A job that is no longer queued was printed: the spooler says the
        // id is no parameter of its (ERROR_INVALID_PARAMETER), or, as Wine
        // does, that the handle is not one for it while the handle still
        // reads its printer.
        if (error == ERROR_INVALID_PARAMETER || (error == ERROR_INVALID_HANDLE && printerRead)) {
            status.state = JobState::kDone;
        } else {
            Failed(error);
        }
        return status;
    }
    const JOB_INFO_1A& job = buffer[0];
    status.state = StateOf(job.Status);
    status.reason = Text(job.pStatus);
    if (status.reason.empty()) {
        status.reason = StatusWords(job.Status);
    }
    status.queueStopped =
        printerRead && ((record[0].Status & PRINTER_STATUS_PAUSED) != 0 ||
                        (record[0].Attributes & PRINTER_ATTRIBUTE_WORK_OFFLINE) != 0);
    return status;
}

}  // namespace marnel
