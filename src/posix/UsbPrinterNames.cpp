#include "posix/UsbPrinterNames.h"

#include "platform/AsciiCase.h"

#include <cctype>
#include <cstdio>
#include <utility>
#include <vector>

#include "platform/RegistryLayout.h"

namespace marnel {

namespace {

std::string Trim(const std::string& s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) {
        ++b;
    }
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) {
        --e;
    }
    return s.substr(b, e - b);
}

bool StartsWithIgnoringCase(const std::string& s, const std::string& prefix) {
    return s.size() >= prefix.size() && AsciiEqualsNoCase(s.substr(0, prefix.size()), prefix);
}

// What the CUPS usb back end leaves unencoded in a URI path or query value.
bool IsUriPlain(unsigned char c) {
    return std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~';
}

std::string PercentEncode(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (IsUriPlain(c)) {
            out += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    return out;
}

std::string PercentDecode(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
            out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::vector<std::string> Split(const std::string& s, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = s.find(separator, start);
        parts.push_back(s.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) {
            return parts;
        }
        start = at + 1;
    }
}

bool IsPlainSerial(const std::string& serial) {
    if (serial.empty() || serial.size() > 126) {
        return false;
    }
    for (unsigned char c : serial) {
        if (!std::isalnum(c) && c != '-' && c != '_' && c != '.') {
            return false;
        }
    }
    return true;
}

bool ParseHex16(const std::string& text, std::uint16_t* value) {
    if (text.size() != 4) {
        return false;
    }
    for (unsigned char c : text) {
        if (!std::isxdigit(c)) {
            return false;
        }
    }
    *value = static_cast<std::uint16_t>(std::stoul(text, nullptr, 16));
    return true;
}

bool ParseDecimal8(const std::string& text, std::uint8_t* value) {
    if (text.empty() || text.size() > 3) {
        return false;
    }
    for (unsigned char c : text) {
        if (!std::isdigit(c)) {
            return false;
        }
    }
    const unsigned long v = std::stoul(text);
    if (v > 255) {
        return false;
    }
    *value = static_cast<std::uint8_t>(v);
    return true;
}

// RFC 3986: ALPHA *( ALPHA / DIGIT / "+" / "-" / "." ) ":"
bool HasUriScheme(const std::string& uri) {
    const std::size_t colon = uri.find(':');
    if (colon == std::string::npos || !std::isalpha(static_cast<unsigned char>(uri[0]))) {
        return false;
    }
    for (std::size_t i = 1; i < colon; ++i) {
        const unsigned char c = static_cast<unsigned char>(uri[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string DeviceIdField(const std::string& deviceId, const std::string& key,
                          const std::string& longKey) {
    for (const std::string& field : Split(deviceId, ';')) {
        const std::size_t colon = field.find(':');
        if (colon == std::string::npos) {
            continue;
        }
        const std::string name = Trim(field.substr(0, colon));
        if (AsciiEqualsNoCase(name, key) || AsciiEqualsNoCase(name, longKey)) {
            return Trim(field.substr(colon + 1));
        }
    }
    return std::string();
}

std::string DeviceIdFromReply(const unsigned char* reply, std::size_t size) {
    if (size < 2) {
        return std::string();
    }
    std::size_t length = (static_cast<std::size_t>(reply[0]) << 8) | reply[1];
    if (length < 2 || length > size) {
        length = size;  // some devices count wrongly: trust the transfer
    }
    std::string id(reinterpret_cast<const char*>(reply) + 2, length - 2);
    const std::size_t nul = id.find('\0');
    return nul == std::string::npos ? id : id.substr(0, nul);
}

std::string DriverNameOf(const UsbPrinterDevice& device) {
    return device.manufacturer + " " + device.model;
}

bool IsServiceableDevice(const UsbPrinterDevice& device) {
    return AsciiEqualsNoCase(device.manufacturer, "Zarvel") &&
           (StartsWithIgnoringCase(device.model, "KQ-") ||
            StartsWithIgnoringCase(device.model, "ZT-"));
}

std::string UsbPortPath(std::uint8_t busNumber, const std::uint8_t* ports, int count) {
    if (count <= 0) {
        return std::string();
    }
    std::string path = std::to_string(busNumber);
    for (int i = 0; i < count; ++i) {
        path += (i == 0 ? "-" : ".") + std::to_string(ports[i]);
    }
    return path;
}

std::string UsbDeviceUri(const UsbPrinterDevice& device, bool locate) {
    std::string uri = "usb://" + PercentEncode(device.manufacturer) + "/" +
                      PercentEncode(device.model);
    if (locate) {
        uri += "?location=" + PercentEncode(device.portPath);
    } else if (!device.serial.empty()) {
        uri += "?serial=" + PercentEncode(device.serial);
    }
    return uri;
}

namespace {

// A usb:// URI taken apart, each part percent-decoded.
struct UsbUri {
    std::string make;
    std::string model;
    std::vector<std::pair<std::string, std::string>> query;  // in order; "" for no "="
};

bool ParseUsbUri(const std::string& uri, UsbUri* parsed) {
    const std::string scheme = "usb://";
    if (!StartsWithIgnoringCase(uri, scheme)) {
        return false;
    }
    std::string rest = uri.substr(scheme.size());
    rest = rest.substr(0, rest.find('#'));  // a fragment names nothing more
    std::string query;
    const std::size_t question = rest.find('?');
    if (question != std::string::npos) {
        query = rest.substr(question + 1);
        rest = rest.substr(0, question);
    }
    const std::size_t slash = rest.find('/');
    if (slash == std::string::npos) {
        return false;
    }
    UsbUri u;
    u.make = PercentDecode(rest.substr(0, slash));
    u.model = PercentDecode(rest.substr(slash + 1));
    for (const std::string& pair : Split(query, '&')) {
        if (pair.empty()) {
            continue;
        }
        const std::size_t eq = pair.find('=');
        u.query.emplace_back(PercentDecode(pair.substr(0, eq)),
                             eq == std::string::npos ? "" : PercentDecode(pair.substr(eq + 1)));
    }
    *parsed = u;
    return true;
}

}  // namespace

bool UsbUriNamesDevice(const std::string& uri, const UsbPrinterDevice& device) {
    UsbUri u;
    if (!ParseUsbUri(uri, &u) || !AsciiEqualsNoCase(u.make, device.manufacturer) ||
        !AsciiEqualsNoCase(u.model, device.model)) {
        return false;
    }
    for (const auto& field : u.query) {
        // CUPS writes "serial=?" for a device without a serial number.
        if ((field.first == "serial" && field.second != "?" && field.second != device.serial) ||
            (field.first == "location" && field.second != device.portPath)) {
            return false;
        }
    }
    return true;
}

std::string PresentedUsbPort(const std::string& uri) {
    UsbUri u;
    if (!ParseUsbUri(uri, &u)) {
        return std::string();
    }
    std::string port = "usb://" + PercentEncode(u.make) + "/" + PercentEncode(u.model);
    for (std::size_t i = 0; i < u.query.size(); ++i) {
        port += (i == 0 ? "?" : "&") + PercentEncode(u.query[i].first) + "=" +
                PercentEncode(u.query[i].second);
    }
    return port + "#";
}

std::string PresentedQueuePort(const std::string& uri) {
    const std::string usb = PresentedUsbPort(uri);
    if (!usb.empty()) {
        return usb;
    }
    return HasUriScheme(uri) ? uri : uri + " (not a URI)";
}

std::string UsbInstanceId(const UsbPrinterDevice& device, bool serialIsUnique) {
    if (serialIsUnique && IsPlainSerial(device.serial)) {
        return device.serial;
    }
    char location[32];
    std::snprintf(location, sizeof location, "BUS%03u&DEV%03u", device.busNumber,
                  device.address);
    return location;
}

std::string UsbDeviceKeyName(const UsbPrinterDevice& device) {
    char name[32];
    std::snprintf(name, sizeof name, "VID_%04X&PID_%04X", device.vendorId, device.productId);
    return name;
}

std::string UsbInterfacePath(const UsbPrinterDevice& device, const std::string& instanceId) {
    return std::string("\\\\?\\USB#") + UsbDeviceKeyName(device) + "#" + instanceId + "#" +
           kUsbPrintInterfaceClass;
}

bool ParseUsbInterfacePath(const std::string& path, UsbInterfaceAddress* address) {
    const std::vector<std::string> parts = Split(path, '#');
    if (parts.size() != 4 || !AsciiEqualsNoCase(parts[0], "\\\\?\\USB") ||
        !AsciiEqualsNoCase(parts[3], kUsbPrintInterfaceClass)) {
        return false;
    }
    const std::vector<std::string> ids = Split(parts[1], '&');
    UsbInterfaceAddress a;
    if (ids.size() != 2 || !StartsWithIgnoringCase(ids[0], "VID_") ||
        !StartsWithIgnoringCase(ids[1], "PID_") || !ParseHex16(ids[0].substr(4), &a.vendorId) ||
        !ParseHex16(ids[1].substr(4), &a.productId)) {
        return false;
    }
    const std::string& instance = parts[2];
    if (instance.find('&') != std::string::npos) {
        const std::vector<std::string> location = Split(instance, '&');
        if (location.size() != 2 || !StartsWithIgnoringCase(location[0], "BUS") ||
            !StartsWithIgnoringCase(location[1], "DEV") ||
            !ParseDecimal8(location[0].substr(3), &a.busNumber) ||
            !ParseDecimal8(location[1].substr(3), &a.address)) {
            return false;
        }
        a.byLocation = true;
    } else if (IsPlainSerial(instance)) {
        a.serial = instance;
    } else {
        return false;
    }
    *address = a;
    return true;
}

}  // namespace marnel
