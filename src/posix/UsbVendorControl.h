// How the printing class driver's two vendor controls become USB control
// transfers where the back end has to carry them itself (libusb): the request
// buffer's first three bytes make the setup packet, a set's remaining bytes
// its data stage, and a get reads into the caller's reply buffer.
#pragma once

#include <array>
#include <cstdint>

#include "platform/DeviceFile.h"
#include "platform/Types.h"

namespace marnel {

// The one pair of choices that public documentation leaves open: the request
// is addressed to the printer interface (recipient interface, wIndex = its
// number) rather than to the device. Change both here and nowhere else.
constexpr std::uint8_t kVendorRequestOut = 0x41;  // host-to-device | vendor | interface
constexpr std::uint8_t kVendorRequestIn = 0xC1;   // device-to-host | vendor | interface

struct UsbControlTransfer {
    std::uint8_t bmRequestType = 0;
    std::uint8_t bRequest = 0;
    std::uint16_t wValue = 0;
    std::uint16_t wIndex = 0;
    std::uint16_t wLength = 0;
    // Data stage: what a set sends (points into the request buffer), or where
    // a get's reply goes (the caller's reply buffer). Null when wLength is 0.
    std::uint8_t* data = nullptr;

    bool IsIn() const { return (bmRequestType & 0x80) != 0; }

    // The 8 setup bytes as they go on the wire (16-bit fields little-endian).
    std::array<std::uint8_t, 8> SetupBytes() const;
};

// Request buffer byte 0 is bRequest, bytes 1-2 wValue (byte 1 the high byte);
// a set sends bytes 3.. as its data stage, a get reads up to `replyCapacity`
// bytes into `reply`. Returns false for an unknown control code, a request
// buffer of fewer than 3 bytes, or a data stage longer than 65535 bytes.
bool TranslateVendorRequest(DWORD controlCode, const void* request, DWORD requestSize,
                            void* reply, DWORD replyCapacity, std::uint8_t interfaceNumber,
                            UsbControlTransfer* transfer);

}  // namespace marnel
