#include "win32/Win32Spooler.h"

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

// The record buffer: PRINTER_INFO_2A holds pointers, so it must be aligned
// for them; a vector of them gives that and at least `bytes` bytes.
std::vector<PRINTER_INFO_2A> RecordBuffer(::DWORD bytes) {
    const std::size_t count = (bytes + sizeof(PRINTER_INFO_2A) - 1) / sizeof(PRINTER_INFO_2A);
    return std::vector<PRINTER_INFO_2A>(count > 0 ? count : 1);
}

}  // namespace

PrinterList Win32Spooler::EnumLocalPrinters() {
    PrinterList list;
    ::DWORD needed = 0;
    ::DWORD returned = 0;
    if (!EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            list.status = SpoolerQueryStatus::kSizeQueryFailed;
            return list;
        }
    } else if (needed == 0) {
        // Nothing to read: the spooler has no local printers.
        list.status = SpoolerQueryStatus::kOk;
        return list;
    }
    std::vector<PRINTER_INFO_2A> buffer = RecordBuffer(needed);
    if (!EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, reinterpret_cast<LPBYTE>(buffer.data()),
                       needed, &needed, &returned)) {
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
    if (!OpenPrinterA(const_cast<LPSTR>(printerName.c_str()), &handle, nullptr)) {
        return 0;
    }
    *printer = handle;
    return 1;
}

PrinterQuery Win32Spooler::GetPrinter(PrinterHandle printer) {
    PrinterQuery query;
    ::DWORD needed = 0;
    if (!GetPrinterA(printer, 2, nullptr, 0, &needed) &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        query.status = SpoolerQueryStatus::kSizeQueryFailed;
        return query;
    }
    std::vector<PRINTER_INFO_2A> buffer = RecordBuffer(needed);
    if (!GetPrinterA(printer, 2, reinterpret_cast<LPBYTE>(buffer.data()), needed, &needed)) {
        query.status = SpoolerQueryStatus::kReadFailed;
        return query;
    }
    query.status = SpoolerQueryStatus::kOk;
    query.info = FromRecord(buffer[0]);
    return query;
}

BOOL Win32Spooler::ClosePrinter(PrinterHandle printer) { return ::ClosePrinter(printer); }

DWORD Win32Spooler::StartDocPrinter(PrinterHandle printer, const DocInfo& doc) {
    // DOC_INFO_1A's strings are not const in the API; the spooler only reads them.
    DOC_INFO_1A info{};
    info.pDocName = const_cast<LPSTR>(doc.docName.c_str());
    info.pOutputFile = const_cast<LPSTR>(doc.outputFile);
    info.pDatatype = const_cast<LPSTR>(doc.dataType.c_str());
    return static_cast<DWORD>(StartDocPrinterA(printer, 1, reinterpret_cast<LPBYTE>(&info)));
}

BOOL Win32Spooler::StartPagePrinter(PrinterHandle printer) { return ::StartPagePrinter(printer); }

BOOL Win32Spooler::WritePrinter(PrinterHandle printer, const void* data, DWORD size,
                                DWORD* written) {
    ::DWORD count = 0;
    const BOOL ok = ::WritePrinter(printer, const_cast<void*>(data), size, &count);
    if (written != nullptr) {
        *written = static_cast<DWORD>(count);
    }
    return ok;
}

BOOL Win32Spooler::EndPagePrinter(PrinterHandle printer) { return ::EndPagePrinter(printer); }

BOOL Win32Spooler::EndDocPrinter(PrinterHandle printer) { return ::EndDocPrinter(printer); }

BOOL Win32Spooler::CancelJob(PrinterHandle printer, DWORD jobId) {
    return SetJobA(printer, jobId, 0, nullptr, JOB_CONTROL_DELETE);
}

}  // namespace marnel
