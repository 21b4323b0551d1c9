#include "sim/MemoryRegistry.h"

#include <algorithm>
#include <cstdint>

namespace marnel {

namespace {

constexpr DWORD kErrorInvalidHandle = 6;  // ERROR_INVALID_HANDLE

bool SameName(const std::string& left, const std::string& right) {
    return std::equal(left.begin(), left.end(), right.begin(), right.end(), [](char a, char b) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return lower(a) == lower(b);
    });
}

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

std::string JoinPath(const std::string& parent, const std::string& child) {
    if (parent.empty()) {
        return child;
    }
    return child.empty() ? parent : parent + "\\" + child;
}

}  // namespace

struct MemoryRegistry::Node {
    std::string name;
    std::vector<std::shared_ptr<Node>> children;  // in the order they were added
    std::vector<std::pair<std::string, std::string>> values;
    bool openFails = false;
    std::map<DWORD, DWORD> listingErrors;  // subkey index -> error code

    std::shared_ptr<Node> Child(const std::string& childName) const {
        for (const auto& child : children) {
            if (SameName(child->name, childName)) {
                return child;
            }
        }
        return nullptr;
    }
};

MemoryRegistry::MemoryRegistry() : m_root(std::make_shared<Node>()) {}
MemoryRegistry::~MemoryRegistry() = default;

std::shared_ptr<MemoryRegistry::Node> MemoryRegistry::Find(std::shared_ptr<Node> from,
                                                           const std::string& path,
                                                           std::string* fullPath) const {
    std::shared_ptr<Node> node = std::move(from);
    for (const std::string& part : SplitPath(path)) {
        node = node->Child(part);
        if (node == nullptr) {
            return nullptr;
        }
        if (fullPath != nullptr) {
            *fullPath = JoinPath(*fullPath, node->name);
        }
    }
    return node;
}

MemoryRegistry::Node* MemoryRegistry::Make(const std::string& path) {
    Node* node = m_root.get();
    for (const std::string& part : SplitPath(path)) {
        Node* child = node->Child(part).get();
        if (child == nullptr) {
            node->children.push_back(std::make_shared<Node>());
            child = node->children.back().get();
            child->name = part;
        }
        node = child;
    }
    return node;
}

std::shared_ptr<MemoryRegistry::Node> MemoryRegistry::NodeOf(RegKey key, std::string* path) const {
    if (key == kLocalMachine) {
        path->clear();
        return m_root;
    }
    const auto open = m_openKeys.find(key);
    if (open == m_openKeys.end()) {
        return nullptr;
    }
    *path = open->second.second;
    return open->second.first;
}

void MemoryRegistry::AddKey(const std::string& path) {
    Make(path);
}

void MemoryRegistry::SetString(const std::string& path, const std::string& valueName,
                               const std::string& text) {
    SetBytes(path, valueName, text + '\0');
}

void MemoryRegistry::SetBytes(const std::string& path, const std::string& valueName,
                              const std::string& bytes) {
    Node* node = Make(path);
    for (auto& value : node->values) {
        if (SameName(value.first, valueName)) {
            value.second = bytes;
            return;
        }
    }
    node->values.emplace_back(valueName, bytes);
}

bool MemoryRegistry::DeleteKey(const std::string& path) {
    const std::vector<std::string> parts = SplitPath(path);
    if (parts.empty()) {
        return false;
    }
    std::string parentPath;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        parentPath = JoinPath(parentPath, parts[i]);
    }
    const std::shared_ptr<Node> parent = Find(m_root, parentPath, nullptr);
    if (parent == nullptr) {
        return false;
    }
    auto& children = parent->children;
    const auto it = std::find_if(children.begin(), children.end(), [&](const auto& child) {
        return SameName(child->name, parts.back());
    });
    if (it == children.end()) {
        return false;
    }
    children.erase(it);
    return true;
}

void MemoryRegistry::SetOpenFails(const std::string& path, bool fails) {
    Make(path)->openFails = fails;
}

void MemoryRegistry::SetListingError(const std::string& path, DWORD index, DWORD errorCode) {
    Node* node = Make(path);
    if (errorCode == 0) {
        node->listingErrors.erase(index);
    } else {
        node->listingErrors[index] = errorCode;
    }
}

BOOL MemoryRegistry::OpenKey(RegKey parent, const std::string& subkey, RegKey* key) {
    ++m_openCalls;
    std::string parentPath;
    std::shared_ptr<Node> from = NodeOf(parent, &parentPath);
    m_openLog.push_back(JoinPath(parentPath, subkey));
    if (from == nullptr) {
        return 0;
    }
    std::string fullPath = parentPath;
    std::shared_ptr<Node> node = Find(std::move(from), subkey, &fullPath);
    if (node == nullptr || node->openFails) {
        return 0;
    }
    const RegKey handle = reinterpret_cast<RegKey>(static_cast<std::uintptr_t>(m_nextHandle++));
    m_openKeys[handle] = {std::move(node), fullPath};
    *key = handle;
    return 1;
}

RegEnumStatus MemoryRegistry::EnumKey(RegKey key, DWORD index, std::string* name,
                                      DWORD* errorCode) {
    std::string path;
    const std::shared_ptr<Node> node = NodeOf(key, &path);
    if (node == nullptr) {
        *errorCode = kErrorInvalidHandle;
        return RegEnumStatus::kError;
    }
    const auto injected = node->listingErrors.find(index);
    if (injected != node->listingErrors.end()) {
        *errorCode = injected->second;
        return injected->second == kErrorNoMoreItems ? RegEnumStatus::kNoMoreItems
                                                     : RegEnumStatus::kError;
    }
    if (index >= node->children.size()) {
        *errorCode = kErrorNoMoreItems;
        return RegEnumStatus::kNoMoreItems;
    }
    const std::string& childName = node->children[index]->name;
    if (childName.size() >= kRegNameChars) {
        *errorCode = kErrorMoreData;  // the name and its terminator do not fit
        return RegEnumStatus::kError;
    }
    *name = childName;
    *errorCode = 0;
    return RegEnumStatus::kOk;
}

BOOL MemoryRegistry::QueryValue(RegKey key, const std::string& valueName, std::string* bytes) {
    std::string path;
    const std::shared_ptr<Node> node = NodeOf(key, &path);
    if (node == nullptr) {
        return 0;
    }
    for (const auto& value : node->values) {
        if (SameName(value.first, valueName)) {
            if (value.second.size() > kRegValueBytes) {
                return 0;  // ERROR_MORE_DATA
            }
            *bytes = value.second;
            return 1;
        }
    }
    return 0;  // ERROR_FILE_NOT_FOUND
}

void MemoryRegistry::CloseKey(RegKey key) {
    if (m_openKeys.erase(key) == 0) {
        ++m_badCloses;
    }
}

}  // namespace marnel
