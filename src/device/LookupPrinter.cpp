// The spooler's part of the resolution: the printer's driver and port names.
#include "device/UsbPrinterPort.h"
#include "platform/Spooler.h"

namespace marnel {

BOOL CUsbPrinterPort::LookupPrinter(const std::string& printerName, std::string* driverName,
                                    std::string* portName) {
    ISpooler& spooler = m_services.spooler;
    PrinterHandle printer = nullptr;
    if (!spooler.OpenPrinter(printerName, &printer)) {
        return 0;
    }
    BOOL found = 0;
    if (printer != nullptr) {
        // Neither a failed size query nor a failed read gives a record.
        const PrinterQuery query = spooler.GetPrinter(printer);
        if (query.status == SpoolerQueryStatus::kOk) {
            *driverName = query.info.driverName;
            *portName = query.info.portName;
            found = 1;
        }
        spooler.ClosePrinter(printer);
    }
    return found;
}

}  // namespace marnel
