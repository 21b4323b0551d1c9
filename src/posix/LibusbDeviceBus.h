// The units of a Linux machine: a printer leads to the USB device its device
// URI names in the current look (see UsbPrinterMatch.h), and opens as that
// device's printer interface through libusb.
//
// The two vendor controls become vendor control transfers; a get carries
// only its setup packet, as a control IN transfer has no data stage going
// out. Vendor control requests need no claim, so CUPS keeps the device while
// the protocol talks to it. Only the first data read claims the interface
// (detaching the kernel printer driver); closing the link releases it, which
// re-attaches the driver.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/DeviceBus.h"
#include "posix/PrinterLook.h"

namespace marnel {

// The one pair of choices that public documentation leaves open: the request
// is addressed to the printer interface (recipient interface, wIndex = its
// number) rather than to the device. Change both here and nowhere else.
constexpr std::uint8_t kVendorRequestOut = 0x41;  // host-to-device | vendor | interface
constexpr std::uint8_t kVendorRequestIn = 0xC1;   // device-to-host | vendor | interface

class LibusbDeviceBus : public IDeviceBus {
public:
    struct Timeouts {
        unsigned controlMs = 2000;  // one vendor request
        unsigned readMs = 1000;     // one bulk IN read; a time-out is "no byte"
    };

    LibusbDeviceBus(PrinterLooker look, const Timeouts& timeouts);

    // The unit as device/UsbPrinterMatch finds it in the current look.
    bool Locate(const PrinterInfo& printer, DeviceRef* ref, LocateFailure* failure) override;
    std::unique_ptr<IDeviceLink> Open(const DeviceRef& ref, std::string* error) override;

private:
    PrinterLooker m_look;
    Timeouts m_timeouts;
};

}  // namespace marnel
