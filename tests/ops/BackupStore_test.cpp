#include <gtest/gtest.h>

#include <string>

#include "files/FileException.h"
#include "files/Sha256.h"
#include "ops/BackupStore.h"
#include "ops/StateFolder.h"
#include "posix/PosixHashing.h"
#include "sim/MemoryFileSystem.h"
#include "sim/SimPlatform.h"

namespace marnel {
namespace {

constexpr const char* kFolder = "/state/backups/";
constexpr const char* kTime = "20261207T120000Z";

ParameterBlockBytes Block() {
    ParameterBlockBytes block{};
    const char tag[] = "KQ-10   ";
    std::copy(tag, tag + 8, block.begin());
    return block;
}

class BackupStoreTest : public ::testing::Test {
protected:
    void SetUp() override { environment.SetVariable("MARNEL_STATE_DIR", "/state"); }

    MemoryFileSystem files;
    SimEnvironment environment;
    PosixHashing hashing;
};

// A backup that could not be written whole is no backup: nothing is left.
TEST_F(BackupStoreTest, ABackupCutShortIsRemoved) {
    const std::string path = std::string(kFolder) + "KQ-10_Zarvel-KQ-10_" + kTime + ".prm";
    for (const bool closeFails : {false, true}) {
        MemoryFileSystem::Faults& faults = files.FaultsFor(path);
        faults = {};
        faults.writeErrorAfter = closeFails ? std::nullopt : std::optional<std::uint64_t>(100);
        faults.closeFails = closeFails;
        CBackupStore store(files, environment);
        EXPECT_THROW(store.Save("Zarvel KQ-10", "", Block()), CFileException) << closeFails;
        EXPECT_FALSE(files.Exists(path)) << closeFails;
        EXPECT_EQ(store.LastSaved(), "");
    }
}

// However long the printer's name, the name fits and keeps model, serial
// and time; a second backup of the same second too.
TEST_F(BackupStoreTest, LongPrinterNamesAreShortenedToFit) {
    CBackupStore store(files, environment);
    EXPECT_EQ(store.Save("Zarvel KQ-10", "SN1", Block()),
              std::string(kFolder) + "KQ-10_Zarvel-KQ-10_SN1_" + kTime + ".prm");
    for (const std::string& serial : {std::string(), std::string(126, 'S')}) {
        for (const char* count : {"", "-2"}) {
            const std::string path = store.Save(std::string(300, 'P'), serial, Block());
            const std::string name = path.substr(std::string(kFolder).size());
            const std::string end =
                (serial.empty() ? "" : "_" + serial) + "_" + kTime + count + ".prm";
            EXPECT_LE(name.size(), kLongestFileName);
            EXPECT_EQ(name.substr(0, 7), "KQ-10_P") << "the printer part is cut, not left out";
            EXPECT_EQ(name.substr(name.size() - std::min(end.size(), name.size())), end);
        }
    }
}

// The listing: by name, a second's tenth backup after its second; a
// backup cut short, or changed since the history took its digest, flagged.
TEST_F(BackupStoreTest, ListingOrdersAndJudgesEachBackup) {
    const std::string stem = std::string(kFolder) + "KQ-10_P_" + kTime;
    const ParameterBlockBytes bytes = Block();
    const std::vector<std::uint8_t> block(bytes.begin(), bytes.end());
    std::vector<std::uint8_t> changed = block;
    changed[100] = 1;
    files.SetFile(stem + "-10.prm", block);
    files.SetFile(stem + "-2.prm", {});
    files.SetFile(stem + ".prm", block);
    files.SetFile(stem + "-3.prm", changed);
    files.SetFile(stem + "-4.prm", block);
    files.SetFile(std::string(kFolder) + "notes.txt", {'x'});
    const std::string digest = Sha256Of(hashing, block.data(), block.size());
    const std::map<std::string, std::set<std::string>> recorded{
        {stem + "-3.prm", {digest}}, {stem + "-4.prm", {"0000", digest}}};

    const std::vector<BackupFile> found = ListBackupFiles(files, environment, &hashing, recorded);
    using State = BackupFile::State;
    const std::vector<std::pair<std::string, State>> expected{
        {stem + ".prm", State::kComplete},      {stem + "-2.prm", State::kWrongSize},
        {stem + "-3.prm", State::kDigestDiffers}, {stem + "-4.prm", State::kComplete},
        {stem + "-10.prm", State::kComplete}};
    ASSERT_EQ(found.size(), expected.size());
    for (std::size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i].path, expected[i].first);
        EXPECT_EQ(found[i].state, expected[i].second) << found[i].path;
    }
    EXPECT_EQ(found[1].length, 0u);
    // Without hashing, only the sizes are judged.
    EXPECT_EQ(ListBackupFiles(files, environment, nullptr, recorded)[2].state, State::kComplete);
}

// Whether the state folder can keep a record, before a unit is changed.
TEST_F(BackupStoreTest, AStateFolderThatCannotBeUsedIsSaidBeforeAnything) {
    using Kind = StateFolderProblem::Kind;
    const struct {
        const char* variable;     // MARNEL_STATE_DIR
        const char* file;         // a file already there
        const char* failingFolder;  // a folder that cannot be made
        std::optional<Kind> problem;
        const char* path;         // the path the problem names
    } cases[] = {
        {"/state", nullptr, nullptr, std::nullopt, ""},
        {"state", nullptr, nullptr, std::nullopt, ""},  // relative: from the current folder
        {"/state", "/state", nullptr, Kind::kNotAFolder, "/state"},
        {"/state", "/state/backups", nullptr, Kind::kNotAFolder, "/state/backups"},
        {"/state", "/f", nullptr, std::nullopt, ""},
        {"/f/state", "/f", nullptr, Kind::kNotAFolder, "/f/state"},
        {"/state", nullptr, "/state/backups", Kind::kFileError, "/state/backups"},
    };
    for (const auto& c : cases) {
        MemoryFileSystem disk;
        SimEnvironment place;
        place.SetVariable("MARNEL_STATE_DIR", c.variable);
        if (c.file != nullptr) {
            disk.SetFile(c.file, {'x'});
        }
        if (c.failingFolder != nullptr) {
            disk.FaultsFor(c.failingFolder).openFails = FileErrorCause::kAccessDenied;
        }
        const std::optional<StateFolderProblem> problem = CheckStateFolder(disk, place);
        ASSERT_EQ(problem.has_value(), c.problem.has_value()) << c.variable;
        if (problem) {
            EXPECT_EQ(problem->kind, *c.problem) << c.variable;
            EXPECT_EQ(problem->path, c.path);
        } else {
            const std::string state = StateFolder(place);
            EXPECT_EQ(state[0], '/');
            EXPECT_TRUE(disk.Exists(state + "/history.jsonl")) << "the history can be written";
            EXPECT_EQ(disk.Paths().size(), c.file != nullptr ? 2u : 1u) << "no probe left";
        }
        EXPECT_EQ(disk.OpenHandleCount(), 0u);
    }
}

}  // namespace
}  // namespace marnel
