#include "posix/LibusbDeviceFile.h"

#include <libusb.h>

#include <cstdio>
#include <deque>
#include <vector>

#include "posix/UsbDiscovery.h"
#include "posix/UsbVendorControl.h"

namespace marnel {

namespace {

constexpr unsigned kReadChunkBytes = 4096;  // rounded down to whole packets

std::string RequestName(const UsbControlTransfer& t) {
    char text[48];
    std::snprintf(text, sizeof text, "vendor %s %02X %02X %02X", t.IsIn() ? "get" : "set",
                  t.bRequest, t.wValue >> 8, t.wValue & 0xFF);
    return text;
}

}  // namespace

struct LibusbDeviceFile::Device {
    OpenedUsbPrinter usb;
    bool claimed = false;
    std::deque<std::uint8_t> pending;  // read from the pipe, not yet handed out
};

LibusbDeviceFile::LibusbDeviceFile(LibusbSession& session, const Timeouts& timeouts)
    : m_session(session), m_timeouts(timeouts) {}

LibusbDeviceFile::~LibusbDeviceFile() = default;

HANDLE LibusbDeviceFile::Open(const std::string& path, DWORD, DWORD, void*, DWORD, DWORD,
                              HANDLE) {
    UsbInterfaceAddress address;
    if (!ParseUsbInterfacePath(path, &address)) {
        m_strLastError = "not a USB printer interface path: " + path;
        return InvalidHandle();
    }
    auto* device = new Device;
    if (!OpenUsbPrinter(m_session, address, &device->usb, &m_strLastError)) {
        delete device;
        return InvalidHandle();
    }
    m_strLastError.clear();
    return device;
}

BOOL LibusbDeviceFile::IoControl(HANDLE handle, DWORD controlCode, void* inBuffer, DWORD inSize,
                                 void* outBuffer, DWORD outSize, DWORD* bytesReturned, void*) {
    if (bytesReturned) {
        *bytesReturned = 0;
    }
    auto* device = static_cast<Device*>(handle);
    if (!device || handle == InvalidHandle()) {
        m_strLastError = "the device is not open";
        return 0;
    }
    UsbControlTransfer t;
    if (!TranslateVendorRequest(controlCode, inBuffer, inSize, outBuffer, outSize,
                                device->usb.interfaceNumber, &t)) {
        m_strLastError = "not a vendor request this device takes";
        return 0;
    }
    const int r = libusb_control_transfer(device->usb.handle, t.bmRequestType, t.bRequest,
                                          t.wValue, t.wIndex, t.data, t.wLength,
                                          m_timeouts.controlMs);
    if (r < 0) {
        m_strLastError = RequestName(t) + ": " + LibusbErrorText(r);
        return 0;
    }
    if (bytesReturned && t.IsIn()) {
        *bytesReturned = static_cast<DWORD>(r);
    }
    m_strLastError.clear();
    return 1;
}

BOOL LibusbDeviceFile::Read(HANDLE handle, void* buffer, DWORD bytesToRead, DWORD* bytesRead,
                            void*) {
    if (bytesRead) {
        *bytesRead = 0;
    }
    auto* device = static_cast<Device*>(handle);
    if (!device || handle == InvalidHandle()) {
        m_strLastError = "the device is not open";
        return 0;
    }
    if (!device->usb.bulkIn) {
        m_strLastError = "the printer interface has no bulk IN pipe";
        return 0;
    }
    if (!device->claimed) {
        libusb_set_auto_detach_kernel_driver(device->usb.handle, 1);
        const int r = libusb_claim_interface(device->usb.handle, device->usb.interfaceNumber);
        if (r != 0) {
            m_strLastError = "claiming the printer interface: " + LibusbErrorText(r);
            return 0;
        }
        device->claimed = true;
    }
    if (device->pending.empty() && bytesToRead > 0) {
        // Whole packets only: a shorter buffer would overflow on a full packet.
        const unsigned packet = device->usb.inPacketSize ? device->usb.inPacketSize : 64;
        const unsigned chunk = packet * (kReadChunkBytes / packet ? kReadChunkBytes / packet : 1);
        std::vector<unsigned char> data(chunk);
        int got = 0;
        const int r = libusb_bulk_transfer(device->usb.handle, device->usb.bulkIn, data.data(),
                                           static_cast<int>(chunk), &got, m_timeouts.readMs);
        if (r != 0 && r != LIBUSB_ERROR_TIMEOUT) {
            m_strLastError = "reading the data pipe: " + LibusbErrorText(r);
            return 0;
        }
        device->pending.insert(device->pending.end(), data.begin(), data.begin() + got);
    }
    auto* out = static_cast<std::uint8_t*>(buffer);
    DWORD n = 0;
    while (n < bytesToRead && !device->pending.empty()) {
        out[n++] = device->pending.front();
        device->pending.pop_front();
    }
    if (bytesRead) {
        *bytesRead = n;
    }
    m_strLastError.clear();
    return 1;
}

BOOL LibusbDeviceFile::Close(HANDLE handle) {
    auto* device = static_cast<Device*>(handle);
    if (!device || handle == InvalidHandle()) {
        return 0;
    }
    if (device->claimed) {
        // With automatic detach this also re-attaches the kernel printer driver.
        libusb_release_interface(device->usb.handle, device->usb.interfaceNumber);
    }
    libusb_close(device->usb.handle);
    delete device;
    return 1;
}

}  // namespace marnel
