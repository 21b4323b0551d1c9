#include "posix/PrinterLook.h"

#include "posix/UsbDiscovery.h"

namespace marnel {

PrinterLook TakePrinterLook(CupsSpooler& cups, LibusbSession& session, unsigned timeoutMs) {
    PrinterLook look;
    look.cupsOk = cups.ListQueues(&look.queues, &look.cupsError);
    look.usbOk = ListUsbPrinters(session, timeoutMs, &look.devices, &look.usbError);
    std::vector<PrinterInfo> records;
    for (const CupsSpooler::Queue& queue : look.queues) {
        records.push_back(CupsSpooler::ToPrinterInfo(queue));
    }
    look.match = MatchUsbPrinters(look.devices, records);
    return look;
}

}  // namespace marnel
