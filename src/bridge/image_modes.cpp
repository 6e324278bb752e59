#include "bridge/image_modes.h"

#include <array>
#include <cmath>
#include <cstddef>

#include "bitmap/cpu_features.h"
#include "bridge/lab_tables.h"

namespace {

// The colour planes each convertible mode has, before any transparency plane.
int ColourPlanesOf(TPlaneConversion C)
{
    switch (C) {
    case TPlaneConversion::RGB:
    case TPlaneConversion::Lab: return 3;
    case TPlaneConversion::Grey:
    case TPlaneConversion::FirstPlane: return 1;
    case TPlaneConversion::CMYK: return 4;
    default: return 0;
    }
}

TPlaneConversion ConversionOfMode(std::int16_t Mode)
{
    switch (Mode) {
    case plugInModeRGBColor: return TPlaneConversion::RGB;
    case plugInModeGrayScale:
    case plugInModeDuotone: return TPlaneConversion::Grey;
    case plugInModeCMYKColor: return TPlaneConversion::CMYK;
    case plugInModeLabColor: return TPlaneConversion::Lab;
    case plugInModeMultichannel: return TPlaneConversion::FirstPlane;
    default: return TPlaneConversion::Refused;  // bitmap, indexed, HSL, HSB, 16-bit, unknown
    }
}

// Lab to sRGB. The host's bytes: L = v x 100 / 255, a = v - 128, b = v - 128. XYZ against
// the D50 white, then the Bradford-adapted D50 XYZ to linear sRGB matrix, then the sRGB curve.
constexpr double WhiteX = 0.96422, WhiteZ = 0.82521;
constexpr double ToLinear[3][3] = {{3.1338561, -1.6168667, -0.4906146},
                                   {-0.9787684, 1.9161415, 0.0334540},
                                   {0.0719453, -0.2289914, 1.4052427}};
constexpr double Epsilon = LabEpsilon;

} // namespace

TLabTables::TLabTables()
{
    for (int v = 0; v < 256; ++v) {
        const double L = v * 100.0 / 255.0;
        const double fy = (L + 16.0) / 116.0;
        Fy[static_cast<std::size_t>(v)] = static_cast<float>(fy);
        Y[static_cast<std::size_t>(v)] =
            static_cast<float>(fy > Epsilon ? fy * fy * fy : 3.0 * Epsilon * Epsilon * (fy - 4.0 / 29.0));
        Fa[static_cast<std::size_t>(v)] = static_cast<float>((v - 128) / 500.0);
        Fb[static_cast<std::size_t>(v)] = static_cast<float>((v - 128) / 200.0);
    }
    for (int i = 0; i < 3; ++i) {
        M[i][0] = static_cast<float>(ToLinear[i][0] * WhiteX);
        M[i][1] = static_cast<float>(ToLinear[i][1]);
        M[i][2] = static_cast<float>(ToLinear[i][2] * WhiteZ);
    }
    // Entry i serves linear values in [i, i + 1) / LabCurveSteps: the curve at the middle.
    for (int i = 0; i <= LabCurveSteps; ++i) {
        const double lin = i == LabCurveSteps ? 1.0 : (i + 0.5) / LabCurveSteps;
        const double s = lin <= 0.0031308 ? 12.92 * lin : 1.055 * std::pow(lin, 1.0 / 2.4) - 0.055;
        Curve[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(std::lround(s * 255.0));
    }
}

const TLabTables& LabTables()
{
    static const TLabTables tables;
    return tables;
}

namespace {

inline float InverseF(float T)
{
    constexpr float e = static_cast<float>(Epsilon), k = static_cast<float>(3.0 * Epsilon * Epsilon),
                    o = static_cast<float>(4.0 / 29.0);
    return T > e ? T * T * T : k * (T - o);
}

inline std::uint8_t CurveOf(const TLabTables& T, float Linear)
{
    const float c = Linear < 0.0f ? 0.0f : Linear > 1.0f ? 1.0f : Linear;
    return T.Curve[static_cast<std::size_t>(c * static_cast<float>(LabCurveSteps))];
}

inline void LabPixel(const TLabTables& T, std::uint8_t L, std::uint8_t A, std::uint8_t B, std::uint8_t* Out)
{
    const float fy = T.Fy[L];
    const float x = InverseF(fy + T.Fa[A]), y = T.Y[L], z = InverseF(fy - T.Fb[B]);
    Out[0] = CurveOf(T, T.M[0][0] * x + T.M[0][1] * y + T.M[0][2] * z);
    Out[1] = CurveOf(T, T.M[1][0] * x + T.M[1][1] * y + T.M[1][2] * z);
    Out[2] = CurveOf(T, T.M[2][0] * x + T.M[2][1] * y + T.M[2][2] * z);
}

// C x K / 255 rounded to nearest; a product of two bytes never lies halfway.
inline std::uint8_t InkTimesBlack(unsigned C, unsigned K) { return static_cast<std::uint8_t>((C * K + 127) / 255); }

// Each loop: one pass over the row, all four destination bytes written. Alpha says whether
// the transparency plane at AlphaPlane goes into byte 3 (else 0).
template <bool Alpha>
void GreyRow(const std::uint8_t* Src, int Stride, int AlphaPlane, std::uint8_t* Dst, int Columns)
{
    for (int c = 0; c < Columns; ++c, Src += Stride, Dst += 4) {
        Dst[0] = Dst[1] = Dst[2] = Src[0];
        Dst[3] = Alpha ? Src[AlphaPlane] : 0;
    }
}

void CMYKRow(const std::uint8_t* Src, int Stride, std::uint8_t* Dst, int Columns)
{
    for (int c = 0; c < Columns; ++c, Src += Stride, Dst += 4) {
        const unsigned k = Src[3];
        Dst[0] = InkTimesBlack(Src[0], k);
        Dst[1] = InkTimesBlack(Src[1], k);
        Dst[2] = InkTimesBlack(Src[2], k);
        Dst[3] = 0;
    }
}

template <bool Alpha>
void LabRow(const std::uint8_t* Src, int Stride, int AlphaPlane, std::uint8_t* Dst, int Columns)
{
    const TLabTables& t = LabTables();
    for (int c = 0; c < Columns; ++c, Src += Stride, Dst += 4) {
        LabPixel(t, Src[0], Src[1], Src[2], Dst);
        Dst[3] = Alpha ? Src[AlphaPlane] : 0;
    }
}

} // namespace

THostImageKind ClassifyHostImage(const FilterRecord& Record)
{
    const TPlaneConversion conversion = ConversionOfMode(Record.imageMode);
    const int planes = Record.planes;
    const int colour = ColourPlanesOf(conversion);
    if (conversion == TPlaneConversion::Refused || planes < 1 || planes > 4)
        return {};
    // Multichannel has no colour and no transparency: its first plane, whatever follows.
    if (conversion == TPlaneConversion::FirstPlane)
        return {conversion, -1};

    const int layerPlanes = Record.inLayerPlanes, transparency = Record.inTransparencyMask;
    if (layerPlanes != 0 || transparency != 0) {
        // The host says which planes are the layer's colour and which its transparency; the
        // rest (layer masks, other channels) are not part of the picture.
        if (layerPlanes != colour || transparency < 0 || transparency > 1 || colour + transparency > planes)
            return {};
        return {conversion, transparency ? colour : -1};
    }
    // Otherwise one plane beyond the colour is the transparency (CMYK has none in four).
    if (planes == colour)
        return {conversion, -1};
    if (planes == colour + 1)
        return {conversion, colour};
    return {};
}

bool IsReadableImage(const FilterRecord& Record)
{
    return ClassifyHostImage(Record).Conversion != TPlaneConversion::Refused;
}

bool IsWritableRGBImage(const FilterRecord& Record)
{
    return ClassifyHostImage(Record).Conversion == TPlaneConversion::RGB;
}

void ConvertRowToRGB(const THostImageKind& Kind, const std::uint8_t* Src, int Stride, std::uint8_t* Dst,
                     int Columns)
{
#if defined(VESPER_X86)
    using TRow = void (*)(const THostImageKind&, const std::uint8_t*, int, std::uint8_t*, int);
    static const TRow chosen = CpuHasFeature(TCpuFeature::AVX512)
                                   ? ConvertRowToRGBAvx512
                                   : Sse2TwinOr<TRow>(ConvertRowToRGBPlain, ConvertRowToRGBSse2);
    chosen(Kind, Src, Stride, Dst, Columns);
#else
    ConvertRowToRGBPlain(Kind, Src, Stride, Dst, Columns);
#endif
}

void ConvertRowToRGBPlain(const THostImageKind& Kind, const std::uint8_t* Src, int Stride, std::uint8_t* Dst,
                          int Columns)
{
    const bool alpha = Kind.AlphaPlane >= 0;
    switch (Kind.Conversion) {
    case TPlaneConversion::Grey:
        return alpha ? GreyRow<true>(Src, Stride, Kind.AlphaPlane, Dst, Columns)
                     : GreyRow<false>(Src, Stride, 0, Dst, Columns);
    case TPlaneConversion::FirstPlane: return GreyRow<false>(Src, Stride, 0, Dst, Columns);
    case TPlaneConversion::CMYK: return CMYKRow(Src, Stride, Dst, Columns);
    case TPlaneConversion::Lab:
        return alpha ? LabRow<true>(Src, Stride, Kind.AlphaPlane, Dst, Columns)
                     : LabRow<false>(Src, Stride, 0, Dst, Columns);
    default: return;
    }
}
