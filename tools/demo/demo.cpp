// Bitmap-core demo: scales a built-in test picture (or a 32-bit BMP named on the command
// line) with each stretch filter and writes the results as BMP files.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bitmap/bitmap32.h"
#include "bitmap/low_level.h"

namespace {

void MakeTestPicture(TBitmap32& B)
{
    B.SetSize(64, 48);
    for (int y = 0; y < B.Height(); ++y)
        for (int x = 0; x < B.Width(); ++x) {
            bool check = ((x >> 3) + (y >> 3)) & 1;
            int r = x * 255 / (B.Width() - 1), g = y * 255 / (B.Height() - 1);
            B.SetPixelAt(x, y, check ? MakeColor32(r, g, 128) : MakeColor32(255 - r, 40, g));
        }
    // A hard diagonal edge shows ringing and smoothing differences between the filters.
    for (int i = 0; i < 48; ++i)
        B.SetPixelAt(8 + i, i, 0xFFFFFFFF);
}

// Reads an uncompressed 24- or 32-bit BMP; returns false on anything else.
bool LoadBmp(const char* Path, TBitmap32& B)
{
    std::FILE* f = std::fopen(Path, "rb");
    if (!f)
        return false;
    std::vector<unsigned char> d;
    unsigned char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        d.insert(d.end(), buf, buf + n);
    std::fclose(f);
    auto u32 = [&](std::size_t o) { return o + 4 <= d.size() ? d[o] | d[o + 1] << 8 | d[o + 2] << 16 | (unsigned)d[o + 3] << 24 : 0u; };
    auto u16 = [&](std::size_t o) { return o + 2 <= d.size() ? d[o] | d[o + 1] << 8 : 0; };
    if (d.size() < 54 || d[0] != 'B' || d[1] != 'M' || u32(30) != 0)
        return false;
    int w = static_cast<int>(u32(18)), h = static_cast<int>(u32(22)), bpp = u16(28);
    bool bottomUp = h > 0;
    h = std::abs(h);
    if (w <= 0 || h <= 0 || w > 16384 || h > 16384 || (bpp != 24 && bpp != 32))
        return false;
    std::size_t stride = (static_cast<std::size_t>(w) * bpp / 8 + 3) & ~std::size_t(3), off = u32(10);
    if (off + stride * h > d.size())
        return false;
    B.SetSize(w, h);
    for (int y = 0; y < h; ++y) {
        const unsigned char* row = d.data() + off + stride * (bottomUp ? h - 1 - y : y);
        for (int x = 0; x < w; ++x) {
            const unsigned char* p = row + x * (bpp / 8);
            B.SetPixelAt(x, y, MakeColor32(p[2], p[1], p[0], bpp == 32 ? p[3] : 255));
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    TBitmap32 source;
    if (argc > 1 && argv[1][0] != 0) {
        if (!LoadBmp(argv[1], source)) {
            std::fprintf(stderr, "demo: %s is not an uncompressed 24- or 32-bit BMP\n", argv[1]);
            return 1;
        }
    } else {
        MakeTestPicture(source);
    }
    const std::string outDir = argc > 2 ? argv[2] : ".";
    std::error_code ec;
    std::filesystem::create_directories(outDir, ec);
    static const char* names[] = {"nearest", "draft", "linear", "cosine", "spline", "lanczos", "mitchell"};
    for (int f = 0; f <= sfMitchell; ++f) {
        for (int zoom : {3, -2}) {
            int w = zoom > 0 ? source.Width() * zoom : std::max(1, source.Width() / -zoom);
            int h = zoom > 0 ? source.Height() * zoom : std::max(1, source.Height() / -zoom);
            TBitmap32 dest;
            dest.SetSize(w, h);
            source.SetStretchFilter(static_cast<TStretchFilter>(f));
            source.DrawToBitmap(&dest, TRect{0, 0, w, h});
            std::string path = outDir + "/scaled_" + names[f] + (zoom > 0 ? "_up.bmp" : "_down.bmp");
            try {
                dest.SaveToFile(path);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "demo: %s\n", e.what());
                return 1;
            }
            std::printf("%s (%dx%d)\n", path.c_str(), w, h);
        }
    }
    return 0;
}
