// Children on Windows: CreateProcess with inherited handles for the three
// standard streams, a wait in short slices so that a stop or the time limit
// is seen, and TerminateProcess for a child that must end.
#include <windows.h>
// After <windows.h>, which it needs.
#include <aclapi.h>

#include <vector>

#include "platform/ChildProcess.h"
#include "win32/Win32SystemMessage.h"

namespace marnel {

namespace {

// One argument as the C runtime's parser reads it back: quoted when it holds
// a space, a tab or a quote (or is empty), a quote escaped, and the
// backslashes before a quote or the closing quote doubled.
std::string Quoted(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) {
        return argument;
    }
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

std::string CommandLine(const std::vector<std::string>& argv) {
    std::string line;
    for (const std::string& argument : argv) {
        line += (line.empty() ? "" : " ") + Quoted(argument);
    }
    return line;
}

// The handles a child gets, closed with their holder.
struct Inherited {
    HANDLE in = INVALID_HANDLE_VALUE;
    HANDLE out = INVALID_HANDLE_VALUE;
    HANDLE err = INVALID_HANDLE_VALUE;
    ~Inherited() {
        for (HANDLE handle : {in, out, err}) {
            if (handle != INVALID_HANDLE_VALUE) {
                CloseHandle(handle);
            }
        }
    }
};

HANDLE Open(const std::string& path, bool writing) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileA(path.c_str(), writing ? GENERIC_WRITE : GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       writing ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Waits for the child to end within `timeoutSeconds`, or for `stop`;
// a child that must end is terminated.
void Wait(HANDLE process, unsigned timeoutSeconds, const std::function<bool()>& stop,
          ChildOutcome* outcome) {
    const ULONGLONG deadline = GetTickCount64() + timeoutSeconds * 1000ULL;
    while (WaitForSingleObject(process, 100) == WAIT_TIMEOUT) {
        const bool stopped = stop && stop();
        if (stopped || GetTickCount64() >= deadline) {
            outcome->timedOut = !stopped;
            TerminateProcess(process, 1);
            WaitForSingleObject(process, INFINITE);
            break;
        }
    }
    DWORD code = 0;
    if (!outcome->timedOut && GetExitCodeProcess(process, &code)) {
        outcome->exitStatus = static_cast<int>(code);
    }
}

}  // namespace

ChildOutcome RunChild(const std::vector<std::string>& argv, const std::string& outPath,
                      const std::string& errPath, unsigned timeoutSeconds,
                      const std::function<bool()>& stop) {
    ChildOutcome outcome;
    Inherited handles;
    handles.in = Open("NUL", false);
    handles.out = Open(outPath, true);
    handles.err = Open(errPath, true);
    if (handles.in == INVALID_HANDLE_VALUE || handles.out == INVALID_HANDLE_VALUE ||
        handles.err == INVALID_HANDLE_VALUE) {
        outcome.error = "its output files could not be made: " + SystemMessage(GetLastError());
        return outcome;
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = handles.in;
    startup.hStdOutput = handles.out;
    startup.hStdError = handles.err;
    std::string line = CommandLine(argv);
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
        outcome.error = SystemMessage(GetLastError());
        return outcome;
    }
    outcome.started = true;
    CloseHandle(process.hThread);
    Wait(process.hProcess, timeoutSeconds, stop, &outcome);
    CloseHandle(process.hProcess);
    LARGE_INTEGER said{};
    const bool silent = GetFileSizeEx(handles.err, &said) && said.QuadPart == 0;
    CloseHandle(handles.err);
    handles.err = INVALID_HANDLE_VALUE;
    if (silent) {
        DeleteFileA(errPath.c_str());
    }
    return outcome;
}

std::string OwnExecutable() {
    std::vector<char> path(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return std::string();
        }
        if (length < path.size()) {
            return std::string(path.data(), length);
        }
        path.resize(path.size() * 2);
    }
}

std::string MakePrivateFolder(const std::string& prefix, std::string* error) {
    // %TEMP% lies in the user's profile, which only the user may enter.
    char temp[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof temp, temp);
    if (length == 0 || length > MAX_PATH) {
        *error = "no temporary folder: " + SystemMessage(GetLastError());
        return std::string();
    }
    const std::string stem =
        std::string(temp, length) + prefix + std::to_string(GetCurrentProcessId()) + "-";
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::string folder = stem + std::to_string(GetTickCount64() % 100000 + attempt);
        if (CreateDirectoryA(folder.c_str(), nullptr)) {
            return folder;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            break;
        }
    }
    *error = stem + "*: " + SystemMessage(GetLastError());
    return std::string();
}

bool KeepPrivate(const std::string& path, std::string* error) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        *error = SystemMessage(GetLastError());
        return false;
    }
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> user(size > 0 ? size : 1);
    const BOOL known = GetTokenInformation(token, TokenUser, user.data(), size, &size);
    const DWORD queried = GetLastError();
    CloseHandle(token);
    if (!known) {
        *error = SystemMessage(queried);
        return false;
    }
    // The user alone, and nothing inherited from the folder.
    EXPLICIT_ACCESS_A access{};
    access.grfAccessPermissions = GENERIC_ALL;
    access.grfAccessMode = SET_ACCESS;
    access.grfInheritance = NO_INHERITANCE;
    access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access.Trustee.TrusteeType = TRUSTEE_IS_USER;
    access.Trustee.ptstrName =
        static_cast<LPSTR>(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid);
    PACL list = nullptr;
    DWORD result = SetEntriesInAclA(1, &access, nullptr, &list);
    if (result == ERROR_SUCCESS) {
        std::string name = path;
        result =
            SetNamedSecurityInfoA(&name[0], SE_FILE_OBJECT,
                                  DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                  nullptr, nullptr, list, nullptr);
        LocalFree(list);
    }
    if (result != ERROR_SUCCESS) {
        *error = SystemMessage(result);
        return false;
    }
    return true;
}

void RemoveFolderTree(const std::string& folder) {
    WIN32_FIND_DATAA entry;
    const HANDLE found = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (found != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = entry.cFileName;
            if (name == "." || name == "..") {
                continue;
            }
            const std::string path = folder + "\\" + name;
            const DWORD attributes = entry.dwFileAttributes;
            // A link to a folder is removed as the link; what it leads to stays.
            if ((attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                RemoveFolderTree(path);
            } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveDirectoryA(path.c_str());
            } else {
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(found, &entry));
        FindClose(found);
    }
    // Goes on past an entry it cannot remove: the rest still goes.
    RemoveDirectoryA(folder.c_str());
}

}  // namespace marnel
