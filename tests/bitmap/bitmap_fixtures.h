// Shared helpers of the bitmap tests: event recorders and small hand-made bitmaps.
#pragma once
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "bitmap/bitmap32.h"
#include "bitmap/blend.h"

// Records the notifications of a map in the order they arrive ("change", "resize", ...).
struct EventLog {
    std::vector<std::string> Events;
    void Watch(TCustomMap& Map)
    {
        Map.OnChange = [this](TObject*) { Events.push_back("change"); };
        Map.OnResize = [this](TObject*) { Events.push_back("resize"); };
    }
    void WatchHandle(TBitmap32& Bitmap)
    {
        Bitmap.OnHandleChanged = [this](TObject*) { Events.push_back("handle"); };
    }
    int Count(const std::string& Name) const
    {
        int n = 0;
        for (const auto& e : Events)
            n += e == Name;
        return n;
    }
};

// Fills a bitmap of Width x Height row by row from the given words.
inline void FillFrom(TBitmap32& Bitmap, int Width, int Height, std::initializer_list<TColor32> Words)
{
    Bitmap.SetSize(Width, Height);
    TColor32* p = Bitmap.Bits();
    for (TColor32 w : Words)
        *p++ = w;
}

inline std::vector<TColor32> PixelsOf(const TBitmap32& Bitmap)
{
    if (Bitmap.IsEmpty())
        return {};
    return std::vector<TColor32>(Bitmap.Bits(), Bitmap.Bits() + Bitmap.Width() * Bitmap.Height());
}

// Runs a test body with the plain arithmetic set installed, restoring the start-up choice.
class PlainBlendTest : public ::testing::Test {
protected:
    void SetUp() override { InstallColorOps(TColorSet::Plain); }
    void TearDown() override { InitColorOps(); }
};

// A persistent object that no map knows.
class TOddThing : public TPersistent {
public:
    VP_CLASS_NAME(TOddThing)
};
