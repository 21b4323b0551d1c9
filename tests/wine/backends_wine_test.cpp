// The Windows back ends against a real (Wine) registry and spooler: the
// prefix is prepared by run-in-wine.sh from machine.reg. Checks the calls'
// 256-character and 256-byte limits, the spooler's level-2 records, the
// device file, and CDevicePort's resolution from a printer name to the
// device's symbolic link through the real registry and spooler.
#include <algorithm>
#include <memory>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "device/AnsiText.h"
#include "files/File.h"
#include "files/Sha256.h"
#include "ops/History.h"
#include "sim/SimPlatform.h"
#include "protocol/DevicePort.h"
#include "win32/Win32FileSystem.h"
#include "Sha256KnownAnswers.h"
#include "win32/Win32Hashing.h"
#include "win32/Win32Platform.h"
#include "win32/WindowsApi.h"

namespace marnel {
namespace {

int g_checks = 0;
int g_failures = 0;

template <typename A, typename B>
void CheckEqual(const A& actual, const B& expected, const char* what, int line) {
    ++g_checks;
    if (!(actual == expected)) {
        ++g_failures;
        std::cout << "FAILED line " << line << ": " << what << "\n  actual:   [" << actual
                  << "]\n  expected: [" << expected << "]\n";
    }
}

#define CHECK_EQ(actual, expected) CheckEqual((actual), (expected), #actual, __LINE__)
#define CHECK(condition) CheckEqual(static_cast<bool>(condition), true, #condition, __LINE__)

int AsInt(SpoolerQueryStatus status) { return static_cast<int>(status); }
int AsInt(JobState state) { return static_cast<int>(state); }

const char kUsbPrintNt[] = "SYSTEM\\CurrentControlSet\\Enum\\USBPRINT";
const char kLimits[] = "SOFTWARE\\Marnel\\WineTest\\Limits";
const char kKq10Link[] =
    "\\\\?\\USB#VID_1A2B&PID_0010#KQ10SN0001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
const char kKq10SecondLink[] =
    "\\\\?\\USB#VID_1A2B&PID_0010#KQ10SN0002#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
const char kKq10Link9x[] = "\\\\.\\KQ10SN0001#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";

std::vector<std::string> ListSubkeys(IRegistry& registry, RegKey key, DWORD* lastError) {
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        std::string name;
        const RegEnumStatus status = registry.EnumKey(key, index, &name, lastError);
        if (status != RegEnumStatus::kOk) {
            names.push_back(status == RegEnumStatus::kNoMoreItems ? "<end>" : "<error>");
            return names;
        }
        names.push_back(name);
    }
}

std::string Joined(const std::vector<std::string>& names) {
    std::ostringstream out;
    for (const std::string& name : names) {
        out << name << ';';
    }
    return out.str();
}

void TestRegistryKeysAndValues() {
    Win32Registry registry;
    RegKey usbPrint = nullptr;
    CHECK(registry.OpenKey(kLocalMachine, kUsbPrintNt, &usbPrint));
    RegKey missing = nullptr;
    CHECK(!registry.OpenKey(kLocalMachine, "SYSTEM\\CurrentControlSet\\Enum\\NoSuchBus", &missing));

    DWORD lastError = 0;
    CHECK_EQ(Joined(ListSubkeys(registry, usbPrint, &lastError)),
             "GenericLaser;ZarvelKQ-10A1B2;<end>;");
    CHECK_EQ(lastError, static_cast<DWORD>(ERROR_NO_MORE_ITEMS));

    // Keys open relative to their parent.
    RegKey device = nullptr;
    RegKey instance = nullptr;
    CHECK(registry.OpenKey(usbPrint, "ZarvelKQ-10A1B2", &device));
    CHECK(registry.OpenKey(device, "8&11223344&0&USB001", &instance));
    std::string bytes;
    CHECK(registry.QueryValue(instance, "DeviceDesc", &bytes));
    CHECK_EQ(bytes, std::string("Zarvel KQ-10\0", 13));
    std::string untouched = "before";
    CHECK(!registry.QueryValue(instance, "NoSuchValue", &untouched));
    CHECK_EQ(untouched, "before");

    // A closed key answers no more reads.
    registry.CloseKey(instance);
    CHECK(!registry.QueryValue(instance, "DeviceDesc", &bytes));
    registry.CloseKey(device);
    registry.CloseKey(usbPrint);
}

void TestRegistryLimits() {
    Win32Registry registry;
    RegKey limits = nullptr;
    CHECK(registry.OpenKey(kLocalMachine, kLimits, &limits));

    struct ValueCase {
        const char* name;
        bool readable;
        std::string bytes;
    };
    const ValueCase cases[] = {
        {"Text255", true, std::string(255, 'x') + '\0'},  // fills the buffer with its terminator
        {"Text256", false, ""},                         // the terminator does not fit
        {"Binary256", true, std::string(256, 'Z')},      // fits exactly, no terminator
        {"Binary257", false, ""},
        {"Empty", true, std::string(1, '\0')},
    };
    for (const ValueCase& c : cases) {
        std::string bytes;
        const BOOL ok = registry.QueryValue(limits, c.name, &bytes);
        CHECK_EQ(ok != 0, c.readable);
        if (ok && c.readable) {
            CHECK_EQ(bytes.size(), c.bytes.size());
            CHECK_EQ(bytes == c.bytes, true);
        }
    }

    // A 255-character name fits the 256-character buffer; a longer one ends
    // the listing with ERROR_MORE_DATA, which the core must see as an error.
    DWORD lastError = 0;
    CHECK_EQ(Joined(ListSubkeys(registry, limits, &lastError)),
             std::string(255, 'k') + ";<error>;");
    CHECK_EQ(lastError, static_cast<DWORD>(ERROR_MORE_DATA));
    registry.CloseKey(limits);
}

void TestSpooler() {
    Win32Spooler spooler;
    const PrinterList list = spooler.EnumLocalPrinters();
    CHECK_EQ(AsInt(list.status), AsInt(SpoolerQueryStatus::kOk));
    std::string seen;
    for (const PrinterInfo& p : list.printers) {
        std::ostringstream line;
        line << p.printerName << '|' << p.driverName << '|' << p.portName << '|' << std::hex
             << (p.attributes & 0x440) << ';';
        seen += line.str();
    }
    CHECK_EQ(seen,
             "Office Laser|Generic Laser|USB002|40;Zarvel KQ-10|Zarvel KQ-10|USB001|40;"
             "Zarvel KQ-10 (copy 2)|Zarvel KQ-10|USB004|40;Zarvel ZT-5|Zarvel ZT-5|USB003|440;");

    PrinterHandle printer = nullptr;
    CHECK(spooler.OpenPrinter("Zarvel KQ-10", &printer));
    const PrinterQuery query = spooler.GetPrinter(printer);
    CHECK_EQ(AsInt(query.status), AsInt(SpoolerQueryStatus::kOk));
    CHECK_EQ(query.info.printerName, "Zarvel KQ-10");
    CHECK_EQ(query.info.driverName, "Zarvel KQ-10");
    CHECK_EQ(query.info.portName, "USB001");
    CHECK(spooler.ClosePrinter(printer));
    // The size query on a closed handle fails with ERROR_INVALID_HANDLE, not
    // ERROR_INSUFFICIENT_BUFFER: that is told apart from a failed read.
    CHECK_EQ(AsInt(spooler.GetPrinter(printer).status),
             AsInt(SpoolerQueryStatus::kSizeQueryFailed));

    PrinterHandle none = nullptr;
    CHECK(!spooler.OpenPrinter("No Such Printer", &none));
    // The system's words for the failure, with its code.
    CHECK(spooler.LastError().find("(error 1801)") != std::string::npos);
}

// Last, as it deletes every printer: an empty spooler lists no printers
// and is no error of the listing.
void TestEmptySpooler() {
    Win32Spooler spooler;
    for (const PrinterInfo& p : spooler.EnumLocalPrinters().printers) {
        HANDLE printer = nullptr;
        PRINTER_DEFAULTSA defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
        CHECK(OpenPrinterA(const_cast<LPSTR>(p.printerName.c_str()), &printer, &defaults));
        CHECK(DeletePrinter(printer));
        ClosePrinter(printer);
    }
    const PrinterList list = spooler.EnumLocalPrinters();
    CHECK_EQ(AsInt(list.status), AsInt(SpoolerQueryStatus::kOk));
    CHECK_EQ(list.printers.size(), 0u);
}

// The raw job's calls reach the spooler with a well-formed DOC_INFO_1 and
// the job they made can be deleted. (Wine cannot deliver to a USB port, so
// the end of the document is not looked at.)
void TestRawJob() {
    Win32Spooler spooler;
    PrinterHandle printer = nullptr;
    CHECK(spooler.OpenPrinter("Zarvel KQ-10", &printer));
    const DWORD job = spooler.StartDocPrinter(printer, DocInfo{"Updater", nullptr, "RAW"});
    CHECK(job != 0);
    CHECK(spooler.StartPagePrinter(printer));
    DWORD written = 0;
    CHECK(spooler.WritePrinter(printer, "\x1b@firmware", 10, &written));
    CHECK_EQ(written, 10u);
    CHECK_EQ(AsInt(spooler.GetJob(printer, job).state), AsInt(JobState::kPending));
    CHECK(spooler.CancelJob(printer, job));
    CHECK(!spooler.CancelJob(printer, job + 1000));  // no such job
    CHECK(!spooler.LastError().empty());
    spooler.EndPagePrinter(printer);
    spooler.EndDocPrinter(printer);
    CHECK(spooler.ClosePrinter(printer));
}

// An empty RAW job, as the window sends an empty firmware file: Wine's
// spooler takes it like any other. EndDocPrinter succeeds, the job leaves the
// queue, and the port receives zero bytes. The port is a Unix file here,
// as Wine cannot deliver to a USB port.
void TestEmptyRawJob() {
    const std::string unixPath =
        "/tmp/marnel-empty-job-" + std::to_string(GetCurrentProcessId()) + ".bin";
    std::string windowsPath = "Z:" + unixPath;
    std::replace(windowsPath.begin(), windowsPath.end(), '/', '\\');
    const char kQueue[] = "Marnel Empty Job";
    const std::string key = std::string("System\\CurrentControlSet\\Control\\Print\\Printers\\") +
                            kQueue;
    HKEY queue = nullptr;
    CHECK_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                             nullptr, &queue, nullptr),
             ERROR_SUCCESS);
    const auto setText = [&](const char* name, const std::string& value) {
        RegSetValueExA(queue, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<::DWORD>(value.size() + 1));
    };
    setText("Name", kQueue);
    setText("Port", unixPath);
    setText("Printer Driver", "Zarvel KQ-10");
    setText("Print Processor", "winprint");
    setText("Datatype", "RAW");
    const ::DWORD local = 0x40;
    RegSetValueExA(queue, "Attributes", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&local),
                   sizeof local);
    RegCloseKey(queue);

    Win32Spooler spooler;
    PrinterHandle printer = nullptr;
    CHECK(spooler.OpenPrinter(kQueue, &printer));
    const DWORD job = spooler.StartDocPrinter(printer, DocInfo{"Updater", nullptr, "RAW"});
    CHECK(job != 0);
    CHECK(spooler.StartPagePrinter(printer));
    CHECK(spooler.EndPagePrinter(printer));
    CHECK(spooler.EndDocPrinter(printer));
    // No longer queued: it went to the port.
    CHECK_EQ(AsInt(spooler.GetJob(printer, job).state), AsInt(JobState::kDone));
    CHECK(spooler.ClosePrinter(printer));

    WIN32_FILE_ATTRIBUTE_DATA landed{};
    CHECK(GetFileAttributesExA(windowsPath.c_str(), GetFileExInfoStandard, &landed));
    CHECK_EQ(landed.nFileSizeLow, 0u);
    DeleteFileA(windowsPath.c_str());
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
}

void TestDeviceFileAndKernel() {
    Win32Platform platform;
    Win32DeviceFile& file = platform.DeviceFile();

    char folder[MAX_PATH];
    CHECK(GetTempPathA(MAX_PATH, folder) != 0);
    const std::string path = std::string(folder) + "marnel-device-file.bin";
    HANDLE out = file.Open(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    CHECK(out != InvalidHandle());
    ::DWORD written = 0;
    CHECK(WriteFile(out, "\x01\x02\x03\x04\x05", 5, &written, nullptr));
    CHECK(file.Close(out));

    HANDLE in = file.Open(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                          nullptr);
    CHECK(in != InvalidHandle());
    unsigned char buffer[8] = {};
    DWORD count = 99;
    CHECK(file.Read(in, buffer, 3, &count, nullptr));
    CHECK_EQ(count, 3u);
    CHECK_EQ(static_cast<int>(buffer[2]), 3);
    CHECK(file.Read(in, buffer, 8, &count, nullptr));
    CHECK_EQ(count, 2u);
    CHECK(file.Read(in, buffer, 8, &count, nullptr));  // end of file: success, no bytes
    CHECK_EQ(count, 0u);
    // A plain file knows no printer-class control codes.
    DWORD returned = 0;
    CHECK(!file.IoControl(in, 0x22003C, buffer, 3, buffer, 3, &returned, nullptr));
    CHECK(file.Close(in));
    CHECK(!file.Close(in));
    DeleteFileA(path.c_str());

    CHECK(file.Open(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                    nullptr) == InvalidHandle());

    DWORD platformId = 0;
    CHECK(platform.Version().GetPlatformId(&platformId));
    CHECK_EQ(platformId, kPlatformWin32Nt);

    // The tick count moves in steps of up to 16 ms, so allow for one step.
    const std::uint64_t before = platform.Clock().NowMs();
    platform.Clock().Sleep(60);
    const std::uint64_t after = platform.Clock().NowMs();
    CHECK(after >= before + 60 - 16);

}

std::string ReadAll(const std::string& path) {
    std::string content;
    HANDLE in = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    char buffer[64];
    ::DWORD got = 0;
    while (in != INVALID_HANDLE_VALUE && ReadFile(in, buffer, sizeof buffer, &got, nullptr) &&
           got > 0) {
        content.append(buffer, got);
    }
    CloseHandle(in);
    return content;
}

// Saving: a read-only file is refused and left alone, a device is written
// where it is, a plain file is replaced.
void TestSave() {
    Win32FileSystem files;
    char folder[MAX_PATH];
    CHECK(GetTempPathA(MAX_PATH, folder) != 0);
    const std::string path = std::string(folder) + "marnel-save.bin";
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    SaveFileReplacing(files, path, "old", 3);
    CHECK_EQ(ReadAll(path), "old");
    CHECK(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    FileErrorCause cause = FileErrorCause::kNone;
    try {
        SaveFileReplacing(files, path, "new", 3);
    } catch (const CFileException& e) {
        cause = e.m_cause;
    }
    CHECK_EQ(static_cast<int>(cause), static_cast<int>(FileErrorCause::kAccessDenied));
    CHECK_EQ(ReadAll(path), "old");
    CHECK(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    SaveFileReplacing(files, path, "new", 3);
    CHECK_EQ(ReadAll(path), "new");
    DeleteFileA(path.c_str());

    SaveTarget target;
    FileError error;
    CHECK(files.InspectSaveTarget("NUL", &target, &error));
    CHECK(target.special);
    SaveFileReplacing(files, "NUL", "x", 1);  // raises on failure
}

// The history's file: a reader beside the writers never keeps one out, a
// writer keeps the next one waiting and then out, and the end of a line cut
// short is found by seeking. Folders, files and devices are told apart.
void TestHistoryFile() {
    Win32FileSystem files;
    char folder[MAX_PATH];
    CHECK(GetTempPathA(MAX_PATH, folder) != 0);
    const std::string state = std::string(folder) + "marnel-state";
    const std::string path = state + "\\history.jsonl";
    FileError error;
    CHECK(files.MakeFolders(state, &error));
    const std::pair<std::string, PathKind> kinds[] = {
        {state + "\\none\\deeper", PathKind::kNothing}, {state, PathKind::kFolder},
        {"NUL", PathKind::kOther}};
    for (const auto& [where, expected] : kinds) {
        PathKind kind = PathKind::kFile;
        CHECK(files.GetPathKind(where, &kind, &error));
        CHECK_EQ(static_cast<int>(kind), static_cast<int>(expected));
    }
    FileHandle first = nullptr;
    DWORD written = 0;
    CHECK(files.OpenAppend(path, 0, &first, &error));
    CHECK(files.Write(first, "{\"torn\"", 7, &written, &error));
    CFile reader(files);
    reader.OpenReadBesideWriters(path);
    FileHandle second = nullptr;
    const ULONGLONG before = GetTickCount64();
    CHECK(!files.OpenAppend(path, 300, &second, &error));
    CHECK(GetTickCount64() - before >= 250);
    CHECK_EQ(static_cast<int>(error.cause), static_cast<int>(FileErrorCause::kSharingViolation));
    CHECK(files.Close(first, &error));

    SimEnvironment environment;
    environment.SetVariable("MARNEL_STATE_DIR", state);
    HistoryEntry entry;
    entry.operation = "put-params";
    CHistory(files, environment).Append(entry);  // with the reader still in
    reader.Close();
    const std::string line = "{\"time\":\"2026-12-07T12:00:00Z\",\"operation\":\"put-params\"}\n";
    CHECK_EQ(ReadHistoryText(files, path), "{\"torn\"\n" + line);
    CHECK_EQ(ReadHistoryText(files, path, 60), line);
    DeleteFileA(path.c_str());
    RemoveDirectoryA(state.c_str());
}

// The window's history writer beside the console program: 30 lines through
// the core's CHistory into the real state folder (%LOCALAPPDATA%\Marnel),
// spread over a few seconds while tests/wine/console_cli.sh runs marnel.com
// in another process; that script counts the lines.
void AppendHistoryBesideConsole() {
    Win32FileSystem files;
    Win32Environment environment;
    CHECK(!environment.DefaultStateFolder().empty());
    FileError error;
    CHECK(files.MakeFolders(environment.DefaultStateFolder(), &error));
    for (int i = 0; i < 30; ++i) {
        HistoryEntry entry;
        entry.operation = "put-params";
        entry.printer = "window writer " + std::to_string(i);
        CHistory(files, environment).Append(entry);  // raises when it gives up
        Sleep(100);
    }
}

// The known-answer vectors through BCrypt, as one piece and in pieces.
void TestDigest() {
    Win32Hashing hashing;
    for (const test::Sha256KnownAnswer& c : test::Sha256KnownAnswers()) {
        CHECK_EQ(Sha256Of(hashing, c.message.data(), c.message.size()), c.digest);
        CHECK_EQ(test::Sha256InPieces(hashing, c.message), c.digest);
    }
}

// Run with the Japanese ANSI code page (932, set up by the test's
// environment): lead bytes come from the system, and a key name of 128
// double-byte characters is 256 bytes, one more than the listing's buffer
// holds with its terminator.
void TestDoubleByteCodePage() {
    CHECK_EQ(GetACP(), 932u);
    Win32CodePage codePage;
    struct LeadCase {
        unsigned char byte;
        bool lead;
    };
    const LeadCase leads[] = {{0x82, true}, {0x95, true}, {0xE0, true}, {'A', false},
                              {0x5C, false}, {0xA1, false}, {0x80, false}};
    for (const LeadCase& c : leads) {
        CHECK_EQ(codePage.IsLeadByte(c.byte), c.lead);
        // None of them is a small letter; a lead byte is never upper-cased alone.
        CHECK_EQ(static_cast<int>(codePage.UpperCase(c.byte)), static_cast<int>(c.byte));
    }
    CHECK_EQ(static_cast<int>(codePage.UpperCase('a')), static_cast<int>('A'));

    // U+8868 is 95 5C in code page 932: its trail byte is a backslash.
    const std::wstring fits(127, L'\x8868');
    const std::wstring tooLong(128, L'\x8868');
    HKEY wide = nullptr;
    CHECK(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Marnel\\WineTest\\Wide", 0, nullptr, 0,
                          KEY_ALL_ACCESS, nullptr, &wide, nullptr) == ERROR_SUCCESS);
    for (const std::wstring& name : {fits, tooLong}) {
        HKEY child = nullptr;
        CHECK(RegCreateKeyExW(wide, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child,
                              nullptr) == ERROR_SUCCESS);
        RegCloseKey(child);
    }
    RegCloseKey(wide);

    Win32Registry registry;
    RegKey key = nullptr;
    CHECK(registry.OpenKey(kLocalMachine, "SOFTWARE\\Marnel\\WineTest\\Wide", &key));
    std::string expected;
    for (int i = 0; i < 127; ++i) {
        expected += "\x95\x5C";
    }
    DWORD lastError = 0;
    CHECK_EQ(Joined(ListSubkeys(registry, key, &lastError)) == expected + ";<error>;", true);
    CHECK_EQ(lastError, static_cast<DWORD>(ERROR_MORE_DATA));
    // The name as listed opens the key again.
    RegKey child = nullptr;
    CHECK(registry.OpenKey(key, expected, &child));
    registry.CloseKey(child);
    registry.CloseKey(key);
}

// Run with the Western ANSI code page (1252, set up by the test's
// environment): the system's own upper-casing folds its letters beyond ASCII,
// and a character without a capital of its own in the code page stays itself.
void TestWesternCodePage() {
    CHECK_EQ(GetACP(), 1252u);
    Win32CodePage codePage;
    CHECK(AnsiEqualsNoCase(codePage, "zarvel kq-10 \xE4", "ZARVEL KQ-10 \xC4"));
    CHECK(AnsiStartsWithNoCase(codePage, "\xE9tiquette", "\xC9TI"));
    CHECK(AnsiEqualsNoCase(codePage, "\xFF", "\x9F"));
    CHECK(!AnsiEqualsNoCase(codePage, "\xE4", "\xE5"));
    CHECK(!AnsiEqualsNoCase(codePage, "\xB5", "M"));
    CHECK_EQ(static_cast<int>(codePage.UpperCase(0xDF)), 0xDF);
}

// Records what the port asks of the device file and passes it on to the
// real one. Wine has no device behind the link, so its open fails; the
// path asked for is the result under test.
class RecordingDeviceFile : public IDeviceFile {
public:
    explicit RecordingDeviceFile(IDeviceFile& real) : m_real(real) {}

    HANDLE Open(const std::string& path, DWORD desiredAccess, DWORD shareMode,
                void* securityAttributes, DWORD creationDisposition, DWORD flagsAndAttributes,
                HANDLE templateFile) override {
        m_paths.push_back(path);
        std::ostringstream arguments;
        arguments << std::hex << desiredAccess << ' ' << shareMode << ' ' << securityAttributes
                  << ' ' << creationDisposition << ' ' << flagsAndAttributes << ' '
                  << templateFile;
        m_lastArguments = arguments.str();
        return m_real.Open(path, desiredAccess, shareMode, securityAttributes,
                           creationDisposition, flagsAndAttributes, templateFile);
    }
    BOOL Read(HANDLE device, void* buffer, DWORD bytesToRead, DWORD* bytesRead,
              void* overlapped) override {
        return m_real.Read(device, buffer, bytesToRead, bytesRead, overlapped);
    }
    BOOL IoControl(HANDLE device, DWORD controlCode, void* inBuffer, DWORD inSize,
                   void* outBuffer, DWORD outSize, DWORD* bytesReturned,
                   void* overlapped) override {
        return m_real.IoControl(device, controlCode, inBuffer, inSize, outBuffer, outSize,
                                bytesReturned, overlapped);
    }
    BOOL Close(HANDLE device) override {
        ++m_closes;
        return m_real.Close(device);
    }

    std::vector<std::string> m_paths;
    std::string m_lastArguments;
    int m_closes = 0;

private:
    IDeviceFile& m_real;
};

// Reports the 95/98/Me platform id so the other chain of walks runs
// against the same real registry.
class Windows9xVersion : public IPlatformVersion {
public:
    BOOL GetPlatformId(DWORD* platformId) override {
        *platformId = kPlatformWin32Windows;
        return 1;
    }
};

struct ResolveCase {
    const char* printerName;
    bool nineX;
    std::vector<std::string> pathsOpened;
};

void TestResolution() {
    const ResolveCase cases[] = {
        {"Zarvel KQ-10", false, {kKq10Link}},
        {"zarvel kq-10", false, {kKq10Link}},  // the spooler's names ignore case
        {"Zarvel KQ-10 (copy 2)", false, {kKq10SecondLink}},  // same driver, other port
        {"Zarvel KQ-10", true, {kKq10Link9x}},
        // The laser's USB printer node names a parent that has no USB device node.
        {"Office Laser", false, {}},
        // No USB printer node at all for this queue's port.
        {"Zarvel ZT-5", false, {}},
        {"No Such Printer", false, {}},
        {"", false, {}},
    };
    for (const ResolveCase& c : cases) {
        Win32Platform platform;
        Windows9xVersion version9x;
        RecordingDeviceFile deviceFile(platform.DeviceFile());
        CRegistryDeviceBus devices(
            c.nineX ? static_cast<IPlatformVersion&>(version9x) : platform.Version(),
            platform.Registry(), deviceFile, platform.CodePage());
        const PlatformServices services{platform.Spooler(), devices, platform.Clock(),
                                        platform.CodePage()};
        {
            CDevicePort port(services);
            const BOOL opened = port.Open(c.printerName);
            std::cout << "resolve [" << c.printerName << "]" << (c.nineX ? " (9x)" : "")
                      << " -> " << (deviceFile.m_paths.empty() ? "<none>" : deviceFile.m_paths[0])
                      << "\n";
            CHECK_EQ(Joined(deviceFile.m_paths), Joined(c.pathsOpened));
            // Nothing answers behind the link under Wine.
            CHECK(!opened);
            if (!c.pathsOpened.empty()) {
                // GENERIC_READ | GENERIC_WRITE, no sharing, no security attributes,
                // OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, no template.
                std::ostringstream expected;
                expected << std::hex << 0xC0000000u << " 0 " << static_cast<void*>(nullptr)
                         << " 3 80 " << static_cast<void*>(nullptr);
                CHECK_EQ(deviceFile.m_lastArguments, expected.str());
            }
        }
        CHECK_EQ(deviceFile.m_closes, 0);  // a port whose open failed closes nothing
    }
}

}  // namespace
}  // namespace marnel

// Runs the groups named on the command line, or every group.
int main(int argc, char** argv) {
    using namespace marnel;
    const std::vector<std::string> wanted(argv + 1, argv + argc);
    struct Group {
        const char* name;
        void (*run)();
    };
    const Group groups[] = {
        {"registry", TestRegistryKeysAndValues},
        {"limits", TestRegistryLimits},
        {"spooler", TestSpooler},
        {"job", TestRawJob},
        {"emptyjob", TestEmptyRawJob},
        {"kernel", TestDeviceFileAndKernel},
        {"dbcs", TestDoubleByteCodePage},
        {"western", TestWesternCodePage},
        {"resolve", TestResolution},
        {"save", TestSave},
        {"history", TestHistoryFile},
        {"digest", TestDigest},
        {"empty", TestEmptySpooler},
        {"appender", AppendHistoryBesideConsole},
    };
    for (const Group& group : groups) {
        bool run = wanted.empty();
        for (const std::string& name : wanted) {
            run = run || name == group.name;
        }
        if (run) {
            const int failuresBefore = g_failures;
            group.run();
            std::cout << (g_failures == failuresBefore ? "ok     " : "FAILED ") << group.name
                      << "\n";
        }
    }
    std::cout << g_checks << " checks, " << g_failures << " failed\n";
    return g_failures == 0 && g_checks > 0 ? 0 : 1;
}
