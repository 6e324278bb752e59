// Byte streams of the toolkit: memory and file, plus the stored-property filer.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "base/object.h"

// One piece of a gathered write.
struct TWriteRun {
    const void* Data;
    std::size_t Count;
};

class TStream : public TObject {
public:
    VP_CLASS_NAME(TStream)
    // Both return the bytes moved; the Buffer forms raise EStreamError when fewer moved.
    virtual std::size_t Read(void* Buffer, std::size_t Count) = 0;
    virtual std::size_t Write(const void* Buffer, std::size_t Count) = 0;
    virtual std::int64_t Position() const = 0;
    virtual void SetPosition(std::int64_t Pos) = 0;
    virtual std::int64_t Size() const = 0;
    void ReadBuffer(void* Buffer, std::size_t Count);
    void WriteBuffer(const void* Buffer, std::size_t Count);
    // Writes the runs one after another, as WriteBuffer on each would. A file stream hands
    // them to the platform together, so rows of a bitmap reach a file without first being
    // copied into one buffer.
    virtual void WriteRuns(const TWriteRun* Runs, std::size_t Count);
};

class TMemoryStream : public TStream {
public:
    VP_CLASS_NAME(TMemoryStream)
    std::size_t Read(void* Buffer, std::size_t Count) override;
    std::size_t Write(const void* Buffer, std::size_t Count) override;
    std::int64_t Position() const override { return static_cast<std::int64_t>(FPos); }
    void SetPosition(std::int64_t Pos) override;
    std::int64_t Size() const override { return static_cast<std::int64_t>(FData.size()); }
    const std::vector<std::uint8_t>& Bytes() const { return FData; }
    std::vector<std::uint8_t>& Bytes() { return FData; }
    void Clear() { FData.clear(); FPos = 0; }

private:
    std::vector<std::uint8_t> FData;
    std::size_t FPos = 0;
};

// Opens a file by its program path (see PlatformPath). Create mode truncates or creates;
// fmOpenWrite opens an existing file for writing without emptying it (and never creates one).
class TFileStream : public TStream {
public:
    VP_CLASS_NAME(TFileStream)
    enum Mode { fmOpenRead, fmCreate, fmOpenWrite };
    TFileStream(const std::string& FileName, Mode M);
    ~TFileStream() override;
    std::size_t Read(void* Buffer, std::size_t Count) override;
    std::size_t Write(const void* Buffer, std::size_t Count) override;
    std::int64_t Position() const override;
    void SetPosition(std::int64_t Pos) override;
    std::int64_t Size() const override;
    void WriteRuns(const TWriteRun* Runs, std::size_t Count) override;
    // Cuts (or lengthens) the file to Size bytes; raises EStreamError when refused.
    void SetSize(std::int64_t Size);
    // Flushes and closes, raising EStreamError when the data did not reach the file.
    void Close();

private:
    std::FILE* FFile = nullptr;
    std::string FName;
};

// Maps a program path ("c:\name.bmp") to where the platform keeps it. On Windows it is the
// path itself; headless, drive letters live under a root folder (see headless/files.h).
std::string PlatformPath(const std::string& Path);

// The platform's gathered write: the runs in order at the end of what File holds so far,
// after its buffered data. Returns the bytes of the runs written.
std::size_t PlatformWriteRuns(std::FILE* File, const TWriteRun* Runs, std::size_t Count);
// The platform's files by platform path, one implementation per platform (win32/files.cpp,
// headless/files.cpp). Opening returns null when the file cannot be opened in that mode.
std::FILE* PlatformOpenFile(const std::string& Path, TFileStream::Mode M);
std::size_t PlatformWriteFile(std::FILE* File, const void* Buffer, std::size_t Count);
bool PlatformTruncateFile(std::FILE* File, std::int64_t Size);
// False when buffered data did not reach the file; the file is closed either way.
bool PlatformCloseFile(std::FILE* File);
// How a replacement or an opening for writing ended. InUse and Denied may pass: a virus
// scanner or the editor holds the file for a moment (sharing refused), or a file that is
// being deleted still blocks its name (access refused).
enum class TFileOutcome { Done, InUse, Denied, Failed };
// Puts From in To's place in one step, replacing To when it exists.
TFileOutcome PlatformReplaceFile(const std::string& From, const std::string& To);
bool PlatformFileExists(const std::string& Path);
bool PlatformRemoveFile(const std::string& Path);
// Whether another program holds the existing file at Path so that it cannot be written.
bool PlatformFileInUse(const std::string& Path);
// Waits before the next attempt at a file another program holds.
void PlatformPause(int Milliseconds);

// Writes a file as a whole, never leaving a temporary file behind. Where a temporary file
// can be made beside the target, the bytes go there and replace the target in one step only
// after everything was written. Where it cannot (a folder that refuses new files but lets
// existing ones be rewritten, like the root of a system drive to a user without elevation),
// the existing target is rewritten in place with its first bytes written last and is emptied
// when the writing fails, so no incomplete file passes for a complete one. Raises
// EFCreateError when neither is possible and EStreamError when the writing fails, both
// naming the file.
void WriteFileAtomically(const std::string& FileName, const std::function<void(TStream&)>& Writer);

// One file of a set written together.
struct TFileWrite {
    std::string FileName;
    std::function<void(TStream&)> Writer;
};
// Writes the files so that they change together, as WriteFileAtomically writes one: every
// temporary file is written before the first target is replaced, and when a later target
// cannot be replaced the earlier ones get their old files back. Rewritten in place (no
// temporary file can be made), a failure empties them all. A target another program holds
// is retried for about a second and then reported with EFileInUse naming it.
void WriteFilesTogether(const std::vector<TFileWrite>& Files);

// Stored-property streaming: classes declare binary properties by name.
class TFiler {
public:
    using ReadProc = std::function<void(TStream&)>;
    using WriteProc = std::function<void(TStream&)>;
    virtual ~TFiler() = default;
    // Ancestor is the object this one is compared against (may be null).
    TPersistent* Ancestor = nullptr;
    virtual void DefineBinaryProperty(const std::string& Name, ReadProc Reader, WriteProc Writer,
                                      bool HasData) = 0;
};
