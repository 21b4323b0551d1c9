// A CDevicePort wired to one simulated device through the simulated device
// file and a virtual clock. The port's link is opened straight on the
// device's path, so protocol tests do not depend on printer resolution.
#pragma once

#include <algorithm>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "UnexpectedRequests.h"
#include "device/RegistryDeviceBus.h"
#include "platform/AsciiCase.h"
#include "platform/CodePage.h"
#include "platform/PlatformVersion.h"
#include "platform/Registry.h"
#include "platform/Services.h"
#include "platform/Spooler.h"
#include "protocol/DevicePort.h"
#include "protocol/ParameterBlock.h"
#include "sim/SimDevice.h"
#include "sim/SimDeviceFile.h"
#include "sim/VirtualClock.h"

namespace marnel::test {

// Worlds with no printers: resolution is not under test here.
class NoVersion : public IPlatformVersion {
public:
    BOOL GetPlatformId(DWORD*) override { return 0; }
};
class NoRegistry : public IRegistry {
public:
    BOOL OpenKey(RegKey, const std::string&, RegKey*) override { return 0; }
    RegEnumStatus EnumKey(RegKey, DWORD, std::string*, DWORD*) override {
        return RegEnumStatus::kNoMoreItems;
    }
    BOOL QueryValue(RegKey, const std::string&, std::string*) override { return 0; }
    void CloseKey(RegKey) override {}
};
class NoSpooler : public ISpooler {
public:
    PrinterList EnumLocalPrinters() override { return {}; }
    BOOL OpenPrinter(const std::string&, PrinterHandle*) override { return 0; }
    PrinterQuery GetPrinter(PrinterHandle) override { return {}; }
    BOOL ClosePrinter(PrinterHandle) override { return 0; }
    DWORD StartDocPrinter(PrinterHandle, const DocInfo&) override { return 0; }
    BOOL StartPagePrinter(PrinterHandle) override { return 0; }
    BOOL WritePrinter(PrinterHandle, const void*, DWORD, DWORD*) override { return 0; }
    BOOL EndPagePrinter(PrinterHandle) override { return 0; }
    BOOL EndDocPrinter(PrinterHandle) override { return 0; }
    BOOL CancelJob(PrinterHandle, DWORD) override { return 0; }
    JobStatus GetJob(PrinterHandle, DWORD) override { return {}; }
    std::string LastError() const override { return "no spooler"; }
};
class SingleByteCodePage : public ICodePage {
public:
    bool IsLeadByte(unsigned char) const override { return false; }
    unsigned char UpperCase(unsigned char byte) const override { return AsciiUpper(byte); }
};

// Lets a test hand the port an open link.
class TestPort : public CDevicePort {
public:
    using CDevicePort::Adopt;
    using CDevicePort::CDevicePort;
};

constexpr char kDevicePath[] =
    "\\\\?\\usb#vid_1a2b&pid_0010#kq0001#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";

// One device on the simulated device file, sharing one clock; no printers.
struct DeviceBench {
    explicit DeviceBench(SimModel model = SimModel::kKQ10, IClock* realClock = nullptr)
        : device(model),
          services{spooler, devices,
                   realClock != nullptr ? *realClock : static_cast<IClock&>(clock), codePage} {
        if (realClock == nullptr) {
            device.SetClock(&clock);
        }
        files.Attach(kDevicePath, device);
    }
    ~DeviceBench() { ExpectUnexpectedRequests(device, expectedUnexpected); }

    // The device opened as a located unit is; null when it did not open.
    std::unique_ptr<IDeviceLink> OpenLink() {
        std::string error;
        return devices.Open(DeviceRef{kDevicePath, "", "", kDevicePath}, &error);
    }

    // A port on the device, open unless the device is taken.
    std::unique_ptr<TestPort> OpenPort() {
        auto port = std::make_unique<TestPort>(services);
        port->Adopt(OpenLink());
        return port;
    }

    // Requests the test means the device to refuse as unknown.
    std::size_t expectedUnexpected = 0;
    VirtualClock clock;
    SimDevice device;
    SimDeviceFile files;
    NoVersion version;
    NoSpooler spooler;
    NoRegistry registry;
    SingleByteCodePage codePage;
    CRegistryDeviceBus devices{version, registry, files, codePage};
    PlatformServices services;
};

// A control request as the device saw it: what protocol tests pin.
struct Request {
    DWORD code;
    std::vector<std::uint8_t> bytes;
    DWORD capacity;
    bool operator==(const Request& other) const {
        return code == other.code && bytes == other.bytes && capacity == other.capacity;
    }
};

inline void PrintTo(const Request& r, std::ostream* os) {
    *os << (r.code == kIoctlVendorSetCommand   ? "SET"
            : r.code == kIoctlVendorGetCommand ? "GET"
                                               : "???");
    for (std::uint8_t b : r.bytes) {
        static const char kHex[] = "0123456789ABCDEF";
        *os << ' ' << kHex[b >> 4] << kHex[b & 15];
    }
    *os << " cap " << r.capacity;
}

inline Request Set(std::vector<std::uint8_t> bytes) {
    return {kIoctlVendorSetCommand, std::move(bytes), 0};
}
inline Request Get(std::vector<std::uint8_t> bytes, DWORD capacity) {
    return {kIoctlVendorGetCommand, std::move(bytes), capacity};
}

inline std::vector<Request> Requests(const SimDevice& device) {
    std::vector<Request> requests;
    for (const SimLogEntry& e : device.ControlLog()) {
        requests.push_back({e.controlCode, e.request, e.replyCapacity});
    }
    return requests;
}

// The requests of the table, by name.
inline Request Identity() {
    return Get({0xF0, 0x00, 0x00}, 8);
}
inline Request StartParameterRead() {
    return Set({0xF0, 0x00, 0x08, 0x01});
}
inline Request ParameterReadStatus() {
    return Get({0xF0, 0x00, 0x08, 0x01}, 3);
}
inline Request ParameterDataRead() {
    return Get({0xF0, 0x00, 0x0A, 0x01}, 266);
}
inline Request StoreParameters() {
    return Set({0xF0, 0x00, 0x08, 0x02, 0x02});
}
inline Request StoreStatus() {
    return Get({0xF0, 0x00, 0x08, 0x02, 0x02}, 3);
}
inline Request StartVersionRead() {
    return Set({0xF0, 0x00, 0x08, 0x03});
}
inline Request VersionStatus() {
    return Get({0xF0, 0x00, 0x08, 0x03}, 3);
}
inline Request VersionDataRead() {
    return Get({0xF0, 0x00, 0x0A, 0x03}, 9);
}
inline Request StartReport() {
    return Set({0xF0, 0x00, 0x08, 0x04});
}
inline Request ReportStatus() {
    return Get({0xF0, 0x00, 0x08, 0x04}, 3);
}

// The simulated device keeps its block as bytes; the port takes it as a block.
inline ParameterBlockBytes AsBlock(const std::vector<std::uint8_t>& bytes) {
    ParameterBlockBytes block{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), block.size()), block.begin());
    return block;
}

inline std::vector<Request> Repeat(const Request& r, int times) {
    return std::vector<Request>(static_cast<std::size_t>(times), r);
}
inline std::vector<Request> Concat(std::initializer_list<std::vector<Request>> parts) {
    std::vector<Request> all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

}  // namespace marnel::test
