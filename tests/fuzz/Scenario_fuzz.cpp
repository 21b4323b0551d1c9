// The scenario file of the simulator-backed Windows build, as any text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "sim/Scenario.h"

namespace {

bool HasOuterBlank(const std::string& text) {
    const char* blanks = " \t\r";
    return !text.empty() && (std::string(blanks).find(text.front()) != std::string::npos ||
                             std::string(blanks).find(text.back()) != std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace marnel;
    const std::string text(reinterpret_cast<const char*>(data), size);
    Scenario scenario;
    std::string error;
    if (!ParseScenario(text, &scenario, &error)) {
        FUZZ_CHECK(error.rfind("line ", 0) == 0);  // a refusal names its line
        FUZZ_CHECK(scenario.states.empty());       // and leaves nothing half read
        return 0;
    }
    FUZZ_CHECK(!scenario.states.empty());
    for (const ScenarioState& state : scenario.states) {
        for (const ScenarioPrinter& printer : state.printers) {
            FUZZ_CHECK(!printer.name.empty() && !printer.driver.empty());
            FUZZ_CHECK(!HasOuterBlank(printer.name) && !HasOuterBlank(printer.driver));
            FUZZ_CHECK(printer.name.find('|') == std::string::npos);
            FUZZ_CHECK(printer.driver.find('|') == std::string::npos);
            FUZZ_CHECK(printer.name.find('\n') == std::string::npos);
        }
    }
    // What was read can be written back and reads the same.
    std::string again;
    for (std::size_t i = 0; i < scenario.states.size(); ++i) {
        if (i != 0) {
            again += "state\n";
        }
        for (const ScenarioPrinter& printer : scenario.states[i].printers) {
            again += "printer " + printer.name + " | " + printer.driver +
                     (printer.offline ? " | offline\n" : "\n");
        }
    }
    Scenario reread;
    FUZZ_CHECK(ParseScenario(again, &reread, &error));
    FUZZ_CHECK(reread.states.size() == scenario.states.size());
    for (std::size_t i = 0; i < scenario.states.size(); ++i) {
        const auto& a = scenario.states[i].printers;
        const auto& b = reread.states[i].printers;
        FUZZ_CHECK(a.size() == b.size());
        for (std::size_t k = 0; k < a.size(); ++k) {
            FUZZ_CHECK(a[k].name == b[k].name && a[k].driver == b[k].driver &&
                       a[k].offline == b[k].offline);
        }
    }
    return 0;
}
