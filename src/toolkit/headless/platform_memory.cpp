// In-memory stand-in for movable global memory: each handle is a cell whose first word is
// the block's address. Live cells are tracked, so unknown handles and pointers are ignored
// instead of being dereferenced.
#include "toolkit/platform_memory.h"

#include <cstdlib>
#include <map>
#include <mutex>
#include <new>
#include <set>

namespace platform_memory {
namespace {

struct Cell {
    void* Data;  // must stay first: callers read the block address through the handle
    std::size_t Locks;
};

struct Registry {
    std::mutex Guard;
    std::set<Cell*> Cells;
    std::map<const void*, Cell*> ByData;
};

Registry& Live() {
    static Registry r;
    return r;
}

Cell* Find(Registry& r, void* Handle) {
    auto it = r.Cells.find(static_cast<Cell*>(Handle));
    return it == r.Cells.end() ? nullptr : *it;
}

}  // namespace

void* Allocate(std::size_t Size) {
    // A zero-byte request still gets its own address so the block can be told apart.
    void* data = std::calloc(Size ? Size : 1, 1);
    if (!data) return nullptr;
    Cell* cell = new (std::nothrow) Cell{data, 0};
    if (!cell) {
        std::free(data);
        return nullptr;
    }
    Registry& r = Live();
    std::lock_guard<std::mutex> lock(r.Guard);
    r.Cells.insert(cell);
    r.ByData[data] = cell;
    return cell;
}

void* Lock(void* Handle) {
    Registry& r = Live();
    std::lock_guard<std::mutex> lock(r.Guard);
    Cell* cell = Find(r, Handle);
    if (!cell) return nullptr;
    ++cell->Locks;
    return cell->Data;
}

void Unlock(void* Handle) {
    Registry& r = Live();
    std::lock_guard<std::mutex> lock(r.Guard);
    Cell* cell = Find(r, Handle);
    if (cell && cell->Locks > 0) --cell->Locks;
}

void Free(void* Handle) {
    Registry& r = Live();
    std::unique_lock<std::mutex> lock(r.Guard);
    Cell* cell = Find(r, Handle);
    if (!cell) return;
    r.Cells.erase(cell);
    r.ByData.erase(cell->Data);
    lock.unlock();
    std::free(cell->Data);
    delete cell;
}

void* HandleOf(const void* Address) {
    Registry& r = Live();
    std::lock_guard<std::mutex> lock(r.Guard);
    auto it = r.ByData.find(Address);
    return it == r.ByData.end() ? nullptr : it->second;
}

}  // namespace platform_memory

#include "toolkit/headless/memory_probe.h"

namespace platform_memory {
std::size_t LiveBlockCount() {
    Registry& r = Live();
    std::lock_guard<std::mutex> lock(r.Guard);
    return r.Cells.size();
}
}  // namespace platform_memory
