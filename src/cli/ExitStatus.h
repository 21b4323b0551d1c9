// The tool's exit statuses.
#pragma once

namespace marnel::cli {

constexpr int kExitSuccess = 0;
constexpr int kExitDeviceFailed = 1;  // the device refused or a transfer failed
constexpr int kExitUsage = 2;         // usage or file error
constexpr int kExitNoDevice = 3;      // no device could be opened

// list, inventory, metrics: a source of printers could not be read; doctor:
// a check failed.
constexpr int kExitIncomplete = 1;

// check: a unit differs from the profile or could not be read.
constexpr int kExitDrift = 1;

// inspect: 0 valid, 1 invalid, 2 file error.
constexpr int kExitInvalidBlock = 1;

}  // namespace marnel::cli
