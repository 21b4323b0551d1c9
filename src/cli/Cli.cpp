#include "cli/Cli.h"

#include <ostream>
#include <stdexcept>

#include <CLI/CLI.hpp>

#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/StateCommands.h"

namespace marnel::cli {

namespace {

constexpr const char* kDefaultModel = "KQ-10";

struct ParsedCommand {
    std::string name;
    std::string file;
    std::string outputFile;
};

}  // namespace

namespace {

int RunCommand(int argc, const char* const* argv, Console& console, IFileSystem& files,
               IEnvironment& environment, const WorldFactory& makeWorld) {
    CLI::App app{
        "marnel - service tool for Zarvel KQ and ZT series USB devices.\n"
        "Names the attached device, fetches its report, backs up and restores its\n"
        "266-byte parameter block, sends it new firmware and runs its self test.\n"
        "Without --simulate it works on this machine's\n"
        "CUPS queues and USB devices; with --simulate on a built-in simulated device.",
        "marnel"};
    app.require_subcommand(1);
    app.set_version_flag("--version", "marnel 2.01");
    app.set_help_all_flag("--help-all", "Print this help and the help of every command");
    app.footer(
        "Exit status: 0 success, 1 the device refused or a transfer failed,\n"
        "2 usage or file error, 3 no device could be opened.\n"
        "inspect: 0 valid, 1 invalid, 2 file error.");

    GlobalOptions options;
    std::string simulateModel;
    app.add_option("--printer", options.printer,
                   "Printer (queue) name of the device; default: the first Zarvel device found");
    CLI::Option* simulate =
        app.add_option("--simulate", simulateModel,
                       "Use the built-in simulated device instead of real hardware; MODEL is one "
                       "of " + SimulatedModelNames() + " (default " + kDefaultModel + ")")
            ->expected(0, 1)
            ->type_name("[=MODEL]");
    app.add_flag("--json", console.json, "Print each result as one JSON object");
    app.add_flag("--trace", options.trace,
                 "Print every vendor request and reply in hex on standard error");

    ParsedCommand command;
    auto* list = app.add_subcommand("list", "List the local printers and show which one is chosen");
    auto* report = app.add_subcommand("report", "Print the device's report");
    report->add_option("-o,--output", command.outputFile, "Save the report to FILE instead")
        ->type_name("FILE");
    auto* getParams =
        app.add_subcommand("get-params", "Read the 266-byte parameter block and save it to FILE");
    getParams->add_option("FILE", command.file, "Parameter file to write")->required();
    auto* putParams = app.add_subcommand(
        "put-params", "Write a 266-byte parameter FILE into the device and have it stored");
    putParams->add_option("FILE", command.file, "Parameter file to send")
        ->required()
        ->check(CLI::ExistingFile);
    DeviceCommands::PutParamsOptions putOptions;
    putParams->add_flag("--force", putOptions.force,
                        "Send a file whose checksum fails or whose model is not the device's");
    putParams->add_flag("--no-backup", putOptions.noBackup,
                        "Do not save the device's parameters to the backup store first");
    auto* version = app.add_subcommand("version", "Print the device's firmware version");
    auto* selfTest = app.add_subcommand(
        "self-test",
        "Run every device transfer once and show each step: read the parameters, write a "
        "dummy block and the original back, read again and compare, version, report");
    DeviceCommands::FirmwareOptions firmwareOptions;
    auto* firmware = app.add_subcommand(
        "firmware",
        "Send a firmware FILE to the device as a raw print job, once the device has been "
        "restarted in its VERSION UP mode");
    firmware->add_option("FILE", command.file, "Firmware file (*.kvf or any file)")->required();
    firmware->add_flag("--yes", firmwareOptions.yes,
                       "Do not wait for Enter: poll every second until the device leaves service "
                       "mode");
    firmware->add_option("--timeout", firmwareOptions.timeoutSeconds,
                         "How long --yes waits for the update mode, in seconds (default 60)")
        ->type_name("SECONDS");
    firmware->add_flag("--verify,!--no-verify", firmwareOptions.verify,
                       "After the job, wait for the device in service mode and compare its "
                       "version and parameters with those before (default on)");
    firmware->add_option("--verify-timeout", firmwareOptions.verifyTimeoutSeconds,
                         "How long the check waits for the service mode, in seconds (default 180)")
        ->type_name("SECONDS");
    firmware->add_flag("--restore-params", firmwareOptions.restoreParams,
                       "Put back parameters that the upgrade changed, without asking");
    auto* history = app.add_subcommand(
        "history", "List every change made to a device, oldest first, from the history");
    auto* backups = app.add_subcommand(
        "backups", "List the parameter backups kept before each change to a device");
    auto* inspect = app.add_subcommand(
        "inspect", "Check a parameter FILE without a device: layout, model, checksum");
    inspect->add_option("FILE", command.file, "Parameter file to check")->required();
    for (CLI::App* sub :
         {list, report, getParams, putParams, version, selfTest, firmware, inspect, history, backups}) {
        sub->callback([&command, sub] { command.name = sub->get_name(); });
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e, console.out, console.err);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e, console.out, console.err);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e, console.out, console.err);
    } catch (const CLI::ParseError& e) {
        app.exit(e, console.out, console.err);
        return kExitUsage;
    }
    if (simulate->count() > 0) {
        options.simulateModel = simulateModel.empty() ? std::string(kDefaultModel) : simulateModel;
    }

    if (command.name == "inspect") {
        return InspectParameterFile(console, files, command.file);
    }
    if (command.name == "history") {
        return ShowHistory(console, files, environment);
    }
    if (command.name == "backups") {
        return ListBackups(console, files, environment);
    }

    std::unique_ptr<DeviceWorld> world;
    try {
        world = makeWorld(options.simulateModel);
    } catch (const std::invalid_argument& e) {
        console.Failure(e.what());
        return kExitUsage;
    }
    DeviceCommands commands(console, *world, files, environment, options);
    if (command.name == "list") {
        return commands.List();
    }
    if (command.name == "report") {
        return commands.Report(command.outputFile);
    }
    if (command.name == "get-params") {
        return commands.GetParams(command.file);
    }
    // The commands that change a device leave a line in the history.
    if (command.name == "put-params" || command.name == "firmware" ||
        command.name == "self-test") {
        const int status = command.name == "put-params"
                               ? commands.PutParams(command.file, putOptions)
                           : command.name == "firmware"
                               ? commands.Firmware(command.file, firmwareOptions)
                               : commands.SelfTest();
        commands.RecordHistory(status);
        return status;
    }
    return commands.Version();
}

}  // namespace

int RunCli(int argc, const char* const* argv, Console& console, IFileSystem& files,
           IEnvironment& environment, const WorldFactory& makeWorld) {
    return console.Finish(RunCommand(argc, argv, console, files, environment, makeWorld));
}

}  // namespace marnel::cli
