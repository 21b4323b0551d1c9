// A simulated Windows machine with Zarvel devices plugged in: each device is
// a printer in the spooler, a chain of registry keys laid out as the system
// lays them out (Enum\USBPRINT, Enum\USB with "ParentIdPrefix" and "Device
// Parameters\SymbolicName", Control\DeviceClasses with the "#" subkey and
// "SymbolicLink", and the Windows 95/98/Me family's Enum keys beside them),
// and a simulated device answering at the symbolic link those keys lead to.
// A port opened by printer name goes through the real registry walks (the
// Windows locator over this registry and device file).
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <utility>

#include "device/RegistryDeviceBus.h"
#include "platform/Services.h"
#include "sim/MemoryFileSystem.h"
#include "sim/MemoryRegistry.h"
#include "sim/MemorySpooler.h"
#include "sim/SimDevice.h"
#include "sim/SimDeviceFile.h"
#include "sim/SimPlatform.h"
#include "sim/VirtualClock.h"

namespace marnel {

// How one device is installed. Empty names take the model's defaults:
// printer and driver "Zarvel <model>", the next free port "USB00<n>".
struct SimDeviceSetup {
    SimDeviceSetup() = default;
    explicit SimDeviceSetup(SimModel model_, std::string printerName_ = {},
                            std::string driverName_ = {}, std::string portName_ = {},
                            bool offline_ = false)
        : model(model_),
          printerName(std::move(printerName_)),
          driverName(std::move(driverName_)),
          portName(std::move(portName_)),
          offline(offline_) {}

    SimModel model = SimModel::kKQ10;
    std::string printerName;
    std::string driverName;
    std::string portName;
    bool offline = false;  // the printer is set to work offline
    std::string serial;    // empty: the model's and the device's number, "KQ10SN0001"
};

// One installed device and the names the machine knows it by.
struct SimInstalledDevice {
    explicit SimInstalledDevice(SimModel model) : device(model) {}

    SimDevice device;
    PrinterInfo printer;
    std::string serial;        // the USB instance key name
    std::string devicePath;    // the NT family's symbolic link
    std::string devicePath9x;  // the 95/98/Me family's symbolic link
    bool plugged = true;
};

class SimWorld {
public:
    // An NT-family machine (platform id 2) with no printers yet. It hashes
    // as its host does: `hashing` is the build's back end, handed in by
    // whoever builds the world; without one, nothing that records a digest
    // may run on it.
    explicit SimWorld(IHashing* hashing = nullptr);
    ~SimWorld();

    SimWorld(const SimWorld&) = delete;
    SimWorld& operator=(const SimWorld&) = delete;

    // Installs and plugs in a device after those already there.
    SimInstalledDevice& AddDevice(const SimDeviceSetup& setup = {});
    // A printer of another maker on its own USB port, with its USB printer
    // node but nothing behind it that opens.
    void AddOtherPrinter(const std::string& printerName, const std::string& driverName,
                         const std::string& portName);

    // By printer name (letter case ignored); null when there is none.
    SimInstalledDevice* Find(const std::string& printerName);
    SimInstalledDevice& Device(std::size_t index) { return m_devices.at(index); }
    std::size_t DeviceCount() const { return m_devices.size(); }
    // Requests its devices refused as unknown, all together.
    std::size_t UnexpectedCount() const;

    // Unplugging leaves the printer and its keys, as the system does; only
    // the device stops answering. False when no such printer.
    bool Unplug(const std::string& printerName);
    bool Plug(const std::string& printerName);
    bool SetOffline(const std::string& printerName, bool offline);
    // Deletes the printer from the spooler; its device stays plugged in.
    bool DeletePrinter(const std::string& printerName);

    MemorySpooler& Spooler() { return m_spooler; }
    MemoryRegistry& Registry() { return m_registry; }
    SimDeviceFile& DeviceFile() { return m_deviceFile; }
    VirtualClock& Clock() { return m_clock; }
    SimPlatformVersion& Version() { return m_version; }
    SimCodePage& CodePage() { return m_codePage; }
    MemoryFileSystem& Files() { return m_files; }
    SimEnvironment& Environment() { return m_environment; }
    // Every part of the machine, for a port or a window.
    const PlatformServices& Services() const { return m_services; }

private:
    void WriteKeys(const SimInstalledDevice& installed, std::size_t number);
    void DeliverJob(const SpoolerJob& job);

    SimPlatformVersion m_version{kPlatformWin32Nt};
    MemorySpooler m_spooler;
    MemoryRegistry m_registry;
    SimDeviceFile m_deviceFile;
    VirtualClock m_clock;
    SimCodePage m_codePage;
    MemoryFileSystem m_files;
    SimEnvironment m_environment;
    CRegistryDeviceBus m_bus{m_version, m_registry, m_deviceFile, m_codePage};
    PlatformServices m_services;
    std::deque<SimInstalledDevice> m_devices;  // stable references
    std::size_t m_portsUsed = 0;
};

}  // namespace marnel
