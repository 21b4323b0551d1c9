#include "posix/PosixSpooler.h"

#include <memory>

#include "posix/CupsSpooler.h"

namespace marnel {

namespace {

// A printer as the spooler lists it: offline when the bus was read and its
// usb:// port leads to no device.
PrinterInfo Present(const PrinterLook& look, const UsbMatchedPrinter& printer,
                    OfflineReason* offline) {
    PrinterInfo info = printer.info;
    OfflineReason why =
        printer.queue >= 0
            ? CupsSpooler::OfflineReasonOf(look.queues[static_cast<std::size_t>(printer.queue)])
            : OfflineReason();
    if (printer.usb && printer.device < 0 && look.usbOk) {
        const std::string usb =
            printer.leftOut.empty() ? "device not present" : "left out: " + printer.leftOut;
        why.reason = usb + (why.reason.empty() ? "" : "; " + why.reason);
        info.attributes |= kPrinterAttributeWorkOffline;
    }
    if (offline) {
        *offline = why;
    }
    return info;
}

}  // namespace

struct PosixSpooler::Handle {
    std::string name;
    bool queue = false;
    PrinterHandle cups = nullptr;  // a queue's, once a job starts
    UsbPrinterDevice device;       // a queue-less device's
    std::unique_ptr<UsbDeviceJob> job;
    DWORD jobId = 0;
    bool failed = false;
};

PosixSpooler::PosixSpooler(CupsSpooler& cups, PrinterLooker look,
                           const UsbDeviceJob::Options& jobOptions)
    : m_cups(cups), m_look(std::move(look)), m_jobOptions(jobOptions) {}

PosixSpooler::~PosixSpooler() = default;

std::string PosixSpooler::LastError() const {
    return m_strLastError.empty() ? m_cups.LastError() : m_strLastError;
}

const UsbMatchedPrinter* PosixSpooler::Find(const PrinterLook& look,
                                            const std::string& printerName) {
    for (const UsbMatchedPrinter& printer : look.match.printers) {
        if (printer.info.printerName == printerName) {
            return &printer;
        }
    }
    m_strLastError = "no printer named " + printerName;
    return nullptr;
}

PrinterList PosixSpooler::EnumLocalPrinters() {
    m_strLastError.clear();
    const PrinterLook& look = m_look();
    PrinterList list;
    list.sources.push_back(
        {"CUPS", look.cupsOk, look.cupsOk ? "" : "CUPS could not be reached", look.cupsError});
    list.sources.push_back(
        {"USB", look.usbOk, look.usbOk ? "" : "the USB bus could not be read", look.usbError});
    for (const UsbMatchedPrinter& printer : look.match.printers) {
        list.printers.push_back(Present(look, printer, nullptr));
    }
    list.status = look.cupsOk || !list.printers.empty() ? SpoolerQueryStatus::kOk
                                                        : SpoolerQueryStatus::kSizeQueryFailed;
    return list;
}

OfflineReason PosixSpooler::ExplainOffline(const PrinterInfo& printer) {
    const PrinterLook& look = m_look();
    const UsbMatchedPrinter* listed = Find(look, printer.printerName);
    OfflineReason offline;
    if (listed) {
        Present(look, *listed, &offline);
    }
    return offline;
}

std::string PosixSpooler::ModelName(const PrinterInfo& printer) {
    return printer.driverName.empty() ? printer.printerName : printer.driverName;
}

BOOL PosixSpooler::OpenPrinter(const std::string& printerName, PrinterHandle* printer) {
    m_strLastError.clear();
    const PrinterLook& look = m_look();
    const UsbMatchedPrinter* listed = Find(look, printerName);
    if (printerName.empty() || !listed) {
        return 0;
    }
    auto* h = new Handle;
    h->name = printerName;
    h->queue = listed->queue >= 0;
    if (!h->queue && listed->device >= 0) {
        h->device = look.devices[static_cast<std::size_t>(listed->device)];
    }
    *printer = h;
    return 1;
}

PrinterQuery PosixSpooler::GetPrinter(PrinterHandle printer) {
    PrinterQuery query;
    auto* h = static_cast<Handle*>(printer);
    const PrinterLook& look = m_look();
    const UsbMatchedPrinter* listed = h ? Find(look, h->name) : nullptr;
    if (listed) {
        query.info = Present(look, *listed, nullptr);
        query.status = SpoolerQueryStatus::kOk;
    }
    return query;
}

BOOL PosixSpooler::ClosePrinter(PrinterHandle printer) {
    auto* h = static_cast<Handle*>(printer);
    if (!h) {
        return 0;
    }
    const BOOL ok = h->cups ? m_cups.ClosePrinter(h->cups) : 1;
    delete h;  // a device's unfinished job ends where it stopped
    return ok;
}

DWORD PosixSpooler::StartDocPrinter(PrinterHandle printer, const DocInfo& doc) {
    auto* h = static_cast<Handle*>(printer);
    m_strLastError.clear();
    if (!h) {
        return 0;
    }
    if (h->queue) {
        // The queue is asked for only now: listing and probing ask CUPS nothing more.
        if (!h->cups && !m_cups.OpenPrinter(h->name, &h->cups)) {
            return 0;
        }
        return m_cups.StartDocPrinter(h->cups, doc);
    }
    if (h->job || doc.dataType != "RAW" || doc.outputFile) {
        m_strLastError = h->job ? "a job is already open on this printer"
                                : "only raw jobs to the device are supported";
        return 0;
    }
    if (!h->device.usb) {
        m_strLastError = "the printer leads to no device";
        return 0;
    }
    h->job = UsbDeviceJob::Start(h->device, m_jobOptions, &m_strLastError);
    if (!h->job) {
        m_strLastError = "starting the job on the printer: " + m_strLastError;
        return 0;
    }
    h->failed = false;
    h->jobId = m_nNextJobId++;
    return h->jobId;
}

BOOL PosixSpooler::StartPagePrinter(PrinterHandle printer) {
    auto* h = static_cast<Handle*>(printer);
    return !h ? 0 : h->queue ? m_cups.StartPagePrinter(h->cups) : (h->job ? 1 : 0);
}

BOOL PosixSpooler::WritePrinter(PrinterHandle printer, const void* data, DWORD size,
                                DWORD* written) {
    auto* h = static_cast<Handle*>(printer);
    if (written) {
        *written = 0;
    }
    if (!h) {
        return 0;
    }
    if (h->queue) {
        return m_cups.WritePrinter(h->cups, data, size, written);
    }
    if (!h->job || h->failed) {
        m_strLastError = "no open job to write to";
        return 0;
    }
    std::size_t taken = 0;
    h->failed =
        !h->job->Write(static_cast<const std::uint8_t*>(data), size, &taken, &m_strLastError);
    if (written) {
        *written = static_cast<DWORD>(taken);
    }
    if (h->failed) {
        m_strLastError = "sending to the printer: " + m_strLastError;
    }
    return h->failed ? 0 : 1;
}

BOOL PosixSpooler::EndPagePrinter(PrinterHandle printer) {
    auto* h = static_cast<Handle*>(printer);
    return !h ? 0 : h->queue ? m_cups.EndPagePrinter(h->cups) : (h->job ? 1 : 0);
}

BOOL PosixSpooler::EndDocPrinter(PrinterHandle printer) {
    auto* h = static_cast<Handle*>(printer);
    if (!h) {
        return 0;
    }
    if (h->queue) {
        return m_cups.EndDocPrinter(h->cups);
    }
    if (!h->job) {
        m_strLastError = "no open job to end";
        return 0;
    }
    const bool empty = h->job->Taken() == 0;
    if (empty && !h->failed) {
        m_strLastError = "an empty job is not sent";
    }
    const bool ok = !h->failed && !empty;
    h->job.reset();  // gives the interface back to the kernel driver
    return ok ? 1 : 0;
}

BOOL PosixSpooler::CancelJob(PrinterHandle printer, DWORD jobId) {
    auto* h = static_cast<Handle*>(printer);
    if (!h) {
        return 0;
    }
    if (h->queue) {
        return h->cups ? m_cups.CancelJob(h->cups, jobId) : 0;
    }
    if (!h->job || h->jobId != jobId) {
        m_strLastError = "no such job";
        return 0;
    }
    h->job.reset();  // what the device took stays taken
    return 1;
}

JobStatus PosixSpooler::GetJob(PrinterHandle printer, DWORD jobId) {
    auto* h = static_cast<Handle*>(printer);
    if (h && h->cups) {
        return m_cups.GetJob(h->cups, jobId);
    }
    JobStatus status;
    status.state = h ? JobState::kDone : JobState::kUnknown;
    return status;
}

}  // namespace marnel
