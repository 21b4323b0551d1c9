// The tool's name and version, as --version prints them and the inventory
// reports them.
#pragma once

namespace marnel::cli {

constexpr const char* kToolName = "marnel";
constexpr const char* kToolVersion = "2.01";

}  // namespace marnel::cli
