#include "device/UsbPrinterNames.h"

#include "platform/AsciiCase.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

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

std::string PercentDecode(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() &&
            std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
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

std::string StringDescriptorText(const unsigned char* descriptor, std::size_t size) {
    std::string text;
    auto put = [&text](std::uint32_t c) {
        if (c < 0x80) {
            text += static_cast<char>(c);
            return;
        }
        const int tail = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
        text += static_cast<char>(((0xFF00u >> (tail + 1)) & 0xFF) | (c >> (6 * tail)));
        for (int i = tail - 1; i >= 0; --i) {
            text += static_cast<char>(0x80 | ((c >> (6 * i)) & 0x3F));
        }
    };
    for (std::size_t i = 2; i + 1 < size; i += 2) {
        std::uint32_t c = descriptor[i] | (descriptor[i + 1] << 8);
        if (c == 0) {
            break;  // the text after a zero would be lost when the name is read back
        }
        const bool pairs = c >= 0xD800 && c < 0xDC00 && i + 3 < size && descriptor[i + 3] >= 0xDC &&
                           descriptor[i + 3] < 0xE0;
        if (pairs) {
            c = 0x10000 + ((c - 0xD800) << 10) +
                ((descriptor[i + 2] | (descriptor[i + 3] << 8)) - 0xDC00);
            i += 2;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        put(c);
    }
    return text;
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

namespace {

// Percent-encodes as CUPS writes a device URI: "%", blanks, control
// characters and bytes past ASCII, and the characters in `reserved`.
std::string CupsEncode(const std::string& s, const char* reserved = "") {
    std::string out;
    for (unsigned char c : s) {
        if (c == '%' || c <= ' ' || c >= 0x7F || std::strchr(reserved, c) != nullptr) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// What CUPS makes of a serial it reads through libusb: each character past
// ASCII a "?", one per UTF-16 unit.
std::string CupsSerial(const std::string& serial) {
    std::string out;
    for (unsigned char c : serial) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c >= 0xC0) {
            out += c >= 0xF0 ? "??" : "?";  // a lead byte; continuation bytes add nothing
        }
    }
    return out;
}

// The fields CUPS writes into a usb:// URI's query. A model or a serial may
// hold "?", "&" or "=" unencoded, so a field only begins where one of these
// follows the separator.
constexpr const char* kUriFields[] = {"serial=", "location=", "interface="};

std::size_t NextField(const std::string& s, std::size_t from, char separator) {
    std::size_t next = std::string::npos;
    for (const char* field : kUriFields) {
        next = std::min(next, s.find(separator + std::string(field), from));
    }
    return next;
}

// A usb:// URI taken apart, each part percent-decoded.
struct UsbUri {
    std::string make;
    std::string model;
    std::string serial;  // empty when it names none (or "?", CUPS's "none")
    std::string location;
    bool hasLocation = false;
};

bool ParseUsbUri(const std::string& uri, UsbUri* parsed) {
    if (!StartsWithIgnoringCase(uri, "usb://")) {
        return false;
    }
    const std::string rest = uri.substr(6);
    const std::size_t slash = rest.find('/');
    if (slash == std::string::npos) {
        return false;
    }
    UsbUri u;
    u.make = PercentDecode(rest.substr(0, slash));
    const std::string path = rest.substr(slash + 1);
    std::size_t query = NextField(path, 0, '?');
    query = query == std::string::npos ? path.find('?') : query;
    u.model = PercentDecode(path.substr(0, query));
    for (std::size_t at = query; at != std::string::npos && at < path.size();) {
        const std::size_t next = NextField(path, at + 1, '&');
        const std::string field =
            path.substr(at + 1, next == std::string::npos ? next : next - at - 1);
        const std::size_t eq = field.find('=');
        const std::string value =
            eq == std::string::npos ? "" : PercentDecode(field.substr(eq + 1));
        if (field.compare(0, eq, "serial") == 0) {
            u.serial = value == "?" ? "" : value;
        } else if (field.compare(0, eq, "location") == 0) {
            u.location = value;
            u.hasLocation = true;
        }
        at = next;
    }
    *parsed = u;
    return true;
}

}  // namespace

std::string UsbDeviceUri(const UsbPrinterDevice& device, bool locate) {
    std::string uri = "usb://" + CupsEncode(device.manufacturer, "\"#/:<>?@[\\]^`{|}") + "/" +
                      CupsEncode(device.model);
    if (locate) {
        uri += "?location=" + CupsEncode(device.portPath);
    } else if (!device.serial.empty()) {
        uri += "?serial=" + CupsEncode(device.serial);
    }
    return uri;
}

bool UsbUriNamesDevice(const std::string& uri, const UsbPrinterDevice& device) {
    UsbUri u;
    if (!ParseUsbUri(uri, &u) || !AsciiEqualsNoCase(u.make, device.manufacturer) ||
        !AsciiEqualsNoCase(u.model, device.model)) {
        return false;
    }
    // A URI without a serial names every alike device, as CUPS prints to it.
    if (!u.serial.empty() && u.serial != device.serial && u.serial != CupsSerial(device.serial)) {
        return false;
    }
    return !u.hasLocation || u.location == device.portPath;
}

std::string UsbDeviceKeyName(const UsbPrinterDevice& device) {
    char name[32];
    std::snprintf(name, sizeof name, "VID_%04X&PID_%04X", device.vendorId, device.productId);
    return name;
}

}  // namespace marnel
