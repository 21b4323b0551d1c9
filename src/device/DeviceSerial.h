// The USB serial number a device path carries. The system names a device's
// instance by its serial when the device has one, and makes one up (with
// '&' in it, as "5&2A3B&0&1" or "BUS001&DEV002") when it has none.
#pragma once

#include <string>

namespace marnel {

// "\\?\USB#VID_1A2B&PID_0010#KQ10SN0001#{...}" and the 95/98/Me family's
// "\\.\KQ10SN0001#{...}" give "KQ10SN0001"; a made-up instance or a path of
// another shape gives "".
std::string SerialOfDevicePath(const std::string& devicePath);

}  // namespace marnel
