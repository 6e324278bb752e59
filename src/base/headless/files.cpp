#include "base/headless/files.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <limits.h>
#include <sys/uio.h>
#include <unistd.h>

#include "base/streams.h"

namespace {
std::string& RootSlot()
{
    static std::string root = [] {
        const char* env = std::getenv("VESPER_DRIVES");
        return std::string(env && *env ? env : "drives");
    }();
    return root;
}
} // namespace

void SetHeadlessDriveRoot(const std::string& Root) { RootSlot() = Root; }
std::string HeadlessDriveRoot() { return RootSlot(); }

std::string PlatformPath(const std::string& Path)
{
    if (Path.size() >= 2 && std::isalpha(static_cast<unsigned char>(Path[0])) && Path[1] == ':') {
        std::string rest = Path.substr(2);
        for (char& c : rest)
            if (c == '\\')
                c = '/';
        while (!rest.empty() && rest.front() == '/')
            rest.erase(rest.begin());
        std::filesystem::path dir = std::filesystem::path(RootSlot()) /
                                    std::string(1, static_cast<char>(std::tolower(static_cast<unsigned char>(Path[0]))));
        std::filesystem::path full = dir / rest;
        std::error_code ec;
        std::filesystem::create_directories(full.parent_path(), ec);
        return full.string();
    }
    return Path;
}

std::size_t PlatformWriteRuns(std::FILE* File, const TWriteRun* Runs, std::size_t Count)
{
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
