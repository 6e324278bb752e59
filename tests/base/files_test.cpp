// The headless file system's model of a user's machine (a folder that refuses new files, a
// file whose writes fail), and whole-file writing on it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/headless/files.h"
#include "base/streams.h"
#include "message_of.h"
#include "temp_drive_root.h"

namespace fs = std::filesystem;

namespace {

std::string Read(const std::string& ProgramPath)
{
    std::ifstream in(PlatformPath(ProgramPath), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
void Plant(const std::string& ProgramPath, const std::string& Bytes)
{
    std::ofstream(PlatformPath(ProgramPath), std::ios::binary) << Bytes;
}
bool Exists(const std::string& ProgramPath) { return fs::exists(PlatformPath(ProgramPath)); }

std::function<void(TStream&)> Writes(const std::string& Bytes)
{
    return [Bytes](TStream& s) { s.WriteBuffer(Bytes.data(), Bytes.size()); };
}

// A fresh drive root for each test, every refusal and limit lifted afterwards.
class HeadlessFiles : public ::testing::Test {
protected:
    void TearDown() override { ClearHeadlessFileRules(); }
    std::vector<std::string> FilesOnC() const { return Drive.FilesOnC(); }
    TTempDriveRoot Drive{"files"};
};

const std::string Target = "c:\\exchange.bin";

// ---------------------------------------------------------------- the model

TEST_F(HeadlessFiles, FolderThatRefusesNewFilesStillLetsExistingOnesBeRewritten)
{
    Plant("c:\\old.bin", "old bytes");
    SetHeadlessFolderRefusesNewFiles("c:\\", true);

    EXPECT_EQ(MessageOf<EFCreateError>([] { TFileStream("c:\\new.bin", TFileStream::fmCreate); }),
              "Cannot create file \"c:\\new.bin\"");
    EXPECT_FALSE(Exists("c:\\new.bin"));
    {
        TFileStream rewrite("c:\\old.bin", TFileStream::fmCreate); // empties the existing file
        rewrite.WriteBuffer("new", 3);
        rewrite.Close();
    }
    EXPECT_EQ(Read("c:\\old.bin"), "new");
    {
        TFileStream update("c:\\old.bin", TFileStream::fmOpenWrite); // neither creates nor empties
        update.WriteBuffer("N", 1);
        update.Close();
    }
    EXPECT_EQ(Read("c:\\old.bin"), "New");
    EXPECT_THROW(TFileStream("c:\\absent.bin", TFileStream::fmOpenWrite), EFCreateError);
    // A name cannot be moved into the folder either, not even over an existing file.
    Plant("c:\\sub\\moved.bin", "m");
    EXPECT_FALSE(PlatformReplaceFile(PlatformPath("c:\\sub\\moved.bin"), PlatformPath("c:\\old.bin")));
    EXPECT_EQ(Read("c:\\old.bin"), "New");

    // Only that folder: one below it and other drives take new files.
    EXPECT_NO_THROW(TFileStream("c:\\sub\\new.bin", TFileStream::fmCreate));
    EXPECT_NO_THROW(TFileStream("d:\\new.bin", TFileStream::fmCreate));
    SetHeadlessFolderRefusesNewFiles("c:\\", false);
    EXPECT_NO_THROW(TFileStream("c:\\new.bin", TFileStream::fmCreate));
}

TEST_F(HeadlessFiles, WriteLimitFailsTheWritesPastItEachTimeTheFileIsOpened)
{
    SetHeadlessWriteLimit(Target, 5);
    for (int attempt = 0; attempt < 2; ++attempt) {
        TFileStream out(Target, TFileStream::fmCreate);
        EXPECT_EQ(out.Write("0123", 4), 4u);
        EXPECT_EQ(out.Write("4567", 4), 1u) << "one byte was left";
        EXPECT_THROW(out.WriteBuffer("8", 1), EStreamError);
        out.Close();
        EXPECT_EQ(Read(Target), "01234");
    }
    TFileStream other("c:\\other.bin", TFileStream::fmCreate);
    EXPECT_NO_THROW(other.WriteBuffer("0123456789", 10)) << "other files have no limit";
    SetHeadlessWriteLimit(Target, -1);
    TFileStream lifted(Target, TFileStream::fmCreate);
    EXPECT_NO_THROW(lifted.WriteBuffer("0123456789", 10));
}

// ---------------------------------------------------------------- writing a file whole

TEST_F(HeadlessFiles, TargetIsReplacedInOneStepOnlyAfterEverythingWasWritten)
{
    Plant(Target, "old bytes");
    WriteFileAtomically(Target, [](TStream& s) {
        s.WriteBuffer("new", 3);
        EXPECT_EQ(Read(Target), "old bytes") << "the target is whole while the new bytes are written";
        s.WriteBuffer(" bytes", 6);
    });
    EXPECT_EQ(Read(Target), "new bytes");
    EXPECT_EQ(FilesOnC(), (std::vector<std::string>{"exchange.bin"})) << "no temporary file is left";
    // A new file where the folder takes new files.
    WriteFileAtomically("c:\\fresh.bin", Writes("fresh"));
    EXPECT_EQ(Read("c:\\fresh.bin"), "fresh");
}

TEST_F(HeadlessFiles, FailedTemporaryFileLeavesTheTargetAndNoTemporary)
{
    Plant(Target, "old bytes");
    SetHeadlessWriteLimit(Target + ".tmp", 4);
    EXPECT_EQ(MessageOf<EStreamError>([] { WriteFileAtomically(Target, Writes("0123456789")); }),
              "Cannot write file \"c:\\exchange.bin\"");
    EXPECT_EQ(Read(Target), "old bytes");
    EXPECT_EQ(FilesOnC(), (std::vector<std::string>{"exchange.bin"}));
}

// A folder that refuses new files: the existing target is rewritten in place, to exactly the
// new bytes however long it was.
TEST_F(HeadlessFiles, WithoutATemporaryFileTheExistingTargetIsRewrittenInPlace)
{
    const std::string longer(300, 'x'), shorter = "BM a new file, shorter than the old one";
    Plant(Target, longer);
    SetHeadlessFolderRefusesNewFiles("c:\\", true);
    WriteFileAtomically(Target, Writes(shorter));
    EXPECT_EQ(Read(Target), shorter);
    const std::string big(1000, 'y');
    WriteFileAtomically(Target, Writes(big));
    EXPECT_EQ(Read(Target), big);
    EXPECT_EQ(FilesOnC(), (std::vector<std::string>{"exchange.bin"}));
}

// A rewrite that fails part-way leaves an empty file, never one that looks complete: the
// head (signature and sizes) would have come last.
TEST_F(HeadlessFiles, RewriteThatFailsPartWayLeavesAnEmptyFile)
{
    const std::string bytes = "BM" + std::string(200, 'p');
    for (const std::int64_t limit : {std::int64_t(10), std::int64_t(100), std::int64_t(202)}) {
        SCOPED_TRACE(limit);
        Plant(Target, "an earlier, complete file");
        SetHeadlessFolderRefusesNewFiles("c:\\", true);
        SetHeadlessWriteLimit(Target, limit); // 202: everything but the held-back head
        EXPECT_EQ(MessageOf<EStreamError>([&] { WriteFileAtomically(Target, Writes(bytes)); }),
                  "Cannot write file \"c:\\exchange.bin\"");
        EXPECT_EQ(Read(Target), "");
        EXPECT_EQ(FilesOnC(), (std::vector<std::string>{"exchange.bin"}));
        ClearHeadlessFileRules();
    }
    // A writer that fails by itself part-way: emptied too, its own error passes unchanged.
    Plant(Target, "an earlier, complete file");
    SetHeadlessFolderRefusesNewFiles("c:\\", true);
    EXPECT_EQ(MessageOf<EOutOfMemory>([] {
                  WriteFileAtomically(Target, [](TStream& s) {
                      s.WriteBuffer("BM half", 7);
                      throw EOutOfMemory("Out of memory");
                  });
              }),
              "Out of memory");
    EXPECT_EQ(Read(Target), "");
}

TEST_F(HeadlessFiles, NeitherATemporaryFileNorAnExistingTargetIsAnErrorNamingTheFile)
{
    SetHeadlessFolderRefusesNewFiles("c:\\", true);
    EXPECT_EQ(MessageOf<EFCreateError>([] { WriteFileAtomically(Target, Writes("x")); }),
              "Cannot create file \"c:\\exchange.bin\"");
    EXPECT_FALSE(Exists(Target));
    EXPECT_TRUE(FilesOnC().empty());
}

// A temporary file left from before can be rewritten in a folder that refuses new files, but
// not renamed into place: the target is rewritten instead and the temporary removed.
TEST_F(HeadlessFiles, StaleTemporaryFileInARefusingFolderFallsBackToTheRewrite)
{
    Plant(Target, "old");
    Plant(Target + ".tmp", "stale");
    SetHeadlessFolderRefusesNewFiles("c:\\", true);
    WriteFileAtomically(Target, Writes("new bytes"));
    EXPECT_EQ(Read(Target), "new bytes");
    EXPECT_EQ(FilesOnC(), (std::vector<std::string>{"exchange.bin"}));
}

} // namespace
