#include "posix/UsbVendorControl.h"

namespace marnel {

std::array<std::uint8_t, 8> UsbControlTransfer::SetupBytes() const {
    return {bmRequestType,
            bRequest,
            static_cast<std::uint8_t>(wValue & 0xFF),
            static_cast<std::uint8_t>(wValue >> 8),
            static_cast<std::uint8_t>(wIndex & 0xFF),
            static_cast<std::uint8_t>(wIndex >> 8),
            static_cast<std::uint8_t>(wLength & 0xFF),
            static_cast<std::uint8_t>(wLength >> 8)};
}

bool TranslateVendorRequest(DWORD controlCode, const void* request, DWORD requestSize,
                            void* reply, DWORD replyCapacity, std::uint8_t interfaceNumber,
                            UsbControlTransfer* transfer) {
    constexpr DWORD kHeaderBytes = kRequestHeaderSize;  // bRequest, wValue high, wValue low
    constexpr DWORD kMaxDataStage = 0xFFFF;
    if (request == nullptr || requestSize < kHeaderBytes) {
        return false;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(request);
    UsbControlTransfer t;
    t.bRequest = bytes[0];
    t.wValue = static_cast<std::uint16_t>((bytes[1] << 8) | bytes[2]);
    t.wIndex = interfaceNumber;
    if (controlCode == kIoctlVendorSetCommand) {
        const DWORD dataBytes = requestSize - kHeaderBytes;
        if (dataBytes > kMaxDataStage) {
            return false;
        }
        t.bmRequestType = kVendorRequestOut;
        t.wLength = static_cast<std::uint16_t>(dataBytes);
        // libusb takes a non-const buffer for both directions; an OUT stage is only read.
        t.data = dataBytes ? const_cast<std::uint8_t*>(bytes + kHeaderBytes) : nullptr;
    } else if (controlCode == kIoctlVendorGetCommand) {
        if (replyCapacity > kMaxDataStage || (replyCapacity > 0 && reply == nullptr)) {
            return false;
        }
        t.bmRequestType = kVendorRequestIn;
        t.wLength = static_cast<std::uint16_t>(replyCapacity);
        t.data = replyCapacity ? static_cast<std::uint8_t*>(reply) : nullptr;
    } else {
        return false;
    }
    *transfer = t;
    return true;
}

}  // namespace marnel
