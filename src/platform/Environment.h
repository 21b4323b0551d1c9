// The user's surroundings that a record of the device's changes needs: the
// environment's variables, the platform's folder for an application's
// state, the wall-clock time and the machine's name.
#pragma once

#include <cstdint>
#include <string>

namespace marnel {

class IEnvironment {
public:
    virtual ~IEnvironment() = default;

    // The value of environment variable `name`; empty when it is not set.
    virtual std::string Variable(const std::string& name) = 0;

    // This user's folder for Marnel's state by the platform's custom
    // ($XDG_STATE_HOME/marnel or ~/.local/state/marnel; %LOCALAPPDATA%\Marnel);
    // empty when the platform gives none.
    virtual std::string DefaultStateFolder() = 0;

    // `path` made absolute against the current folder; unchanged when it is
    // absolute already or empty.
    virtual std::string AbsolutePath(const std::string& path) = 0;

    // The character between a folder and a name in this platform's paths.
    virtual char PathSeparator() const = 0;

    // Seconds since 1970-01-01 00:00 UTC.
    virtual std::int64_t UtcSeconds() = 0;

    // This machine's name on the network, as the system gives it; empty
    // when it gives none.
    virtual std::string HostName() = 0;
};

}  // namespace marnel
