#include "host/parameter_block.h"

#include <cstring>

#include "toolkit/platform_memory.h"

namespace {
template <typename T>
T ReadAt(const void* Block, std::size_t Offset) {
    T v;
    std::memcpy(&v, static_cast<const unsigned char*>(Block) + Offset, sizeof v);
    return v;
}
template <typename T>
void WriteAt(void* Block, std::size_t Offset, const T& v) {
    std::memcpy(static_cast<unsigned char*>(Block) + Offset, &v, sizeof v);
}
}  // namespace

NoiseParameters* NoiseParametersOf(void* Block) {
    return reinterpret_cast<NoiseParameters*>(static_cast<unsigned char*>(Block) + kParameterHeaderSize);
}
LineParameters* LineParametersOf(void* Block) {
    return reinterpret_cast<LineParameters*>(static_cast<unsigned char*>(Block) + kParameterHeaderSize);
}

ParameterBlockHeader ReadParameterHeader(const void* Block) {
    return ReadAt<ParameterBlockHeader>(Block, 0);
}
void WriteParameterHeader(void* Block, const ParameterBlockHeader& Header) {
    WriteAt(Block, 0, Header);
}
NoiseParameters ReadNoiseParameters(const void* Block) {
    return ReadAt<NoiseParameters>(Block, kParameterHeaderSize);
}
void WriteNoiseParameters(void* Block, const NoiseParameters& Params) {
    WriteAt(Block, kParameterHeaderSize, Params);
}
LineParameters ReadLineParameters(const void* Block) {
    return ReadAt<LineParameters>(Block, kParameterHeaderSize);
}
void WriteLineParameters(void* Block, const LineParameters& Params) {
    WriteAt(Block, kParameterHeaderSize, Params);
}

void InitNoiseParameters(void* Block) {
    WriteNoiseParameters(Block, NoiseParameters{0, 0, 0, 0, 0});
}

void InitLineParameters(void* Block) {
    // Antialiased and interpolated, opaque black, scale 1.0, first scale mode, mid saturation.
    LineParameters p{};
    p.Antialiased = 1;
    p.Interpolated = 1;
    p.SetDrawColor(0xFF000000u);
    p.SetScale(1.0f);
    p.ScaleMode = 0;
    p.Saturation = 127;
    WriteLineParameters(Block, p);
}

bool HandleProcsUsable(const HandleProcs* Procs) {
    if (!Procs) return false;
    // Only the record version we know; a newer one may be laid out differently.
    if (Procs->handleProcsVersion != kCurrentHandleProcsVersion) return false;
    if (Procs->numHandleProcs < 7) return false;
    if (!Procs->newProc || !Procs->disposeProc || !Procs->getSizeProc || !Procs->setSizeProc)
        return false;
    // The lock procedure is called as well, so a record without one cannot be used.
    if (!Procs->lockProc) return false;
    return true;
}

Handle NewHostHandle(const HandleProcs* Procs, std::int32_t Size) {
    if (HandleProcsUsable(Procs)) return Procs->newProc(Size);
    return FallbackNewHandle(Size);
}

void DisposeHostHandle(const HandleProcs* Procs, Handle H) {
    if (HandleProcsUsable(Procs))
        Procs->disposeProc(H);
    else
        FallbackDisposeHandle(H);
}

void* LockHostHandle(const HandleProcs* Procs, Handle H, bool MoveHigh) {
    if (HandleProcsUsable(Procs)) return Procs->lockProc(H, MoveHigh ? 1 : 0);
    return platform_memory::Lock(H);
}

Handle FallbackNewHandle(std::int32_t Size) {
    if (Size < 0) return nullptr;
    return platform_memory::Allocate(static_cast<std::size_t>(Size));
}

void FallbackDisposeHandle(Handle H) {
    if (!H) return;
    // The handle's first word holds the block's address. A handle whose data follows it
    // directly is one block; otherwise the data block and the handle are freed apart.
    void* stored = ReadAt<void*>(H, 0);
    if (stored == static_cast<unsigned char*>(H) + sizeof(void*)) {
        platform_memory::Free(H);
        return;
    }
    void* dataHandle = stored ? platform_memory::HandleOf(stored) : nullptr;
    if (dataHandle) {
        platform_memory::Unlock(dataHandle);
        platform_memory::Free(dataHandle);
    }
    if (dataHandle != H) {
        platform_memory::Unlock(H);
        platform_memory::Free(H);
    }
}

void* AcquireParameterBlock(std::int16_t* ResultWord, FilterRecord* Record,
                            const HandleProcs* Procs, ParameterInitializer Initializer,
                            std::intptr_t* DataSlot, std::size_t BlockSize) {
    // Without a slot the block could not be found again, and it would leak every call.
    if (!DataSlot || BlockSize > 0x7FFFFFFF || BlockSize < kParameterHeaderSize) return nullptr;

    auto refresh = [&](void* block) {
        WriteParameterHeader(block, ParameterBlockHeader{ResultWord, Record});
        if (ResultWord) *ResultWord = noErr;
    };

    if (*DataSlot == 0) {
        Handle h = NewHostHandle(Procs, static_cast<std::int32_t>(BlockSize));
        if (!h) return nullptr;
        void* block = LockHostHandle(Procs, h, true);
        if (!block) {
            DisposeHostHandle(Procs, h);
            return nullptr;
        }
        refresh(block);
        if (Initializer) Initializer(block);
        *DataSlot = reinterpret_cast<std::intptr_t>(h);
        return block;
    }

    void* block = LockHostHandle(Procs, reinterpret_cast<Handle>(*DataSlot), true);
    if (block) refresh(block);
    return block;
}
