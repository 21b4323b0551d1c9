// Where the tool speaks: standard output for results, standard error for
// failures and diagnostics, and one JSON object per command with --json.
#pragma once

#include <iosfwd>
#include <string>

#include <nlohmann/json.hpp>

namespace marnel::cli {

struct Console {
    std::ostream& out;
    std::ostream& err;
    std::istream& in;
    bool outIsTerminal = false;
    bool json = false;

    // A failure in the system's own words, with the expert's detail after it
    // ("Failed to Get Report. (report read: ...)"). With --json it becomes
    // the "error" and "detail" of the command's result instead.
    void Failure(const std::string& text, const std::string& detail = std::string()) const;

    // A warning that does not stop the command ("Many devices are connected.").
    void Warning(const std::string& text) const;

    // Prints a command's JSON result on one line.
    void Result(const nlohmann::json& result) const;
};

// Flushes what the command printed. A failed write is a failure: said on
// `err` (unless the reader closed the pipe) and status 1 where the command
// had succeeded; otherwise `status` unchanged.
int FinishOutput(std::ostream& out, std::ostream& err, int status);

}  // namespace marnel::cli
