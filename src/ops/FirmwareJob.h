// The raw job that carries a firmware file to the device: the file's bytes
// unchanged, in pieces of at most 1 MiB from one buffer, as the document
// "Updater" of data type "RAW". A job that could not be read or written
// whole is cancelled in the spooler, never delivered in part.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/Spooler.h"

namespace marnel {

class CDeviceAccess;
class CFile;
struct DeviceIdentity;

// True when the printer's device opens but no longer answers in service
// mode, and the printer then opened for the job (*printer holds it). With
// `expected`, only that unit counts. The device port is closed again before
// the spooler takes the device.
bool OpenPrinterInUpdateMode(CDeviceAccess& access, const std::string& printerName,
                             const DeviceIdentity* expected, PrinterHandle* printer);

// The largest piece read from the file and handed to the spooler at once.
constexpr DWORD kFirmwarePieceSize = 0x100000;

// The buffer size for a file of `length` bytes: the length itself when it is
// below one piece, one piece otherwise.
DWORD FirmwarePieceSize(std::uint64_t length);

enum class FirmwareJobResult {
    kSent,           // the spooler took the whole job
    kSpoolerFailed,  // a spooler call failed or took less than asked; the job was cancelled
    kFileChanged,    // the file ended before `length` or went on past it; the job was cancelled
    kInterrupted,    // the progress callback stopped it; the job was cancelled
};

// Called after each piece the spooler took, with the bytes sent so far;
// false stops the job: it is cancelled and the result is kInterrupted.
using FirmwareProgress = std::function<bool(std::uint64_t bytesSent)>;
// Sees each piece as it was read, before the spooler gets it: what it sees
// is exactly what was sent, once the job is whole.
using FirmwarePieceTap = std::function<void(const std::uint8_t* piece, DWORD size)>;

// What the spooler made of a job: its id once started, and for
// kSpoolerFailed the spooler's own cause, taken before the job was
// cancelled (a cancel can fail too and say something else).
struct SpooledJob {
    DWORD id = 0;
    std::string failure;
};

// Sends `file` (open for reading, at its start, `length` bytes long when it
// was measured) as one raw job on the opened `printer`: exactly `length`
// bytes, so progress never passes the length. A read error cancels the job and then
// raises the file's CFileException; a buffer that cannot be had raises
// std::bad_alloc before anything is sent. `job`, when given, learns what
// the spooler made of it.
FirmwareJobResult SendFirmwareJob(ISpooler& spooler, PrinterHandle printer, CFile& file,
                                  std::uint64_t length,
                                  const FirmwareProgress& progress = FirmwareProgress(),
                                  const FirmwarePieceTap& tap = FirmwarePieceTap(),
                                  SpooledJob* job = nullptr);

}  // namespace marnel
