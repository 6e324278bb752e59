// Internal: the tables of the Lab to sRGB conversion, shared by the portable loop and its
// SSE2 twin so both give the same bytes.
#pragma once
#include <array>
#include <cstdint>

// The curve's table spans linear 0..1 in this many steps; its worst step (where the curve is
// steepest, about 3300 bytes per unit) stays well under one byte.
constexpr int LabCurveSteps = 4096;

// Where the inverse of f turns from its straight segment to the cube.
constexpr double LabEpsilon = 6.0 / 29.0;

struct TLabTables {
    TLabTables();
    // By the host's byte: f(Y) and Y of L, a / 500 and b / 200.
    std::array<float, 256> Fy{}, Y{}, Fa{}, Fb{};
    float M[3][3]{};  // D50 XYZ to linear sRGB, the white's X and Z folded into its columns
    std::array<std::uint8_t, LabCurveSteps + 1> Curve{};  // linear x LabCurveSteps to sRGB bytes
};

// Built on first use.
const TLabTables& LabTables();
