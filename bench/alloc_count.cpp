// Replaces the C library's allocation functions for this program and forwards them to the C
// library's own entry points, counting on the way (glibc only), and takes the headless
// pixel storage's own reports of what it maps past the heap.
#include "alloc_count.h"

#include "base/headless/dib_accounting.h"

#include <atomic>
#include <cerrno>
#include <cstddef>

#if defined(__GLIBC__)
#include <malloc.h>

extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void __libc_free(void*);
void* __libc_memalign(std::size_t, std::size_t);
}
#endif

namespace {
std::atomic<std::int64_t> LiveBytes{0};
std::atomic<std::int64_t> PeakBytes{0};

void Add(std::int64_t Bytes)
{
    const std::int64_t now = LiveBytes.fetch_add(Bytes, std::memory_order_relaxed) + Bytes;
    std::int64_t peak = PeakBytes.load(std::memory_order_relaxed);
    while (now > peak && !PeakBytes.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
    }
}

// Large pixel storage is mapped from the system, past the heap; its owner reports it.
struct StorageCounting {
    StorageCounting() { headless_dib::SetStorageObserver(Add); }
} const storageCounting;

#if defined(__GLIBC__)
void Count(void* P)
{
    if (!P)
        return;
    Add(static_cast<std::int64_t>(malloc_usable_size(P)));
}

void Uncount(void* P)
{
    if (P)
        LiveBytes.fetch_sub(static_cast<std::int64_t>(malloc_usable_size(P)), std::memory_order_relaxed);
}
#endif
} // namespace

namespace alloc_count {
std::int64_t Live() { return LiveBytes.load(std::memory_order_relaxed); }
std::int64_t Peak() { return PeakBytes.load(std::memory_order_relaxed); }
void ResetPeak() { PeakBytes.store(LiveBytes.load(std::memory_order_relaxed), std::memory_order_relaxed); }
} // namespace alloc_count

#if defined(__GLIBC__)
extern "C" {
void* malloc(std::size_t Size)
{
    void* p = __libc_malloc(Size);
    Count(p);
    return p;
}

void* calloc(std::size_t Count_, std::size_t Size)
{
    void* p = __libc_calloc(Count_, Size);
    Count(p);
    return p;
}

void* realloc(void* P, std::size_t Size)
{
    const std::int64_t before = P ? static_cast<std::int64_t>(malloc_usable_size(P)) : 0;
    void* q = __libc_realloc(P, Size);
    if (q || Size == 0) { // the old block is gone
        LiveBytes.fetch_sub(before, std::memory_order_relaxed);
        Count(q);
    }
    return q;
}

void free(void* P)
{
    Uncount(P);
    __libc_free(P);
}

void* memalign(std::size_t Alignment, std::size_t Size)
{
    void* p = __libc_memalign(Alignment, Size);
    Count(p);
    return p;
}

void* aligned_alloc(std::size_t Alignment, std::size_t Size) { return memalign(Alignment, Size); }

int posix_memalign(void** Out, std::size_t Alignment, std::size_t Size)
{
    if (Alignment < sizeof(void*) || (Alignment & (Alignment - 1)) != 0)
        return EINVAL;
    void* p = memalign(Alignment, Size);
    if (!p)
        return ENOMEM;
    *Out = p;
    return 0;
}

void* valloc(std::size_t Size) { return memalign(4096, Size); }
void* pvalloc(std::size_t Size) { return memalign(4096, (Size + 4095) & ~std::size_t(4095)); }
}
#endif
