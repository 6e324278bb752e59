#include "handoff_checks.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "standin_report.h"

namespace {
void Put(ByteVector& b, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

ByteVector Headers(int Width, int Height, int Bits, std::uint32_t PixelBytes)
{
    ByteVector b;
    b.push_back('B');
    b.push_back('M');
    Put(b, 54 + PixelBytes, 4);
    Put(b, 0, 4);
    Put(b, 54, 4);
    Put(b, 40, 4);
    Put(b, static_cast<std::uint32_t>(Width), 4);
    Put(b, static_cast<std::uint32_t>(Height), 4);
    Put(b, 1, 2);
    Put(b, static_cast<std::uint32_t>(Bits), 2);
    Put(b, 0, 4);
    Put(b, PixelBytes, 4);
    Put(b, 0, 4);
    Put(b, 0, 4);
    Put(b, 0, 4);
    Put(b, 0, 4);
    return b;
}

ByteVector Collect(const ExpectedBytes& Expected)
{
    ByteVector all;
    Expected([&](const std::uint8_t* p, std::size_t n) { all.insert(all.end(), p, p + n); });
    return all;
}

std::uint32_t Fnv1aStep(std::uint32_t h, const std::uint8_t* p, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        h ^= p[i];
        h *= 0x01000193u;
    }
    return h;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string DifferenceAt(std::uint64_t At, unsigned Actual, unsigned Expected)
{
    char s[128];
    std::snprintf(s, sizeof s, "byte %llu is %u, expected %u (%s)", static_cast<unsigned long long>(At), Actual,
                  Expected, At < 54 ? "header" : "pixels");
    return s;
}

std::string SizeDifference(std::uint64_t Actual, std::uint64_t Expected)
{
    return std::to_string(Actual) + " bytes instead of " + std::to_string(Expected);
}
} // namespace

void EmitExpectedImageFile(const HostImage& Image, const ByteSink& Out)
{
    const std::uint32_t pixels = 4u * static_cast<std::uint32_t>(Image.Width) * static_cast<std::uint32_t>(Image.Height);
    const ByteVector h = Headers(Image.Width, Image.Height, 32, pixels);
    Out(h.data(), h.size());
    ByteVector row(static_cast<std::size_t>(Image.Width) * 4);
    for (int y = Image.Height - 1; y >= 0; --y) {
        for (int x = 0; x < Image.Width; ++x) {
            const std::uint8_t* p =
                Image.Pixels.data() + (static_cast<std::size_t>(y) * Image.Width + x) * Image.Channels;
            for (int k = 0; k < 4; ++k)
                row[static_cast<std::size_t>(x) * 4 + k] = k < Image.Channels ? p[k] : 0;
        }
        Out(row.data(), row.size());
    }
}

ByteVector ExpectedImageFile(const HostImage& Image)
{
    return Collect([&](const ByteSink& Out) { EmitExpectedImageFile(Image, Out); });
}

int ExpectedMaskBits(int DisplayDepth) { return DisplayDepth == 24 ? 24 : 32; }

void EmitExpectedMaskFile(int Width, int Height, const ByteVector* Selection, int BitsPerPixel, const ByteSink& Out)
{
    const std::size_t bytesPerPixel = BitsPerPixel == 24 ? 3 : 4;
    const std::size_t stride = (static_cast<std::size_t>(Width) * bytesPerPixel + 3) / 4 * 4;
    const ByteVector h = Headers(Width, Height, static_cast<int>(bytesPerPixel * 8), static_cast<std::uint32_t>(stride * Height));
    Out(h.data(), h.size());
    ByteVector row(stride, 0); // blue, green, the fourth byte and the padding stay 0
    for (int y = Height - 1; y >= 0; --y) {
        for (int x = 0; x < Width; ++x)
            row[static_cast<std::size_t>(x) * bytesPerPixel + 2] =
                Selection ? (*Selection)[static_cast<std::size_t>(y) * Width + x] : 255;
        Out(row.data(), row.size());
    }
}

ByteVector ExpectedMaskFile(int Width, int Height, const std::optional<ByteVector>& Selection, int BitsPerPixel)
{
    return Collect([&](const ByteSink& Out) {
        EmitExpectedMaskFile(Width, Height, Selection ? &*Selection : nullptr, BitsPerPixel, Out);
    });
}

std::string DescribeDifference(const ByteVector& Actual, const ByteVector& Expected)
{
    const std::size_t n = std::min(Actual.size(), Expected.size());
    for (std::size_t i = 0; i < n; ++i)
        if (Actual[i] != Expected[i]) {
            std::string d = DifferenceAt(i, Actual[i], Expected[i]);
            if (Actual.size() != Expected.size())
                d += ", and the file has " + SizeDifference(Actual.size(), Expected.size());
            return d;
        }
    if (Actual.size() != Expected.size())
        return SizeDifference(Actual.size(), Expected.size());
    return {};
}

std::optional<FileFacts> FactsOfFile(const std::string& Path)
{
    File f(std::fopen(Path.c_str(), "rb"));
    if (!f)
        return std::nullopt;
    FileFacts facts;
    ByteVector buffer(std::size_t(1) << 20);
    for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), f.get())) > 0;) {
        facts.Bytes += n;
        facts.Fnv1a = Fnv1aStep(facts.Fnv1a, buffer.data(), n);
    }
    return facts;
}

std::optional<FileComparison> CompareFile(const std::string& Path, const ExpectedBytes& Expected, int ColourTolerance)
{
    auto near = [ColourTolerance](std::uint64_t At, int Actual, int Want) {
        if (Actual == Want)
            return true;
        const bool colour = At >= 54 && (At - 54) % 4 != 3;
        return colour && Actual - Want <= ColourTolerance && Want - Actual <= ColourTolerance;
    };
    File f(std::fopen(Path.c_str(), "rb"));
    if (!f)
        return std::nullopt;
    FileComparison c;
    std::uint64_t expectedSize = 0;
    bool differs = false;
    ByteVector buffer;
    Expected([&](const std::uint8_t* p, std::size_t n) {
        expectedSize += n;
        buffer.resize(n);
        const std::size_t got = std::fread(buffer.data(), 1, n, f.get());
        if (!differs)
            for (std::size_t i = 0; i < got; ++i)
                if (!near(c.Facts.Bytes + i, buffer[i], p[i])) {
                    c.Difference = DifferenceAt(c.Facts.Bytes + i, buffer[i], p[i]);
                    differs = true;
                    break;
                }
        c.Facts.Bytes += got;
        c.Facts.Fnv1a = Fnv1aStep(c.Facts.Fnv1a, buffer.data(), got);
    });
    // Whatever the file holds beyond the expected bytes.
    buffer.resize(std::size_t(1) << 20);
    for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), f.get())) > 0;) {
        c.Facts.Bytes += n;
        c.Facts.Fnv1a = Fnv1aStep(c.Facts.Fnv1a, buffer.data(), n);
    }
    if (c.Facts.Bytes != expectedSize)
        c.Difference = differs ? c.Difference + ", and the file has " + SizeDifference(c.Facts.Bytes, expectedSize)
                               : SizeDifference(c.Facts.Bytes, expectedSize);
    return c;
}

std::vector<std::string> CheckStandinReport(const std::map<std::string, std::string>& Report,
                                            const FileFacts& ImageFile, const FileFacts& MaskFile,
                                            int Width, int Height, int MaskBits)
{
    std::vector<std::string> problems;
    auto check = [&](const std::string& key, const std::string& want) {
        auto it = Report.find(key);
        if (it == Report.end())
            problems.push_back("report has no " + key);
        else if (it->second != want)
            problems.push_back("report " + key + " is \"" + it->second + "\", expected \"" + want + "\"");
    };
    auto section = [&](const std::string& name, const FileFacts& file, int bits) {
        char sum[16];
        std::snprintf(sum, sizeof sum, "%08x", static_cast<unsigned>(file.Fnv1a));
        check(name + ".status", "ok");
        check(name + ".width", std::to_string(Width));
        check(name + ".height", std::to_string(Height));
        check(name + ".bits", std::to_string(bits));
        check(name + ".bytes", std::to_string(file.Bytes));
        check(name + ".fnv1a", sum);
    };
    section("image", ImageFile, 32);
    section("mask", MaskFile, MaskBits);
    return problems;
}
