#include "device/UsbPrinterPort.h"

namespace marnel {

CUsbPrinterPort::CUsbPrinterPort(const PlatformServices& services) : m_services(services) {}

CUsbPrinterPort::~CUsbPrinterPort() = default;

BOOL CUsbPrinterPort::Open(const std::string& printerName) {
    // A port opened again lets go of its unit first, so no handle leaks and
    // an exclusive device can be opened anew.
    m_pLink.reset();
    if (!Locate(printerName)) {
        return 0;
    }
    std::string error;
    m_pLink = m_services.devices.Open(m_device, &error);
    if (m_pLink == nullptr) {
        m_openFailure.cause = "the device at " + m_device.location + " did not open";
        m_openFailure.detail = error;
        return FailOpen(OpenStep::kDeviceFile);
    }
    return 1;
}

BOOL CUsbPrinterPort::Locate(const std::string& printerName) {
    m_openFailure = OpenFailure{};
    m_openFailure.printerName = printerName;
    m_device = DeviceRef{};
    m_printer = PrinterInfo{};
    if (!LookupPrinter(printerName, &m_printer)) {
        m_openFailure.detail = m_services.spooler.LastError();
        return FailOpen(OpenStep::kPrinter);
    }
    m_openFailure.portName = m_printer.portName;
    LocateFailure failure;
    if (!m_services.devices.Locate(m_printer, &m_device, &failure)) {
        m_device = DeviceRef{};
        m_openFailure.cause = failure.cause;
        m_openFailure.detail = failure.detail;
        return FailOpen(failure.step);
    }
    return 1;
}

BOOL CUsbPrinterPort::FailOpen(OpenStep step) {
    m_openFailure.step = step;
    return 0;
}

bool CUsbPrinterPort::VendorSet(std::uint8_t request, std::uint16_t value, const std::uint8_t* data,
                                std::size_t size) {
    return m_pLink != nullptr && m_pLink->VendorSet(request, value, data, size);
}

bool CUsbPrinterPort::VendorGet(std::uint8_t request, std::uint16_t value, const std::uint8_t* data,
                                std::size_t size, std::uint8_t* reply, std::size_t capacity,
                                std::size_t* received) {
    return m_pLink != nullptr &&
           m_pLink->VendorGet(request, value, data, size, reply, capacity, received);
}

bool CUsbPrinterPort::ReadData(std::uint8_t* buffer, std::size_t size, std::size_t* received) {
    return m_pLink != nullptr && m_pLink->ReadData(buffer, size, received);
}

}  // namespace marnel
