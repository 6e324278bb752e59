#include "base/dib.h"

#include <atomic>
#include <cstdlib>
#include <limits>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "base/headless/dib_accounting.h"
#include "base/object.h"

namespace {

std::atomic<headless_dib::TStorageObserver> Observer{nullptr};
std::atomic<std::int64_t> Live{0};
std::atomic<std::int64_t> Largest{0};

// Where a block came from and how large it is, kept behind the storage's handle.
struct TBlock {
    void* Base;
    std::size_t Bytes;
    bool Mapped;
    bool Display; // screen storage: kept from the observer
};

thread_local int DisplayScopes = 0;

// From this size on, storage is mapped with transparent huge pages allowed: a new image is
// written page by page, and 2 MiB pages take a fraction of the faults (and of the time
// spent clearing them) that 4 KiB pages take.
constexpr std::size_t MapFrom = std::size_t(4) << 20;

// Heap blocks are seen by whoever watches the heap; the observer hears of mapped ones only.
void Account(std::int64_t Bytes, const TBlock& Block)
{
    Live.fetch_add(Bytes, std::memory_order_relaxed);
    if (auto observer = Observer.load(std::memory_order_relaxed); observer && Block.Mapped && !Block.Display)
        observer(Bytes);
}

void* MapZeroed(std::size_t Bytes)
{
#if defined(__linux__)
    void* p = mmap(nullptr, Bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        return nullptr;
#if defined(MADV_HUGEPAGE)
    madvise(p, Bytes, MADV_HUGEPAGE); // advice only: without it the pages are 4 KiB
#endif
    return p;
#else
    (void)Bytes;
    return nullptr;
#endif
}

} // namespace

namespace headless_dib {
void SetStorageObserver(TStorageObserver O) { Observer.store(O, std::memory_order_relaxed); }
std::int64_t LiveStorageBytes() { return Live.load(std::memory_order_relaxed); }
void SetLargestStorage(std::int64_t Bytes) { Largest.store(Bytes, std::memory_order_relaxed); }
TDisplayStorageScope::TDisplayStorageScope() { ++DisplayScopes; }
TDisplayStorageScope::~TDisplayStorageScope() { --DisplayScopes; }
} // namespace headless_dib

TDibStorage CreateDibStorage(int Width, int Height)
{
    TDibStorage s;
    const std::uint64_t count = static_cast<std::uint64_t>(Width) * static_cast<std::uint64_t>(Height);
    if (Width <= 0 || Height <= 0 ||
        count > std::numeric_limits<std::size_t>::max() / sizeof(std::uint32_t) ||
        count > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
        throw EOutOfResources("Can't allocate the DIB handle");
    const std::size_t bytes = static_cast<std::size_t>(count) * sizeof(std::uint32_t);
    const std::int64_t largest = Largest.load(std::memory_order_relaxed);
    if (largest > 0 && static_cast<std::int64_t>(bytes) > largest)
        throw EOutOfResources("Can't allocate the DIB handle");
    auto* block = new (std::nothrow) TBlock{nullptr, bytes, false, DisplayScopes > 0};
    if (!block)
        throw EOutOfResources("Can't allocate the DIB handle");
    // Screen storage is always mapped: the heap's watchers would see it otherwise.
    if (bytes >= MapFrom || block->Display) {
        block->Base = MapZeroed(bytes);
        block->Mapped = block->Base != nullptr;
    }
    if (!block->Base)
        block->Base = std::calloc(static_cast<std::size_t>(count), sizeof(std::uint32_t));
    if (!block->Base) {
        delete block;
        throw EOutOfResources("Can't allocate the DIB handle");
    }
    Account(static_cast<std::int64_t>(bytes), *block);
    s.Bits = static_cast<std::uint32_t*>(block->Base);
    s.Handle = block;
    s.DC = nullptr;
    return s;
}

void DestroyDibStorage(TDibStorage& Storage)
{
    if (auto* block = static_cast<TBlock*>(Storage.Handle)) {
#if defined(__linux__)
        if (block->Mapped)
            munmap(block->Base, block->Bytes);
        else
#endif
            std::free(block->Base);
        Account(-static_cast<std::int64_t>(block->Bytes), *block);
        delete block;
    }
    Storage = TDibStorage{};
}
