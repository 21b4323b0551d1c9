// The versions of the system libraries this binary runs with, for reports
// a technician sends in.
#pragma once

#include <string>

namespace marnel {

// "1.0.26.11724": the libusb-1.0 loaded at run time.
std::string LibusbVersion();

// "2.4.2": the CUPS library's version as its headers gave it at build time
// (the library has no call that tells it at run time).
std::string CupsVersion();

}  // namespace marnel
