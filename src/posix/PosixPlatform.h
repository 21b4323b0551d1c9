// The real Linux machine as the core sees it: CUPS queues and the maker's
// queue-less USB devices as the spooler, the attached USB printers as the
// registry the Windows locator walks to reach them (platform id 2, so the
// NT-family walks run) with libusb as its device file, the steady clock,
// POSIX files, libcrypto's digests and a single-byte code page.
//
//     PosixPlatform platform;                  // or PosixPlatform(options)
//     CDevicePort port(platform.Services());
//     if (!port.Open(printerName)) ... port.LastOpenFailure().detail ...
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/Services.h"
#include "posix/LibusbDeviceFile.h"
#include "posix/UsbPrinterNames.h"

namespace marnel {

class CupsSpooler;
class IMachineCheckup;
class LibusbSession;
class PosixCheckup;
class PosixEnvironment;
class PosixFileSystem;
class PosixHashing;
class PosixSpooler;
class SteadyClock;
class UsbRegistry;

class PosixPlatform {
public:
    struct Options {
        std::string cupsServer;  // as CUPS_SERVER takes it; empty keeps the user's default
        LibusbDeviceFile::Timeouts timeouts;
        unsigned sendTimeoutMs = 30000;  // one piece of a raw job to a queue-less device
        // How long one look at the USB devices and queues serves the walks.
        std::chrono::milliseconds refreshInterval{1000};
        // Where the checkup looks for the udev rule; empty: the system's folders.
        std::vector<std::string> udevRuleFolders;
    };

    PosixPlatform();
    explicit PosixPlatform(const Options& options);
    ~PosixPlatform();
    PosixPlatform(const PosixPlatform&) = delete;
    PosixPlatform& operator=(const PosixPlatform&) = delete;

    // The services to construct ports and commands with; valid while this lives.
    const PlatformServices& Services() const { return *m_pServices; }

    // The causes of the last failures, for diagnostics (empty when unknown).
    std::string LastDeviceError() const;   // opening, a vendor request, a read
    std::string LastSpoolerError() const;  // listing, opening a printer, a job
    // Why USB devices cannot be seen at all (libusb did not start); empty when they can.
    std::string UsbError() const;

    // The checks of this machine's set-up for the doctor.
    IMachineCheckup& Checkup();

    // The attached USB printer-class devices as last seen.
    std::vector<UsbPrinterDevice> UsbPrinters();

private:
    class Version;
    class CodePage;
    class Devices;

    bool ListDevices(std::vector<UsbPrinterDevice>* devices, std::string* error = nullptr);

    Options m_options;
    std::unique_ptr<LibusbSession> m_pSession;
    std::unique_ptr<CupsSpooler> m_pCups;
    std::unique_ptr<PosixSpooler> m_pSpooler;
    std::unique_ptr<UsbRegistry> m_pRegistry;
    std::unique_ptr<LibusbDeviceFile> m_pDeviceFile;
    std::unique_ptr<SteadyClock> m_pClock;
    std::unique_ptr<PosixFileSystem> m_pFileSystem;
    std::unique_ptr<PosixEnvironment> m_pEnvironment;
    std::unique_ptr<PosixHashing> m_pHashing;
    std::unique_ptr<Version> m_pVersion;
    std::unique_ptr<CodePage> m_pCodePage;
    std::unique_ptr<Devices> m_pDevices;
    std::unique_ptr<PlatformServices> m_pServices;
    std::unique_ptr<PosixCheckup> m_pCheckup;

    std::vector<UsbPrinterDevice> m_devices;
    std::chrono::steady_clock::time_point m_devicesAt;
    bool m_bDevicesValid = false;
    std::string m_strUsbError;
};

}  // namespace marnel
