#include "win32/Win32Registry.h"

#include "win32/WindowsApi.h"

namespace marnel {
namespace {

HKEY ToHkey(RegKey key) {
    return key == kLocalMachine ? HKEY_LOCAL_MACHINE : reinterpret_cast<HKEY>(key);
}

}  // namespace

BOOL Win32Registry::OpenKey(RegKey parent, const std::string& subkey, RegKey* key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(ToHkey(parent), subkey.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) {
        return 0;
    }
    *key = reinterpret_cast<RegKey>(opened);
    return 1;
}

RegEnumStatus Win32Registry::EnumKey(RegKey key, DWORD index, std::string* name,
                                     DWORD* errorCode) {
    char buffer[kRegNameChars];
    ::DWORD size = kRegNameChars;  // characters, terminator included; reset for every call
    const LONG result =
        RegEnumKeyExA(ToHkey(key), index, buffer, &size, nullptr, nullptr, nullptr, nullptr);
    if (errorCode != nullptr) {
        *errorCode = static_cast<DWORD>(result);
    }
    if (result == ERROR_NO_MORE_ITEMS) {
        return RegEnumStatus::kNoMoreItems;
    }
    if (result != ERROR_SUCCESS || size >= kRegNameChars) {
        return RegEnumStatus::kError;
    }
    // On success `size` counts the characters without the terminator.
    name->assign(buffer, size);
    return RegEnumStatus::kOk;
}

BOOL Win32Registry::QueryValue(RegKey key, const std::string& valueName, std::string* bytes) {
    BYTE buffer[kRegValueBytes];
    ::DWORD size = kRegValueBytes;  // reset for every read
    const LONG result =
        RegQueryValueExA(ToHkey(key), valueName.c_str(), nullptr, nullptr, buffer, &size);
    if (result != ERROR_SUCCESS || size > kRegValueBytes) {
        return 0;  // missing, or larger than the buffer (ERROR_MORE_DATA)
    }
    // The stored bytes as they are: a value need not end in a terminator, and
    // the caller decides where its string ends.
    bytes->assign(reinterpret_cast<const char*>(buffer), size);
    return 1;
}

void Win32Registry::CloseKey(RegKey key) {
    if (key != kLocalMachine) {
        RegCloseKey(ToHkey(key));
    }
}

}  // namespace marnel
