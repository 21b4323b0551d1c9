// What a Linux machine adds to the support bundle: the versions of the
// libraries the tool reaches devices and printers through.
#include "cli/SupportBundle.h"
#include "posix/LibraryVersions.h"

namespace marnel::cli {

SystemFacts GatherSystemFacts() {
    return {"libraries.txt", "the libusb and CUPS versions",
            "libusb " + LibusbVersion() + "\nCUPS " + CupsVersion() + " (built with)\n"};
}

}  // namespace marnel::cli
