#include "sim/Scenario.h"

#include <sstream>

namespace marnel {

namespace {

std::string Trim(const std::string& text) {
    const char* blanks = " \t\r";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return std::string();
    }
    size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

std::vector<std::string> SplitFields(const std::string& text) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t bar = text.find('|', start);
        fields.push_back(Trim(text.substr(start, bar == std::string::npos ? bar : bar - start)));
        if (bar == std::string::npos) {
            return fields;
        }
        start = bar + 1;
    }
}

}  // namespace

bool ParseScenario(const std::string& text, Scenario* scenario, std::string* error) {
    Scenario parsed;
    parsed.states.emplace_back();
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        line = Trim(line);
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::string where = "line " + std::to_string(number) + ": ";
        size_t space = line.find_first_of(" \t");
        std::string keyword = line.substr(0, space);
        std::string rest = space == std::string::npos ? std::string() : Trim(line.substr(space));
        if (keyword == "state" && rest.empty()) {
            parsed.states.emplace_back();
            continue;
        }
        if (keyword != "printer") {
            *error = where + "expected \"printer NAME | DRIVER [| offline]\" or \"state\"";
            return false;
        }
        std::vector<std::string> fields = SplitFields(rest);
        if (fields.size() < 2 || fields.size() > 3 || fields[0].empty() || fields[1].empty()) {
            *error = where + "a printer needs a name and a driver";
            return false;
        }
        ScenarioPrinter printer;
        printer.name = fields[0];
        printer.driver = fields[1];
        if (fields.size() == 3) {
            if (fields[2] != "offline" && fields[2] != "online") {
                *error = where + "unknown printer state \"" + fields[2] + "\"";
                return false;
            }
            printer.offline = fields[2] == "offline";
        }
        parsed.states.back().printers.push_back(printer);
    }
    *scenario = parsed;
    return true;
}

}  // namespace marnel
