// The firmware command: the device's state read and backed up while it is
// still in service mode, the prompt for its update mode, the raw job, and
// the check once it runs the new firmware.
#include <array>
#include <istream>
#include <ostream>

#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/SignalHold.h"
#include "device/AnsiText.h"
#include "files/File.h"
#include "ops/BackupStore.h"
#include "ops/FirmwareJob.h"
#include "platform/Clock.h"
#include "platform/Spooler.h"
#include "protocol/DevicePort.h"
#include "res/StringTable.h"

namespace marnel::cli {

bool DeviceCommands::WaitForUpdateMode(const std::string& printerName,
                                       const FirmwareOptions& firmwareOptions,
                                       PrinterHandle* printer) {
    // The prompt's first sentence is the system's own; the second is the console's.
    const std::string prompt = LoadString(IDS_VERSION_UP);
    const std::string restart = prompt.substr(0, prompt.find('\n'));
    std::ostream& say = m_console.json ? m_console.err : m_console.out;
    say << restart << '\n';
    m_world.OnVersionUpPrompt();

    if (firmwareOptions.yes) {
        IClock& clock = m_world.Services().clock;
        const std::uint64_t deadline = clock.NowMs() + firmwareOptions.timeoutSeconds * 1000ull;
        for (;;) {
            if (OpenPrinterInUpdateMode(m_world.Services(), printerName, printer)) {
                return true;
            }
            if (clock.NowMs() >= deadline) {
                m_console.Failure("The device did not leave service mode within " +
                                  Counted(firmwareOptions.timeoutSeconds, "second") +
                                  "; nothing was sent.");
                return false;
            }
            clock.Sleep(1000);
        }
    }
    for (;;) {
        say << "Press Enter when the device is ready to receive (Ctrl-D cancels)." << std::endl;
        std::string line;
        if (!std::getline(m_console.in, line)) {
            m_console.Failure("Firmware upgrade cancelled; nothing was sent.");
            return false;
        }
        if (OpenPrinterInUpdateMode(m_world.Services(), printerName, printer)) {
            return true;
        }
        say << "The device is not in VERSION UP mode yet. " << restart << '\n';
    }
}

int DeviceCommands::Firmware(const std::string& file, const FirmwareOptions& firmwareOptions) {
    m_record.operation = "firmware";
    m_record.file = file;
    std::uint64_t length = 0;
    CFile input(m_files);
    try {
        input.OpenRead(file);
        length = input.GetLength();
    } catch (const CFileException& error) {
        m_console.FileFailure(error);
        return kExitUsage;
    }
    if (length == 0) {
        // CUPS refuses a document without bytes and would hold its job until
        // cancelled, so refuse before any prompt, backup or job.
        m_console.Failure("The firmware file " + file + " is empty; nothing was sent.");
        return kExitUsage;
    }
    const std::string printer = ChoosePrinter();
    if (printer.empty()) {
        m_console.Failure(LoadString(IDS_FAILED_CONNECT),
                          "no Zarvel device found on " + m_world.Description());
        return kExitNoDevice;
    }

    m_record.printer = printer;
    FirmwareBaseline baseline;
    if (!ReadFirmwareBaseline(printer, &baseline)) {
        return kExitUsage;
    }
    m_record.backup = baseline.backup;
    m_record.versionBefore = baseline.version;
    PrinterHandle handle = nullptr;
    if (!WaitForUpdateMode(printer, firmwareOptions, &handle)) {
        return kExitDeviceFailed;
    }
    ISpooler& spooler = m_world.Services().spooler;
    FirmwareJobResult result = FirmwareJobResult::kSpoolerFailed;
    int status = kExitSuccess;
    const bool bar = m_console.outIsTerminal && !m_console.json;
    try {
        // Ctrl+C or SIGTERM cancels the job between pieces: never a job left
        // half made in the spooler.
        SignalHold hold;
        std::uint64_t handedOver = 0;
        result = SendFirmwareJob(spooler, handle, input, length, [&](std::uint64_t sent) {
            handedOver = sent;
            if (m_console.json) {
                m_console.Progress({{"progress", sent}, {"total", length}});
            } else if (bar) {
                const int width = 40;
                const int filled = static_cast<int>(sent * width / length);
                m_console.out << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
                              << std::string(static_cast<std::size_t>(width - filled), ' ')
                              << "] " << (sent * 100 / length) << "%" << std::flush;
            }
            return hold.Caught() == 0;
        });
        if (bar) {
            m_console.out << '\n';
        }
        if (result == FirmwareJobResult::kInterrupted) {
            m_console.Failure("Interrupted: the firmware job was cancelled.",
                              std::to_string(handedOver) + " of " + Counted(length, "byte") +
                                  " had gone to the spooler, so part of the firmware may "
                                  "have reached the device; restart it and send the whole file "
                                  "again");
            status = SignalHold::ExitStatusFor(hold.Caught());
        }
        if (result == FirmwareJobResult::kSpoolerFailed) {
            m_console.Failure(LoadString(IDS_FAILED_SEND_FIRMWARE), m_world.LastError());
            status = kExitDeviceFailed;
        } else if (result == FirmwareJobResult::kFileChanged) {
            m_console.Failure(FormatString1(IDS_FIRMWARE_CHANGED, file));
            status = kExitUsage;
        }
    } catch (const CFileException& error) {
        m_console.FileFailure(error);
        status = kExitUsage;
    } catch (const std::bad_alloc&) {
        m_console.Failure(LoadString(AFX_IDS_MEMORY_EXCEPTION));
        status = kExitDeviceFailed;
    }
    spooler.ClosePrinter(handle);
    if (status != kExitSuccess) {
        return status;
    }
    nlohmann::json outcome{{"ok", true}, {"file", file}, {"bytes", length}};
    if (!baseline.backup.empty()) {
        outcome["backup"] = baseline.backup;
    }
    if (!m_console.json) {
        m_console.out << "Firmware sent to " << printer << " (" << Counted(length, "byte")
                      << ").\n";
    }
    if (firmwareOptions.verify) {
        status = VerifyAfterFirmware(printer, baseline, firmwareOptions, &outcome);
    }
    if (m_console.json) {
        m_console.Result(outcome);
    }
    return status;
}

bool DeviceCommands::ReadFirmwareBaseline(const std::string& printer,
                                          FirmwareBaseline* baseline) {
    // While the device still answers in service mode: what it runs and holds
    // now, to check it against once the new firmware runs.
    CDevicePort port(m_world.Services());
    std::array<std::uint8_t, kVersionBufferSize> version{};
    if (!port.Open(printer) || !port.IsServiceMode() ||
        !port.ReadVersion(version.data(), static_cast<DWORD>(version.size())) ||
        !port.ReadParameterBlock(baseline->block.data(), kParameterBlockSize)) {
        m_console.Warning("the device's version and parameters could not be read before the "
                          "upgrade, so they cannot be compared afterwards");
        return true;
    }
    baseline->read = true;
    baseline->version = TerminatedText(version.data(), version.size());
    try {
        baseline->backup = CBackupStore(m_files, m_environment).Save(printer, baseline->block);
    } catch (const CFileException& error) {
        m_console.FileFailure(error,
                          "the parameters could not be backed up; nothing was sent");
        return false;
    }
    return true;
}

namespace {

// "8-11, 40": where two blocks differ.
std::string ChangedRanges(const ParameterBlockBytes& before, const ParameterBlockBytes& after) {
    std::string ranges;
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (before[i] == after[i]) {
            continue;
        }
        std::size_t last = i;
        while (last + 1 < before.size() && before[last + 1] != after[last + 1]) {
            ++last;
        }
        ranges += (ranges.empty() ? "" : ", ") + std::to_string(i) +
                  (last > i ? "-" + std::to_string(last) : std::string());
        i = last;
    }
    return ranges;
}

// "byte 40", "bytes 8-11, 40".
std::string Bytes(const std::string& ranges) {
    return (ranges.find_first_of("-,") == std::string::npos ? "byte " : "bytes ") + ranges;
}

}  // namespace

int DeviceCommands::VerifyAfterFirmware(const std::string& printer,
                                        const FirmwareBaseline& baseline,
                                        const FirmwareOptions& firmwareOptions,
                                        nlohmann::json* result) {
    std::ostream& say = m_console.json ? m_console.err : m_console.out;
    say << "Restart the device in its service mode; it is checked once it answers (Ctrl+C "
           "skips the check)."
        << std::endl;
    m_world.OnServiceModePrompt();
    IClock& clock = m_world.Services().clock;
    const std::uint64_t deadline = clock.NowMs() + firmwareOptions.verifyTimeoutSeconds * 1000ull;
    CDevicePort port(m_world.Services());
    SignalHold hold;
    bool back = false;
    while (!(back = port.Open(printer) && port.IsServiceMode()) && hold.Caught() == 0 &&
           clock.NowMs() < deadline) {
        clock.Sleep(1000);
    }
    (*result)["verified"] = back;
    if (!back) {
        const std::string why =
            hold.Caught() != 0
                ? "the check was skipped"
                : "the device did not answer in service mode within " +
                      Counted(firmwareOptions.verifyTimeoutSeconds, "second");
        (*result)["ok"] = false;
        (*result)["error"] = "Firmware sent, not verified: " + why + ".";
        m_record.outcome = "sent, not verified";
        if (!m_console.json) {
            m_console.Failure("Firmware sent, not verified: " + why + ".");
        }
        return kExitDeviceFailed;
    }
    std::array<std::uint8_t, kVersionBufferSize> version{};
    const std::string after = port.ReadVersion(version.data(), static_cast<DWORD>(version.size()))
                                  ? TerminatedText(version.data(), version.size())
                                  : std::string("?");
    (*result)["versionAfter"] = after;
    m_record.versionAfter = after;
    if (baseline.read) {
        (*result)["versionBefore"] = baseline.version;
    }
    if (!m_console.json) {
        m_console.out << "Version: " << (baseline.read ? baseline.version : std::string("?"))
                      << " -> " << after << '\n';
    }
    if (!baseline.read) {
        return kExitSuccess;
    }
    ParameterBlockBytes now{};
    if (!port.ReadParameterBlock(now.data(), kParameterBlockSize)) {
        return TransferFailed(port, IDS_FAILED_GET_PARAMETERS);
    }
    const std::string changed = ChangedRanges(baseline.block, now);
    (*result)["parametersChanged"] = !changed.empty();
    if (changed.empty()) {
        return kExitSuccess;
    }
    const std::string restore = RestoreCommand(baseline.backup, printer);
    if (!firmwareOptions.restoreParams) {
        (*result)["changedBytes"] = changed;
        (*result)["restoreCommand"] = restore;
        m_console.Warning("the parameters changed at " + Bytes(changed) +
                          "; to restore them: " + restore);
        return kExitSuccess;
    }
    ParameterBlockBytes restored{};
    if (!port.WriteParameterBlock(baseline.block.data(), kParameterBlockSize) ||
        !port.ReadParameterBlock(restored.data(), kParameterBlockSize) ||
        restored != baseline.block) {
        m_console.Failure(LoadString(IDS_FAILED_PUT_PARAMETERS),
                          "the parameters changed at " + Bytes(changed) + " and could not be "
                          "restored; to try again: " + restore);
        return kExitDeviceFailed;
    }
    (*result)["parametersRestored"] = true;
    if (!m_console.json) {
        m_console.out << "The parameters had changed at " << Bytes(changed)
                      << "; they were restored from " << baseline.backup << ".\n";
    }
    return kExitSuccess;
}

}  // namespace marnel::cli
