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

#include "device/UsbPrinterNames.h"
#include "platform/DeviceBus.h"
#include "platform/Spooler.h"

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

// A listed device as a unit: its id the bus and address ("1:5"), its
// location its USB port path ("1-2.3", else "bus 1:5"), its serial the
// device's own when `serialNamesIt` (else empty: a serial that twins share
// is no identity).
DeviceRef UsbDeviceRef(const UsbPrinterDevice& device, bool serialNamesIt);

// The unit behind `printer` in one listing of the bus, `devices` matched as
// `match` (a record from an older listing is matched afresh); `busError` is
// why the bus could not be read, null when it was. False, with the step and
// why, for a printer that is not on a USB port, is left out, or leads to no
// attached device (naming the devices that could not be asked who they are).
bool LocateUsbPrinter(const PrinterInfo& printer, const std::vector<UsbPrinterDevice>& devices,
                      const UsbPrinterMatch& match, const std::string* busError, DeviceRef* ref,
                      LocateFailure* failure);

}  // namespace marnel
