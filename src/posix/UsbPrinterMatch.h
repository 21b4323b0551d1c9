// Which printers a Linux machine has and which USB device each leads to,
// from one look at the CUPS queues and the USB bus. Pure: the facts go in,
// the printers come out.
//
// A usb:// queue leads to the one attached device its device URI names
// (UsbUriNamesDevice); it leads to none when no device is attached that it
// names, and is left out when it names several, as CUPS would print to
// whichever it found first. Each of the maker's devices that no queue leads
// to is listed after the queues as the printer its queue would be, on its
// own URI: by its serial when that names it alone, else by its USB port
// path; a device that neither tells apart is left out.
#pragma once

#include <string>
#include <vector>

#include "platform/Spooler.h"
#include "posix/UsbPrinterNames.h"

namespace marnel {

struct UsbMatchedPrinter {
    // A queue's record as the spooler gave it (its port the device URI), or
    // a queue-less device's: "Zarvel KQ-10", "Zarvel KQ-10 (2)" for a second
    // alike one, driver "Zarvel KQ-10", port its own URI.
    PrinterInfo info;
    int queue = -1;       // the queue's index; -1 for a queue-less device
    int device = -1;      // the one device it leads to; -1 when none
    bool usb = false;     // its port is a usb:// URI
    std::string leftOut;  // why it leads to no device though devices match; empty otherwise
};

struct UsbPrinterMatch {
    std::vector<UsbMatchedPrinter> printers;  // the queues in their order, then queue-less devices
    // Per device: whether its serial names it alone, so that the serial is its identity.
    std::vector<bool> serialNamesIt;
};

UsbPrinterMatch MatchUsbPrinters(const std::vector<UsbPrinterDevice>& devices,
                                 const std::vector<PrinterInfo>& queues);

// The devices `uri` names, in listing order.
std::vector<int> DevicesNamedBy(const std::string& uri,
                                const std::vector<UsbPrinterDevice>& devices);

}  // namespace marnel
