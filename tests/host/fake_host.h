// A scripted host for the dispatcher tests: handle callbacks that count their calls and can
// be told to fail, and a filter record with recognisable rectangles.
#pragma once
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "host/pi_filter.h"

namespace fake_host {

struct HostHandle {
    char* Data;  // first word, like the host's own handles
    std::int32_t Size;
};

struct Calls {
    int New = 0, Dispose = 0, Lock = 0, GetSize = 0, SetSize = 0, Unlock = 0;
    std::int32_t LastNewSize = -1;
    Boolean LastMoveHigh = 0;
    Handle LastDisposed = nullptr;
    bool FailNew = false;
    bool FailLock = false;
};

inline Calls& State() {
    static Calls c;
    return c;
}

inline std::vector<std::unique_ptr<HostHandle>>& Handles() {
    static std::vector<std::unique_ptr<HostHandle>> h;
    return h;
}

inline Handle VP_CDECL NewProc(std::int32_t size) {
    ++State().New;
    State().LastNewSize = size;
    if (State().FailNew) return nullptr;
    auto h = std::make_unique<HostHandle>();
    h->Data = new char[size];
    std::memset(h->Data, 0xCD, size);  // not zeroed, so the initialiser must do its part
    h->Size = size;
    Handles().push_back(std::move(h));
    return Handles().back().get();
}

inline void VP_CDECL DisposeProc(Handle h) {
    ++State().Dispose;
    State().LastDisposed = h;
    auto& all = Handles();
    for (auto it = all.begin(); it != all.end(); ++it) {
        if (it->get() == h) {
            delete[] (*it)->Data;
            all.erase(it);
            return;
        }
    }
}

inline std::int32_t VP_CDECL GetSizeProc(Handle h) {
    ++State().GetSize;
    return static_cast<HostHandle*>(h)->Size;
}

inline OSErr VP_CDECL SetSizeProc(Handle, std::int32_t) {
    ++State().SetSize;
    return memFullErr;
}

inline Ptr VP_CDECL LockProc(Handle h, Boolean moveHigh) {
    ++State().Lock;
    State().LastMoveHigh = moveHigh;
    if (State().FailLock) return nullptr;
    return static_cast<HostHandle*>(h)->Data;
}

inline void VP_CDECL UnlockProc(Handle) { ++State().Unlock; }

inline HandleProcs UsableProcs() {
    HandleProcs p{};
    p.handleProcsVersion = 1;
    p.numHandleProcs = 8;
    p.newProc = NewProc;
    p.disposeProc = DisposeProc;
    p.getSizeProc = GetSizeProc;
    p.setSizeProc = SetSizeProc;
    p.lockProc = LockProc;
    p.unlockProc = UnlockProc;
    return p;
}

inline void Reset() {
    for (auto& h : Handles()) delete[] h->Data;
    Handles().clear();
    State() = Calls{};
}

// A filter record as a host fills it before the start call.
inline FilterRecord MakeRecord(HandleProcs* procs, std::int16_t planes = 3) {
    FilterRecord r;
    std::memset(&r, 0, sizeof r);
    r.imageSize = Point16{20, 30};
    r.planes = planes;
    r.filterRect = Rect16{0, 0, 20, 30};
    r.inRect = Rect16{1, 2, 3, 4};
    r.outRect = Rect16{5, 6, 7, 8};
    r.imageMode = plugInModeRGBColor;
    r.handleProcs = procs;
    r.depth = 8;
    return r;
}

inline bool IsEmpty(const Rect16& r) {
    return r.top == 0 && r.left == 0 && r.bottom == 0 && r.right == 0;
}

}  // namespace fake_host
