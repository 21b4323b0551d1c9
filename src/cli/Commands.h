// The tool's commands. Each returns the exit status; only these and the
// argument parser speak to the user.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "cli/Console.h"
#include "cli/DeviceWorld.h"
#include "platform/Spooler.h"
#include "ops/History.h"
#include "protocol/ParameterBlock.h"

namespace marnel {
class CDevicePort;
class IEnvironment;
class IFileSystem;
}  // namespace marnel

namespace marnel::cli {

// The file name that stands for standard output.
constexpr const char* kStandardOutput = "-";

struct GlobalOptions {
    std::string printer;                       // --printer; empty: the selection rule chooses
    std::string serial;                        // --serial; empty: by --printer or the rule
    std::optional<std::string> simulateModel;  // --simulate[=MODEL]
    bool trace = false;                        // --trace
};

class DeviceCommands {
public:
    DeviceCommands(const Console& console, DeviceWorld& world, IFileSystem& files,
                   IEnvironment& environment,
                   const GlobalOptions& options);

    // Every printer with its verdict, and each device's serial and mode;
    // 1 when a source of printers could not be read.
    int List();
    // The machine's set-up, one check a line; 1 when a check failed.
    int Doctor();
    int Report(const std::string& outputFile);
    int GetParams(const std::string& file);
    struct PutParamsOptions {
        bool force = false;     // send a file the checks refuse
        bool noBackup = false;  // do not save the device's block first
    };
    int PutParams(const std::string& file, const PutParamsOptions& putOptions);
    int Version();
    int SelfTest();

    struct FirmwareOptions {
        bool yes = false;             // poll for the update mode instead of waiting for Enter
        unsigned timeoutSeconds = 60;  // how long --yes polls
        bool verify = true;            // check the device once it runs the new firmware
        unsigned verifyTimeoutSeconds = 180;  // how long the check waits for the service mode
        bool restoreParams = false;    // put back parameters the upgrade changed
    };
    int Firmware(const std::string& file, const FirmwareOptions& firmwareOptions);

    // Appends what the last device-changing command did, ending with `status`,
    // to the history; a history that cannot be written is warned about.
    void RecordHistory(int status);

private:
    // The printer to work with: --printer, the one whose device carries
    // --serial, or the first qualifying one. Empty when there is none.
    std::string ChoosePrinter();

    // A port opened for the chosen printer (its name in *printer when asked),
    // or null after "Failed to connect.".
    std::unique_ptr<CDevicePort> OpenPort(std::string* printer = nullptr);

    // Waits for the technician: Enter, or --yes polling. False when cancelled
    // or timed out (reported).
    bool WaitForUpdateMode(const std::string& printerName, const FirmwareOptions& firmwareOptions,
                           PrinterHandle* printer);

    // What the device ran and held before a firmware upgrade.
    struct FirmwareBaseline {
        bool read = false;  // false: the device could not be asked
        std::string version;
        ParameterBlockBytes block{};
        std::string backup;  // where the block was saved
    };
    // Reads it while the device is in service mode and backs the block up.
    // False after saying that the backup could not be saved.
    bool ReadFirmwareBaseline(const std::string& printer, FirmwareBaseline* baseline);
    // Waits for the device to answer in service mode again, then compares
    // its version and parameters with `baseline`, adding the facts to
    // *result. Returns the exit status.
    int VerifyAfterFirmware(const std::string& printer, const FirmwareBaseline& baseline,
                            const FirmwareOptions& firmwareOptions, nlohmann::json* result);

    // The command line that puts `backup` back into `printer`.
    std::string RestoreCommand(const std::string& backup, const std::string& printer) const;

    // Writes a command's output to the file `target`, or to standard output
    // for "-". False after the file error was said.
    bool SaveOutput(const std::string& target, const void* data, DWORD size);

    // "Failed to ..." with the port's cause of failure.
    int TransferFailed(const CDevicePort& port, unsigned stringId);

    const Console& m_console;
    DeviceWorld& m_world;
    IFileSystem& m_files;
    IEnvironment& m_environment;
    HistoryEntry m_record;  // filled by the commands that change a device
    GlobalOptions m_options;
};

// Describes a parameter file without a device. 0 valid, 1 invalid, 2 file error.
int InspectParameterFile(const Console& console, IFileSystem& files, const std::string& file);

}  // namespace marnel::cli
