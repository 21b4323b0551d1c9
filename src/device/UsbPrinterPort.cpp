#include "device/UsbPrinterPort.h"

#include "platform/DeviceFile.h"
#include "platform/OpenDiagnosis.h"
#include "platform/PlatformVersion.h"

namespace marnel {

CUsbPrinterPort::CUsbPrinterPort(const PlatformServices& services)
    : m_hDevice(InvalidHandle()), m_services(services) {}

CUsbPrinterPort::~CUsbPrinterPort() {
    CloseDevice();
}

void CUsbPrinterPort::CloseDevice() {
    if (m_hDevice != InvalidHandle()) {
        m_services.deviceFile.Close(m_hDevice);  // nothing to do about a failed close
        m_hDevice = InvalidHandle();
    }
}

BOOL CUsbPrinterPort::Open(const std::string& printerName, DWORD desiredAccess, DWORD shareMode,
                           void* securityAttributes, DWORD creationDisposition,
                           DWORD flagsAndAttributes, HANDLE templateFile) {
    // A port opened again lets go of its device first, so no handle leaks and
    // an exclusive device can be opened anew.
    CloseDevice();
    if (!FindDevicePath(printerName)) {
        return 0;
    }
    m_hDevice = m_services.deviceFile.Open(m_devicePath, desiredAccess, shareMode,
                                           securityAttributes, creationDisposition,
                                           flagsAndAttributes, templateFile);
    if (m_hDevice == InvalidHandle()) {
        m_openFailure.cause = "the device at " + m_devicePath + " did not open";
        return FailOpen(OpenStep::kDeviceFile);
    }
    return 1;
}

BOOL CUsbPrinterPort::FindDevicePath(const std::string& printerName) {
    m_openFailure = OpenFailure{};
    m_openFailure.printerName = printerName;
    m_devicePath.clear();
    m_printer = PrinterInfo{};
    DWORD platformId = 0;
    if (!m_services.version.GetPlatformId(&platformId)) {
        m_openFailure.cause = "the platform version query failed";
        return FailOpen(OpenStep::kPlatformVersion);
    }
    if (!LookupPrinter(printerName, &m_printer)) {
        return FailOpen(OpenStep::kPrinter);
    }
    const std::string& driverName = m_printer.driverName;
    const std::string& portName = m_printer.portName;
    m_openFailure.portName = portName;
    std::string devicePath;
    if (platformId == kPlatformWin32Windows) {
        std::string deviceId;
        std::string instanceId;
        std::string instancePart;
        std::string interfaceClass;
        if (!FindUsbPrintIds9x(driverName, portName, &deviceId, &instanceId)) {
            return FailOpen(OpenStep::kPrinterNode);
        }
        if (!FindUsbDevice9x(deviceId, instanceId, &instancePart, &interfaceClass)) {
            return FailOpen(OpenStep::kUsbDevice);
        }
        if (!FindInterfaceLink9x(instancePart, interfaceClass, &devicePath)) {
            return FailOpen(OpenStep::kInterfaceLink);
        }
    } else {
        std::string parentIdPrefix;
        std::string deviceKeyName;
        std::string instanceKeyName;
        std::string interfaceClass;
        if (!FindParentIdPrefix(driverName, portName, &parentIdPrefix)) {
            return FailOpen(OpenStep::kPrinterNode);
        }
        if (!FindUsbDeviceByPrefix(parentIdPrefix, &deviceKeyName, &instanceKeyName,
                                   &interfaceClass)) {
            return FailOpen(OpenStep::kUsbDevice);
        }
        if (!FindInterfaceLink(deviceKeyName, instanceKeyName, interfaceClass, &devicePath)) {
            return FailOpen(OpenStep::kInterfaceLink);
        }
    }
    m_devicePath = devicePath;
    return 1;
}

BOOL CUsbPrinterPort::FailOpen(OpenStep step) {
    m_openFailure.step = step;
    if (m_services.openDiagnosis != nullptr) {
        m_openFailure.detail = m_services.openDiagnosis->Explain(step, m_openFailure.printerName,
                                                                 m_openFailure.portName);
    }
    return 0;
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
