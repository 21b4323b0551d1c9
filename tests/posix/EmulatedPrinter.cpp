#include "EmulatedPrinter.h"

#include <errno.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <umockdev.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace marnel {

namespace {

constexpr std::uint8_t kVendorRequest = 0xF0;
constexpr std::uint16_t kValueIdentity = 0x0000;
constexpr std::uint16_t kValueCommand = 0x0008;
constexpr std::uint16_t kValueData = 0x000A;
constexpr int kParameterBytes = 266;
constexpr std::uint8_t kStatusFailed = 0x01;

std::string Hex(const std::uint8_t* bytes, std::size_t n) {
    std::string text;
    char two[4];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(two, sizeof two, i ? " %02X" : "%02X", bytes[i]);
        text += two;
    }
    return text;
}

std::string HexLE16(std::uint16_t v) {
    char text[8];
    std::snprintf(text, sizeof text, "%02x%02x", v & 0xFF, v >> 8);
    return text;
}

// Where the device sits in sysfs: root port <address> of bus 1.
std::string SysPath(const EmulatedPrinter::Identity& id) {
    return "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-" + std::to_string(id.address);
}

// The sysfs record of the device: USB 2.0, one configuration whose interface 0
// is a printer (7/1/2) with bulk OUT 0x01 and bulk IN 0x81 of 512 bytes, on
// root port <address>; no serial number string when the serial is empty.
std::string DeviceRecord(const EmulatedPrinter::Identity& id, const std::string& node) {
    char num[8];
    std::snprintf(num, sizeof num, "%03u", id.address);
    const std::string descriptors = "12010002000000" "40" + HexLE16(id.vendorId) +
                                    HexLE16(id.productId) +
                                    "00010102" + (id.serial.empty() ? "00" : "03") + "01"
                                    "09022000010100c032"
                                    "090400000207010200"
                                    "07050102000200"
                                    "07058102000200";
    std::string r;
    r += "P: " + SysPath(id).substr(4) + "\n";
    r += "N: " + node.substr(5) + "\n";
    r += "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\n";
    r += "E: DEVNAME=" + node + "\nE: BUSNUM=001\nE: DEVNUM=" + std::string(num) + "\n";
    r += "A: busnum=1\\n\nA: devnum=" + std::to_string(id.address) + "\\n\nA: speed=480\\n\n";
    r += "A: bConfigurationValue=1\\n\n";
    char ids[64];
    std::snprintf(ids, sizeof ids, "A: idVendor=%04x\\n\nA: idProduct=%04x\\n\n", id.vendorId,
                  id.productId);
    r += ids;
    // The record is C text: a product string with a zero in it ends there.
    r += "A: manufacturer=" + id.manufacturer + "\\n\nA: product=" + id.model.c_str() + "\\n\n";
    r += "A: serial=" + id.serial + "\\n\n";
    r += "H: descriptors=" + descriptors + "\n";
    return r;
}

// The text is UTF-8, of characters in the Basic Multilingual Plane.
std::vector<std::uint8_t> StringDescriptor(const std::string& text) {
    std::vector<std::uint8_t> d = {0, 0x03};
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned c = static_cast<unsigned char>(text[i]);
        if (c >= 0xE0 && i + 2 < text.size()) {
            c = ((c & 0x0F) << 12) | ((text[i + 1] & 0x3F) << 6) | (text[i + 2] & 0x3F);
            i += 2;
        } else if (c >= 0xC0 && i + 1 < text.size()) {
            c = ((c & 0x1F) << 6) | (text[i + 1] & 0x3F);
            i += 1;
        }
        d.push_back(static_cast<std::uint8_t>(c));
        d.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    d[0] = static_cast<std::uint8_t>(d.size());
    return d;
}

}  // namespace

bool UnderUmockdev() {
    const char* preload = std::getenv("LD_PRELOAD");
    return preload && std::strstr(preload, "umockdev-preload");
}

std::string CupsDir() {
    const char* dir = std::getenv("MARNEL_TEST_CUPS_DIR");
    return dir ? dir : "";
}

std::string BenchMissing() {
    if (!UnderUmockdev()) {
        return "needs umockdev-wrapper (package umockdev)";
    }
    if (CupsDir().empty() || !std::ifstream(CupsDir() + "/cupsd.pid").good()) {
        return "no private CUPS server (cupsd or lpadmin not installed)";
    }
    const std::string hasQueue =
        "lpstat -h " + CupsDir() + "/cups.sock -v Zarvel_usb >/dev/null 2>&1";
    if (std::system(hasQueue.c_str()) != 0) {
        return "no usb:// queue on the private CUPS server";
    }
    return std::string();
}

UsbTestbed::UsbTestbed() : m_pTestbed(umockdev_testbed_new()) {}

UsbTestbed::~UsbTestbed() { g_object_unref(m_pTestbed); }

EmulatedPrinter::EmulatedPrinter(UsbTestbed& testbed, const Identity& identity)
    : m_testbed(testbed), m_identity(identity) {
    char node[32];
    std::snprintf(node, sizeof node, "/dev/bus/usb/001/%03u", identity.address);
    m_strDevNode = node;
    m_pHandler = umockdev_ioctl_base_new();
    g_signal_connect(m_pHandler, "handle-ioctl", G_CALLBACK(&EmulatedPrinter::OnIoctl), this);
    // The handler must be in place before the device appears.
    umockdev_testbed_attach_ioctl(testbed.Get(), m_strDevNode.c_str(), m_pHandler, nullptr);
    umockdev_testbed_add_from_string(testbed.Get(), DeviceRecord(identity, m_strDevNode).c_str(),
                                     nullptr);
}

EmulatedPrinter::~EmulatedPrinter() {
    Unplug();
    std::lock_guard<std::mutex> lock(m_mutex);
    for (UMockdevIoctlData* urb : m_reapable) {
        umockdev_ioctl_data_unref(urb);
    }
    for (UMockdevIoctlData* urb : m_pending) {
        umockdev_ioctl_data_unref(urb);
    }
    g_object_unref(m_pHandler);
}

void EmulatedPrinter::Unplug() {
    if (!m_plugged) {
        return;
    }
    m_plugged = false;
    // Its record goes too, so the bus no longer lists it, not only its node
    // falls silent. The handler stays alive for a request already on its way.
    umockdev_testbed_remove_device(m_testbed.Get(), SysPath(m_identity).c_str());
    umockdev_testbed_detach_ioctl(m_testbed.Get(), m_strDevNode.c_str(), nullptr);
}

void EmulatedPrinter::SetScript(const Script& script) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_script = script;
    m_bulkOutBeforeScript = m_bulkOut.size();
}

std::vector<std::string> EmulatedPrinter::Log() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_log;
}

std::vector<std::string> EmulatedPrinter::VendorRequests() const {
    std::vector<std::string> vendor;
    for (const std::string& entry : Log()) {
        if (entry.compare(0, 11, "ctrl 41 F0 ") == 0 || entry.compare(0, 11, "ctrl C1 F0 ") == 0) {
            vendor.push_back(entry);
        }
    }
    return vendor;
}

std::vector<std::uint8_t> EmulatedPrinter::BulkOutData() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bulkOut;
}

std::vector<std::uint8_t> EmulatedPrinter::StoredParameters() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stored;
}

bool EmulatedPrinter::KernelDriverBound() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_driverBound;
}

int EmulatedPrinter::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self) {
    return static_cast<EmulatedPrinter*>(self)->HandleIoctl(client) ? TRUE : FALSE;
}

void EmulatedPrinter::Finish(UMockdevIoctlData* urbData, int status, int actual) {
    auto* urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
    urb->status = status;
    urb->actual_length = actual;
    m_reapable.push_back(urbData);
}

bool EmulatedPrinter::HandleIoctl(UMockdevIoctlClient* client) {
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    std::lock_guard<std::mutex> lock(m_mutex);
    switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
        UMockdevIoctlData* caps = umockdev_ioctl_data_resolve(arg, 0, sizeof(std::uint32_t), nullptr);
        *reinterpret_cast<std::uint32_t*>(caps->data) = 0;
        umockdev_ioctl_data_unref(caps);
        umockdev_ioctl_client_complete(client, 0, 0);
        return true;
    }
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_RELEASEINTERFACE: {
        UMockdevIoctlData* n = umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned int), nullptr);
        const unsigned iface = *reinterpret_cast<unsigned int*>(n->data);
        umockdev_ioctl_data_unref(n);
        if (request == USBDEVFS_CLAIMINTERFACE && m_driverBound) {
            umockdev_ioctl_client_complete(client, -1, EBUSY);  // the kernel driver holds it
            return true;
        }
        m_log.push_back((request == USBDEVFS_CLAIMINTERFACE ? "claim " : "release ") +
                        std::to_string(iface));
        umockdev_ioctl_client_complete(client, 0, 0);
        return true;
    }
    case USBDEVFS_DISCONNECT_CLAIM: {
        UMockdevIoctlData* dc =
            umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_disconnect_claim), nullptr);
        const auto* claim = reinterpret_cast<usbdevfs_disconnect_claim*>(dc->data);
        const unsigned iface = claim->interface;
        umockdev_ioctl_data_unref(dc);
        if (m_driverBound) {
            m_log.push_back("detach usblp");
            m_driverBound = false;
        }
        m_log.push_back("claim " + std::to_string(iface));
        umockdev_ioctl_client_complete(client, 0, 0);
        return true;
    }
    case USBDEVFS_GETDRIVER: {
        UMockdevIoctlData* gd =
            umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_getdriver), nullptr);
        if (m_driverBound) {
            std::strcpy(reinterpret_cast<usbdevfs_getdriver*>(gd->data)->driver, "usblp");
            umockdev_ioctl_client_complete(client, 0, 0);
        } else {
            umockdev_ioctl_client_complete(client, -1, ENODATA);
        }
        umockdev_ioctl_data_unref(gd);
        return true;
    }
    case USBDEVFS_IOCTL: {
        UMockdevIoctlData* io = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_ioctl), nullptr);
        const int code = reinterpret_cast<usbdevfs_ioctl*>(io->data)->ioctl_code;
        umockdev_ioctl_data_unref(io);
        if (code == static_cast<int>(USBDEVFS_CONNECT)) {
            m_log.push_back("attach");
            m_driverBound = true;
        } else if (code == static_cast<int>(USBDEVFS_DISCONNECT)) {
            m_log.push_back("detach usblp");
            m_driverBound = false;
        }
        umockdev_ioctl_client_complete(client, 0, 0);
        return true;
    }
    case USBDEVFS_SETCONFIGURATION:
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESET:
        umockdev_ioctl_client_complete(client, 0, 0);
        return true;
    case USBDEVFS_SUBMITURB: {
        SubmitUrb(umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr));
        umockdev_ioctl_client_complete(client, 0, 0);
        return true;
    }
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY: {
        if (m_reapable.empty()) {
            umockdev_ioctl_client_complete(client, -1, EAGAIN);
            return true;
        }
        UMockdevIoctlData* urb = m_reapable.front();
        m_reapable.pop_front();
        UMockdevIoctlData* slot = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
        umockdev_ioctl_data_set_ptr(slot, 0, urb);
        umockdev_ioctl_data_unref(urb);
        umockdev_ioctl_data_unref(slot);
        umockdev_ioctl_client_complete(client, 0, 0);
        return true;
    }
    case USBDEVFS_DISCARDURB: {
        // The argument is the address of the client's URB itself.
        gulong target = 0;
        std::memcpy(&target, arg->data, sizeof target);
        for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
            if ((*it)->client_addr == target) {
                UMockdevIoctlData* urb = *it;
                m_pending.erase(it);
                Finish(urb, -ENOENT, 0);
                umockdev_ioctl_client_complete(client, 0, 0);
                return true;
            }
        }
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return true;
    }
    default:
        std::fprintf(stderr, "emulated printer: unhandled ioctl 0x%lx\n", request);
        umockdev_ioctl_client_complete(client, -1, ENOTTY);
        return true;
    }
}

void EmulatedPrinter::SubmitUrb(UMockdevIoctlData* urbData) {
    auto* urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
    UMockdevIoctlData* buffer = umockdev_ioctl_data_resolve(
        urbData, offsetof(usbdevfs_urb, buffer), static_cast<gsize>(urb->buffer_length), nullptr);
    std::uint8_t* bytes = buffer->data;
    const int length = urb->buffer_length;
    if (m_script.mode == Mode::kSilent) {
        m_log.push_back(urb->type == USBDEVFS_URB_TYPE_CONTROL ? "ctrl " + Hex(bytes, 8) + " (no answer)"
                                                              : "bulk (no answer)");
        m_pending.push_back(urbData);
    } else if (urb->type == USBDEVFS_URB_TYPE_CONTROL) {
        const std::uint16_t wLength = static_cast<std::uint16_t>(bytes[6] | (bytes[7] << 8));
        std::string entry = "ctrl " + Hex(bytes, 8);
        if (!(bytes[0] & 0x80) && wLength) {
            entry += " : " + Hex(bytes + 8, wLength);
        }
        m_log.push_back(entry);
        int actual = 0;
        if (AnswerControl(bytes, bytes + 8, &actual)) {
            Finish(urbData, 0, actual);
        } else {
            Finish(urbData, -EPIPE, 0);
        }
    } else if (urb->type == USBDEVFS_URB_TYPE_BULK && (urb->endpoint & 0x80)) {
        m_log.push_back("bulk-in " + std::to_string(length));
        if (m_script.stallBulkIn) {
            Finish(urbData, -EPIPE, 0);
        } else if (m_bulkIn.empty()) {
            m_pending.push_back(urbData);  // the host times out
        } else {
            int n = 0;
            while (n < length && !m_bulkIn.empty()) {
                bytes[n++] = m_bulkIn.front();
                m_bulkIn.pop_front();
            }
            Finish(urbData, 0, n);
        }
    } else if (urb->type == USBDEVFS_URB_TYPE_BULK &&
               m_bulkOut.size() - m_bulkOutBeforeScript + static_cast<std::size_t>(length) >
                   m_script.bulkOutTakes) {
        m_log.push_back("bulk-out " + std::to_string(length) + " (full)");
        if (m_script.bulkOutStallsWhenFull) {
            Finish(urbData, -EPIPE, 0);
        } else {
            m_pending.push_back(urbData);  // the host times out
        }
    } else if (urb->type == USBDEVFS_URB_TYPE_BULK) {
        m_log.push_back("bulk-out " + std::to_string(length));
        m_bulkOut.insert(m_bulkOut.end(), bytes, bytes + length);
        Finish(urbData, 0, length);
    } else {
        Finish(urbData, -EINVAL, 0);
    }
    umockdev_ioctl_data_unref(buffer);
}

// The device's side of the protocol. False stalls the request.
bool EmulatedPrinter::AnswerControl(const std::uint8_t* setup, std::uint8_t* data, int* actual) {
    const std::uint8_t type = setup[0];
    const std::uint8_t request = setup[1];
    const std::uint16_t value = static_cast<std::uint16_t>(setup[2] | (setup[3] << 8));
    const std::uint16_t length = static_cast<std::uint16_t>(setup[6] | (setup[7] << 8));
    auto reply = [&](const std::vector<std::uint8_t>& bytes) {
        const std::size_t n = std::min<std::size_t>(bytes.size(), length);
        if (n != 0) {  // an empty reply's data() may be null
            std::memcpy(data, bytes.data(), n);
        }
        *actual = static_cast<int>(n);
        return true;
    };
    if (type == 0x80 && request == 6 && (value >> 8) == 3) {  // GET_DESCRIPTOR (string)
        switch (value & 0xFF) {
        case 0: return reply({4, 3, 0x09, 0x04});
        case 1: return reply(StringDescriptor(m_identity.manufacturer));
        case 2: return reply(StringDescriptor(m_identity.model));
        case 3: return reply(StringDescriptor(m_identity.serial));
        default: return false;
        }
    }
    if (type == 0xA1 && request == 0) {  // GET_DEVICE_ID
        if (!m_script.answersDeviceId) {
            return false;
        }
        const std::string id = "MFG:" + m_identity.manufacturer + ";MDL:" + m_identity.model +
                               ";CMD:ZQ;CLS:PRINTER;";
        std::vector<std::uint8_t> bytes = {static_cast<std::uint8_t>((id.size() + 2) >> 8),
                                           static_cast<std::uint8_t>(id.size() + 2)};
        bytes.insert(bytes.end(), id.begin(), id.end());
        return reply(bytes);
    }
    if ((type != 0x41 && type != 0xC1) || request != kVendorRequest || value == m_script.stallValue) {
        return false;
    }
    const bool in = type == 0xC1;
    if (value == kValueIdentity && in) {
        if (m_script.mode == Mode::kUpdate) {
            return false;
        }
        return reply({'S', 'E', 'R', 'V', 'I', 'C', 'E', 0});
    }
    if (value == kValueCommand && !in) {
        m_command.assign(data, data + length);
        m_busyLeft = m_script.busyPolls;
        if (m_command == std::vector<std::uint8_t>{0x04}) {
            m_bulkIn.assign(m_script.report.begin(), m_script.report.end());
        } else if (m_command == std::vector<std::uint8_t>{0x02, 0x02} && !m_script.refusesStores) {
            m_stored = m_staged;
        }
        *actual = length;
        return true;
    }
    if (value == kValueCommand && in) {
        if (m_busyLeft > 0) {
            --m_busyLeft;
            return reply({0x00, 0x02, 0x00});
        }
        const bool refused =
            m_script.refusesStores && m_command == std::vector<std::uint8_t>{0x02, 0x02};
        return reply({0x00, refused ? kStatusFailed : m_script.finalStatus, 0x00});
    }
    if (value == kValueData && in) {
        if (m_command == std::vector<std::uint8_t>{0x01}) {
            return reply(m_script.parameters);
        }
        if (m_command == std::vector<std::uint8_t>{0x03}) {
            return reply(m_script.version);
        }
        return false;
    }
    if (value == kValueData && !in && length == kParameterBytes) {
        m_staged.assign(data, data + length);
        *actual = length;
        return true;
    }
    return false;
}

}  // namespace marnel
