#include "cli/Console.h"

#include <ostream>

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

void Console::Result(const nlohmann::json& result) const { out << result.dump() << '\n'; }

}  // namespace marnel::cli
