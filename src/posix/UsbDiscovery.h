// libusb-1.0 for the facts the other back ends need: which printer-class
// devices are attached and who they are, how to open one by its interface
// path, and how to hand a raw job straight to a device that has no queue.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "posix/UsbPrinterNames.h"

struct libusb_context;
struct libusb_device_handle;

namespace marnel {

// One libusb context, shared by the back ends of one platform.
class LibusbSession {
public:
    LibusbSession();
    ~LibusbSession();
    LibusbSession(const LibusbSession&) = delete;
    LibusbSession& operator=(const LibusbSession&) = delete;

    // Null when libusb could not be initialised; InitError says why.
    libusb_context* Context() const { return m_pContext; }
    const std::string& InitError() const { return m_strInitError; }

private:
    libusb_context* m_pContext = nullptr;
    std::string m_strInitError;
};

// "LIBUSB_ERROR_PIPE (stall)" and the like, for diagnostics.
std::string LibusbErrorText(int code);

// An opened printer-class device with the endpoints of its printer interface.
struct OpenedUsbPrinter {
    libusb_device_handle* handle = nullptr;
    std::uint8_t interfaceNumber = 0;
    std::uint8_t bulkIn = 0;    // 0 when the interface has no bulk IN endpoint
    std::uint8_t bulkOut = 0;   // 0 when the interface has no bulk OUT endpoint
    std::uint16_t inPacketSize = 0;
};

// Lists the attached printer-class devices (interface class 7, subclass 1).
// The identity comes from the IEEE 1284 device ID; where the device does not
// give it (a kernel printer driver holds the interface) from its
// manufacturer and product strings. Devices that cannot be opened are listed
// without serial and identity, with the cause in openError. False only when
// libusb cannot list at all.
bool ListUsbPrinters(LibusbSession& session, unsigned timeoutMs,
                     std::vector<UsbPrinterDevice>* devices, std::string* error);

// Opens the device an interface path names. False with the cause in *error.
bool OpenUsbPrinter(LibusbSession& session, const UsbInterfaceAddress& address,
                    OpenedUsbPrinter* printer, std::string* error);

// Sends everything `data` holds, from its start, through the bulk OUT pipe
// of the device, with its interface claimed for the time (the kernel driver
// detached and re-attached). False with the cause in *error.
bool SendRawToUsbPrinter(LibusbSession& session, const UsbInterfaceAddress& address,
                         std::FILE* data, unsigned timeoutMs, std::string* error);

}  // namespace marnel
