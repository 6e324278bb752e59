// Byte streams of the toolkit: memory and file, plus the stored-property filer.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "base/object.h"

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

// Opens a file by its platform path (see PlatformPath). Create mode truncates or creates.
class TFileStream : public TStream {
public:
    VP_CLASS_NAME(TFileStream)
    enum Mode { fmOpenRead, fmCreate };
    TFileStream(const std::string& FileName, Mode M);
    ~TFileStream() override;
    std::size_t Read(void* Buffer, std::size_t Count) override;
    std::size_t Write(const void* Buffer, std::size_t Count) override;
    std::int64_t Position() const override;
    void SetPosition(std::int64_t Pos) override;
    std::int64_t Size() const override;
    // Flushes and closes, raising EStreamError when the data did not reach the file.
    void Close();

private:
    std::FILE* FFile = nullptr;
    std::string FName;
};

// Maps a program path ("c:\name.bmp") to where the platform keeps it. On Windows it is the
// path itself; headless, drive letters live under a root folder (see headless/files.h).
std::string PlatformPath(const std::string& Path);

// Writes a file as a whole: the bytes go to a temporary name beside it, which is renamed
// over the target only after everything was written, so a failure never leaves a
// complete-looking but truncated file. Raises EFCreateError or EStreamError.
void WriteFileAtomically(const std::string& FileName, const std::function<void(TStream&)>& Writer);

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
