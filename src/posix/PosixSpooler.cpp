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

// An open printer and its job: a queue's goes to CUPS, a queue-less device's
// straight to the device.
struct PosixSpooler::Handle {
    std::string name;
    bool queue = false;
    UsbPrinterDevice device;  // a queue-less device's
    std::unique_ptr<CupsJob> cupsJob;
    std::unique_ptr<UsbDeviceJob> deviceJob;
    DWORD jobId = 0;
    bool failed = false;

    bool Open() const { return cupsJob || deviceJob; }
};

PosixSpooler::PosixSpooler(CupsSpooler& cups, PrinterLooker look,
                           const UsbDeviceJob::Options& jobOptions)
    : m_cups(cups), m_look(std::move(look)), m_jobOptions(jobOptions) {}

PosixSpooler::~PosixSpooler() = default;

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
    delete h;  // a queue's open job is cancelled; a device's ends where it stopped
    return h ? 1 : 0;
}

DWORD PosixSpooler::StartDocPrinter(PrinterHandle printer, const DocInfo& doc) {
    auto* h = static_cast<Handle*>(printer);
    m_strLastError.clear();
    if (!h) {
        return 0;
    }
    if (h->Open() || doc.dataType != "RAW" || doc.outputFile) {
        m_strLastError = h->Open()  ? "a job is already open on this printer"
                         : h->queue ? "only raw jobs to the queue are supported"
                                    : "only raw jobs to the device are supported";
        return 0;
    }
    if (h->queue) {
        h->cupsJob = CupsJob::Start(h->name, doc.docName, &m_strLastError);
    } else if (!h->device.usb) {
        m_strLastError = "the printer leads to no device";
    } else {
        h->deviceJob = UsbDeviceJob::Start(h->device, m_jobOptions, &m_strLastError);
        if (!h->deviceJob) {
            m_strLastError = "starting the job on the printer: " + m_strLastError;
        }
    }
    if (!h->Open()) {
        return 0;
    }
    h->failed = false;
    h->jobId = h->queue ? static_cast<DWORD>(h->cupsJob->Id()) : m_nNextJobId++;
    return h->jobId;
}

BOOL PosixSpooler::StartPagePrinter(PrinterHandle printer) {
    return PageStep(printer, "no open job to start a page of");
}

BOOL PosixSpooler::WritePrinter(PrinterHandle printer, const void* data, DWORD size,
                                DWORD* written) {
    auto* h = static_cast<Handle*>(printer);
    if (written) {
        *written = 0;
    }
    if (!h || !h->Open() || h->failed) {
        m_strLastError = "no open job to write to";
        return 0;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::size_t taken = 0;
    if (h->cupsJob) {
        h->failed = !h->cupsJob->Write(bytes, size, &m_strLastError);
        taken = h->failed ? 0 : size;
    } else if (!h->deviceJob->Write(bytes, size, &taken, &m_strLastError)) {
        h->failed = true;
        m_strLastError = "sending to the printer: " + m_strLastError;
    }
    if (written) {
        *written = static_cast<DWORD>(taken);
    }
    return h->failed ? 0 : 1;
}

BOOL PosixSpooler::EndPagePrinter(PrinterHandle printer) {
    return PageStep(printer, "no open job to end a page of");
}

BOOL PosixSpooler::PageStep(PrinterHandle printer, const char* noJob) {
    auto* h = static_cast<Handle*>(printer);
    if (!h || !h->Open()) {
        m_strLastError = noJob;
        return 0;
    }
    return 1;
}

BOOL PosixSpooler::EndDocPrinter(PrinterHandle printer) {
    auto* h = static_cast<Handle*>(printer);
    if (!h || !h->Open()) {
        m_strLastError = "no open job to end";
        return 0;
    }
    if (h->cupsJob) {
        const bool finished = h->cupsJob->Finish(&m_strLastError);
        h->cupsJob.reset();
        return finished ? 1 : 0;
    }
    const bool empty = h->deviceJob->Taken() == 0;
    if (empty && !h->failed) {
        m_strLastError = "an empty job is not sent";
    }
    h->deviceJob.reset();  // gives the interface back to the kernel driver
    return h->failed || empty ? 0 : 1;
}

BOOL PosixSpooler::CancelJob(PrinterHandle printer, DWORD jobId) {
    auto* h = static_cast<Handle*>(printer);
    if (!h || !jobId) {
        return 0;
    }
    if (h->queue) {
        // A job that ended on our side may still wait in the queue.
        const bool cancelled = m_cups.CancelJob(h->name, static_cast<int>(jobId), &m_strLastError);
        if (h->cupsJob && h->jobId == jobId) {
            h->cupsJob.reset();
        }
        return cancelled ? 1 : 0;
    }
    if (!h->deviceJob || h->jobId != jobId) {
        m_strLastError = "no such job";
        return 0;
    }
    h->deviceJob.reset();  // what the device took stays taken
    return 1;
}

JobStatus PosixSpooler::GetJob(PrinterHandle printer, DWORD jobId) {
    auto* h = static_cast<Handle*>(printer);
    if (!h || !h->queue) {
        JobStatus status;
        status.state = h ? JobState::kDone : JobState::kUnknown;
        return status;
    }
    // The queue as last looked at; one the look lacks is taken as working.
    const PrinterLook& look = m_look();
    CupsSpooler::Queue queue{h->name, "", "", 3, true};
    for (const UsbMatchedPrinter& listed : look.match.printers) {
        if (listed.queue >= 0 && listed.info.printerName == h->name) {
            queue = look.queues[static_cast<std::size_t>(listed.queue)];
        }
    }
    return m_cups.GetJob(queue, static_cast<int>(jobId), &m_strLastError);
}

}  // namespace marnel
