// Toolkit graphics: the bitmap (device-independent with a pixel format, or device-dependent
// in the screen's format), a small masked icon, and the picture that holds one graphic.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/graphics.h"
#include "base/object.h"
#include "toolkit/pixel_rows.h"
#include "base/streams.h"
#include "toolkit/tkbitmap_backend.h"

// Something that can be drawn onto a canvas and knows its size.
class TGraphic : public TPersistent, public ISizeSource {
public:
    VP_CLASS_NAME(TGraphic)
    ~TGraphic() override;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    bool Empty() const { return Width() <= 0 || Height() <= 0; }
    // Draws the graphic scaled into R (right and bottom exclusive).
    virtual void Draw(TCanvas& Canvas, const TRect& R) = 0;
    int SourceWidth() const override { return Width(); }
    int SourceHeight() const override { return Height(); }
};

enum TPixelFormat { pfDevice, pf16bit, pf24bit, pf32bit };
enum TBitmapHandleType { bmDIB, bmDDB };

class TBitmap : public TGraphic, public IToolkitBitmapRows {
public:
    VP_CLASS_NAME(TBitmap)
    TBitmap();
    ~TBitmap() override;
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    int Width() const override { return FStore.Width; }
    int Height() const override { return FStore.Height; }
    // Resizing keeps the pixels of the common top-left area; new pixels are 0.
    void SetWidth(int Value) override { SetSize(Value, Height()); }
    void SetHeight(int Value) override { SetSize(Width(), Value); }
    void SetSize(int NewWidth, int NewHeight);

    // pfDevice is the device-dependent bitmap in the screen's format; the others are
    // device-independent with bottom-up rows padded to 4 bytes.
    TPixelFormat PixelFormat() const { return FFormat; }
    void SetPixelFormat(TPixelFormat Value);
    TBitmapHandleType HandleType() const { return FFormat == pfDevice ? bmDDB : bmDIB; }
    // bmDIB turns a device-dependent bitmap into a device-independent one of the screen's depth.
    void SetHandleType(TBitmapHandleType Value);
    // Bits per pixel of the storage (the screen depth for a device-dependent bitmap).
    int BitsPerPixel() const;
    // The row interface's view of the pixel format: 0 for pfDevice, else 16, 24 or 32.
    int PixelFormatBits() const override;
    void SetPixelFormatBits(int Bits) override;

    // Address of row Y (rows run bottom-up in memory). A device-dependent bitmap is first
    // made device-independent. Raises EInvalidOperation "Scan line index out of range".
    void* ScanLine(int Y);
    std::uint8_t* RowAddress(int Y) override { return static_cast<std::uint8_t*>(ScanLine(Y)); }
    // The canvas stays the same object for the bitmap's life and follows its storage.
    TCanvas* Canvas();
    void* Handle() const { return FStore.Handle; }
    const tkb::TStore& Store() const { return FStore; }

    bool Transparent = false;
    // clNone: the colour of the bottom-left pixel.
    TColor TransparentColor = clNone;
    TColor ResolvedTransparentColor();

    void Assign(TPersistent* Source) override;
    void Draw(TCanvas& Canvas, const TRect& R) override;
    // BMP layout: 14-byte file header, 40-byte information header, bottom-up rows padded to
    // 4 bytes; a device-dependent bitmap is written with the screen's depth (16, 24 or 32).
    void SaveToStream(TStream& Stream);
    void SaveToFile(const std::string& FileName);

private:
    void Rebuild(int NewWidth, int NewHeight, TPixelFormat NewFormat);
    tkb::TStore FStore;
    TPixelFormat FFormat = pfDevice;
    std::unique_ptr<TCanvas> FCanvas;
};

// A small icon-like graphic: colour pixels with a mask; masked pixels leave the canvas alone.
class TIcon : public TGraphic {
public:
    VP_CLASS_NAME(TIcon)
    int Width() const override { return FWidth; }
    int Height() const override { return FHeight; }
    // Every pixel starts black and transparent.
    void SetSize(int NewWidth, int NewHeight);
    TColor ColorAt(int X, int Y) const { return FColors[Index(X, Y)]; }
    bool IsTransparentAt(int X, int Y) const { return FMask[Index(X, Y)] != 0; }
    // Sets an opaque pixel.
    void SetColorAt(int X, int Y, TColor Color);
    void SetTransparentAt(int X, int Y);
    void Assign(TPersistent* Source) override;
    void Draw(TCanvas& Canvas, const TRect& R) override;

private:
    std::size_t Index(int X, int Y) const;
    int FWidth = 0, FHeight = 0;
    std::vector<TColor> FColors;
    std::vector<std::uint8_t> FMask;
};

// Holds at most one graphic, owned.
class TPicture : public TPersistent, public ISizeSource {
public:
    VP_CLASS_NAME(TPicture)
    TPicture();
    ~TPicture() override;
    TGraphic* Graphic() const { return FGraphic.get(); }
    void SetGraphic(std::unique_ptr<TGraphic> Value) { FGraphic = std::move(Value); }
    // The held bitmap; an empty one replaces any other graphic.
    TBitmap* Bitmap();
    // The held icon; an empty one replaces any other graphic.
    TIcon* Icon();
    int Width() const { return FGraphic ? FGraphic->Width() : 0; }
    int Height() const { return FGraphic ? FGraphic->Height() : 0; }
    int SourceWidth() const override { return Width(); }
    int SourceHeight() const override { return Height(); }
    // Copies a picture, bitmap or icon; null empties the picture.
    void Assign(TPersistent* Source) override;

private:
    std::unique_ptr<TGraphic> FGraphic;
};

// Module-wide objects made on first use and kept until unload: the 8 x 8 pattern bitmap
// (32 bits per pixel, zero-filled) and the platform's stock system font.
TBitmap* PatternBitmap();
void* StockSystemFont();

// Installs the TBitmap32 assign and assign-to hooks (done at start-up; repeating is harmless).
void InstallToolkitBitmapHooks();
