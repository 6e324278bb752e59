#include "base/streams.h"

#include <io.h>
#include <windows.h>

std::string PlatformPath(const std::string& Path) { return Path; }

std::FILE* PlatformOpenFile(const std::string& Path, TFileStream::Mode M)
{
    const char* mode = M == TFileStream::fmCreate ? "wb" : M == TFileStream::fmOpenWrite ? "r+b" : "rb";
    return std::fopen(Path.c_str(), mode);
}

std::size_t PlatformWriteFile(std::FILE* File, const void* Buffer, std::size_t Count)
{
    return std::fwrite(Buffer, 1, Count, File);
}

bool PlatformTruncateFile(std::FILE* File, std::int64_t Size)
{
    return std::fflush(File) == 0 && Size >= 0 && Size <= 0x7FFFFFFF && _chsize(_fileno(File), static_cast<long>(Size)) == 0;
}

bool PlatformCloseFile(std::FILE* File)
{
    const bool flushed = std::fflush(File) == 0;
    return std::fclose(File) == 0 && flushed;
}

bool PlatformReplaceFile(const std::string& From, const std::string& To)
{
    return MoveFileExA(From.c_str(), To.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool PlatformFileExists(const std::string& Path)
{
    const DWORD attributes = GetFileAttributesA(Path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool PlatformRemoveFile(const std::string& Path) { return DeleteFileA(Path.c_str()) != 0; }
