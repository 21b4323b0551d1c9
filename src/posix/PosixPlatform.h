// The real Linux machine as the core sees it: CUPS queues and the maker's
// queue-less USB devices as the spooler, the USB devices their printers
// lead to as the device bus (libusb), both read from one look at CUPS and
// the bus (see PrinterLook.h); the steady clock, POSIX files, libcrypto's
// digests and a single-byte code page.
//
//     PosixPlatform platform;                  // or PosixPlatform(options)
//     CDevicePort port(platform.Services());
//     if (!port.Open(printerName)) ... port.LastOpenFailure().detail ...
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Services.h"
#include "posix/LibusbDeviceBus.h"
#include "posix/PrinterLook.h"

namespace marnel {

class IMachineCheckup;
class PosixCheckup;
class PosixEnvironment;
class PosixFileSystem;
class PosixHashing;
class PosixSpooler;
class SteadyClock;

class PosixPlatform {
public:
    struct Options {
        std::string cupsServer;  // as CUPS_SERVER takes it; empty keeps the user's default
        LibusbDeviceBus::Timeouts timeouts;
        // How long a queue-less device may take no byte of a job.
        unsigned sendTimeoutMs = 30000;
        // Asked between the transfers of a job to a queue-less device; true
        // stops the job (a signal arrived).
        std::function<bool()> interrupted;
        // How long one look at CUPS and the USB bus serves.
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

    // The checks of this machine's set-up for the doctor.
    IMachineCheckup& Checkup();

    // The current look: taken afresh when the last is older than the interval.
    const PrinterLook& Look();

private:
    class CodePage;

    Options m_options;
    std::unique_ptr<LibusbSession> m_pSession;
    std::unique_ptr<CupsSpooler> m_pCups;
    std::unique_ptr<PosixSpooler> m_pSpooler;
    std::unique_ptr<LibusbDeviceBus> m_pDevices;
    std::unique_ptr<SteadyClock> m_pClock;
    std::unique_ptr<PosixFileSystem> m_pFileSystem;
    std::unique_ptr<PosixEnvironment> m_pEnvironment;
    std::unique_ptr<PosixHashing> m_pHashing;
    std::unique_ptr<CodePage> m_pCodePage;
    std::unique_ptr<PlatformServices> m_pServices;
    std::unique_ptr<PosixCheckup> m_pCheckup;

    PrinterLook m_look;
    std::chrono::steady_clock::time_point m_lookedAt;
    bool m_bLooked = false;
};

}  // namespace marnel
