#include "base/headless/files.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

#include "base/streams.h"

namespace fs = std::filesystem;

namespace {
std::string& RootSlot()
{
    static std::string root = [] {
        const char* env = std::getenv("VESPER_DRIVES");
        return std::string(env && *env ? env : "drives");
    }();
    return root;
}

struct TFileRules {
    std::set<std::string> NoNewFiles;              // folders, normalised platform paths
    std::map<std::string, std::int64_t> Limits;    // files, normalised platform paths
    std::map<std::FILE*, std::int64_t> Budgets;    // open files under a limit: bytes left
};
TFileRules& Rules()
{
    static TFileRules rules;
    return rules;
}

std::string Normal(const fs::path& P)
{
    std::error_code ec;
    fs::path full = fs::absolute(P, ec).lexically_normal();
    if (!full.has_filename())
        full = full.parent_path();
    return full.string();
}

bool RefusesNewFiles(const std::string& FilePath)
{
    return Rules().NoNewFiles.count(Normal(fs::path(FilePath).parent_path())) != 0;
}
} // namespace

void SetHeadlessDriveRoot(const std::string& Root) { RootSlot() = Root; }
std::string HeadlessDriveRoot() { return RootSlot(); }

void SetHeadlessFolderRefusesNewFiles(const std::string& Folder, bool Refuses)
{
    const std::string folder = Normal(PlatformPath(Folder));
    if (Refuses)
        Rules().NoNewFiles.insert(folder);
    else
        Rules().NoNewFiles.erase(folder);
}

void SetHeadlessWriteLimit(const std::string& Path, std::int64_t Bytes)
{
    const std::string file = Normal(PlatformPath(Path));
    if (Bytes < 0)
        Rules().Limits.erase(file);
    else
        Rules().Limits[file] = Bytes;
}

void ClearHeadlessFileRules()
{
    Rules().NoNewFiles.clear();
    Rules().Limits.clear();
}

std::string PlatformPath(const std::string& Path)
{
    if (Path.size() >= 2 && std::isalpha(static_cast<unsigned char>(Path[0])) && Path[1] == ':') {
        std::string rest = Path.substr(2);
        for (char& c : rest)
            if (c == '\\')
                c = '/';
        while (!rest.empty() && rest.front() == '/')
            rest.erase(rest.begin());
        fs::path dir = fs::path(RootSlot()) / std::string(1, static_cast<char>(std::tolower(static_cast<unsigned char>(Path[0]))));
        fs::path full = dir / rest;
        std::error_code ec;
        fs::create_directories(full.parent_path(), ec);
        return full.string();
    }
    return Path;
}

std::FILE* PlatformOpenFile(const std::string& Path, TFileStream::Mode M)
{
    if (M == TFileStream::fmOpenRead)
        return std::fopen(Path.c_str(), "rb");
    std::error_code ec;
    if (M == TFileStream::fmCreate && !fs::exists(Path, ec) && RefusesNewFiles(Path)) {
        errno = EACCES;
        return nullptr;
    }
    std::FILE* f = std::fopen(Path.c_str(), M == TFileStream::fmCreate ? "wb" : "r+b");
    if (f) {
        auto limit = Rules().Limits.find(Normal(Path));
        if (limit != Rules().Limits.end())
            Rules().Budgets[f] = limit->second;
    }
    return f;
}

std::size_t PlatformWriteFile(std::FILE* File, const void* Buffer, std::size_t Count)
{
    auto budget = Rules().Budgets.find(File);
    if (budget == Rules().Budgets.end())
        return std::fwrite(Buffer, 1, Count, File);
    const std::size_t allowed = static_cast<std::size_t>(std::min<std::int64_t>(budget->second, static_cast<std::int64_t>(Count)));
    const std::size_t written = std::fwrite(Buffer, 1, allowed, File);
    budget->second -= static_cast<std::int64_t>(written);
    if (written < Count)
        errno = ENOSPC;
    return written;
}

bool PlatformTruncateFile(std::FILE* File, std::int64_t Size)
{
    return std::fflush(File) == 0 && Size >= 0 && ftruncate(fileno(File), static_cast<off_t>(Size)) == 0;
}

bool PlatformCloseFile(std::FILE* File)
{
    Rules().Budgets.erase(File);
    const bool flushed = std::fflush(File) == 0;
    return std::fclose(File) == 0 && flushed;
}

bool PlatformReplaceFile(const std::string& From, const std::string& To)
{
    if (RefusesNewFiles(To))
        return false;
    return std::rename(From.c_str(), To.c_str()) == 0;
}

bool PlatformFileExists(const std::string& Path)
{
    std::error_code ec;
    return fs::is_regular_file(Path, ec);
}

bool PlatformRemoveFile(const std::string& Path) { return std::remove(Path.c_str()) == 0; }
