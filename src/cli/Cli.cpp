#include "cli/Cli.h"

#include <algorithm>
#include <ostream>
#include <stdexcept>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/StateCommands.h"
#include "cli/SupportBundle.h"
#include "files/FileException.h"
#include "cli/ToolVersion.h"

namespace marnel::cli {

namespace {

constexpr const char* kDefaultModel = "KQ-10";

// The edit distance between two words, for "did you mean".
std::size_t Distance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1,
                               diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The known word nearest to `word`, when it is near enough to be a typo.
std::string Nearest(const std::string& word, const std::vector<std::string>& known) {
    std::string best;
    std::size_t bestDistance = 3;  // at most two edits
    for (const std::string& candidate : known) {
        const std::size_t d = Distance(word, candidate);
        if (d < bestDistance && d < candidate.size()) {
            best = candidate;
            bestDistance = d;
        }
    }
    return best;
}

std::vector<std::string> CommandNames(const CLI::App& app) {
    std::vector<std::string> names;
    for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
        names.push_back(sub->get_name());
    }
    return names;
}

// After a failed parse: the words of the command line that name nothing,
// each with the command or option it was likely meant to be.
void SuggestForTypos(const CLI::App& app, int argc, const char* const* argv, std::ostream& err) {
    const std::vector<std::string> commands = CommandNames(app);
    std::vector<std::string> options;
    for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
        for (const CLI::Option* option : sub->get_options()) {
            for (const std::string& name : option->get_lnames()) {
                options.push_back("--" + name);
            }
        }
    }
    for (const CLI::Option* option : app.get_options()) {
        for (const std::string& name : option->get_lnames()) {
            options.push_back("--" + name);
        }
    }
    bool commandSeen = false;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        const std::string name = word.substr(0, word.find('='));
        if (word.compare(0, 2, "--") == 0) {
            if (std::find(options.begin(), options.end(), name) == options.end()) {
                const std::string meant = Nearest(name, options);
                if (!meant.empty()) {
                    err << "marnel: unknown option '" << name << "'; did you mean '" << meant
                        << "'?\n";
                }
            }
        } else if (!commandSeen && !word.empty() && word[0] != '-' &&
                   (i == 1 || (std::string(argv[i - 1]) != "--printer" &&
                               std::string(argv[i - 1]) != "--serial" &&
                               std::string(argv[i - 1]) != "--simulate-state"))) {
            commandSeen = true;
            if (std::find(commands.begin(), commands.end(), word) == commands.end()) {
                const std::string meant = Nearest(word, commands);
                if (!meant.empty()) {
                    err << "marnel: unknown command '" << word << "'; did you mean '" << meant
                        << "'?\n";
                }
            }
        }
    }
}

// A value given as "" names nothing: refused before anything runs, rather
// than taken as "none given" (the first device) or as 0 seconds.
CLI::Validator NotEmpty(const char* what, const char* typeName) {
    return CLI::Validator(
        [what](std::string& value) { return value.empty() ? std::string(what) : ""; }, typeName);
}
const CLI::Validator kNamedFile = NotEmpty("an empty file name", "FILE");
const CLI::Validator kNamedPrinter = NotEmpty("an empty printer name", "NAME");
const CLI::Validator kNamedSerial = NotEmpty("an empty serial number", "SN");
const CLI::Validator kSeconds = NotEmpty("an empty number of seconds", "SECONDS");

// Whether the command line asks for JSON, also when it could not be parsed.
bool AsksForJson(int argc, const char* const* argv) {
    for (int i = 1; i < argc && std::string(argv[i]) != "--"; ++i) {
        if (std::string(argv[i]) == "--json") {
            return true;
        }
    }
    return false;
}

struct ParsedCommand {
    std::string name;
    std::string file;
    std::string outputFile;
    std::string helpTopic;
    std::string profile;
    std::string textfileFolder;
    std::string simulateModel;
    std::string simulateState;
    CLI::Option* simulate = nullptr;
    GlobalOptions options;
    DeviceCommands::PutParamsOptions putOptions;
    DeviceCommands::FirmwareOptions firmwareOptions;
    DeviceCommands::ApplyOptions applyOptions;
};

void AddGlobalOptions(CLI::App& app, Console& console, ParsedCommand& command) {
    app.require_subcommand(1);
    // Global options may follow the command too: "marnel report --json".
    app.fallthrough();
    app.set_version_flag("--version", std::string(kToolName) + " " + kToolVersion);
    app.set_help_all_flag("--help-all", "Print this help and the help of every command");
    app.footer(
        "Exit status: 0 success, 1 the device refused or a transfer failed,\n"
        "2 usage or file error, 3 no device could be opened.\n"
        "list, inventory, metrics: 1 when CUPS or the USB bus could not be read.\n"
        "doctor: 1 when a check failed. metrics: 2 when the file cannot be written.\n"
        "inspect: 0 valid, 1 invalid, 2 file error.\n"
        "check: 1 when a unit differs from the profile or could not be read; apply: 1 when a "
        "unit failed.");
    app.add_option("--printer", command.options.printer,
                   "Printer (queue) name of the device; default: the first Zarvel device found")
        ->check(kNamedPrinter);
    app.add_option("--serial", command.options.serial,
                   "USB serial number of the device (see 'marnel list'), instead of --printer")
        ->check(kNamedSerial)
        ->type_name("SN");
    command.simulate =
        app.add_option("--simulate", command.simulateModel,
                       "Use the built-in simulated devices instead of real hardware, one per MODEL "
                       "named (" + SimulatedModelNames() + "; default " + kDefaultModel + ")")
            ->expected(0, 1)
            ->type_name("[=MODEL[,MODEL...]]");
    app.add_option("--simulate-state", command.simulateState,
                   "Keep the simulated devices in FILE from one command to the next (implies "
                   "--simulate; a missing FILE starts with the models --simulate names)")
        ->check(kNamedFile)
        ->type_name("FILE");
    app.add_flag("--json", console.json, "Print each result as one JSON object");
    app.add_flag("--trace", command.options.trace,
                 "Print every vendor request and reply in hex on standard error");
}

void AddDeviceCommands(CLI::App& app, ParsedCommand& command) {
    app.add_subcommand(
        "list", "List the local printers, each device's serial and mode, and which one is chosen");
    app.add_subcommand(
        "doctor", "Check this machine's set-up for the devices, one check a line, with each fix");
    app.add_subcommand("report", "Print the device's report")
        ->add_option("-o,--output", command.outputFile,
                     "Save the report to FILE instead (- for standard output, bytes unchanged)")
        ->check(kNamedFile)
        ->type_name("FILE");
    app.add_subcommand("get-params", "Read the 266-byte parameter block and save it to FILE")
        ->add_option("FILE", command.file, "Parameter file to write (- for standard output)")
        ->required()
        ->check(kNamedFile);
    auto* putParams = app.add_subcommand(
        "put-params", "Write a 266-byte parameter FILE into the device and have it stored");
    putParams->add_option("FILE", command.file, "Parameter file to send")
        ->required()
        ->check(kNamedFile)
        ->check(CLI::ExistingFile);
    putParams->add_flag("--force", command.putOptions.force,
                        "Send a file whose checksum fails or whose model is not the device's");
    putParams->add_flag("--no-backup", command.putOptions.noBackup,
                        "Do not save the device's parameters to the backup store first");
    app.add_subcommand("version", "Print the device's firmware version");
    app.add_subcommand(
        "self-test",
        "Run every device transfer once and show each step: read the parameters, write a "
        "dummy block and the original back, read again and compare, version, report");
}

void AddFirmwareCommand(CLI::App& app, ParsedCommand& command) {
    DeviceCommands::FirmwareOptions& options = command.firmwareOptions;
    auto* firmware = app.add_subcommand(
        "firmware",
        "Send a firmware FILE to the device as a raw print job, once the device has been "
        "restarted in its VERSION UP mode");
    firmware->add_option("FILE", command.file, "Firmware file (*.kvf or any file)")
        ->required()
        ->check(kNamedFile);
    firmware->add_flag("--yes", options.yes,
                       "Do not wait for Enter: poll every second until the device leaves service "
                       "mode");
    firmware->add_option("--timeout", options.timeoutSeconds,
                         "How long --yes waits for the update mode, in seconds (default 60)")
        ->check(kSeconds)
        ->type_name("SECONDS");
    firmware->add_flag("--verify,!--no-verify", options.verify,
                       "After the job, wait for the device in service mode and compare its "
                       "version and parameters with those before (default on)");
    firmware->add_option("--verify-timeout", options.verifyTimeoutSeconds,
                         "How long the check waits for the service mode, in seconds (default 180)")
        ->check(kSeconds)
        ->type_name("SECONDS");
    firmware->add_flag("--restore-params", options.restoreParams,
                       "Put back parameters that the upgrade changed, without asking");
}

void AddFleetCommands(CLI::App& app, ParsedCommand& command) {
    app.add_subcommand("check",
                       "Compare every unit (or the one --printer or --serial names) with a "
                       "profile; writes nothing")
        ->add_option("--profile", command.profile, "Profile FILE (see docs/PROFILE.md)")
        ->required()
        ->check(kNamedFile)
        ->type_name("FILE");
    auto* apply = app.add_subcommand(
        "apply",
        "Bring every unit (or the one --printer or --serial names) to a profile: firmware "
        "first, then parameters, each backed up, verified and recorded");
    apply->add_option("--profile", command.profile, "Profile FILE (see docs/PROFILE.md)")
        ->required()
        ->check(kNamedFile)
        ->type_name("FILE");
    apply->add_option("--timeout", command.applyOptions.timeoutSeconds,
                      "How long each unit's update mode is polled for, in seconds (default 60)")
        ->check(kSeconds)
        ->type_name("SECONDS");
    auto* profile = app.add_subcommand("profile", "Make a profile");
    profile->require_subcommand(1);
    profile
        ->add_subcommand("capture",
                         "Write a profile FILE of the chosen unit: its firmware version, and its "
                         "parameter block as <model>.prm beside FILE")
        ->add_option("FILE", command.file, "Profile to write; an existing file is not replaced")
        ->required()
        ->check(kNamedFile);
}

void AddInventoryCommands(CLI::App& app, ParsedCommand& command) {
    app.add_subcommand("inventory",
                       "List every unit with its model, serial, mode, firmware, the SHA-256 of its "
                       "parameters and its last recorded change, with the host and the time");
    app.add_subcommand("metrics",
                       "Write every unit's metrics to DIR/marnel.prom for a monitoring system's "
                       "textfile collector, replacing the file whole")
        ->add_option("--textfile", command.textfileFolder, "The collector's folder")
        ->required()
        ->check(NotEmpty("an empty folder name", "DIR"))
        ->type_name("DIR");
}

void AddStateCommands(CLI::App& app, ParsedCommand& command) {
    app.add_subcommand("history",
                       "List every change made to a device, oldest first, from the history");
    app.add_subcommand("backups",
                       "List the parameter backups kept before each change to a device");
    app.add_subcommand("inspect",
                       "Check a parameter FILE without a device: layout, model, checksum")
        ->add_option("FILE", command.file, "Parameter file to check")
        ->required()
        ->check(kNamedFile);
    app.add_subcommand(
           "support-bundle",
           "Gather what the maker's support needs (doctor, list, versions, report, parameters, "
           "history, a trace) into a new FILE.tar.gz")
        ->add_option("FILE", command.file, "Archive to write; an existing file is not replaced")
        ->required()
        ->check(kNamedFile);
    app.add_subcommand("help", "Print the help of marnel, or of COMMAND")
        ->add_option("COMMAND", command.helpTopic, "A command");
    for (CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
        sub->callback([&command, sub] { command.name = sub->get_name(); });
    }
}

// "help [COMMAND]".
int PrintHelp(const CLI::App& app, const Console& console, const std::string& topic) {
    if (topic.empty()) {
        console.out << app.help();
        return kExitSuccess;
    }
    for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
        if (sub->get_name() == topic) {
            console.out << sub->help();
            return kExitSuccess;
        }
    }
    const std::string meant = Nearest(topic, CommandNames(app));
    console.Failure("marnel: unknown command '" + topic + "'" +
                    (meant.empty() ? "" : "; did you mean '" + meant + "'?"));
    return kExitUsage;
}

// Options that cannot go together; 0 when they can.
int RefuseConflicts(const Console& console, const ParsedCommand& command) {
    if (console.json && (command.file == kStandardOutput || command.outputFile == kStandardOutput)) {
        console.Failure("--json and - cannot share standard output; name a file");
        return kExitUsage;
    }
    if (!command.options.printer.empty() && !command.options.serial.empty()) {
        console.Failure("--printer and --serial both choose the device; give one");
        return kExitUsage;
    }
    return kExitSuccess;
}

int RunDeviceCommand(DeviceCommands& commands, const ParsedCommand& command) {
    const std::string& name = command.name;
    if (name == "list") {
        return commands.List();
    }
    if (name == "doctor") {
        return commands.Doctor();
    }
    if (name == "report") {
        return commands.Report(command.outputFile);
    }
    if (name == "get-params") {
        return commands.GetParams(command.file);
    }
    if (name == "put-params") {
        return commands.PutParams(command.file, command.putOptions);
    }
    if (name == "firmware") {
        return commands.Firmware(command.file, command.firmwareOptions);
    }
    if (name == "self-test") {
        return commands.SelfTest();
    }
    if (name == "check") {
        return commands.Check(command.profile);
    }
    if (name == "apply") {
        return commands.Apply(command.profile, command.applyOptions);
    }
    if (name == "profile") {
        return commands.CaptureProfile(command.file);
    }
    if (name == "inventory") {
        return commands.Inventory();
    }
    if (name == "metrics") {
        return commands.Metrics(command.textfileFolder);
    }
    return commands.Version();
}

// Runs a parsed command line.
int Dispatch(const CLI::App& app, Console& console, IFileSystem& files,
             IEnvironment& environment, IHashing& hashing, const WorldFactory& makeWorld,
             ParsedCommand& command) {
    if (command.name == "help") {
        return PrintHelp(app, console, command.helpTopic);
    }
    if (const int refused = RefuseConflicts(console, command)) {
        return refused;
    }
    if (command.simulate->count() > 0 || !command.simulateState.empty()) {
        command.options.simulateModel =
            command.simulateModel.empty() ? std::string(kDefaultModel) : command.simulateModel;
        command.options.simulateState = command.simulateState;
    }
    if (command.name == "inspect") {
        return InspectParameterFile(console, files, command.file);
    }
    if (command.name == "history") {
        return ShowHistory(console, files, environment);
    }
    if (command.name == "backups") {
        return ListBackups(console, files, environment, &hashing);
    }
    std::optional<Simulation> simulation;
    if (command.options.simulateModel) {
        simulation = Simulation{*command.options.simulateModel, command.options.simulateState};
    }
    std::unique_ptr<DeviceWorld> world;
    try {
        world = makeWorld(simulation);
    } catch (const std::invalid_argument& e) {
        console.Failure(e.what());
        return kExitUsage;
    } catch (const CFileException& e) {
        console.FileFailure(e, "the simulated devices' state could not be read");
        return kExitUsage;
    }
    if (command.name == "support-bundle") {
        // Its own commands open the world again, state file and all.
        world.reset();
        return MakeSupportBundle(console, files, environment, command.options, command.file);
    }
    DeviceCommands commands(console, *world, files, environment, command.options);
    int status = RunDeviceCommand(commands, command);
    // Also after a failure: a unit may have changed before it.
    try {
        world->Keep();
    } catch (const CFileException& e) {
        console.FileFailure(e, "the simulated devices' state was not kept");
        status = status == kExitSuccess ? kExitUsage : status;
    }
    return status;
}

int RunCommand(int argc, const char* const* argv, Console& console, IFileSystem& files,
               IEnvironment& environment, IHashing& hashing, const WorldFactory& makeWorld) {
    CLI::App app{
        "marnel - service tool for Zarvel KQ and ZT series USB devices.\n"
        "Names the attached device, fetches its report, backs up and restores its\n"
        "266-byte parameter block, sends it new firmware and runs its self test.\n"
        "Without --simulate it works on this machine's printers (CUPS queues on\n"
        "Linux, the spooler's on Windows) and USB devices; with --simulate on a\n"
        "built-in simulated device.",
        "marnel"};
    ParsedCommand command;
    AddGlobalOptions(app, console, command);
    AddDeviceCommands(app, command);
    AddFirmwareCommand(app, command);
    AddFleetCommands(app, command);
    AddInventoryCommands(app, command);
    AddStateCommands(app, command);
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
        SuggestForTypos(app, argc, argv, console.err);
        if (AsksForJson(argc, argv)) {
            // A reader of the JSON gets the reason too, not only its status.
            console.json = true;
            console.Failure(e.what());
        }
        return kExitUsage;
    }
    return Dispatch(app, console, files, environment, hashing, makeWorld, command);
}

}  // namespace

int RunCli(int argc, const char* const* argv, Console& console, IFileSystem& files,
           IEnvironment& environment, IHashing& hashing, const WorldFactory& makeWorld) {
    return console.Finish(
        RunCommand(argc, argv, console, files, environment, hashing, makeWorld));
}

}  // namespace marnel::cli
