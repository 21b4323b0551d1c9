// The print spooler back end: local printers and their level-2 records
// (EnumPrintersA, OpenPrinterA, GetPrinterA, ClosePrinter) with the size
// query and read kept in here, the raw job (StartDocPrinterA ...
// EndDocPrinter, SetJobA to delete a job, GetJobA to see where it stands),
// and the FormatMessage text of the error of each call that failed.
#pragma once

// First, so that the spooler macros are gone before the interface is read.
#include "win32/WindowsApi.h"

#include <string>
#include <vector>

#include "platform/Spooler.h"

namespace marnel {

class Win32Spooler : public ISpooler {
public:
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
    // JOB_INFO_1's Status bits, its pStatus text when the port gave one,
    // and whether the printer is paused or set to work offline. A job the
    // spooler no longer holds was printed.
    JobStatus GetJob(PrinterHandle printer, DWORD jobId) override;
    std::string LastError() const override { return m_strLastError; }

private:
    // GetPrinterA(level 2) into `buffer`: size query, then the read.
    SpoolerQueryStatus ReadPrinter(PrinterHandle printer, std::vector<PRINTER_INFO_2A>* buffer);
    // `result`, having kept the system's words for the last error when it is zero.
    template <typename T>
    T Checked(T result) {
        if (!result) {
            Failed(::GetLastError());
        }
        return result;
    }
    void Failed(::DWORD error);

    std::string m_strLastError;
};

}  // namespace marnel
