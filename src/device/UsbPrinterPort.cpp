#include "device/UsbPrinterPort.h"

#include "platform/DeviceFile.h"
#include "platform/PlatformVersion.h"

namespace marnel {

CUsbPrinterPort::CUsbPrinterPort(const PlatformServices& services)
    : m_hDevice(InvalidHandle()), m_services(services) {}

CUsbPrinterPort::~CUsbPrinterPort() {
    if (m_hDevice != InvalidHandle()) {
        m_services.deviceFile.Close(m_hDevice);  // nothing to do about a failed close
        m_hDevice = InvalidHandle();
    }
}

BOOL CUsbPrinterPort::Open(const std::string& printerName, DWORD desiredAccess, DWORD shareMode,
                           void* securityAttributes, DWORD creationDisposition,
                           DWORD flagsAndAttributes, HANDLE templateFile) {
    DWORD platformId = 0;
    if (!m_services.version.GetPlatformId(&platformId)) {
        return 0;
    }
    std::string driverName;
    std::string portName;
    if (!LookupPrinter(printerName, &driverName, &portName)) {
        return 0;
    }
    std::string devicePath;
    if (platformId == kPlatformWin32Windows) {
        std::string deviceId;
        std::string instanceId;
        std::string instancePart;
        std::string interfaceClass;
        if (!FindUsbPrintIds9x(driverName, portName, &deviceId, &instanceId) ||
            !FindUsbDevice9x(deviceId, instanceId, &instancePart, &interfaceClass) ||
            !FindInterfaceLink9x(instancePart, interfaceClass, &devicePath)) {
            return 0;
        }
    } else {
        std::string parentIdPrefix;
        std::string deviceKeyName;
        std::string instanceKeyName;
        std::string interfaceClass;
        if (!FindParentIdPrefix(driverName, portName, &parentIdPrefix) ||
            !FindUsbDeviceByPrefix(parentIdPrefix, &deviceKeyName, &instanceKeyName,
                                   &interfaceClass) ||
            !FindInterfaceLink(deviceKeyName, instanceKeyName, interfaceClass, &devicePath)) {
            return 0;
        }
    }
    m_hDevice = m_services.deviceFile.Open(devicePath, desiredAccess, shareMode,
                                           securityAttributes, creationDisposition,
                                           flagsAndAttributes, templateFile);
    return m_hDevice != InvalidHandle() ? 1 : 0;
}

BOOL CUsbPrinterPort::Read(void* buffer, DWORD bytesToRead, DWORD* bytesRead, void* overlapped) {
    return m_services.deviceFile.Read(m_hDevice, buffer, bytesToRead, bytesRead, overlapped);
}

BOOL CUsbPrinterPort::IoControl(DWORD controlCode, void* inBuffer, DWORD inSize, void* outBuffer,
                                DWORD outSize, DWORD* bytesReturned, void* overlapped) {
    return m_services.deviceFile.IoControl(m_hDevice, controlCode, inBuffer, inSize, outBuffer,
                                           outSize, bytesReturned, overlapped);
}

}  // namespace marnel
