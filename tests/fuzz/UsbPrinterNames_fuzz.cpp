// The names Linux reads from a USB printer and makes for it: the IEEE 1284
// device ID reply, a string descriptor, and the usb:// URI a queue names it
// by, from any reply, descriptor and string.
#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "device/UsbPrinterNames.h"
#include "platform/AsciiCase.h"

namespace {

using namespace marnel;

bool Trimmed(const std::string& text) {
    return text.empty() || (!std::isspace(static_cast<unsigned char>(text.front())) &&
                            !std::isspace(static_cast<unsigned char>(text.back())));
}

// What the URI of any device is made of: no blank, control character or
// byte past ASCII, which CUPS encodes.
bool UriCharacters(const std::string& uri) {
    for (unsigned char c : uri) {
        if (c <= ' ' || c >= 0x7F) {
            return false;
        }
    }
    return true;
}

// Well-formed UTF-8 without a zero: what a string descriptor reads as.
bool Utf8WithoutZero(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const std::size_t tail = c < 0x80             ? 0
                                 : (c & 0xE0) == 0xC0 ? 1
                                 : (c & 0xF0) == 0xE0 ? 2
                                 : (c & 0xF8) == 0xF0 ? 3
                                                      : 4;
        if (c == 0 || tail == 4 || i + tail >= text.size()) {
            return false;
        }
        for (std::size_t k = 1; k <= tail; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += tail + 1;
    }
    return true;
}

void CheckDeviceId(const std::vector<std::uint8_t>& reply) {
    const std::string id = DeviceIdFromReply(reply.data(), reply.size());
    FUZZ_CHECK(id.find('\0') == std::string::npos);
    if (reply.size() < 2) {
        FUZZ_CHECK(id.empty());
        return;
    }
    FUZZ_CHECK(id.size() <= reply.size() - 2);
    FUZZ_CHECK(
        id.compare(0, id.size(), reinterpret_cast<const char*>(reply.data()) + 2, id.size()) == 0);
    for (const char* key : {"MFG", "MDL", "SN"}) {
        const std::string field = DeviceIdField(id, key, "MANUFACTURER");
        FUZZ_CHECK(Trimmed(field) && field.find(';') == std::string::npos);
    }
}

void CheckNamesOf(const UsbPrinterDevice& device) {
    for (bool locate : {false, true}) {
        const std::string uri = UsbDeviceUri(device, locate);
        FUZZ_CHECK(UriCharacters(uri));
        // A "?" in a model or an "&" in a serial (or a port path, which
        // never holds one) may read as the start of another field, as it
        // does for CUPS; otherwise the URI names its device.
        if (device.model.find('?') == std::string::npos &&
            (device.serial + device.portPath).find('&') == std::string::npos) {
            FUZZ_CHECK(UsbUriNamesDevice(uri, device));
        }
    }
    if (IsServiceableDevice(device)) {
        const std::string driver = DriverNameOf(device);
        FUZZ_CHECK(AsciiEqualsNoCase(driver.substr(0, 10), "Zarvel KQ-") ||
                   AsciiEqualsNoCase(driver.substr(0, 10), "Zarvel ZT-"));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    CheckDeviceId(
        input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 1024)));

    const std::vector<std::uint8_t> descriptor =
        input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 256));
    FUZZ_CHECK(Utf8WithoutZero(StringDescriptorText(descriptor.data(), descriptor.size())));

    UsbPrinterDevice device;
    const std::string id = input.ConsumeRandomLengthString(256);
    device.manufacturer = DeviceIdField(id, "MFG", "MANUFACTURER");
    device.model = DeviceIdField(id, "MDL", "MODEL");
    device.serial = input.ConsumeRandomLengthString(160);
    device.portPath = input.ConsumeRandomLengthString(20);
    CheckNamesOf(device);

    const std::string uri = input.ConsumeRemainingBytesAsString();
    if (UsbUriNamesDevice(uri, device)) {
        FUZZ_CHECK(AsciiEqualsNoCase(uri.substr(0, 6), "usb://"));
    }
    return 0;
}
