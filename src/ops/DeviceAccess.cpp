#include "ops/DeviceAccess.h"

#include "platform/AsciiCase.h"
#include "protocol/DevicePort.h"

namespace marnel {

bool DeviceIdentity::IsSameUnit(const DeviceIdentity& other) const {
    if (!serial.empty() || !other.serial.empty()) {
        // The system may change a serial's letter case in its names.
        return AsciiEqualsNoCase(serial, other.serial);
    }
    return !location.empty() && location == other.location;
}

std::string DeviceIdentity::Describe() const {
    return serial.empty() ? "the unit at " + location : "serial " + serial;
}

CDeviceAccess::CDeviceAccess(const PlatformServices& services, PortFactory makePort)
    : m_services(services), m_makePort(std::move(makePort)) {}

std::unique_ptr<CDevicePort> CDeviceAccess::MakePort() const {
    return m_makePort ? m_makePort() : std::make_unique<CDevicePort>(m_services);
}

bool CDeviceAccess::Open(const std::string& printer, OpenedDevice* device) {
    m_wrongUnit = DeviceIdentity{};
    device->port = MakePort();
    device->printer = printer;
    const bool opened = device->port->Open(printer) != 0;
    m_lastFailure = device->port->LastOpenFailure();
    // As its back end found it: a serial where the unit has one, else where it is attached.
    device->identity.serial = device->port->Device().serial;
    device->identity.location = device->port->Device().location;
    if (!opened) {
        device->port.reset();
    }
    return opened;
}

bool CDeviceAccess::Reopen(const std::string& printer, const DeviceIdentity& expected,
                           OpenedDevice* device) {
    if (!Open(printer, device)) {
        return false;
    }
    if (device->identity.IsSameUnit(expected)) {
        return true;
    }
    m_wrongUnit = device->identity;
    device->port.reset();
    return false;
}

std::string DescribeOpenFailure(const OpenFailure& failure, const std::string& place,
                                const std::string& wantedSerial) {
    if (failure.printerName.empty()) {
        return (wantedSerial.empty() ? "no Zarvel device found on "
                                     : "no Zarvel device with serial " + wantedSerial + " on ") +
               place + "; see 'marnel list'";
    }
    if (!failure.detail.empty()) {
        return failure.detail;
    }
    if (!failure.cause.empty()) {
        return failure.cause;
    }
    return "printer \"" + failure.printerName + "\" on " + place;
}

}  // namespace marnel
