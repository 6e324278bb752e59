#include "host_session.h"

#include "pixel_map.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <cstring>
#include <new>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {
constexpr std::uint8_t kPaddingGuard = 0xA5;
constexpr std::size_t kTailGuard = 64;  // bytes after each buffer that must stay untouched

bool IsEmpty(const Rect16& r) { return r.top == 0 && r.left == 0 && r.bottom == 0 && r.right == 0; }
}  // namespace

HostSession* HostSession::Current = nullptr;

HostSession::HostSession(HostImage Image, std::optional<std::vector<std::uint8_t>> Mask,
                         HostOptions Opts)
    : Pixels(std::move(Image)), MaskPlane(std::move(Mask)), Options(Opts) {
    // Announcing more planes than the image has: the extra planes hold 255.
    if (Options.Planes && *Options.Planes > Pixels.Channels && *Options.Planes <= 16) {
        HostImage wider = Pixels;
        wider.Channels = *Options.Planes;
        wider.Pixels.assign(static_cast<std::size_t>(wider.Width) * wider.Height * wider.Channels, 255);
        for (int y = 0; y < Pixels.Height; ++y)
            for (int x = 0; x < Pixels.Width; ++x)
                std::memcpy(wider.At(x, y), Pixels.At(x, y), Pixels.Channels);
        Pixels = std::move(wider);
    }
    if (Options.UnusableHandleProcs) {
        // A record of a newer, unknown version whose procedures must never be called.
        Procs.handleProcsVersion = 2;
        Procs.numHandleProcs = 6;
        Procs.newProc = ForbiddenNew;
        Procs.disposeProc = ForbiddenDispose;
        Procs.lockProc = ForbiddenLock;
    } else {
        Procs.handleProcsVersion = kCurrentHandleProcsVersion;
        Procs.numHandleProcs = kCurrentHandleProcsCount;
        Procs.newProc = NewHandle;
        Procs.disposeProc = DisposeHandle;
        Procs.getSizeProc = GetHandleSize;
        Procs.setSizeProc = SetHandleSize;
        Procs.lockProc = LockHandle;
        Procs.unlockProc = UnlockHandle;
        Procs.recoverSpaceProc = RecoverSpace;
        Procs.disposeRegularHandleProc = DisposeHandle;
    }
#ifdef _WIN32
    Platform.hwnd = GetDesktopWindow();
#endif
}

HostSession::~HostSession() {
    // The host discards the filter's data slot, and with it the handle, when it unloads.
    for (HostHandle* h : Handles) {
        delete[] h->Data;
        delete h;
    }
}

void HostSession::PrepareRecord() {
    std::memset(&Record, 0, sizeof Record);
    Record.serial = 0x56455350;
    Record.parameters = nullptr;
    Record.imageSize = Point16{static_cast<std::int16_t>(Pixels.Height), static_cast<std::int16_t>(Pixels.Width)};
    Record.planes = static_cast<std::int16_t>(Options.Planes ? *Options.Planes : Pixels.Channels);
    Record.filterRect = Rect16{0, 0, static_cast<std::int16_t>(Pixels.Height), static_cast<std::int16_t>(Pixels.Width)};
    Record.background = RGBColor{0xFFFF, 0xFFFF, 0xFFFF};
    Record.maxSpace = 64 << 20;
    Record.bufferSpace = 1 << 20;
    Record.haveMask = MaskPlane ? 1 : 0;
    Record.imageMode = Options.ImageMode;
    Record.imageHRes = Record.imageVRes = 72 << 16;
    Record.wholeSize = Record.imageSize;
    Record.monitor.gamma = 0x00023333;
    Record.platformData = &Platform;
    Record.displayPixels = DisplayPixels;
    Record.handleProcs = &Procs;
    Record.advanceState = Options.NoAdvanceState ? nullptr : AdvanceState;
    Record.supportsDummyChannels = 1;
    Record.supportsPadding = 1;
    Record.dummyPlaneValue = Options.DummyPlaneValue;
    Record.inputPadding = Record.outputPadding = Record.maskPadding = 0;
    Record.inPreDummyPlanes = Record.outPreDummyPlanes = static_cast<std::int16_t>(Options.PreDummyPlanes);
    Record.inPostDummyPlanes = Record.outPostDummyPlanes = static_cast<std::int16_t>(Options.PostDummyPlanes);
    Record.inPlaneBytes = Record.outPlaneBytes = 1;
    Record.depth = 8;
    In = Buffer{};
    Out = Buffer{};
    Mask = Buffer{};
}

bool HostSession::RectInImage(const Rect16& r) const {
    return r.top >= 0 && r.left >= 0 && r.top < r.bottom && r.left < r.right &&
           r.bottom <= Pixels.Height && r.right <= Pixels.Width;
}

bool HostSession::ServeImage(const Rect16& Area, std::int16_t Lo, std::int16_t Hi, int Pre,
                             int Post, bool MayServeDirectly, Buffer& Into) {
    Into = Buffer{};
    if (IsEmpty(Area)) return true;
    if (!RectInImage(Area) || Lo < 0 || Hi < Lo || Hi >= Pixels.Channels) return false;
    const int w = Area.right - Area.left, h = Area.bottom - Area.top;
    Into.Area = Area;
    Into.LoPlane = Lo;
    Into.Planes = Hi - Lo + 1;
    Into.ColBytes = Pre + Into.Planes + Post;
    Into.RowBytes = w * Into.ColBytes + Options.RowPadding;
    if (MayServeDirectly && Into.ColBytes == Pixels.Channels && Into.RowBytes == Pixels.Width * Pixels.Channels) {
        // The request is the image's own layout: hand out the image itself, as a host
        // serving from its own memory does, instead of a copy of it.
        Into.Direct = Pixels.At(0, Area.top);
        Into.Valid = true;
        return true;
    }
    Into.Bytes.assign(static_cast<std::size_t>(Into.RowBytes) * h + kTailGuard, kPaddingGuard);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* dst = Into.Bytes.data() + static_cast<std::size_t>(y) * Into.RowBytes +
                                static_cast<std::size_t>(x) * Into.ColBytes;
            std::memset(dst, Options.DummyPlaneValue, Into.ColBytes);
            std::memcpy(dst + Pre, Pixels.At(Area.left + x, Area.top + y) + Lo, Into.Planes);
        }
    Into.Valid = true;
    return true;
}

void HostSession::CommitOutput() {
    if (!Out.Valid) return;
    const int w = Out.Area.right - Out.Area.left, h = Out.Area.bottom - Out.Area.top;
    const int pre = Options.PreDummyPlanes;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* row = Out.Bytes.data() + static_cast<std::size_t>(y) * Out.RowBytes;
        for (int x = 0; x < w; ++x) {
            const std::uint8_t* px = row + static_cast<std::size_t>(x) * Out.ColBytes;
            std::memcpy(Pixels.At(Out.Area.left + x, Out.Area.top + y) + Out.LoPlane, px + pre, Out.Planes);
            for (int k = 0; k < Out.ColBytes; ++k)
                if ((k < pre || k >= pre + Out.Planes) && px[k] != Options.DummyPlaneValue) ++Counters.GuardDamage;
        }
        for (int k = w * Out.ColBytes; k < Out.RowBytes; ++k)
            if (row[k] != kPaddingGuard) ++Counters.GuardDamage;
    }
    for (std::size_t k = static_cast<std::size_t>(Out.RowBytes) * h; k < Out.Bytes.size(); ++k)
        if (Out.Bytes[k] != kPaddingGuard) ++Counters.GuardDamage;
    Out.Valid = false;
}

OSErr HostSession::Serve() {
    try {
        return ServeBuffers();
    } catch (const std::bad_alloc&) {
        // Nothing may be thrown back through the module: a host out of memory serves
        // nothing and says so.
        ++Counters.OutOfMemory;
        In = Out = Mask = Buffer{};
        Record.inData = Record.outData = Record.maskData = nullptr;
        return memFullErr;
    }
}

OSErr HostSession::ServeBuffers() {
    CommitOutput();
    bool ok = true;
    // The input is only read; the output is served as a copy whose framing is checked.
    ok &= ServeImage(Record.inRect, Record.inLoPlane, Record.inHiPlane, Options.PreDummyPlanes,
                     Options.PostDummyPlanes, true, In);
    if (Options.NoOutputBuffer)
        Out = Buffer{};
    else
        ok &= ServeImage(Record.outRect, Record.outLoPlane, Record.outHiPlane, Options.PreDummyPlanes,
                         Options.PostDummyPlanes, false, Out);
    Record.inData = In.Valid ? In.Data() : nullptr;
    Record.inRowBytes = In.Valid ? In.RowBytes : 0;
    Record.inColumnBytes = In.ColBytes;
    Record.outData = Out.Valid ? Out.Bytes.data() : nullptr;
    Record.outRowBytes = Out.Valid ? Out.RowBytes : 0;
    Record.outColumnBytes = Out.ColBytes;

    Mask = Buffer{};
    Record.maskData = nullptr;
    Record.maskRowBytes = 0;
    if (!IsEmpty(Record.maskRect)) {
        if (!MaskPlane || !RectInImage(Record.maskRect)) {
            ok = false;
        } else {
            const Rect16& a = Record.maskRect;
            const int w = a.right - a.left, h = a.bottom - a.top;
            Mask.RowBytes = w + Options.MaskPadding;
            if (Mask.RowBytes == Pixels.Width) {
                Mask.Direct = MaskPlane->data() + static_cast<std::size_t>(a.top) * Pixels.Width;
            } else {
                Mask.Bytes.assign(static_cast<std::size_t>(Mask.RowBytes) * h + kTailGuard, kPaddingGuard);
                for (int y = 0; y < h; ++y)
                    std::memcpy(Mask.Bytes.data() + static_cast<std::size_t>(y) * Mask.RowBytes,
                                MaskPlane->data() + static_cast<std::size_t>(a.top + y) * Pixels.Width + a.left, w);
            }
            Mask.Valid = true;
            Record.maskData = Mask.Data();
            Record.maskRowBytes = Mask.RowBytes;
        }
    }
    // Only 8-bit data here, whatever was asked for.
    Record.depth = 8;
    return ok ? noErr : filterBadParameters;
}

CallOutcome HostSession::Run(PluginEntryProc Entry) {
    CallOutcome outcome;
    Current = this;
    PrepareRecord();
    std::int16_t result = 0;
    Entry(filterSelectorPrepare, &Record, &Slot, &result);
    if (result == noErr) {
        PrepareRecord();
        Entry(filterSelectorStart, &Record, &Slot, &result);
        // Serve what the module still asks for, as a host does, but not forever.
        while (result == noErr && outcome.ContinueCalls < 1000 &&
               (!IsEmpty(Record.inRect) || !IsEmpty(Record.outRect) || !IsEmpty(Record.maskRect))) {
            Serve();
            ++outcome.ContinueCalls;
            Entry(filterSelectorContinue, &Record, &Slot, &result);
        }
        outcome.Result = result;
        outcome.InRect = Record.inRect;
        outcome.OutRect = Record.outRect;
        outcome.MaskRect = Record.maskRect;
        CommitOutput();
        if (result == noErr) {
            std::int16_t finish = 0;
            Entry(filterSelectorFinish, &Record, &Slot, &finish);
        }
    } else {
        outcome.Result = result;
    }
    Current = nullptr;
    return outcome;
}

std::int16_t HostSession::About(PluginEntryProc Entry, std::int16_t ResultSentinel) {
    // An about record is small and holds nothing a filter record does.
    struct AboutRecord {
        std::int32_t serial;
        void* platformData;
    } about{0x41424F55, &Platform};
    std::int16_t result = ResultSentinel;
    Current = this;
    Entry(filterSelectorAbout, reinterpret_cast<FilterRecord*>(&about), &Slot, &result);
    Current = nullptr;
    return result;
}

OSErr VP_CDECL HostSession::AdvanceState() {
    if (!Current) return filterBadParameters;
    ++Current->Counters.AdvanceCalls;
    if (Current->Options.AdvanceStateFails) {
        // A host out of memory: no buffer of the request is served.
        ++Current->Counters.AdvanceErrors;
        Current->CommitOutput();
        Current->In = Current->Out = Current->Mask = Buffer{};
        Current->Record.inData = Current->Record.outData = Current->Record.maskData = nullptr;
        return memFullErr;
    }
    OSErr e = Current->Serve();
    if (e != noErr) ++Current->Counters.AdvanceErrors;
    return e;
}

namespace {

struct DisplayHold {
    std::mutex M;
    std::condition_variable Changed;
    bool Armed = false, Reached = false, Released = false;
};

DisplayHold& Hold() {
    static DisplayHold hold;
    return hold;
}

}  // namespace

void HoldIfArmed() {
    DisplayHold& h = Hold();
    std::unique_lock<std::mutex> lock(h.M);
    if (!h.Armed || h.Reached) return;
    h.Reached = true;
    h.Changed.notify_all();
    h.Changed.wait_for(lock, std::chrono::seconds(10), [&h] { return h.Released; });
    h.Armed = false;
}

void ArmDisplayHold() {
    std::lock_guard<std::mutex> lock(Hold().M);
    Hold().Armed = true;
    Hold().Reached = false;
    Hold().Released = false;
}

bool DisplayHoldArmed() {
    std::lock_guard<std::mutex> lock(Hold().M);
    return Hold().Armed;
}

bool WaitDisplayHeld(int Ms) {
    DisplayHold& h = Hold();
    std::unique_lock<std::mutex> lock(h.M);
    return h.Changed.wait_for(lock, std::chrono::milliseconds(Ms), [&h] { return h.Reached; });
}

void ReleaseDisplayHold() {
    std::lock_guard<std::mutex> lock(Hold().M);
    Hold().Released = true;
    Hold().Armed = false;
    Hold().Changed.notify_all();
}

OSErr VP_CDECL HostSession::DisplayPixels(const PSPixelMap* Source, const VRect* SrcRect,
                                          std::int32_t DstRow, std::int32_t DstCol, void* Context) {
    if (!Current) return filterBadParameters;
    ++Current->Counters.DisplayCalls;
    bool ok = false;
    ShownPixels shown;
    try {
        ok = ReadPixelMap(Source, SrcRect, shown);
#ifdef _WIN32
        ok = ok && DrawShownPixels(Context, DstRow, DstCol, shown);
#else
        (void)Context;
        (void)DstRow;
        (void)DstCol;
#endif
    } catch (const std::bad_alloc&) {
        ++Current->Counters.OutOfMemory;
    }
    if (!ok) {
        ++Current->Counters.DisplayErrors;
        return filterBadParameters;
    }
    const long long pixels = static_cast<long long>(shown.Width) * shown.Height;
    Current->Counters.DisplayedPixels += pixels;
    ProcessDisplayTally().Calls += 1;
    ProcessDisplayTally().Pixels += pixels;
    return noErr;
}

DisplayTally& ProcessDisplayTally() {
    static DisplayTally tally;
    return tally;
}

std::optional<std::vector<std::uint8_t>> HostSession::SlotBlock() const {
    auto* h = reinterpret_cast<HostHandle*>(Slot);
    if (!Slot || !Handles.count(h)) return std::nullopt;
    return std::vector<std::uint8_t>(h->Data, h->Data + h->Size);
}

Handle VP_CDECL HostSession::NewHandle(std::int32_t Size) {
    if (!Current || Size < 0) return nullptr;
    ++Current->Counters.NewHandleCalls;
    // Nothing may be thrown back through the module: a failed allocation is a null handle.
    char* data = new (std::nothrow) char[Size ? Size : 1];
    auto* h = data ? new (std::nothrow) HostHandle{data, Size, 0} : nullptr;
    if (!h) {
        delete[] data;
        return nullptr;
    }
    std::memset(h->Data, 0xCD, Size ? Size : 1);  // hosts hand out uncleared memory
    try {
        Current->Handles.insert(h);
    } catch (const std::bad_alloc&) {
        ++Current->Counters.OutOfMemory;
        delete[] data;
        delete h;
        return nullptr;
    }
    return h;
}

void VP_CDECL HostSession::DisposeHandle(Handle H) {
    if (!Current) return;
    ++Current->Counters.DisposeHandleCalls;
    auto* h = static_cast<HostHandle*>(H);
    if (Current->Handles.erase(h)) {
        delete[] h->Data;
        delete h;
    }
}

std::int32_t VP_CDECL HostSession::GetHandleSize(Handle H) {
    auto* h = static_cast<HostHandle*>(H);
    return Current && Current->Handles.count(h) ? h->Size : 0;
}

OSErr VP_CDECL HostSession::SetHandleSize(Handle H, std::int32_t Size) {
    auto* h = static_cast<HostHandle*>(H);
    if (!Current || !Current->Handles.count(h) || Size < 0) return filterBadParameters;
    char* bigger = new (std::nothrow) char[Size ? Size : 1];
    if (!bigger) return memFullErr;
    std::memcpy(bigger, h->Data, std::min(Size, h->Size));
    delete[] h->Data;
    h->Data = bigger;
    h->Size = Size;
    return noErr;
}

Ptr VP_CDECL HostSession::LockHandle(Handle H, Boolean) {
    if (!Current) return nullptr;
    ++Current->Counters.LockHandleCalls;
    auto* h = static_cast<HostHandle*>(H);
    if (!Current->Handles.count(h)) return nullptr;
    ++h->Locks;
    return h->Data;
}

void VP_CDECL HostSession::UnlockHandle(Handle H) {
    auto* h = static_cast<HostHandle*>(H);
    if (Current && Current->Handles.count(h) && h->Locks > 0) --h->Locks;
}

void VP_CDECL HostSession::RecoverSpace(std::int32_t) {}

Handle VP_CDECL HostSession::ForbiddenNew(std::int32_t) {
    if (Current) ++Current->Counters.ForbiddenCalls;
    return nullptr;
}

Ptr VP_CDECL HostSession::ForbiddenLock(Handle, Boolean) {
    if (Current) ++Current->Counters.ForbiddenCalls;
    return nullptr;
}

void VP_CDECL HostSession::ForbiddenDispose(Handle) {
    if (Current) ++Current->Counters.ForbiddenCalls;
}
