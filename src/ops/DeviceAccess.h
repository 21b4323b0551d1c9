// How a use case reaches a unit: it opens a printer's device once, records
// who the unit is, and every later open (after a restart) checks that it is
// still that unit, so that nothing meant for one unit reaches another.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "device/UsbPrinterPort.h"
#include "platform/Services.h"
#include "protocol/DevicePort.h"

namespace marnel {

// Who a unit is. Two opens reach the same unit when both name the same
// serial, or, for a unit without one, the same place on the bus.
struct DeviceIdentity {
    std::string serial;    // the unit's USB serial; empty when it has none
    std::string location;  // where it is attached (on Windows, its device path)

    bool IsSameUnit(const DeviceIdentity& other) const;
    // "serial KQ10SN0001", or "the unit at <path>".
    std::string Describe() const;
};

// An open port and whose it is.
struct OpenedDevice {
    std::unique_ptr<CDevicePort> port;
    std::string printer;
    DeviceIdentity identity;
};

class CDeviceAccess {
public:
    // Makes a closed port; the front end's own (a trace, a test seam).
    using PortFactory = std::function<std::unique_ptr<CDevicePort>()>;

    // Without a factory, plain ports on `services`.
    explicit CDeviceAccess(const PlatformServices& services, PortFactory makePort = nullptr);

    const PlatformServices& Services() const { return m_services; }
    std::unique_ptr<CDevicePort> MakePort() const;

    // Opens `printer`'s device. False with LastOpenFailure() when it did not open.
    bool Open(const std::string& printer, OpenedDevice* device);

    // Opens `printer` again and keeps the port only when it reaches
    // `expected`'s unit. False when it did not open or reached another
    // unit (WrongUnit() then tells which).
    bool Reopen(const std::string& printer, const DeviceIdentity& expected, OpenedDevice* device);

    const OpenFailure& LastOpenFailure() const { return m_lastFailure; }
    // After a Reopen that reached another unit: that unit; else empty.
    const DeviceIdentity& WrongUnit() const { return m_wrongUnit; }

private:
    PlatformServices m_services;
    PortFactory m_makePort;
    OpenFailure m_lastFailure;
    DeviceIdentity m_wrongUnit;
};

// Why `failure`'s printer did not open, in one line for the expert: the
// machine's own reason, else the walk's cause, else where it was looked
// for. `place` names the machine ("the simulated KQ-10"); `wantedSerial`
// is the serial the unit was chosen by, when it was.
std::string DescribeOpenFailure(const OpenFailure& failure, const std::string& place,
                                const std::string& wantedSerial = std::string());

}  // namespace marnel
