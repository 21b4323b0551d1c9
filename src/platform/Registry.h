// The registry, read only, below HKEY_LOCAL_MACHINE. A back end fetches
// facts with the 256-character and 256-byte limits of the real calls; the
// core decides what they mean.
#pragma once

#include <string>

#include "platform/Types.h"

namespace marnel {

// An open key. kLocalMachine stands for HKEY_LOCAL_MACHINE as a parent.
using RegKey = void*;
constexpr RegKey kLocalMachine = nullptr;

// Buffer limits of the listing and value calls.
constexpr DWORD kRegNameChars = 256;  // subkey name buffer, terminator included
constexpr DWORD kRegValueBytes = 256;  // value buffer

enum class RegEnumStatus {
    kOk,          // *name holds the subkey's name
    kNoMoreItems, // ERROR_NO_MORE_ITEMS: the listing is over
    kError,       // any other error, e.g. ERROR_MORE_DATA for a name of 256 or more characters
};

class IRegistry {
public:
    virtual ~IRegistry() = default;

    // RegOpenKeyExA(parent, subkey, 0, KEY_READ). Non-zero on success with
    // the key in *key, which the caller closes with CloseKey.
    virtual BOOL OpenKey(RegKey parent, const std::string& subkey, RegKey* key) = 0;

    // RegEnumKeyExA(key, index) into a 256-character buffer whose size is
    // set to 256 before the call. *errorCode gets the call's result.
    virtual RegEnumStatus EnumKey(RegKey key, DWORD index, std::string* name,
                                  DWORD* errorCode) = 0;

    // RegQueryValueExA(key, name) into a 256-byte buffer whose size is set to
    // 256 before the call; the type is ignored. Non-zero on success with the
    // bytes the call stored (at most 256, not necessarily NUL-terminated) in
    // *bytes. A value that is missing or does not fit fails.
    virtual BOOL QueryValue(RegKey key, const std::string& valueName, std::string* bytes) = 0;

    // RegCloseKey.
    virtual void CloseKey(RegKey key) = 0;
};

}  // namespace marnel
