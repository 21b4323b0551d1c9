// The spooler of a Linux machine: the CUPS queues first, then the maker's
// USB devices that no queue names, listed as the printers their queues would
// be ("Zarvel KQ-10", driver "Zarvel KQ-10", port usb://Zarvel/KQ-10?serial=...).
// A raw job to such a device is kept in a temporary file and handed to the
// device's bulk OUT pipe only when it is complete, so that a cancelled or
// failed job never reaches the device in part.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Spooler.h"
#include "posix/UsbPrinterNames.h"

namespace marnel {

class CupsSpooler;
class LibusbSession;

class PosixSpooler : public ISpooler {
public:
    // Lists the attached printer-class devices; false, with the cause in
    // *error, when that is impossible.
    using DeviceLister =
        std::function<bool(std::vector<UsbPrinterDevice>* devices, std::string* error)>;

    PosixSpooler(CupsSpooler& cups, LibusbSession& session, DeviceLister listDevices,
                 unsigned sendTimeoutMs = 30000);
    ~PosixSpooler() override;

    // The sources are "CUPS" and "USB".
    PrinterList EnumLocalPrinters() override;
    // Paused or rejecting (with the cupsenable / cupsaccept that resumes
    // it), and for a usb:// queue a device that is not on the bus.
    OfflineReason ExplainOffline(const PrinterInfo& printer) override;
    // The driver (make and model): a queue's name is the user's, and cannot
    // hold the spaces of "Zarvel KQ-10".
    std::string ModelName(const PrinterInfo& printer) override;
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

    const std::string& LastError() const;

    // The maker's devices that no queue names, with the printer names they
    // are listed under, in listing order.
    struct QueuelessPrinter {
        PrinterInfo info;
        UsbPrinterDevice device;
    };
    std::vector<QueuelessPrinter> QueuelessPrinters(const std::vector<std::string>& queueUris);

private:
    // Marks a usb:// queue whose device is not on the bus as offline; true
    // when it did.
    bool MarkAbsentOffline(PrinterInfo* info);
    bool ListDevices(std::vector<UsbPrinterDevice>* devices, std::string* error = nullptr);
    struct Handle;

    CupsSpooler& m_cups;
    LibusbSession& m_session;
    DeviceLister m_listDevices;
    unsigned m_sendTimeoutMs;
    DWORD m_nextJobId = 1;
    std::string m_strLastError;
    // Why each queue of the last listing is offline, by queue name.
    std::vector<std::pair<std::string, OfflineReason>> m_offline;
};

}  // namespace marnel
