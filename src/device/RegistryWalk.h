// Building blocks of the port's registry walks: a key that closes itself,
// the listing loop and the string read, each with the rules every walk
// shares (256-character names, 256-byte values, errors end the walk).
#pragma once

#include <string>
#include <vector>

#include "platform/Registry.h"
#include "platform/Types.h"

namespace marnel {

class ICodePage;

// Registry paths below HKEY_LOCAL_MACHINE.
extern const char kUsbPrintKeyNt[];     // SYSTEM\CurrentControlSet\Enum\USBPRINT
extern const char kUsbKeyNt[];          // SYSTEM\CurrentControlSet\Enum\USB
extern const char kDeviceClassesKey[];  // SYSTEM\CurrentControlSet\Control\DeviceClasses
extern const char kUsbPrintKey9x[];     // Enum\USBPRINT
extern const char kUsbKey9x[];          // Enum\USB

// Owns at most one open key and closes it when it goes out of scope, so that
// every way out of a walk closes what the walk opened.
class CRegKeyGuard {
public:
    explicit CRegKeyGuard(IRegistry& registry) : m_registry(registry) {}
    ~CRegKeyGuard() { Close(); }

    CRegKeyGuard(const CRegKeyGuard&) = delete;
    CRegKeyGuard& operator=(const CRegKeyGuard&) = delete;

    // Opens `subkey` below `parent` (kLocalMachine at the root) for reading,
    // closing any key held before. Non-zero on success.
    BOOL Open(RegKey parent, const std::string& subkey);
    void Close();

    RegKey Get() const { return m_key; }

private:
    IRegistry& m_registry;
    RegKey m_key = nullptr;
    bool m_open = false;
};

// What a visit of one subkey decided.
enum class WalkStep {
    kNext,   // go on with the next subkey
    kFound,  // this subkey decides; stop listing
    kFail,   // the whole walk fails at once
};

// Lists the subkeys of `key` by index 0, 1, 2, ... and hands each name to
// `visit` (WalkStep(const std::string&)) until it answers kFound or kFail.
// The end of the listing answers kNext; any other listing error, such as a
// name too long for the 256-character buffer, answers kFail.
template <typename Visit>
WalkStep ForEachSubkey(IRegistry& registry, RegKey key, Visit&& visit) {
    for (DWORD index = 0;; ++index) {
        std::string name;
        DWORD errorCode = 0;
        switch (registry.EnumKey(key, index, &name, &errorCode)) {
            case RegEnumStatus::kNoMoreItems:
                return WalkStep::kNext;
            case RegEnumStatus::kError:
                return WalkStep::kFail;
            case RegEnumStatus::kOk:
                break;
        }
        const WalkStep step = visit(name);
        if (step != WalkStep::kNext) {
            return step;
        }
    }
}

// Reads `valueName` of `key` as a NUL-terminated string. Non-zero on success
// with the text before the first NUL. A value that is missing, does not fit
// the 256-byte buffer, or fills it with no terminator is unreadable: the walk
// never reads past the buffer.
BOOL ReadStringValue(IRegistry& registry, RegKey key, const std::string& valueName,
                     std::string* text);

// The last walk of both platform families: below DeviceClasses, every class
// key whose name equals `interfaceClass` (case ignored) and, in it, the first
// interface key whose name contains each of `needles` (tested in order); the
// "SymbolicLink" value of its "#" subkey is the device path.
BOOL FindSymbolicLink(IRegistry& registry, const ICodePage& codePage,
                      const std::string& interfaceClass, const std::vector<std::string>& needles,
                      std::string* devicePath);

}  // namespace marnel
