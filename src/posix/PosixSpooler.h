// The spooler of a Linux machine, read from one look (see PrinterLook.h):
// the CUPS queues first, then the maker's USB devices that no queue names,
// listed as the printers their queues would be (see UsbPrinterMatch.h). A
// usb:// printer whose device is not on the bus, or that is left out, is
// offline and says why. A job to a queue goes to CUPS; a job to a queue-less
// device goes straight to it as it is written (see UsbDeviceJob.h).
#pragma once

#include <string>

#include "platform/Spooler.h"
#include "posix/PrinterLook.h"
#include "posix/UsbDeviceJob.h"

namespace marnel {

class PosixSpooler : public ISpooler {
public:
    PosixSpooler(CupsSpooler& cups, PrinterLooker look, const UsbDeviceJob::Options& jobOptions);
    ~PosixSpooler() override;

    // The sources are "CUPS" and "USB"; without CUPS the devices alone make a listing.
    PrinterList EnumLocalPrinters() override;
    // Paused or rejecting (with the cupsenable / cupsaccept that resumes
    // it), and for a usb:// printer a device that is not on the bus or a
    // printer left out.
    OfflineReason ExplainOffline(const PrinterInfo& printer) override;
    // The driver (make and model): a queue's name is the user's, and cannot
    // hold the spaces of "Zarvel KQ-10".
    std::string ModelName(const PrinterInfo& printer) override;
    BOOL OpenPrinter(const std::string& printerName, PrinterHandle* printer) override;
    PrinterQuery GetPrinter(PrinterHandle printer) override;
    BOOL ClosePrinter(PrinterHandle printer) override;
    DWORD StartDocPrinter(PrinterHandle printer, const DocInfo& doc) override;
    BOOL StartPagePrinter(PrinterHandle printer) override;
    // A queue-less device's *written is what the device took.
    BOOL WritePrinter(PrinterHandle printer, const void* data, DWORD size, DWORD* written) override;
    BOOL EndPagePrinter(PrinterHandle printer) override;
    BOOL EndDocPrinter(PrinterHandle printer) override;
    BOOL CancelJob(PrinterHandle printer, DWORD jobId) override;
    // A queue's job as CUPS tells it; a queue-less device took its job as
    // it was written, so once it ended it is done.
    JobStatus GetJob(PrinterHandle printer, DWORD jobId) override;

    std::string LastError() const override { return m_strLastError; }

private:
    struct Handle;

    // Non-zero when the printer has a job open; else `noJob` is the error.
    BOOL PageStep(PrinterHandle printer, const char* noJob);
    // The printer of this name in `look`; null, with the cause, when there is none.
    const UsbMatchedPrinter* Find(const PrinterLook& look, const std::string& printerName);

    CupsSpooler& m_cups;
    PrinterLooker m_look;
    UsbDeviceJob::Options m_jobOptions;
    DWORD m_nNextJobId = 1;
    std::string m_strLastError;
};

}  // namespace marnel
