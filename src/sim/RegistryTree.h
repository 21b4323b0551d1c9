// A registry held in memory, under the simulator's registry: keys below
// HKEY_LOCAL_MACHINE with their values, and the keys a walk holds open, read
// with the limits of the real listing and value calls. A subkey name of 256
// characters or more lists as ERROR_MORE_DATA; a value of more than 256
// bytes cannot be read. Subkeys list in the order they were added. Key and
// value names match ignoring ASCII case, as in the real registry. An open
// key holds its node, so a key deleted (or a tree cleared) while it is open
// goes on working.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/Registry.h"
#include "platform/Types.h"

namespace marnel {

class RegistryTree {
public:
    struct Node;
    using NodePtr = std::shared_ptr<Node>;

    struct Node {
        std::string name;
        std::vector<NodePtr> subkeys;                             // in the order they were added
        std::vector<std::pair<std::string, std::string>> values;  // name, bytes as stored

        NodePtr Subkey(const std::string& subkeyName);  // found or added
        NodePtr FindSubkey(const std::string& subkeyName) const;
        // Stores `bytes` exactly as given (no terminator added).
        void SetBytes(const std::string& valueName, const std::string& bytes);
        // Stores `text` and its terminating NUL, as a REG_SZ value is stored.
        void SetString(const std::string& valueName, const std::string& text);
    };

    // What the back ends answer differently when a call names no open key.
    struct Rules {
        bool localMachineReadable;  // kLocalMachine lists and reads as the root key
        DWORD notOpenError;         // the listing's error for a key that is not open
    };

    explicit RegistryTree(Rules rules);

    // Paths are below HKEY_LOCAL_MACHINE, with backslashes between key names.
    // Creates the key and any missing parents.
    NodePtr MakeKey(const std::string& path);
    // Removes a key with its subkeys and values; false when there is none.
    bool DeleteKey(const std::string& path);
    // Removes every key.
    void Clear();

    // The key `subkey` names below the open key `parent` (kLocalMachine: the
    // root), null when there is none; *fullPath gets its path, spelled as the
    // keys were added.
    NodePtr Find(RegKey parent, const std::string& subkey, std::string* fullPath) const;
    // A new open key on `node`.
    RegKey Open(NodePtr node, std::string fullPath);
    // The node of an open key, the root for kLocalMachine, null for any other.
    NodePtr NodeOf(RegKey key) const;
    // The path of an open key; empty for kLocalMachine and for no open key.
    std::string PathOf(RegKey key) const;
    std::size_t OpenKeyCount() const { return m_openKeys.size(); }

    // The calls of IRegistry.
    BOOL OpenKey(RegKey parent, const std::string& subkey, RegKey* key);
    RegEnumStatus EnumKey(RegKey key, DWORD index, std::string* name, DWORD* errorCode) const;
    BOOL QueryValue(RegKey key, const std::string& valueName, std::string* bytes) const;
    // False when `key` was not open.
    bool CloseKey(RegKey key);

    static std::string JoinPath(const std::string& parent, const std::string& child);

private:
    NodePtr ReadableNode(RegKey key) const;

    Rules m_rules;
    NodePtr m_root;
    std::map<RegKey, std::pair<NodePtr, std::string>> m_openKeys;  // node, full path
    std::size_t m_nextHandle = 1;
};

}  // namespace marnel
