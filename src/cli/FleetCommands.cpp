// The fleet commands: `check` and `apply` compare every chosen unit with a
// profile (and converge them), `profile capture` makes a profile from one
// unit. The use cases in ops/ do the work; this file renders it.
#include <ostream>

#include "cli/Commands.h"
#include "cli/ConsoleFirmwareObserver.h"
#include "cli/ExitStatus.h"
#include "cli/FileErrorText.h"
#include "cli/SignalHold.h"
#include "cli/UnitRecord.h"
#include "files/File.h"
#include "files/Sha256.h"
#include "ops/BackupStore.h"
#include "ops/FleetApply.h"
#include "ops/History.h"
#include "platform/Environment.h"
#include "res/StringTable.h"

namespace marnel::cli {

namespace {

// "Zarvel KQ-10 (KQ10SN0001)".
std::string UnitName(const UnitCompliance& unit) {
    return PrintableLine(unit.printer) +
           (unit.serial.empty() ? std::string() : " (" + PrintableLine(unit.serial) + ")");
}

// "compliant", "not in the profile", "firmware 1.05, wanted 1.06; parameters
// differ at bytes 10-13, 200", "not read: ...".
std::string Verdict(const UnitCompliance& unit) {
    if (!unit.error.empty()) {
        return "not read: " + PrintableLine(unit.error);
    }
    if (!unit.covered) {
        return "model " + PrintableLine(unit.model) + " is not in the profile";
    }
    if (unit.compliant) {
        return "compliant";
    }
    std::string text;
    if (unit.firmware && !unit.firmware->compliant) {
        text = "firmware " + PrintableLine(unit.firmware->current) + ", wanted " +
               PrintableLine(unit.firmware->wanted);
    }
    if (unit.parameters && !unit.parameters->compliant) {
        const std::string ranges = RangesText(unit.parameters->differences);
        text += (text.empty() ? "" : "; ") + std::string("parameters differ at byte") +
                (ranges.find_first_of("-,") == std::string::npos ? " " : "s ") + ranges;
    }
    return text;
}

// The history's own line as an object; a line that does not parse stays text.
nlohmann::json HistoryLines(const std::vector<std::string>& lines) {
    nlohmann::json objects = nlohmann::json::array();
    for (const std::string& line : lines) {
        nlohmann::json object = nlohmann::json::parse(line, nullptr, false);
        objects.push_back(object.is_discarded() ? nlohmann::json(line) : object);
    }
    return objects;
}

}  // namespace

SurveyScope DeviceCommands::Scope() const {
    return SurveyScope{m_options.printer, m_options.serial};
}

bool DeviceCommands::LoadProfileOrSay(const std::string& path, Profile* profile) {
    ProfileProblem problem;
    if (LoadProfile(m_files, *m_world.Services().hashing, m_environment.PathSeparator(), path,
                    profile, &problem)) {
        return true;
    }
    if (problem.fileError) {
        m_console.FileFailure(*problem.fileError, "the profile " + path + " cannot be used");
    } else {
        m_console.Failure("Bad profile: " + problem.file + " " + problem.what + ".");
    }
    return false;
}

UnitSurvey DeviceCommands::SurveyAndWarn(CDeviceAccess& access) {
    UnitSurvey survey = SurveyUnits(access, Scope(), m_world.Services().hashing);
    if (survey.incomplete) {
        m_console.Warning(
            "a source of printers could not be read; units may be missing (see "
            "'marnel list')");
    }
    return survey;
}

bool DeviceCommands::SurveyOrSay(CDeviceAccess& access, std::vector<SurveyedUnit>* units) {
    UnitSurvey survey = SurveyAndWarn(access);
    if (survey.units.empty()) {
        const bool narrowed = !m_options.printer.empty() || !m_options.serial.empty();
        m_console.Failure("No Zarvel unit found.",
                          std::string(narrowed ? "no qualifying printer matches --printer or "
                                                 "--serial on "
                                               : "no qualifying printer on ") +
                              m_world.Description());
        return false;
    }
    *units = std::move(survey.units);
    return true;
}

int DeviceCommands::Check(const std::string& profilePath) {
    Profile profile;
    if (!LoadProfileOrSay(profilePath, &profile)) {
        return kExitUsage;
    }
    CDeviceAccess access = MakeAccess();
    std::vector<SurveyedUnit> survey;
    if (!SurveyOrSay(access, &survey)) {
        return kExitNoDevice;
    }
    nlohmann::json units = nlohmann::json::array();
    bool compliant = true;
    for (const SurveyedUnit& surveyed : survey) {
        const UnitCompliance unit = CompareUnit(surveyed, profile);
        compliant = compliant && !unit.Drifted();
        units.push_back(UnitRecordJson(unit));
        if (!m_console.json) {
            m_console.out << UnitName(unit) << ": " << Verdict(unit) << '\n';
        }
    }
    if (m_console.json) {
        m_console.Result({{"profile", profilePath}, {"compliant", compliant}, {"units", units}});
    }
    return compliant ? kExitSuccess : kExitDrift;
}

int DeviceCommands::Apply(const std::string& profilePath, const ApplyOptions& applyOptions) {
    Profile profile;
    if (!LoadProfileOrSay(profilePath, &profile) || !StateFolderUsable()) {
        return kExitUsage;
    }
    CDeviceAccess access = MakeAccess();
    std::vector<SurveyedUnit> survey;
    if (!SurveyOrSay(access, &survey)) {
        return kExitNoDevice;
    }
    FirmwareOptions firmwareOptions;
    firmwareOptions.yes = true;  // unattended: poll for the update mode
    firmwareOptions.timeoutSeconds = applyOptions.timeoutSeconds;
    std::ostream& say = m_console.json ? m_console.err : m_console.out;
    const FirmwareObserverFor observerFor = [&](const std::string& printer) {
        say << printer << ": new firmware." << std::endl;
        return std::make_unique<CConsoleFirmwareObserver>(m_console, m_world, firmwareOptions,
                                                          printer);
    };
    // Signals wait for the end of a use case's step: never a job or a block half sent.
    SignalHold hold;
    const FleetApplication fleet =
        ApplyProfile(access, m_files, m_world.Services().hashing, profile, survey,
                     FleetApplyPolicy{}, observerFor, hold, MakeChangeLog());
    nlohmann::json units = nlohmann::json::array();
    for (const UnitApplication& unit : fleet.units) {
        nlohmann::json record = UnitRecordJson(unit.before);
        record["changed"] = unit.changed;
        record["outcome"] = ApplyResultName(unit.result);
        if (!unit.error.empty()) {
            record["error"] = unit.error;
        }
        record["after"] = UnitStateJson(unit.after);
        record["backups"] = unit.backups;
        record["history"] = HistoryLines(unit.history);
        units.push_back(record);
        if (m_console.json) {
            continue;
        }
        m_console.out << UnitName(unit.before) << ": ";
        if (unit.result == ApplyResult::kFailed) {
            m_console.out << "failed: " << PrintableLine(unit.error) << '\n';
        } else if (!unit.changed) {
            m_console.out << "no change"
                          << (unit.before.covered ? "" : " (model not in the profile)") << '\n';
        } else {
            m_console.out << "changed, now " << Verdict(unit.after) << '\n';
        }
        for (const std::string& backup : unit.backups) {
            m_console.out << "  backup: " << PrintableLine(backup) << '\n';
        }
    }
    if (m_console.json) {
        m_console.Result({{"profile", profilePath}, {"changed", fleet.changed}, {"units", units}});
    }
    if (fleet.signal != 0) {
        m_console.Failure("Interrupted: the units after it were not worked on.");
        return SignalHold::ExitStatusFor(fleet.signal);
    }
    return fleet.Failed() ? kExitDeviceFailed : kExitSuccess;
}

int DeviceCommands::CaptureProfile(const std::string& file) {
    const std::string printer = ChoosePrinter();
    if (printer.empty()) {
        m_console.Failure(LoadString(IDS_FAILED_CONNECT),
                          "no Zarvel device found on " + m_world.Description());
        return kExitNoDevice;
    }
    CDeviceAccess access = MakeAccess();
    const SurveyedUnit unit = SurveyUnit(access, printer, m_world.Services().hashing);
    if (!unit.Read()) {
        m_console.Failure("The unit of " + printer + " could not be read.", unit.error);
        return unit.mode == DeviceMode::kNotAnswering ? kExitNoDevice : kExitDeviceFailed;
    }
    if (!unit.blockValid) {
        m_console.Failure("The unit's parameter block fails its checksum; no profile can name it.");
        return kExitDeviceFailed;
    }
    const std::string separator(1, m_environment.PathSeparator());
    const std::size_t folderEnd = file.find_last_of("/" + separator);
    const std::string name = FileNamePart(unit.model) + ".prm";
    const std::string blockPath =
        folderEnd == std::string::npos ? name : file.substr(0, folderEnd + 1) + name;
    Profile profile;
    profile.name = "Captured from " + printer +
                   (unit.serial.empty() ? std::string() : " (serial " + unit.serial + ")");
    ModelProfile& entry = profile.models[unit.model];
    entry.parameters = ProfileFile{name, blockPath, unit.blockSha256};
    entry.firmware = ModelProfile::Firmware{unit.firmware, std::nullopt};
    const std::string text = ProfileText(profile);
    // Neither file replaces one already there; a half-made pair is removed.
    CFile profileFile(m_files);
    CFile blockFile(m_files);
    std::vector<std::string> made;
    const auto removeMade = [&] {
        profileFile.Abort();
        blockFile.Abort();
        for (const std::string& path : made) {
            FileError ignored;
            (void)m_files.Remove(path, &ignored);
        }
    };
    try {
        if (!profileFile.CreateNew(file)) {
            m_console.Failure(file + " exists already; give a new file name.");
            return kExitUsage;
        }
        made.push_back(file);
        if (!blockFile.CreateNew(blockPath)) {
            removeMade();
            m_console.Failure(blockPath + " exists already; capture into another folder.");
            return kExitUsage;
        }
        made.push_back(blockPath);
        blockFile.Write(unit.block.data(), static_cast<DWORD>(unit.block.size()));
        blockFile.Close();
        profileFile.Write(text.data(), static_cast<DWORD>(text.size()));
        profileFile.Close();
    } catch (const CFileException& error) {
        removeMade();
        m_console.FileFailure(error);
        return kExitUsage;
    }
    if (m_console.json) {
        m_console.Result({{"file", file},
                          {"parameters", blockPath},
                          {"model", unit.model},
                          {"firmware", unit.firmware},
                          {"sha256", unit.blockSha256}});
    } else {
        m_console.out << "Profile of the " << PrintableLine(unit.model) << " written to " << file
                      << " (firmware " << PrintableLine(unit.firmware) << ", parameters "
                      << blockPath << ").\n";
    }
    return kExitSuccess;
}

}  // namespace marnel::cli
