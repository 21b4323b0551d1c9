#include "cli/SupportBundle.h"

#include <algorithm>
#include <functional>
#include <ostream>
#include <vector>

#include "cli/ExitStatus.h"
#include "cli/FileErrorText.h"
#include "cli/SignalHold.h"
#include "files/File.h"
#include "files/TarGzWriter.h"
#include "ops/History.h"
#include "ops/StateFolder.h"
#include "platform/ChildProcess.h"
#include "platform/Environment.h"

namespace marnel::cli {

namespace {

// How long one command may take; a device that hangs a child must not hang
// the bundle.
constexpr unsigned kChildSeconds = 120;

// The history can grow without end (30 MB seen); the latest lines say what
// support needs.
constexpr std::uint64_t kHistoryBytes = 1024 * 1024;

// What the bundle holds, for whoever opens it (and decides whom to give it);
// `system` is what the system's own file holds.
std::string Readme(const std::string& system) {
    return "This support bundle was made by marnel support-bundle for the maker's support.\n"
           "It holds this machine's set-up (doctor), its printers and the serial numbers of\n"
           "the attached devices (list), the device's firmware version and report, its\n"
           "266-byte parameter block (parameters.prm), a trace of the requests that identify\n"
           "it, " +
           system +
           ", and the history of changes to devices\n"
           "(history.jsonl: the file names, printers and backups of each change; at most its\n"
           "last 1 MiB of whole lines, MANIFEST.txt says whether older lines were left out).\n"
           "MANIFEST.txt lists each file and how the command that made it ended.\n"
           "The archive can be read by its owner only; share it with support alone.\n";
}

struct BundleCommand {
    const char* file;  // its standard output; what it says on standard error goes
                       // to <stem>.stderr.txt
    std::vector<const char*> arguments;
};

const BundleCommand kCommands[] = {
    {"version.txt", {"--version"}},          {"doctor.txt", {"doctor"}},
    {"doctor.json", {"--json", "doctor"}},   {"list.txt", {"list"}},
    {"device-version.txt", {"version"}},     {"report.txt", {"report"}},
    {"parameters.prm", {"get-params", "-"}}, {"identity-trace.txt", {"--trace", "version"}},
};

// One line of what was collected, as printed and as the manifest keeps it.
struct Collected {
    std::string file;
    std::string outcome;  // "exit 0", "killed by signal 9", "copied", ...
    std::string what;     // the command line, or what the file is
    int exitStatus = -1;  // -1 when no command ran
    bool inArchive = true;
};

std::string Stem(const std::string& file) {
    return file.substr(0, file.rfind('.'));
}

std::string OutcomeOf(const ChildOutcome& child) {
    if (!child.started) {
        return "not run: " + child.error;
    }
    if (child.timedOut) {
        return "stopped after " + Counted(kChildSeconds, "second");
    }
    return child.signal != 0 ? "killed by signal " + std::to_string(child.signal)
                             : "exit " + std::to_string(child.exitStatus);
}

std::vector<std::string> ForwardedOptions(const GlobalOptions& options) {
    std::vector<std::string> forwarded;
    if (!options.simulateState.empty()) {
        forwarded.push_back("--simulate-state=" + options.simulateState);
    } else if (options.simulateModel) {
        forwarded.push_back("--simulate=" + *options.simulateModel);
    }
    if (!options.printer.empty()) {
        forwarded.push_back("--printer=" + options.printer);
    }
    if (!options.serial.empty()) {
        forwarded.push_back("--serial=" + options.serial);
    }
    return forwarded;
}

void WriteText(IFileSystem& files, const std::string& path, const std::string& text) {
    CFile file(files);
    file.Create(path);
    file.Write(text.data(), static_cast<DWORD>(text.size()));
    file.Close();
}

// Copies the history's last lines, read beside its writers so that no
// change goes unrecorded while the bundle is made. A history that cannot be
// read is said in the manifest; the bundle goes on.
Collected CopyHistory(IFileSystem& files, IEnvironment& environment, const std::string& target) {
    const std::string path = CHistory(files, environment).Path();
    PathKind kind = PathKind::kNothing;
    if (path.empty() || !files.GetPathKind(path, &kind, nullptr) || kind == PathKind::kNothing) {
        return {"history.jsonl", "none yet", "the history file", -1, false};
    }
    std::uint64_t skipped = 0;
    try {
        WriteText(files, target, ReadHistoryText(files, path, kHistoryBytes, &skipped));
    } catch (const CFileException& error) {
        return {"history.jsonl", "not read", DescribeFileError(error).Said(), -1, false};
    }
    return {"history.jsonl", "copied",
            skipped == 0 ? "the history file, whole"
                         : "the history file's last whole lines within 1 MiB (" +
                               Counted(skipped, "older byte") + " left out)"};
}

// Gathers every item into `folder`; stops after the item at hand when
// `stop` says so.
std::vector<Collected> Gather(IFileSystem& files, IEnvironment& environment,
                              const GlobalOptions& options, const std::string& folder,
                              const std::function<bool()>& stop) {
    std::vector<Collected> collected;
    const std::string self = OwnExecutable();
    const std::vector<std::string> forwarded = ForwardedOptions(options);
    for (const BundleCommand& command : kCommands) {
        std::vector<std::string> argv{self.empty() ? std::string("marnel") : self};
        argv.insert(argv.end(), forwarded.begin(), forwarded.end());
        argv.insert(argv.end(), command.arguments.begin(), command.arguments.end());
        std::string shown = "marnel";
        for (std::size_t i = 1; i < argv.size(); ++i) {
            shown += " " + argv[i];
        }
        if (stop()) {
            return collected;
        }
        const ChildOutcome child =
            RunChild(argv, folder + "/" + command.file,
                     folder + "/" + Stem(command.file) + ".stderr.txt", kChildSeconds, stop);
        collected.push_back(
            {command.file, OutcomeOf(child), shown,
             child.started && !child.timedOut && child.signal == 0 ? child.exitStatus : -1});
    }
    const SystemFacts facts = GatherSystemFacts();
    WriteText(files, folder + "/" + facts.file, facts.text);
    collected.push_back({facts.file, "written", facts.what});
    collected.push_back(CopyHistory(files, environment, folder + "/history.jsonl"));
    WriteText(files, folder + "/README.txt", Readme(facts.what));
    return collected;
}

// The whole of a file the bundle made.
std::string ReadWhole(IFileSystem& files, const std::string& path) {
    CFile file(files);
    file.OpenRead(path);
    std::string text;
    char buffer[65536];
    for (DWORD got; (got = file.Read(buffer, sizeof buffer)) > 0;) {
        text.append(buffer, got);
    }
    file.Close();
    return text;
}

// Packs every file of `work`/`member`, by name, into the claimed `archive`.
// False when a name did not fit or `stop` said so part-way; file errors are
// raised.
bool Archive(IFileSystem& files, IEnvironment& environment, const std::string& archive,
             const std::string& work, const std::string& member,
             const std::function<bool()>& stop) {
    const std::string folder = work + "/" + member;
    std::vector<std::string> names;
    FileError listed;
    if (!files.ListFiles(folder, &names, &listed)) {
        throw CFileException(listed.cause, folder, listed.osError);
    }
    std::sort(names.begin(), names.end());
    CFile file(files);
    file.Create(archive);
    CTarGzWriter writer(file, static_cast<std::uint64_t>(environment.UtcSeconds()));
    // The bundle's names are its own and short; one that does not fit is a
    // fault of this code, said by the caller.
    bool fits = writer.AddFolder(member);
    for (const std::string& name : names) {
        if (stop()) {
            return false;
        }
        fits = writer.AddFile(member + "/" + name, ReadWhole(files, folder + "/" + name)) && fits;
    }
    writer.Finish();
    file.Close();
    return fits;
}

std::string Line(const Collected& item) {
    std::string line = "  " + item.file;
    line.resize(std::max<std::size_t>(line.size() + 1, 24), ' ');
    std::string outcome = item.outcome;
    outcome.resize(std::max<std::size_t>(outcome.size() + 1, 10), ' ');
    return line + outcome + item.what;
}

// Claims `archive` so that an existing file is refused before anything runs,
// readable by this user alone: it holds serials and the history. False after
// saying why.
bool ClaimArchive(const Console& console, IFileSystem& files, const std::string& archive) {
    if (archive == kStandardOutput) {
        console.Failure("marnel: support-bundle writes a file; name one (e.g. support.tar.gz)");
        return false;
    }
    CFile claim(files);
    try {
        if (!claim.CreateNew(archive)) {
            console.Failure("marnel: " + archive +
                            " exists already; the support bundle never replaces a file. "
                            "Remove it or give another name.");
            return false;
        }
        claim.Close();
    } catch (const CFileException& error) {
        console.FileFailure(error);
        return false;
    }
    std::string error;
    if (!KeepPrivate(archive, &error)) {
        files.Remove(archive, nullptr);
        console.Failure("marnel: the support bundle could not be kept private", error);
        return false;
    }
    return true;
}

// Writes MANIFEST.txt into `folder` and says each item; the items as JSON.
nlohmann::json WriteManifest(const Console& console, IFileSystem& files, IEnvironment& environment,
                             const std::string& folder, const std::vector<Collected>& collected) {
    std::string manifest = "What marnel collected, made " +
                           UtcTimestamp(environment.UtcSeconds(), false) +
                           "; what a command said on standard error is in <name>.stderr.txt.\n";
    nlohmann::json items = nlohmann::json::array();
    for (const Collected& item : collected) {
        manifest += Line(item) + '\n';
        if (!console.json) {
            console.out << Line(item) << '\n';
        }
        items.push_back({{"file", item.file}, {"outcome", item.outcome}, {"what", item.what}});
        if (item.exitStatus >= 0) {
            items.back()["exitStatus"] = item.exitStatus;
        }
    }
    WriteText(files, folder + "/MANIFEST.txt", manifest);
    return items;
}

// Gathers the items into `work`/`member` and packs them into `archive`.
// Returns the exit status; file errors are raised.
int Pack(const Console& console, IFileSystem& files, IEnvironment& environment,
         const GlobalOptions& options, const std::string& archive, const std::string& work,
         const std::string& member, const std::function<bool()>& stop) {
    const std::string folder = work + "/" + member;
    FileError made;
    if (!files.MakeFolders(folder, &made)) {
        throw CFileException(made.cause, folder, made.osError);
    }
    const std::vector<Collected> collected = Gather(files, environment, options, folder, stop);
    if (stop()) {
        return kExitUsage;  // the caller says why
    }
    const nlohmann::json items = WriteManifest(console, files, environment, folder, collected);
    const bool packed = Archive(files, environment, archive, work, member, stop);
    if (stop()) {
        return kExitUsage;
    }
    if (!packed) {
        console.Failure("marnel: a name in the bundle is too long for its archive");
        return kExitUsage;
    }
    if (console.json) {
        console.Result({{"ok", true}, {"file", archive}, {"items", items}});
        return kExitSuccess;
    }
    const auto kept = std::count_if(collected.begin(), collected.end(),
                                    [](const Collected& item) { return item.inArchive; });
    console.out << "Support bundle written to " << archive << " ("
                << Counted(static_cast<std::uint64_t>(kept), "item") << ").\n";
    return kExitSuccess;
}

}  // namespace

int MakeSupportBundle(const Console& console, IFileSystem& files, IEnvironment& environment,
                      const GlobalOptions& options, const std::string& archive) {
    // A signal is held from the claim on, so that the archive it claimed and
    // the temporary folder go with it: a bundle half made blocks a rerun.
    const SignalHold hold;
    const std::function<bool()> stop = [&hold] { return hold.Caught() != 0; };
    if (!ClaimArchive(console, files, archive)) {
        return kExitUsage;
    }
    std::string error;
    const std::string work = MakePrivateFolder("marnel-support-", &error);
    if (work.empty()) {
        files.Remove(archive, nullptr);
        console.Failure("marnel: no temporary folder for the bundle", error);
        return kExitUsage;
    }
    const std::string member = "marnel-support-" + UtcTimestamp(environment.UtcSeconds(), true);
    int status = kExitSuccess;
    try {
        status = Pack(console, files, environment, options, archive, work, member, stop);
    } catch (const CFileException& fileError) {
        console.FileFailure(fileError);
        status = kExitUsage;
    }
    RemoveFolderTree(work);
    if (stop()) {
        console.Failure("marnel: interrupted; no support bundle was made");
        status = SignalHold::ExitStatusFor(hold.Caught());
    }
    if (status != kExitSuccess) {
        files.Remove(archive, nullptr);
    }
    return status;
}

}  // namespace marnel::cli
