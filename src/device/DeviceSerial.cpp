#include "device/DeviceSerial.h"

namespace marnel {

std::string SerialOfDevicePath(const std::string& devicePath) {
    static const std::string kNtPrefix = "\\\\?\\USB#";
    static const std::string k9xPrefix = "\\\\.\\";
    std::size_t start = std::string::npos;
    if (devicePath.compare(0, kNtPrefix.size(), kNtPrefix) == 0) {
        const std::size_t ids = devicePath.find('#', kNtPrefix.size());
        start = ids == std::string::npos ? ids : ids + 1;
    } else if (devicePath.compare(0, k9xPrefix.size(), k9xPrefix) == 0) {
        start = k9xPrefix.size();
    }
    if (start == std::string::npos) {
        return std::string();
    }
    const std::size_t end = devicePath.find('#', start);
    if (end == std::string::npos) {
        return std::string();
    }
    const std::string instance = devicePath.substr(start, end - start);
    return instance.find('&') == std::string::npos ? instance : std::string();
}

}  // namespace marnel
