// AVX-512 twin of the Lab conversion: sixteen pixels a register, every step computed instead of
// the SSE2 twin's lane-by-lane table reads. Masked loads and stores take each row's last pixels.
// GCC 12's wide intrinsics start from an "undefined" register it then warns about (its bug
// 105593); nothing here reads one.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "bridge/image_modes.h"
#include "bridge/lab_tables.h"

namespace {

// Fitted to 255 x (1.055 l^(1/2.4) - 0.055) over sqrt(l) in [sqrt(0.0031308), 1].
constexpr float Curve0 = -8.151251971f, Curve1 = 346.1653625f, Curve2 = -137.863658f, Curve3 = 55.33093109f;

constexpr double Epsilon = LabEpsilon;

inline __m512 InverseF(__m512 T)
{
    const __m512 k = _mm512_set1_ps(static_cast<float>(3.0 * Epsilon * Epsilon));
    const __m512 ko = _mm512_set1_ps(static_cast<float>(-3.0 * Epsilon * Epsilon * 4.0 / 29.0));
    const __mmask16 above = _mm512_cmp_ps_mask(T, _mm512_set1_ps(static_cast<float>(Epsilon)), _CMP_GT_OQ);
    return _mm512_mask_mul_ps(_mm512_fmadd_ps(k, T, ko), above, _mm512_mul_ps(T, T), T);
}

inline __m512 Row(const float* R, __m512 X, __m512 Y, __m512 Z)
{
    return _mm512_fmadd_ps(_mm512_set1_ps(R[2]), Z,
                           _mm512_fmadd_ps(_mm512_set1_ps(R[1]), Y, _mm512_mul_ps(_mm512_set1_ps(R[0]), X)));
}

// Linear values to bytes in 32-bit lanes, not yet clamped to 255: above 1 the cubic keeps rising
// (its slope has no real root), so the packing's saturation makes those 255. The rounding is the
// instruction's own, so a host that changed the rounding mode changes nothing.
inline __m512i Curve(__m512 Linear)
{
    // The square root as l times its reciprocal root (relative error under 2^-14, a hundredth of a
    // byte here); the floor keeps that product clear of 0 x infinity.
    const __m512 l = _mm512_max_ps(Linear, _mm512_set1_ps(1e-20f));
    const __m512 t = _mm512_mul_ps(l, _mm512_rsqrt14_ps(l));
    __m512 p = _mm512_fmadd_ps(_mm512_set1_ps(Curve3), t, _mm512_set1_ps(Curve2));
    p = _mm512_fmadd_ps(p, t, _mm512_set1_ps(Curve1));
    p = _mm512_fmadd_ps(p, t, _mm512_set1_ps(Curve0));
    const __mmask16 straight = _mm512_cmp_ps_mask(l, _mm512_set1_ps(0.0031308f), _CMP_LE_OQ);
    p = _mm512_mask_mul_ps(p, straight, l, _mm512_set1_ps(12.92f * 255.0f));
    return _mm512_cvt_roundps_epi32(p, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
}

// The matrix (D50 XYZ to linear sRGB, the white folded in) is the tables' own, copied per row
// so that the row's stores cannot be taken to change it.
using TMatrix = float[3][3];

// Sixteen pixels, each lane L | a << 8 | b << 16 | (transparency << 24 where there is one),
// into R | G << 8 | B << 16 | the transparency or 0.
inline __m512i LabPixels(__m512i W, bool Alpha, const TMatrix& M)
{
    const __m512i byte = _mm512_set1_epi32(0xFF), half = _mm512_set1_epi32(128);
    const __m512 L = _mm512_cvtepi32_ps(_mm512_and_si512(W, byte));
    const __m512 A = _mm512_cvtepi32_ps(_mm512_sub_epi32(_mm512_and_si512(_mm512_srli_epi32(W, 8), byte), half));
    const __m512 B = _mm512_cvtepi32_ps(_mm512_sub_epi32(_mm512_and_si512(_mm512_srli_epi32(W, 16), byte), half));
    const __m512 fy = _mm512_fmadd_ps(L, _mm512_set1_ps(static_cast<float>(100.0 / 255.0 / 116.0)),
                                      _mm512_set1_ps(static_cast<float>(16.0 / 116.0)));
    const __m512 x = InverseF(_mm512_fmadd_ps(A, _mm512_set1_ps(1.0f / 500.0f), fy));
    const __m512 y = InverseF(fy);
    const __m512 z = InverseF(_mm512_fmadd_ps(B, _mm512_set1_ps(-1.0f / 200.0f), fy));
    // Saturating packs give each 128-bit quarter R0-3 G0-3 B0-3 A0-3; one shuffle interleaves them.
    const __m512i rg = _mm512_packus_epi32(Curve(Row(M[0], x, y, z)), Curve(Row(M[1], x, y, z)));
    const __m512i ba =
        _mm512_packus_epi32(Curve(Row(M[2], x, y, z)), Alpha ? _mm512_srli_epi32(W, 24) : _mm512_setzero_si512());
    const __m512i interleave =
        _mm512_broadcast_i32x4(_mm_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15));
    return _mm512_shuffle_epi8(_mm512_packus_epi16(rg, ba), interleave);
}

inline __mmask64 LowBits64(int N) { return N >= 64 ? ~__mmask64{0} : (__mmask64{1} << N) - 1; }

// Three planes a pixel: the 48 bytes of sixteen pixels, starting at dword Skip of V, spread to
// four lanes of 16, then each group of three bytes into its own 32-bit lane with a zero fourth.
template <int Skip>
inline __m512i LabWords3(__m512i V)
{
    const __m512i spread = _mm512_add_epi32(_mm512_setr_epi32(0, 1, 2, 2, 3, 4, 5, 5, 6, 7, 8, 8, 9, 10, 11, 11),
                                            _mm512_set1_epi32(Skip));
    const __m512i unpack =
        _mm512_broadcast_i32x4(_mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1));
    return _mm512_shuffle_epi8(_mm512_permutexvar_epi32(spread, V), unpack);
}

// Pixels (1..16) pixels from Src: a masked load reads only their bytes (for four planes without
// transparency, not the last pixel's fourth).
template <int Stride, bool Alpha>
inline __m512i LabWordsMasked(const std::uint8_t* Src, int Pixels)
{
    const int bytes = Stride * Pixels - (Stride == 4 && !Alpha ? 1 : 0);
    const __m512i v = _mm512_maskz_loadu_epi8(LowBits64(bytes), Src);
    return Stride == 3 ? LabWords3<0>(v) : v;
}

// Two registers a step while a row has them, so that one's multiplies fill the other's waits.
// Their loads are plain 64-byte ones that stay inside those 32 pixels' bytes: with three planes
// the second starts 16 bytes early.
template <int Stride, bool Alpha>
void LabRow(const std::uint8_t* Src, std::uint8_t* Dst, int Columns)
{
    TMatrix m;
    std::memcpy(m, LabTables().M, sizeof m);
    int c = 0;
    for (; c + 32 <= Columns; c += 32) {
        const std::uint8_t* s = Src + static_cast<std::ptrdiff_t>(c) * Stride;
        __m512i first, second;
        if (Stride == 3) {
            first = LabWords3<0>(_mm512_loadu_si512(s));
            second = LabWords3<4>(_mm512_loadu_si512(s + 32));
        } else {
            first = _mm512_loadu_si512(s);
            second = Alpha || c + 32 < Columns ? _mm512_loadu_si512(s + 64)
                                               : LabWordsMasked<Stride, Alpha>(s + 64, 16);
        }
        const __m512i a = LabPixels(first, Alpha, m), b = LabPixels(second, Alpha, m);
        _mm512_storeu_si512(Dst + static_cast<std::ptrdiff_t>(c) * 4, a);
        _mm512_storeu_si512(Dst + static_cast<std::ptrdiff_t>(c) * 4 + 64, b);
    }
    for (; c < Columns; c += 16) {
        const int n = Columns - c < 16 ? Columns - c : 16;
        const __m512i w = LabWordsMasked<Stride, Alpha>(Src + static_cast<std::ptrdiff_t>(c) * Stride, n);
        _mm512_mask_storeu_epi32(Dst + static_cast<std::ptrdiff_t>(c) * 4, static_cast<__mmask16>((1u << n) - 1),
                                 LabPixels(w, Alpha, m));
    }
}

} // namespace

void ConvertRowToRGBAvx512(const THostImageKind& Kind, const std::uint8_t* Src, int Stride, std::uint8_t* Dst,
                           int Columns)
{
    if (Kind.Conversion == TPlaneConversion::Lab && Columns > 0) {
        // Four planes without transparency: the fourth is not part of the picture and the
        // row's last one is not read.
        if (Stride == 3 && Kind.AlphaPlane < 0)
            return LabRow<3, false>(Src, Dst, Columns);
        if (Stride == 4 && Kind.AlphaPlane == 3)
            return LabRow<4, true>(Src, Dst, Columns);
        if (Stride == 4 && Kind.AlphaPlane < 0)
            return LabRow<4, false>(Src, Dst, Columns);
    }
    ConvertRowToRGBSse2(Kind, Src, Stride, Dst, Columns);
}
