#include "standin_report.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {
std::uint32_t Le(const std::vector<std::uint8_t>& b, std::size_t at, int bytes)
{
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | b[at + i];
    return v;
}

void Section(std::ostringstream& out, const char* name, const ExchangeFileInfo& f)
{
    out << name << ".path " << f.Path << '\n' << name << ".status " << f.Status << '\n';
    if (f.Status == "missing")
        return;
    char sum[16];
    std::snprintf(sum, sizeof sum, "%08x", static_cast<unsigned>(f.Checksum));
    out << name << ".bytes " << f.Bytes << '\n' << name << ".fnv1a " << sum << '\n';
    if (f.Status != "ok")
        return;
    out << name << ".width " << f.Width << '\n'
        << name << ".height " << f.Height << '\n'
        << name << ".bits " << f.BitsPerPixel << '\n';
}

bool ParseMs(const std::string& s, unsigned& out)
{
    if (s.empty() || s.size() > 7 || s.find_first_not_of("0123456789") != std::string::npos)
        return false;
    out = static_cast<unsigned>(std::strtoul(s.c_str(), nullptr, 10));
    return out <= StandinOptions::StayLimitMs;
}
} // namespace

std::uint32_t Fnv1a32(const std::vector<std::uint8_t>& Bytes)
{
    std::uint32_t h = 0x811C9DC5u;
    for (std::uint8_t b : Bytes) {
        h ^= b;
        h *= 0x01000193u;
    }
    return h;
}

namespace {
// The checks of InspectExchangeFile on what they need: the first bytes of the file (the
// headers lie in its first 54), its size and its checksum.
ExchangeFileInfo InspectHeaders(const std::string& Path, const std::vector<std::uint8_t>& Head, std::uint64_t Size,
                                std::uint32_t Checksum)
{
    ExchangeFileInfo f;
    f.Path = Path;
    f.Bytes = Size;
    f.Checksum = Checksum;
    auto bad = [&](const char* why) {
        f.Status = std::string("bad: ") + why;
        f.Width = f.Height = f.BitsPerPixel = 0;
        return f;
    };
    if (Head.size() < 54 || Head[0] != 'B' || Head[1] != 'M')
        return bad("not a BMP file");
    if (Le(Head, 2, 4) != Size)
        return bad("file size field does not match the file");
    const std::uint32_t offset = Le(Head, 10, 4), infoSize = Le(Head, 14, 4);
    if (infoSize < 40 || 14ull + infoSize > offset || offset > Size)
        return bad("header sizes out of range");
    const std::int32_t width = static_cast<std::int32_t>(Le(Head, 18, 4));
    const std::int32_t height = static_cast<std::int32_t>(Le(Head, 22, 4));
    const std::uint32_t planes = Le(Head, 26, 2), bits = Le(Head, 28, 2), compression = Le(Head, 30, 4);
    if (planes != 1)
        return bad("planes is not 1");
    if (bits != 24 && bits != 32)
        return bad("not 24 or 32 bits per pixel");
    if (compression != 0)
        return bad("compressed");
    // Rows are bottom-up in both exchange files; widths and heights fit a host's 16 bits.
    if (width <= 0 || height <= 0 || width > 32767 || height > 32767)
        return bad("size out of range");
    const std::uint64_t stride = (static_cast<std::uint64_t>(width) * bits / 8 + 3) / 4 * 4;
    const std::uint64_t pixels = stride * static_cast<std::uint64_t>(height);
    if (Le(Head, 34, 4) != pixels)
        return bad("image size field does not match the rows");
    if (offset + pixels != Size)
        return bad("pixel data does not end the file");
    f.Status = "ok";
    f.Width = width;
    f.Height = height;
    f.BitsPerPixel = static_cast<int>(bits);
    return f;
}
} // namespace

ExchangeFileInfo InspectExchangeFile(const std::string& Path, const std::vector<std::uint8_t>& Bytes)
{
    const std::vector<std::uint8_t> head(Bytes.begin(), Bytes.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(Bytes.size(), 54)));
    return InspectHeaders(Path, head, Bytes.size(), Fnv1a32(Bytes));
}

ExchangeFileInfo InspectExchangeFilePath(const std::string& Path, const std::string& OpenPath)
{
    std::ifstream in(OpenPath, std::ios::binary);
    if (!in) {
        ExchangeFileInfo f;
        f.Path = Path;
        f.Status = "missing";
        return f;
    }
    // A piece at a time: exchange files of large images are not held whole.
    std::vector<std::uint8_t> head, piece(std::size_t(1) << 20);
    std::uint64_t size = 0;
    std::uint32_t h = 0x811C9DC5u;
    while (in) {
        in.read(reinterpret_cast<char*>(piece.data()), static_cast<std::streamsize>(piece.size()));
        const auto n = static_cast<std::size_t>(in.gcount());
        if (n == 0)
            break;
        if (head.size() < 54)
            head.insert(head.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(n, 54 - head.size())));
        for (std::size_t i = 0; i < n; ++i) {
            h ^= piece[i];
            h *= 0x01000193u;
        }
        size += n;
    }
    return InspectHeaders(Path, head, size, h);
}

std::string FormatReport(const ExchangeFileInfo& Image, const ExchangeFileInfo& Mask)
{
    std::ostringstream out;
    out << "Tarnwick Studio stand-in report\n";
    Section(out, "image", Image);
    Section(out, "mask", Mask);
    out << "end\n";
    return out.str();
}

std::optional<std::map<std::string, std::string>> ParseReport(const std::string& Text)
{
    std::map<std::string, std::string> values;
    std::istringstream in(Text);
    std::string line;
    bool ended = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line == "end") {
            ended = true;
            break;
        }
        const std::size_t space = line.find(' ');
        if (space == std::string::npos || space == 0)
            continue;
        values[line.substr(0, space)] = line.substr(space + 1);
    }
    if (!ended)
        return std::nullopt;
    return values;
}

bool ParseStandinOptions(const std::vector<std::string>& Args, EnvLookup Env, StandinOptions& Out, std::string& Error)
{
    if (Env) {
        if (auto v = Env("TARNWICK_STANDIN_IMAGE"))
            Out.ImagePath = *v;
        if (auto v = Env("TARNWICK_STANDIN_MASK"))
            Out.MaskPath = *v;
        if (auto v = Env("TARNWICK_STANDIN_REPORT"))
            Out.ReportPath = *v;
        if (auto v = Env("TARNWICK_STANDIN_EXIT_AFTER_MS"); v && !ParseMs(*v, Out.ExitAfterMs))
            return Error = "TARNWICK_STANDIN_EXIT_AFTER_MS is not a number of milliseconds up to 60000", false;
    }
    for (std::size_t i = 0; i < Args.size(); ++i) {
        const std::string& k = Args[i];
        const bool hasValue = i + 1 < Args.size();
        if (k == "--stay") {
            Out.Stay = true;
        } else if (k == "--image" && hasValue) {
            Out.ImagePath = Args[++i];
        } else if (k == "--mask" && hasValue) {
            Out.MaskPath = Args[++i];
        } else if (k == "--report" && hasValue) {
            Out.ReportPath = Args[++i];
        } else if (k == "--exit-after-ms" && hasValue) {
            if (!ParseMs(Args[++i], Out.ExitAfterMs))
                return Error = "--exit-after-ms takes milliseconds up to 60000", false;
            Out.Stay = false;
        } else {
            return Error = "bad or incomplete argument " + k, false;
        }
    }
    return true;
}

unsigned StandinLifetimeMs(const StandinOptions& Options)
{
    return Options.Stay ? StandinOptions::StayLimitMs : Options.ExitAfterMs;
}
