// Which printer ports the Linux back end presents for the attached USB
// printers: one for each CUPS queue whose device URI names exactly one
// attached device (a later queue whose port would share an earlier one's
// registry key, letter case ignored, is left out), and one for each of the
// maker's devices that no such queue names. A port whose names could not be
// presented safely is kept with the reason it is left out, so that the
// spooler shows its printer offline and a failed open says why; it never
// stops the others.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "posix/UsbPrinterNames.h"

namespace marnel {

// A printer queue's driver name and port name (its device URI, as CUPS has it).
struct QueuePort {
    std::string driverName;
    std::string portName;
};

// The printer node is named "<parent id prefix>&<port>", and its name must
// list: at most 255 characters, of which the prefix ("7&1a2b3c4d&0") takes 12.
constexpr std::size_t kParentIdPrefixChars = 12;
constexpr std::size_t kMaxPortChars = kRegNameChars - 1 - kParentIdPrefixChars - 1;

struct UsbPort {
    int device = -1;         // index into the devices; -1 when the URI names several
    std::string driverName;  // the printer's driver name, its node's DeviceDesc
    std::string portName;    // as the spooler presents it (PresentedUsbPort)
    bool queueless = false;  // one of the maker's devices that no queue names
    std::string skipReason;  // why it is not presented; empty when it is
};

// The ports, queues first in their order, then the queue-less devices in theirs.
std::vector<UsbPort> PlanUsbPorts(const std::vector<UsbPrinterDevice>& devices,
                                  const std::vector<QueuePort>& queues);

// Why the port presented as `portName` is left out; empty when it is not.
// One port may serve two queues of the same device URI, and be left out for
// the later one only: given the driver name, the reason is that queue's own.
std::string SkipReasonOf(const std::vector<UsbPort>& plan, const std::string& portName);
std::string SkipReasonOf(const std::vector<UsbPort>& plan, const std::string& driverName,
                         const std::string& portName);

}  // namespace marnel
