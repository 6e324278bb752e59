// System colours of the platform (0x00BBGGRR) by index, as GetSysColor numbers them.
#pragma once
#include <cstdint>

enum TSystemColorIndex {
    COLOR_INDEX_SCROLLBAR = 0, COLOR_INDEX_BACKGROUND = 1, COLOR_INDEX_WINDOW = 5,
    COLOR_INDEX_WINDOWFRAME = 6, COLOR_INDEX_WINDOWTEXT = 8, COLOR_INDEX_APPWORKSPACE = 12,
    COLOR_INDEX_BTNFACE = 15, COLOR_INDEX_BTNSHADOW = 16, COLOR_INDEX_BTNTEXT = 18,
    COLOR_INDEX_BTNHIGHLIGHT = 20, COLOR_INDEX_3DDKSHADOW = 21, COLOR_INDEX_3DLIGHT = 22
};

std::uint32_t SystemColorRGB(int Index);

// Toolkit colour constants (0x00BBGGRR; negative values name system colours).
constexpr std::int32_t clBlack = 0x000000, clWhite = 0xFFFFFF, clSilver = 0xC0C0C0;
constexpr std::int32_t clSystemColor = static_cast<std::int32_t>(0xFF000000u);
constexpr std::int32_t SysColor(int Index) { return clSystemColor | Index; }
constexpr std::int32_t clScrollBar = SysColor(COLOR_INDEX_SCROLLBAR);
constexpr std::int32_t clWindow = SysColor(COLOR_INDEX_WINDOW);
constexpr std::int32_t clWindowFrame = SysColor(COLOR_INDEX_WINDOWFRAME);
constexpr std::int32_t clAppWorkSpace = SysColor(COLOR_INDEX_APPWORKSPACE);
constexpr std::int32_t clBtnFace = SysColor(COLOR_INDEX_BTNFACE);
constexpr std::int32_t clBtnShadow = SysColor(COLOR_INDEX_BTNSHADOW);
constexpr std::int32_t clBtnHighlight = SysColor(COLOR_INDEX_BTNHIGHLIGHT);
