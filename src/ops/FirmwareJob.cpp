#include "ops/FirmwareJob.h"

#include <algorithm>
#include <memory>

#include "files/File.h"
#include "platform/Services.h"
#include "protocol/DevicePort.h"

namespace marnel {

bool OpenPrinterInUpdateMode(const PlatformServices& services, const std::string& printerName,
                             PrinterHandle* printer) {
    bool inUpdateMode = false;
    {
        CDevicePort port(services);
        if (port.Open(printerName)) {
            inUpdateMode = !port.IsServiceMode();
        }
    }
    return inUpdateMode && services.spooler.OpenPrinter(printerName, printer);
}

DWORD FirmwarePieceSize(std::uint64_t length) {
    return length < kFirmwarePieceSize ? static_cast<DWORD>(length) : kFirmwarePieceSize;
}

FirmwareJobResult SendFirmwareJob(ISpooler& spooler, PrinterHandle printer, CFile& file,
                                  std::uint64_t length, const FirmwareProgress& progress) {
    const DWORD pieceSize = FirmwarePieceSize(length);
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[pieceSize]);

    const DocInfo doc{"Updater", nullptr, "RAW"};
    const DWORD jobId = spooler.StartDocPrinter(printer, doc);
    if (jobId == 0) {
        return FirmwareJobResult::kSpoolerFailed;
    }
    auto cancel = [&](FirmwareJobResult why = FirmwareJobResult::kSpoolerFailed) {
        spooler.CancelJob(printer, jobId);
        return why;
    };
    if (!spooler.StartPagePrinter(printer)) {
        return cancel();
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
        DWORD written = 0;
        if (!spooler.WritePrinter(printer, buffer.get(), got, &written) || written != got) {
            return cancel();
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
        return cancel();
    }
    return FirmwareJobResult::kSent;
}

}  // namespace marnel
