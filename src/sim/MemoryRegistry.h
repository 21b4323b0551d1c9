// An in-memory registry below HKEY_LOCAL_MACHINE with the limits of the real
// listing and value calls: a subkey name of 256 characters or more lists as
// ERROR_MORE_DATA, a value of more than 256 bytes cannot be read. Subkeys
// list in the order they were added, so a test decides which key a walk
// meets first. Key and value names match ignoring ASCII case, as in the real
// registry.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Registry.h"

namespace marnel {

class MemoryRegistry : public IRegistry {
public:
    MemoryRegistry();
    ~MemoryRegistry() override;

    // Paths are below HKEY_LOCAL_MACHINE, with backslashes between key names.
    // Creates the key and any missing parents.
    void AddKey(const std::string& path);
    // Stores `text` and its terminating NUL, as a REG_SZ value is stored.
    void SetString(const std::string& path, const std::string& valueName, const std::string& text);
    // Stores `bytes` exactly as given (no terminator added).
    void SetBytes(const std::string& path, const std::string& valueName, const std::string& bytes);
    // Removes a key with its subkeys and values; false when there is none.
    // Handles still open on it go on working on the removed key.
    bool DeleteKey(const std::string& path);

    // Fault injection.
    // The key is listed by its parent but OpenKey on it fails.
    void SetOpenFails(const std::string& path, bool fails = true);
    // Listing the key's subkey number `index` fails with `errorCode`
    // (ERROR_NO_MORE_ITEMS ends the listing there; 0 removes the fault).
    void SetListingError(const std::string& path, DWORD index, DWORD errorCode);

    // What the walks did.
    std::size_t OpenKeyCount() const { return m_openKeys.size(); }  // opened, not yet closed
    std::size_t OpenCalls() const { return m_openCalls; }
    std::size_t BadCloses() const { return m_badCloses; }  // CloseKey of no open key
    // Every path OpenKey was asked for, whether it opened or not.
    const std::vector<std::string>& OpenLog() const { return m_openLog; }
    void ClearLog() { m_openLog.clear(); }

    BOOL OpenKey(RegKey parent, const std::string& subkey, RegKey* key) override;
    RegEnumStatus EnumKey(RegKey key, DWORD index, std::string* name, DWORD* errorCode) override;
    BOOL QueryValue(RegKey key, const std::string& valueName, std::string* bytes) override;
    void CloseKey(RegKey key) override;

private:
    struct Node;

    std::shared_ptr<Node> Find(std::shared_ptr<Node> from, const std::string& path,
                               std::string* fullPath) const;
    Node* Make(const std::string& path);
    std::shared_ptr<Node> NodeOf(RegKey key, std::string* path) const;

    std::shared_ptr<Node> m_root;
    // An open key keeps its node alive even if the key is deleted meanwhile.
    std::map<RegKey, std::pair<std::shared_ptr<Node>, std::string>> m_openKeys;
    std::size_t m_nextHandle = 1;
    std::size_t m_openCalls = 0;
    std::size_t m_badCloses = 0;
    std::vector<std::string> m_openLog;
};

}  // namespace marnel
