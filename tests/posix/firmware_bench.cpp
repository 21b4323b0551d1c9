// Not a test: sends firmware files of 64 MiB and 1 GiB through the private
// CUPS server to the emulated KQ-10 in its update mode, once with
// `marnel firmware` and once with `lp -o raw`, and prints for each the time
// until the tool returned, the time until CUPS had delivered the job, and the
// tool's own CPU time, peak memory and bytes read (a file read once shows as
// its size). Run by scripts/firmware_memory_bench.sh.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "EmulatedPrinter.h"

namespace marnel {
namespace {

struct Measured {
    int status = -1;
    double returnedSeconds = 0;
    double deliveredSeconds = 0;
    double cpuSeconds = 0;  // user and system time of the tool itself
    long peakKiB = 0;
    unsigned long long readBytes = 0;  // everything the tool read (its "rchar")
};

// What the exited but not yet reaped `child` read, from its I/O accounting.
unsigned long long ReadBytesOf(pid_t child) {
    std::FILE* io = std::fopen(("/proc/" + std::to_string(child) + "/io").c_str(), "r");
    unsigned long long rchar = 0;
    if (io != nullptr) {
        if (std::fscanf(io, "rchar: %llu", &rchar) != 1) {
            rchar = 0;
        }
        std::fclose(io);
    }
    return rchar;
}

std::string Socket() {
    return CupsDir() + "/cups.sock";
}

bool QueueEmpty() {
    const std::string command = "lpstat -h " + Socket() + " -o Zarvel_usb";
    std::FILE* pipe = popen(command.c_str(), "r");
    char line[512];
    const bool empty = pipe != nullptr && std::fgets(line, sizeof line, pipe) == nullptr;
    if (pipe != nullptr) {
        pclose(pipe);
    }
    return empty;
}

// Runs `argv` with CUPS_SERVER set, its output discarded, until CUPS has
// delivered what it sent.
Measured RunToDelivery(const std::vector<std::string>& argv) {
    Measured measured;
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        setenv("CUPS_SERVER", Socket().c_str(), 1);
        std::freopen("/dev/null", "w", stdout);
        std::vector<char*> args;
        for (const std::string& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    siginfo_t exited{};
    // Waited for without reaping first, so that its accounting can still be read.
    if (child < 0 || waitid(P_PID, static_cast<id_t>(child), &exited, WEXITED | WNOWAIT) != 0) {
        return measured;
    }
    measured.readBytes = ReadBytesOf(child);
    if (wait4(child, &status, 0, &usage) != child) {
        return measured;
    }
    measured.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                          static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    using Seconds = std::chrono::duration<double>;
    measured.returnedSeconds = Seconds(std::chrono::steady_clock::now() - start).count();
    measured.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    measured.peakKiB = usage.ru_maxrss;
    while (!QueueEmpty()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    measured.deliveredSeconds = Seconds(std::chrono::steady_clock::now() - start).count();
    return measured;
}

TEST_F(EmulatedBenchTest, FirmwareThroughCupsAgainstLpRaw) {
    EmulatedPrinter::Script update;
    update.mode = EmulatedPrinter::Mode::kUpdate;
    m_kq->SetScript(update);
    const std::string delivered = CupsDir() + "/out/Zarvel_usb.bin";
    const std::string state = CupsDir() + "/bench-state";
    setenv("MARNEL_STATE_DIR", state.c_str(), 1);
    // MARNEL_BENCH_MIB="64" measures one size only.
    std::vector<unsigned long long> sizes = {64ull, 1024ull};
    if (const char* only = std::getenv("MARNEL_BENCH_MIB")) {
        sizes = {std::strtoull(only, nullptr, 10)};
    }
    for (const unsigned long long mib : sizes) {
        const std::string file = CupsDir() + "/bench-" + std::to_string(mib) + ".kvf";
        // Random bytes: nothing on the way may shrink them.
        const std::string make = "head -c " + std::to_string(mib << 20) + " /dev/urandom >" + file;
        ASSERT_EQ(std::system(make.c_str()), 0);
        const Measured marnel = RunToDelivery({MARNEL_TOOL, "--printer", "Zarvel_usb", "firmware",
                                               file, "--yes", "--timeout", "10", "--no-verify"});
        const std::string same = "cmp -s " + file + " " + delivered;
        EXPECT_EQ(marnel.status, 0);
        EXPECT_EQ(std::system(same.c_str()), 0) << "marnel's job arrived changed";
        std::remove(delivered.c_str());
        const Measured lp =
            RunToDelivery({"lp", "-h", Socket(), "-d", "Zarvel_usb", "-o", "raw", file});
        EXPECT_EQ(lp.status, 0);
        EXPECT_EQ(std::system(same.c_str()), 0) << "lp's job arrived changed";
        std::remove(delivered.c_str());
        std::remove(file.c_str());
        std::printf(
            "%4llu MiB  marnel: returned %.2f s, delivered %.2f s, cpu %.2f s, peak %ld KiB,"
            " read %.1f MiB | lp -o raw: returned %.2f s, delivered %.2f s, cpu %.2f s,"
            " peak %ld KiB, read %.1f MiB | ratios: delivered %.2f, cpu %.2f\n",
            mib, marnel.returnedSeconds, marnel.deliveredSeconds, marnel.cpuSeconds,
            marnel.peakKiB, marnel.readBytes / 1048576.0, lp.returnedSeconds,
            lp.deliveredSeconds, lp.cpuSeconds, lp.peakKiB, lp.readBytes / 1048576.0,
            marnel.deliveredSeconds / lp.deliveredSeconds, marnel.cpuSeconds / lp.cpuSeconds);
        std::fflush(stdout);
    }
    std::system(("rm -rf " + state).c_str());
}

}  // namespace
}  // namespace marnel
