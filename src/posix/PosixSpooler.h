// The spooler of a Linux machine: the CUPS queues first, then the maker's
// USB devices that no queue names, listed as the printers their queues would
// be ("Zarvel KQ-10", driver "Zarvel KQ-10", port
// usb://Zarvel/KQ-10?serial=...#; a device without a serial number of its
// own is told by its USB port path, ?location=1-2.3). A usb:// queue's port
// is its device URI as PresentedUsbPort writes it, any other queue's its
// URI as it stands (see PresentedQueuePort for what is no URI). A printer
// whose port is not presented (see UsbPortPlan.h), whose device is not on
// the bus, or whose device URI is no URI is offline. A raw job to a
// queue-less device is kept in a temporary file and handed to the device's
// bulk OUT pipe only when it is complete, so that a cancelled or failed job
// never reaches the device in part.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/Spooler.h"
#include "posix/UsbPortPlan.h"
#include "posix/UsbPrinterNames.h"

namespace marnel {

class CupsSpooler;
class LibusbSession;

class PosixSpooler : public ISpooler {
public:
    PosixSpooler(CupsSpooler& cups, LibusbSession& session, UsbDeviceLister listDevices,
                 unsigned sendTimeoutMs = 30000);
    ~PosixSpooler() override;

    // The sources are "CUPS" and "USB".
    PrinterList EnumLocalPrinters() override;
    // Paused or rejecting (with the cupsenable / cupsaccept that resumes
    // it), and for a usb:// printer a device that is not on the bus or a
    // port left out.
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
    // A queue's job as CUPS tells it; a queue-less device's job went whole
    // at EndDocPrinter, so once it ended it is done.
    JobStatus GetJob(PrinterHandle printer, DWORD jobId) override;

    std::string LastError() const override;

    // Why the printer on `portName` has no device to open when its port is
    // left out; empty otherwise.
    std::string SkipReason(const std::string& portName);

private:
    // The maker's devices that no queue names, with the printers they are
    // listed as, in listing order.
    struct QueuelessPrinter {
        PrinterInfo info;
        UsbPrinterDevice device;
    };
    // One look at the bus, and the ports presented for it and the queues.
    struct UsbView {
        bool devicesListed = false;
        std::string error;  // why the bus could not be read
        std::vector<UsbPrinterDevice> devices;
        std::vector<UsbPort> plan;
    };
    struct Handle;

    UsbView LookAtUsb(const std::vector<QueuePort>& queues);
    std::vector<QueuePort> CupsQueuePorts();
    static std::vector<QueuelessPrinter> QueuelessPrinters(const UsbView& view);
    // A usb:// queue gets its presented port, and is offline while its
    // device is not on the bus or its port is left out (the reason is
    // returned; empty otherwise); when the bus cannot be looked at, the
    // queue's own state stands.
    static std::string PresentQueue(const UsbView& view, PrinterInfo* info);

    CupsSpooler& m_cups;
    LibusbSession& m_session;
    UsbDeviceLister m_listDevices;
    unsigned m_sendTimeoutMs;
    DWORD m_nextJobId = 1;
    std::string m_strLastError;
    // Why each printer of the last listing is offline, by printer name.
    std::vector<std::pair<std::string, OfflineReason>> m_offline;
};

}  // namespace marnel
