// One look at this machine's printers: the CUPS queues and the USB
// printer-class devices, each asked once, and which device each printer
// leads to. The spooler, the device bus and the checkup all read the same
// look, so that one command asks CUPS and the bus once (the look is taken
// again only when it is older than a short interval, so that a device that
// restarts is seen to come back).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "device/UsbPrinterMatch.h"
#include "device/UsbPrinterNames.h"
#include "posix/CupsSpooler.h"

namespace marnel {

class LibusbSession;

struct PrinterLook {
    bool cupsOk = false;
    std::string cupsError;  // why CUPS could not be asked
    std::vector<CupsSpooler::Queue> queues;
    bool usbOk = false;
    std::string usbError;  // why the bus could not be read
    std::vector<UsbPrinterDevice> devices;
    UsbPrinterMatch match;  // its printers' queues and devices index the two above
};

// The current look; valid until the next call.
using PrinterLooker = std::function<const PrinterLook&()>;

PrinterLook TakePrinterLook(CupsSpooler& cups, LibusbSession& session, unsigned timeoutMs);

}  // namespace marnel
