// Copying a TBitmap32 in and out: assign, BMP output, stored pixel data, content comparison.
#include <cstring>
#include <typeinfo>

#include "bitmap/bitmap32.h"
#include "bitmap/bmp_writer.h"

void TBitmap32::Assign(TPersistent* Source)
{
    ChangeInUpdate([&] { AssignInUpdate(Source); });
}

void TBitmap32::AssignInUpdate(TPersistent* Source)
{
    if (!Source) {
        SetSize(0, 0);
        return;
    }
    if (auto* src = dynamic_cast<TBitmap32*>(Source)) {
        if (src == this)
            return;
        SetSize(src->Width(), src->Height());
        if (!IsEmpty())
            std::memcpy(FBits, src->FBits, static_cast<std::size_t>(FWidth) * FHeight * sizeof(TColor32));
        FDrawMode = src->FDrawMode;
        FMasterAlpha = src->FMasterAlpha;
        FOuterColor = src->FOuterColor;
        FStretchFilter = src->FStretchFilter;
        return;
    }
    // Toolkit bitmaps, pictures and graphics are handled by the toolkit's assign hook; any
    // other object is asked to assign itself to this bitmap (the persistence fallback).
    if (AssignFromToolkit && AssignFromToolkit(this, Source))
        return;
    TPersistent::Assign(Source);
}

void TBitmap32::AssignTo(TPersistent* Dest)
{
    if (AssignToToolkit && AssignToToolkit(this, Dest))
        return;
    TPersistent::AssignTo(Dest);
}

namespace {
void PutLE32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::int32_t GetLE32(const std::uint8_t* p)
{
    return static_cast<std::int32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24);
}
} // namespace

// Width and height as little-endian 32-bit words, then the pixels as they lie in memory.
void TBitmap32::WritePixelData(TStream& Stream)
{
    std::uint8_t size[8];
    PutLE32(size, static_cast<std::uint32_t>(FWidth));
    PutLE32(size + 4, static_cast<std::uint32_t>(FHeight));
    Stream.WriteBuffer(size, sizeof size);
    if (!IsEmpty())
        Stream.WriteBuffer(FBits, static_cast<std::size_t>(FWidth) * FHeight * sizeof(TColor32));
}

void TBitmap32::ReadPixelData(TStream& Stream)
{
    try {
        std::uint8_t size[8];
        Stream.ReadBuffer(size, sizeof size);
        SetSize(GetLE32(size), GetLE32(size + 4));
        if (!IsEmpty())
            Stream.ReadBuffer(FBits, static_cast<std::size_t>(FWidth) * FHeight * sizeof(TColor32));
    } catch (...) {
        NotifyChange();
        throw;
    }
    NotifyChange();
}

void TBitmap32::DefineProperties(TFiler* Filer)
{
    bool hasData;
    if (Filer->Ancestor) {
        auto* anc = dynamic_cast<TBitmap32*>(Filer->Ancestor);
        hasData = !anc || !SameContentAs(anc);
    } else {
        hasData = !IsEmpty();
    }
    Filer->DefineBinaryProperty(
        "Data", [this](TStream& s) { ReadPixelData(s); }, [this](TStream& s) { WritePixelData(s); }, hasData);
}

void TBitmap32::SaveAsBmpStream(TStream& Stream)
{
    WriteBmp32(Stream, FBits, FWidth, FHeight);
}

void TBitmap32::SaveToFile(const std::string& FileName)
{
    WriteFileAtomically(FileName, [this](TStream& s) { SaveAsBmpStream(s); });
}

bool TBitmap32::SameContentAs(TPersistent* Other)
{
    auto* other = dynamic_cast<TBitmap32*>(Other);
    if (!other || typeid(*other) != typeid(*this))
        return false;
    if (IsEmpty() || other->IsEmpty())
        return IsEmpty() && other->IsEmpty();
    TMemoryStream a, b;
    SaveAsBmpStream(a);
    other->SaveAsBmpStream(b);
    return a.Bytes() == b.Bytes();
}
