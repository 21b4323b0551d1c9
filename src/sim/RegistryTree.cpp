#include "sim/RegistryTree.h"

#include "platform/AsciiCase.h"

#include <algorithm>
#include <cstdint>

namespace marnel {

namespace {

// Empty parts are skipped, so doubled or trailing backslashes name no key.
std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('\\', start), path.size());
        if (end > start) {
            parts.push_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return parts;
}

}  // namespace

RegistryTree::NodePtr RegistryTree::Node::Subkey(const std::string& subkeyName) {
    if (NodePtr found = FindSubkey(subkeyName)) {
        return found;
    }
    subkeys.push_back(std::make_shared<Node>());
    subkeys.back()->name = subkeyName;
    return subkeys.back();
}

RegistryTree::NodePtr RegistryTree::Node::FindSubkey(const std::string& subkeyName) const {
    for (const NodePtr& child : subkeys) {
        if (AsciiEqualsNoCase(child->name, subkeyName)) {
            return child;
        }
    }
    return nullptr;
}

void RegistryTree::Node::SetBytes(const std::string& valueName, const std::string& bytes) {
    for (auto& value : values) {
        if (AsciiEqualsNoCase(value.first, valueName)) {
            value.second = bytes;
            return;
        }
    }
    values.emplace_back(valueName, bytes);
}

void RegistryTree::Node::SetString(const std::string& valueName, const std::string& text) {
    SetBytes(valueName, text + '\0');
}

RegistryTree::RegistryTree(Rules rules) : m_rules(rules), m_root(std::make_shared<Node>()) {}

std::string RegistryTree::JoinPath(const std::string& parent, const std::string& child) {
    if (parent.empty()) {
        return child;
    }
    return child.empty() ? parent : parent + "\\" + child;
}

RegistryTree::NodePtr RegistryTree::MakeKey(const std::string& path) {
    NodePtr node = m_root;
    for (const std::string& part : SplitPath(path)) {
        node = node->Subkey(part);
    }
    return node;
}

bool RegistryTree::DeleteKey(const std::string& path) {
    const std::vector<std::string> parts = SplitPath(path);
    if (parts.empty()) {
        return false;
    }
    NodePtr parent = m_root;
    for (std::size_t i = 0; parent != nullptr && i + 1 < parts.size(); ++i) {
        parent = parent->FindSubkey(parts[i]);
    }
    if (parent == nullptr) {
        return false;
    }
    auto& subkeys = parent->subkeys;
    const auto it = std::find_if(subkeys.begin(), subkeys.end(), [&](const NodePtr& child) {
        return AsciiEqualsNoCase(child->name, parts.back());
    });
    if (it == subkeys.end()) {
        return false;
    }
    subkeys.erase(it);
    return true;
}

void RegistryTree::Clear() {
    m_root = std::make_shared<Node>();
}

RegistryTree::NodePtr RegistryTree::Find(RegKey parent, const std::string& subkey,
                                         std::string* fullPath) const {
    NodePtr node = NodeOf(parent);
    *fullPath = PathOf(parent);
    for (const std::string& part : SplitPath(subkey)) {
        if (node == nullptr) {
            break;
        }
        node = node->FindSubkey(part);
        if (node != nullptr) {
            *fullPath = JoinPath(*fullPath, node->name);
        }
    }
    return node;
}

RegKey RegistryTree::Open(NodePtr node, std::string fullPath) {
    const RegKey handle = reinterpret_cast<RegKey>(static_cast<std::uintptr_t>(m_nextHandle++));
    m_openKeys[handle] = {std::move(node), std::move(fullPath)};
    return handle;
}

RegistryTree::NodePtr RegistryTree::NodeOf(RegKey key) const {
    if (key == kLocalMachine) {
        return m_root;
    }
    const auto open = m_openKeys.find(key);
    return open == m_openKeys.end() ? nullptr : open->second.first;
}

std::string RegistryTree::PathOf(RegKey key) const {
    const auto open = m_openKeys.find(key);
    return open == m_openKeys.end() ? std::string() : open->second.second;
}

RegistryTree::NodePtr RegistryTree::ReadableNode(RegKey key) const {
    if (key == kLocalMachine && !m_rules.localMachineReadable) {
        return nullptr;
    }
    return NodeOf(key);
}

BOOL RegistryTree::OpenKey(RegKey parent, const std::string& subkey, RegKey* key) {
    std::string fullPath;
    NodePtr node = Find(parent, subkey, &fullPath);
    if (node == nullptr) {
        return 0;
    }
    *key = Open(std::move(node), std::move(fullPath));
    return 1;
}

RegEnumStatus RegistryTree::EnumKey(RegKey key, DWORD index, std::string* name,
                                    DWORD* errorCode) const {
    const NodePtr node = ReadableNode(key);
    if (node == nullptr) {
        *errorCode = m_rules.notOpenError;
        return RegEnumStatus::kError;
    }
    if (index >= node->subkeys.size()) {
        *errorCode = kErrorNoMoreItems;
        return RegEnumStatus::kNoMoreItems;
    }
    const std::string& subkeyName = node->subkeys[index]->name;
    if (subkeyName.size() >= kRegNameChars) {
        *errorCode = kErrorMoreData;  // the name and its terminator do not fit
        return RegEnumStatus::kError;
    }
    *name = subkeyName;
    *errorCode = 0;
    return RegEnumStatus::kOk;
}

BOOL RegistryTree::QueryValue(RegKey key, const std::string& valueName, std::string* bytes) const {
    const NodePtr node = ReadableNode(key);
    if (node == nullptr) {
        return 0;
    }
    for (const auto& value : node->values) {
        if (AsciiEqualsNoCase(value.first, valueName)) {
            if (value.second.size() > kRegValueBytes) {
                return 0;  // ERROR_MORE_DATA
            }
            *bytes = value.second;
            return 1;
        }
    }
    return 0;  // ERROR_FILE_NOT_FOUND
}

bool RegistryTree::CloseKey(RegKey key) {
    return m_openKeys.erase(key) != 0;
}

}  // namespace marnel
