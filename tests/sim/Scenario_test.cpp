#include <gtest/gtest.h>

#include "sim/Scenario.h"

namespace marnel {
namespace {

TEST(Scenario, ReadsPrintersInOrderWithStatesAndComments) {
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(
        ParseScenario("# two devices, the second working offline\r\n"
                      "printer Zarvel KQ-10 | Zarvel KQ-10\r\n"
                      "  printer   Office | Generic Laser |  online \n"
                      "printer Zarvel ZT-5 (copy 1)|Zarvel ZT-5|offline\n"
                      "\n"
                      "state\n"
                      "state\n"
                      "printer Zarvel KQ-10 | Zarvel KQ-10 | offline\n",
                      &scenario, &error))
        << error;
    ASSERT_EQ(scenario.states.size(), 3u);
    const auto& start = scenario.states[0].printers;
    ASSERT_EQ(start.size(), 3u);
    EXPECT_EQ(start[0].name, "Zarvel KQ-10");
    EXPECT_EQ(start[0].driver, "Zarvel KQ-10");
    EXPECT_FALSE(start[0].offline);
    EXPECT_EQ(start[1].name, "Office");
    EXPECT_EQ(start[1].driver, "Generic Laser");
    EXPECT_FALSE(start[1].offline);
    EXPECT_EQ(start[2].name, "Zarvel ZT-5 (copy 1)");
    EXPECT_TRUE(start[2].offline);
    // An empty state is a machine without printers.
    EXPECT_TRUE(scenario.states[1].printers.empty());
    ASSERT_EQ(scenario.states[2].printers.size(), 1u);
    EXPECT_TRUE(scenario.states[2].printers[0].offline);
}

TEST(Scenario, EmptyTextIsOneStateWithoutPrinters) {
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(ParseScenario("", &scenario, &error));
    ASSERT_EQ(scenario.states.size(), 1u);
    EXPECT_TRUE(scenario.states[0].printers.empty());
}

TEST(Scenario, RejectsLinesItDoesNotUnderstandNamingTheLine) {
    struct Case {
        const char* text;
        const char* errorStart;
    };
    const Case cases[] = {
        {"printer Zarvel KQ-10\n", "line 1: a printer needs a name and a driver"},
        {"printer | Zarvel KQ-10\n", "line 1: a printer needs a name and a driver"},
        {"printer A | B | offline | extra\n", "line 1: a printer needs"},
        {"# ok\nprinter A | B | sleeping\n", "line 2: unknown printer state \"sleeping\""},
        {"\n\nscanner A | B\n", "line 3: expected"},
        {"state 2\n", "line 1: expected"},
    };
    for (const Case& c : cases) {
        Scenario scenario;
        scenario.states.resize(5);
        std::string error;
        EXPECT_FALSE(ParseScenario(c.text, &scenario, &error)) << c.text;
        EXPECT_EQ(error.rfind(c.errorStart, 0), 0u) << c.text << " -> " << error;
        EXPECT_EQ(scenario.states.size(), 5u) << "left untouched on failure";
    }
}

}  // namespace
}  // namespace marnel
