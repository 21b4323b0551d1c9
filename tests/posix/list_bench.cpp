// Not a test: times `marnel list` with 16 and with 48 emulated units on the
// bus, and `marnel report` with one, beside the private CUPS server, and
// prints the median of a few runs and the ratio of the two listings. Run by
// scripts/list_bench.sh; MARNEL_BENCH_TOOL names another build of the tool
// to compare with.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "EmulatedPrinter.h"

namespace marnel {
namespace {

constexpr int kRuns = 5;

std::string Tool() {
    const char* other = std::getenv("MARNEL_BENCH_TOOL");
    return other != nullptr && *other != '\0' ? other : MARNEL_TOOL;
}

// The median wall time of `arguments`, in seconds; negative when a run failed.
double MedianSeconds(const std::string& arguments) {
    const std::string command = "CUPS_SERVER=" + CupsDir() + "/cups.sock " + Tool() + " " +
                                arguments + " >/dev/null 2>&1 </dev/null";
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0) {
            return -1;
        }
        times.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// `count` KQ-10 units on a fresh bus, the first the one the queue names.
double ListSeconds(int count) {
    UsbTestbed testbed;
    std::vector<std::unique_ptr<EmulatedPrinter>> units;
    for (int i = 0; i < count; ++i) {
        EmulatedPrinter::Identity id;
        char serial[24];
        std::snprintf(serial, sizeof serial, "KQ10SN%04d", i + 1);
        id.serial = serial;
        id.address = static_cast<std::uint8_t>(2 + i);
        units.push_back(std::make_unique<EmulatedPrinter>(testbed, id));
    }
    return MedianSeconds("list");
}

TEST(ListBench, ListGrowsWithTheUnitsAndReportTakesOne) {
    const std::string missing = BenchMissing();
    if (!missing.empty()) {
        GTEST_SKIP() << missing;
    }
    const double sixteen = ListSeconds(16);
    const double fortyEight = ListSeconds(48);
    ASSERT_GT(sixteen, 0) << "marnel list failed";
    ASSERT_GT(fortyEight, 0) << "marnel list failed";

    UsbTestbed testbed;
    EmulatedPrinter kq(testbed, EmulatedPrinter::Identity());
    EmulatedPrinter::Script script;
    const std::string text = "KQ-10 REPORT\r\n";
    script.report.assign(text.begin(), text.end());
    kq.SetScript(script);
    const double report = MedianSeconds("--printer Zarvel_usb report");
    ASSERT_GT(report, 0) << "marnel report failed";

    std::printf(
        "%s\nlist, 16 units: %.3f s\nlist, 48 units: %.3f s\nratio 48/16: %.2f\n"
        "report, 1 unit: %.3f s\n",
        Tool().c_str(), sixteen, fortyEight, fortyEight / sixteen, report);
}

}  // namespace
}  // namespace marnel
