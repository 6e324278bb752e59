#include "host_modes.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "host/pi_general.h"

namespace {

const std::pair<const char*, HostMode> kNames[] = {
    {"rgb", HostMode::RGB},         {"grey", HostMode::Grey},
    {"grey-alpha", HostMode::GreyAlpha}, {"duotone", HostMode::Duotone},
    {"cmyk", HostMode::CMYK},       {"lab", HostMode::Lab},
    {"lab-alpha", HostMode::LabAlpha}, {"multichannel", HostMode::Multichannel},
    {"bitmap", HostMode::Bitmap},   {"indexed", HostMode::Indexed},
    {"hsl", HostMode::HSL},         {"hsb", HostMode::HSB}};

// D50 white and the Bradford-adapted sRGB matrices (linear sRGB to XYZ and back).
constexpr double WhiteX = 0.96422, WhiteZ = 0.82521;
constexpr double ToXyz[3][3] = {{0.4360747, 0.3850649, 0.1430804},
                                {0.2225045, 0.7168786, 0.0606169},
                                {0.0139322, 0.0971045, 0.7141733}};
constexpr double ToRgb[3][3] = {{3.1338561, -1.6168667, -0.4906146},
                                {-0.9787684, 1.9161415, 0.0334540},
                                {0.0719453, -0.2289914, 1.4052427}};
constexpr double Epsilon = 6.0 / 29.0;

std::uint8_t Byte(double V) { return static_cast<std::uint8_t>(std::clamp(std::lround(V), 0L, 255L)); }

// The transparency plane of the alpha variants: every value, opaque and clear included.
std::uint8_t AlphaAt(int X, int Y) { return static_cast<std::uint8_t>(X * 37 + Y * 11); }

std::uint8_t Luma(const std::uint8_t* P) { return static_cast<std::uint8_t>((P[0] * 77 + P[1] * 150 + P[2] * 29 + 128) >> 8); }

} // namespace

std::optional<HostMode> ParseHostMode(const std::string& Name)
{
    for (const auto& [name, mode] : kNames)
        if (Name == name)
            return mode;
    return std::nullopt;
}

std::int16_t ImageModeOf(HostMode Mode)
{
    switch (Mode) {
    case HostMode::RGB: return plugInModeRGBColor;
    case HostMode::Grey:
    case HostMode::GreyAlpha: return plugInModeGrayScale;
    case HostMode::Duotone: return plugInModeDuotone;
    case HostMode::CMYK: return plugInModeCMYKColor;
    case HostMode::Lab:
    case HostMode::LabAlpha: return plugInModeLabColor;
    case HostMode::Multichannel: return plugInModeMultichannel;
    case HostMode::Bitmap: return plugInModeBitmap;
    case HostMode::Indexed: return plugInModeIndexedColor;
    case HostMode::HSL: return 5;
    case HostMode::HSB: return 6;
    }
    return plugInModeRGBColor;
}

void LabToRgbReference(double L, double A, double B, double Rgb[3])
{
    auto inverse = [](double t) { return t > Epsilon ? t * t * t : 3 * Epsilon * Epsilon * (t - 4.0 / 29.0); };
    const double fy = (L + 16) / 116;
    const double xyz[3] = {WhiteX * inverse(fy + A / 500), inverse(fy), WhiteZ * inverse(fy - B / 200)};
    for (int i = 0; i < 3; ++i) {
        const double lin = std::clamp(ToRgb[i][0] * xyz[0] + ToRgb[i][1] * xyz[1] + ToRgb[i][2] * xyz[2], 0.0, 1.0);
        const double s = lin <= 0.0031308 ? 12.92 * lin : 1.055 * std::pow(lin, 1 / 2.4) - 0.055;
        Rgb[i] = 255 * s;
    }
}

void RgbToLabBytes(const std::uint8_t Rgb[3], std::uint8_t Lab[3])
{
    double lin[3];
    for (int i = 0; i < 3; ++i) {
        const double c = Rgb[i] / 255.0;
        lin[i] = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    }
    double f[3];
    const double white[3] = {WhiteX, 1.0, WhiteZ};
    for (int i = 0; i < 3; ++i) {
        const double t = (ToXyz[i][0] * lin[0] + ToXyz[i][1] * lin[1] + ToXyz[i][2] * lin[2]) / white[i];
        f[i] = t > Epsilon * Epsilon * Epsilon ? std::cbrt(t) : t / (3 * Epsilon * Epsilon) + 4.0 / 29.0;
    }
    Lab[0] = Byte((116 * f[1] - 16) * 255 / 100);
    Lab[1] = Byte(500 * (f[0] - f[1]) + 128);
    Lab[2] = Byte(200 * (f[1] - f[2]) + 128);
}

HostImage MakeModeImage(const HostImage& Rgb, HostMode Mode)
{
    const int planes = [Mode] {
        switch (Mode) {
        case HostMode::Grey:
        case HostMode::Duotone:
        case HostMode::Bitmap:
        case HostMode::Indexed: return 1;
        case HostMode::GreyAlpha: return 2;
        case HostMode::CMYK:
        case HostMode::LabAlpha: return 4;
        default: return 3;
        }
    }();
    HostImage out;
    out.Width = Rgb.Width;
    out.Height = Rgb.Height;
    out.Channels = planes;
    out.Pixels.resize(static_cast<std::size_t>(out.Width) * out.Height * planes);
    for (int y = 0; y < Rgb.Height; ++y)
        for (int x = 0; x < Rgb.Width; ++x) {
            const std::uint8_t* s =
                Rgb.Pixels.data() + (static_cast<std::size_t>(y) * Rgb.Width + x) * Rgb.Channels;
            const std::uint8_t rgb[3] = {s[0], Rgb.Channels >= 3 ? s[1] : s[0], Rgb.Channels >= 3 ? s[2] : s[0]};
            std::uint8_t* d = out.At(x, y);
            switch (Mode) {
            case HostMode::Grey:
            case HostMode::Duotone:
            case HostMode::Indexed: d[0] = Luma(rgb); break;
            case HostMode::Bitmap: d[0] = Luma(rgb) >= 128 ? 255 : 0; break;
            case HostMode::GreyAlpha:
                d[0] = Luma(rgb);
                d[1] = AlphaAt(x, y);
                break;
            case HostMode::CMYK: {
                const int k = std::max({rgb[0], rgb[1], rgb[2]});
                for (int i = 0; i < 3; ++i)
                    d[i] = k ? static_cast<std::uint8_t>((rgb[i] * 255 + k / 2) / k) : 255;
                d[3] = static_cast<std::uint8_t>(k);
                break;
            }
            case HostMode::Lab:
            case HostMode::LabAlpha:
                RgbToLabBytes(rgb, d);
                if (Mode == HostMode::LabAlpha)
                    d[3] = AlphaAt(x, y);
                break;
            case HostMode::Multichannel:
                d[0] = Luma(rgb);
                d[1] = rgb[0];
                d[2] = rgb[2];
                break;
            default:  // RGB, HSL and HSB: the bytes as they are (the module refuses the latter two)
                d[0] = rgb[0];
                d[1] = rgb[1];
                d[2] = rgb[2];
                break;
            }
        }
    return out;
}

std::optional<ExpectedTransfer> ExpectedTransferOf(const HostImage& Served, std::int16_t ImageMode)
{
    const int n = Served.Channels;
    const bool grey = (ImageMode == plugInModeGrayScale || ImageMode == plugInModeDuotone) && (n == 1 || n == 2);
    const bool cmyk = ImageMode == plugInModeCMYKColor && n == 4;
    const bool lab = ImageMode == plugInModeLabColor && (n == 3 || n == 4);
    const bool multi = ImageMode == plugInModeMultichannel && n >= 1 && n <= 4;
    if (!grey && !cmyk && !lab && !multi)
        return std::nullopt;
    ExpectedTransfer e;
    e.Tolerance = lab ? 1 : 0;
    e.Rgba.Width = Served.Width;
    e.Rgba.Height = Served.Height;
    e.Rgba.Channels = 4;
    e.Rgba.Pixels.assign(static_cast<std::size_t>(Served.Width) * Served.Height * 4, 0);
    for (int y = 0; y < Served.Height; ++y)
        for (int x = 0; x < Served.Width; ++x) {
            const std::uint8_t* s =
                Served.Pixels.data() + (static_cast<std::size_t>(y) * Served.Width + x) * Served.Channels;
            std::uint8_t* d = e.Rgba.At(x, y);
            if (grey || multi) {
                d[0] = d[1] = d[2] = s[0];
                d[3] = grey && n == 2 ? s[1] : 0;
            } else if (cmyk) {
                for (int i = 0; i < 3; ++i)
                    d[i] = Byte(s[i] * s[3] / 255.0);
            } else {
                double rgb[3];
                LabToRgbReference(s[0] * 100.0 / 255.0, s[1] - 128.0, s[2] - 128.0, rgb);
                for (int i = 0; i < 3; ++i)
                    d[i] = Byte(rgb[i]);
                d[3] = n == 4 ? s[3] : 0;
            }
        }
    return e;
}
