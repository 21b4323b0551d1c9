// A profile: the state a site wants its units in, per model: a parameter
// block and a firmware version (with the image that brings it). A JSON file
// (schema 1, docs/PROFILE.md) whose files lie beside it, each named with its
// SHA-256, so that a profile copied with a file missing or changed is
// refused whole before any unit is compared or written.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "files/FileException.h"
#include "protocol/ParameterBlock.h"

namespace marnel {

class IFileSystem;
class IHashing;

// The schema this program reads and writes.
constexpr int kProfileSchema = 1;

// One file the profile names.
struct ProfileFile {
    std::string name;    // as the profile gives it
    std::string path;    // resolved against the profile's folder
    std::string sha256;  // lower-case hex, as the profile gives it
};

struct ModelProfile {
    std::optional<ProfileFile> parameters;
    ParameterBlockBytes block{};  // the parameter file's block, once loaded

    struct Firmware {
        std::string version;
        std::optional<ProfileFile> image;  // none: the version is only checked
    };
    std::optional<Firmware> firmware;
};

struct Profile {
    std::string path;
    std::string name;                           // empty when it has none
    std::map<std::string, ModelProfile> models;  // by model tag ("KQ-10")
};

// Why a profile cannot be used: the file (the profile or one it names) and
// what is wrong with it.
struct ProfileProblem {
    std::string file;
    std::string what;                         // empty for a file error
    std::optional<CFileException> fileError;  // the file could not be read
};

// Reads the profile at `path`, checks its shape, reads every file it names
// (paths relative to the profile's folder, `separator` between folder and
// name) and checks each against its SHA-256 and, for a parameter file,
// its length, checksum and model tag. False with *problem on the first
// thing wrong.
bool LoadProfile(IFileSystem& files, IHashing& hashing, char separator, const std::string& path,
                 Profile* profile, ProfileProblem* problem);

// The profile's JSON text (schema 1) for `profile`'s models; files are
// written by their names, with their digests.
std::string ProfileText(const Profile& profile);

}  // namespace marnel
