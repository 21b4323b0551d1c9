// The spooler's part of the resolution: the printer's driver and port names.
#include "device/UsbPrinterPort.h"
#include "platform/Spooler.h"

namespace marnel {

BOOL CUsbPrinterPort::LookupPrinter(const std::string& printerName, std::string* driverName,
                                    std::string* portName) {
    ISpooler& spooler = m_services.spooler;
    PrinterHandle printer = nullptr;
    if (!spooler.OpenPrinter(printerName, &printer) || printer == nullptr) {
        m_openFailure.cause = "the spooler cannot open printer \"" + printerName + "\"";
        return 0;
    }
    // Neither a failed size query nor a failed read gives a record.
    const PrinterQuery query = spooler.GetPrinter(printer);
    spooler.ClosePrinter(printer);
    if (query.status != SpoolerQueryStatus::kOk) {
        m_openFailure.cause = "the spooler gives no record of printer \"" + printerName + "\"";
        return 0;
    }
    *driverName = query.info.driverName;
    *portName = query.info.portName;
    return 1;
}

}  // namespace marnel
