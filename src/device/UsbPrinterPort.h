// CUsbPrinterPort: from a printer's spooler name to an open handle on its
// USB interface, found through the registry's device tree, and the raw
// read and device-control pass-through on that handle.
#pragma once

#include <string>

#include "platform/OpenDiagnosis.h"
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

    // Resolves the printer to its device path and opens it with the six
    // CreateFileA arguments, unchanged. Non-zero when the device is open.
    // On a port that is open already, the device is closed first.
    BOOL Open(const std::string& printerName, DWORD desiredAccess, DWORD shareMode,
              void* securityAttributes, DWORD creationDisposition, DWORD flagsAndAttributes,
              HANDLE templateFile);

    // The registry walks of Open without opening anything: non-zero with the
    // path in DevicePath(), or zero with LastOpenFailure() as Open leaves it.
    // An open device stays open.
    BOOL FindDevicePath(const std::string& printerName);

    // ReadFile on the device handle, result unchanged.
    BOOL Read(void* buffer, DWORD bytesToRead, DWORD* bytesRead, void* overlapped);

    // DeviceIoControl on the device handle, result unchanged.
    BOOL IoControl(DWORD controlCode, void* inBuffer, DWORD inSize, void* outBuffer, DWORD outSize,
                   DWORD* bytesReturned, void* overlapped);

    // Why the last Open failed; step kNone after a success.
    const OpenFailure& LastOpenFailure() const { return m_openFailure; }
    // The device path the last Open found (and tried to open); empty when
    // the walks found none.
    const std::string& DevicePath() const { return m_devicePath; }
    // The spooler's record of the printer the last Open looked up (what the
    // protocol knows its model by); empty when the spooler gave none.
    const PrinterInfo& Printer() const { return m_printer; }

protected:
    const PlatformServices& Services() const { return m_services; }

    HANDLE m_hDevice;

private:
    // Each step writes its outputs only on success.
    BOOL LookupPrinter(const std::string& printerName, PrinterInfo* printer);
    BOOL FindParentIdPrefix(const std::string& driverName, const std::string& portName,
                            std::string* parentIdPrefix);
    BOOL FindUsbDeviceByPrefix(const std::string& parentIdPrefix, std::string* deviceKeyName,
                               std::string* instanceKeyName, std::string* interfaceClass);
    BOOL FindInterfaceLink(const std::string& deviceKeyName, const std::string& instanceKeyName,
                           const std::string& interfaceClass, std::string* devicePath);
    BOOL FindUsbPrintIds9x(const std::string& driverName, const std::string& portName,
                           std::string* deviceId, std::string* instanceId);
    BOOL FindUsbDevice9x(const std::string& deviceId, const std::string& instanceId,
                         std::string* instancePart, std::string* interfaceClass);
    BOOL FindInterfaceLink9x(const std::string& instancePart, const std::string& interfaceClass,
                             std::string* devicePath);

    BOOL FailOpen(OpenStep step);
    void CloseDevice();

    PlatformServices m_services;
    OpenFailure m_openFailure;
    std::string m_devicePath;
    PrinterInfo m_printer;
};

}  // namespace marnel
