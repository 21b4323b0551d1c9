// Where the tool speaks: standard output for results, standard error for
// failures and diagnostics. With --json, standard output carries one JSON
// object per command, printed when it ends, with "ok", "exitStatus" and, for
// a failure, "error"; only firmware progress comes before it, one line per
// piece.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

#include <nlohmann/json.hpp>

namespace marnel {
class CFileException;
class IEnvironment;
class IFileSystem;
}

namespace marnel::cli {

struct Console {
    std::ostream& out;
    std::ostream& err;
    std::istream& in;
    bool outIsTerminal = false;
    bool json = false;
    // Where the system's text has an encoding of its own (Windows: the ANSI
    // code page), what turns it into UTF-8 for JSON; text that is UTF-8
    // already is left alone. Empty on Linux, whose text is taken as UTF-8.
    std::function<std::string(const std::string&)> narrowToUtf8{};

    // A failure in the system's own words, with the expert's detail after it
    // ("Failed to Get Report. (report read: ...)"). With --json the first one
    // becomes the result's "error" and "detail"; later ones join the detail.
    void Failure(const std::string& text, const std::string& detail = std::string()) const;

    // A file error: on the terminal one "marnel:" line with the system's
    // reason and what to do next; with --json the window's message is the
    // "error", the reason and `detail` the "detail", and "advice" what to do.
    void FileFailure(const CFileException& error, const std::string& detail = std::string()) const;

    // A warning that does not stop the command ("Many devices are connected.").
    void Warning(const std::string& text) const;

    // With --json, adds the command's facts to its result.
    void Result(const nlohmann::json& result) const;

    // With --json, prints one progress line at once.
    void Progress(const nlohmann::json& progress) const;

    // Ends the command: with --json prints its result (or, for a command
    // that said nothing, just its status when it failed) with "exitStatus".
    // Returns `status`.
    int Finish(int status) const;

    // The result being gathered; not part of the interface.
    mutable nlohmann::json pending{};
    mutable bool hasPending = false;
};

// "1 second", "5 seconds": a count with its noun, for nouns with a plain "s".
std::string Counted(std::uint64_t count, const std::string& noun);

// Device text as it may reach a terminal: CR LF and a lone LF end lines,
// and every other control character (an escape sequence's ESC, a CR that
// would overwrite the line) shows as \xHH instead of acting. Tabs stay.
std::string Printable(const std::string& deviceText);

// A device string or a name as one line of the terminal: as Printable, and
// a line end, a tab, a C1 control or a byte that is not UTF-8 shows as \xHH
// too, so that it can neither start a line of its own nor act.
std::string PrintableLine(const std::string& text);

// Flushes what the command printed. A failed write is a failure: said on
// `err` (unless the reader closed the pipe) and status 1 where the command
// had succeeded; otherwise `status` unchanged.
int FinishOutput(std::ostream& out, std::ostream& err, int status);

}  // namespace marnel::cli
