// The units a back end can reach, in the device's own verbs: find the unit
// behind a printer, open it, and speak its two vendor controls and its data
// pipe. Windows finds a unit by the registry walks and speaks through the
// printing class driver's device controls (device/RegistryDeviceBus); Linux
// matches CUPS device URIs to the USB bus and speaks through libusb; the
// core sees neither.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/Spooler.h"

namespace marnel {

// The maker's USB vendor id: the back ends tell its devices from others' by it.
constexpr std::uint16_t kMakerVendorId = 0x1a2b;

// The vendor id as udev rules and Windows device node names write it: four
// lower-case hex digits.
inline std::string MakerVendorIdHex() {
    const char* digits = "0123456789abcdef";
    std::string hex;
    for (int shift = 12; shift >= 0; shift -= 4) {
        hex += digits[(kMakerVendorId >> shift) & 0xF];
    }
    return hex;
}

// The step of opening a printer's unit that failed. The steps between the
// printer and the unit are the registry walks'; a bus that finds units
// another way fails at the nearest of them.
enum class OpenStep {
    kNone,             // the open succeeded, or was not tried
    kPlatformVersion,  // the version query failed
    kPrinter,          // the spooler gave no driver and port names
    kPrinterNode,      // no USB printer node for the driver and port
    kUsbDevice,        // no USB device node (or interface class) behind it
    kInterfaceLink,    // no device-interface record with a symbolic link
    kDeviceFile,       // the unit was found but did not open
};

// Who a unit is, as its back end found it. Only the back end that made a
// reference reads its `id`; the core reads the rest.
struct DeviceRef {
    std::string id;        // the back end's own name for the unit (a device path, a bus address)
    std::string model;     // the model the unit names itself by; empty when unknown
    std::string serial;    // as the unit gives it; empty when it has none
    std::string location;  // where it is attached; the identity of a unit without a serial
};

// Why a printer leads to no unit.
struct LocateFailure {
    OpenStep step = OpenStep::kNone;
    std::string cause;   // what was not found or could not be read
    std::string detail;  // the machine's own reason; empty when it has none
};

// An open unit; closing it is destroying it. Each call blocks for at most
// the back end's time-out.
class IDeviceLink {
public:
    virtual ~IDeviceLink() = default;

    // Vendor set: the request code, the value, and `size` bytes of data stage.
    virtual bool VendorSet(std::uint8_t request, std::uint16_t value, const std::uint8_t* data,
                           std::size_t size) = 0;

    // Vendor get: the request code and the value; `data` holds the request's
    // bytes after the value, which the Windows driver's request carries and a
    // USB control transfer has no place for. Up to `capacity` reply bytes go
    // to `reply`; *received gets the count the device (or its driver) gave,
    // which the caller does not trust beyond `capacity`.
    virtual bool VendorGet(std::uint8_t request, std::uint16_t value, const std::uint8_t* data,
                           std::size_t size, std::uint8_t* reply, std::size_t capacity,
                           std::size_t* received) = 0;

    // Reads up to `size` bytes from the data pipe. A success may deliver 0
    // bytes (*received = 0), e.g. on a read time-out.
    virtual bool ReadData(std::uint8_t* buffer, std::size_t size, std::size_t* received) = 0;

    // The cause of the last failure, for the expert; empty after a success.
    virtual std::string LastError() const { return std::string(); }
};

class IDeviceBus {
public:
    virtual ~IDeviceBus() = default;

    // The unit behind `printer` (a spooler record): true with *ref filled,
    // or false with *failure saying at which step and why.
    virtual bool Locate(const PrinterInfo& printer, DeviceRef* ref, LocateFailure* failure) = 0;

    // Opens the unit `ref` names; null with the machine's reason in *error,
    // empty when the back end knows no more than that it did not open.
    virtual std::unique_ptr<IDeviceLink> Open(const DeviceRef& ref, std::string* error) = 0;
};

}  // namespace marnel
