#include "ops/FirmwareJob.h"

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
    auto cancel = [&] {
        spooler.CancelJob(printer, jobId);
        return FirmwareJobResult::kSpoolerFailed;
    };
    if (!spooler.StartPagePrinter(printer)) {
        return cancel();
    }
    std::uint64_t sent = 0;
    for (;;) {
        DWORD got = 0;
        try {
            got = file.Read(buffer.get(), pieceSize);
        } catch (...) {
            // Cancelled before the error is reported, so no part arrives.
            spooler.CancelJob(printer, jobId);
            throw;
        }
        if (got == 0) {
            break;
        }
        DWORD written = 0;
        if (!spooler.WritePrinter(printer, buffer.get(), got, &written) || written != got) {
            return cancel();
        }
        sent += got;
        if (progress) {
            progress(sent);
        }
    }
    if (!spooler.EndPagePrinter(printer) || !spooler.EndDocPrinter(printer)) {
        return cancel();
    }
    return FirmwareJobResult::kSent;
}

}  // namespace marnel
