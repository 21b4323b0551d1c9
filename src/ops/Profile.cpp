#include "ops/Profile.h"

#include <cstring>
#include <memory>

#include <nlohmann/json.hpp>

#include "files/File.h"
#include "files/Sha256.h"
#include "ops/ParameterFile.h"
#include "platform/Hashing.h"

namespace marnel {

namespace {

// A profile is a few lines; anything far larger is not one.
constexpr std::uint64_t kLongestProfile = 1u << 20;

using json = nlohmann::json;

// Thrown inside the loader only: the first thing wrong.
struct Refusal {
    ProfileProblem problem;
};

[[noreturn]] void Refuse(const std::string& file, const std::string& what) {
    throw Refusal{ProfileProblem{file, what, std::nullopt}};
}

std::string ReadText(IFileSystem& files, const std::string& path) {
    CFile file(files);
    file.OpenReadShared(path);
    const std::uint64_t length = file.GetLength();
    if (length > kLongestProfile) {
        Refuse(path, "is " + std::to_string(length) + " bytes long, too long for a profile");
    }
    std::string text(static_cast<std::size_t>(length), '\0');
    file.ReadExactly(text.data(), static_cast<DWORD>(length));
    return text;
}

// nlohmann's message without its "[json.exception...] " prefix.
std::string ParseMessage(const json::exception& error) {
    const char* text = error.what();
    const char* end = std::strstr(text, "] ");
    return end == nullptr ? text : end + 2;
}

// Every key of `object` (at `where`) must be one of `known`.
void RefuseUnknownKeys(const std::string& path, const std::string& where, const json& object,
                       std::initializer_list<const char*> known) {
    for (auto it = object.begin(); it != object.end(); ++it) {
        bool found = false;
        for (const char* key : known) {
            found = found || it.key() == key;
        }
        if (!found) {
            Refuse(path, where + " has an unknown key \"" + it.key() + "\"");
        }
    }
}

std::string StringAt(const std::string& path, const std::string& where, const json& object,
                     const char* key) {
    const auto it = object.find(key);
    if (it == object.end() || !it->is_string() || it->get<std::string>().empty()) {
        Refuse(path, where + " needs \"" + key + "\", a non-empty string");
    }
    return it->get<std::string>();
}

bool IsDigest(const std::string& text) {
    return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

std::string FolderOf(const std::string& path, char separator) {
    const std::size_t end = path.find_last_of(std::string("/") + separator);
    return end == std::string::npos ? std::string() : path.substr(0, end + 1);
}

bool IsAbsolute(const std::string& name, char separator) {
    return !name.empty() && (name[0] == '/' || name[0] == separator ||
                             (name.size() > 1 && name[1] == ':'));
}

ProfileFile FileAt(const std::string& path, char separator, const std::string& where,
                   const json& object) {
    ProfileFile file;
    file.name = StringAt(path, where, object, "file");
    file.sha256 = StringAt(path, where, object, "sha256");
    if (!IsDigest(file.sha256)) {
        Refuse(path, where + " \"sha256\" must be 64 lower-case hex digits");
    }
    file.path = IsAbsolute(file.name, separator) ? file.name : FolderOf(path, separator) + file.name;
    return file;
}

void ParseModel(const std::string& path, char separator, const std::string& model,
                const json& entry, ModelProfile* out) {
    const std::string where = "models \"" + model + "\"";
    if (!entry.is_object()) {
        Refuse(path, where + " must be an object");
    }
    RefuseUnknownKeys(path, where, entry, {"parameters", "firmware"});
    if (entry.contains("parameters")) {
        const json& parameters = entry["parameters"];
        if (!parameters.is_object()) {
            Refuse(path, where + " \"parameters\" must be an object");
        }
        RefuseUnknownKeys(path, where + " \"parameters\"", parameters, {"file", "sha256"});
        out->parameters = FileAt(path, separator, where + " \"parameters\"", parameters);
    }
    if (entry.contains("firmware")) {
        const json& firmware = entry["firmware"];
        const std::string at = where + " \"firmware\"";
        if (!firmware.is_object()) {
            Refuse(path, at + " must be an object");
        }
        RefuseUnknownKeys(path, at, firmware, {"version", "file", "sha256"});
        ModelProfile::Firmware wanted;
        wanted.version = StringAt(path, at, firmware, "version");
        if (firmware.contains("file") || firmware.contains("sha256")) {
            wanted.image = FileAt(path, separator, at, firmware);
        }
        out->firmware = wanted;
    }
}

Profile Parse(const std::string& path, char separator, const std::string& text) {
    json document;
    try {
        document = json::parse(text);
    } catch (const json::exception& error) {
        Refuse(path, "is not valid JSON: " + ParseMessage(error));
    }
    if (!document.is_object()) {
        Refuse(path, "must hold a JSON object");
    }
    RefuseUnknownKeys(path, "the profile", document, {"schema", "name", "models"});
    const auto schema = document.find("schema");
    if (schema == document.end() || !schema->is_number_integer() || *schema != kProfileSchema) {
        Refuse(path, "needs \"schema\": " + std::to_string(kProfileSchema) +
                         " (this program reads no other)");
    }
    Profile profile;
    profile.path = path;
    if (document.contains("name")) {
        if (!document["name"].is_string()) {
            Refuse(path, "\"name\" must be a string");
        }
        profile.name = document["name"].get<std::string>();
    }
    const auto models = document.find("models");
    if (models == document.end() || !models->is_object()) {
        Refuse(path, "needs \"models\", an object with one entry per model");
    }
    for (auto it = models->begin(); it != models->end(); ++it) {
        ParseModel(path, separator, it.key(), it.value(), &profile.models[it.key()]);
    }
    return profile;
}

void CheckDigest(const ProfileFile& file, const std::string& actual) {
    if (actual.empty()) {
        Refuse(file.path, "could not be hashed");
    }
    if (actual != file.sha256) {
        Refuse(file.path, "has SHA-256 " + actual + ", the profile names " + file.sha256);
    }
}

void LoadBlock(IFileSystem& files, IHashing& hashing, const std::string& model,
               ModelProfile* entry) {
    const ProfileFile& file = *entry->parameters;
    if (!IsRegularFile(files, file.path)) {
        Refuse(file.path, "is not a regular file");
    }
    const ParameterFile read = ReadParameterFile(files, file.path, true);
    if (!read.hasBlockSize) {
        Refuse(file.path, "holds " + std::to_string(read.length) +
                              " bytes; a parameter file holds exactly 266");
    }
    CheckDigest(file, Sha256Of(hashing, read.block.data(), read.block.size()));
    const ParameterBlockInfo info = DescribeParameterBlock(read.block);
    if (!info.valid) {
        Refuse(file.path, "is no valid parameter block (its checksum does not hold)");
    }
    if (info.modelTag != model) {
        Refuse(file.path, "holds parameters of a " + info.modelTag + ", not of a " + model);
    }
    entry->block = read.block;
}

void CheckImage(IFileSystem& files, IHashing& hashing, const ProfileFile& image) {
    if (!IsRegularFile(files, image.path)) {
        Refuse(image.path, "is not a regular file");
    }
    CFile file(files);
    file.OpenReadShared(image.path);
    if (file.GetLength() == 0) {
        Refuse(image.path, "is empty");
    }
    std::unique_ptr<IDigest> digest = hashing.NewSha256();
    char buffer[65536];
    for (DWORD got; (got = file.Read(buffer, sizeof buffer)) != 0;) {
        digest->Update(buffer, got);
    }
    CheckDigest(image, FinishSha256(*digest));
}

}  // namespace

bool LoadProfile(IFileSystem& files, IHashing& hashing, char separator, const std::string& path,
                 Profile* profile, ProfileProblem* problem) {
    try {
        *profile = Parse(path, separator, ReadText(files, path));
        for (auto& [model, entry] : profile->models) {
            if (entry.parameters) {
                LoadBlock(files, hashing, model, &entry);
            }
            if (entry.firmware && entry.firmware->image) {
                CheckImage(files, hashing, *entry.firmware->image);
            }
        }
        return true;
    } catch (const Refusal& refusal) {
        *problem = refusal.problem;
    } catch (const CFileException& error) {
        *problem = ProfileProblem{error.m_strFileName, std::string(), error};
    }
    return false;
}

std::string ProfileText(const Profile& profile) {
    json models = json::object();
    for (const auto& [model, entry] : profile.models) {
        json out = json::object();
        if (entry.parameters) {
            out["parameters"] = {{"file", entry.parameters->name},
                                 {"sha256", entry.parameters->sha256}};
        }
        if (entry.firmware) {
            json firmware{{"version", entry.firmware->version}};
            if (entry.firmware->image) {
                firmware["file"] = entry.firmware->image->name;
                firmware["sha256"] = entry.firmware->image->sha256;
            }
            out["firmware"] = firmware;
        }
        models[model] = out;
    }
    json document{{"schema", kProfileSchema}};
    if (!profile.name.empty()) {
        document["name"] = profile.name;
    }
    document["models"] = models;
    // A version the unit gave need not be UTF-8: such bytes are replaced, never thrown on.
    return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace marnel
