// Screen density: stored forms describe a 96-dpi screen; windows are laid out in device pixels
// at the density of the monitor they show on.
#pragma once
#include <cstdint>

constexpr int DesignDpi = 96;

// Value (a length at 96 dpi) at Dpi, rounded as the platform's MulDiv rounds: to nearest,
// halves away from zero.
constexpr int ScaleForDpi(int Value, int Dpi)
{
    const std::int64_t n = static_cast<std::int64_t>(Value) * Dpi;
    const std::int64_t half = DesignDpi / 2;
    return static_cast<int>(n >= 0 ? (n + half) / DesignDpi : -((-n + half) / DesignDpi));
}

// Per-monitor DPI awareness for the calling thread while the scope lives; the thread's former
// awareness comes back when it ends, also when an exception leaves it. Where the platform has
// no such switch nothing changes. The process's awareness is never touched.
class TDpiAwarenessScope {
public:
    TDpiAwarenessScope();
    ~TDpiAwarenessScope();
    TDpiAwarenessScope(const TDpiAwarenessScope&) = delete;
    TDpiAwarenessScope& operator=(const TDpiAwarenessScope&) = delete;
    // False when the platform refused every per-monitor context or has none.
    bool Active() const { return FActive; }

private:
    std::intptr_t FPrevious = 0;
    bool FActive = false;
};
