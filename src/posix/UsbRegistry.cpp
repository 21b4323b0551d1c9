#include "posix/UsbRegistry.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>

#include "platform/AsciiCase.h"
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
// every time it is seen; `salt` gives another when two devices would share one.
std::string ParentIdPrefix(const std::string& deviceKey, const std::string& instance,
                           unsigned salt) {
    std::uint32_t hash = 2166136261u;
    for (char c : deviceKey + "\\" + instance + std::string(salt, '+')) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "7&%08x&0", hash);
    return prefix;
}

// The interface record's key name: the device path with "#" for "\\".
std::string InterfaceKeyName(const std::string& path) {
    std::string key = path;
    for (char& c : key) {
        if (c == '\\') {
            c = '#';
        }
    }
    return key;
}

// The last walk takes the first interface key that contains the instance
// name, so a serial serves as one only when no other device's key could
// contain it (SN1 beside SN12, or a serial of hex digits inside VID_1A2B),
// whichever instance name that device gets; letter case is ignored, as the
// registry's key names do. Bus locations hold "&", which no such serial
// does, so they are always safe.
std::vector<std::string> InstanceIds(const std::vector<UsbPrinterDevice>& devices) {
    std::vector<std::string> ids;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const std::string serial = AsciiLowered(UsbInstanceId(devices[i], true));
        bool safe = true;
        for (std::size_t j = 0; j < devices.size() && safe; ++j) {
            if (j == i) {
                continue;
            }
            for (bool bySerial : {true, false}) {
                const std::string other = AsciiLowered(InterfaceKeyName(
                    UsbInterfacePath(devices[j], UsbInstanceId(devices[j], bySerial))));
                safe = safe && other.find(serial) == std::string::npos;
            }
        }
        ids.push_back(UsbInstanceId(devices[i], safe));
    }
    return ids;
}

}  // namespace

void BuildUsbRegistryTree(const std::vector<UsbPrinterDevice>& devices,
                          const std::vector<QueuePort>& queues, RegistryTree* tree) {
    const RegistryTree::NodePtr usbPrint = tree->MakeKey(kUsbPrintKeyNt);
    const RegistryTree::NodePtr usb = tree->MakeKey(kUsbKeyNt);
    const RegistryTree::NodePtr classes =
        tree->MakeKey(kDeviceClassesKey)->Subkey(kUsbPrintInterfaceClass);

    const std::vector<std::string> instances = InstanceIds(devices);
    std::vector<std::string> prefixes;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const UsbPrinterDevice& device = devices[i];
        const std::string deviceKey = UsbDeviceKeyName(device);
        std::string prefix = ParentIdPrefix(deviceKey, instances[i], 0);
        for (unsigned salt = 1;
             std::find(prefixes.begin(), prefixes.end(), prefix) != prefixes.end(); ++salt) {
            prefix = ParentIdPrefix(deviceKey, instances[i], salt);
        }
        prefixes.push_back(prefix);

        const std::string path = UsbInterfacePath(device, instances[i]);
        const RegistryTree::NodePtr instanceKey = usb->Subkey(deviceKey)->Subkey(instances[i]);
        instanceKey->SetString("ParentIdPrefix", prefix);
        instanceKey->Subkey("Device Parameters")
            ->SetString("SymbolicName", "\\??\\" + path.substr(4));
        classes->Subkey(InterfaceKeyName(path))->Subkey("#")->SetString("SymbolicLink", path);
    }

    for (const UsbPort& port : PlanUsbPorts(devices, queues)) {
        if (port.skipReason.empty()) {
            usbPrint->Subkey(ModelKey(port.driverName))
                ->Subkey(prefixes[static_cast<std::size_t>(port.device)] + "&" + port.portName)
                ->SetString("DeviceDesc", port.driverName);
        }
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
