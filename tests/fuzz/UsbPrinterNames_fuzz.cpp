// The names Linux reads from a USB printer and makes for it: the IEEE 1284
// device ID reply, the usb:// URI a queue names it by, and the interface
// path the port resolution opens, from any reply, string and path.
#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "platform/AsciiCase.h"
#include "posix/UsbPrinterNames.h"

namespace {

using namespace marnel;

bool Trimmed(const std::string& text) {
    return text.empty() || (!std::isspace(static_cast<unsigned char>(text.front())) &&
                            !std::isspace(static_cast<unsigned char>(text.back())));
}

// What the URI of any device is made of: nothing a key name, a shell or a
// CUPS queue would read as more than a character.
bool UriCharacters(const std::string& uri) {
    for (unsigned char c : uri) {
        if (!std::isalnum(c) &&
            std::string("-_.~%/:?=").find(static_cast<char>(c)) == std::string::npos) {
            return false;
        }
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
    const std::string uri = UsbDeviceUri(device);
    FUZZ_CHECK(UriCharacters(uri));
    FUZZ_CHECK(UsbUriNamesDevice(uri, device));
    for (bool unique : {true, false}) {
        UsbInterfaceAddress address;
        FUZZ_CHECK(ParseUsbInterfacePath(UsbInterfacePath(device, UsbInstanceId(device, unique)),
                                         &address));
        FUZZ_CHECK(address.vendorId == device.vendorId && address.productId == device.productId);
        if (address.byLocation) {
            FUZZ_CHECK(address.busNumber == device.busNumber && address.address == device.address);
        } else {
            FUZZ_CHECK(unique && address.serial == device.serial);
        }
    }
    if (IsServiceableDevice(device)) {
        const std::string driver = DriverNameOf(device);
        FUZZ_CHECK(AsciiEqualsNoCase(driver.substr(0, 10), "Zarvel KQ-") ||
                   AsciiEqualsNoCase(driver.substr(0, 10), "Zarvel ZT-"));
    }
}

// A path that parses names an address whose own path parses the same.
void CheckPath(const std::string& path) {
    UsbInterfaceAddress address;
    if (!ParseUsbInterfacePath(path, &address)) {
        return;
    }
    UsbPrinterDevice device;
    device.vendorId = address.vendorId;
    device.productId = address.productId;
    device.busNumber = address.busNumber;
    device.address = address.address;
    device.serial = address.serial;
    UsbInterfaceAddress again;
    FUZZ_CHECK(ParseUsbInterfacePath(
        UsbInterfacePath(device, UsbInstanceId(device, !address.byLocation)), &again));
    FUZZ_CHECK(again.byLocation == address.byLocation && again.serial == address.serial &&
               again.vendorId == address.vendorId && again.productId == address.productId);
    FUZZ_CHECK(!address.byLocation ||
               (again.busNumber == address.busNumber && again.address == address.address));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    CheckDeviceId(
        input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 1024)));

    UsbPrinterDevice device;
    device.vendorId = input.ConsumeIntegral<std::uint16_t>();
    device.productId = input.ConsumeIntegral<std::uint16_t>();
    device.busNumber = input.ConsumeIntegral<std::uint8_t>();
    device.address = input.ConsumeIntegral<std::uint8_t>();
    const std::string id = input.ConsumeRandomLengthString(256);
    device.manufacturer = DeviceIdField(id, "MFG", "MANUFACTURER");
    device.model = DeviceIdField(id, "MDL", "MODEL");
    device.serial = input.ConsumeRandomLengthString(160);
    CheckNamesOf(device);

    const std::string uri = input.ConsumeRandomLengthString(300);
    if (UsbUriNamesDevice(uri, device)) {
        FUZZ_CHECK(AsciiEqualsNoCase(uri.substr(0, 6), "usb://"));
    }
    CheckPath(input.ConsumeRemainingBytesAsString());
    return 0;
}
