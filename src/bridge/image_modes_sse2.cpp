// SSE2 twin of the mode conversions for pixels without dummy planes: grey (sixteen pixels a
// register), grey with its transparency (eight), CMYK (four), Lab with or without its
// transparency (four, the table look-ups one by one, the arithmetic four at once, in the
// portable loop's order so the bytes are the same). Other layouts and each row's last
// pixels, where a 16-byte read would pass the row's last plane, take the portable loops.
#include <emmintrin.h>

#include <cstddef>

#include "bridge/image_modes.h"
#include "bridge/lab_tables.h"

namespace {
inline __m128i Load(const std::uint8_t* P) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(P)); }
inline void Store(std::uint8_t* P, __m128i V) { _mm_storeu_si128(reinterpret_cast<__m128i*>(P), V); }

int GreyRows(const std::uint8_t* Src, std::uint8_t* Dst, int Columns)
{
    const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
    int c = 0;
    for (; c + 16 <= Columns; c += 16) {
        const __m128i g = Load(Src + c);
        const __m128i lo = _mm_unpacklo_epi8(g, g), hi = _mm_unpackhi_epi8(g, g);
        std::uint8_t* d = Dst + static_cast<std::ptrdiff_t>(c) * 4;
        Store(d, _mm_and_si128(_mm_unpacklo_epi16(lo, lo), colour));
        Store(d + 16, _mm_and_si128(_mm_unpackhi_epi16(lo, lo), colour));
        Store(d + 32, _mm_and_si128(_mm_unpacklo_epi16(hi, hi), colour));
        Store(d + 48, _mm_and_si128(_mm_unpackhi_epi16(hi, hi), colour));
    }
    return c;
}

// Grey then transparency, two bytes a pixel: each pixel's word (g, a) becomes the upper half
// of its lane, the grey doubled the lower half.
int GreyAlphaRows(const std::uint8_t* Src, std::uint8_t* Dst, int Columns)
{
    const __m128i low = _mm_set1_epi16(0x00FF);
    int c = 0;
    for (; c + 8 <= Columns; c += 8) {
        const __m128i ga = Load(Src + static_cast<std::ptrdiff_t>(c) * 2);
        const __m128i g = _mm_and_si128(ga, low);
        const __m128i gg = _mm_or_si128(g, _mm_slli_epi16(g, 8));
        std::uint8_t* d = Dst + static_cast<std::ptrdiff_t>(c) * 4;
        Store(d, _mm_unpacklo_epi16(gg, ga));
        Store(d + 16, _mm_unpackhi_epi16(gg, ga));
    }
    return c;
}

// Each of C, M, Y times K over 255, rounded: t = x K + 128, then (t + t / 256) / 256.
inline __m128i InkTimesBlack(__m128i Words)
{
    const __m128i k = _mm_shufflehi_epi16(_mm_shufflelo_epi16(Words, 0xFF), 0xFF);
    const __m128i t = _mm_add_epi16(_mm_mullo_epi16(Words, k), _mm_set1_epi16(128));
    // (t + t / 256) / 256 is the high half of t x 257.
    return _mm_mulhi_epu16(t, _mm_set1_epi16(0x0101));
}

int CmykRows(const std::uint8_t* Src, std::uint8_t* Dst, int Columns)
{
    const __m128i zero = _mm_setzero_si128(), colour = _mm_set1_epi32(0x00FFFFFF);
    auto four = [&](int c) {
        const __m128i x = Load(Src + static_cast<std::ptrdiff_t>(c) * 4);
        const __m128i rgb = _mm_packus_epi16(InkTimesBlack(_mm_unpacklo_epi8(x, zero)),
                                             InkTimesBlack(_mm_unpackhi_epi8(x, zero)));
        Store(Dst + static_cast<std::ptrdiff_t>(c) * 4, _mm_and_si128(rgb, colour));
    };
    int c = 0;
    // Two registers a step, so the multiplies of one overlap the other's.
    for (; c + 8 <= Columns; c += 8) {
        four(c);
        four(c + 4);
    }
    for (; c + 4 <= Columns; c += 4)
        four(c);
    return c;
}
inline __m128 InverseF(__m128 T)
{
    const __m128 e = _mm_set1_ps(static_cast<float>(6.0 / 29.0));
    const __m128 k = _mm_set1_ps(static_cast<float>(3.0 * (6.0 / 29.0) * (6.0 / 29.0)));
    const __m128 o = _mm_set1_ps(static_cast<float>(4.0 / 29.0));
    const __m128 above = _mm_cmpgt_ps(T, e);
    return _mm_or_ps(_mm_and_ps(above, _mm_mul_ps(_mm_mul_ps(T, T), T)),
                     _mm_andnot_ps(above, _mm_mul_ps(k, _mm_sub_ps(T, o))));
}

// The curve's table index of four linear values, clamped to 0..1.
inline __m128i CurveIndex(__m128 Linear)
{
    const __m128 c = _mm_min_ps(_mm_max_ps(Linear, _mm_setzero_ps()), _mm_set1_ps(1.0f));
    return _mm_cvttps_epi32(_mm_mul_ps(c, _mm_set1_ps(static_cast<float>(LabCurveSteps))));
}

inline __m128 Row(const float* M, __m128 X, __m128 Y, __m128 Z)
{
    return _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_set1_ps(M[0]), X), _mm_mul_ps(_mm_set1_ps(M[1]), Y)),
                      _mm_mul_ps(_mm_set1_ps(M[2]), Z));
}

int LabRows(const std::uint8_t* Src, int Stride, bool Alpha, std::uint8_t* Dst, int Columns)
{
    const TLabTables& t = LabTables();
    alignas(16) std::int32_t r[4], g[4], b[4];
    int c = 0;
    for (; c + 4 <= Columns; c += 4) {
        const std::uint8_t* p = Src + static_cast<std::ptrdiff_t>(c) * Stride;
        const std::uint8_t* q = p + Stride;
        const std::uint8_t* u = q + Stride;
        const std::uint8_t* v = u + Stride;
        const __m128 fy = _mm_setr_ps(t.Fy[p[0]], t.Fy[q[0]], t.Fy[u[0]], t.Fy[v[0]]);
        const __m128 y = _mm_setr_ps(t.Y[p[0]], t.Y[q[0]], t.Y[u[0]], t.Y[v[0]]);
        const __m128 x = InverseF(_mm_add_ps(fy, _mm_setr_ps(t.Fa[p[1]], t.Fa[q[1]], t.Fa[u[1]], t.Fa[v[1]])));
        const __m128 z = InverseF(_mm_sub_ps(fy, _mm_setr_ps(t.Fb[p[2]], t.Fb[q[2]], t.Fb[u[2]], t.Fb[v[2]])));
        _mm_store_si128(reinterpret_cast<__m128i*>(r), CurveIndex(Row(t.M[0], x, y, z)));
        _mm_store_si128(reinterpret_cast<__m128i*>(g), CurveIndex(Row(t.M[1], x, y, z)));
        _mm_store_si128(reinterpret_cast<__m128i*>(b), CurveIndex(Row(t.M[2], x, y, z)));
        std::uint8_t* d = Dst + static_cast<std::ptrdiff_t>(c) * 4;
        const std::uint8_t* px[4] = {p, q, u, v};
        for (int i = 0; i < 4; ++i, d += 4) {
            d[0] = t.Curve[static_cast<std::size_t>(r[i])];
            d[1] = t.Curve[static_cast<std::size_t>(g[i])];
            d[2] = t.Curve[static_cast<std::size_t>(b[i])];
            d[3] = Alpha ? px[i][3] : 0;
        }
    }
    return c;
}
} // namespace

void ConvertRowToRGBSse2(const THostImageKind& Kind, const std::uint8_t* Src, int Stride, std::uint8_t* Dst,
                         int Columns)
{
    int c = 0;
    if (Columns > 0) {
        const bool grey = Kind.Conversion == TPlaneConversion::Grey || Kind.Conversion == TPlaneConversion::FirstPlane;
        if (grey && Kind.AlphaPlane < 0 && Stride == 1)
            c = GreyRows(Src, Dst, Columns);
        else if (grey && Kind.AlphaPlane == 1 && Stride == 2)
            c = GreyAlphaRows(Src, Dst, Columns);
        else if (Kind.Conversion == TPlaneConversion::CMYK && Stride == 4)
            c = CmykRows(Src, Dst, Columns);
        else if (Kind.Conversion == TPlaneConversion::Lab && Kind.AlphaPlane < 0 && Stride == 3)
            c = LabRows(Src, 3, false, Dst, Columns);
        else if (Kind.Conversion == TPlaneConversion::Lab && Kind.AlphaPlane == 3 && Stride == 4)
            c = LabRows(Src, 4, true, Dst, Columns);
    }
    ConvertRowToRGBPlain(Kind, Src + static_cast<std::ptrdiff_t>(c) * Stride, Stride,
                         Dst + static_cast<std::ptrdiff_t>(c) * 4, Columns - c);
}
