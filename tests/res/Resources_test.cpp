// The resource script and the core's string table come from one header; this
// checks that the script's string table names exactly the strings the core
// can show, so the Windows program never shows an empty box or label.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "res/StringTable.h"

namespace marnel {
namespace {

std::string ReadSource(const std::string& relative) {
    std::ifstream in(std::string(MARNEL_SOURCE_DIR) + "/" + relative);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// NAME -> value of every numeric #define in Resource.h.
std::map<std::string, long> ResourceIds() {
    std::map<std::string, long> ids;
    std::istringstream lines(ReadSource("src/res/Resource.h"));
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string define, name, value;
        if (words >> define >> name >> value && define == "#define" && !value.empty() &&
            (std::isdigit(static_cast<unsigned char>(value[0])) || value[0] == '(')) {
            ids[name] = std::stol(value[0] == '(' ? value.substr(1) : value, nullptr, 0);
        }
    }
    return ids;
}

TEST(ResourceScript, StringTableMatchesTheCore) {
    const std::string script = ReadSource("src/res/marnel.rc");
    if (script.empty()) {
        GTEST_SKIP() << "no resource script in this tree";
    }
    const auto ids = ResourceIds();
    ASSERT_FALSE(ids.empty());

    const auto begin = script.find("STRINGTABLE");
    ASSERT_NE(std::string::npos, begin);
    const auto open = script.find("BEGIN", begin);
    const auto close = script.find("\nEND", open);
    ASSERT_NE(std::string::npos, close);

    std::set<DWORD> inScript;
    std::istringstream entries(script.substr(open + 5, close - open - 5));
    std::string line;
    while (std::getline(entries, line)) {
        std::istringstream words(line);
        std::string symbol, text;
        if (!(words >> symbol >> text)) {
            continue;
        }
        ASSERT_EQ(symbol + "_TEXT", text) << "a string's text must come from the header";
        const auto id = ids.find(symbol);
        ASSERT_NE(ids.end(), id) << symbol << " is not defined in Resource.h";
        inScript.insert(static_cast<DWORD>(id->second));
    }

    std::set<DWORD> inCore;
    for (DWORD id = 0; id <= 0xFFFF; ++id) {
        if (!LoadString(id).empty()) {
            inCore.insert(id);
        }
    }
    EXPECT_EQ(inCore, inScript);
}

}  // namespace
}  // namespace marnel
