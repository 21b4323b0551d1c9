// Drives the Windows program from outside, as a user would, under Wine:
// starts it, finds its windows, reads the device label, opens the system-menu
// item, reads and answers message boxes by their text, and checks the
// resources built into the program.
//
//   gui_driver resources EXE
//   gui_driver sim EXE SCENARIO_DIR [SHOT_DIR UNIX_SHELL]
//   gui_driver commands EXE SCENARIO_DIR WORK_DIR SHOT_DIR UNIX_SHELL
//   gui_driver drop EXE SCENARIO_DIR
//   gui_driver product EXE EXPECTED_LABEL [SHOT_PATH UNIX_SHELL]
//
// SCENARIO_DIR and WORK_DIR (a scratch folder) are Windows paths; SHOT_DIR and SHOT_PATH are Unix paths for
// ImageMagick, which runs through UNIX_SHELL (the Windows path of /bin/sh) as
// Unix programs under Wine. Prints one line per check; exits 0 when every
// check passed.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "res/StringTable.h"
#include "res/Resource.h"
#include "window/SimControl.h"

namespace {

int g_failures = 0;
int g_checks = 0;

bool Check(bool ok, const std::string& what) {
    ++g_checks;
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    std::fflush(stdout);
    if (!ok) {
        ++g_failures;
    }
    return ok;
}

std::string Hex(unsigned long value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", value);
    return text;
}

// --- Windows of a process -------------------------------------------------

std::string WindowText(HWND hWnd) {
    char text[1024] = "";
    GetWindowTextA(hWnd, text, sizeof text);
    return text;
}

std::string ItemText(HWND hDlg, int id) {
    char text[1024] = "";
    GetDlgItemTextA(hDlg, id, text, sizeof text);
    return text;
}

bool IsDialogClass(HWND hWnd) {
    char cls[64] = "";
    GetClassNameA(hWnd, cls, sizeof cls);
    return std::strcmp(cls, "#32770") == 0;
}

bool IsMainWindow(HWND hWnd) {
    return IsDialogClass(hWnd) && GetDlgItem(hWnd, IDC_DEVICE_NAME) != nullptr &&
           GetDlgItem(hWnd, IDC_FIRMWARE_UPGRADE) != nullptr;
}

bool IsMessageBox(HWND hWnd) {
    return IsDialogClass(hWnd) && WindowText(hWnd) == AFX_IDS_APP_TITLE_TEXT &&
           GetDlgItem(hWnd, 0xFFFF) != nullptr && !IsMainWindow(hWnd);
}

bool IsAboutBox(HWND hWnd) {
    return IsDialogClass(hWnd) && WindowText(hWnd) == TXT_ABOUT_CAPTION;
}

std::vector<HWND> TopWindowsOf(DWORD pid) {
    struct Search {
        DWORD pid;
        std::vector<HWND> found;
    } search{pid, {}};
    EnumWindows(
        [](HWND hWnd, LPARAM lParam) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lParam);
            DWORD owner = 0;
            GetWindowThreadProcessId(hWnd, &owner);
            if (owner == s->pid) {
                s->found.push_back(hWnd);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindWindowOf(DWORD pid, bool (*match)(HWND), bool visibleOnly) {
    for (HWND hWnd : TopWindowsOf(pid)) {
        if (match(hWnd) && (!visibleOnly || IsWindowVisible(hWnd))) {
            return hWnd;
        }
    }
    return nullptr;
}

HWND WaitWindowOf(DWORD pid, bool (*match)(HWND), int timeoutMs, bool visibleOnly = true) {
    DWORD start = GetTickCount();
    do {
        if (HWND hWnd = FindWindowOf(pid, match, visibleOnly)) {
            return hWnd;
        }
        Sleep(10);
    } while (GetTickCount() - start < static_cast<DWORD>(timeoutMs));
    return nullptr;
}

bool WaitFor(const std::function<bool()>& condition, int timeoutMs) {
    DWORD start = GetTickCount();
    do {
        if (condition()) {
            return true;
        }
        Sleep(10);
    } while (GetTickCount() - start < static_cast<DWORD>(timeoutMs));
    return condition();
}

bool WaitLabel(HWND hMain, const std::string& expected, int timeoutMs) {
    return WaitFor([&] { return ItemText(hMain, IDC_DEVICE_NAME) == expected; }, timeoutMs);
}

// Presses a button of a box or dialog (posted: the handler may run a modal
// loop) and waits until the window is gone.
bool PressAndWaitClosed(HWND hWnd, int buttonId) {
    PostMessageA(GetDlgItem(hWnd, buttonId), BM_CLICK, 0, 0);
    return WaitFor([&] { return !IsWindow(hWnd); }, 5000);
}

// --- A started program -----------------------------------------------------

class Program {
public:
    ~Program() {
        if (m_pi.hProcess != nullptr) {
            if (WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(m_pi.hProcess, 99);
                WaitForSingleObject(m_pi.hProcess, 5000);
            }
            CloseHandle(m_pi.hProcess);
            CloseHandle(m_pi.hThread);
        }
    }

    // Starts `exe`; `scenario` (a file) for the test build, empty for none.
    bool Start(const std::string& exe, const std::string& scenario) {
        SetEnvironmentVariableA(marnel::kScenarioVariable,
                                scenario.empty() ? nullptr : scenario.c_str());
        std::string command = "\"" + exe + "\"";
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        BOOL ok = CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &si, &m_pi);
        if (!ok) {
            std::printf("     CreateProcess(%s) failed: %lu\n", exe.c_str(), GetLastError());
        }
        return ok != FALSE;
    }

    DWORD Pid() const { return m_pi.dwProcessId; }

    // True when the process ended within `timeoutMs`, with its exit code.
    bool WaitExit(int timeoutMs, DWORD* exitCode = nullptr) {
        if (WaitForSingleObject(m_pi.hProcess, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) {
            return false;
        }
        DWORD code = 0;
        GetExitCodeProcess(m_pi.hProcess, &code);
        if (exitCode != nullptr) {
            *exitCode = code;
        }
        return true;
    }

private:
    PROCESS_INFORMATION m_pi = {};
};

// --- Screenshots -----------------------------------------------------------

std::string g_unixShell;  // Windows path of the Unix shell, for ImageMagick

// Wine's drive Z: is the Unix root.
std::string WindowsPathOf(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path) {
        if (c == '/')
            c = '\\';
    }
    return path;
}

// Runs `script` with the Unix shell (a Unix program, started through Wine)
// and waits until `result` (a Unix path) exists: Wine does not wait for a
// Unix child to end, so the script renames its output when it is complete.
bool RunUnix(const std::string& script, const std::string& result) {
    std::string command = "\"" + g_unixShell + "\" -c \"" + script + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
        std::printf("     cannot start the Unix shell (%lu)\n", GetLastError());
        return false;
    }
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    std::string path = WindowsPathOf(result);
    return WaitFor([&] { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; },
                   15000);
}

// Reads a binary PPM (P6, 8 bits).
bool ReadPpm(const std::string& unixPath, int* width, int* height,
             std::vector<unsigned char>* rgb) {
    FILE* file = std::fopen(WindowsPathOf(unixPath).c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    int maxValue = 0;
    bool ok = std::fscanf(file, "P6 %d %d %d", width, height, &maxValue) == 3 && maxValue == 255 &&
              std::fgetc(file) != EOF && *width > 0 && *height > 0;
    if (ok) {
        rgb->resize(static_cast<size_t>(*width) * static_cast<size_t>(*height) * 3);
        ok = std::fread(rgb->data(), 1, rgb->size(), file) == rgb->size();
    }
    std::fclose(file);
    return ok;
}

// Grabs the screen around `hWnd` (a margin of 24 pixels) into the PNG file
// `unixPath` with ImageMagick. Wine puts a window on the X display some time
// after it counts as visible, and under load that can take seconds: grab
// until the X display shows, at a few points inside the window, what Wine
// drew there, and two grabs in a row agree; keep the last one.
void Screenshot(const std::string& unixPath, HWND hWnd) {
    if (g_unixShell.empty() || unixPath.empty()) {
        return;
    }
    RECT rc;
    GetWindowRect(hWnd, &rc);
    int left = rc.left > 24 ? rc.left - 24 : 0;
    int top = rc.top > 24 ? rc.top - 24 : 0;
    std::string crop = std::to_string(rc.right + 24 - left) + "x" +
                       std::to_string(rc.bottom + 24 - top) + "+" + std::to_string(left) + "+" +
                       std::to_string(top);
    std::string probe = unixPath + ".ppm";
    std::vector<unsigned char> previous;
    bool same = false;
    for (int attempt = 0; attempt < 40 && !same; ++attempt) {
        DeleteFileA(WindowsPathOf(probe).c_str());
        int width = 0, height = 0;
        std::vector<unsigned char> rgb;
        if (!RunUnix("import -window root -crop " + crop + " +repage -depth 8 'ppm:" + probe +
                         ".part' && mv '" + probe + ".part' '" + probe + "'",
                     probe) ||
            !ReadPpm(probe, &width, &height, &rgb)) {
            continue;
        }
        HDC hScreen = GetDC(nullptr);
        same = true;
        for (int i = 1; i <= 7 && same; ++i) {
            int x = rc.left + (rc.right - rc.left) * i / 8;
            int y = rc.top + (rc.bottom - rc.top) * (8 - i) / 8;
            COLORREF drawn = GetPixel(hScreen, x, y);
            size_t at = (static_cast<size_t>(y - top) * static_cast<size_t>(width) +
                         static_cast<size_t>(x - left)) *
                        3;
            same = x - left < width && y - top < height && drawn != CLR_INVALID &&
                   rgb[at] == GetRValue(drawn) && rgb[at + 1] == GetGValue(drawn) &&
                   rgb[at + 2] == GetBValue(drawn);
        }
        ReleaseDC(nullptr, hScreen);
        // Painting may still go on: keep a grab only when the one before it
        // was the same.
        same = same && rgb == previous;
        previous.swap(rgb);
        if (!same) {
            Sleep(200);
        }
    }
    // The picture kept is the grab just checked.
    DeleteFileA(WindowsPathOf(unixPath).c_str());
    bool saved = same && RunUnix("convert '" + probe + "' 'png:" + unixPath + ".part' && mv '" +
                                     unixPath + ".part' '" + unixPath + "'",
                                 unixPath);
    DeleteFileA(WindowsPathOf(probe).c_str());
    Check(saved, "screenshot " + unixPath);
}

// --- Resources of the program ----------------------------------------------

struct Item {
    int classAtom;     // 0x80 button, 0x81 edit, 0x82 static
    const char* text;  // null: an ordinal (the icon) in `ordinal`
    int ordinal;
    int id;
    short x, y, cx, cy;
    DWORD style;
};

struct Template {
    bool extended;
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
    const char* caption;
    WORD pointSize;
    const char* face;
    std::vector<Item> items;
};

class TemplateReader {
public:
    TemplateReader(const BYTE* data, size_t size) : m_data(data), m_size(size) {}
    bool Ok() const { return m_ok; }
    WORD Word() {
        WORD value = 0;
        Take(&value, 2);
        return value;
    }
    DWORD Dword() {
        DWORD value = 0;
        Take(&value, 4);
        return value;
    }
    short Short() { return static_cast<short>(Word()); }
    BYTE Byte() {
        BYTE value = 0;
        Take(&value, 1);
        return value;
    }
    void AlignDword() { m_pos = (m_pos + 3) & ~static_cast<size_t>(3); }
    // A string or an ordinal (0xFFFF then the value); returns the string, and
    // the ordinal in *ordinal (-1 for a string).
    std::string SzOrOrd(int* ordinal) {
        WORD first = Word();
        if (first == 0xFFFF) {
            *ordinal = Word();
            return std::string();
        }
        *ordinal = -1;
        std::string text;
        for (WORD ch = first; ch != 0 && m_ok; ch = Word()) {
            text.push_back(ch < 0x80 ? static_cast<char>(ch) : '?');
        }
        return text;
    }
    std::string Sz() {
        int ordinal = 0;
        return SzOrOrd(&ordinal);
    }

private:
    void Take(void* out, size_t n) {
        if (m_pos + n > m_size) {
            m_ok = false;
            return;
        }
        std::memcpy(out, m_data + m_pos, n);
        m_pos += n;
    }
    const BYTE* m_data;
    size_t m_size;
    size_t m_pos = 0;
    bool m_ok = true;
};

bool ResourceData(HMODULE hModule, LPCSTR type, LPCSTR name, const BYTE** data, size_t* size) {
    HRSRC hRes = FindResourceA(hModule, name, type);
    if (hRes == nullptr) {
        return false;
    }
    HGLOBAL hGlobal = LoadResource(hModule, hRes);
    *data = static_cast<const BYTE*>(LockResource(hGlobal));
    *size = SizeofResource(hModule, hRes);
    return *data != nullptr;
}

void CheckTemplate(HMODULE hModule, int templateId, const Template& want) {
    std::string name = "template " + std::to_string(templateId);
    const BYTE* data = nullptr;
    size_t size = 0;
    if (!Check(
            ResourceData(hModule, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(templateId), &data, &size),
            name + " is in the program")) {
        return;
    }
    TemplateReader r(data, size);
    bool extended = false;
    DWORD style = 0;
    DWORD exStyle = 0;
    if (size >= 4 && data[2] == 0xFF && data[3] == 0xFF) {
        extended = true;
        r.Word();   // version
        r.Word();   // signature
        r.Dword();  // help id
        exStyle = r.Dword();
        style = r.Dword();
    } else {
        style = r.Dword();
        exStyle = r.Dword();
    }
    Check(extended == want.extended, name + (want.extended ? " is extended" : " is standard"));
    int count = r.Word();
    short x = r.Short(), y = r.Short(), cx = r.Short(), cy = r.Short();
    int ordinal = 0;
    r.SzOrOrd(&ordinal);  // menu
    bool noMenu = ordinal == -1;
    r.SzOrOrd(&ordinal);  // class
    bool defaultClass = ordinal == -1;
    std::string caption = r.Sz();
    Check(style == want.style, name + " style " + Hex(style) + " (want " + Hex(want.style) + ")");
    Check(exStyle == want.exStyle,
          name + " extended style " + Hex(exStyle) + " (want " + Hex(want.exStyle) + ")");
    Check(x == want.x && y == want.y && cx == want.cx && cy == want.cy,
          name + " at " + std::to_string(x) + "," + std::to_string(y) + " size " +
              std::to_string(cx) + "x" + std::to_string(cy));
    Check(noMenu && defaultClass, name + " has no menu and the dialog class");
    Check(caption == want.caption, name + " caption \"" + caption + "\"");
    WORD points = r.Word();
    if (extended) {
        WORD weight = r.Word();
        BYTE italic = r.Byte();
        BYTE charset = r.Byte();
        Check(weight == 0 && italic == 0 && charset == 1,
              name + " font weight 0, not italic, character set 1");
    }
    std::string face = r.Sz();
    Check(points == want.pointSize && face == want.face,
          name + " font \"" + face + "\" " + std::to_string(points) + " points");
    if (!Check(count == static_cast<int>(want.items.size()),
               name + " has " + std::to_string(want.items.size()) + " controls")) {
        return;
    }
    for (int i = 0; i < count && r.Ok(); ++i) {
        const Item& w = want.items[static_cast<size_t>(i)];
        r.AlignDword();
        DWORD itemStyle = 0;
        int id = 0;
        if (extended) {
            r.Dword();  // help id
            r.Dword();  // extended style
            itemStyle = r.Dword();
        } else {
            itemStyle = r.Dword();
            r.Dword();  // extended style
        }
        short ix = r.Short(), iy = r.Short(), icx = r.Short(), icy = r.Short();
        id = extended ? static_cast<int>(r.Dword()) : static_cast<short>(r.Word());
        int classAtom = 0;
        r.SzOrOrd(&classAtom);
        int textOrdinal = 0;
        std::string text = r.SzOrOrd(&textOrdinal);
        WORD extra = r.Word();
        for (WORD b = 0; b < extra; ++b) {
            r.Byte();
        }
        std::string what =
            name + " control " + std::to_string(i + 1) + " (id " + std::to_string(w.id) + ")";
        bool textOk =
            w.text != nullptr ? (textOrdinal == -1 && text == w.text) : textOrdinal == w.ordinal;
        Check(id == w.id && classAtom == w.classAtom && textOk,
              what + " class " + Hex(static_cast<unsigned long>(classAtom)) + " text \"" + text +
                  "\"");
        Check(ix == w.x && iy == w.y && icx == w.cx && icy == w.cy,
              what + " at " + std::to_string(ix) + "," + std::to_string(iy) + " size " +
                  std::to_string(icx) + "x" + std::to_string(icy));
        Check(itemStyle == w.style,
              what + " style " + Hex(itemStyle) + " (want " + Hex(w.style) + ")");
    }
}

void CheckIcon(HMODULE hModule) {
    const BYTE* data = nullptr;
    size_t size = 0;
    if (!Check(ResourceData(hModule, MAKEINTRESOURCEA(14), MAKEINTRESOURCEA(IDR_MAINFRAME), &data,
                            &size) &&
                   size >= 6,
               "icon 128 is in the program")) {
        return;
    }
    WORD count = 0;
    std::memcpy(&count, data + 4, 2);
    struct Want {
        int size, bits;
    };
    const Want want[] = {{16, 8}, {32, 8}, {48, 32}};
    bool ok = count == 3 && size >= 6 + 14u * count;
    std::string found;
    for (WORD i = 0; ok && i < count; ++i) {
        const BYTE* entry = data + 6 + 14 * i;
        WORD bits = 0;
        std::memcpy(&bits, entry + 6, 2);
        int width = entry[0] == 0 ? 256 : entry[0];
        found += " " + std::to_string(width) + "x" + std::to_string(entry[1]) + "@" +
                 std::to_string(bits);
        ok = ok && width == want[i].size && entry[1] == want[i].size && bits == want[i].bits;
    }
    Check(ok, "icon 128 holds 16x16 and 32x32 in 256 colours, 48x48 in 32-bit colour:" + found);
}

void CheckStrings(HMODULE hModule) {
    // The core's own table is the reference: the program must show the same.
    std::size_t count = 0;
    const marnel::StringEntry* entries = marnel::StringTableEntries(&count);
    int wrong = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const marnel::StringEntry& e = entries[i];
        char text[4098] = "";
        LoadStringA(hModule, e.id, text, sizeof text);
        if (std::strcmp(text, e.text) != 0) {
            std::printf("     string %u is \"%s\", want \"%s\"\n", e.id, text, e.text);
            ++wrong;
        }
    }
    Check(wrong == 0, "string table: " + std::to_string(count) + " strings with their exact texts");
}

void CheckVersionAndManifest(HMODULE hModule) {
    const BYTE* data = nullptr;
    size_t size = 0;
    bool versionOk = false;
    if (ResourceData(hModule, MAKEINTRESOURCEA(16), MAKEINTRESOURCEA(1), &data, &size)) {
        // The fixed part starts with its signature, then the structure version
        // and the file version (most significant half: major.minor).
        for (size_t i = 0; i + 12 <= size; i += 4) {
            DWORD signature = 0;
            std::memcpy(&signature, data + i, 4);
            if (signature == 0xFEEF04BD) {
                DWORD versionMs = 0;
                std::memcpy(&versionMs, data + i + 8, 4);
                versionOk = versionMs == 0x00020001;
                break;
            }
        }
    }
    Check(versionOk, "version record 2.01");
    std::string manifest;
    if (ResourceData(hModule, MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1), &data, &size)) {
        manifest.assign(reinterpret_cast<const char*>(data), size);
    }
    // System DPI awareness: the windows take the DPI they start with, and the
    // system scales them on a monitor of another scale (no WM_DPICHANGED).
    Check(manifest.find("level=\"asInvoker\"") != std::string::npos &&
              manifest.find(">true</dpiAware>") != std::string::npos &&
              manifest.find(">system</dpiAwareness>") != std::string::npos &&
              manifest.find("PerMonitor") == std::string::npos &&
              manifest.find("/pm<") == std::string::npos,
          "manifest: asInvoker, system DPI aware");
}

int CheckResources(const std::string& exe) {
    HMODULE hModule = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!Check(hModule != nullptr, "load " + exe + " as data")) {
        return 1;
    }
    const DWORD child = WS_CHILD | WS_VISIBLE;
    const DWORD button = child | BS_PUSHBUTTON | WS_TABSTOP;
    CheckTemplate(hModule, IDD_ABOUTBOX,
                  {false,
                   0x80C800C0,
                   0,
                   0,
                   0,
                   196,
                   55,
                   TXT_ABOUT_CAPTION,
                   8,
                   "MS Sans Serif",
                   {
                       {0x82, nullptr, IDR_MAINFRAME, -1, 8, 12, 20, 20, child | SS_ICON},
                       {0x82, TXT_ABOUT_VERSION, 0, -1, 40, 12, 88, 9,
                        child | SS_LEFT | SS_NOPREFIX | WS_GROUP},
                       {0x82, TXT_ABOUT_NOTICE, 0, -1, 40, 31, 154, 10, child | SS_LEFT | WS_GROUP},
                       {0x80, TXT_OK, 0, IDOK, 144, 8, 42, 14,
                        child | BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP},
                   }});
    CheckTemplate(hModule, IDD_MAIN_DIALOG,
                  {true,
                   0x90C800C0,
                   WS_EX_APPWINDOW,
                   0,
                   0,
                   76,
                   125,
                   TXT_MAIN_CAPTION,
                   8,
                   "MS Sans Serif",
                   {
                       {0x82, "", 0, IDC_DEVICE_NAME, 0, 6, 75, 8, child | SS_CENTER | WS_GROUP},
                       {0x80, TXT_GET_REPORT, 0, IDC_GET_REPORT, 6, 20, 64, 16, button},
                       {0x80, TXT_GET_PARAMETERS, 0, IDC_GET_PARAMETERS, 6, 40, 64, 16, button},
                       {0x80, TXT_PUT_PARAMETERS, 0, IDC_PUT_PARAMETERS, 6, 60, 64, 16, button},
                       {0x80, TXT_FIRMWARE_UPGRADE, 0, IDC_FIRMWARE_UPGRADE, 6, 84, 64, 16, button},
                       {0x80, TXT_EXIT, 0, IDCANCEL, 6, 104, 64, 16, button},
                       {0x82, "", 0, -1, 6, 79, 64, 1, child | SS_GRAYFRAME | SS_SUNKEN},
                   }});
    CheckTemplate(hModule, IDD_REPORT,
                  {false,
                   0x80CD0040,
                   0,
                   0,
                   0,
                   273,
                   195,
                   TXT_REPORT_CAPTION,
                   9,
                   "Courier New",
                   {
                       {0x80, TXT_SAVE, 0, IDC_SAVE, 164, 179, 48, 12, 0x50010000},
                       {0x80, TXT_CLOSE, 0, IDCANCEL, 216, 179, 48, 12, 0x50010000},
                       {0x81, "", 0, IDC_REPORT_TEXT, 1, 1, 271, 175, 0x50B10884},
                   }});
    CheckIcon(hModule);
    CheckStrings(hModule);
    CheckVersionAndManifest(hModule);
    FreeLibrary(hModule);
    return 0;
}

// --- The running program -----------------------------------------------------

// Waits for the main window of `program`, checking it shows no box first.
HWND WaitMainWindow(Program& program, const std::string& what) {
    HWND hMain = WaitWindowOf(program.Pid(), IsMainWindow, 15000);
    Check(hMain != nullptr, what + ": the main window appears");
    return hMain;
}

// Closes the program with "&Exit" and checks that it ends.
void ExitProgram(Program& program, HWND hMain, const std::string& what) {
    PostMessageA(GetDlgItem(hMain, IDCANCEL), BM_CLICK, 0, 0);
    DWORD code = 0;
    Check(program.WaitExit(5000, &code), what + ": \"&Exit\" ends the program");
    Check(code == 0, what + ": it ends with status 0 (3: the simulated device refused a request)");
}

void CheckMainWindowLooks(HWND hMain) {
    LONG style = GetWindowLongA(hMain, GWL_STYLE);
    LONG exStyle = GetWindowLongA(hMain, GWL_EXSTYLE);
    Check(WindowText(hMain) == TXT_MAIN_CAPTION, "main window caption \"Marnel\"");
    Check((exStyle & WS_EX_APPWINDOW) != 0 &&
              (style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME)) == 0,
          "main window: own taskbar button, no minimise, maximise or sizing");
    RECT rcWindow, rcWork;
    GetWindowRect(hMain, &rcWindow);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &rcWork, 0);
    int dx = (rcWindow.left + rcWindow.right) / 2 - (rcWork.left + rcWork.right) / 2;
    int dy = (rcWindow.top + rcWindow.bottom) / 2 - (rcWork.top + rcWork.bottom) / 2;
    Check(dx >= -2 && dx <= 2 && dy >= -2 && dy <= 2, "main window centred in the work area");
    // The label spans the window's width above the buttons, and the sunken
    // rule lies between "&Put Parameters" and "&Firmware Upgrade".
    RECT rcPut, rcFirmware;
    GetWindowRect(GetDlgItem(hMain, IDC_PUT_PARAMETERS), &rcPut);
    GetWindowRect(GetDlgItem(hMain, IDC_FIRMWARE_UPGRADE), &rcFirmware);
    bool ruleFound = false;
    for (HWND hChild = GetWindow(hMain, GW_CHILD); hChild != nullptr;
         hChild = GetWindow(hChild, GW_HWNDNEXT)) {
        RECT rc;
        GetWindowRect(hChild, &rc);
        if ((GetDlgCtrlID(hChild) & 0xFFFF) == 0xFFFF && rc.top >= rcPut.bottom &&
            rc.bottom <= rcFirmware.top && rc.bottom - rc.top <= 3) {
            ruleFound = true;
        }
    }
    Check(ruleFound, "a thin rule between \"&Put Parameters\" and \"&Firmware Upgrade\"");
}

// The About box opens from the system-menu command and closes with "OK".
void CheckAboutBox(Program& program, HWND hMain, const std::string& shot) {
    PostMessageA(hMain, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    HWND hAbout = WaitWindowOf(program.Pid(), IsAboutBox, 5000);
    if (!Check(hAbout != nullptr, "system-menu command 0x0010 opens the About box")) {
        return;
    }
    Check(GetWindow(hAbout, GW_OWNER) == hMain, "the About box is owned by the main window");
    bool versionShown = false;
    for (HWND hChild = GetWindow(hAbout, GW_CHILD); hChild != nullptr;
         hChild = GetWindow(hChild, GW_HWNDNEXT)) {
        versionShown = versionShown || WindowText(hChild) == TXT_ABOUT_VERSION;
    }
    Check(versionShown, "the About box shows \"Marnel Version 2.01\"");
    Check(!IsWindowEnabled(hMain), "the main window waits while the About box is open");
    Screenshot(shot, hAbout);
    Check(PressAndWaitClosed(hAbout, IDOK), "\"OK\" closes the About box");
    Check(IsWindow(hMain) && IsWindowEnabled(hMain), "the main window carries on");
}

std::string g_scenarioDir;
std::string g_shotDir;

std::string Scenario(const char* name) {
    return g_scenarioDir + "\\" + name;
}
std::string Shot(const char* name) {
    return g_shotDir.empty() ? "" : g_shotDir + "/" + name;
}

// Starts the test build on `scenario` and waits for its main window; null
// (with the failure counted) when either does not happen.
HWND StartOnScenario(Program& program, const std::string& exe, const char* scenario,
                     const std::string& what) {
    if (!Check(program.Start(exe, Scenario(scenario)), what + ": start"))
        return nullptr;
    return WaitMainWindow(program, what);
}

void CaseNoDevice(const std::string& exe) {
    Program program;
    HWND hMain = StartOnScenario(program, exe, "none.scn", "no device");
    if (!hMain)
        return;
    Check(WaitLabel(hMain, IDS_NO_DEVICE_TEXT, 2000),
          "no device: label \"" + ItemText(hMain, IDC_DEVICE_NAME) + "\"");
    Check(FindWindowOf(program.Pid(), IsMessageBox, false) == nullptr, "no device: no message");
    // Esc, as the dialog manager hands it on from the focused button.
    PostMessageA(GetDlgItem(hMain, IDC_GET_REPORT), WM_KEYDOWN, VK_ESCAPE, 0);
    Check(program.WaitExit(5000), "no device: Esc ends the program");
}

void CaseOneDevice(const std::string& exe) {
    Program first;
    if (!Check(first.Start(exe, Scenario("one.scn")), "one device: start"))
        return;
    HWND hMain = WaitMainWindow(first, "one device");
    if (!hMain)
        return;
    Check(WaitLabel(hMain, "Zarvel KQ-10", 2000),
          "one device: label \"" + ItemText(hMain, IDC_DEVICE_NAME) + "\"");
    CheckMainWindowLooks(hMain);
    Screenshot(Shot("main-window.png"), hMain);

    // A second instance ends at once, showing nothing.
    Program second;
    if (Check(second.Start(exe, Scenario("one.scn")), "second instance: start")) {
        bool sawWindow = false;
        bool ended = WaitFor(
            [&] {
                for (HWND hWnd : TopWindowsOf(second.Pid())) {
                    sawWindow = sawWindow || IsWindowVisible(hWnd);
                }
                return second.WaitExit(0);
            },
            10000);
        Check(ended, "second instance ends by itself");
        Check(!sawWindow, "second instance shows no window");
        Check(IsWindow(hMain) && ItemText(hMain, IDC_DEVICE_NAME) == "Zarvel KQ-10",
              "first instance runs on unchanged");
    }

    // Enter with no push button focused (IDOK) leaves the window open.
    PostMessageA(hMain, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    Sleep(300);
    Check(IsWindow(hMain) && IsWindowVisible(hMain), "IDOK leaves the main window open");

    CheckAboutBox(first, hMain, Shot("about-box.png"));

    // The close box goes through the system command's default processing.
    PostMessageA(hMain, WM_SYSCOMMAND, SC_CLOSE, 0);
    Check(first.WaitExit(5000), "the close command ends the program");
}

void CaseTwoDevices(const std::string& exe) {
    Program program;
    if (!Check(program.Start(exe, Scenario("two.scn")), "two devices: start"))
        return;
    HWND hBox = WaitWindowOf(program.Pid(), IsMessageBox, 15000);
    if (!Check(hBox != nullptr, "two devices: a message box appears"))
        return;
    std::string text = ItemText(hBox, 0xFFFF);
    Check(text == IDS_MANY_DEVICES_TEXT, "two devices: the box says \"" + text + "\"");
    HWND hMain = FindWindowOf(program.Pid(), IsMainWindow, false);
    Check(hMain == nullptr || !IsWindowVisible(hMain),
          "two devices: the box comes before the main window is shown");
    Screenshot(Shot("many-devices.png"), hBox);
    Check(PressAndWaitClosed(hBox, IDOK), "two devices: \"OK\" closes the box");
    hMain = WaitMainWindow(program, "two devices");
    if (!hMain)
        return;
    Check(WaitLabel(hMain, "Zarvel KQ-10", 2000),
          "two devices: label names the first, \"" + ItemText(hMain, IDC_DEVICE_NAME) + "\"");
    Check(FindWindowOf(program.Pid(), IsMessageBox, false) == nullptr,
          "two devices: the warning is shown once");
    ExitProgram(program, hMain, "two devices");
}

void CaseDeviceGoesOffline(const std::string& exe) {
    Program program;
    HWND hMain = StartOnScenario(program, exe, "offline.scn", "offline");
    if (!hMain)
        return;
    Check(WaitLabel(hMain, "Zarvel KQ-10", 2000), "offline: label names the device at start");

    // The printer goes offline. A notification of another kind starts no re-check.
    PostMessageA(hMain, marnel::kSimSwitchStateMessage, 1, 0);
    PostMessageA(hMain, WM_DEVICECHANGE, 0x8000 /* DBT_DEVICEARRIVAL */, 0);
    Sleep(1800);
    Check(ItemText(hMain, IDC_DEVICE_NAME) == "Zarvel KQ-10",
          "offline: another device event changes nothing");

    // A burst of DBT_DEVNODES_CHANGED: one re-check, the label follows.
    DWORD start = GetTickCount();
    for (int i = 0; i < 3; ++i) {
        PostMessageA(hMain, WM_DEVICECHANGE, 7 /* DBT_DEVNODES_CHANGED */, 0);
        Sleep(50);
    }
    bool followed = WaitLabel(hMain, IDS_NO_DEVICE_TEXT, 6000);
    DWORD elapsed = GetTickCount() - start;
    Check(followed, "offline: after DBT_DEVNODES_CHANGED the label shows \"" +
                        ItemText(hMain, IDC_DEVICE_NAME) + "\" (" + std::to_string(elapsed) +
                        " ms)");
    // 100 ms of the burst, the 200 ms delay and the 1000 ms settling wait.
    Check(elapsed >= 1250, "offline: the re-check waited for the device to settle");

    // The printer is back: with no device chosen the re-check selects at once.
    PostMessageA(hMain, marnel::kSimSwitchStateMessage, 2, 0);
    PostMessageA(hMain, WM_DEVICECHANGE, 7, 0);
    Check(WaitLabel(hMain, "Zarvel KQ-10", 3000), "offline: the device is found again");

    // A modal box's loop still delivers device changes and timers to the
    // main window: the label follows while the About box is open.
    PostMessageA(hMain, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    HWND hAbout = WaitWindowOf(program.Pid(), IsAboutBox, 5000);
    if (Check(hAbout != nullptr, "offline: the About box is open")) {
        PostMessageA(hMain, marnel::kSimSwitchStateMessage, 1, 0);
        PostMessageA(hMain, WM_DEVICECHANGE, 7, 0);
        Check(WaitLabel(hMain, IDS_NO_DEVICE_TEXT, 5000) && IsWindow(hAbout),
              "offline: the re-check runs while the About box is open");
        Check(PressAndWaitClosed(hAbout, IDOK), "offline: the About box closes");
    }
    ExitProgram(program, hMain, "offline");
}

// Hands `size` bytes to the test build's WM_COPYDATA hook of kind `kind`;
// true when the hook took them.
bool SendToTestBuild(HWND hMain, ULONG_PTR kind, const char* bytes, std::size_t size) {
    COPYDATASTRUCT data = {};
    data.dwData = kind;
    data.cbData = static_cast<DWORD>(size);
    data.lpData = const_cast<char*>(bytes);
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(hMain, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL,
                               5000, &result) != 0 &&
           result != 0;
}

// Drops files on the main window through the test build's WM_COPYDATA hook.
bool DropFiles(HWND hMain, const std::vector<std::string>& paths) {
    std::string list;
    for (const std::string& path : paths) {
        list += path;
        list.push_back('\0');
    }
    return SendToTestBuild(hMain, marnel::kSimDropFilesData, list.data(), list.size());
}

void CaseDropLongPath(const std::string& exe) {
    Program program;
    HWND hMain = StartOnScenario(program, exe, "one.scn", "drop");
    if (!hMain)
        return;
    // A first path of 300 characters that no program could open whole if it
    // were cut to 259: the firmware upgrade must see every character of it.
    std::string longPath = "C:\\";
    while (longPath.size() < 290) {
        longPath += "firmware-folder-with-a-long-name\\";
    }
    longPath = longPath.substr(0, 290) + "\\fw.kvf";
    Check(longPath.size() > 259,
          "drop: the first path has " + std::to_string(longPath.size()) + " characters");
    if (!Check(DropFiles(hMain, {longPath, "C:\\second.kvf", "C:\\third.kvf"}),
               "drop: three files dropped")) {
        return;
    }
    HWND hBox = WaitWindowOf(program.Pid(), IsMessageBox, 5000);
    if (!Check(hBox != nullptr, "drop: the firmware upgrade answers with a box"))
        return;
    std::string text = ItemText(hBox, 0xFFFF);
    bool whole = text == IDS_VERSION_UP_TEXT || text.find(longPath) != std::string::npos;
    Check(whole, "drop: the first file reached the upgrade whole: \"" + text.substr(0, 80) +
                     (text.size() > 80 ? "...\"" : "\""));
    Check(
        text.find("second.kvf") == std::string::npos && text.find("third.kvf") == std::string::npos,
        "drop: the other files are not used");
    PostMessageA(GetDlgItem(hBox, text == IDS_VERSION_UP_TEXT ? IDCANCEL : IDOK), BM_CLICK, 0, 0);
    Check(WaitFor([&] { return !IsWindow(hBox); }, 5000), "drop: the box closes");
    Sleep(500);
    Check(FindWindowOf(program.Pid(), IsMessageBox, false) == nullptr,
          "drop: one file, one download");
    ExitProgram(program, hMain, "drop");
}

// --- The commands: file dialogs, parameters, the report ----------------------

// A common file dialog of the program: the explorer-style box with its
// file-name field, edt1 or the edit inside the combo box cmb13 (which may
// itself hold a combo box).
HWND FileNameField(HWND hWnd) {
    if (!IsDialogClass(hWnd) || IsMainWindow(hWnd)) {
        return nullptr;
    }
    if (HWND hEdit = GetDlgItem(hWnd, 0x480 /* edt1 */)) {
        return hEdit;
    }
    HWND hCombo = GetDlgItem(hWnd, 0x47C /* cmb13 */);
    if (hCombo == nullptr) {
        return nullptr;
    }
    HWND hEdit = nullptr;
    EnumChildWindows(
        hCombo,
        [](HWND hChild, LPARAM lParam) -> BOOL {
            char cls[16] = "";
            GetClassNameA(hChild, cls, sizeof cls);
            if (std::strcmp(cls, "Edit") != 0) {
                return TRUE;
            }
            *reinterpret_cast<HWND*>(lParam) = hChild;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&hEdit));
    return hEdit;
}

bool IsFileDialog(HWND hWnd) {
    return FileNameField(hWnd) != nullptr;
}

// Types `path` into the file dialog's name field and presses its default
// button, as a user would; true when the dialog closed.
bool AnswerFileDialog(HWND hDialog, const std::string& path) {
    HWND hField = FileNameField(hDialog);
    SendMessageA(hField, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PostMessageA(hDialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(hDialog, IDOK)));
    return WaitFor([&] { return !IsWindow(hDialog); }, 5000);
}

std::string g_workDir;  // Windows path of a scratch folder for the files

std::string WorkFile(const char* name) {
    return g_workDir + "\\" + name;
}

std::vector<unsigned char> ReadWholeFile(const std::string& path, bool* found) {
    std::vector<unsigned char> bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    *found = file != nullptr;
    if (file != nullptr) {
        unsigned char chunk[4096];
        size_t n = 0;
        while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
            bytes.insert(bytes.end(), chunk, chunk + n);
        }
        std::fclose(file);
    }
    return bytes;
}

bool WriteWholeFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

// Clicks a command button of the main window and answers the file dialog it
// opens with `path`.
bool RunCommandWithFile(Program& program, HWND hMain, int buttonId, const std::string& path,
                        const std::string& what) {
    PostMessageA(GetDlgItem(hMain, buttonId), BM_CLICK, 0, 0);
    HWND hDialog = WaitWindowOf(program.Pid(), IsFileDialog, 10000);
    if (!Check(hDialog != nullptr, what + ": the file dialog opens")) {
        return false;
    }
    return Check(AnswerFileDialog(hDialog, path), what + ": the dialog takes \"" + path + "\"");
}

// Waits for the program's message box, checks its text, answers "OK".
void ExpectBox(Program& program, const std::string& expected, const std::string& what,
               const std::string& shot = "") {
    HWND hBox = WaitWindowOf(program.Pid(), IsMessageBox, 10000);
    if (!Check(hBox != nullptr, what + ": a message box appears")) {
        return;
    }
    std::string text = ItemText(hBox, 0xFFFF);
    Check(text == expected, what + ": the box says \"" + text + "\"");
    Screenshot(shot, hBox);
    Check(PressAndWaitClosed(hBox, IDOK), what + ": \"OK\" closes the box");
}

void CaseParameters(const std::string& exe) {
    Program program;
    HWND hMain = StartOnScenario(program, exe, "one.scn", "parameters");
    if (!hMain || !Check(WaitLabel(hMain, "Zarvel KQ-10", 2000), "parameters: the device"))
        return;

    std::string saved = WorkFile("params.bin");
    DeleteFileA(saved.c_str());
    DWORD start = GetTickCount();
    if (RunCommandWithFile(program, hMain, IDC_GET_PARAMETERS, saved, "get parameters")) {
        bool found = false;
        std::vector<unsigned char> block;
        WaitFor(
            [&] {
                block = ReadWholeFile(saved, &found);
                return found && block.size() == 266;
            },
            5000);
        Check(found && block.size() == 266, "get parameters: the file has " +
                                                std::to_string(block.size()) + " bytes (" +
                                                std::to_string(GetTickCount() - start) + " ms)");
        Check(FindWindowOf(program.Pid(), IsMessageBox, false) == nullptr,
              "get parameters: no message");

        if (RunCommandWithFile(program, hMain, IDC_PUT_PARAMETERS, saved, "put parameters")) {
            ExpectBox(program, IDS_SUCCEEDED_PUT_PARAMETERS_TEXT, "put parameters",
                      Shot("put-parameters.png"));
        }
        // One byte short: refused before anything goes to the device.
        std::string shortFile = WorkFile("params-265.bin");
        block.resize(265);
        if (Check(WriteWholeFile(shortFile, block), "put parameters: a 265-byte file") &&
            RunCommandWithFile(program, hMain, IDC_PUT_PARAMETERS, shortFile,
                               "put parameters, 265 bytes")) {
            ExpectBox(program, IDS_DATA_FORMAT_ERROR_TEXT, "put parameters, 265 bytes");
        }
    }
    ExitProgram(program, hMain, "parameters");
}

bool IsReportWindow(HWND hWnd) {
    return IsDialogClass(hWnd) && WindowText(hWnd) == TXT_REPORT_CAPTION;
}

RECT RectOf(HWND hWnd) {
    RECT rc = {};
    GetWindowRect(hWnd, &rc);
    return rc;
}

void CaseReport(const std::string& exe) {
    Program program;
    HWND hMain = StartOnScenario(program, exe, "one.scn", "report");
    if (!hMain || !Check(WaitLabel(hMain, "Zarvel KQ-10", 2000), "report: the device"))
        return;
    DWORD start = GetTickCount();
    PostMessageA(GetDlgItem(hMain, IDC_GET_REPORT), BM_CLICK, 0, 0);
    HWND hReport = WaitWindowOf(program.Pid(), IsReportWindow, 15000);
    if (!Check(hReport != nullptr, "report: the \"Report\" window opens (" +
                                       std::to_string(GetTickCount() - start) + " ms)")) {
        return;
    }
    HWND hText = GetDlgItem(hReport, IDC_REPORT_TEXT);
    HWND hSave = GetDlgItem(hReport, IDC_SAVE);
    HWND hClose = GetDlgItem(hReport, IDCANCEL);
    char textBuffer[65536] = "";
    SendMessageA(hText, WM_GETTEXT, sizeof textBuffer, reinterpret_cast<LPARAM>(textBuffer));
    std::string shown = textBuffer;
    Check(!shown.empty(), "report: the text field shows " + std::to_string(shown.size()) +
                              " characters");
    Screenshot(Shot("report-window.png"), hReport);

    // Wider by 40 pixels: the buttons keep to the right edge, the text
    // field takes the width.
    RECT window = RectOf(hReport), text = RectOf(hText), save = RectOf(hSave),
         close = RectOf(hClose);
    SetWindowPos(hReport, nullptr, 0, 0, window.right - window.left + 40,
                 window.bottom - window.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    bool followed = WaitFor(
        [&] { return RectOf(hClose).left == close.left + 40; }, 3000);
    RECT text2 = RectOf(hText), save2 = RectOf(hSave), close2 = RectOf(hClose);
    Check(followed && save2.left - save.left == 40 && save2.right - save.right == 40 &&
              close2.left - close.left == 40 && close2.top == close.top &&
              save2.top == save.top,
          "report: 40 px wider moves both buttons 40 px right (save " +
              std::to_string(save2.left - save.left) + ", close " +
              std::to_string(close2.left - close.left) + ")");
    Check((text2.right - text2.left) - (text.right - text.left) == 40 && text2.left == text.left &&
              text2.bottom - text2.top == text.bottom - text.top,
          "report: the text field is 40 px wider (" +
              std::to_string((text2.right - text2.left) - (text.right - text.left)) + ")");

    std::string saved = WorkFile("report.txt");
    DeleteFileA(saved.c_str());
    PostMessageA(hSave, BM_CLICK, 0, 0);
    HWND hDialog = WaitWindowOf(program.Pid(), IsFileDialog, 10000);
    if (Check(hDialog != nullptr, "report: \"Save\" opens the file dialog") &&
        Check(AnswerFileDialog(hDialog, saved), "report: the dialog takes the path")) {
        bool found = false;
        std::vector<unsigned char> bytes;
        WaitFor(
            [&] {
                bytes = ReadWholeFile(saved, &found);
                return found && !bytes.empty();
            },
            5000);
        Check(found && std::string(bytes.begin(), bytes.end()) == shown,
              "report: the saved file holds the text shown (" + std::to_string(bytes.size()) +
                  " bytes)");
    }
    Check(PressAndWaitClosed(hReport, IDCANCEL), "report: \"Close\" closes the window");
    ExitProgram(program, hMain, "report");
}

// Asks the test build for the last job its device received, into `path`.
bool SaveLastJob(HWND hMain, const std::string& path) {
    return SendToTestBuild(hMain, marnel::kSimSaveLastJobData, path.c_str(), path.size() + 1);
}

void CaseFirmware(const std::string& exe) {
    Program program;
    HWND hMain = StartOnScenario(program, exe, "one.scn", "firmware");
    if (!hMain || !Check(WaitLabel(hMain, "Zarvel KQ-10", 2000), "firmware: the device"))
        return;
    // Several spooler pieces' worth, every byte value.
    std::vector<unsigned char> firmware(70000);
    for (size_t i = 0; i < firmware.size(); ++i) {
        firmware[i] = static_cast<unsigned char>((i * 7 + i / 256) & 0xFF);
    }
    std::string path = WorkFile("update.kvf");
    if (!Check(WriteWholeFile(path, firmware), "firmware: a 70000-byte file") ||
        !RunCommandWithFile(program, hMain, IDC_FIRMWARE_UPGRADE, path, "firmware")) {
        ExitProgram(program, hMain, "firmware");
        return;
    }
    // Still in service mode: "OK" asks again.
    HWND hBox = WaitWindowOf(program.Pid(), IsMessageBox, 10000);
    if (Check(hBox != nullptr, "firmware: the prompt appears")) {
        Check(ItemText(hBox, 0xFFFF) == IDS_VERSION_UP_TEXT,
              "firmware: the prompt says \"" + ItemText(hBox, 0xFFFF).substr(0, 40) + "...\"");
        Screenshot(Shot("version-up-prompt.png"), hBox);
        Check(PressAndWaitClosed(hBox, IDOK), "firmware: \"OK\" in service mode");
        hBox = WaitWindowOf(program.Pid(), IsMessageBox, 10000);
        Check(hBox != nullptr && ItemText(hBox, 0xFFFF) == IDS_VERSION_UP_TEXT,
              "firmware: the device is not in update mode, the prompt comes again");
    }
    if (hBox != nullptr) {
        DWORD_PTR result = 0;
        SendMessageTimeoutA(hMain, marnel::kSimSetUpdateModeMessage, 1, 0, SMTO_NORMAL, 5000,
                            &result);
        DWORD start = GetTickCount();
        Check(PressAndWaitClosed(hBox, IDOK), "firmware: \"OK\" in update mode");
        std::string received = WorkFile("received.kvf");
        bool saved = WaitFor([&] { return SaveLastJob(hMain, received); }, 10000);
        DWORD elapsed = GetTickCount() - start;
        bool found = false;
        Check(saved && ReadWholeFile(received, &found) == firmware,
              "firmware: the device received the file byte for byte (" +
                  std::to_string(elapsed) + " ms)");
        Check(FindWindowOf(program.Pid(), IsMessageBox, false) == nullptr,
              "firmware: no message after the download");
    }
    ExitProgram(program, hMain, "firmware");
}

void PressShift(bool down) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = VK_SHIFT;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(VK_SHIFT, 0 /* MAPVK_VK_TO_VSC */));
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
}

// Shift held while "&About Marnel..." is chosen: the self test's boxes, one
// after the other, each answered with "OK".
void CaseSelfTest(const std::string& exe) {
    Program program;
    HWND hMain = StartOnScenario(program, exe, "one.scn", "self test");
    if (!hMain || !Check(WaitLabel(hMain, "Zarvel KQ-10", 2000), "self test: the device"))
        return;
    // The key goes to the foreground window's thread, whose key state the
    // program reads once it has taken the key's message. Under Wine that
    // sometimes comes after the posted command even so: then the About box
    // shows, and the driver closes it and holds Shift again.
    HWND hBox = nullptr;
    int attempts = 0;
    while (hBox == nullptr && attempts < 4) {
        ++attempts;
        SetForegroundWindow(hMain);
        WaitFor([&] { return GetForegroundWindow() == hMain; }, 3000);
        PressShift(true);
        WaitFor([] { return GetAsyncKeyState(VK_SHIFT) < 0; }, 3000);
        Sleep(300);
        PostMessageA(hMain, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
        WaitFor(
            [&] {
                hBox = FindWindowOf(program.Pid(), IsMessageBox, true);
                return hBox != nullptr || FindWindowOf(program.Pid(), IsAboutBox, true) != nullptr;
            },
            10000);
        PressShift(false);
        if (HWND hAbout = FindWindowOf(program.Pid(), IsAboutBox, false)) {
            PressAndWaitClosed(hAbout, IDOK);
        }
    }
    Check(hBox != nullptr, "self test: Shift was seen (attempt " + std::to_string(attempts) + ")");
    std::vector<std::string> texts;
    while (hBox != nullptr && texts.size() < 20) {
        texts.push_back(ItemText(hBox, 0xFFFF));
        if (!PressAndWaitClosed(hBox, IDOK)) {
            break;
        }
        hBox = WaitWindowOf(program.Pid(), IsMessageBox, 3000);
    }
    const std::vector<std::string> steps = {
        "Start Self Test",          "Success: Create",    "Success: GetParam",
        "Success: PutParam dummy",  "Success: PutParam original",
        "Success: GetParam2",       "Success: Compare",   "Success: GetVersion (1.05)",
        "Success: GetReport",
    };
    bool inOrder = texts.size() == steps.size() + 1;
    std::string seen;
    for (size_t i = 0; i < texts.size(); ++i) {
        seen += (i == 0 ? "" : " / ") + texts[i].substr(0, texts[i].find('\n'));
        if (i < steps.size()) {
            inOrder = inOrder && texts[i] == steps[i];
        }
    }
    Check(inOrder && texts.back().find("Service Report") != std::string::npos,
          "self test: the boxes in order, the report last: " + seen);
    ExitProgram(program, hMain, "self test");
}

// A handler that lets an exception out: the window shows it in a box and
// goes on answering.
void CaseHandlerThrows(const std::string& exe) {
    Program program;
    HWND hMain = StartOnScenario(program, exe, "one.scn", "handler throws");
    if (!hMain)
        return;
    PostMessageA(hMain, marnel::kSimThrowMessage, 0, 0);
    ExpectBox(program, AFX_IDS_MEMORY_EXCEPTION_TEXT, "handler throws std::bad_alloc",
              Shot("handler-out-of-memory.png"));
    PostMessageA(hMain, marnel::kSimThrowMessage, 1, 0);
    ExpectBox(program, IDS_UNEXPECTED_ERROR_TEXT, "handler throws another exception",
              Shot("handler-unexpected-error.png"));
    CheckAboutBox(program, hMain, "");
    ExitProgram(program, hMain, "handler throws");
}

int RunCommandCases(const std::string& exe) {
    CaseParameters(exe);
    CaseReport(exe);
    CaseFirmware(exe);
    CaseSelfTest(exe);
    CaseHandlerThrows(exe);
    return 0;
}

int RunSimCases(const std::string& exe) {
    CaseNoDevice(exe);
    CaseOneDevice(exe);
    CaseTwoDevices(exe);
    CaseDeviceGoesOffline(exe);
    return 0;
}

int RunProductCase(const std::string& exe, const std::string& expected, const std::string& shot) {
    Program program;
    if (!Check(program.Start(exe, ""), "product: start"))
        return 0;
    HWND hMain = WaitMainWindow(program, "product");
    if (!hMain)
        return 0;
    Check(WaitLabel(hMain, expected, 2000), "product: label \"" + ItemText(hMain, IDC_DEVICE_NAME) +
                                                "\" (want \"" + expected + "\")");
    Screenshot(shot, hMain);
    ExitProgram(program, hMain, "product");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    DWORD start = GetTickCount();
    if (args.size() == 2 && args[0] == "resources") {
        CheckResources(args[1]);
    } else if ((args.size() == 3 || args.size() == 5) && args[0] == "sim") {
        g_scenarioDir = args[2];
        if (args.size() == 5) {
            g_shotDir = args[3];
            g_unixShell = args[4];
        }
        RunSimCases(args[1]);
    } else if (args.size() == 6 && args[0] == "commands") {
        g_scenarioDir = args[2];
        g_workDir = args[3];
        g_shotDir = args[4];
        g_unixShell = args[5];
        RunCommandCases(args[1]);
    } else if (args.size() == 3 && args[0] == "drop") {
        g_scenarioDir = args[2];
        CaseDropLongPath(args[1]);
    } else if ((args.size() == 3 || args.size() == 5) && args[0] == "product") {
        if (args.size() == 5) {
            g_unixShell = args[4];
        }
        RunProductCase(args[1], args[2], args.size() == 5 ? args[3] : "");
    } else {
        std::fprintf(stderr,
                     "usage: gui_driver resources EXE\n"
                     "       gui_driver sim EXE SCENARIO_DIR [SHOT_DIR UNIX_SHELL]\n"
                     "       gui_driver commands EXE SCENARIO_DIR WORK_DIR SHOT_DIR UNIX_SHELL\n"
                     "       gui_driver drop EXE SCENARIO_DIR\n"
                     "       gui_driver product EXE EXPECTED_LABEL [SHOT_PATH UNIX_SHELL]\n");
        return 2;
    }
    std::printf("%d checks, %d failed, %lu ms\n", g_checks, g_failures, GetTickCount() - start);
    return g_failures == 0 && g_checks > 0 ? 0 : 1;
}
