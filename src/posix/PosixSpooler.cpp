#include "posix/PosixSpooler.h"

#include <cstdio>

#include "posix/CupsSpooler.h"
#include "posix/UsbDiscovery.h"

namespace marnel {

namespace {

std::vector<QueuePort> QueuePortsOf(const std::vector<CupsSpooler::Queue>& queues) {
    std::vector<QueuePort> ports;
    for (const CupsSpooler::Queue& queue : queues) {
        ports.push_back({queue.makeAndModel, queue.deviceUri});
    }
    return ports;
}

}  // namespace

struct PosixSpooler::Handle {
    PrinterHandle cups = nullptr;  // set for a CUPS queue
    QueuelessPrinter direct;       // otherwise the device itself
    std::FILE* job = nullptr;      // the job being collected
    DWORD jobId = 0;
    unsigned long long jobBytes = 0;
    bool failed = false;

    void DropJob() {
        if (job) {
            std::fclose(job);
        }
        job = nullptr;
        jobId = 0;
        jobBytes = 0;
        failed = false;
    }
};

PosixSpooler::PosixSpooler(CupsSpooler& cups, LibusbSession& session, UsbDeviceLister listDevices,
                           unsigned sendTimeoutMs)
    : m_cups(cups),
      m_session(session),
      m_listDevices(std::move(listDevices)),
      m_sendTimeoutMs(sendTimeoutMs) {}

PosixSpooler::~PosixSpooler() = default;

std::string PosixSpooler::LastError() const {
    return m_strLastError.empty() ? m_cups.LastError() : m_strLastError;
}

std::vector<QueuePort> PosixSpooler::CupsQueuePorts() {
    std::vector<CupsSpooler::Queue> queues;
    m_cups.ListQueues(&queues);  // without CUPS, the devices alone
    return QueuePortsOf(queues);
}

PosixSpooler::UsbView PosixSpooler::LookAtUsb(const std::vector<QueuePort>& queues) {
    UsbView view;
    view.devicesListed = m_listDevices && m_listDevices(&view.devices, &view.error);
    if (!view.devicesListed) {
        view.devices.clear();
    }
    view.plan = PlanUsbPorts(view.devices, queues);
    return view;
}

std::vector<PosixSpooler::QueuelessPrinter> PosixSpooler::QueuelessPrinters(const UsbView& view) {
    std::vector<QueuelessPrinter> printers;
    for (const UsbPort& port : view.plan) {
        if (!port.queueless) {
            continue;
        }
        QueuelessPrinter p;
        p.device = view.devices[static_cast<std::size_t>(port.device)];
        p.info.driverName = port.driverName;
        p.info.portName = port.portName;
        if (!port.skipReason.empty()) {
            p.info.attributes |= kPrinterAttributeWorkOffline;
        }
        // Two alike devices must not share a name: the second is "... (2)".
        int same = 1;
        for (const QueuelessPrinter& earlier : printers) {
            same += earlier.info.driverName == p.info.driverName ? 1 : 0;
        }
        p.info.printerName =
            same == 1 ? p.info.driverName : p.info.driverName + " (" + std::to_string(same) + ")";
        printers.push_back(p);
    }
    return printers;
}

std::string PosixSpooler::PresentQueue(const UsbView& view, PrinterInfo* info) {
    const std::string uri = info->portName;
    info->portName = PresentedQueuePort(uri);
    const std::string port = PresentedUsbPort(uri);
    if (port.empty()) {
        if (info->portName == uri) {
            return std::string();  // another kind of printer's queue
        }
        info->attributes |= kPrinterAttributeWorkOffline;
        return "its device URI is not a URI (it has no valid scheme)";
    }
    if (!view.devicesListed) {
        return std::string();
    }
    bool present = false;
    for (const UsbPrinterDevice& device : view.devices) {
        present = present || UsbUriNamesDevice(uri, device);
    }
    const std::string skipped = SkipReasonOf(view.plan, info->driverName, port);
    if (present && skipped.empty()) {
        return std::string();
    }
    info->attributes |= kPrinterAttributeWorkOffline;
    return present ? "left out: " + skipped : "device not present";
}

std::string PosixSpooler::SkipReason(const std::string& portName) {
    return SkipReasonOf(LookAtUsb(CupsQueuePorts()).plan, portName);
}

PrinterList PosixSpooler::EnumLocalPrinters() {
    m_strLastError.clear();
    m_offline.clear();
    PrinterList list;
    std::vector<CupsSpooler::Queue> queues;
    const bool cupsOk = m_cups.ListQueues(&queues);
    list.sources.push_back({"CUPS", cupsOk, cupsOk ? "" : "CUPS could not be reached",
                            cupsOk ? "" : m_cups.LastError()});
    const UsbView view = LookAtUsb(QueuePortsOf(queues));
    list.sources.push_back({"USB", view.devicesListed,
                            view.devicesListed ? "" : "the USB bus could not be read", view.error});
    for (const CupsSpooler::Queue& queue : queues) {
        list.printers.push_back(CupsSpooler::ToPrinterInfo(queue));
        OfflineReason why = CupsSpooler::OfflineReasonOf(queue);
        const std::string usb = PresentQueue(view, &list.printers.back());
        if (!usb.empty()) {
            why.reason = usb + (why.reason.empty() ? "" : "; " + why.reason);
        }
        if (!why.reason.empty()) {
            m_offline.emplace_back(queue.name, why);
        }
    }
    for (const QueuelessPrinter& p : QueuelessPrinters(view)) {
        list.printers.push_back(p.info);
        const std::string skipped = SkipReasonOf(view.plan, p.info.portName);
        if (!skipped.empty()) {
            m_offline.emplace_back(p.info.printerName, OfflineReason{"left out: " + skipped, ""});
        }
    }
    // Without CUPS the devices alone still make a listing.
    list.status = cupsOk || !list.printers.empty() ? SpoolerQueryStatus::kOk
                                                   : SpoolerQueryStatus::kSizeQueryFailed;
    return list;
}

OfflineReason PosixSpooler::ExplainOffline(const PrinterInfo& printer) {
    for (const auto& entry : m_offline) {
        if (entry.first == printer.printerName) {
            return entry.second;
        }
    }
    return OfflineReason();
}

std::string PosixSpooler::ModelName(const PrinterInfo& printer) {
    return printer.driverName.empty() ? printer.printerName : printer.driverName;
}

BOOL PosixSpooler::OpenPrinter(const std::string& printerName, PrinterHandle* printer) {
    m_strLastError.clear();
    if (printerName.empty()) {
        return 0;
    }
    PrinterHandle cups = nullptr;
    if (m_cups.OpenPrinter(printerName, &cups)) {
        auto* h = new Handle;
        h->cups = cups;
        *printer = h;
        return 1;
    }
    for (const QueuelessPrinter& p : QueuelessPrinters(LookAtUsb(CupsQueuePorts()))) {
        if (p.info.printerName == printerName) {
            auto* h = new Handle;
            h->direct = p;
            *printer = h;
            return 1;
        }
    }
    m_strLastError = "no printer named " + printerName;
    return 0;
}

PrinterQuery PosixSpooler::GetPrinter(PrinterHandle printer) {
    auto* h = static_cast<Handle*>(printer);
    if (!h) {
        return PrinterQuery();
    }
    if (h->cups) {
        PrinterQuery query = m_cups.GetPrinter(h->cups);
        if (query.status == SpoolerQueryStatus::kOk) {
            PresentQueue(LookAtUsb({{query.info.driverName, query.info.portName}}), &query.info);
        }
        return query;
    }
    PrinterQuery query;
    query.status = SpoolerQueryStatus::kOk;
    query.info = h->direct.info;
    return query;
}

BOOL PosixSpooler::ClosePrinter(PrinterHandle printer) {
    auto* h = static_cast<Handle*>(printer);
    if (!h) {
        return 0;
    }
    const BOOL ok = h->cups ? m_cups.ClosePrinter(h->cups) : 1;
    h->DropJob();  // an unfinished job is discarded, never sent
    delete h;
    return ok;
}

DWORD PosixSpooler::StartDocPrinter(PrinterHandle printer, const DocInfo& doc) {
    auto* h = static_cast<Handle*>(printer);
    m_strLastError.clear();
    if (!h) {
        return 0;
    }
    if (h->cups) {
        return m_cups.StartDocPrinter(h->cups, doc);
    }
    if (h->job || doc.dataType != "RAW" || doc.outputFile) {
        m_strLastError = h->job ? "a job is already open on this printer"
                                : "only raw jobs to the device are supported";
        return 0;
    }
    h->job = std::tmpfile();
    if (!h->job) {
        m_strLastError = "no temporary file for the job";
        return 0;
    }
    h->jobId = m_nextJobId++;
    return h->jobId;
}

BOOL PosixSpooler::StartPagePrinter(PrinterHandle printer) {
    auto* h = static_cast<Handle*>(printer);
    return !h ? 0 : h->cups ? m_cups.StartPagePrinter(h->cups) : (h->job ? 1 : 0);
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
    if (h->cups) {
        return m_cups.WritePrinter(h->cups, data, size, written);
    }
    if (!h->job || h->failed) {
        m_strLastError = "no open job to write to";
        return 0;
    }
    if (std::fwrite(data, 1, size, h->job) != size) {
        m_strLastError = "the temporary file of the job is full";
        h->failed = true;
        return 0;
    }
    h->jobBytes += size;
    if (written) {
        *written = size;
    }
    return 1;
}

BOOL PosixSpooler::EndPagePrinter(PrinterHandle printer) {
    auto* h = static_cast<Handle*>(printer);
    return !h ? 0 : h->cups ? m_cups.EndPagePrinter(h->cups) : (h->job ? 1 : 0);
}

BOOL PosixSpooler::EndDocPrinter(PrinterHandle printer) {
    auto* h = static_cast<Handle*>(printer);
    if (!h) {
        return 0;
    }
    if (h->cups) {
        return m_cups.EndDocPrinter(h->cups);
    }
    if (!h->job) {
        m_strLastError = "no open job to end";
        return 0;
    }
    bool ok = false;
    if (h->failed) {
        // m_strLastError already says why
    } else if (h->jobBytes == 0) {
        m_strLastError = "an empty job is not sent";
    } else if (std::fflush(h->job) != 0) {
        m_strLastError = "the temporary file of the job could not be written";
    } else {
        UsbInterfaceAddress address;
        address.vendorId = h->direct.device.vendorId;
        address.productId = h->direct.device.productId;
        address.byLocation = true;
        address.busNumber = h->direct.device.busNumber;
        address.address = h->direct.device.address;
        ok = SendRawToUsbPrinter(m_session, address, h->job, m_sendTimeoutMs, &m_strLastError);
    }
    h->DropJob();
    return ok ? 1 : 0;
}

BOOL PosixSpooler::CancelJob(PrinterHandle printer, DWORD jobId) {
    auto* h = static_cast<Handle*>(printer);
    if (!h) {
        return 0;
    }
    if (h->cups) {
        return m_cups.CancelJob(h->cups, jobId);
    }
    if (!h->job || h->jobId != jobId) {
        m_strLastError = "no such job";
        return 0;
    }
    h->DropJob();
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
