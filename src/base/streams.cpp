#include "base/streams.h"

#include <cstring>

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
    std::string path = PlatformPath(FileName);
    FFile = std::fopen(path.c_str(), M == fmCreate ? "wb" : "rb");
    if (!FFile) {
        if (M == fmCreate)
            throw EFCreateError("Cannot create file \"" + FileName + "\"");
        throw EFCreateError("Cannot open file \"" + FileName + "\"");
    }
}

TFileStream::~TFileStream()
{
    if (FFile)
        std::fclose(FFile);
}

void TFileStream::Close()
{
    if (!FFile)
        return;
    bool ok = std::fflush(FFile) == 0;
    ok = std::fclose(FFile) == 0 && ok;
    FFile = nullptr;
    if (!ok)
        throw EStreamError("Cannot write file \"" + FName + "\"");
}

std::size_t TFileStream::Read(void* Buffer, std::size_t Count)
{
    return FFile ? std::fread(Buffer, 1, Count, FFile) : 0;
}

std::size_t TFileStream::Write(const void* Buffer, std::size_t Count)
{
    return FFile ? std::fwrite(Buffer, 1, Count, FFile) : 0;
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

void WriteFileAtomically(const std::string& FileName, const std::function<void(TStream&)>& Writer)
{
    const std::string temp = FileName + ".tmp";
    try {
        TFileStream out(temp, TFileStream::fmCreate);
        Writer(out);
        out.Close();
    } catch (...) {
        std::remove(PlatformPath(temp).c_str());
        throw;
    }
    std::string from = PlatformPath(temp), to = PlatformPath(FileName);
#ifdef _WIN32
    std::remove(to.c_str()); // rename does not replace on Windows
#endif
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        std::remove(from.c_str());
        throw EFCreateError("Cannot create file \"" + FileName + "\"");
    }
}
