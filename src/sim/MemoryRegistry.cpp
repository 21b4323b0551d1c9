#include "sim/MemoryRegistry.h"

namespace marnel {

namespace {

constexpr DWORD kErrorInvalidHandle = 6;  // ERROR_INVALID_HANDLE

// As the real registry: HKEY_LOCAL_MACHINE is a key like any other, and a
// handle that is not open is refused as such.
constexpr RegistryTree::Rules kRules{true, kErrorInvalidHandle};

}  // namespace

MemoryRegistry::MemoryRegistry() : m_tree(kRules) {}
MemoryRegistry::~MemoryRegistry() = default;

void MemoryRegistry::AddKey(const std::string& path) {
    m_tree.MakeKey(path);
}

void MemoryRegistry::SetString(const std::string& path, const std::string& valueName,
                               const std::string& text) {
    m_tree.MakeKey(path)->SetString(valueName, text);
}

void MemoryRegistry::SetBytes(const std::string& path, const std::string& valueName,
                              const std::string& bytes) {
    m_tree.MakeKey(path)->SetBytes(valueName, bytes);
}

bool MemoryRegistry::DeleteKey(const std::string& path) {
    return m_tree.DeleteKey(path);
}

void MemoryRegistry::SetOpenFails(const std::string& path, bool fails) {
    const RegistryTree::NodePtr node = m_tree.MakeKey(path);
    if (fails) {
        m_openFails.insert(node);
    } else {
        m_openFails.erase(node);
    }
}

void MemoryRegistry::SetListingError(const std::string& path, DWORD index, DWORD errorCode) {
    const RegistryTree::NodePtr node = m_tree.MakeKey(path);
    if (errorCode != 0) {
        m_listingErrors[node][index] = errorCode;
        return;
    }
    const auto errors = m_listingErrors.find(node);
    if (errors != m_listingErrors.end()) {
        errors->second.erase(index);
    }
}

BOOL MemoryRegistry::OpenKey(RegKey parent, const std::string& subkey, RegKey* key) {
    ++m_openCalls;
    m_openLog.push_back(RegistryTree::JoinPath(m_tree.PathOf(parent), subkey));
    std::string fullPath;
    RegistryTree::NodePtr node = m_tree.Find(parent, subkey, &fullPath);
    if (node == nullptr || m_openFails.count(node) != 0) {
        return 0;
    }
    *key = m_tree.Open(std::move(node), std::move(fullPath));
    return 1;
}

RegEnumStatus MemoryRegistry::EnumKey(RegKey key, DWORD index, std::string* name,
                                      DWORD* errorCode) {
    const RegistryTree::NodePtr node = m_tree.NodeOf(key);
    const auto errors = node == nullptr ? m_listingErrors.end() : m_listingErrors.find(node);
    if (errors != m_listingErrors.end()) {
        const auto injected = errors->second.find(index);
        if (injected != errors->second.end()) {
            *errorCode = injected->second;
            return injected->second == kErrorNoMoreItems ? RegEnumStatus::kNoMoreItems
                                                         : RegEnumStatus::kError;
        }
    }
    return m_tree.EnumKey(key, index, name, errorCode);
}

BOOL MemoryRegistry::QueryValue(RegKey key, const std::string& valueName, std::string* bytes) {
    return m_tree.QueryValue(key, valueName, bytes);
}

void MemoryRegistry::CloseKey(RegKey key) {
    if (!m_tree.CloseKey(key)) {
        ++m_badCloses;
    }
}

}  // namespace marnel
