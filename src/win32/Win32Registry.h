// The registry back end: RegOpenKeyExA / RegEnumKeyExA / RegQueryValueExA /
// RegCloseKey with the fixed 256-character and 256-byte buffers.
#pragma once

#include "platform/Registry.h"

namespace marnel {

class Win32Registry : public IRegistry {
public:
    BOOL OpenKey(RegKey parent, const std::string& subkey, RegKey* key) override;
    RegEnumStatus EnumKey(RegKey key, DWORD index, std::string* name, DWORD* errorCode) override;
    BOOL QueryValue(RegKey key, const std::string& valueName, std::string* bytes) override;
    void CloseKey(RegKey key) override;
};

}  // namespace marnel
