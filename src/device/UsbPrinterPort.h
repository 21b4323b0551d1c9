// CUsbPrinterPort: from a printer's spooler name to its unit, located and
// opened through the platform's device bus, and the unit's vendor requests
// and data pipe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/DeviceBus.h"
#include "platform/Services.h"
#include "platform/Spooler.h"
#include "platform/Types.h"

namespace marnel {

// Why Open failed, for the expert: Open's own result stays a plain BOOL.
struct OpenFailure {
    OpenStep step = OpenStep::kNone;
    std::string cause;        // e.g. the key that could not be listed
    std::string printerName;  // the printer Open was asked for
    std::string portName;     // its port, once the spooler gave it
    std::string detail;       // the back end's own reason; empty when it has none
};

class CUsbPrinterPort {
public:
    explicit CUsbPrinterPort(const PlatformServices& services);
    virtual ~CUsbPrinterPort();

    CUsbPrinterPort(const CUsbPrinterPort&) = delete;
    CUsbPrinterPort& operator=(const CUsbPrinterPort&) = delete;

    // Looks the printer up in the spooler, locates its unit and opens it.
    // Non-zero when the unit is open. On a port that is open already, the
    // unit is closed first.
    virtual BOOL Open(const std::string& printerName);

    // Open's lookup and locate without opening anything: non-zero with the
    // unit in Device(), or zero with LastOpenFailure() as Open leaves it.
    // An open unit stays open.
    BOOL Locate(const std::string& printerName);

    // The open unit's vendor requests and data pipe (IDeviceLink); each
    // fails on a port that is not open.
    bool VendorSet(std::uint8_t request, std::uint16_t value, const std::uint8_t* data,
                   std::size_t size);
    bool VendorGet(std::uint8_t request, std::uint16_t value, const std::uint8_t* data,
                   std::size_t size, std::uint8_t* reply, std::size_t capacity,
                   std::size_t* received);
    bool ReadData(std::uint8_t* buffer, std::size_t size, std::size_t* received);

    bool IsOpen() const { return m_pLink != nullptr; }
    // Why the open unit's last call failed, in the back end's words; empty
    // when it gave none.
    std::string LinkError() const { return m_pLink ? m_pLink->LastError() : std::string(); }
    // Why the last Open failed; step kNone after a success.
    const OpenFailure& LastOpenFailure() const { return m_openFailure; }
    // The unit the last Open located (and tried to open); empty when it
    // located none.
    const DeviceRef& Device() const { return m_device; }
    // The spooler's record of the printer the last Open looked up (what the
    // protocol knows its model by); empty when the spooler gave none.
    const PrinterInfo& Printer() const { return m_printer; }

protected:
    const PlatformServices& Services() const { return m_services; }

    // Takes a unit opened another way (a test's, a fuzzer's); the next Open
    // replaces it.
    void Adopt(std::unique_ptr<IDeviceLink> link) { m_pLink = std::move(link); }

private:
    // Writes *printer only on success.
    BOOL LookupPrinter(const std::string& printerName, PrinterInfo* printer);
    BOOL FailOpen(OpenStep step);

    PlatformServices m_services;
    OpenFailure m_openFailure;
    DeviceRef m_device;
    PrinterInfo m_printer;
    std::unique_ptr<IDeviceLink> m_pLink;
};

}  // namespace marnel
