// The per-filter settings block kept in a host handle between start calls, and the handle
// operations behind it (host callbacks when usable, platform memory otherwise).
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "host/pi_filter.h"

// The block is packed and little-endian: a header of two pointers, then the filter's tail
// with no gap. The tails are made of bytes only (alignment 1), so they can be used in place
// at any address; their wider fields are read and written through memcpy accessors.
struct ParameterBlockHeader {
    std::int16_t* ResultWord;
    ::FilterRecord* FilterRecord;
};

struct NoiseParameters {
    std::uint8_t Alpha;
    std::uint8_t Red;
    std::uint8_t Green;
    std::uint8_t Blue;
    std::uint8_t Variation;
};

class LineParameters {
public:
    std::uint8_t Antialiased;
    std::uint8_t Interpolated;

    std::uint32_t DrawColor() const { return Load<std::uint32_t>(DrawColorBytes); }
    void SetDrawColor(std::uint32_t Color) { Store(DrawColorBytes, Color); }
    float Scale() const { return Load<float>(ScaleBytes); }
    void SetScale(float Value) { Store(ScaleBytes, Value); }

    std::uint8_t DrawColorBytes[4];  // 32-bit colour word, alpha byte = opacity
    std::uint8_t ScaleBytes[4];      // IEEE single
    std::uint8_t ScaleMode;
    std::uint8_t Saturation;

private:
    template <typename T>
    static T Load(const std::uint8_t* At) {
        T v;
        std::memcpy(&v, At, sizeof v);
        return v;
    }
    template <typename T>
    static void Store(std::uint8_t* At, T v) {
        std::memcpy(At, &v, sizeof v);
    }
};

static_assert(sizeof(ParameterBlockHeader) == 2 * sizeof(void*));
static_assert(sizeof(NoiseParameters) == 5);
static_assert(sizeof(LineParameters) == 12);
static_assert(alignof(NoiseParameters) == 1 && alignof(LineParameters) == 1);
static_assert(std::is_standard_layout_v<LineParameters>);
static_assert(offsetof(LineParameters, DrawColorBytes) == 2);
static_assert(offsetof(LineParameters, ScaleBytes) == 6);
static_assert(offsetof(LineParameters, ScaleMode) == 10);
static_assert(sizeof(float) == 4);

constexpr std::size_t kParameterHeaderSize = sizeof(ParameterBlockHeader);
constexpr std::size_t kNoiseBlockSize = kParameterHeaderSize + sizeof(NoiseParameters);
constexpr std::size_t kLineBlockSize = kParameterHeaderSize + sizeof(LineParameters);

ParameterBlockHeader ReadParameterHeader(const void* Block);
void WriteParameterHeader(void* Block, const ParameterBlockHeader& Header);
// The tails in place, for dialogs that edit their settings directly in the block.
NoiseParameters* NoiseParametersOf(void* Block);
LineParameters* LineParametersOf(void* Block);

NoiseParameters ReadNoiseParameters(const void* Block);
void WriteNoiseParameters(void* Block, const NoiseParameters& Params);
LineParameters ReadLineParameters(const void* Block);
void WriteLineParameters(void* Block, const LineParameters& Params);

// Fills a new block's tail with the filter's defaults; the header is left alone.
using ParameterInitializer = void (*)(void* Block);
void InitNoiseParameters(void* Block);
void InitLineParameters(void* Block);

bool HandleProcsUsable(const HandleProcs* Procs);
Handle NewHostHandle(const HandleProcs* Procs, std::int32_t Size);
void DisposeHostHandle(const HandleProcs* Procs, Handle H);
void* LockHostHandle(const HandleProcs* Procs, Handle H, bool MoveHigh);
Handle FallbackNewHandle(std::int32_t Size);
void FallbackDisposeHandle(Handle H);

// Finds the filter's block through the handle in DataSlot, or creates, locks and
// initialises one and stores its handle there. Refreshes the header and writes 0 to the
// result word. Returns the locked block, or null (the slot then keeps what it held).
void* AcquireParameterBlock(std::int16_t* ResultWord, FilterRecord* Record,
                            const HandleProcs* Procs, ParameterInitializer Initializer,
                            std::intptr_t* DataSlot, std::size_t BlockSize);
