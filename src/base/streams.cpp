#include "base/streams.h"

#include <algorithm>
#include <cstring>
#include <memory>

void TStream::ReadBuffer(void* Buffer, std::size_t Count)
{
    if (Count != 0 && Read(Buffer, Count) != Count)
        throw EStreamError("Stream read error");
}

void TStream::WriteBuffer(const void* Buffer, std::size_t Count)
{
    if (Count != 0 && Write(Buffer, Count) != Count)
        throw EStreamError("Stream write error");
}

std::size_t TMemoryStream::Read(void* Buffer, std::size_t Count)
{
    if (FPos >= FData.size())
        return 0;
    std::size_t n = std::min(Count, FData.size() - FPos);
    std::memcpy(Buffer, FData.data() + FPos, n);
    FPos += n;
    return n;
}

std::size_t TMemoryStream::Write(const void* Buffer, std::size_t Count)
{
    if (Count == 0)
        return 0;
    if (FPos + Count > FData.size())
        FData.resize(FPos + Count);
    std::memcpy(FData.data() + FPos, Buffer, Count);
    FPos += Count;
    return Count;
}

void TMemoryStream::SetPosition(std::int64_t Pos)
{
    FPos = Pos < 0 ? 0 : static_cast<std::size_t>(Pos);
}

TFileStream::TFileStream(const std::string& FileName, Mode M) : FName(FileName)
{
    FFile = PlatformOpenFile(PlatformPath(FileName), M);
    if (!FFile) {
        if (M == fmCreate)
            throw EFCreateError("Cannot create file \"" + FileName + "\"");
        throw EFCreateError("Cannot open file \"" + FileName + "\"");
    }
}

TFileStream::~TFileStream()
{
    if (FFile)
        PlatformCloseFile(FFile);
}

void TFileStream::Close()
{
    if (!FFile)
        return;
    const bool ok = PlatformCloseFile(FFile);
    FFile = nullptr;
    if (!ok)
        throw EStreamError("Cannot write file \"" + FName + "\"");
}

void TFileStream::SetSize(std::int64_t Size)
{
    if (!FFile || !PlatformTruncateFile(FFile, Size))
        throw EStreamError("Cannot write file \"" + FName + "\"");
}

std::size_t TFileStream::Read(void* Buffer, std::size_t Count)
{
    return FFile ? std::fread(Buffer, 1, Count, FFile) : 0;
}

std::size_t TFileStream::Write(const void* Buffer, std::size_t Count)
{
    return FFile ? PlatformWriteFile(FFile, Buffer, Count) : 0;
}

std::int64_t TFileStream::Position() const
{
    return FFile ? static_cast<std::int64_t>(std::ftell(FFile)) : 0;
}

void TFileStream::SetPosition(std::int64_t Pos)
{
    if (FFile)
        std::fseek(FFile, static_cast<long>(Pos), SEEK_SET);
}

std::int64_t TFileStream::Size() const
{
    if (!FFile)
        return 0;
    long here = std::ftell(FFile);
    std::fseek(FFile, 0, SEEK_END);
    long end = std::ftell(FFile);
    std::fseek(FFile, here, SEEK_SET);
    return end;
}

namespace {

// A file's signature and the sizes in its header lie in its first bytes. Held back and
// written last, they leave a file rewritten in place unrecognisable until it is whole.
constexpr std::size_t HeldHeadBytes = 64;

// Passes writes on to the file, except the first HeldHeadBytes: those it keeps, writing
// zeros in their place, until Finish puts them in.
class THeadLastStream : public TStream {
public:
    explicit THeadLastStream(TFileStream& File) : FFile(File) {}
    std::size_t Read(void*, std::size_t) override { return 0; }
    std::size_t Write(const void* Buffer, std::size_t Count) override
    {
        const auto* bytes = static_cast<const std::uint8_t*>(Buffer);
        std::size_t done = 0;
        const std::int64_t pos = FFile.Position();
        if (pos >= 0 && static_cast<std::uint64_t>(pos) < HeldHeadBytes) {
            const std::size_t at = static_cast<std::size_t>(pos);
            const std::size_t n = std::min(Count, HeldHeadBytes - at);
            std::memcpy(FHead + at, bytes, n);
            static const std::uint8_t zeros[HeldHeadBytes] = {};
            done = FFile.Write(zeros, n);
            FHeadLength = std::max(FHeadLength, at + done);
            if (done < n)
                return done;
        }
        return done + FFile.Write(bytes + done, Count - done);
    }
    std::int64_t Position() const override { return FFile.Position(); }
    void SetPosition(std::int64_t Pos) override { FFile.SetPosition(Pos); }
    std::int64_t Size() const override { return FFile.Size(); }
    void Finish()
    {
        FFile.SetPosition(0);
        FFile.WriteBuffer(FHead, FHeadLength);
    }

private:
    TFileStream& FFile;
    std::uint8_t FHead[HeldHeadBytes] = {};
    std::size_t FHeadLength = 0;
};

// Runs Steps, turning a failed write into an error that names the file.
void WriteNamed(const std::string& FileName, const std::function<void()>& Steps)
{
    try {
        Steps();
    } catch (const EStreamError&) {
        throw EStreamError("Cannot write file \"" + FileName + "\"");
    }
}

// The target rewritten where it lies: emptied first, its head written last, emptied again
// when anything fails.
void RewriteInPlace(const std::string& FileName, const std::function<void(TStream&)>& Writer)
{
    std::unique_ptr<TFileStream> out;
    try {
        out = std::make_unique<TFileStream>(FileName, TFileStream::fmOpenWrite);
    } catch (const EFCreateError&) {
        throw EFCreateError("Cannot create file \"" + FileName + "\"");
    }
    try {
        WriteNamed(FileName, [&] {
            out->SetSize(0);
            THeadLastStream stream(*out);
            Writer(stream);
            stream.Finish();
            out->Close();
        });
    } catch (...) {
        out.reset();
        try {
            TFileStream again(FileName, TFileStream::fmOpenWrite);
            again.SetSize(0);
            again.Close();
        } catch (const Exception&) {
            // Nothing more can be done; the first failure is the one to report.
        }
        throw;
    }
}

} // namespace

void WriteFileAtomically(const std::string& FileName, const std::function<void(TStream&)>& Writer)
{
    const std::string temp = FileName + ".tmp";
    const std::string tempPath = PlatformPath(temp), targetPath = PlatformPath(FileName);
    std::unique_ptr<TFileStream> out;
    try {
        out = std::make_unique<TFileStream>(temp, TFileStream::fmCreate);
    } catch (const EFCreateError&) {
        // No new file beside the target: rewrite the target itself, when there is one.
        if (!PlatformFileExists(targetPath))
            throw EFCreateError("Cannot create file \"" + FileName + "\"");
        return RewriteInPlace(FileName, Writer);
    }
    try {
        WriteNamed(FileName, [&] {
            Writer(*out);
            out->Close();
        });
    } catch (...) {
        out.reset();
        PlatformRemoveFile(tempPath);
        throw;
    }
    if (PlatformReplaceFile(tempPath, targetPath))
        return;
    // A folder may let a file be written but not renamed into it (a temporary file left
    // from before, in a folder that refuses new names): the target is rewritten instead.
    PlatformRemoveFile(tempPath);
    if (!PlatformFileExists(targetPath))
        throw EFCreateError("Cannot create file \"" + FileName + "\"");
    RewriteInPlace(FileName, Writer);
}
