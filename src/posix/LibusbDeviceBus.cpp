#include "posix/LibusbDeviceBus.h"

#include <libusb.h>

#include <cstdio>
#include <deque>
#include <vector>

#include "posix/UsbDiscovery.h"

namespace marnel {

namespace {

constexpr unsigned kReadChunkBytes = 4096;  // rounded down to whole packets

class LibusbLink : public IDeviceLink {
public:
    LibusbLink(std::unique_ptr<UsbPrinterHandle> usb, const LibusbDeviceBus::Timeouts& timeouts)
        : m_usb(std::move(usb)), m_timeouts(timeouts) {}

    bool VendorSet(std::uint8_t request, std::uint16_t value, const std::uint8_t* data,
                   std::size_t size) override {
        // libusb takes a non-const buffer for both directions; an OUT stage is only read.
        return Control(kVendorRequestOut, request, value, const_cast<std::uint8_t*>(data), size,
                       nullptr);
    }

    bool VendorGet(std::uint8_t request, std::uint16_t value, const std::uint8_t*, std::size_t,
                   std::uint8_t* reply, std::size_t capacity, std::size_t* received) override {
        return Control(kVendorRequestIn, request, value, reply, capacity, received);
    }

    bool ReadData(std::uint8_t* buffer, std::size_t size, std::size_t* received) override;

    std::string LastError() const override { return m_strError; }

private:
    bool Control(std::uint8_t type, std::uint8_t request, std::uint16_t value, std::uint8_t* data,
                 std::size_t size, std::size_t* received);

    std::unique_ptr<UsbPrinterHandle> m_usb;
    LibusbDeviceBus::Timeouts m_timeouts;
    std::deque<std::uint8_t> m_pending;  // read from the pipe, not yet handed out
    std::string m_strError;
};

bool LibusbLink::Control(std::uint8_t type, std::uint8_t request, std::uint16_t value,
                         std::uint8_t* data, std::size_t size, std::size_t* received) {
    char name[48];
    std::snprintf(name, sizeof name, "vendor %s %02X %02X %02X", type & 0x80 ? "get" : "set",
                  request, value >> 8, value & 0xFF);
    if (size > 0xFFFF) {
        m_strError = std::string(name) + ": " + std::to_string(size) +
                     " bytes are more than a control transfer carries";
        return false;
    }
    const int r = libusb_control_transfer(m_usb->Get(), type, request, value,
                                          m_usb->InterfaceNumber(), size ? data : nullptr,
                                          static_cast<std::uint16_t>(size), m_timeouts.controlMs);
    if (r < 0) {
        m_strError = std::string(name) + ": " + LibusbErrorText(r);
        return false;
    }
    if (received) {
        *received = static_cast<std::size_t>(r);
    }
    m_strError.clear();
    return true;
}

bool LibusbLink::ReadData(std::uint8_t* buffer, std::size_t size, std::size_t* received) {
    *received = 0;
    if (!m_usb->BulkIn()) {
        m_strError = "the printer interface has no bulk IN pipe";
        return false;
    }
    if (!m_usb->Claim(&m_strError)) {
        return false;
    }
    if (m_pending.empty() && size > 0) {
        // Whole packets only: a shorter buffer would overflow on a full packet.
        const unsigned packet = m_usb->InPacketSize() ? m_usb->InPacketSize() : 64;
        const unsigned chunk = packet * (kReadChunkBytes / packet ? kReadChunkBytes / packet : 1);
        std::vector<unsigned char> data(chunk);
        int got = 0;
        const int r = libusb_bulk_transfer(m_usb->Get(), m_usb->BulkIn(), data.data(),
                                           static_cast<int>(chunk), &got, m_timeouts.readMs);
        if (r != 0 && r != LIBUSB_ERROR_TIMEOUT) {
            m_strError = "reading the data pipe: " + LibusbErrorText(r);
            return false;
        }
        m_pending.insert(m_pending.end(), data.begin(), data.begin() + got);
    }
    while (*received < size && !m_pending.empty()) {
        buffer[(*received)++] = m_pending.front();
        m_pending.pop_front();
    }
    m_strError.clear();
    return true;
}

}  // namespace

LibusbDeviceBus::LibusbDeviceBus(PrinterLooker look, const Timeouts& timeouts)
    : m_look(std::move(look)), m_timeouts(timeouts) {}

bool LibusbDeviceBus::Locate(const PrinterInfo& printer, DeviceRef* ref, LocateFailure* failure) {
    const PrinterLook& look = m_look();
    return LocateUsbPrinter(printer, look.devices, look.match,
                            look.usbOk ? nullptr : &look.usbError, ref, failure);
}

std::unique_ptr<IDeviceLink> LibusbDeviceBus::Open(const DeviceRef& ref, std::string* error) {
    const std::string unit = "the USB printer " + ref.model +
                             (ref.serial.empty() ? "" : " (serial " + ref.serial + ")") + " at " +
                             ref.location;
    for (const UsbPrinterDevice& device : m_look().devices) {
        // An address may be given again to another device plugged in since.
        const DeviceRef listed = UsbDeviceRef(device, false);
        if (listed.id == ref.id && listed.location == ref.location) {
            std::unique_ptr<UsbPrinterHandle> usb = UsbPrinterHandle::Open(device, error);
            if (!usb) {
                *error = unit + " is attached but could not be used: " + *error;
                return nullptr;
            }
            return std::make_unique<LibusbLink>(std::move(usb), m_timeouts);
        }
    }
    *error = unit + " is no longer attached";
    return nullptr;
}

}  // namespace marnel
