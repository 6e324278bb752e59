#include "handoff_checks.h"

#include <cstdio>

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
} // namespace

ByteVector ExpectedImageFile(const HostImage& Image)
{
    const std::uint32_t pixels = 4u * static_cast<std::uint32_t>(Image.Width) * static_cast<std::uint32_t>(Image.Height);
    ByteVector b = Headers(Image.Width, Image.Height, 32, pixels);
    b.reserve(b.size() + pixels);
    for (int y = Image.Height - 1; y >= 0; --y)
        for (int x = 0; x < Image.Width; ++x) {
            const std::uint8_t* p =
                Image.Pixels.data() + (static_cast<std::size_t>(y) * Image.Width + x) * Image.Channels;
            for (int k = 0; k < 4; ++k)
                b.push_back(k < Image.Channels ? p[k] : 0);
        }
    return b;
}

int ExpectedMaskBits(int DisplayDepth) { return DisplayDepth == 24 ? 24 : 32; }

ByteVector ExpectedMaskFile(int Width, int Height, const std::optional<ByteVector>& Selection, int BitsPerPixel)
{
    const std::size_t bytesPerPixel = BitsPerPixel == 24 ? 3 : 4;
    const std::size_t stride = (static_cast<std::size_t>(Width) * bytesPerPixel + 3) / 4 * 4;
    ByteVector b = Headers(Width, Height, static_cast<int>(bytesPerPixel * 8), static_cast<std::uint32_t>(stride * Height));
    for (int y = Height - 1; y >= 0; --y) {
        const std::size_t start = b.size();
        for (int x = 0; x < Width; ++x) {
            const std::uint8_t red = Selection ? (*Selection)[static_cast<std::size_t>(y) * Width + x] : 255;
            b.push_back(0);
            b.push_back(0);
            b.push_back(red);
            if (bytesPerPixel == 4)
                b.push_back(0);
        }
        b.resize(start + stride, 0);
    }
    return b;
}

std::string DescribeDifference(const ByteVector& Actual, const ByteVector& Expected)
{
    const std::size_t n = Actual.size() < Expected.size() ? Actual.size() : Expected.size();
    for (std::size_t i = 0; i < n; ++i)
        if (Actual[i] != Expected[i]) {
            char s[128];
            std::snprintf(s, sizeof s, "byte %zu is %u, expected %u (%s)", i, Actual[i], Expected[i],
                          i < 54 ? "header" : "pixels");
            std::string d = s;
            if (Actual.size() != Expected.size())
                d += ", and the file has " + std::to_string(Actual.size()) + " bytes instead of " +
                     std::to_string(Expected.size());
            return d;
        }
    if (Actual.size() != Expected.size())
        return std::to_string(Actual.size()) + " bytes instead of " + std::to_string(Expected.size());
    return {};
}

std::vector<std::string> CheckStandinReport(const std::map<std::string, std::string>& Report,
                                            const ByteVector& ImageFile, const ByteVector& MaskFile,
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
    auto section = [&](const std::string& name, const ByteVector& file, int bits) {
        char sum[16];
        std::snprintf(sum, sizeof sum, "%08x", static_cast<unsigned>(Fnv1a32(file)));
        check(name + ".status", "ok");
        check(name + ".width", std::to_string(Width));
        check(name + ".height", std::to_string(Height));
        check(name + ".bits", std::to_string(bits));
        check(name + ".bytes", std::to_string(file.size()));
        check(name + ".fnv1a", sum);
    };
    section("image", ImageFile, 32);
    section("mask", MaskFile, MaskBits);
    return problems;
}
