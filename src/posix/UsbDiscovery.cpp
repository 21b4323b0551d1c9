#include "posix/UsbDiscovery.h"

#include <libusb.h>

#include <memory>

namespace marnel {

namespace {

constexpr std::uint8_t kClassPrinter = 7;
constexpr std::uint8_t kSubclassPrinter = 1;
constexpr std::uint8_t kRequestGetDeviceId = 0;  // printer class GET_DEVICE_ID
constexpr std::uint8_t kClassInterfaceIn = 0xA1;
constexpr int kDeviceIdCapacity = 1024;

struct PrinterInterface {
    std::uint8_t number = 0;
    std::uint8_t altSetting = 0;
    std::uint8_t bulkIn = 0;
    std::uint8_t bulkOut = 0;
    std::uint16_t inPacketSize = 0;
};

bool FindPrinterInterface(libusb_device* device, PrinterInterface* found) {
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(device, &config) != 0 &&
        libusb_get_config_descriptor(device, 0, &config) != 0) {
        return false;
    }
    bool ok = false;
    for (int i = 0; i < config->bNumInterfaces && !ok; ++i) {
        const libusb_interface& iface = config->interface[i];
        for (int a = 0; a < iface.num_altsetting && !ok; ++a) {
            const libusb_interface_descriptor& alt = iface.altsetting[a];
            if (alt.bInterfaceClass != kClassPrinter ||
                alt.bInterfaceSubClass != kSubclassPrinter) {
                continue;
            }
            PrinterInterface p;
            p.number = alt.bInterfaceNumber;
            p.altSetting = alt.bAlternateSetting;
            for (int e = 0; e < alt.bNumEndpoints; ++e) {
                const libusb_endpoint_descriptor& ep = alt.endpoint[e];
                if ((ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK) {
                    continue;
                }
                if (ep.bEndpointAddress & LIBUSB_ENDPOINT_IN) {
                    if (!p.bulkIn) {
                        p.bulkIn = ep.bEndpointAddress;
                        p.inPacketSize = ep.wMaxPacketSize & 0x7FF;
                    }
                } else if (!p.bulkOut) {
                    p.bulkOut = ep.bEndpointAddress;
                }
            }
            *found = p;
            ok = true;
        }
    }
    libusb_free_config_descriptor(config);
    return ok;
}

// A string descriptor in the device's first language, as UTF-8.
std::string StringDescriptor(libusb_device_handle* handle, std::uint8_t index) {
    unsigned char languages[4] = {};
    unsigned char text[256] = {};
    if (!index || libusb_get_string_descriptor(handle, 0, 0, languages, sizeof languages) < 4) {
        return std::string();
    }
    const int n = libusb_get_string_descriptor(
        handle, index, static_cast<std::uint16_t>(languages[2] | (languages[3] << 8)), text,
        sizeof text);
    return n > 2 ? StringDescriptorText(text, static_cast<std::size_t>(n)) : std::string();
}

std::string PortPathOf(libusb_device* device) {
    std::uint8_t ports[8] = {};
    const int count = libusb_get_port_numbers(device, ports, sizeof ports);
    return UsbPortPath(libusb_get_bus_number(device), ports, count);
}

// The IEEE 1284 device ID: a big-endian length that counts itself, then the text.
std::string ReadDeviceId(libusb_device_handle* handle, const PrinterInterface& iface,
                         unsigned timeoutMs) {
    unsigned char reply[kDeviceIdCapacity] = {};
    const int n =
        libusb_control_transfer(handle, kClassInterfaceIn, kRequestGetDeviceId, 0,
                                static_cast<std::uint16_t>((iface.number << 8) | iface.altSetting),
                                reply, sizeof reply, timeoutMs);
    return n < 2 ? std::string() : DeviceIdFromReply(reply, static_cast<std::size_t>(n));
}

struct DeviceList {
    libusb_device** devices = nullptr;
    ssize_t count = 0;
    ~DeviceList() {
        if (devices) {
            libusb_free_device_list(devices, 1);
        }
    }
};

}  // namespace

LibusbSession::LibusbSession() {
    const int r = libusb_init(&m_pContext);
    if (r != 0) {
        m_pContext = nullptr;
        m_strInitError = "libusb_init: " + LibusbErrorText(r);
    }
}

LibusbSession::~LibusbSession() {
    if (m_pContext) {
        libusb_exit(m_pContext);
    }
}

std::string LibusbErrorText(int code) {
    std::string text = libusb_error_name(code);
    switch (code) {
        case LIBUSB_ERROR_PIPE:
            return text + " (the device stalled the request)";
        case LIBUSB_ERROR_TIMEOUT:
            return text + " (the device did not answer in time)";
        case LIBUSB_ERROR_NO_DEVICE:
            return text + " (the device was disconnected)";
        case LIBUSB_ERROR_ACCESS:
            return text + " (no permission to open the device)";
        case LIBUSB_ERROR_BUSY:
            return text + " (the interface is held by another program)";
        default:
            return text;
    }
}

bool ListUsbPrinters(LibusbSession& session, unsigned timeoutMs,
                     std::vector<UsbPrinterDevice>* devices, std::string* error) {
    if (!session.Context()) {
        *error = session.InitError();
        return false;
    }
    DeviceList list;
    list.count = libusb_get_device_list(session.Context(), &list.devices);
    if (list.count < 0) {
        *error = "listing USB devices: " + LibusbErrorText(static_cast<int>(list.count));
        return false;
    }
    std::vector<UsbPrinterDevice> found;
    for (ssize_t i = 0; i < list.count; ++i) {
        libusb_device* device = list.devices[i];
        libusb_device_descriptor desc;
        PrinterInterface iface;
        if (libusb_get_device_descriptor(device, &desc) != 0 ||
            !FindPrinterInterface(device, &iface)) {
            continue;
        }
        UsbPrinterDevice printer;
        printer.vendorId = desc.idVendor;
        printer.productId = desc.idProduct;
        printer.busNumber = libusb_get_bus_number(device);
        printer.address = libusb_get_device_address(device);
        printer.interfaceNumber = iface.number;
        printer.portPath = PortPathOf(device);
        printer.usb.reset(libusb_ref_device(device), libusb_unref_device);
        libusb_device_handle* handle = nullptr;
        const int r = libusb_open(device, &handle);
        if (r == 0) {
            printer.serial = StringDescriptor(handle, desc.iSerialNumber);
            const int bound = libusb_kernel_driver_active(handle, iface.number);
            printer.kernelDriver = bound < 0 ? -1 : bound;
            printer.deviceId = ReadDeviceId(handle, iface, timeoutMs);
            printer.manufacturer = DeviceIdField(printer.deviceId, "MFG", "MANUFACTURER");
            printer.model = DeviceIdField(printer.deviceId, "MDL", "MODEL");
            if (printer.manufacturer.empty() || printer.model.empty()) {
                printer.manufacturer = StringDescriptor(handle, desc.iManufacturer);
                printer.model = StringDescriptor(handle, desc.iProduct);
            }
            libusb_close(handle);
        } else {
            printer.openError = LibusbErrorText(r);
        }
        found.push_back(printer);
    }
    *devices = std::move(found);
    return true;
}

std::unique_ptr<UsbPrinterHandle> UsbPrinterHandle::Open(const UsbPrinterDevice& device,
                                                         std::string* error) {
    PrinterInterface iface;
    auto* usb = static_cast<libusb_device*>(device.usb.get());
    if (!usb || !FindPrinterInterface(usb, &iface)) {
        *error = "the device has no printer interface";
        return nullptr;
    }
    std::unique_ptr<UsbPrinterHandle> printer(new UsbPrinterHandle);
    const int r = libusb_open(usb, &printer->m_pHandle);
    if (r != 0) {
        *error = "opening it: " + LibusbErrorText(r);
        return nullptr;
    }
    printer->m_nInterface = iface.number;
    printer->m_nBulkIn = iface.bulkIn;
    printer->m_nBulkOut = iface.bulkOut;
    printer->m_nInPacketSize = iface.inPacketSize;
    return printer;
}

UsbPrinterHandle::~UsbPrinterHandle() {
    if (m_bClaimed) {
        // With automatic detach this also re-attaches the kernel printer driver.
        libusb_release_interface(m_pHandle, m_nInterface);
    }
    libusb_close(m_pHandle);
}

bool UsbPrinterHandle::Claim(std::string* error) {
    if (!m_bClaimed) {
        libusb_set_auto_detach_kernel_driver(m_pHandle, 1);
        const int r = libusb_claim_interface(m_pHandle, m_nInterface);
        if (r != 0) {
            *error = "claiming the printer interface: " + LibusbErrorText(r);
            return false;
        }
        m_bClaimed = true;
    }
    return true;
}

}  // namespace marnel
