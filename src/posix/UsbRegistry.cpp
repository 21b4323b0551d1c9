#include "posix/UsbRegistry.h"

#include <cctype>
#include <cstdio>

namespace marnel {

namespace {

constexpr DWORD kErrorFileNotFound = 2;

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

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

RegistryNode* RegistryNode::Subkey(const std::string& subkeyName) {
    for (auto& child : subkeys) {
        if (EqualsIgnoringCase(child->name, subkeyName)) {
            return child.get();
        }
    }
    subkeys.push_back(std::make_unique<RegistryNode>());
    subkeys.back()->name = subkeyName;
    return subkeys.back().get();
}

const RegistryNode* RegistryNode::FindSubkey(const std::string& subkeyName) const {
    for (const auto& child : subkeys) {
        if (EqualsIgnoringCase(child->name, subkeyName)) {
            return child.get();
        }
    }
    return nullptr;
}

void RegistryNode::SetValue(const std::string& valueName, const std::string& data) {
    for (auto& value : values) {
        if (EqualsIgnoringCase(value.first, valueName)) {
            value.second = data;
            return;
        }
    }
    values.emplace_back(valueName, data);
}

std::string QueuelessPortName(const UsbPrinterDevice& device) {
    if (device.manufacturer.empty() || device.model.empty()) {
        return std::string();
    }
    return UsbDeviceUri(device);
}

std::unique_ptr<RegistryNode> BuildUsbRegistryTree(const std::vector<UsbPrinterDevice>& devices,
                                                   const std::vector<QueuePort>& queues) {
    auto root = std::make_unique<RegistryNode>();
    RegistryNode* controlSet = root->Subkey("SYSTEM")->Subkey("CurrentControlSet");
    RegistryNode* usbPrint = controlSet->Subkey("Enum")->Subkey("USBPRINT");
    RegistryNode* usb = controlSet->Subkey("Enum")->Subkey("USB");
    RegistryNode* classes =
        controlSet->Subkey("Control")->Subkey("DeviceClasses")->Subkey(kUsbPrintInterfaceClass);

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
            RegistryNode* printer = usbPrint->Subkey(ModelKey(port.driverName))
                                        ->Subkey(prefix + "&" + port.portName);
            printer->SetValue("DeviceDesc", port.driverName);
        }

        RegistryNode* instanceKey = usb->Subkey(deviceKey)->Subkey(instance);
        instanceKey->SetValue("ParentIdPrefix", prefix);
        instanceKey->Subkey("Device Parameters")
            ->SetValue("SymbolicName", "\\??\\" + path.substr(4));

        std::string linkKey = path;
        for (char& c : linkKey) {
            if (c == '\\') {
                c = '#';
            }
        }
        classes->Subkey(linkKey)->Subkey("#")->SetValue("SymbolicLink", path);
    }
    return root;
}

struct UsbRegistry::OpenedKey {
    std::shared_ptr<RegistryNode> tree;  // keeps the snapshot alive while the key is open
    const RegistryNode* node;
};

UsbRegistry::UsbRegistry(Snapshot snapshot, std::chrono::milliseconds refreshInterval)
    : m_snapshot(std::move(snapshot)), m_refreshInterval(refreshInterval) {}

UsbRegistry::~UsbRegistry() = default;

void UsbRegistry::Refresh() {
    const auto now = std::chrono::steady_clock::now();
    if (m_tree && now - m_fetchedAt < m_refreshInterval) {
        return;
    }
    std::vector<UsbPrinterDevice> devices;
    std::vector<QueuePort> queues;
    if (!m_snapshot(&devices, &queues)) {
        devices.clear();
        queues.clear();
    }
    m_tree = BuildUsbRegistryTree(devices, queues);
    m_fetchedAt = now;
}

BOOL UsbRegistry::OpenKey(RegKey parent, const std::string& subkey, RegKey* key) {
    const RegistryNode* node = nullptr;
    std::shared_ptr<RegistryNode> tree;
    if (parent == kLocalMachine) {
        if (m_nOpenKeys == 0) {
            Refresh();  // a walk begins: take the world as it is now
        }
        tree = m_tree;
        node = tree.get();
    } else {
        const auto* opened = static_cast<const OpenedKey*>(parent);
        tree = opened->tree;
        node = opened->node;
    }
    std::size_t start = 0;
    while (node && start <= subkey.size()) {
        const std::size_t end = subkey.find('\\', start);
        const std::string part =
            subkey.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!part.empty()) {
            node = node->FindSubkey(part);
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    if (!node) {
        return 0;
    }
    *key = new OpenedKey{tree, node};
    ++m_nOpenKeys;
    return 1;
}

RegEnumStatus UsbRegistry::EnumKey(RegKey key, DWORD index, std::string* name,
                                   DWORD* errorCode) {
    const auto* opened = static_cast<const OpenedKey*>(key);
    if (!opened) {
        *errorCode = kErrorFileNotFound;
        return RegEnumStatus::kError;
    }
    if (index >= opened->node->subkeys.size()) {
        *errorCode = kErrorNoMoreItems;
        return RegEnumStatus::kNoMoreItems;
    }
    const std::string& subkeyName = opened->node->subkeys[index]->name;
    if (subkeyName.size() >= kRegNameChars) {
        *errorCode = kErrorMoreData;  // does not fit the 256-character buffer
        return RegEnumStatus::kError;
    }
    *errorCode = 0;
    *name = subkeyName;
    return RegEnumStatus::kOk;
}

BOOL UsbRegistry::QueryValue(RegKey key, const std::string& valueName, std::string* bytes) {
    const auto* opened = static_cast<const OpenedKey*>(key);
    if (!opened) {
        return 0;
    }
    for (const auto& value : opened->node->values) {
        if (EqualsIgnoringCase(value.first, valueName)) {
            std::string data = value.second;
            data += '\0';  // stored as a string value, terminator included
            if (data.size() > kRegValueBytes) {
                return 0;
            }
            *bytes = data;
            return 1;
        }
    }
    return 0;
}

void UsbRegistry::CloseKey(RegKey key) {
    if (key) {
        delete static_cast<OpenedKey*>(key);
        --m_nOpenKeys;
    }
}

}  // namespace marnel
