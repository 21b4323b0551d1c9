#include "cli/Console.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ostream>

#include "cli/ExitStatus.h"
#include "cli/FileErrorText.h"
#include "ops/History.h"

namespace marnel::cli {

namespace {

// Text that is not UTF-8 read in the system's own encoding, where it has
// one (the ANSI code page on Windows).
void Decode(nlohmann::json& value, const std::function<std::string(const std::string&)>& toUtf8) {
    if (value.is_string()) {
        const std::string& text = value.get_ref<const std::string&>();
        if (!IsUtf8(text)) {
            value = toUtf8(text);
        }
        return;
    }
    if (value.is_structured()) {
        for (nlohmann::json& element : value) {
            Decode(element, toUtf8);
        }
    }
}

// A file name or device text need not be UTF-8: bytes that stay so become
// U+FFFD rather than ending the tool with nothing printed.
std::string Dumped(nlohmann::json object,
                   const std::function<std::string(const std::string&)>& toUtf8) {
    if (toUtf8) {
        Decode(object, toUtf8);
    }
    return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

void Console::Failure(const std::string& text, const std::string& detail) const {
    if (json) {
        pending["ok"] = false;
        if (!pending.contains("error")) {
            pending["error"] = text;
            if (!detail.empty()) {
                pending["detail"] = detail;
            }
        } else {
            // The first failure is the cause; what followed from it is detail.
            const std::string more = detail.empty() ? text : text + " (" + detail + ")";
            pending["detail"] =
                pending.contains("detail") ? pending["detail"].get<std::string>() + "; " + more
                                           : more;
        }
        hasPending = true;
        return;
    }
    err << text;
    if (!detail.empty()) {
        err << " (" << detail << ")";
    }
    err << '\n';
}

void Console::FileFailure(const CFileException& error, const std::string& detail) const {
    const FileErrorText text = DescribeFileError(error);
    if (!json) {
        err << "marnel: " << text.Said(detail) << '\n';
        return;
    }
    const bool first = !pending.contains("error");
    Failure(text.message, text.reason.empty() || detail.empty() ? text.reason + detail
                                                                : text.reason + "; " + detail);
    if (first && !text.advice.empty()) {
        pending["advice"] = text.advice;
    }
}

void Console::Warning(const std::string& text) const { err << "warning: " << text << '\n'; }

void Console::Result(const nlohmann::json& result) const {
    if (!json) {
        return;
    }
    for (const auto& [key, value] : result.items()) {
        // A failure already said stands: a later "ok" does not undo it.
        if (key == "ok" && pending.contains("error")) {
            continue;
        }
        pending[key] = value;
    }
    hasPending = true;
}

void Console::Progress(const nlohmann::json& progress) const {
    // Flushed: a reader of the progress lines sees each one as it happens.
    out << Dumped(progress, narrowToUtf8) << '\n' << std::flush;
}

int Console::Finish(int status) const {
    if (json && (hasPending || status != kExitSuccess)) {
        nlohmann::json result = hasPending ? pending : nlohmann::json::object();
        result["ok"] = status == kExitSuccess;
        result["exitStatus"] = status;
        out << Dumped(result, narrowToUtf8) << '\n' << std::flush;
    }
    pending = nlohmann::json{};
    hasPending = false;
    return status;
}

std::string Counted(std::uint64_t count, const std::string& noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string Printable(const std::string& deviceText) {
    std::string shown;
    for (std::size_t i = 0; i < deviceText.size(); ++i) {
        const auto c = static_cast<unsigned char>(deviceText[i]);
        if (c == '\r' && i + 1 < deviceText.size() && deviceText[i + 1] == '\n') {
            continue;  // the LF that follows ends the line
        }
        if ((c < 0x20 && c != '\n' && c != '\t') || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            shown += escaped;
        } else {
            shown += static_cast<char>(c);
        }
    }
    return shown;
}

std::string PrintableLine(const std::string& text) {
    std::string shown;
    auto escape = [&shown](unsigned char c) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
        shown += escaped;
    };
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8SequenceAt(text, i);
        const auto c = static_cast<unsigned char>(text[i]);
        if (length == 0 || (length == 1 && (c < 0x20 || c == 0x7F))) {
            escape(c);
            ++i;
        } else if (length == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
            escape(c);  // U+0080 to U+009F: an 8-bit terminal's controls
            escape(static_cast<unsigned char>(text[i + 1]));
            i += 2;
        } else {
            shown.append(text, i, length);
            i += length;
        }
    }
    return shown;
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
