// Channel-by-channel reference rules of both blending sets, written straight from their
// definitions (no shared arithmetic with the library), and a random colour source that
// favours the alpha values the shortcuts depend on.
#pragma once
#include <cstdint>
#include <random>

#include "bitmap/blend.h"

namespace blendref {

inline int Lane(TColor32 C, int K) { return static_cast<int>((C >> (8 * K)) & 0xFF); }

inline TColor32 Pack(const int (&V)[4])
{
    TColor32 c = 0;
    for (int k = 0; k < 4; ++k)
        c |= static_cast<TColor32>(V[k] & 0xFF) << (8 * k);
    return c;
}

// (Y*256 + (X - Y)*W + 128) div 256; the numerator is never negative for 0 <= W <= 255.
inline TColor32 V(TColor32 X, TColor32 Y, int W)
{
    int out[4];
    for (int k = 0; k < 4; ++k) {
        int x = Lane(X, k), y = Lane(Y, k);
        out[k] = (y * 256 + (x - y) * W + 128) / 256;
    }
    return Pack(out);
}

// ((X*W + 128) div 256) + ((Y*(255 - W) + 128) div 256); alpha 0 unless AlphaToo.
inline TColor32 P(TColor32 X, TColor32 Y, int W, bool AlphaToo)
{
    int out[4];
    for (int k = 0; k < 4; ++k) {
        int x = Lane(X, k), y = Lane(Y, k);
        out[k] = (x * W + 128) / 256 + (y * (255 - W) + 128) / 256;
    }
    if (!AlphaToo)
        out[3] = 0;
    return Pack(out);
}

inline int Alpha(TColor32 C) { return static_cast<int>(C >> 24); }

// The result each operation must leave (for the in-memory forms: the new B / Y).
struct Rules {
    TColor32 (*Combine)(TColor32 X, TColor32 Y, int W);
    TColor32 (*CombineInto)(TColor32 X, TColor32 Y, int W);
    TColor32 (*Blend)(TColor32 F, TColor32 B);
    TColor32 (*BlendInto)(TColor32 F, TColor32 B);
    TColor32 (*BlendScaled)(TColor32 F, TColor32 B, int M);
    TColor32 (*BlendIntoScaled)(TColor32 F, TColor32 B, int M);
    TColor32 (*RunPixel)(TColor32 F, TColor32 B);
    TColor32 (*RunScaledPixel)(TColor32 F, TColor32 B, int M);
};

inline const Rules& PlainRules()
{
    static const Rules r = {
        [](TColor32 X, TColor32 Y, int W) { return W == 0 ? Y : W == 255 ? X : P(X, Y, W, true); },
        [](TColor32 X, TColor32 Y, int W) { return W == 0 ? Y : W == 255 ? X : P(X, Y, W, false); },
        [](TColor32 F, TColor32 B) { int a = Alpha(F); return a == 255 ? F : a == 0 ? B : P(F, B, a, true); },
        [](TColor32 F, TColor32 B) { int a = Alpha(F); return a == 0 ? B : a == 255 ? F : P(F, B, a, true); },
        [](TColor32 F, TColor32 B, int M) {
            int a = Alpha(F), w = ((M + 1) * a) >> 8;
            return a == 0 || w == 0 ? B : P(F, B, w, false);
        },
        [](TColor32 F, TColor32 B, int M) {
            int a = Alpha(F), w = ((M + 1) * a) >> 8;
            return a == 0 || w == 0 ? B : P(F, B, w, false);
        },
        [](TColor32 F, TColor32 B) { int a = Alpha(F); return a == 0 ? B : a == 255 ? F : P(F, B, a, true); },
        [](TColor32 F, TColor32 B, int M) {
            int a = Alpha(F), w = ((M + 1) * a) >> 8;
            return a == 0 || w == 0 ? B : P(F, B, w, false);
        },
    };
    return r;
}

inline const Rules& VectorRules()
{
    static const Rules r = {
        [](TColor32 X, TColor32 Y, int W) { return V(X, Y, W); },
        [](TColor32 X, TColor32 Y, int W) { return W == 0 ? Y : W == 255 ? X : V(X, Y, W); },
        [](TColor32 F, TColor32 B) { return V(F, B, Alpha(F)); },
        [](TColor32 F, TColor32 B) { int a = Alpha(F); return a == 0 ? B : a == 255 ? F : V(F, B, a); },
        [](TColor32 F, TColor32 B, int M) {
            int w = ((M + 1) * Alpha(F)) >> 8;
            return w == 0 ? B : V(F, B, w);
        },
        [](TColor32 F, TColor32 B, int M) {
            int a = Alpha(F), w = ((M + 1) * a) >> 8;
            return a == 0 || w == 0 ? B : V(F, B, w);
        },
        [](TColor32 F, TColor32 B) { int a = Alpha(F); return a == 0 ? B : a == 255 ? F : V(F, B, a); },
        // The run form weighs with (Fa + 1) * M.
        [](TColor32 F, TColor32 B, int M) {
            int a = Alpha(F), w = ((a + 1) * M) >> 8;
            return a == 0 || w == 0 ? B : V(F, B, w);
        },
    };
    return r;
}

// Colours whose alpha is often one of the values the rules single out.
class ColourSource {
public:
    explicit ColourSource(std::uint32_t Seed) : FGen(Seed) {}
    std::uint32_t Below(std::uint32_t N) { return std::uniform_int_distribution<std::uint32_t>(0, N - 1)(FGen); }
    int EdgeByte()
    {
        static const int edges[] = {0, 255, 1, 254, 128, 127};
        return Below(3) == 0 ? static_cast<int>(Below(256)) : edges[Below(6)];
    }
    int Weight() { return Below(2) ? EdgeByte() : static_cast<int>(Below(256)); }
    TColor32 Any() { return static_cast<TColor32>(FGen()); }
    TColor32 Colour() { return (Any() & 0x00FFFFFF) | (static_cast<TColor32>(Weight()) << 24); }
    // Runs of one kind of alpha hit the SIMD group shortcuts (all clear, all opaque).
    TColor32 Colour(int Kind)
    {
        switch (Kind) {
        case 0: return Any() & 0x00FFFFFF;
        case 1: return Any() | 0xFF000000;
        default: return Colour();
        }
    }

private:
    std::mt19937 FGen;
};

} // namespace blendref
