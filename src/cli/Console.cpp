#include "cli/Console.h"

#include <cerrno>
#include <cstring>
#include <ostream>

#include "cli/ExitStatus.h"

namespace marnel::cli {

void Console::Failure(const std::string& text, const std::string& detail) const {
    if (json) {
        nlohmann::json result{{"ok", false}, {"error", text}};
        if (!detail.empty()) {
            result["detail"] = detail;
        }
        Result(result);
        return;
    }
    err << text;
    if (!detail.empty()) {
        err << " (" << detail << ")";
    }
    err << '\n';
}

void Console::Warning(const std::string& text) const { err << "warning: " << text << '\n'; }

void Console::Result(const nlohmann::json& result) const {
    // A file name or device text need not be UTF-8: such bytes become U+FFFD
    // rather than ending the tool with nothing printed.
    // Flushed: a reader of the progress lines sees each one as it happens.
    out << result.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n'
        << std::flush;
}

int FinishOutput(std::ostream& out, std::ostream& err, int status) {
    errno = 0;
    out.flush();
    if (!out.bad()) {
        return status;
    }
    const int cause = errno != 0 ? errno : EIO;
    // A reader that went away is no news to the user.
    if (cause != EPIPE) {
        err << "marnel: cannot write to standard output: " << std::strerror(cause) << '\n';
    }
    return status == kExitSuccess ? kExitDeviceFailed : status;
}

}  // namespace marnel::cli
