// The user's environment on a POSIX system: getenv, the XDG state folder and
// the system time.
#pragma once

#include "platform/Environment.h"

namespace marnel {

class PosixEnvironment : public IEnvironment {
public:
    std::string Variable(const std::string& name) override;
    // $XDG_STATE_HOME/marnel, or ~/.local/state/marnel.
    std::string DefaultStateFolder() override;
    // Against getcwd.
    std::string AbsolutePath(const std::string& path) override;
    char PathSeparator() const override { return '/'; }
    std::int64_t UtcSeconds() override;
    // gethostname.
    std::string HostName() override;
};

}  // namespace marnel
