#include "cli/Commands.h"

#include <array>
#include <csignal>
#include <cstdio>
#include <functional>
#include <optional>
#include <istream>
#include <ostream>

#include "cli/ExitStatus.h"
#include "cli/FileErrorText.h"
#include "cli/SignalHold.h"
#include "cli/Trace.h"
#include "device/AnsiText.h"
#include "files/File.h"
#include "files/Sha256.h"
#include "ops/BackupStore.h"
#include "ops/DeviceProbe.h"
#include "ops/FirmwareJob.h"
#include "ops/ParameterFile.h"
#include "ops/PrinterSelection.h"
#include "ops/SelfTest.h"
#include "platform/Clock.h"
#include "platform/Spooler.h"
#include "protocol/DevicePort.h"
#include "protocol/ParameterBlock.h"
#include "res/StringTable.h"

namespace marnel::cli {

namespace {

// The parameter file at `file`, or nothing after the failure was said: a
// file error, or a length other than 266 with the detail `wrongLength` gives.
std::optional<ParameterFile> ReadParameterFileOrSay(
    const Console& console, IFileSystem& files, const std::string& file,
    const std::function<std::string(std::uint64_t length)>& wrongLength, bool shared = false) {
    try {
        ParameterFile input = ReadParameterFile(files, file, shared);
        if (input.hasBlockSize) {
            return input;
        }
        console.Failure(LoadString(IDS_DATA_FORMAT_ERROR), wrongLength(input.length));
    } catch (const CFileException& error) {
        console.FileFailure(error);
    }
    return std::nullopt;
}

// `text` as one word for a POSIX shell.
std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// Ends a self test that a signal asked to stop, once that is safe.
struct SelfTestInterrupted {};

// "4b512d" for "KQ-".
std::string HexBytes(const std::string& bytes) {
    std::string hex;
    for (unsigned char c : bytes) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", c);
        hex += pair;
    }
    return hex;
}

std::string Hex16(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

}  // namespace

DeviceCommands::DeviceCommands(const Console& console, DeviceWorld& world, IFileSystem& files,
                               IEnvironment& environment, const GlobalOptions& options)
    : m_console(console),
      m_world(world),
      m_files(files),
      m_environment(environment),
      m_options(options) {}

std::string DeviceCommands::ChoosePrinter() {
    const PlatformServices& services = m_world.Services();
    const DeviceSelection selection = SelectDevicePrinter(services.spooler, services.codePage);
    std::string chosen = m_options.printer;
    if (!m_options.serial.empty()) {
        chosen = FindPrinterBySerial(services, selection, m_options.serial);
    } else if (chosen.empty()) {
        chosen = selection.chosen;
        if (selection.count > 1) {
            m_console.Warning(LoadString(IDS_MANY_DEVICES) + " Using \"" + chosen +
                              "\"; choose another with --printer.");
        }
    }
    return chosen;
}

std::unique_ptr<CDevicePort> DeviceCommands::OpenPort(std::string* chosen) {
    const std::string printer = ChoosePrinter();
    if (chosen != nullptr) {
        *chosen = printer;
    }
    auto port = std::make_unique<CDevicePort>(m_world.Services());
    if (m_options.trace) {
        port->SetRequestObserver(MakeHexTracer(m_console.err));
    }
    if (!port->Open(printer)) {
        std::string detail = printer.empty() ? std::string() : port->LastOpenFailure().detail;
        if (detail.empty()) {
            detail = !printer.empty() ? "printer \"" + printer + "\" on " + m_world.Description()
                     : m_options.serial.empty()
                         ? "no Zarvel device found on " + m_world.Description() +
                               "; see 'marnel list'"
                         : "no Zarvel device with serial " + m_options.serial + " on " +
                               m_world.Description() + "; see 'marnel list'";
        }
        m_console.Failure(LoadString(IDS_FAILED_CONNECT), detail);
        return nullptr;
    }
    return port;
}

void DeviceCommands::RecordHistory(int status) {
    m_record.exitStatus = status;
    m_record.simulated = m_options.simulateModel.has_value();
    if (m_record.outcome.empty()) {
        m_record.outcome = status == kExitSuccess                             ? "succeeded"
                           : status == SignalHold::ExitStatusFor(SIGINT) ||
                                   status == SignalHold::ExitStatusFor(SIGTERM) ? "interrupted"
                                                                              : "failed";
    }
    if (!m_record.file.empty() && m_record.sha256.empty()) {
        try {
            m_record.sha256 = Sha256OfFile(*m_world.Services().hashing, m_files, m_record.file);
        } catch (const CFileException&) {
            // A file that cannot be read again is recorded without its digest.
        }
    }
    try {
        CHistory(m_files, m_environment).Append(m_record);
    } catch (const CFileException& error) {
        m_console.Warning("the history could not be written: " + DescribeFileError(error).Said());
    }
}

int DeviceCommands::TransferFailed(const CDevicePort& port, unsigned stringId) {
    m_console.Failure(LoadString(stringId), DescribeFailure(port.LastFailure()));
    return kExitDeviceFailed;
}

bool DeviceCommands::SaveOutput(const std::string& target, const void* data, DWORD size) {
    if (target == kStandardOutput) {
        m_console.out.write(static_cast<const char*>(data), size);
        return true;
    }
    try {
        SaveFileReplacing(m_files, target, data, size);
        return true;
    } catch (const CFileException& error) {
        m_console.FileFailure(error);
        return false;
    }
}

int DeviceCommands::Report(const std::string& outputFile) {
    std::unique_ptr<CDevicePort> port = OpenPort();
    if (!port) {
        return kExitNoDevice;
    }
    std::array<std::uint8_t, kReportBufferSize> buffer{};
    if (!port->ReadReport(buffer.data(), static_cast<DWORD>(buffer.size()))) {
        return TransferFailed(*port, IDS_FAILED_GET_REPORT);
    }
    const std::string text = TerminatedText(buffer.data(), buffer.size());
    if (!outputFile.empty() &&
        !SaveOutput(outputFile, text.data(), static_cast<DWORD>(text.size()))) {
        return kExitUsage;
    }
    if (m_console.json) {
        nlohmann::json result{{"ok", true}, {"report", text}};
        if (!IsUtf8(text)) {
            result["reportHex"] = HexBytes(text);  // the text field had to replace some
        }
        if (!outputFile.empty()) {
            result["file"] = outputFile;
        }
        m_console.Result(result);
    } else if (outputFile.empty()) {
        const std::string shown = Printable(text);  // -o keeps the exact bytes
        m_console.out << shown;
        if (!shown.empty() && shown.back() != '\n') {
            m_console.out << '\n';
        }
    } else if (outputFile != kStandardOutput) {
        m_console.out << "Report saved to " << outputFile << " (" << Counted(text.size(), "byte")
                      << ").\n";
    }
    return kExitSuccess;
}

int DeviceCommands::GetParams(const std::string& file) {
    std::unique_ptr<CDevicePort> port = OpenPort();
    if (!port) {
        return kExitNoDevice;
    }
    ParameterBlockBytes block{};  // zeroed: nothing uninitialised reaches the file
    if (!port->ReadParameterBlock(block.data(), kParameterBlockSize)) {
        return TransferFailed(*port, IDS_FAILED_GET_PARAMETERS);
    }
    if (!SaveOutput(file, block.data(), kParameterBlockSize)) {
        return kExitUsage;
    }
    const ParameterBlockInfo info = DescribeParameterBlock(block);
    if (m_console.json) {
        m_console.Result({{"ok", true}, {"file", file}, {"model", info.modelTag}});
    } else if (file != kStandardOutput) {
        m_console.out << "Parameters of " << info.modelTag << " saved to " << file << " ("
                      << kParameterBlockSize << " bytes).\n";
    }
    return kExitSuccess;
}

int DeviceCommands::PutParams(const std::string& file, const PutParamsOptions& putOptions) {
    m_record.operation = "put-params";
    m_record.file = file;
    const std::optional<ParameterFile> input =
        ReadParameterFileOrSay(m_console, m_files, file, [](std::uint64_t) {
            return std::string("a parameter file holds exactly 266 bytes");
        });
    if (!input) {
        return kExitUsage;
    }
    const ParameterBlockBytes& block = input->block;
    m_record.sha256 = Sha256Of(*m_world.Services().hashing, block.data(), block.size());
    std::string printer;
    std::unique_ptr<CDevicePort> port = OpenPort(&printer);
    m_record.printer = printer;
    if (!port) {
        return kExitNoDevice;
    }
    // The device's own block: its model to check the file against, and the
    // backup of what the file replaces.
    ParameterBlockBytes current{};
    const bool readCurrent = !(putOptions.force && putOptions.noBackup);
    if (readCurrent && !port->ReadParameterBlock(current.data(), kParameterBlockSize)) {
        return TransferFailed(*port, IDS_FAILED_GET_PARAMETERS);
    }
    const ParameterFileVerdict verdict =
        JudgeParameterFile(block, readCurrent ? &current : nullptr);
    m_record.model = verdict.fileModel;
    if (!verdict.Acceptable() && !putOptions.force) {
        m_record.outcome = "refused";
        const std::string why =
            !verdict.checksumValid
                ? file + " is no valid parameter block (see 'marnel inspect')"
                : file + " holds parameters of a " + verdict.fileModel + ", the device is a " +
                      verdict.deviceModel;
        m_console.Failure(LoadString(IDS_DATA_FORMAT_ERROR),
                          why + "; nothing was sent (--force sends it anyway)");
        return kExitUsage;
    }
    std::string backup;
    if (!putOptions.noBackup) {
        try {
            backup = CBackupStore(m_files, m_environment).Save(printer, current);
            m_record.backup = backup;
        } catch (const CFileException& error) {
            m_console.FileFailure(error,
                              "the backup could not be saved; nothing was sent (--no-backup "
                              "sends without one)");
            return kExitUsage;
        }
    }
    const std::string backupNote =
        backup.empty() ? std::string() : "; the earlier parameters are in " + backup;
    if (!port->WriteParameterBlock(block.data(), static_cast<DWORD>(kParameterBlockSize))) {
        if (port->LastFailure().kind == FailureKind::kOutOfMemory) {
            m_console.Failure(LoadString(AFX_IDS_MEMORY_EXCEPTION));
        }
        m_console.Failure(LoadString(IDS_FAILED_PUT_PARAMETERS),
                          DescribeFailure(port->LastFailure()) + backupNote);
        return kExitDeviceFailed;
    }
    // What the device stored is what it gives back.
    ParameterBlockBytes stored{};
    if (!port->ReadParameterBlock(stored.data(), kParameterBlockSize) || stored != block) {
        m_console.Failure(LoadString(IDS_FAILED_PUT_PARAMETERS),
                          "the device did not give back the parameters it was sent" + backupNote);
        return kExitDeviceFailed;
    }
    if (m_console.json) {
        nlohmann::json result{{"ok", true},
                              {"message", LoadString(IDS_SUCCEEDED_PUT_PARAMETERS)},
                              {"verified", true}};
        if (!backup.empty()) {
            result["backup"] = backup;
        }
        m_console.Result(result);
    } else {
        m_console.out << LoadString(IDS_SUCCEEDED_PUT_PARAMETERS) << '\n';
        if (!backup.empty()) {
            m_console.out << "The earlier parameters are in " << backup << ".\n";
        }
    }
    return kExitSuccess;
}

int DeviceCommands::Version() {
    std::unique_ptr<CDevicePort> port = OpenPort();
    if (!port) {
        return kExitNoDevice;
    }
    std::array<std::uint8_t, kVersionBufferSize> buffer{};
    if (!port->ReadVersion(buffer.data(), static_cast<DWORD>(buffer.size()))) {
        m_console.Failure("Failed to get the version.", DescribeFailure(port->LastFailure()));
        return kExitDeviceFailed;
    }
    const std::string version = TerminatedText(buffer.data(), buffer.size());
    if (m_console.json) {
        nlohmann::json result{{"ok", true}, {"version", version}};
        if (!IsUtf8(version)) {
            result["versionHex"] = HexBytes(version);
        }
        m_console.Result(result);
    } else {
        m_console.out << Printable(version) << '\n';
    }
    return kExitSuccess;
}

int DeviceCommands::SelfTest() {
    // The test opens the port itself: "Error: Create" is its own first step.
    const std::string printer = ChoosePrinter();
    m_record.operation = "self-test";
    m_record.printer = printer;
    CDevicePort port(m_world.Services());
    if (m_options.trace) {
        port.SetRequestObserver(MakeHexTracer(m_console.err));
    }
    int status = kExitSuccess;
    nlohmann::json steps = nlohmann::json::array();
    auto line = [&](const std::string& text, bool failed) {
        steps.push_back({{"text", text}, {"failed", failed}});
        if (!m_console.json) {
            const std::string shown = Printable(text);
            m_console.out << shown;
            if (shown.empty() || shown.back() != '\n') {
                m_console.out << '\n';
            }
        }
    };
    line(TXT_SELFTEST_START, false);
    CBackupStore backups(m_files, m_environment);
    std::string backupToRestore;
    std::string failure;
    std::optional<CFileException> fileError;
    // Signals wait while the dummy block may be on the device: from the
    // first read until the original has been written back.
    std::optional<SignalHold> hold;
    int interruptedBy = 0;
    try {
        RunSelfTestSteps(port, printer, backups, [&](const SelfTestResult& result) {
            if (result.ok && result.step == SelfTestStep::kGetParam) {
                hold.emplace();
            }
            if (!result.ok && status == kExitSuccess) {
                status = result.step == SelfTestStep::kCreate ? kExitNoDevice : kExitDeviceFailed;
            }
            if (!result.ok && result.step == SelfTestStep::kPutParamOriginal) {
                backupToRestore = result.detail;
            }
            for (int i = 0; i < result.outOfMemory; ++i) {
                line(LoadString(AFX_IDS_MEMORY_EXCEPTION), true);
            }
            for (const std::string& text : SelfTestStepLines(result)) {
                line(text, !result.ok);
            }
            if (result.step == SelfTestStep::kPutParamOriginal) {
                interruptedBy = hold->Caught();
                hold.reset();
                if (interruptedBy != 0) {
                    throw SelfTestInterrupted{};
                }
            }
        });
    } catch (const SelfTestInterrupted&) {
        status = SignalHold::ExitStatusFor(interruptedBy);
        failure = "Interrupted: the test stopped once the parameters had been written back.";
    } catch (const CFileException& error) {
        // The backup could not be saved: nothing was written to the device.
        fileError = error;
        status = kExitUsage;
    }
    m_record.backup = backups.LastSaved();
    std::string restore;
    if (!backupToRestore.empty()) {
        restore = RestoreCommand(backupToRestore, printer);
        if (!m_console.json) {
            m_console.out << "To restore them: " << restore << '\n';
        }
    }
    if (fileError) {
        m_console.FileFailure(*fileError);
    }
    if (m_console.json) {
        nlohmann::json result{{"ok", status == kExitSuccess}, {"steps", steps}};
        if (!failure.empty()) {
            result["error"] = failure;
        }
        if (!restore.empty()) {
            result["restoreCommand"] = restore;
        }
        m_console.Result(result);
    } else if (!failure.empty()) {
        m_console.Failure(failure);
    }
    return status;
}

std::string DeviceCommands::RestoreCommand(const std::string& backup,
                                           const std::string& printer) const {
    std::string command = "marnel";
    if (m_options.simulateModel) {
        command += " --simulate=" + ShellQuoted(*m_options.simulateModel);
    }
    return command + " --printer " + ShellQuoted(printer) + " put-params " + ShellQuoted(backup);
}

int InspectParameterFile(const Console& console, IFileSystem& files, const std::string& file) {
    const std::optional<ParameterFile> input =
        ReadParameterFileOrSay(
            console, files, file,
            [&file](std::uint64_t length) {
                return file + " holds " + Counted(length, "byte") +
                       "; a parameter file holds exactly 266";
            },
            true);  // only to read it: others may read it meanwhile
    if (!input) {
        return kExitUsage;
    }
    const ParameterBlockBytes& block = input->block;
    const ParameterBlockInfo info = DescribeParameterBlock(block);
    const char* layout = info.layout == ParameterLayout::kFixed ? "fixed" : "counted";
    if (console.json) {
        nlohmann::json result{{"ok", true},
                              {"file", file},
                              {"layout", layout},
                              {"model", info.modelTag},
                              {"dataLength", info.dataLength},
                              {"computedChecksum", info.computedChecksum},
                              {"valid", info.valid}};
        if (info.checksumInBlock) {
            result["storedChecksum"] = info.storedChecksum;
        }
        console.Result(result);
    } else {
        console.out << "file:              " << file << '\n'
                    << "layout:            " << layout << '\n'
                    << "model tag:         " << info.modelTag << '\n'
                    << "data length:       " << info.dataLength << '\n'
                    << "stored checksum:   "
                    << (info.checksumInBlock ? Hex16(info.storedChecksum)
                                             : std::string("none (beyond the block)"))
                    << '\n'
                    << "computed checksum: " << Hex16(info.computedChecksum) << '\n'
                    << "checksum:          " << (info.valid ? "valid" : "INVALID") << '\n';
    }
    return info.valid ? kExitSuccess : kExitInvalidBlock;
}

}  // namespace marnel::cli
