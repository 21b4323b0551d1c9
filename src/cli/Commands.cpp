#include "cli/Commands.h"

#include <cstdio>
#include <functional>
#include <optional>
#include <ostream>

#include "cli/ExitStatus.h"
#include "cli/FileErrorText.h"
#include "cli/SignalHold.h"
#include "cli/StateCommands.h"
#include "ops/StateFolder.h"
#include "cli/Trace.h"
#include "device/AnsiText.h"
#include "files/File.h"
#include "ops/DeviceProbe.h"
#include "ops/DeviceReads.h"
#include "ops/History.h"
#include "ops/ParameterFile.h"
#include "ops/PrinterSelection.h"
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
    if (!IsRegularFile(files, file)) {
        console.Failure(file + " is not a regular file (a FIFO, socket or device); give a "
                               "parameter file");
        return std::nullopt;
    }
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

int ExitStatusFor(const Outcome& outcome) {
    switch (outcome.kind) {
        case OutcomeKind::kSucceeded:
            return kExitSuccess;
        case OutcomeKind::kRefused:
        case OutcomeKind::kFileError:
        case OutcomeKind::kFileChanged:
            return kExitUsage;
        case OutcomeKind::kNoDevice:
            return kExitNoDevice;
        case OutcomeKind::kInterrupted:
            return SignalHold::ExitStatusFor(outcome.signal);
        case OutcomeKind::kDeviceFailed:
        case OutcomeKind::kOutOfMemory:
        case OutcomeKind::kCancelled:
        case OutcomeKind::kSentNotVerified:
        case OutcomeKind::kJobHeld:
            break;
    }
    return kExitDeviceFailed;
}

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

CDeviceAccess DeviceCommands::MakeAccess() {
    const PlatformServices& services = m_world.Services();
    if (!m_options.trace) {
        return CDeviceAccess(services);
    }
    return CDeviceAccess(services, [&services, this] {
        auto port = std::make_unique<CDevicePort>(services);
        port->SetRequestObserver(MakeHexTracer(m_console.err));
        return port;
    });
}

void DeviceCommands::SayOpenFailed(const CDeviceAccess& access) {
    m_console.Failure(LoadString(IDS_FAILED_CONNECT),
                      DescribeOpenFailure(access.LastOpenFailure(), m_world.Description(),
                                          m_options.serial));
}

bool DeviceCommands::OpenDevice(OpenedDevice* device) {
    CDeviceAccess access = MakeAccess();
    if (access.Open(ChoosePrinter(), device)) {
        return true;
    }
    SayOpenFailed(access);
    return false;
}

ChangeLog DeviceCommands::MakeChangeLog() const {
    ChangeLog log;
    log.fileSystem = &m_files;
    log.environment = &m_environment;
    log.hashing = m_world.Services().hashing;
    log.simulated = m_options.simulateModel.has_value();
    log.exitStatusFor = [](const Outcome& outcome) { return ExitStatusFor(outcome); };
    return log;
}

int DeviceCommands::Recorded(const std::optional<CFileException>& historyError,
                             int status) const {
    if (!historyError) {
        return status;
    }
    // A change the history does not hold is a failure of the command.
    m_console.Failure("The change was not recorded: the history could not be written.",
                      DescribeFileError(*historyError).Said());
    return status == kExitSuccess ? kExitUsage : status;
}

bool DeviceCommands::StateFolderUsable() {
    const std::optional<StateFolderProblem> problem = CheckStateFolder(m_files, m_environment);
    return !problem || (SayStateFolderProblem(m_console, m_environment, *problem), false);
}

int DeviceCommands::TransferFailed(const Outcome& outcome, const std::string& text) {
    m_console.Failure(text, outcome.Detail());
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

template <typename Result>
bool DeviceCommands::ReadUnit(Result (*read)(OpenedDevice&), const std::string& failure,
                              Result* result, int* status) {
    OpenedDevice device;
    if (!OpenDevice(&device)) {
        *status = kExitNoDevice;
        return false;
    }
    *result = read(device);
    if (!result->Succeeded()) {
        *status = TransferFailed(*result, failure);
        return false;
    }
    return true;
}

int DeviceCommands::Report(const std::string& outputFile) {
    ReportOutcome report;
    int status = kExitSuccess;
    if (!ReadUnit(&ReadReport, LoadString(IDS_FAILED_GET_REPORT), &report, &status)) {
        return status;
    }
    const std::string& text = report.text;
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
    GetParametersOutcome read;
    int status = kExitSuccess;
    if (!ReadUnit(&GetParameters, LoadString(IDS_FAILED_GET_PARAMETERS), &read, &status)) {
        return status;
    }
    if (!SaveOutput(file, read.block.data(), kParameterBlockSize)) {
        return kExitUsage;
    }
    const ParameterBlockInfo info = DescribeParameterBlock(read.block);
    if (m_console.json) {
        m_console.Result({{"ok", true}, {"file", file}, {"model", info.modelTag}});
    } else if (file != kStandardOutput) {
        m_console.out << "Parameters of " << info.modelTag << " saved to " << file << " ("
                      << kParameterBlockSize << " bytes).\n";
    }
    return kExitSuccess;
}

int DeviceCommands::PutParams(const std::string& file, const PutParamsOptions& putOptions) {
    const std::optional<ParameterFile> input =
        ReadParameterFileOrSay(m_console, m_files, file, [](std::uint64_t) {
            return std::string("a parameter file holds exactly 266 bytes");
        });
    if (!input || !StateFolderUsable()) {
        return kExitUsage;
    }
    OpenedDevice device;
    if (!OpenDevice(&device)) {
        return kExitNoDevice;
    }
    // From here until the history line is written, signals wait.
    SignalHold hold;
    PutParametersPolicy policy;
    policy.checkFile = !putOptions.force;
    policy.backup = !putOptions.noBackup;
    policy.readBack = true;
    const PutParametersOutcome outcome =
        PutParameters(device, input->block, file, policy, hold, MakeChangeLog());
    int status = Recorded(outcome.historyError, RenderPut(file, outcome));
    if (hold.Caught() != 0 && outcome.kind != OutcomeKind::kInterrupted) {
        // The signal came while the block was on its way: the put was
        // finished and recorded first, and the tool ends as the signal asked.
        m_console.Failure("Interrupted once the put had ended and was recorded.");
        status = SignalHold::ExitStatusFor(hold.Caught());
    }
    return status;
}

int DeviceCommands::RenderPut(const std::string& file, const PutParametersOutcome& outcome) {
    const std::string backupNote =
        outcome.backup.empty() ? std::string() : "; the earlier parameters are in " + outcome.backup;
    switch (outcome.step) {
        case PutStep::kReadCurrent:
            return TransferFailed(outcome, LoadString(IDS_FAILED_GET_PARAMETERS));
        case PutStep::kCheck:
            m_console.Failure(LoadString(IDS_DATA_FORMAT_ERROR),
                              (!outcome.verdict.checksumValid
                                   ? file + " is no valid parameter block (see 'marnel inspect')"
                                   : file + " holds parameters of a " + outcome.verdict.fileModel +
                                         ", the device is a " + outcome.verdict.deviceModel) +
                                  "; nothing was sent (--force sends it anyway)");
            return kExitUsage;
        case PutStep::kBackup:
            m_console.FileFailure(*outcome.fileError,
                                  "the backup could not be saved; nothing was sent (--no-backup "
                                  "sends without one)");
            return kExitUsage;
        case PutStep::kWrite:
            if (outcome.kind == OutcomeKind::kInterrupted) {
                m_console.Failure("Interrupted: nothing was sent.");
                return ExitStatusFor(outcome);
            }
            if (outcome.failure.device.kind == FailureKind::kOutOfMemory) {
                m_console.Failure(LoadString(AFX_IDS_MEMORY_EXCEPTION));
            }
            [[fallthrough]];
        case PutStep::kReadBack:
            m_console.Failure(LoadString(IDS_FAILED_PUT_PARAMETERS), outcome.Detail() + backupNote);
            return kExitDeviceFailed;
        case PutStep::kDone:
            break;
    }
    if (outcome.ownBlockInvalid) {
        m_console.Warning("the device's own parameter block failed its checksum; it was " +
                          std::string(outcome.backup.empty() ? "replaced" : "backed up as read"));
    }
    if (outcome.storedInvalidChecksum) {
        m_console.Warning("the device stored the block as sent, but its checksum does not hold");
    }
    if (m_console.json) {
        nlohmann::json result{{"ok", true},
                              {"message", LoadString(IDS_SUCCEEDED_PUT_PARAMETERS)},
                              {"verified", true}};
        if (!outcome.backup.empty()) {
            result["backup"] = outcome.backup;
        }
        if (outcome.storedInvalidChecksum) {
            result["checksumValid"] = false;
        }
        m_console.Result(result);
    } else {
        m_console.out << LoadString(IDS_SUCCEEDED_PUT_PARAMETERS) << '\n';
        if (!outcome.backup.empty()) {
            m_console.out << "The earlier parameters are in " << outcome.backup << ".\n";
        }
    }
    return kExitSuccess;
}

int DeviceCommands::Version() {
    VersionOutcome version;
    int status = kExitSuccess;
    if (!ReadUnit(&ReadVersion, std::string("Failed to get the version."), &version, &status)) {
        return status;
    }
    if (m_console.json) {
        nlohmann::json result{{"ok", true}, {"version", version.text}};
        if (!IsUtf8(version.text)) {
            result["versionHex"] = HexBytes(version.text);
        }
        m_console.Result(result);
    } else {
        m_console.out << Printable(version.text) << '\n';
    }
    return kExitSuccess;
}

int DeviceCommands::SelfTest() {
    if (!StateFolderUsable()) {
        return kExitUsage;
    }
    const std::string printer = ChoosePrinter();
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
    // Signals wait for a point where the unit holds its own block again.
    SignalHold hold;
    CDeviceAccess access = MakeAccess();
    const SelfTestOutcome outcome = RunSelfTest(
        access, printer,
        [&](const SelfTestResult& result) {
            for (int i = 0; i < result.outOfMemory; ++i) {
                line(LoadString(AFX_IDS_MEMORY_EXCEPTION), true);
            }
            for (const std::string& text : SelfTestStepLines(result)) {
                line(text, !result.ok);
            }
        },
        hold, MakeChangeLog());
    RenderSelfTestEnd(outcome, printer, std::move(steps));
    return Recorded(outcome.historyError, ExitStatusFor(outcome));
}

void DeviceCommands::RenderSelfTestEnd(const SelfTestOutcome& outcome, const std::string& printer,
                                       nlohmann::json steps) {
    std::string restore;
    if (!outcome.originalRestored) {
        restore = RestoreCommand(outcome.backup, printer, outcome.identity);
        if (!m_console.json) {
            m_console.out << "To restore them: " << restore << '\n';
        }
    }
    if (outcome.fileError) {
        m_console.FileFailure(*outcome.fileError);
    }
    const std::string interrupted = outcome.kind == OutcomeKind::kInterrupted
                                        ? "Interrupted: the test stopped " + outcome.Detail() + "."
                                        : std::string();
    if (m_console.json) {
        nlohmann::json result{{"ok", outcome.Succeeded()}, {"steps", std::move(steps)}};
        if (!interrupted.empty()) {
            result["error"] = interrupted;
        }
        if (!restore.empty()) {
            result["restoreCommand"] = restore;
        }
        m_console.Result(result);
    } else if (!interrupted.empty()) {
        m_console.Failure(interrupted);
    }
}

std::string DeviceCommands::RestoreCommand(const std::string& backup, const std::string& printer,
                                           const DeviceIdentity& unit) const {
    std::string command = "marnel";
    if (!m_options.simulateState.empty()) {
        command += " --simulate-state " + ShellQuoted(m_options.simulateState);
    } else if (m_options.simulateModel) {
        command += " --simulate=" + ShellQuoted(*m_options.simulateModel);
    }
    command += unit.serial.empty() ? " --printer " + ShellQuoted(printer)
                                   : " --serial " + ShellQuoted(unit.serial);
    return command + " put-params " + ShellQuoted(backup);
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
