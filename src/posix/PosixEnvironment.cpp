#include "posix/PosixEnvironment.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace marnel {

std::string PosixEnvironment::Variable(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value != nullptr ? value : "";
}

std::string PosixEnvironment::DefaultStateFolder() {
    // The XDG rule: a relative XDG_STATE_HOME is to be ignored.
    const std::string state = Variable("XDG_STATE_HOME");
    if (!state.empty() && state[0] == '/') {
        return state + "/marnel";
    }
    const std::string home = Variable("HOME");
    return home.empty() ? std::string() : home + "/.local/state/marnel";
}

std::string PosixEnvironment::AbsolutePath(const std::string& path) {
    if (path.empty() || path[0] == '/') {
        return path;
    }
    std::vector<char> folder(4096);
    while (getcwd(folder.data(), folder.size()) == nullptr) {
        if (errno != ERANGE) {
            return path;  // no current folder to name: kept as given
        }
        folder.resize(folder.size() * 2);
    }
    const std::string base = folder.data();
    const std::string rest = path == "." ? std::string() : path.compare(0, 2, "./") == 0 ? path.substr(2) : path;
    return rest.empty() ? base : base + (base == "/" ? "" : "/") + rest;
}

std::int64_t PosixEnvironment::UtcSeconds() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

std::string PosixEnvironment::HostName() {
    // HOST_NAME_MAX is 64 on Linux; a longer name is cut, and terminated here.
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) {
        return std::string();
    }
    return name;
}

}  // namespace marnel
