// Names that tie a USB printer-class device to the rest of the system: its
// IEEE 1284 device ID, its string descriptors, and the usb:// URI a CUPS
// queue names it by. Pure string work, no libusb.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace marnel {

// One attached USB printer-class device, as discovery found it.
struct UsbPrinterDevice {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint8_t busNumber = 0;
    std::uint8_t address = 0;
    std::uint8_t interfaceNumber = 0;  // the first interface of class 7, subclass 1
    std::string portPath;              // "1-2.3": bus, then each hub port; empty when unknown
    std::string serial;                // as the device gives it, in UTF-8; empty when it has none
    std::string deviceId;              // the IEEE 1284 device ID, empty when unavailable
    std::string manufacturer;          // MFG of the device ID (or the manufacturer string)
    std::string model;                 // MDL of the device ID (or the product string)
    std::string openError;             // why the device could not be opened to ask
    int kernelDriver = -1;  // 1: a kernel driver holds the printer interface, 0: none, -1: unknown
    std::shared_ptr<void> usb;  // the back end's own device, to open it by; null in tests
};

// The value of `key` (MFG, MDL, ...) in an IEEE 1284 device ID, or of its long
// form (MANUFACTURER, MODEL); empty when absent. Keys ignore letter case.
std::string DeviceIdField(const std::string& deviceId, const std::string& key,
                          const std::string& longKey);

// The device ID in a GET_DEVICE_ID reply of `size` bytes: a big-endian
// length that counts itself, then the text, up to its first zero byte. A
// length that cannot be right gives way to the size of the reply.
std::string DeviceIdFromReply(const unsigned char* reply, std::size_t size);

// The text of a USB string descriptor of `size` bytes (UTF-16LE after a
// two-byte header) in UTF-8, up to its first zero character; an unpaired
// surrogate becomes U+FFFD.
std::string StringDescriptorText(const unsigned char* descriptor, std::size_t size);

// The driver name a device of this maker and model is installed with
// ("Zarvel KQ-10").
std::string DriverNameOf(const UsbPrinterDevice& device);

// True for the maker's own devices: MFG "Zarvel", MDL beginning "KQ-" or "ZT-"
// (letter case ignored).
bool IsServiceableDevice(const UsbPrinterDevice& device);

// "1-2.3" for bus 1, hub port 2, port 3; empty without port numbers.
std::string UsbPortPath(std::uint8_t busNumber, const std::uint8_t* ports, int count);

// The device URI as the CUPS usb back end writes it:
// usb://MAKE/MODEL?serial=SERIAL, encoded as CUPS encodes it ("%", blanks,
// control characters and bytes past ASCII everywhere, and what would end
// the make in the make), no serial part without one. `locate` adds
// ?location=PORTPATH instead of the serial, for a device that its serial
// cannot tell apart from another.
std::string UsbDeviceUri(const UsbPrinterDevice& device, bool locate = false);

// True when a device URI names this device, read as the CUPS usb back end
// compares them: a usb:// URI whose make and model are the device's (letter
// case ignored) and whose serial and location, where it has them, are the
// device's. A serial is compared as the device gives it or as CUPS reads it
// (each character past ASCII a "?"); "serial=?" is CUPS's "no serial
// number". The URI is decoded first, so encoding differences do not matter;
// a serial may hold "&", "=", "?" or "#", which CUPS leaves unencoded.
bool UsbUriNamesDevice(const std::string& uri, const UsbPrinterDevice& device);

// "VID_1A2B&PID_0010": a device named by its ids, where it gave no name.
std::string UsbDeviceKeyName(const UsbPrinterDevice& device);

}  // namespace marnel
