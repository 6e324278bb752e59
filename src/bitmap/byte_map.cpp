#include "bitmap/byte_map.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <string>

#include "bitmap/low_level.h"

namespace {
// Byte offset of the four plain channels within a little-endian colour word.
constexpr int ChannelOffset[4] = {2, 1, 0, 3}; // ckRed, ckGreen, ckBlue, ckAlpha

// Stores channel Kind of Count pixels; the kind is chosen once, outside the pixel loop.
void ReadChannel(const TColor32* Src, std::uint8_t* Dst, std::size_t Count, TChannelKind Kind)
{
    switch (Kind) {
    case ckRed: case ckGreen: case ckBlue: case ckAlpha: {
        const int shift = 8 * ChannelOffset[Kind];
        for (std::size_t i = 0; i < Count; ++i)
            Dst[i] = static_cast<std::uint8_t>(Src[i] >> shift);
        break;
    }
    case ckAverage:
        for (std::size_t i = 0; i < Count; ++i)
            Dst[i] = static_cast<std::uint8_t>((RedOf(Src[i]) + GreenOf(Src[i]) + BlueOf(Src[i])) / 3);
        break;
    case ckIntensity:
        for (std::size_t i = 0; i < Count; ++i)
            Dst[i] = static_cast<std::uint8_t>(IntensityOf(Src[i]));
        break;
    default: // unknown kinds read nothing
        break;
    }
}
} // namespace

void TByteMap::ReallocStorage(int& Width, int& Height, int NewWidth, int NewHeight)
{
    const std::uint64_t count = static_cast<std::uint64_t>(NewWidth < 0 ? 0 : NewWidth) *
                                static_cast<std::uint64_t>(NewHeight < 0 ? 0 : NewHeight);
    try {
        // Byte maps index with int products like bitmaps do, so their size has the same bound.
        if (count > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
            throw std::bad_alloc();
        if (count == 0)
            TArrayOfByte().swap(FBits); // give the storage back, not just the length
        else
            FBits.resize(static_cast<std::size_t>(count), 0);
    } catch (const std::bad_alloc&) {
        TArrayOfByte().swap(FBits);
        Width = 0;
        Height = 0;
        throw EOutOfMemory("Can't allocate a byte map of " + std::to_string(NewWidth) + " x " +
                           std::to_string(NewHeight));
    }
    Width = NewWidth;
    Height = NewHeight;
}

void TByteMap::ReadFromBitmap(TBitmap32* Source, TChannelKind Kind)
{
    if (!Source)
        throw EInvalidOperation("No bitmap to read the byte map from");
    ChangeInUpdate([&] {
        SetSize(Source->Width(), Source->Height());
        if (!IsEmpty() && !Source->IsEmpty())
            ReadChannel(Source->Bits(), FBits.data(), FBits.size(), Kind);
    });
}

void TByteMap::WriteToBitmap(TBitmap32* Target, TChannelKind Kind)
{
    if (!Target)
        throw EInvalidOperation("No bitmap to write the byte map to");
    Target->BeginUpdate();
    bool resized = false;
    try {
        resized = Target->SetSize(FWidth, FHeight);
        if (!IsEmpty() && !Target->IsEmpty()) {
            const std::uint8_t* src = FBits.data();
            TColor32* dst = Target->Bits();
            const std::size_t n = FBits.size();
            if (Kind <= ckAlpha) {
                const int shift = 8 * ChannelOffset[Kind];
                const TColor32 keep = ~(0xFFu << shift);
                for (std::size_t i = 0; i < n; ++i)
                    dst[i] = (dst[i] & keep) | static_cast<TColor32>(src[i]) << shift;
            } else if (Kind <= ckIntensity) {
                for (std::size_t i = 0; i < n; ++i)
                    dst[i] = MakeGray32(src[i], 255);
            }
        }
    } catch (...) {
        Target->EndUpdate();
        Target->NotifyChange();
        if (resized)
            Target->NotifyResize();
        throw;
    }
    Target->EndUpdate();
    Target->NotifyChange();
    if (resized)
        Target->NotifyResize();
}

void TByteMap::Assign(TPersistent* Source)
{
    ChangeInUpdate([&] { AssignInUpdate(Source); });
}

void TByteMap::AssignInUpdate(TPersistent* Source)
{
    if (auto* map = dynamic_cast<TByteMap*>(Source)) {
        if (map == this)
            return;
        SetSize(map->Width(), map->Height());
        const std::size_t n = std::min(FBits.size(), map->FBits.size());
        if (n)
            std::memcpy(FBits.data(), map->FBits.data(), n);
        return;
    }
    if (auto* bitmap = dynamic_cast<TBitmap32*>(Source)) {
        ReadFromBitmap(bitmap, ckIntensity);
        return;
    }
    TPersistent::Assign(Source);
}

void TByteMap::AssignTo(TPersistent* Dest)
{
    if (auto* bitmap = dynamic_cast<TBitmap32*>(Dest)) {
        WriteToBitmap(bitmap, ckAverage);
        return;
    }
    TPersistent::AssignTo(Dest);
}
