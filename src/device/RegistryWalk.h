// Building blocks of the port's registry walks: a key that closes itself,
// the listing loop and the string read, each with the rules every walk
// shares (256-character names, 256-byte values, errors end the walk). A walk
// also keeps the cause of its failure for the expert: which key could not be
// opened or listed, or what was not found.
#pragma once

#include <string>
#include <vector>

#include "platform/Registry.h"
#include "platform/RegistryLayout.h"
#include "platform/Types.h"

namespace marnel {

class ICodePage;

// One walk: the registry and code page it reads with, and why it failed.
struct RegistryWalk {
    IRegistry& registry;
    const ICodePage& codePage;
    std::string failureCause;  // the first cause recorded wins

    void Fail(const std::string& cause) {
        if (failureCause.empty()) {
            failureCause = cause;
        }
    }
};

// Owns at most one open key and closes it when it goes out of scope, so that
// every way out of a walk closes what the walk opened.
class CRegKeyGuard {
public:
    explicit CRegKeyGuard(RegistryWalk& walk) : m_walk(walk) {}
    ~CRegKeyGuard() { Close(); }

    CRegKeyGuard(const CRegKeyGuard&) = delete;
    CRegKeyGuard& operator=(const CRegKeyGuard&) = delete;

    // Opens `path` below HKEY_LOCAL_MACHINE for reading. Non-zero on success;
    // a failure is recorded as the walk's cause.
    BOOL OpenRoot(const std::string& path);
    // Opens `subkey` below the key `parent` holds.
    BOOL OpenBelow(const CRegKeyGuard& parent, const std::string& subkey);
    void Close();

    RegKey Get() const { return m_key; }
    const std::string& Path() const { return m_path; }
    RegistryWalk& Walk() const { return m_walk; }

private:
    BOOL Open(RegKey parent, const std::string& subkey, const std::string& path);

    RegistryWalk& m_walk;
    RegKey m_key = nullptr;
    bool m_open = false;
    std::string m_path;
};

// What a visit of one subkey decided.
enum class WalkStep {
    kNext,   // go on with the next subkey
    kFound,  // this subkey decides; stop listing
    kFail,   // the whole walk fails at once
};

// Records a failed listing as the walk's cause.
void RecordListingError(const CRegKeyGuard& key, DWORD index, DWORD errorCode);

// Lists the subkeys of `key` by index 0, 1, 2, ... and hands each name to
// `visit` (WalkStep(const std::string&)) until it answers kFound or kFail.
// The end of the listing answers kNext; any other listing error, such as a
// name too long for the 256-character buffer, answers kFail.
template <typename Visit>
WalkStep ForEachSubkey(const CRegKeyGuard& key, Visit&& visit) {
    for (DWORD index = 0;; ++index) {
        std::string name;
        DWORD errorCode = 0;
        switch (key.Walk().registry.EnumKey(key.Get(), index, &name, &errorCode)) {
            case RegEnumStatus::kNoMoreItems:
                return WalkStep::kNext;
            case RegEnumStatus::kError:
                RecordListingError(key, index, errorCode);
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

// Reads `valueName` of the key as a NUL-terminated string. Non-zero on
// success with the text before the first NUL. A value that is missing, does
// not fit the 256-byte buffer, or fills it with no terminator is unreadable:
// the walk never reads past the buffer.
BOOL ReadStringValue(const CRegKeyGuard& key, const std::string& valueName, std::string* text);

// The first walk of both platform families: below `rootPath` (Enum\USBPRINT)
// the first instance key, two levels down, whose "DeviceDesc" equals the
// driver name (case ignored) and whose name contains the port name.
BOOL FindUsbPrintInstance(RegistryWalk& walk, const std::string& rootPath,
                          const std::string& driverName, const std::string& portName,
                          std::string* instanceName);

// The last walk of both platform families: below DeviceClasses, every class
// key whose name equals `interfaceClass` (case ignored) and, in it, the first
// interface key whose name contains each of `needles` (tested in order); the
// "SymbolicLink" value of its "#" subkey is the device path.
BOOL FindSymbolicLink(RegistryWalk& walk, const std::string& interfaceClass,
                      const std::vector<std::string>& needles, std::string* devicePath);

}  // namespace marnel
