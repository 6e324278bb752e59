#include "base/streams.h"

#include <algorithm>
#include <cstring>
#include <iterator>
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

void TStream::WriteRuns(const TWriteRun* Runs, std::size_t Count)
{
    for (std::size_t i = 0; i < Count; ++i)
        WriteBuffer(Runs[i].Data, Runs[i].Count);
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

void TFileStream::WriteRuns(const TWriteRun* Runs, std::size_t Count)
{
    std::size_t total = 0;
    for (std::size_t i = 0; i < Count; ++i)
        total += Runs[i].Count;
    if (total != 0 && (!FFile || PlatformWriteRuns(FFile, Runs, Count) != total))
        throw EStreamError("Stream write error");
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

// Pauses between attempts at a file that another program holds: about a second in all.
constexpr int RetryPausesMs[] = {20, 40, 80, 120, 160, 200, 200, 200};

std::string InUseMessage(const std::string& FileName)
{
    return "The file \"" + FileName + "\" is in use by another program";
}

bool MayPass(TFileOutcome Outcome) { return Outcome == TFileOutcome::InUse || Outcome == TFileOutcome::Denied; }

// Replaces To with From, trying again while the refusal may pass.
TFileOutcome ReplaceRetrying(const std::string& From, const std::string& To)
{
    TFileOutcome outcome = PlatformReplaceFile(From, To);
    for (const int pause : RetryPausesMs) {
        if (!MayPass(outcome))
            break;
        PlatformPause(pause);
        outcome = PlatformReplaceFile(From, To);
    }
    return outcome;
}

// Opens a target for rewriting where it lies (creating it only when Create allows), trying
// again while another program holds it.
std::unique_ptr<TFileStream> OpenForRewrite(const std::string& FileName, bool Create)
{
    const std::string path = PlatformPath(FileName);
    for (std::size_t attempt = 0;; ++attempt) {
        const bool exists = PlatformFileExists(path);
        try {
            if (!exists && !Create)
                throw EFCreateError(FileName);
            return std::make_unique<TFileStream>(FileName, exists ? TFileStream::fmOpenWrite : TFileStream::fmCreate);
        } catch (const EFCreateError&) {
            if (!exists || !PlatformFileInUse(path))
                throw EFCreateError("Cannot create file \"" + FileName + "\"");
            if (attempt == std::size(RetryPausesMs))
                throw EFileInUse(InUseMessage(FileName));
            PlatformPause(RetryPausesMs[attempt]);
        }
    }
}

using TWriter = std::function<void(TStream&)>;

// The targets rewritten where they lie: all opened before any changes, each emptied first
// and its head written last; when one fails, all are emptied, so none passes for complete
// beside another's old bytes.
void RewriteAllInPlace(const std::vector<std::string>& Names, const std::vector<TWriter>& Writers, bool Create)
{
    std::vector<std::unique_ptr<TFileStream>> outs;
    for (const std::string& name : Names)
        outs.push_back(OpenForRewrite(name, Create));
    try {
        for (std::size_t i = 0; i < Names.size(); ++i) {
            WriteNamed(Names[i], [&] {
                outs[i]->SetSize(0);
                THeadLastStream stream(*outs[i]);
                Writers[i](stream);
                stream.Finish();
                outs[i]->Close();
            });
        }
    } catch (...) {
        for (std::size_t k = 0; k < Names.size(); ++k) {
            outs[k].reset();
            try {
                TFileStream again(Names[k], TFileStream::fmOpenWrite);
                again.SetSize(0);
                again.Close();
            } catch (const Exception&) {
                // Nothing more can be done; the first failure is the one to report.
            }
        }
        throw;
    }
}

// A writer that copies a finished temporary file, so a fallback never makes its bytes again.
TWriter CopyOf(const std::string& TempName)
{
    return [TempName](TStream& Out) {
        TFileStream in(TempName, TFileStream::fmOpenRead);
        const std::int64_t size = in.Size();
        std::vector<std::uint8_t> buffer(std::size_t(1) << 20);
        std::int64_t copied = 0;
        while (std::size_t n = in.Read(buffer.data(), buffer.size())) {
            Out.WriteBuffer(buffer.data(), n);
            copied += static_cast<std::int64_t>(n);
        }
        if (copied != size)
            throw EStreamError("Stream read error");
    };
}

} // namespace

void WriteFilesTogether(const std::vector<TFileWrite>& Files)
{
    const std::size_t n = Files.size();
    std::vector<std::string> names, temps, tempPaths, targets, asides;
    std::vector<TWriter> writers;
    for (const TFileWrite& f : Files) {
        names.push_back(f.FileName);
        temps.push_back(f.FileName + ".tmp");
        tempPaths.push_back(PlatformPath(temps.back()));
        targets.push_back(PlatformPath(f.FileName));
        asides.push_back(targets.back() + ".old");
        writers.push_back(f.Writer);
    }
    auto removeTemps = [&](std::size_t Count) {
        for (std::size_t k = 0; k < Count; ++k)
            PlatformRemoveFile(tempPaths[k]);
    };

    // Every temporary file whole before any target changes.
    for (std::size_t i = 0; i < n; ++i) {
        std::unique_ptr<TFileStream> out;
        try {
            out = std::make_unique<TFileStream>(temps[i], TFileStream::fmCreate);
        } catch (const EFCreateError&) {
            // No new file beside the targets (a folder that refuses new files but lets
            // existing ones be rewritten, like the root of a system drive to a user without
            // elevation): the existing targets are rewritten where they lie.
            removeTemps(i);
            return RewriteAllInPlace(names, writers, false);
        }
        try {
            WriteNamed(names[i], [&] {
                writers[i](*out);
                out->Close();
            });
        } catch (...) {
            out.reset();
            removeTemps(i + 1);
            throw;
        }
    }

    // Each old target is kept aside until every new file is in place, so a later target
    // that cannot be replaced gives the earlier ones their old files back.
    std::vector<bool> kept(n, false);
    std::size_t placed = 0;
    TFileOutcome failure = TFileOutcome::Done;
    for (; placed < n; ++placed) {
        if (PlatformFileExists(targets[placed])) {
            failure = ReplaceRetrying(targets[placed], asides[placed]);
            if (failure != TFileOutcome::Done)
                break;
            kept[placed] = true;
        }
        failure = ReplaceRetrying(tempPaths[placed], targets[placed]);
        if (failure != TFileOutcome::Done) {
            if (kept[placed] && ReplaceRetrying(asides[placed], targets[placed]) == TFileOutcome::Done)
                kept[placed] = false;
            break;
        }
    }
    if (placed == n) {
        for (std::size_t k = 0; k < n; ++k)
            if (kept[k])
                PlatformRemoveFile(asides[k]);
        return;
    }
    for (std::size_t k = 0; k < placed; ++k) {
        if (kept[k])
            ReplaceRetrying(asides[k], targets[k]);
        else
            PlatformRemoveFile(targets[k]); // there was none before
    }
    if (failure == TFileOutcome::InUse) {
        removeTemps(n);
        throw EFileInUse(InUseMessage(names[placed]));
    }
    if (placed > 0) {
        removeTemps(n);
        throw EFCreateError("Cannot create file \"" + names[placed] + "\"");
    }
    // The first target refused to be replaced (a folder that lets files be written but not
    // renamed into it): the finished temporary files are copied in place instead.
    std::vector<TWriter> copies;
    for (const std::string& temp : temps)
        copies.push_back(CopyOf(temp));
    try {
        RewriteAllInPlace(names, copies, true);
    } catch (...) {
        removeTemps(n);
        throw;
    }
    removeTemps(n);
}

void WriteFileAtomically(const std::string& FileName, const std::function<void(TStream&)>& Writer)
{
    WriteFilesTogether({TFileWrite{FileName, Writer}});
}
