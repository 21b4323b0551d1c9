// libusb-1.0 for the facts the other back ends need: which printer-class
// devices are attached and who they are, and an open device's printer
// interface.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/UsbPrinterNames.h"

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

// "LIBUSB_ERROR_PIPE (the device stalled the request)" and the like, for diagnostics.
std::string LibusbErrorText(int code);

// Lists the attached printer-class devices (interface class 7, subclass 1),
// each with its libusb device to open it by. The identity comes from the
// IEEE 1284 device ID; where the device does not give it (a kernel printer
// driver holds the interface) from its manufacturer and product strings.
// Devices that cannot be opened are listed without serial and identity, with
// the cause in openError. False only when libusb cannot list at all.
bool ListUsbPrinters(LibusbSession& session, unsigned timeoutMs,
                     std::vector<UsbPrinterDevice>* devices, std::string* error);

// A listed device, open, with the endpoints of its printer interface. The
// interface is claimed only when asked (the kernel printer driver detached
// for the time); closing gives it back.
class UsbPrinterHandle {
public:
    // Null with the cause in *error.
    static std::unique_ptr<UsbPrinterHandle> Open(const UsbPrinterDevice& device,
                                                  std::string* error);
    ~UsbPrinterHandle();
    UsbPrinterHandle(const UsbPrinterHandle&) = delete;
    UsbPrinterHandle& operator=(const UsbPrinterHandle&) = delete;

    // Claims the printer interface unless it is claimed already.
    bool Claim(std::string* error);

    libusb_device_handle* Get() const { return m_pHandle; }
    std::uint8_t InterfaceNumber() const { return m_nInterface; }
    std::uint8_t BulkIn() const { return m_nBulkIn; }    // 0 when it has none
    std::uint8_t BulkOut() const { return m_nBulkOut; }  // 0 when it has none
    std::uint16_t InPacketSize() const { return m_nInPacketSize; }

private:
    UsbPrinterHandle() = default;

    libusb_device_handle* m_pHandle = nullptr;
    std::uint8_t m_nInterface = 0;
    std::uint8_t m_nBulkIn = 0;
    std::uint8_t m_nBulkOut = 0;
    std::uint16_t m_nInPacketSize = 0;
    bool m_bClaimed = false;
};

}  // namespace marnel
