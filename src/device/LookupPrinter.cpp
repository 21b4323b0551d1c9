// The spooler's part of the resolution: the printer's record, whose driver and
// port names lead the walks.
#include "device/UsbPrinterPort.h"
#include "platform/Spooler.h"

namespace marnel {

BOOL CUsbPrinterPort::LookupPrinter(const std::string& printerName, PrinterInfo* printer) {
    ISpooler& spooler = m_services.spooler;
    PrinterHandle handle = nullptr;
    if (!spooler.OpenPrinter(printerName, &handle) || handle == nullptr) {
        m_openFailure.cause = "the spooler cannot open printer \"" + printerName + "\"";
        return 0;
    }
    // Neither a failed size query nor a failed read gives a record.
    const PrinterQuery query = spooler.GetPrinter(handle);
    spooler.ClosePrinter(handle);
    if (query.status != SpoolerQueryStatus::kOk) {
        m_openFailure.cause = "the spooler gives no record of printer \"" + printerName + "\"";
        return 0;
    }
    *printer = query.info;
    return 1;
}

}  // namespace marnel
