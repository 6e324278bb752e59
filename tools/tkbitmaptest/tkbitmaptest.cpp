// Builds each kind of toolkit graphic on GDI objects, assigns it to a TBitmap32 and back,
// prints the pixels and exits with 1 on the first kind that does not come out as expected.
#include <cstdio>
#include <string>

#include "bitmap/bitmap32.h"
#include "bitmap/low_level.h"
#include "toolkit/tkbitmap.h"

namespace {

int Failures = 0;

void Check(const char* What, bool Ok)
{
    std::printf("%-48s %s\n", What, Ok ? "ok" : "MISMATCH");
    if (!Ok)
        ++Failures;
}

void Print(const char* Name, const TBitmap32& B)
{
    std::printf("%s %dx%d:", Name, B.Width(), B.Height());
    for (int y = 0; y < B.Height(); ++y)
        for (int x = 0; x < B.Width(); ++x)
            std::printf(" %08X", static_cast<unsigned>(B.PixelAt(x, y)));
    std::printf("\n");
}

TColor Probe(int X, int Y) { return static_cast<TColor>(((X * 40 + 20) & 0xFF) | ((Y * 60 + 30) & 0xFF) << 8 | 0x550000); }

void Paint(TBitmap& B)
{
    for (int y = 0; y < B.Height(); ++y)
        for (int x = 0; x < B.Width(); ++x)
            B.Canvas()->SetPixel(x, y, Probe(x, y));
}

bool MatchesProbe(const TBitmap32& D, TColor32 AlphaMask)
{
    for (int y = 0; y < D.Height(); ++y)
        for (int x = 0; x < D.Width(); ++x)
            if (D.PixelAt(x, y) != (ColorFromSystem(Probe(x, y)) & AlphaMask))
                return false;
    return true;
}

std::string Bytes(TBitmap& B)
{
    TMemoryStream s;
    B.SaveToStream(s);
    return std::string(s.Bytes().begin(), s.Bytes().end());
}

std::string Bytes(TBitmap32& B)
{
    TMemoryStream s;
    B.SaveAsBmpStream(s);
    return std::string(s.Bytes().begin(), s.Bytes().end());
}

class THalf : public TGraphic {
public:
    VP_CLASS_NAME(THalf)
    int Width() const override { return 4; }
    int Height() const override { return 2; }
    void Draw(TCanvas& Canvas, const TRect& R) override
    {
        Canvas.Brush.Color = clRed;
        Canvas.FillRect(TRect{R.Left, R.Top, R.Left + 2, R.Bottom});
    }
};

} // namespace

int main()
{
    for (TPixelFormat f : {pf24bit, pf32bit, pfDevice}) {
        TBitmap b;
        b.SetPixelFormat(f);
        b.SetSize(5, 3);
        Paint(b);
        TBitmap32 d;
        d.Assign(&b);
        Print(f == pf24bit ? "24-bit" : f == pf32bit ? "32-bit" : "device", d);
        const bool opaque = f == pf24bit || b.BitsPerPixel() != 32;
        Check(f == pf24bit ? "24-bit DIB: colours, alpha 255" : f == pf32bit ? "32-bit DIB: colours" : "device bitmap: colours",
              d.Width() == 5 && d.Height() == 3 && MatchesProbe(d, opaque ? 0xFFFFFFFFu : 0x00FFFFFFu));
    }
    {
        TBitmap b;
        b.SetPixelFormat(pf24bit);
        b.SetSize(3, 1);
        b.Canvas()->SetPixel(0, 0, 0x00FF00);
        b.Canvas()->SetPixel(1, 0, 0x123456);
        b.Canvas()->SetPixel(2, 0, 0x00FF00);
        b.Transparent = true;
        b.TransparentColor = 0x00FF00;
        TBitmap32 d;
        d.Assign(&b);
        Print("transparent", d);
        Check("transparent: alpha 0 on the key colour only",
              d.PixelAt(0, 0) == 0x0000FF00u && d.PixelAt(1, 0) == 0xFF563412u && d.PixelAt(2, 0) == 0x0000FF00u);
    }
    {
        TPicture p;
        TIcon* i = p.Icon();
        i->SetSize(2, 2);
        i->SetColorAt(0, 0, clRed);
        i->SetColorAt(1, 1, clWhite);
        TBitmap32 d;
        d.Assign(&p);
        Print("icon", d);
        Check("icon picture: alpha from the two renderings",
              d.PixelAt(0, 0) == 0xFFFF0000u && d.PixelAt(1, 1) == 0xFFFFFFFFu && d.PixelAt(1, 0) == 0x00FFFFFFu &&
                  d.PixelAt(0, 1) == 0x00FFFFFFu);
    }
    {
        TPicture p;
        p.SetGraphic(std::make_unique<THalf>());
        TBitmap32 d;
        d.Assign(&p);
        Print("graphic", d);
        Check("other graphic: drawn and opaque",
              d.Width() == 4 && d.PixelAt(1, 1) == 0xFFFF0000u && d.PixelAt(2, 0) == 0xFF000000u);
    }
    {
        TFont font;
        TBitmap32 d;
        std::string message;
        try {
            d.Assign(&font);
        } catch (const EConvertError& e) {
            message = e.what();
        }
        Check("font: cannot-assign message", message == "Cannot assign a TFont to a TBitmap32");
    }
    for (int w : {1, 3, 5, 6}) {
        TBitmap32 s;
        s.SetSize(w, 3);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < w; ++x)
                s.SetPixelAt(x, y, 0x80402010u + static_cast<TColor32>(x * 0x010305 + y * 0x07000B00));
        TBitmap b;
        b.Assign(&s);
        const std::string name = "width " + std::to_string(w) + ": assign-to pixels and BMP bytes";
        bool same = b.PixelFormat() == pf32bit && b.Width() == w && b.Height() == 3;
        for (int y = 0; same && y < 3; ++y)
            for (int x = 0; x < w; ++x)
                same = same && static_cast<std::uint32_t*>(b.ScanLine(y))[x] == s.PixelAt(x, y);
        Check(name.c_str(), same && Bytes(b) == Bytes(s));
        TBitmap32 back;
        back.Assign(&b);
        Check("  and back", Bytes(back) == Bytes(b));
    }
    {
        TBitmap ddb;
        ddb.SetSize(3, 2);
        Paint(ddb);
        const std::string f = Bytes(ddb);
        const int bits = static_cast<unsigned char>(f[28]) | static_cast<unsigned char>(f[29]) << 8;
        std::printf("device bitmap file: %d bits, %zu bytes\n", bits, f.size());
        Check("device bitmap file: screen depth", bits == ddb.BitsPerPixel() && f.size() == 54u + 2u * tkb::RowBytes(3, bits));
    }
    Check("stock system font", StockSystemFont() != nullptr);
    std::printf("%d mismatch(es)\n", Failures);
    return Failures ? 1 : 0;
}
