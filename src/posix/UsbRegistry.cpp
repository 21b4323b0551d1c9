#include "posix/UsbRegistry.h"

#include <cctype>
#include <cstdint>
#include <cstdio>

#include "platform/RegistryLayout.h"

namespace marnel {

namespace {

constexpr DWORD kErrorFileNotFound = 2;  // ERROR_FILE_NOT_FOUND

// HKEY_LOCAL_MACHINE opens keys below it but is no key to list or read here,
// and a key that is not open is not found.
constexpr RegistryTree::Rules kRules{false, kErrorFileNotFound};

// The USBPRINT key of a model: the driver name without blanks, as the
// printing class names its keys, and never with a path separator.
std::string ModelKey(const std::string& driverName) {
    std::string key;
    for (char c : driverName) {
        if (c == '\\') {
            key += '_';
        } else if (!std::isspace(static_cast<unsigned char>(c))) {
            key += c;
        }
    }
    return key.empty() ? "UnknownPrinter" : key;
}

// A parent id prefix in the system's form, the same for the same device
// every time it is seen.
std::string ParentIdPrefix(const std::string& deviceKey, const std::string& instance) {
    std::uint32_t hash = 2166136261u;
    for (char c : deviceKey + "\\" + instance) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "7&%08x&0", hash);
    return prefix;
}

}  // namespace

std::string QueuelessPortName(const UsbPrinterDevice& device) {
    if (device.manufacturer.empty() || device.model.empty()) {
        return std::string();
    }
    return UsbDeviceUri(device);
}

void BuildUsbRegistryTree(const std::vector<UsbPrinterDevice>& devices,
                          const std::vector<QueuePort>& queues, RegistryTree* tree) {
    const RegistryTree::NodePtr usbPrint = tree->MakeKey(kUsbPrintKeyNt);
    const RegistryTree::NodePtr usb = tree->MakeKey(kUsbKeyNt);
    const RegistryTree::NodePtr classes =
        tree->MakeKey(kDeviceClassesKey)->Subkey(kUsbPrintInterfaceClass);

    for (const UsbPrinterDevice& device : devices) {
        bool serialUnique = true;
        for (const UsbPrinterDevice& other : devices) {
            if (&other != &device && other.vendorId == device.vendorId &&
                other.productId == device.productId && other.serial == device.serial) {
                serialUnique = false;  // the system would not trust such a serial either
            }
        }
        const std::string deviceKey = UsbDeviceKeyName(device);
        const std::string instance = UsbInstanceId(device, serialUnique);
        const std::string prefix = ParentIdPrefix(deviceKey, instance);
        const std::string path = UsbInterfacePath(device, instance);

        std::vector<QueuePort> ports;
        for (const QueuePort& queue : queues) {
            if (UsbUriNamesDevice(queue.portName, device)) {
                ports.push_back(queue);
            }
        }
        if (ports.empty() && !QueuelessPortName(device).empty()) {
            ports.push_back({DriverNameOf(device), QueuelessPortName(device)});
        }
        for (const QueuePort& port : ports) {
            usbPrint->Subkey(ModelKey(port.driverName))
                ->Subkey(prefix + "&" + port.portName)
                ->SetString("DeviceDesc", port.driverName);
        }

        const RegistryTree::NodePtr instanceKey = usb->Subkey(deviceKey)->Subkey(instance);
        instanceKey->SetString("ParentIdPrefix", prefix);
        instanceKey->Subkey("Device Parameters")
            ->SetString("SymbolicName", "\\??\\" + path.substr(4));

        std::string linkKey = path;
        for (char& c : linkKey) {
            if (c == '\\') {
                c = '#';
            }
        }
        classes->Subkey(linkKey)->Subkey("#")->SetString("SymbolicLink", path);
    }
}

UsbRegistry::UsbRegistry(Snapshot snapshot, std::chrono::milliseconds refreshInterval)
    : m_snapshot(std::move(snapshot)), m_refreshInterval(refreshInterval), m_tree(kRules) {}

UsbRegistry::~UsbRegistry() = default;

void UsbRegistry::Refresh() {
    const auto now = std::chrono::steady_clock::now();
    if (m_fetched && now - m_fetchedAt < m_refreshInterval) {
        return;
    }
    std::vector<UsbPrinterDevice> devices;
    std::vector<QueuePort> queues;
    if (!m_snapshot(&devices, &queues)) {
        devices.clear();
        queues.clear();
    }
    m_tree.Clear();
    BuildUsbRegistryTree(devices, queues, &m_tree);
    m_fetched = true;
    m_fetchedAt = now;
}

BOOL UsbRegistry::OpenKey(RegKey parent, const std::string& subkey, RegKey* key) {
    if (parent == kLocalMachine && m_tree.OpenKeyCount() == 0) {
        Refresh();  // a walk begins: take the world as it is now
    }
    return m_tree.OpenKey(parent, subkey, key);
}

RegEnumStatus UsbRegistry::EnumKey(RegKey key, DWORD index, std::string* name, DWORD* errorCode) {
    return m_tree.EnumKey(key, index, name, errorCode);
}

BOOL UsbRegistry::QueryValue(RegKey key, const std::string& valueName, std::string* bytes) {
    return m_tree.QueryValue(key, valueName, bytes);
}

void UsbRegistry::CloseKey(RegKey key) {
    m_tree.CloseKey(key);  // closing what is not open changes nothing
}

}  // namespace marnel
