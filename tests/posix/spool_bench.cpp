// Sends a file through the Linux spooler to a CUPS queue with the core's firmware
// job (raw job "Updater", pieces of at most 1 MiB from one buffer), exactly
// as `marnel firmware` does once the device is in its update mode, and waits
// until CUPS has finished the job, for timing against `lp -o raw`.
// usage: marnel_spool_bench QUEUE FILE
#include <cups/cups.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "files/File.h"
#include "ops/FirmwareJob.h"
#include "posix/PosixFileSystem.h"
#include "posix/PosixPlatform.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s QUEUE FILE\n", argv[0]);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    marnel::PosixFileSystem files;
    marnel::CFile file(files);
    file.OpenRead(argv[2]);
    const std::uint64_t length = file.GetLength();
    marnel::PosixPlatform platform;
    marnel::ISpooler& spooler = platform.Services().spooler;
    marnel::PrinterHandle printer = nullptr;
    if (!spooler.OpenPrinter(argv[1], &printer)) {
        std::fprintf(stderr, "%s\n", spooler.LastError().c_str());
        return 1;
    }
    int jobId = 0;
    const bool ok =
        marnel::SendFirmwareJob(spooler, printer, file, length) == marnel::FirmwareJobResult::kSent;
    if (!ok) {
        std::fprintf(stderr, "%s\n", spooler.LastError().c_str());
    }
    spooler.ClosePrinter(printer);
    file.Close();
    const auto submitted = std::chrono::steady_clock::now();
    // The job is the newest one on the queue.
    ipp_jstate_t state = IPP_JSTATE_PENDING;
    while (ok && state < IPP_JSTATE_CANCELED) {
        cups_job_t* jobs = nullptr;
        const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, argv[1], 0, CUPS_WHICHJOBS_ALL);
        for (int i = 0; i < count; ++i) {
            if (jobs[i].id >= jobId) {
                jobId = jobs[i].id;
                state = jobs[i].state;
            }
        }
        cupsFreeJobs(count, jobs);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const auto done = std::chrono::steady_clock::now();
    using ms = std::chrono::duration<double, std::milli>;
    std::printf("job %d: %llu bytes submitted in %.1f ms, completed after %.1f ms, state %d\n",
                jobId, static_cast<unsigned long long>(length), ms(submitted - start).count(),
                ms(done - start).count(), static_cast<int>(state));
    return ok && state == IPP_JSTATE_COMPLETED ? 0 : 1;
}
