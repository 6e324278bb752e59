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
    EXPECT_EQ(PlatformReplaceFile(PlatformPath("c:\\sub\\moved.bin"), PlatformPath("c:\\old.bin")), TFileOutcome::Denied);
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

// ---------------------------------------------------------------- files that change together

const std::string Image = "c:\\image.bmp", Mask = "c:\\mask.bmp";

// A writer that counts its runs, so a fallback that makes the bytes again shows.
std::function<void(TStream&)> Counted(const std::string& Bytes, int& Runs)
{
    return [Bytes, &Runs](TStream& s) {
        ++Runs;
        s.WriteBuffer(Bytes.data(), Bytes.size());
    };
}

TEST_F(HeadlessFiles, PairIsReplacedOnlyAfterBothTemporaryFilesAreWhole)
{
    Plant(Image, "old image");
    Plant(Mask, "old mask");
    WriteFilesTogether({{Image,
                         [](TStream& s) {
                             s.WriteBuffer("new image", 9);
                             EXPECT_EQ(Read(Image), "old image");
                         }},
                        {Mask, [](TStream& s) {
                             s.WriteBuffer("new mask", 8);
                             EXPECT_EQ(Read(Image), "old image") << "no target changes while the mask is written";
                         }}});
    EXPECT_EQ(Read(Image), "new image");
    EXPECT_EQ(Read(Mask), "new mask");
    EXPECT_EQ(FilesOnC(), (std::vector<std::string>{"image.bmp", "mask.bmp"})) << "nothing kept aside is left";
    EXPECT_EQ(HeadlessPausedMilliseconds(), 0);
}

TEST_F(HeadlessFiles, FailedSecondTemporaryFileChangesNeitherTarget)
{
    Plant(Image, "old image");
    Plant(Mask, "old mask");
    SetHeadlessWriteLimit(Mask + ".tmp", 3);
    EXPECT_EQ(MessageOf<EStreamError>([] {
                  WriteFilesTogether({{Image, Writes("new image")}, {Mask, Writes("new mask")}});
              }),
              "Cannot write file \"c:\\mask.bmp\"");
    EXPECT_EQ(Read(Image), "old image");
    EXPECT_EQ(Read(Mask), "old mask");
    EXPECT_EQ(FilesOnC(), (std::vector<std::string>{"image.bmp", "mask.bmp"}));
}

// The mask held by another program past every retry: the image gets its old file back byte
// for byte, the error names the mask, and about a second was spent waiting for it.
TEST_F(HeadlessFiles, SecondTargetThatCannotBeReplacedGivesTheFirstItsOldFileBack)
{
    const std::string oldImage = "BM old image, another size";
    Plant(Image, oldImage);
    Plant(Mask, "old mask");
    SetHeadlessFileInUse(Mask, -1);
    EXPECT_EQ(MessageOf<EFileInUse>([] {
                  WriteFilesTogether({{Image, Writes("new image")}, {Mask, Writes("new mask")}});
              }),
              "The file \"c:\\mask.bmp\" is in use by another program");
    EXPECT_EQ(Read(Image), oldImage);
    EXPECT_EQ(Read(Mask), "old mask");
    EXPECT_EQ(FilesOnC(), (std::vector<std::string>{"image.bmp", "mask.bmp"}));
    EXPECT_GE(HeadlessPausedMilliseconds(), 800);
    EXPECT_LE(HeadlessPausedMilliseconds(), 1500);
}

// Where there was no image before, undoing it leaves none: never a new image beside an old
// mask.
TEST_F(HeadlessFiles, UndoingAFirstTargetThatWasNewRemovesIt)
{
    Plant(Mask, "old mask");
    SetHeadlessFileInUse(Mask, -1);
    EXPECT_THROW(WriteFilesTogether({{Image, Writes("new image")}, {Mask, Writes("new mask")}}), EFileInUse);
    EXPECT_FALSE(Exists(Image));
    EXPECT_EQ(FilesOnC(), (std::vector<std::string>{"mask.bmp"}));
}

// A virus scanner holding the fresh temporary file, or the editor the old target, for a
// moment: the replacement is tried again, the finished file is kept and written only once.
TEST_F(HeadlessFiles, PassingHoldsAreWaitedOutWithoutWritingAgain)
{
    struct Case {
        const char* Name;
        std::string Held;
        bool TargetExists;
    };
    const Case cases[] = {
        {"scanner on the temporary, no target yet", Target + ".tmp", false},
        {"scanner on the temporary, old target", Target + ".tmp", true},
        {"editor on the old target", Target, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        ClearHeadlessFileRules();
        std::error_code ec;
        fs::remove(PlatformPath(Target), ec);
        if (c.TargetExists)
            Plant(Target, "old bytes");
        SetHeadlessFileInUse(c.Held, 3);
        int runs = 0;
        WriteFileAtomically(Target, Counted("new bytes", runs));
        EXPECT_EQ(Read(Target), "new bytes");
        EXPECT_EQ(runs, 1);
        EXPECT_GT(HeadlessPausedMilliseconds(), 0);
        EXPECT_LT(HeadlessPausedMilliseconds(), 800) << "three refusals take a part of the second";
        EXPECT_EQ(FilesOnC(), (std::vector<std::string>{"exchange.bin"}));
    }
}

TEST_F(HeadlessFiles, TargetHeldPastTheRetriesIsReportedAsInUse)
{
    Plant(Target, "old bytes");
    SetHeadlessFileInUse(Target, -1);
    EXPECT_EQ(MessageOf<EFileInUse>([] { WriteFileAtomically(Target, Writes("new")); }),
              "The file \"c:\\exchange.bin\" is in use by another program");
    EXPECT_EQ(Read(Target), "old bytes");
    EXPECT_EQ(FilesOnC(), (std::vector<std::string>{"exchange.bin"}));
}

// Rewritten in place, the pair is opened before either changes and a failure empties both.
TEST_F(HeadlessFiles, PairRewrittenInPlaceFailsAsAWhole)
{
    Plant(Image, "old image");
    Plant(Mask, "old mask");
    SetHeadlessFolderRefusesNewFiles("c:\\", true);
    WriteFilesTogether({{Image, Writes("BM new image")}, {Mask, Writes("BM new mask")}});
    EXPECT_EQ(Read(Image), "BM new image");
    EXPECT_EQ(Read(Mask), "BM new mask");

    SetHeadlessWriteLimit(Mask, 2);
    EXPECT_EQ(MessageOf<EStreamError>([] {
                  WriteFilesTogether({{Image, Writes("BM newer image")}, {Mask, Writes("BM newer mask")}});
              }),
              "Cannot write file \"c:\\mask.bmp\"");
    EXPECT_EQ(Read(Image), "") << "the image, written whole, is emptied with the mask";
    EXPECT_EQ(Read(Mask), "");
    EXPECT_EQ(FilesOnC(), (std::vector<std::string>{"image.bmp", "mask.bmp"}));
}

TEST_F(HeadlessFiles, PairInPlaceChangesNothingWhenOneCannotBeOpened)
{
    Plant(Image, "old image");
    SetHeadlessFolderRefusesNewFiles("c:\\", true);
    int runs = 0;
    EXPECT_EQ(MessageOf<EFCreateError>([&] {
                  WriteFilesTogether({{Image, Counted("new image", runs)}, {Mask, Writes("new mask")}});
              }),
              "Cannot create file \"c:\\mask.bmp\"");
    EXPECT_EQ(Read(Image), "old image");
    EXPECT_EQ(runs, 0);

    Plant(Mask, "old mask");
    SetHeadlessFileInUse(Mask, -1);
    EXPECT_EQ(MessageOf<EFileInUse>([&] {
                  WriteFilesTogether({{Image, Counted("new image", runs)}, {Mask, Writes("new mask")}});
              }),
              "The file \"c:\\mask.bmp\" is in use by another program");
    EXPECT_EQ(Read(Image), "old image");
    EXPECT_EQ(Read(Mask), "old mask");
    EXPECT_EQ(runs, 0);
}

// Temporary files that could be written but not renamed into place: their finished bytes are
// copied into the targets, each writer having run once.
TEST_F(HeadlessFiles, FinishedTemporaryFilesAreCopiedWhenTheyCannotBeRenamed)
{
    Plant(Image, "old image");
    Plant(Mask, "old mask");
    Plant(Image + ".tmp", "stale");
    Plant(Mask + ".tmp", "stale");
    SetHeadlessFolderRefusesNewFiles("c:\\", true);
    int imageRuns = 0, maskRuns = 0;
    const std::string big(3 << 20, 'b'); // more than one piece of the copy
    WriteFilesTogether({{Image, Counted(big, imageRuns)}, {Mask, Counted("new mask", maskRuns)}});
    EXPECT_EQ(Read(Image), big);
    EXPECT_EQ(Read(Mask), "new mask");
    EXPECT_EQ(imageRuns, 1);
    EXPECT_EQ(maskRuns, 1);
    EXPECT_EQ(FilesOnC(), (std::vector<std::string>{"image.bmp", "mask.bmp"}));
}

} // namespace
