#include "base/streams.h"

#include <algorithm>
#include <cstring>
#include <vector>

std::string PlatformPath(const std::string& Path) { return Path; }

std::size_t PlatformWriteRuns(std::FILE* File, const TWriteRun* Runs, std::size_t Count)
{
    // Runs are gathered into pieces of about 1 MiB: one write per small run costs file
    // systems far more than copying them together first.
    constexpr std::size_t Piece = std::size_t(1) << 20;
    std::vector<std::uint8_t> piece;
    std::size_t written = 0;
    auto flush = [&] {
        const std::size_t n = std::fwrite(piece.data(), 1, piece.size(), File);
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
            const std::size_t n = std::fwrite(data, 1, Runs[i].Count, File);
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

