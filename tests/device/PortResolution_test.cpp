#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "device/RegistryDeviceBus.h"
#include "device/UsbPrinterPort.h"
#include "platform/DeviceFile.h"
#include "sim/MemoryRegistry.h"
#include "sim/MemorySpooler.h"
#include "sim/SimPlatform.h"
#include "sim/VirtualClock.h"

namespace marnel {
namespace {

const std::string kUsbPrintNt = "SYSTEM\\CurrentControlSet\\Enum\\USBPRINT\\";
const std::string kUsbNt = "SYSTEM\\CurrentControlSet\\Enum\\USB\\";
const std::string kClasses = "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\";
const std::string kUsbPrint9x = "Enum\\USBPRINT\\";
const std::string kUsb9x = "Enum\\USB\\";
const std::string kClass = "{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";

// Records where the port tried to open its device.
class RecordingDeviceFile : public IDeviceFile {
public:
    struct OpenCall {
        std::string path;
        DWORD desiredAccess, shareMode;
        void* securityAttributes;
        DWORD creationDisposition, flagsAndAttributes;
        HANDLE templateFile;
        std::size_t closesBefore;
    };

    HANDLE Open(const std::string& path, DWORD desiredAccess, DWORD shareMode,
                void* securityAttributes, DWORD creationDisposition, DWORD flagsAndAttributes,
                HANDLE templateFile) override {
        opens.push_back({path, desiredAccess, shareMode, securityAttributes, creationDisposition,
                         flagsAndAttributes, templateFile, closed.size()});
        return fails ? InvalidHandle() : kHandle;
    }
    BOOL Read(HANDLE, void*, DWORD, DWORD*, void*) override { return 0; }
    BOOL IoControl(HANDLE, DWORD, void*, DWORD, void*, DWORD, DWORD*, void*) override { return 0; }
    BOOL Close(HANDLE device) override {
        closed.push_back(device);
        return 1;
    }

    static inline const HANDLE kHandle = reinterpret_cast<HANDLE>(0x5150);
    bool fails = false;
    std::vector<OpenCall> opens;
    std::vector<HANDLE> closed;
};

// A machine with one KQ-10 laid out for both platform families; each test
// bends one part of it.
class PortResolution : public ::testing::Test {
protected:
    void SetUp() override {
        spooler.AddPrinter({"Zarvel KQ-10", "Zarvel KQ-10", "USB001", 0});
        AddUsbPrint(kUsbPrintNt + "ZarvelKQ-10A1B2\\7&2f1e3a4b&0&USB001", "Zarvel KQ-10");
        AddUsbDevice("VID_1A2B&PID_0010\\KQ10SN0001", "7&2f1e3a4b&0",
                     "\\??\\USB#VID_1A2B&PID_0010#KQ10SN0001#" + kClass);

        AddUsbPrint(kUsbPrint9x + "ZarvelKQ-10\\USB001&VID_1A2B&PID_0010&KQ10SN0001",
                    "Zarvel KQ-10");
        registry.SetString(kUsb9x + "VID_1A2B&PID_0010\\KQ10SN0001", "SymbolicName",
                           "\\DosDevices\\KQ10SN0001#" + kClass);

        // The 9x record lists first: the NT record would satisfy the 9x tests too,
        // but the 9x one lacks the device key name the NT walk asks for.
        AddInterface(kClass, "KQ10SN0001#" + kClass, k9xLink);
        AddInterface(kClass, "##?#USB#VID_1A2B&PID_0010#KQ10SN0001#" + kClass, kNtLink);
    }

    // Whatever a test did, the walks closed every key and printer they opened.
    void TearDown() override {
        EXPECT_EQ(registry.OpenKeyCount(), 0u);
        EXPECT_EQ(registry.BadCloses(), 0u);
        EXPECT_EQ(spooler.OpenHandleCount(), 0u);
        EXPECT_EQ(spooler.BadCloses(), 0u);
    }

    void AddUsbPrint(const std::string& path, const std::string& description) {
        registry.SetString(path, "DeviceDesc", description);
    }
    void AddUsbDevice(const std::string& deviceAndInstance, const std::string& parentIdPrefix,
                      const std::string& symbolicName) {
        const std::string path = kUsbNt + deviceAndInstance;
        registry.AddKey(path);
        if (!parentIdPrefix.empty()) {
            registry.SetString(path, "ParentIdPrefix", parentIdPrefix);
        }
        registry.SetString(path + "\\Device Parameters", "SymbolicName", symbolicName);
    }
    void AddInterface(const std::string& classKey, const std::string& interfaceKey,
                      const std::string& link) {
        registry.SetString(kClasses + classKey + "\\" + interfaceKey + "\\#", "SymbolicLink", link);
    }

    // Opens a port on `printerName` and answers the path it opened ("" when
    // it opened nothing). The port is destroyed.
    std::string OpenedPath(const std::string& printerName = "Zarvel KQ-10") {
        const std::size_t before = deviceFile.opens.size();
        BOOL opened = 0;
        {
            CUsbPrinterPort port(Services());
            opened = port.Open(printerName);
        }
        if (deviceFile.opens.size() == before) {
            EXPECT_FALSE(opened);
            return "";
        }
        EXPECT_EQ(deviceFile.opens.size(), before + 1);
        EXPECT_EQ(opened != 0, !deviceFile.fails);
        return deviceFile.opens.back().path;
    }

    bool OpenedAny(const std::string& family) const {
        for (const std::string& path : registry.OpenLog()) {
            if (path.compare(0, family.size(), family) == 0) {
                return true;
            }
        }
        return false;
    }

    PlatformServices Services() { return {spooler, devices, clock, codePage}; }

    const std::string kNtLink = "\\\\?\\USB#VID_1A2B&PID_0010#KQ10SN0001#" + kClass;
    const std::string k9xLink = "\\\\.\\KQ10SN0001";

    SimPlatformVersion version{kPlatformWin32Nt};
    MemorySpooler spooler;
    MemoryRegistry registry;
    RecordingDeviceFile deviceFile;
    VirtualClock clock;
    SimCodePage codePage;
    CRegistryDeviceBus devices{version, registry, deviceFile, codePage};
};

TEST_F(PortResolution, OpensTheSymbolicLinkExclusivelyAndClosesOnce) {
    {
        CUsbPrinterPort port(Services());
        ASSERT_TRUE(port.Open("zarvel kq-10"));
        EXPECT_TRUE(deviceFile.closed.empty());
        EXPECT_EQ(port.Device().location, kNtLink);
        EXPECT_EQ(port.Device().serial, "KQ10SN0001");
        EXPECT_EQ(port.Device().model, "Zarvel KQ-10");
    }
    ASSERT_EQ(deviceFile.opens.size(), 1u);
    const auto& call = deviceFile.opens[0];
    EXPECT_EQ(call.path, kNtLink);
    EXPECT_EQ(call.desiredAccess, 0xC0000000u);  // GENERIC_READ | GENERIC_WRITE
    EXPECT_EQ(call.shareMode, 0u);
    EXPECT_EQ(call.securityAttributes, nullptr);
    EXPECT_EQ(call.creationDisposition, 3u);    // OPEN_EXISTING
    EXPECT_EQ(call.flagsAndAttributes, 0x80u);  // FILE_ATTRIBUTE_NORMAL
    EXPECT_EQ(call.templateFile, nullptr);
    EXPECT_EQ(deviceFile.closed, std::vector<HANDLE>{RecordingDeviceFile::kHandle});
    EXPECT_EQ(spooler.Calls(),
              (std::vector<std::string>{"OpenPrinter zarvel kq-10", "GetPrinter Zarvel KQ-10",
                                        "ClosePrinter Zarvel KQ-10"}));
}

TEST_F(PortResolution, ASecondOpenClosesTheFirstHandleBeforeItOpens) {
    CUsbPrinterPort port(Services());
    ASSERT_TRUE(port.Open("Zarvel KQ-10"));
    deviceFile.fails = true;
    EXPECT_FALSE(port.Open("Zarvel KQ-10"));
    ASSERT_EQ(deviceFile.opens.size(), 2u);
    EXPECT_EQ(deviceFile.opens[1].closesBefore, 1u);
    EXPECT_EQ(deviceFile.closed, std::vector<HANDLE>{RecordingDeviceFile::kHandle});
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(PortResolution, PlatformIdChoosesTheFamilyOfWalks) {
    const struct {
        DWORD platformId;
        bool nineX;
    } cases[] = {{0, false}, {1, true}, {2, false}};
    for (const auto& c : cases) {
        registry.ClearLog();
        version.SetPlatformId(c.platformId);
        EXPECT_EQ(OpenedPath(), c.nineX ? k9xLink : kNtLink) << c.platformId;
        EXPECT_EQ(OpenedAny("Enum\\"), c.nineX) << c.platformId;
        EXPECT_EQ(OpenedAny("SYSTEM\\CurrentControlSet\\Enum\\"), !c.nineX) << c.platformId;
    }
}

TEST_F(PortResolution, FailsBeforeTheRegistryWhenVersionOrPrinterIsMissing) {
    version.SetFails(true);
    EXPECT_EQ(OpenedPath(), "");
    version.SetFails(false);

    EXPECT_EQ(OpenedPath(""), "");  // no device chosen
    EXPECT_EQ(OpenedPath("Zarvel KQ-1"), "");
    spooler.SetOpenFails("Zarvel KQ-10");
    EXPECT_EQ(OpenedPath(), "");
    spooler.SetOpenFails("Zarvel KQ-10", false);
    for (SpoolerFault fault : {SpoolerFault::kSizeQueryFailed, SpoolerFault::kReadFailed}) {
        spooler.SetGetPrinterFault("Zarvel KQ-10", fault);
        EXPECT_EQ(OpenedPath(), "");
    }
    EXPECT_EQ(registry.OpenCalls(), 0u);
    EXPECT_EQ(spooler.CountCalls("OpenPrinter"), spooler.CountCalls("ClosePrinter") + 3);
}

TEST_F(PortResolution, ParentIdPrefixIsCutByThePortNamesLength) {
    const struct {
        const char* instanceName;
        const char* description;
        const char* prefix;
    } cases[] = {
        {"X&USB001", "ZARVEL kq-10", "X"},
        // The port need not stand at the end; the cut is by length.
        {"USB001&7&abcdef", "Zarvel KQ-10", "USB001&7"},
        {"&USB001", "Zarvel KQ-10", ""},
        {"USB001", "Zarvel KQ-10", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.instanceName);
        registry.DeleteKey(kUsbPrintNt.substr(0, kUsbPrintNt.size() - 1));
        registry.DeleteKey(kUsbNt + "VID_1A2B&PID_0010");
        AddUsbPrint(kUsbPrintNt + "Zarvel\\" + c.instanceName, c.description);
        AddUsbDevice("VID_1A2B&PID_0010\\KQ10SN0001", c.prefix,
                     "\\??\\USB#VID_1A2B&PID_0010#KQ10SN0001#" + kClass);
        EXPECT_EQ(OpenedPath(), kNtLink);
    }
}

TEST_F(PortResolution, InstancesThatDoNotMatchArePassedOver) {
    // Decoys listed before the real instance, each leading to a device of its
    // own if it were taken.
    registry.DeleteKey(kUsbPrintNt.substr(0, kUsbPrintNt.size() - 1));
    AddUsbPrint(kUsbPrintNt + "Decoy\\1&aaaa&0&USB002", "Zarvel KQ-10");  // other port
    AddUsbPrint(kUsbPrintNt + "Decoy\\2&bbbb&0&usb001", "Zarvel KQ-10");  // port in other case
    AddUsbPrint(kUsbPrintNt + "Decoy\\3&cccc&0&USB001", "Zarvel ZT-5");   // other driver
    registry.AddKey(kUsbPrintNt + "Decoy\\4&dddd&0&USB001");              // no DeviceDesc
    AddUsbPrint(kUsbPrintNt + "Real\\7&2f1e3a4b&0&USB001", "Zarvel KQ-10");
    AddUsbPrint(kUsbPrintNt + "Late\\9&ffff&0&USB001", "Zarvel KQ-10");  // after the match
    for (const char* prefix : {"1&aaaa", "2&bbbb", "3&cccc", "4&dddd", "9&ffff"}) {
        AddUsbDevice(std::string("VID_9999&PID_0001\\") + prefix, prefix,
                     "\\??\\USB#VID_9999#" + kClass);
    }
    EXPECT_EQ(OpenedPath(), kNtLink);
}

TEST_F(PortResolution, PortNameInsideADoubleByteCharacterIsNoMatch) {
    codePage.AddLeadByteRange(0x81, 0x9F);
    registry.DeleteKey(kUsbPrintNt.substr(0, kUsbPrintNt.size() - 1));
    // 0x83 makes "\x83U" one character, so "USB001" does not start on a boundary.
    AddUsbPrint(kUsbPrintNt + "A\\7&2f1e3a4b&0\x83USB001", "Zarvel KQ-10");
    EXPECT_EQ(OpenedPath(), "");
    codePage = SimCodePage();
    EXPECT_EQ(OpenedPath(), kNtLink);
}

TEST_F(PortResolution, KeysThatCannotBeOpenedFailTheWalkEvenBeforeAMatch) {
    const std::string unopenable[] = {
        kUsbPrintNt.substr(0, kUsbPrintNt.size() - 1),
        kUsbPrintNt + "AAA",          // device key listed first
        kUsbPrintNt + "AAA\\Broken",  // instance listed before the real one
        kUsbNt.substr(0, kUsbNt.size() - 1),
        kUsbNt + "VID_0000&PID_0000",
        kUsbNt + "VID_1A2B&PID_0010\\KQ10SN0001",
        kClasses.substr(0, kClasses.size() - 1),
        kClasses + kClass,
        kClasses + kClass + "\\##?#USB#VID_1A2B&PID_0010#KQ10SN0001#" + kClass,
    };
    registry.SetString(kUsbPrintNt + "AAA\\Broken", "DeviceDesc", "Zarvel KQ-10");
    registry.AddKey(kUsbNt + "VID_0000&PID_0000");
    // Listed first: move the real keys behind the new ones.
    registry.DeleteKey(kUsbPrintNt + "ZarvelKQ-10A1B2");
    AddUsbPrint(kUsbPrintNt + "ZarvelKQ-10A1B2\\7&2f1e3a4b&0&USB001", "Zarvel KQ-10");
    registry.DeleteKey(kUsbNt + "VID_1A2B&PID_0010");
    AddUsbDevice("VID_1A2B&PID_0010\\KQ10SN0001", "7&2f1e3a4b&0",
                 "\\??\\USB#VID_1A2B&PID_0010#KQ10SN0001#" + kClass);
    ASSERT_EQ(OpenedPath(), kNtLink);
    for (const std::string& path : unopenable) {
        SCOPED_TRACE(path);
        registry.SetOpenFails(path);
        EXPECT_EQ(OpenedPath(), "");
        registry.SetOpenFails(path, false);
    }
}

TEST_F(PortResolution, ListingErrorsFailTheWalk) {
    // A key with one subkey of its own lists before each real one, so that an
    // error taken for the end of a listing, or skipped over, would still let
    // the walk reach the real key.
    registry.DeleteKey(kUsbPrintNt + "ZarvelKQ-10A1B2");
    registry.AddKey(kUsbPrintNt + "AAA\\x");
    AddUsbPrint(kUsbPrintNt + "ZarvelKQ-10A1B2\\7&2f1e3a4b&0&USB001", "Zarvel KQ-10");
    registry.DeleteKey(kUsbNt + "VID_1A2B&PID_0010");
    registry.AddKey(kUsbNt + "AAA\\x");
    AddUsbDevice("VID_1A2B&PID_0010\\KQ10SN0001", "7&2f1e3a4b&0",
                 "\\??\\USB#VID_1A2B&PID_0010#KQ10SN0001#" + kClass);
    registry.DeleteKey(kClasses + kClass);
    registry.AddKey(kClasses + "{aaa}\\x");
    AddInterface(kClass, "decoy", "decoy");
    AddInterface(kClass, "##?#USB#VID_1A2B&PID_0010#KQ10SN0001#" + kClass, kNtLink);
    ASSERT_EQ(OpenedPath(), kNtLink);

    const std::string listed[] = {
        kUsbPrintNt.substr(0, kUsbPrintNt.size() - 1), kUsbPrintNt + "AAA",
        kUsbNt.substr(0, kUsbNt.size() - 1),           kUsbNt + "AAA",
        kClasses.substr(0, kClasses.size() - 1),       kClasses + kClass,
    };
    for (const std::string& path : listed) {
        for (DWORD error : {kErrorMoreData, DWORD{5}}) {  // ERROR_MORE_DATA, ERROR_ACCESS_DENIED
            SCOPED_TRACE(path + " error " + std::to_string(error));
            registry.SetListingError(path, 0, error);
            EXPECT_EQ(OpenedPath(), "");
        }
        // An error code of ERROR_NO_MORE_ITEMS is the end of the listing.
        registry.SetListingError(path, 0, kErrorNoMoreItems);
        EXPECT_EQ(OpenedPath(), path == kUsbPrintNt.substr(0, kUsbPrintNt.size() - 1) ||
                                        path == kUsbNt.substr(0, kUsbNt.size() - 1) ||
                                        path == kClasses.substr(0, kClasses.size() - 1) ||
                                        path == kClasses + kClass
                                    ? ""
                                    : kNtLink)
            << path;
        registry.SetListingError(path, 0, 0);
    }
}

TEST_F(PortResolution, ANameTooLongForTheListingBufferFailsTheWalk) {
    registry.DeleteKey(kUsbPrintNt + "ZarvelKQ-10A1B2");
    registry.AddKey(kUsbPrintNt + std::string(255, 'L'));  // fits with its terminator
    AddUsbPrint(kUsbPrintNt + "ZarvelKQ-10A1B2\\7&2f1e3a4b&0&USB001", "Zarvel KQ-10");
    EXPECT_EQ(OpenedPath(), kNtLink);

    registry.DeleteKey(kUsbPrintNt + "ZarvelKQ-10A1B2");
    registry.AddKey(kUsbPrintNt + std::string(256, 'L'));  // ERROR_MORE_DATA
    AddUsbPrint(kUsbPrintNt + "ZarvelKQ-10A1B2\\7&2f1e3a4b&0&USB001", "Zarvel KQ-10");
    EXPECT_EQ(OpenedPath(), "");
}

TEST_F(PortResolution, TheFirstMatchDecidesAndNothingAfterItIsListed) {
    // Errors behind the matching keys are never met.
    registry.SetListingError(kUsbPrintNt + "ZarvelKQ-10A1B2", 1, 5);
    registry.SetListingError(kUsbPrintNt.substr(0, kUsbPrintNt.size() - 1), 1, 5);
    registry.SetListingError(kUsbNt + "VID_1A2B&PID_0010", 1, 5);
    registry.SetListingError(kClasses + kClass, 2, 5);  // index 1 is the NT record
    EXPECT_EQ(OpenedPath(), kNtLink);
}

TEST_F(PortResolution, UsbInstanceWithoutParentIdPrefixMatchesOnlyAnEmptyPrefix) {
    registry.DeleteKey(kUsbNt + "VID_1A2B&PID_0010");
    AddUsbDevice("VID_1A2B&PID_0010\\KQ10SN0001", "", "\\??\\USB#x#" + kClass);
    EXPECT_EQ(OpenedPath(), "");

    registry.DeleteKey(kUsbPrintNt.substr(0, kUsbPrintNt.size() - 1));
    AddUsbPrint(kUsbPrintNt + "ZarvelKQ-10A1B2\\&USB001", "Zarvel KQ-10");
    EXPECT_EQ(OpenedPath(), kNtLink);
}

TEST_F(PortResolution, DeviceParametersRules) {
    // Missing "SymbolicName": passed over, the next instance decides.
    registry.DeleteKey(kUsbNt + "VID_1A2B&PID_0010");
    registry.SetString(kUsbNt + "VID_1A2B&PID_0010\\First", "ParentIdPrefix", "7&2f1e3a4b&0");
    registry.AddKey(kUsbNt + "VID_1A2B&PID_0010\\First\\Device Parameters");
    AddUsbDevice("VID_1A2B&PID_0010\\KQ10SN0001", "7&2f1e3a4b&0",
                 "\\??\\USB#VID_1A2B&PID_0010#KQ10SN0001#" + kClass);
    EXPECT_EQ(OpenedPath(), kNtLink);

    // No "Device Parameters" at all: the walk fails.
    registry.DeleteKey(kUsbNt + "VID_1A2B&PID_0010\\First\\Device Parameters");
    EXPECT_EQ(OpenedPath(), "");
}

TEST_F(PortResolution, InterfaceClassIsTheSymbolicNameFromItsFirstBrace) {
    const struct {
        const char* symbolicName;
        const char* classKey;
    } cases[] = {
        {"\\??\\USB#VID_1A2B&PID_0010#KQ10SN0001#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}",
         "{28D78FAD-5A12-11D1-AE5B-0000F803A8C2}"},  // class keys match ignoring case
        {"KQ10SN0001 {a}{b}", "{a}{b}"},
        {"KQ10SN0001-noclass", "KQ10SN0001-noclass"},  // no brace: the whole value
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.symbolicName);
        registry.DeleteKey(kUsbNt + "VID_1A2B&PID_0010");
        registry.DeleteKey(kClasses.substr(0, kClasses.size() - 1));
        AddUsbDevice("VID_1A2B&PID_0010\\KQ10SN0001", "7&2f1e3a4b&0", c.symbolicName);
        const std::string symbolicName = c.symbolicName;
        const std::string interfaceClass = symbolicName.substr(
            symbolicName.find('{') == std::string::npos ? 0 : symbolicName.find('{'));
        AddInterface(c.classKey, "VID_1A2B&PID_0010#KQ10SN0001#" + interfaceClass, "found");
        EXPECT_EQ(OpenedPath(), "found");
    }
}

TEST_F(PortResolution, InterfaceRecordRules) {
    const std::string classKey = kClasses + kClass + "\\";
    registry.DeleteKey(kClasses.substr(0, kClasses.size() - 1));
    // Passed over: a name lacking the device, the instance, or the class
    // (contains is case-sensitive); a "#" without "SymbolicLink".
    AddInterface(kClass, "##?#USB#VID_1A2B&PID_0010#OTHER#" + kClass, "wrong instance");
    AddInterface(kClass, "##?#USB#VID_1A2B&PID_0011#KQ10SN0001#" + kClass, "wrong device");
    AddInterface(kClass,
                 "##?#USB#VID_1A2B&PID_0010#KQ10SN0001#{28D78FAD-5A12-11D1-AE5B-0000F803A8C2}",
                 "class in other case");
    registry.AddKey(classKey + "##?#USB#VID_1A2B&PID_0010#KQ10SN0001#" + kClass + "-a\\#");
    AddInterface(kClass, "##?#USB#VID_1A2B&PID_0010#KQ10SN0001#" + kClass + "-b", "found");
    EXPECT_EQ(OpenedPath(), "found");

    // A matching record without a "#" subkey fails the walk.
    registry.DeleteKey(classKey + "##?#USB#VID_1A2B&PID_0010#KQ10SN0001#" + kClass + "-a\\#");
    EXPECT_EQ(OpenedPath(), "");
}

TEST_F(PortResolution, ValuesMustEndInsideTheirBuffer) {
    const std::string instance = kUsbPrintNt + "ZarvelKQ-10A1B2\\7&2f1e3a4b&0&USB001";
    const auto driver = [&](const std::string& name) {
        spooler.RemovePrinter("Zarvel KQ-10");
        spooler.AddPrinter({"Zarvel KQ-10", name, "USB001", 0});
    };
    // Exactly 256 bytes and no terminator: unreadable, never read past.
    driver(std::string(256, 'Z'));
    registry.SetBytes(instance, "DeviceDesc", std::string(256, 'Z'));
    EXPECT_EQ(OpenedPath(), "");
    // 255 bytes without a terminator still leave room for one.
    driver(std::string(255, 'Z'));
    registry.SetBytes(instance, "DeviceDesc", std::string(255, 'Z'));
    EXPECT_EQ(OpenedPath(), kNtLink);
    // The string ends at its first terminator; 257 bytes do not fit at all.
    driver("Zarvel KQ-10");
    registry.SetBytes(instance, "DeviceDesc", std::string("Zarvel KQ-10") + '\0' + "tail");
    EXPECT_EQ(OpenedPath(), kNtLink);
    registry.SetString(instance, "DeviceDesc", std::string(256, 'Z'));
    driver(std::string(256, 'Z'));
    EXPECT_EQ(OpenedPath(), "");
}

TEST_F(PortResolution, NineXIdsAreCutFromTheUsbPrintKeyName) {
    version.SetPlatformId(kPlatformWin32Windows);
    const struct {
        const char* instanceName;  // below Enum\USBPRINT\ZarvelKQ-10 (port USB001)
        const char* deviceId;
        const char* instanceId;
    } cases[] = {
        {"USB001&VID_1A2B&PID_0010&KQ10SN0001", "VID_1A2B&PID_0010", "KQ10SN0001"},
        // No "VID": the first 17 characters, and no separator skipped.
        {"ABCDEFGHIJKLMNOPQ-USB001", "ABCDEFGHIJKLMNOPQ", "-USB001"},
        // Cut short by the end of the name.
        {"USB001&VID_1A2B", "VID_1A2B", ""},
        {"USB001&VID_1A2B&PID_0010", "VID_1A2B&PID_0010", ""},
        {"USB001", "USB001", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.instanceName);
        registry.DeleteKey("Enum");
        AddUsbPrint(kUsbPrint9x + "ZarvelKQ-10\\" + c.instanceName, "Zarvel KQ-10");
        const std::string usbPath = kUsb9x + c.deviceId + "\\" + c.instanceId;
        registry.AddKey(kUsb9x + "VID_0000&PID_0000\\" + c.instanceId);  // other device
        if (*c.instanceId == '\0') {
            registry.SetString(kUsb9x + c.deviceId, "SymbolicName", "x");
            registry.AddKey(kUsb9x + c.deviceId + "\\Other");
            // An empty instance id names no subkey: nothing can match.
            EXPECT_EQ(OpenedPath(), "");
            continue;
        }
        registry.SetString(usbPath, "SymbolicName", "\\DosDevices\\KQ10SN0001#" + kClass);
        EXPECT_EQ(OpenedPath(), k9xLink);
    }
}

TEST_F(PortResolution, NineXInstancePartAndClassComeFromTheSymbolicName) {
    version.SetPlatformId(kPlatformWin32Windows);
    const std::string usb = kUsb9x + "VID_1A2B&PID_0010\\KQ10SN0001";
    const struct {
        const char* symbolicName;
        const char* interfaceKey;  // an interface key that the parts select
    } cases[] = {
        {"\\DosDevices\\KQ10SN0001#{c}", "x-KQ10SN0001-{c}"},
        {"\\DosDevices\\#{c}", "{c}"},             // "#" at 12: empty instance part
        {"\\Dos#DevicesKQ#{c}", "DevicesKQ#{c}"},  // "#" at 4: class after it
        {"{c}", "{c}"},                            // no "#": the whole value
        {"short#{c}", "{c}"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.symbolicName);
        registry.DeleteKey(kClasses.substr(0, kClasses.size() - 1));
        registry.SetString(usb, "SymbolicName", c.symbolicName);
        const std::string symbolicName = c.symbolicName;
        const std::size_t hash = symbolicName.find('#');
        const std::string interfaceClass =
            hash == std::string::npos ? symbolicName : symbolicName.substr(hash + 1);
        AddInterface(interfaceClass, "decoy", "decoy");
        AddInterface(interfaceClass, c.interfaceKey, "found");
        EXPECT_EQ(OpenedPath(), "found");
    }
}

TEST_F(PortResolution, NineXInterfaceKeyNeedsInstancePartAndClass) {
    version.SetPlatformId(kPlatformWin32Windows);
    registry.DeleteKey(kClasses.substr(0, kClasses.size() - 1));
    AddInterface(kClass, "KQ10SN0001", "no class");
    AddInterface(kClass, kClass, "no instance");
    AddInterface(kClass, "kq10sn0001#" + kClass, "instance in other case");
    EXPECT_EQ(OpenedPath(), "");
    AddInterface(kClass, kClass + "KQ10SN0001", "either order");
    EXPECT_EQ(OpenedPath(), "either order");
}

TEST_F(PortResolution, AFailedOpenNamesItsStepAndCause) {
    const std::string usbPrintRoot = kUsbPrintNt.substr(0, kUsbPrintNt.size() - 1);
    const std::string usbInstance = kUsbNt + "VID_1A2B&PID_0010\\KQ10SN0001";
    const std::string hashKey =
        kClasses + kClass + "\\##?#USB#VID_1A2B&PID_0010#KQ10SN0001#" + kClass + "\\#";
    const struct {
        std::function<void(bool)> fault;  // true: switch on, false: off
        OpenStep step;
        std::string cause;
    } cases[] = {
        {[&](bool on) { version.SetFails(on); }, OpenStep::kPlatformVersion, "version"},
        {[&](bool on) { spooler.SetOpenFails("Zarvel KQ-10", on); }, OpenStep::kPrinter,
         "\"Zarvel KQ-10\""},
        {[&](bool on) { registry.SetListingError(usbPrintRoot, 0, on ? kErrorMoreData : 0); },
         OpenStep::kPrinterNode, "listing subkey 0 of " + usbPrintRoot + " failed with error 234"},
        {[](bool) {}, OpenStep::kNone, ""},  // nothing wrong
        {[&](bool on) { registry.SetOpenFails(usbInstance, on); }, OpenStep::kUsbDevice,
         "cannot open key " + usbInstance},
        {[&](bool on) {
             registry.SetString(usbInstance, "ParentIdPrefix", on ? "0&0" : "7&2f1e3a4b&0");
         },
         OpenStep::kUsbDevice, "parent id prefix \"7&2f1e3a4b&0\""},
        {[&](bool on) { registry.SetOpenFails(hashKey, on); }, OpenStep::kInterfaceLink,
         "cannot open key " + hashKey},
        {[&](bool on) { deviceFile.fails = on; }, OpenStep::kDeviceFile, kNtLink},
    };
    // A bus's own reason joins the same record, given with the printer the
    // bus was asked for; a spooler that found no printer gives its own.
    struct ExplainingBus : IDeviceBus {
        explicit ExplainingBus(IDeviceBus& walks) : m_walks(walks) {}
        bool Locate(const PrinterInfo& printer, DeviceRef* ref, LocateFailure* failure) override {
            if (m_walks.Locate(printer, ref, failure)) {
                return true;
            }
            failure->detail = std::to_string(static_cast<int>(failure->step)) + "|" +
                              printer.printerName + "|" + printer.portName;
            return false;
        }
        std::unique_ptr<IDeviceLink> Open(const DeviceRef& ref, std::string* error) override {
            std::unique_ptr<IDeviceLink> link = m_walks.Open(ref, error);
            *error = "refused " + ref.id;
            return link;
        }
        IDeviceBus& m_walks;
    } explaining(devices);
    const PlatformServices services{spooler, explaining, clock, codePage};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cause);
        c.fault(true);
        CUsbPrinterPort port(services);
        EXPECT_EQ(port.Open("Zarvel KQ-10"), c.step == OpenStep::kNone);
        EXPECT_EQ(port.LastOpenFailure().step, c.step);
        EXPECT_NE(port.LastOpenFailure().cause.find(c.cause), std::string::npos)
            << port.LastOpenFailure().cause;
        const std::string located =
            std::to_string(static_cast<int>(c.step)) + "|Zarvel KQ-10|USB001";
        EXPECT_EQ(port.LastOpenFailure().detail,
                  c.step == OpenStep::kNone          ? ""
                  : c.step == OpenStep::kPrinter    ? spooler.LastError()
                  : c.step == OpenStep::kDeviceFile ? "refused " + kNtLink
                                                    : located);
        EXPECT_EQ(port.LastOpenFailure().portName, c.step == OpenStep::kPrinter ? "" : "USB001");
        const bool pathFound = c.step == OpenStep::kNone || c.step == OpenStep::kDeviceFile;
        EXPECT_EQ(port.Device().location, pathFound ? kNtLink : "");
        c.fault(false);
    }
}

TEST_F(PortResolution, FailedCreateFileLeavesThePortClosed) {
    deviceFile.fails = true;
    {
        CUsbPrinterPort port(Services());
        EXPECT_FALSE(port.Open("Zarvel KQ-10"));
        EXPECT_FALSE(port.IsOpen());
        std::size_t read = 0;
        std::uint8_t byte = 0;
        EXPECT_FALSE(port.ReadData(&byte, 1, &read));
    }
    EXPECT_EQ(deviceFile.opens.size(), 1u);
    EXPECT_TRUE(deviceFile.closed.empty());
}

}  // namespace
}  // namespace marnel
