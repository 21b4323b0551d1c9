#include "posix/PosixPlatform.h"

#include "platform/AsciiCase.h"
#include "platform/CodePage.h"
#include "posix/CupsSpooler.h"
#include "posix/PosixCheckup.h"
#include "posix/PosixEnvironment.h"
#include "posix/PosixFileSystem.h"
#include "posix/PosixHashing.h"
#include "posix/PosixSpooler.h"
#include "posix/SteadyClock.h"
#include "posix/UsbDiscovery.h"

namespace marnel {

// Printer and device names here are single-byte text, and driver names
// ASCII: only the ASCII letters have a case.
class PosixPlatform::CodePage : public ICodePage {
public:
    bool IsLeadByte(unsigned char) const override { return false; }
    unsigned char UpperCase(unsigned char byte) const override { return AsciiUpper(byte); }
};

PosixPlatform::PosixPlatform() : PosixPlatform(Options()) {}

PosixPlatform::PosixPlatform(const Options& options)
    : m_options(options),
      m_pSession(std::make_unique<LibusbSession>()),
      m_pCups(std::make_unique<CupsSpooler>(options.cupsServer)),
      m_pClock(std::make_unique<SteadyClock>()),
      m_pFileSystem(std::make_unique<PosixFileSystem>()),
      m_pEnvironment(std::make_unique<PosixEnvironment>()),
      m_pHashing(std::make_unique<PosixHashing>()),
      m_pCodePage(std::make_unique<CodePage>()) {
    const PrinterLooker look = [this]() -> const PrinterLook& { return Look(); };
    m_pSpooler = std::make_unique<PosixSpooler>(
        *m_pCups, look, UsbDeviceJob::Options{options.sendTimeoutMs, options.interrupted});
    m_pDevices = std::make_unique<LibusbDeviceBus>(look, options.timeouts);
    m_pServices.reset(new PlatformServices{*m_pSpooler, *m_pDevices, *m_pClock, *m_pCodePage,
                                           m_pFileSystem.get(), m_pEnvironment.get(),
                                           m_pHashing.get()});
    m_pCheckup = std::make_unique<PosixCheckup>(
        look, options.udevRuleFolders.empty() ? DefaultUdevRuleFolders() : options.udevRuleFolders);
}

PosixPlatform::~PosixPlatform() = default;

const PrinterLook& PosixPlatform::Look() {
    const auto now = std::chrono::steady_clock::now();
    if (!m_bLooked || now - m_lookedAt >= m_options.refreshInterval) {
        m_look = TakePrinterLook(*m_pCups, *m_pSession, m_options.timeouts.controlMs);
        m_lookedAt = now;
        m_bLooked = true;
    }
    return m_look;
}

IMachineCheckup& PosixPlatform::Checkup() {
    return *m_pCheckup;
}

}  // namespace marnel
