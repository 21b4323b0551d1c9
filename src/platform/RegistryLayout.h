// The keys below HKEY_LOCAL_MACHINE that the port resolution reads, and that
// the back ends which present a registry of their own build, so that both
// sides name each key the same way.
#pragma once

namespace marnel {

// NT family.
inline constexpr char kUsbPrintKeyNt[] = "SYSTEM\\CurrentControlSet\\Enum\\USBPRINT";
inline constexpr char kUsbKeyNt[] = "SYSTEM\\CurrentControlSet\\Enum\\USB";
inline constexpr char kDeviceClassesKey[] = "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses";

// 95/98/Me family.
inline constexpr char kUsbPrintKey9x[] = "Enum\\USBPRINT";
inline constexpr char kUsbKey9x[] = "Enum\\USB";

// The device interface classes below DeviceClasses: a USB device
// (GUID_DEVINTERFACE_USB_DEVICE) and a USB printer (GUID_DEVINTERFACE_USBPRINT).
inline constexpr char kUsbDeviceInterfaceClass[] = "{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
inline constexpr char kUsbPrintInterfaceClass[] = "{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";

}  // namespace marnel
