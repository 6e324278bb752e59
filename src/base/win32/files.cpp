#include "base/streams.h"

#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

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

TFileOutcome PlatformReplaceFile(const std::string& From, const std::string& To)
{
    if (MoveFileExA(From.c_str(), To.c_str(), MOVEFILE_REPLACE_EXISTING))
        return TFileOutcome::Done;
    switch (GetLastError()) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return TFileOutcome::InUse;
    case ERROR_ACCESS_DENIED:
        return TFileOutcome::Denied;
    default:
        return TFileOutcome::Failed;
    }
}

bool PlatformFileInUse(const std::string& Path)
{
    // Asks for writing while sharing everything: only another program's handle that
    // shares no writing can refuse it.
    HANDLE h = CreateFileA(Path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return false;
    }
    const DWORD error = GetLastError();
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

void PlatformPause(int Milliseconds) { Sleep(Milliseconds > 0 ? static_cast<DWORD>(Milliseconds) : 0); }

bool PlatformFileExists(const std::string& Path)
{
    const DWORD attributes = GetFileAttributesA(Path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool PlatformRemoveFile(const std::string& Path) { return DeleteFileA(Path.c_str()) != 0; }

std::size_t PlatformWriteRuns(std::FILE* File, const TWriteRun* Runs, std::size_t Count)
{
    // Runs are gathered into pieces of about 1 MiB: one write per small run costs file
    // systems far more than copying them together first.
    constexpr std::size_t Piece = std::size_t(1) << 20;
    std::vector<std::uint8_t> piece;
    std::size_t written = 0;
    auto flush = [&] {
        const std::size_t n = PlatformWriteFile(File, piece.data(), piece.size());
        written += n;
        const bool ok = n == piece.size();
        piece.clear();
        return ok;
    };
    for (std::size_t i = 0; i < Count; ++i) {
        const auto* data = static_cast<const std::uint8_t*>(Runs[i].Data);
        if (Runs[i].Count >= Piece) {
            if (!piece.empty() && !flush())
                return written;
            const std::size_t n = PlatformWriteFile(File, data, Runs[i].Count);
            written += n;
            if (n != Runs[i].Count)
                return written;
            continue;
        }
        if (piece.size() + Runs[i].Count > Piece && !flush())
            return written;
        if (piece.capacity() < Piece)
            piece.reserve(Piece);
        piece.insert(piece.end(), data, data + Runs[i].Count);
    }
    if (!piece.empty())
        flush();
    return written;
}

