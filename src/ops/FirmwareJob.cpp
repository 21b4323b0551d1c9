#include "ops/FirmwareJob.h"

#include <algorithm>
#include <memory>

#include "files/File.h"
#include "ops/DeviceAccess.h"
#include "platform/Services.h"
#include "protocol/DevicePort.h"

namespace marnel {

bool OpenPrinterInUpdateMode(CDeviceAccess& access, const std::string& printerName,
                             const DeviceIdentity* expected, PrinterHandle* printer) {
    bool inUpdateMode = false;
    {
        OpenedDevice device;
        const bool opened = expected != nullptr ? access.Reopen(printerName, *expected, &device)
                                                : access.Open(printerName, &device);
        if (opened) {
            inUpdateMode = !static_cast<bool>(device.port->IsServiceMode());
        }
    }
    return inUpdateMode && access.Services().spooler.OpenPrinter(printerName, printer);
}

DWORD FirmwarePieceSize(std::uint64_t length) {
    return length < kFirmwarePieceSize ? static_cast<DWORD>(length) : kFirmwarePieceSize;
}

FirmwareJobResult SendFirmwareJob(ISpooler& spooler, PrinterHandle printer, CFile& file,
                                  std::uint64_t length, const FirmwareProgress& progress,
                                  const FirmwarePieceTap& tap, SpooledJob* job) {
    const DWORD pieceSize = FirmwarePieceSize(length);
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[pieceSize]);
    SpooledJob spooled;
    if (job == nullptr) {
        job = &spooled;
    }

    const DocInfo doc{"Updater", nullptr, "RAW"};
    const DWORD jobId = spooler.StartDocPrinter(printer, doc);
    job->id = jobId;
    if (jobId == 0) {
        job->failure = spooler.LastError();
        return FirmwareJobResult::kSpoolerFailed;
    }
    auto cancel = [&](FirmwareJobResult why) {
        spooler.CancelJob(printer, jobId);
        return why;
    };
    auto failed = [&](std::string cause) {
        job->failure = std::move(cause);
        return cancel(FirmwareJobResult::kSpoolerFailed);
    };
    if (!spooler.StartPagePrinter(printer)) {
        return failed(spooler.LastError());
    }
    // Reads cancel the job before any error of theirs is reported, so no
    // part arrives.
    auto read = [&](void* into, DWORD count) {
        try {
            return file.Read(into, count);
        } catch (...) {
            spooler.CancelJob(printer, jobId);
            throw;
        }
    };
    std::uint64_t sent = 0;
    while (sent < length) {
        const DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(pieceSize, length - sent));
        const DWORD got = read(buffer.get(), want);
        if (got == 0) {
            return cancel(FirmwareJobResult::kFileChanged);  // it shrank
        }
        if (tap) {
            tap(buffer.get(), got);
        }
        DWORD written = 0;
        if (!spooler.WritePrinter(printer, buffer.get(), got, &written)) {
            return failed(spooler.LastError());
        }
        if (written != got) {
            return failed("the spooler took " + std::to_string(written) + " of " +
                          std::to_string(got) + " bytes");
        }
        sent += got;
        if (progress && !progress(sent)) {
            return cancel(FirmwareJobResult::kInterrupted);
        }
    }
    std::uint8_t beyond = 0;
    if (read(&beyond, 1) != 0) {
        return cancel(FirmwareJobResult::kFileChanged);  // it grew: not the file measured
    }
    if (!spooler.EndPagePrinter(printer) || !spooler.EndDocPrinter(printer)) {
        return failed(spooler.LastError());
    }
    return FirmwareJobResult::kSent;
}

}  // namespace marnel
