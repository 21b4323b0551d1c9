// The tool's commands. Each returns the exit status; only these and the
// argument parser speak to the user.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/Console.h"
#include "cli/DeviceWorld.h"
#include "ops/Compliance.h"
#include "ops/DeviceAccess.h"
#include "ops/FirmwareUpgrade.h"
#include "ops/Profile.h"
#include "ops/PutParameters.h"
#include "ops/SelfTest.h"
#include "ops/UnitSurvey.h"
#include "platform/Spooler.h"

namespace marnel::cli {

// The file name that stands for standard output.
constexpr const char* kStandardOutput = "-";

struct GlobalOptions {
    std::string printer;                       // --printer; empty: the selection rule chooses
    std::string serial;                        // --serial; empty: by --printer or the rule
    std::optional<std::string> simulateModel;  // --simulate[=MODEL[,MODEL...]]
    std::string simulateState;                 // --simulate-state; empty: none
    bool trace = false;                        // --trace
};

class DeviceCommands {
public:
    DeviceCommands(const Console& console, DeviceWorld& world, IFileSystem& files,
                   IEnvironment& environment, const GlobalOptions& options);

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
        bool yes = false;              // poll for the update mode instead of waiting for Enter
        unsigned timeoutSeconds = 60;  // how long --yes polls
        bool verify = true;            // check the device once it runs the new firmware
        unsigned verifyTimeoutSeconds = 180;  // how long the check waits for the service mode
        bool restoreParams = false;           // put back parameters the upgrade changed
    };
    int Firmware(const std::string& file, const FirmwareOptions& firmwareOptions);

    // Every chosen unit against the profile at `profile`; writes nothing.
    // 0 every unit complies, 1 drift or a unit not read, 2 bad profile, 3 no unit.
    int Check(const std::string& profile);
    struct ApplyOptions {
        unsigned timeoutSeconds = 60;  // how long each unit's update mode is polled for
    };
    // Brings every chosen unit to the profile. 0 none failed, 1 some failed,
    // 2 bad profile, 3 no unit.
    int Apply(const std::string& profile, const ApplyOptions& applyOptions);
    // Writes a profile of the chosen unit to `file`, its block beside it.
    int CaptureProfile(const std::string& file);
    // Every qualifying unit (or the one --printer or --serial names): what it
    // is, runs and holds, and its last change in the history. 1 when a
    // source of printers could not be read.
    // With a profile (a path; empty: none) each unit is also judged against it;
    // a profile that cannot be used is 2.
    int Inventory(const std::string& profile);
    // The same units' metrics written to `folder`/marnel.prom, replacing it
    // whole. 2 when the file cannot be written, 1 as Inventory.
    int Metrics(const std::string& folder, const std::string& profile);

private:
    // The units Inventory and Metrics report, each with its last history
    // entry (null when none).
    struct UnitsRead {
        UnitSurvey survey;
        std::vector<nlohmann::json> lastChanges;
        std::vector<UnitCompliance> compliance;  // one a unit when a profile was given
    };
    // False after saying why the profile at `profilePath` (when given) cannot be used.
    bool ReadUnits(const std::string& profilePath, UnitsRead* read);

    // The printer to work with: --printer, the one whose device carries
    // --serial, or the first qualifying one. Empty when there is none.
    std::string ChoosePrinter();

    // The units --printer or --serial narrow a fleet command to.
    SurveyScope Scope() const;
    // The profile at `path`, loaded and checked; false after saying why not.
    bool LoadProfileOrSay(const std::string& path, Profile* profile);
    // The chosen units, read; false after saying that there are none.
    bool SurveyOrSay(CDeviceAccess& access, std::vector<SurveyedUnit>* units);
    // The units in scope, with a warning when a source of printers could not
    // be read.
    UnitSurvey SurveyAndWarn(CDeviceAccess& access);

    // Opens the chosen printer's unit into *device; false after "Failed to connect.".
    bool OpenDevice(OpenedDevice* device);
    // "Failed to connect." with why `access` could not open the unit.
    void SayOpenFailed(const CDeviceAccess& access);

    // Ports that trace when --trace asks, on the world's services.
    CDeviceAccess MakeAccess();
    // Where the use cases record their changes, with the tool's exit statuses.
    ChangeLog MakeChangeLog() const;
    // `status`, or a failure when the change could not be recorded (said).
    int Recorded(const std::optional<CFileException>& historyError, int status) const;
    // Before a command changes a unit: false after saying why the backups
    // and the history cannot be kept.
    bool StateFolderUsable();

    // The command line that puts `backup` back into the unit: by its serial
    // when it has one, so that it reaches that unit and no other.
    std::string RestoreCommand(const std::string& backup, const std::string& printer,
                               const DeviceIdentity& unit) const;

    // Writes a command's output to the file `target`, or to standard output
    // for "-". False after the file error was said.
    bool SaveOutput(const std::string& target, const void* data, DWORD size);

    // "Failed to ..." with the transfer's cause.
    int TransferFailed(const Outcome& outcome, const std::string& text);

    // Opens the chosen unit and runs `read` on it. False with *status after
    // saying that it did not open or, with `failure`, that the read failed.
    template <typename Result>
    bool ReadUnit(Result (*read)(OpenedDevice&), const std::string& failure, Result* result,
                  int* status);

    int RenderPut(const std::string& file, const PutParametersOutcome& outcome);
    void RenderSelfTestEnd(const SelfTestOutcome& outcome, const std::string& printer,
                           nlohmann::json steps);
    int RenderFirmwareFailure(const std::string& file, const FirmwareOutcome& outcome);
    int RenderVerification(const std::string& printer, const FirmwareOutcome& outcome,
                           nlohmann::json* result);

    const Console& m_console;
    DeviceWorld& m_world;
    IFileSystem& m_files;
    IEnvironment& m_environment;
    GlobalOptions m_options;
};

// The tool's exit status for a use case's outcome.
int ExitStatusFor(const Outcome& outcome);

// Describes a parameter file without a device. 0 valid, 1 invalid, 2 file error.
int InspectParameterFile(const Console& console, IFileSystem& files, const std::string& file);

}  // namespace marnel::cli
