#include "posix/LibraryVersions.h"

#include <cups/cups.h>
#include <libusb.h>

namespace marnel {

std::string LibusbVersion() {
    const libusb_version* version = libusb_get_version();
    return std::to_string(version->major) + "." + std::to_string(version->minor) + "." +
           std::to_string(version->micro) + "." + std::to_string(version->nano) +
           (version->rc != nullptr ? version->rc : "");
}

std::string CupsVersion() {
    return std::to_string(CUPS_VERSION_MAJOR) + "." + std::to_string(CUPS_VERSION_MINOR) + "." +
           std::to_string(CUPS_VERSION_PATCH);
}

}  // namespace marnel
