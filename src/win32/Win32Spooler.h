// The print spooler back end: local printers and their level-2 records
// (EnumPrintersA, OpenPrinterA, GetPrinterA, ClosePrinter) with the size
// query and read kept in here, and the raw job (StartDocPrinterA ...
// EndDocPrinter, SetJobA to delete a job).
#pragma once

// First, so that the spooler macros are gone before the interface is read.
#include "win32/WindowsApi.h"

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
};

}  // namespace marnel
