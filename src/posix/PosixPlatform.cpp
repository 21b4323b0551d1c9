#include "posix/PosixPlatform.h"

#include "device/RegistryDeviceBus.h"
#include "platform/AsciiCase.h"
#include "platform/CodePage.h"
#include "platform/PlatformVersion.h"
#include "posix/CupsSpooler.h"
#include "posix/PosixCheckup.h"
#include "posix/PosixEnvironment.h"
#include "posix/PosixFileSystem.h"
#include "posix/PosixHashing.h"
#include "posix/PosixSpooler.h"
#include "posix/SteadyClock.h"
#include "posix/UsbDiscovery.h"
#include "posix/UsbRegistry.h"

namespace marnel {

// The resolution's NT-family walks are the ones the presented registry answers.
class PosixPlatform::Version : public IPlatformVersion {
public:
    BOOL GetPlatformId(DWORD* platformId) override {
        *platformId = kPlatformWin32Nt;
        return 1;
    }
};

// Printer and device names here are single-byte text, and driver names
// ASCII: only the ASCII letters have a case.
class PosixPlatform::CodePage : public ICodePage {
public:
    bool IsLeadByte(unsigned char) const override { return false; }
    unsigned char UpperCase(unsigned char byte) const override { return AsciiUpper(byte); }
};

// The units behind the printers: the registry walks over the presented
// registry. When they lead nowhere, or the device does not open, the
// machine's own reason joins the failure in one line for the expert: a port
// that is not a USB printer, a port left out (and why), no attached device
// matching it, or the device's own error (permission, busy...).
class PosixPlatform::Devices : public IDeviceBus {
public:
    explicit Devices(PosixPlatform& platform)
        : m_platform(platform),
          m_walks(*platform.m_pVersion, *platform.m_pRegistry, *platform.m_pDeviceFile,
                  *platform.m_pCodePage) {}

    bool Locate(const PrinterInfo& printer, DeviceRef* ref, LocateFailure* failure) override {
        m_located = printer;
        if (m_walks.Locate(printer, ref, failure)) {
            return true;
        }
        failure->detail = Explain(failure->step, printer);
        return false;
    }

    std::unique_ptr<IDeviceLink> Open(const DeviceRef& ref, std::string* error) override {
        std::unique_ptr<IDeviceLink> link = m_walks.Open(ref, error);
        if (link == nullptr) {
            *error = Explain(OpenStep::kDeviceFile, m_located);
        }
        return link;
    }

private:
    std::string Explain(OpenStep step, const PrinterInfo& printer) {
        const std::string& port = printer.portName;
        if (port.compare(0, 6, "usb://") != 0) {
            return "the printer " + printer.printerName + " is not on a USB port (" + port + ")";
        }
        // A port left out has no printer node; past that step the port was
        // presented for this printer, though it may be left out for another
        // queue on the same URI.
        const std::string skipped =
            step == OpenStep::kPrinterNode ? m_platform.m_pSpooler->SkipReason(port) : "";
        if (!skipped.empty()) {
            return "the USB printer " + port + " is left out: " + skipped;
        }
        std::vector<UsbPrinterDevice> devices;
        if (!m_platform.ListDevices(&devices)) {
            return "USB devices cannot be listed: " + m_platform.UsbError();
        }
        for (const UsbPrinterDevice& device : devices) {
            if (UsbUriNamesDevice(port, device)) {
                const std::string cause = m_platform.LastDeviceError();
                return "the USB printer " + port + " is attached but could not be used" +
                       (cause.empty() ? std::string() : ": " + cause);
            }
        }
        std::string unopened;
        for (const UsbPrinterDevice& device : devices) {
            if (!device.openError.empty()) {
                unopened += (unopened.empty() ? "" : ", ") + UsbDeviceKeyName(device) +
                            " on bus " + std::to_string(device.busNumber) + ": " +
                            device.openError;
            }
        }
        return "no attached USB printer matches " + port +
               (unopened.empty() ? std::string()
                                 : "; printers that could not be asked who they are: " + unopened);
    }

    PosixPlatform& m_platform;
    CRegistryDeviceBus m_walks;
    PrinterInfo m_located;  // the printer of the last Locate, whose unit Open opens
};

PosixPlatform::PosixPlatform() : PosixPlatform(Options()) {}

PosixPlatform::PosixPlatform(const Options& options)
    : m_options(options),
      m_pSession(std::make_unique<LibusbSession>()),
      m_pCups(std::make_unique<CupsSpooler>(options.cupsServer)),
      m_pDeviceFile(std::make_unique<LibusbDeviceFile>(*m_pSession, options.timeouts)),
      m_pClock(std::make_unique<SteadyClock>()),
      m_pFileSystem(std::make_unique<PosixFileSystem>()),
      m_pEnvironment(std::make_unique<PosixEnvironment>()),
      m_pHashing(std::make_unique<PosixHashing>()),
      m_pVersion(std::make_unique<Version>()),
      m_pCodePage(std::make_unique<CodePage>()) {
    m_pSpooler = std::make_unique<PosixSpooler>(
        *m_pCups, *m_pSession,
        [this](std::vector<UsbPrinterDevice>* devices, std::string* error) {
            return ListDevices(devices, error);
        },
        options.sendTimeoutMs);
    m_pRegistry = std::make_unique<UsbRegistry>(
        [this](std::vector<UsbPrinterDevice>* devices, std::vector<QueuePort>* queues) {
            std::vector<CupsSpooler::Queue> cupsQueues;
            m_pCups->ListQueues(&cupsQueues);  // no CUPS: devices with their own ports only
            for (const CupsSpooler::Queue& queue : cupsQueues) {
                queues->push_back({queue.makeAndModel, queue.deviceUri});
            }
            return ListDevices(devices);
        },
        options.refreshInterval);
    m_pDevices = std::make_unique<Devices>(*this);
    m_pServices.reset(new PlatformServices{*m_pSpooler, *m_pDevices, *m_pClock, *m_pCodePage,
                                           m_pFileSystem.get(), m_pEnvironment.get(),
                                           m_pHashing.get()});
    m_pCheckup = std::make_unique<PosixCheckup>(
        *m_pCups,
        [this](std::vector<UsbPrinterDevice>* devices, std::string* error) {
            return ListDevices(devices, error);
        },
        options.udevRuleFolders.empty() ? DefaultUdevRuleFolders() : options.udevRuleFolders);
}

PosixPlatform::~PosixPlatform() = default;

bool PosixPlatform::ListDevices(std::vector<UsbPrinterDevice>* devices, std::string* error) {
    const auto now = std::chrono::steady_clock::now();
    if (!m_bDevicesValid || now - m_devicesAt >= m_options.refreshInterval) {
        std::string cause;
        m_bDevicesValid = ListUsbPrinters(*m_pSession, m_options.timeouts.controlMs, &m_devices,
                                          &cause);
        m_strUsbError = m_bDevicesValid ? std::string() : cause;
        if (!m_bDevicesValid) {
            m_devices.clear();
        }
        m_devicesAt = now;
    }
    *devices = m_devices;
    if (error) {
        *error = m_bDevicesValid ? std::string() : UsbError();
    }
    return m_bDevicesValid;
}

IMachineCheckup& PosixPlatform::Checkup() { return *m_pCheckup; }

std::vector<UsbPrinterDevice> PosixPlatform::UsbPrinters() {
    std::vector<UsbPrinterDevice> devices;
    ListDevices(&devices);
    return devices;
}

std::string PosixPlatform::LastDeviceError() const { return m_pDeviceFile->LastError(); }

std::string PosixPlatform::LastSpoolerError() const { return m_pSpooler->LastError(); }

std::string PosixPlatform::UsbError() const {
    return m_pSession->Context() ? m_strUsbError : m_pSession->InitError();
}

}  // namespace marnel
