#include "base/dib.h"

#include <cstdlib>
#include <limits>

#include "base/object.h"

TDibStorage CreateDibStorage(int Width, int Height)
{
    TDibStorage s;
    const std::uint64_t count = static_cast<std::uint64_t>(Width) * static_cast<std::uint64_t>(Height);
    if (Width <= 0 || Height <= 0 ||
        count > std::numeric_limits<std::size_t>::max() / sizeof(std::uint32_t) ||
        count > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
        throw Exception("Can't allocate the DIB handle");
    void* p = std::calloc(static_cast<std::size_t>(count), sizeof(std::uint32_t));
    if (!p)
        throw Exception("Can't allocate the DIB handle");
    s.Bits = static_cast<std::uint32_t*>(p);
    s.Handle = p;
    s.DC = nullptr;
    return s;
}

void DestroyDibStorage(TDibStorage& Storage)
{
    std::free(Storage.Handle);
    Storage = TDibStorage{};
}
