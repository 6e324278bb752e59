// Copying a TBitmap32 in and out: assign, BMP output, stored pixel data, content comparison.
#include <cstring>

#include "bitmap/bitmap32.h"
#include "bitmap/bmp_writer.h"

void TBitmap32::Assign(TPersistent* Source)
{
    BeginUpdate();
    struct EndAndNotify {
        TBitmap32* self;
        ~EndAndNotify() noexcept(false)
        {
            self->EndUpdate();
            self->NotifyChange();
        }
    } atEnd{this};
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

void TBitmap32::WritePixelData(TStream& Stream)
{
    std::int32_t w = FWidth, h = FHeight;
    Stream.WriteBuffer(&w, 4);
    Stream.WriteBuffer(&h, 4);
    if (!IsEmpty())
        Stream.WriteBuffer(FBits, static_cast<std::size_t>(FWidth) * FHeight * sizeof(TColor32));
}

void TBitmap32::ReadPixelData(TStream& Stream)
{
    struct NotifyAtEnd {
        TBitmap32* self;
        ~NotifyAtEnd() { self->NotifyChange(); }
    } atEnd{this};
    std::int32_t w = 0, h = 0;
    Stream.ReadBuffer(&w, 4);
    Stream.ReadBuffer(&h, 4);
    SetSize(w, h);
    if (!IsEmpty())
        Stream.ReadBuffer(FBits, static_cast<std::size_t>(FWidth) * FHeight * sizeof(TColor32));
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
    if (!other || std::strcmp(other->ClassName(), ClassName()) != 0)
        return false;
    if (IsEmpty() || other->IsEmpty())
        return IsEmpty() && other->IsEmpty();
    TMemoryStream a, b;
    SaveAsBmpStream(a);
    other->SaveAsBmpStream(b);
    return a.Bytes() == b.Bytes();
}
