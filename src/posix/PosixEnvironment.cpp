#include "posix/PosixEnvironment.h"

#include <cstdlib>
#include <ctime>

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

std::int64_t PosixEnvironment::UtcSeconds() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

}  // namespace marnel
