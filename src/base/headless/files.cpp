#include "base/headless/files.h"

#include <limits.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <vector>

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
    std::map<std::string, int> InUse;               // held files: refusals left, < 0 always
    std::int64_t PausedMs = 0;
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

// Whether the file at FilePath is held now; a counted hold spends one refusal.
bool TakeInUse(const std::string& FilePath)
{
    auto held = Rules().InUse.find(Normal(FilePath));
    if (held == Rules().InUse.end() || held->second == 0)
        return false;
    if (held->second > 0)
        --held->second;
    return true;
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

void SetHeadlessFileInUse(const std::string& Path, int Times)
{
    const std::string file = Normal(PlatformPath(Path));
    if (Times == 0)
        Rules().InUse.erase(file);
    else
        Rules().InUse[file] = Times;
}

std::int64_t HeadlessPausedMilliseconds() { return Rules().PausedMs; }

void ClearHeadlessFileRules()
{
    Rules().NoNewFiles.clear();
    Rules().Limits.clear();
    Rules().InUse.clear();
    Rules().PausedMs = 0;
}

void PlatformPause(int Milliseconds) { Rules().PausedMs += Milliseconds > 0 ? Milliseconds : 0; }

bool PlatformFileInUse(const std::string& Path)
{
    auto held = Rules().InUse.find(Normal(Path));
    return held != Rules().InUse.end() && held->second != 0 && PlatformFileExists(Path);
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
    const bool exists = fs::exists(Path, ec);
    if (M == TFileStream::fmCreate && !exists && RefusesNewFiles(Path)) {
        errno = EACCES;
        return nullptr;
    }
    if (exists && TakeInUse(Path)) {
        errno = EBUSY;
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

TFileOutcome PlatformReplaceFile(const std::string& From, const std::string& To)
{
    if (TakeInUse(From) || (PlatformFileExists(To) && TakeInUse(To)))
        return TFileOutcome::InUse;
    if (RefusesNewFiles(To))
        return TFileOutcome::Denied;
    return std::rename(From.c_str(), To.c_str()) == 0 ? TFileOutcome::Done : TFileOutcome::Failed;
}

bool PlatformFileExists(const std::string& Path)
{
    std::error_code ec;
    return fs::is_regular_file(Path, ec);
}

bool PlatformRemoveFile(const std::string& Path) { return std::remove(Path.c_str()) == 0; }

std::size_t PlatformWriteRuns(std::FILE* File, const TWriteRun* Runs, std::size_t Count)
{
    // A file under a write limit takes the runs one by one, so the limit holds for them too.
    if (Rules().Budgets.count(File)) {
        std::size_t written = 0;
        for (std::size_t i = 0; i < Count; ++i) {
            const std::size_t n = PlatformWriteFile(File, Runs[i].Data, Runs[i].Count);
            written += n;
            if (n != Runs[i].Count)
                break;
        }
        return written;
    }
    // Straight from the runs to the file, IOV_MAX of them per call: no copy into one buffer.
    if (std::fflush(File) != 0)
        return 0;
    const int fd = fileno(File);
    std::vector<iovec> pieces;
    pieces.reserve(std::min<std::size_t>(Count, IOV_MAX));
    std::size_t written = 0;
    for (std::size_t first = 0; first < Count; first += IOV_MAX) {
        pieces.clear();
        for (std::size_t i = first; i < Count && i < first + IOV_MAX; ++i)
            if (Runs[i].Count != 0)
                pieces.push_back(iovec{const_cast<void*>(Runs[i].Data), Runs[i].Count});
        iovec* next = pieces.data();
        std::size_t left = pieces.size();
        while (left > 0) {
            const ssize_t n = writev(fd, next, static_cast<int>(left));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return written;
            written += static_cast<std::size_t>(n);
            // A short write goes on where it stopped.
            std::size_t done = static_cast<std::size_t>(n);
            for (; left > 0 && done >= next->iov_len; ++next, --left)
                done -= next->iov_len;
            if (left > 0 && done > 0) {
                next->iov_base = static_cast<char*>(next->iov_base) + done;
                next->iov_len -= done;
            }
        }
    }
    // The stream's own position follows the descriptor's again.
    const off_t at = lseek(fd, 0, SEEK_CUR);
    if (at >= 0)
        fseeko(File, at, SEEK_SET);
    return written;
}
