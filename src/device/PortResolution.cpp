// Placeholder until the registry walks land: every step fails, so Open
// reports "not found" for every printer name.
#include "device/UsbPrinterPort.h"

namespace marnel {

BOOL CUsbPrinterPort::LookupPrinter(const std::string&, std::string*, std::string*) { return 0; }
BOOL CUsbPrinterPort::FindParentIdPrefix(const std::string&, const std::string&, std::string*) {
    return 0;
}
BOOL CUsbPrinterPort::FindUsbDeviceByPrefix(const std::string&, std::string*, std::string*,
                                            std::string*) {
    return 0;
}
BOOL CUsbPrinterPort::FindInterfaceLink(const std::string&, const std::string&,
                                        const std::string&, std::string*) {
    return 0;
}
BOOL CUsbPrinterPort::FindUsbPrintIds9x(const std::string&, const std::string&, std::string*,
                                        std::string*) {
    return 0;
}
BOOL CUsbPrinterPort::FindUsbDevice9x(const std::string&, const std::string&, std::string*,
                                      std::string*) {
    return 0;
}
BOOL CUsbPrinterPort::FindInterfaceLink9x(const std::string&, const std::string&, std::string*) {
    return 0;
}

}  // namespace marnel
