#include <gtest/gtest.h>

#include <vector>

#include "files/File.h"
#include "files/FileErrorMessage.h"
#include "files/FileException.h"
#include "sim/MemoryFileSystem.h"

namespace marnel {
namespace {

using Cause = FileErrorCause;

TEST(FileErrorReportTest, MessageNamesThePathOrAnUnnamedFile) {
    struct Case {
        Cause cause;
        const char* path;
        const char* message;
    } cases[] = {
        {Cause::kNone, "x", "No error occurred."},
        {Cause::kFileNotFound, "C:\\fw\\a.kvf", "C:\\fw\\a.kvf was not found."},
        {Cause::kSharingViolation, "/tmp/p.bin",
         "A sharing violation occurred while accessing /tmp/p.bin."},
        {Cause::kBadSeek, "f", "Seek failed on f"},
        {Cause::kDiskFull, "", "Disk full while accessing an unnamed file."},
        {Cause::kEndOfFile, "100%1.bin", "An attempt was made to access 100%1.bin past its end."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FileErrorMessage(CFileException(c.cause, c.path)), c.message);
    }
}

// Runs `body` and returns the cause and path of the file error it raises.
template <typename Body>
CFileException Caught(Body body) {
    try {
        body();
    } catch (const CFileException& e) {
        return e;
    }
    ADD_FAILURE() << "no file error raised";
    return CFileException(Cause::kNone, "");
}

std::vector<std::uint8_t> Bytes(std::size_t n, std::uint8_t seed) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) {
        v[i] = static_cast<std::uint8_t>(seed + i * 7);
    }
    return v;
}

TEST(CFileTest, OpenFailuresCarryCauseAndPath) {
    MemoryFileSystem fs;
    fs.SetFile("C:\\held.bin", Bytes(4, 1));
    fs.FaultsFor("C:\\held.bin").heldByOtherProgram = true;
    CFile file(fs);
    CFileException missing = Caught([&] { file.OpenRead("C:\\none.bin"); });
    EXPECT_EQ(missing.m_cause, Cause::kFileNotFound);
    EXPECT_EQ(missing.m_strFileName, "C:\\none.bin");
    CFileException held = Caught([&] { file.OpenRead("C:\\held.bin"); });
    EXPECT_EQ(held.m_cause, Cause::kSharingViolation);
    EXPECT_EQ(held.m_strFileName, "C:\\held.bin");
    EXPECT_EQ(fs.OpenHandleCount(), 0u);
}

TEST(CFileTest, NoSharingBetweenTwoOpeners) {
    MemoryFileSystem fs;
    fs.SetFile("a", Bytes(4, 1));
    CFile first(fs);
    first.OpenRead("a");
    CFile second(fs);
    EXPECT_EQ(Caught([&] { second.OpenRead("a"); }).m_cause, Cause::kSharingViolation);
    first.Close();
    second.OpenRead("a");
    EXPECT_EQ(second.GetLength(), 4u);
}

TEST(CFileTest, ReadExactlyCopesWithShortReadsAndFailsAtTheEnd) {
    MemoryFileSystem fs;
    std::vector<std::uint8_t> content = Bytes(266, 3);
    fs.SetFile("p", content);
    fs.FaultsFor("p").readChunk = 100;
    {
        CFile file(fs);
        file.OpenRead("p");
        std::vector<std::uint8_t> got(266);
        file.ReadExactly(got.data(), 266);
        EXPECT_EQ(got, content);
    }
    // The length says 266 but the reads end after 200 bytes.
    fs.FaultsFor("p").readEndsAt = 200;
    CFile file(fs);
    file.OpenRead("p");
    EXPECT_EQ(file.GetLength(), 266u);
    std::vector<std::uint8_t> got(266);
    CFileException e = Caught([&] { file.ReadExactly(got.data(), 266); });
    EXPECT_EQ(e.m_cause, Cause::kEndOfFile);
    EXPECT_EQ(e.m_strFileName, "p");
}

TEST(CFileTest, ShortWriteIsDiskFull) {
    MemoryFileSystem fs;
    fs.FaultsFor("out").shortWriteAt = 10;
    CFile file(fs);
    file.Create("out");
    std::vector<std::uint8_t> data = Bytes(20, 0);
    EXPECT_EQ(Caught([&] { file.Write(data.data(), 20); }).m_cause, Cause::kDiskFull);
}

TEST(CFileTest, DestructionClosesTheFile) {
    MemoryFileSystem fs;
    fs.SetFile("a", Bytes(4, 1));
    {
        CFile file(fs);
        file.OpenRead("a");
        EXPECT_EQ(fs.OpenHandleCount(), 1u);
    }
    EXPECT_EQ(fs.OpenHandleCount(), 0u);
}

// A save that fails anywhere leaves the earlier file whole and no
// temporary file behind; a save that completes replaces it.
TEST(ReplacingSave, FailuresLeaveTheEarlierFileIntact) {
    const std::vector<std::uint8_t> earlier = Bytes(300, 9);
    const std::vector<std::uint8_t> fresh = Bytes(266, 1);
    struct Case {
        const char* name;
        void (*inject)(MemoryFileSystem::Faults&);
        Cause cause;
    } cases[] = {
        {"write error", [](MemoryFileSystem::Faults& f) { f.writeErrorAfter = 100; },
         Cause::kDiskFull},
        {"short write", [](MemoryFileSystem::Faults& f) { f.shortWriteAt = 265; },
         Cause::kDiskFull},
        {"close fails", [](MemoryFileSystem::Faults& f) { f.closeFails = true; }, Cause::kHardIo},
        {"replace fails", [](MemoryFileSystem::Faults& f) { f.replaceFails = true; },
         Cause::kAccessDenied},
        {"held by another program",
         [](MemoryFileSystem::Faults& f) { f.heldByOtherProgram = true; },
         Cause::kSharingViolation},
        {"folder not writable",
         [](MemoryFileSystem::Faults& f) { f.openFails = Cause::kAccessDenied; },
         Cause::kAccessDenied},
        {"a file this user may not write", [](MemoryFileSystem::Faults& f) { f.readOnly = true; },
         Cause::kAccessDenied},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryFileSystem fs;
        fs.SetFile("/home/u/params.bin", earlier);
        c.inject(fs.FaultsFor("/home/u/params.bin"));
        CFileException e =
            Caught([&] { SaveFileReplacing(fs, "/home/u/params.bin", fresh.data(), 266); });
        EXPECT_EQ(e.m_cause, c.cause);
        EXPECT_EQ(e.m_strFileName, "/home/u/params.bin");
        EXPECT_EQ(fs.Content("/home/u/params.bin"), earlier);
        EXPECT_EQ(fs.Paths(), std::vector<std::string>{"/home/u/params.bin"});
        EXPECT_EQ(fs.OpenHandleCount(), 0u);
    }
}

// A link is followed and stays a link; a device is written where it is.
TEST(ReplacingSave, LinksAndSpecialFilesStayWhatTheyAre) {
    const std::vector<std::uint8_t> fresh = Bytes(266, 1);
    MemoryFileSystem fs;
    fs.SetFile("/data/real.bin", Bytes(300, 9));
    fs.FaultsFor("/home/u/link.bin").linkTo = "/home/u/hop.bin";
    fs.FaultsFor("/home/u/hop.bin").linkTo = "/data/real.bin";
    SaveFileReplacing(fs, "/home/u/link.bin", fresh.data(), 266);
    EXPECT_EQ(fs.Content("/data/real.bin"), fresh);
    EXPECT_EQ(fs.Paths(), std::vector<std::string>{"/data/real.bin"}) << "no file in a link's place";
    EXPECT_EQ(fs.OpenedPaths().back().rfind("/data/", 0), 0u) << "temporary file beside the file";

    fs.SetFile("/dev/lp0", {});
    fs.FaultsFor("/dev/lp0").special = true;
    SaveFileReplacing(fs, "/dev/lp0", fresh.data(), 266);
    EXPECT_EQ(fs.Content("/dev/lp0"), fresh);
    EXPECT_EQ(fs.OpenedPaths().back(), "/dev/lp0") << "no temporary file, no replacing";
    EXPECT_EQ(fs.Paths().size(), 2u);
    EXPECT_EQ(fs.OpenHandleCount(), 0u);
}

TEST(ReplacingSave, CompleteSaveReplacesTheTargetInItsFolder) {
    MemoryFileSystem fs;
    fs.SetFile("/home/u/params.bin", Bytes(300, 9));
    const std::vector<std::uint8_t> fresh = Bytes(266, 1);
    SaveFileReplacing(fs, "/home/u/params.bin", fresh.data(), 266);
    EXPECT_EQ(fs.Content("/home/u/params.bin"), fresh);
    EXPECT_EQ(fs.Paths(), std::vector<std::string>{"/home/u/params.bin"});
    ASSERT_FALSE(fs.OpenedPaths().empty());
    EXPECT_EQ(fs.OpenedPaths()[0].rfind("/home/u/", 0), 0u) << "temporary file beside the target";
}

}  // namespace
}  // namespace marnel
