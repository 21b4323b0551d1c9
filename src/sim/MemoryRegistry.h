// An in-memory registry below HKEY_LOCAL_MACHINE with the limits of the real
// listing and value calls (see RegistryTree), filled by the tests and the
// simulated world, with faults to inject and a log of what the walks opened.
// Subkeys list in the order they were added, so a test decides which key a
// walk meets first.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "sim/RegistryTree.h"

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

    // Fault injection. A fault belongs to the key, not to its path: a key
    // deleted and added again has none.
    // The key is listed by its parent but OpenKey on it fails.
    void SetOpenFails(const std::string& path, bool fails = true);
    // Listing the key's subkey number `index` fails with `errorCode`
    // (ERROR_NO_MORE_ITEMS ends the listing there; 0 removes the fault).
    void SetListingError(const std::string& path, DWORD index, DWORD errorCode);

    // What the walks did.
    std::size_t OpenKeyCount() const { return m_tree.OpenKeyCount(); }  // opened, not yet closed
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
    // Keyed by node identity; a weak reference never matches a later node.
    using NodeRef = std::weak_ptr<RegistryTree::Node>;

    RegistryTree m_tree;
    std::set<NodeRef, std::owner_less<>> m_openFails;
    std::map<NodeRef, std::map<DWORD, DWORD>, std::owner_less<>> m_listingErrors;  // index -> error
    std::size_t m_openCalls = 0;
    std::size_t m_badCloses = 0;
    std::vector<std::string> m_openLog;
};

}  // namespace marnel
