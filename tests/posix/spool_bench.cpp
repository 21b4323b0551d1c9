// Sends a file through the CUPS spooler back end as the firmware download
// does (raw job "Updater", pieces of at most 1 MiB) and waits until CUPS has
// finished the job, for timing against `lp -o raw`.
// usage: marnel_spool_bench QUEUE FILE
#include <cups/cups.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "posix/CupsSpooler.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s QUEUE FILE\n", argv[0]);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    std::FILE* file = std::fopen(argv[2], "rb");
    if (!file) {
        std::perror(argv[2]);
        return 2;
    }
    marnel::CupsSpooler spooler;
    marnel::PrinterHandle printer = nullptr;
    if (!spooler.OpenPrinter(argv[1], &printer)) {
        std::fprintf(stderr, "%s\n", spooler.LastError().c_str());
        return 1;
    }
    const marnel::DWORD jobId = spooler.StartDocPrinter(printer, {"Updater", nullptr, "RAW"});
    spooler.StartPagePrinter(printer);
    constexpr std::size_t kPiece = 1048576;
    std::unique_ptr<char[]> piece(new char[kPiece]);
    std::size_t n = 0;
    bool ok = jobId != 0;
    while (ok && (n = std::fread(piece.get(), 1, kPiece, file)) > 0) {
        marnel::DWORD written = 0;
        ok = spooler.WritePrinter(printer, piece.get(), static_cast<marnel::DWORD>(n), &written);
    }
    ok = ok && spooler.EndPagePrinter(printer) && spooler.EndDocPrinter(printer);
    if (!ok) {
        std::fprintf(stderr, "%s\n", spooler.LastError().c_str());
        spooler.CancelJob(printer, jobId);
    }
    spooler.ClosePrinter(printer);
    std::fclose(file);
    const auto submitted = std::chrono::steady_clock::now();
    ipp_jstate_t state = IPP_JSTATE_PENDING;
    while (ok && state < IPP_JSTATE_CANCELED) {
        cups_job_t* jobs = nullptr;
        const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, argv[1], 0, CUPS_WHICHJOBS_ALL);
        for (int i = 0; i < count; ++i) {
            if (jobs[i].id == static_cast<int>(jobId)) {
                state = jobs[i].state;
            }
        }
        cupsFreeJobs(count, jobs);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const auto done = std::chrono::steady_clock::now();
    using ms = std::chrono::duration<double, std::milli>;
    std::printf("job %u: submitted in %.1f ms, completed after %.1f ms, state %d\n", jobId,
                ms(submitted - start).count(), ms(done - start).count(), static_cast<int>(state));
    return ok && state == IPP_JSTATE_COMPLETED ? 0 : 1;
}
