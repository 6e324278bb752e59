// Both entry points called the way a host calls them, with the filter record, the image, its
// buffer layouts, the mask, the handle callbacks, the selectors, the host's failures and, for
// the line dialog, the user's input drawn from the fuzz input.
//
// The host serves every request into a buffer exactly as large as the layout it declares
// (row padding, dummy planes, top-down or bottom-up rows, 8 or 16 bits), so a read or write
// past it is caught. Beyond not crashing, each call must keep to the host protocol: only the
// request fields are written, the image and the mask are never asked for at once, nothing
// but the planes of an output buffer changes, the results are the ones the selectors and
// the dialogs' outcomes call for, and the host's image changes only through an applied line
// drawing, only in its first three planes inside the filter rectangle.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

#include "base/headless/files.h"
#include "entry/module_entry.h"
#include "filters/line_form.h"
#include "filters/noise.h"
#include "filters/ps_rgb_panel.h"
#include "fuzz_support.h"
#include "host/parameter_block.h"
#include "toolkit/application.h"
#include "toolkit/headless/headless.h"
#include "toolkit/stdctrls.h"
#include "widgets/range_bars.h"

namespace {

constexpr std::uint8_t kGuard = 0xA5;

bool IsEmpty(const Rect16& R) { return R.top == 0 && R.left == 0 && R.bottom == 0 && R.right == 0; }

std::string Show(const Rect16& R)
{
    return "(" + std::to_string(R.top) + "," + std::to_string(R.left) + "," + std::to_string(R.bottom) + "," +
           std::to_string(R.right) + ")";
}

// What the host decided, drawn from the input.
struct Plan {
    bool Line = false;
    int Width = 1, Height = 1, StoredPlanes = 1;
    std::int16_t Planes = 3, ImageMode = plugInModeRGBColor;
    // Requests a host may leave set from before; never a mask request.
    Rect16 FilterRect{}, InitialIn{}, InitialOut{};
    int Pre = 0, Post = 0, Padding = 0, MaskPadding = 0;
    bool BottomUp = false, MaskBottomUp = false, HaveMask = false, Sixteen = false;
    std::uint8_t DummyValue = 0;
    enum { ProcsUsable, ProcsNewer, ProcsTooFew, ProcsMissing, NoProcs } ProcsKind = ProcsUsable;
    bool FailNew = false, FailLock = false;
    bool NoAdvance = false, NoDisplay = false;
    std::uint32_t FailedAdvances = 0; // bit k: the k-th advanceState of a call fails
    enum { RegistryEmpty, RegistryFolder, RegistryBareVersion, EditorRunning } Registry = RegistryEmpty;
};

// Whether a start must end in filterBadMode before any dialog: more than four planes, a mode
// with no colour a filter can read or planes the mode does not explain (this host fills no
// layer fields); for the line filter, which writes three planes back, any mode but RGB.
bool RefusedImage(const Plan& P)
{
    if (P.Planes > 4)
        return true;
    bool readable = false;
    switch (P.ImageMode) {
    case plugInModeRGBColor:
    case plugInModeLabColor: readable = P.Planes == 3 || P.Planes == 4; break;
    case plugInModeGrayScale:
    case plugInModeDuotone: readable = P.Planes == 1 || P.Planes == 2; break;
    case plugInModeMultichannel: readable = P.Planes >= 1; break;
    case plugInModeCMYKColor: readable = P.Planes == 4; break;
    default: break;
    }
    return !readable || (P.Line && P.ImageMode != plugInModeRGBColor);
}

// One buffer served to the module.
struct Served {
    std::unique_ptr<std::uint8_t[]> Memory;
    std::vector<std::uint8_t> Original; // for the bytes the module must leave alone
    std::size_t Size = 0;
    std::uint8_t* First = nullptr; // row 0, wherever it lies
    std::int32_t RowBytes = 0;
    Rect16 Area{};
    int Lo = 0, Planes = 0, ColBytes = 0, SampleBytes = 1;
    bool Valid = false;
};

class FuzzHost {
public:
    explicit FuzzHost(const Plan& P, std::vector<std::uint8_t> Pixels) : FPlan(P), FImage(std::move(Pixels))
    {
        FProcs.handleProcsVersion = kCurrentHandleProcsVersion;
        FProcs.numHandleProcs = kCurrentHandleProcsCount;
        FProcs.newProc = NewHandle;
        FProcs.disposeProc = DisposeHandle;
        FProcs.getSizeProc = GetHandleSize;
        FProcs.setSizeProc = SetHandleSize;
        FProcs.lockProc = LockHandle;
        FProcs.unlockProc = UnlockHandle;
        if (P.ProcsKind == Plan::ProcsNewer)
            FProcs.handleProcsVersion = 2;
        if (P.ProcsKind == Plan::ProcsTooFew)
            FProcs.numHandleProcs = 6;
        if (P.ProcsKind == Plan::ProcsMissing)
            FProcs.setSizeProc = nullptr;
        FHostProcsUsable = P.ProcsKind == Plan::ProcsUsable;
        Current = this;
    }
    ~FuzzHost()
    {
        // The host discards the data slot: its own handle, or platform memory the module
        // fell back on.
        if (FSlot && !FHandles.count(reinterpret_cast<Handle>(FSlot)))
            FallbackDisposeHandle(reinterpret_cast<Handle>(FSlot));
        for (Handle h : FHandles)
            delete static_cast<HostHandle*>(h);
        Current = nullptr;
    }

    void Call(std::int16_t Selector)
    {
        PluginEntryProc entry = FPlan.Line ? VesperLine : VesperNoise;
        if (Selector == filterSelectorAbout && !FPlan.Line) {
            // An about record is small and shares nothing with a filter record.
            auto about = std::make_unique<std::uint8_t[]>(2 * sizeof(void*));
            std::int16_t result = 0x5A5A;
            const std::intptr_t slot = FSlot;
            entry(Selector, reinterpret_cast<FilterRecord*>(about.get()), &FSlot, &result);
            FUZZ_EXPECT(result == 0x5A5A, "the about selector wrote the result word");
            FUZZ_EXPECT(FSlot == slot, "the about selector changed the data slot");
            return;
        }
        PrepareRecord();
        if (Selector != filterSelectorStart) {
            std::int16_t result = 0x5A5A;
            const std::intptr_t slot = FSlot;
            entry(Selector, &FRecord, &FSlot, &result);
            FUZZ_EXPECT(result == noErr, "selector " + std::to_string(Selector) + " answered " + std::to_string(result));
            FUZZ_EXPECT(std::memcmp(&FRecord, &FExpected, sizeof FRecord) == 0,
                        "selector " + std::to_string(Selector) + " wrote into the filter record");
            FUZZ_EXPECT(FSlot == slot, "selector " + std::to_string(Selector) + " changed the data slot");
            return;
        }
        Start(entry);
    }

    // The user's input, posted once the line dialog's modal loop runs.
    std::function<void(TLineForm&)> Script;

private:
    struct HostHandle {
        std::unique_ptr<std::uint8_t[]> Data;
        std::int32_t Size;
    };

    void Start(PluginEntryProc Entry)
    {
        const std::vector<std::uint8_t> before = FImage;
        FAdvances = 0;
        FOutputServed = false;
        FDialogRan = false;
        FLocked = false;
        std::int16_t result = 0x5A5A;
        if (FPlan.Line && Script) {
            headless::PostCall([this] {
                FDialogRan = true;
                if (auto* form = dynamic_cast<TLineForm*>(headless::ModalForm()))
                    Script(*form);
            });
        }
        Entry(filterSelectorStart, &FRecord, &FSlot, &result);
        CommitOutput();
        CheckRecord("the start call");
        const std::string outcome = " (start answered " + std::to_string(result) + ")";

        // The block exists when the module fell back on platform memory or the host's lock
        // gave it one.
        const bool acquired = !FHostProcsUsable || FLocked;
        if (!acquired) {
            FUZZ_EXPECT(result == memFullErr, "no parameter block" + outcome);
            FUZZ_EXPECT(FAdvances == 0, "the image was read without a parameter block" + outcome);
        } else if (RefusedImage(FPlan)) {
            FUZZ_EXPECT(result == filterBadMode, "an image the filter cannot take was not refused" + outcome);
            FUZZ_EXPECT(FAdvances == 0, "an image the filter cannot take was read" + outcome);
            FUZZ_EXPECT(std::memcmp(&FRecord.inRect, &FPlan.InitialIn, sizeof(Rect16)) == 0 &&
                            std::memcmp(&FRecord.outRect, &FPlan.InitialOut, sizeof(Rect16)) == 0,
                        "a refused start changed the request rectangles" + outcome);
        } else {
            FUZZ_EXPECT(result == noErr || result == userCanceledErr, "unexpected result" + outcome);
            FUZZ_EXPECT(IsEmpty(FRecord.inRect) && IsEmpty(FRecord.outRect) && IsEmpty(FRecord.maskRect),
                        "requests left open after the dialog: in " + Show(FRecord.inRect) + " out " +
                            Show(FRecord.outRect) + " mask " + Show(FRecord.maskRect) + outcome);
            // A transfer that failed has shown its box and answers a user cancel.
            if (!FPlan.Line)
                FUZZ_EXPECT(result == noErr || (result == userCanceledErr && !headless::MessageBoxes().empty()),
                            "the transfer dialog failed without a box" + outcome);
            else if (Script)
                FUZZ_EXPECT(FDialogRan, "the line dialog ran no modal loop" + outcome);
        }
        if (!FPlan.Line || result != noErr) {
            FUZZ_EXPECT(!FOutputServed || FPlan.Line, "the transfer filter asked for the output" + outcome);
            FUZZ_EXPECT(FImage == before, "the host's image changed" + outcome);
        } else {
            CheckApplied(before, outcome);
        }

        // A host serves what is still asked for, then finishes.
        for (int i = 0; i < 3 && result == noErr &&
                        (!IsEmpty(FRecord.inRect) || !IsEmpty(FRecord.outRect) || !IsEmpty(FRecord.maskRect));
             ++i) {
            Serve();
            SyncExpected();
            std::int16_t r = 0x5A5A;
            Entry(filterSelectorContinue, &FRecord, &FSlot, &r);
            result = r;
        }
        if (result == noErr) {
            PrepareRecord();
            std::int16_t r = 0x5A5A;
            Entry(filterSelectorFinish, &FRecord, &FSlot, &r);
            FUZZ_EXPECT(r == noErr, "finish answered " + std::to_string(r));
        }
    }

    // An applied drawing: only planes 0 to 2 inside the filter rectangle may differ.
    void CheckApplied(const std::vector<std::uint8_t>& Before, const std::string& Outcome)
    {
        const Rect16& f = FPlan.FilterRect;
        for (int y = 0; y < FPlan.Height; ++y)
            for (int x = 0; x < FPlan.Width; ++x)
                for (int k = 0; k < FPlan.StoredPlanes; ++k) {
                    const std::size_t i = (static_cast<std::size_t>(y) * FPlan.Width + x) * FPlan.StoredPlanes + k;
                    const bool writable = k < 3 && y >= f.top && y < f.bottom && x >= f.left && x < f.right;
                    FUZZ_EXPECT(writable || FImage[i] == Before[i],
                                "the drawing changed (" + std::to_string(x) + "," + std::to_string(y) + ") plane " +
                                    std::to_string(k) + Outcome);
                }
    }

    void PrepareRecord()
    {
        std::memset(&FRecord, 0, sizeof FRecord);
        FRecord.serial = 0x46555A5A;
        FRecord.imageSize = Point16{static_cast<std::int16_t>(FPlan.Height), static_cast<std::int16_t>(FPlan.Width)};
        FRecord.planes = FPlan.Planes;
        FRecord.filterRect = FPlan.FilterRect;
        FRecord.background = RGBColor{0xFFFF, 0xFFFF, 0xFFFF};
        FRecord.maxSpace = 64 << 20;
        FRecord.bufferSpace = 1 << 20;
        FRecord.inRect = FPlan.InitialIn;
        FRecord.outRect = FPlan.InitialOut;
        FRecord.haveMask = FPlan.HaveMask ? 1 : 0;
        FRecord.imageMode = FPlan.ImageMode;
        FRecord.imageHRes = FRecord.imageVRes = 72 << 16;
        FRecord.wholeSize = FRecord.imageSize;
        FRecord.platformData = &FPlatform;
        FRecord.displayPixels = FPlan.NoDisplay ? nullptr : DisplayPixels;
        FRecord.handleProcs = FPlan.ProcsKind == Plan::NoProcs ? nullptr : &FProcs;
        FRecord.advanceState = FPlan.NoAdvance ? nullptr : AdvanceState;
        FRecord.supportsDummyChannels = 1;
        FRecord.supportsPadding = 1;
        FRecord.dummyPlaneValue = FPlan.DummyValue;
        FRecord.inPreDummyPlanes = FRecord.outPreDummyPlanes = static_cast<std::int16_t>(FPlan.Pre);
        FRecord.inPostDummyPlanes = FRecord.outPostDummyPlanes = static_cast<std::int16_t>(FPlan.Post);
        FRecord.inPlaneBytes = FRecord.outPlaneBytes = FPlan.Sixteen ? 2 : 1;
        FRecord.depth = 8;
        FExpected = FRecord;
        FIn = Served{};
        FOut = Served{};
        FMask = Served{};
    }

    // The fields the module may write (the requests and the depth) are taken over; every
    // other byte must be as the host left it.
    void SyncExpected()
    {
        FExpected.inRect = FRecord.inRect;
        FExpected.inLoPlane = FRecord.inLoPlane;
        FExpected.inHiPlane = FRecord.inHiPlane;
        FExpected.outRect = FRecord.outRect;
        FExpected.outLoPlane = FRecord.outLoPlane;
        FExpected.outHiPlane = FRecord.outHiPlane;
        FExpected.maskRect = FRecord.maskRect;
        FExpected.depth = FRecord.depth;
    }
    void CheckRecord(const char* When)
    {
        SyncExpected();
        FUZZ_EXPECT(std::memcmp(&FRecord, &FExpected, sizeof FRecord) == 0,
                    std::string(When) + " wrote into the filter record beyond its requests");
    }

    bool InImage(const Rect16& R) const
    {
        return R.top >= 0 && R.left >= 0 && R.top < R.bottom && R.left < R.right && R.bottom <= FPlan.Height &&
               R.right <= FPlan.Width;
    }

    // Lays out Area's planes Lo..Hi with the plan's dummy planes, padding and row order.
    bool ServeImage(const Rect16& Area, std::int16_t Lo, std::int16_t Hi, Served& Into)
    {
        Into = Served{};
        if (IsEmpty(Area))
            return true;
        if (!InImage(Area) || Lo < 0 || Hi < Lo || Hi >= FPlan.StoredPlanes)
            return false;
        const int w = Area.right - Area.left, h = Area.bottom - Area.top;
        Into.Area = Area;
        Into.Lo = Lo;
        Into.Planes = Hi - Lo + 1;
        Into.SampleBytes = FPlan.Sixteen ? 2 : 1;
        Into.ColBytes = (FPlan.Pre + Into.Planes + FPlan.Post) * Into.SampleBytes;
        const std::size_t rowLength = static_cast<std::size_t>(w) * Into.ColBytes;
        const std::size_t stride = rowLength + FPlan.Padding;
        Into.Size = static_cast<std::size_t>(h - 1) * stride + rowLength;
        Into.Memory = std::make_unique<std::uint8_t[]>(Into.Size);
        std::memset(Into.Memory.get(), kGuard, Into.Size);
        for (int y = 0; y < h; ++y) {
            std::uint8_t* row = RowStart(Into.Memory.get(), y, h, stride, FPlan.BottomUp);
            for (int x = 0; x < w; ++x) {
                std::uint8_t* px = row + static_cast<std::size_t>(x) * Into.ColBytes;
                std::memset(px, FPlan.DummyValue, Into.ColBytes);
                for (int k = 0; k < Into.Planes; ++k) {
                    const std::uint8_t v = Pixel(Area.left + x, Area.top + y, Lo + k);
                    for (int b = 0; b < Into.SampleBytes; ++b)
                        px[(FPlan.Pre + k) * Into.SampleBytes + b] = v;
                }
            }
        }
        Into.First = RowStart(Into.Memory.get(), 0, h, stride, FPlan.BottomUp);
        Into.RowBytes = static_cast<std::int32_t>(FPlan.BottomUp ? -static_cast<std::ptrdiff_t>(stride) : stride);
        Into.Original.assign(Into.Memory.get(), Into.Memory.get() + Into.Size);
        Into.Valid = true;
        return true;
    }

    static std::uint8_t* RowStart(std::uint8_t* Memory, int Y, int Rows, std::size_t Stride, bool BottomUp)
    {
        return Memory + static_cast<std::size_t>(BottomUp ? Rows - 1 - Y : Y) * Stride;
    }

    std::uint8_t& Pixel(int X, int Y, int Plane)
    {
        return FImage[(static_cast<std::size_t>(Y) * FPlan.Width + X) * FPlan.StoredPlanes + Plane];
    }

    // Takes the planes of an 8-bit output buffer into the image. Nothing else in it may have
    // changed: not the dummy planes, not the padding, and nothing of a 16-bit buffer, which
    // the module must refuse before writing.
    void CommitOutput()
    {
        if (!FOut.Valid)
            return;
        if (FOut.SampleBytes == 1) {
            const int w = FOut.Area.right - FOut.Area.left, h = FOut.Area.bottom - FOut.Area.top;
            const std::size_t stride = static_cast<std::size_t>(w) * FOut.ColBytes + FPlan.Padding;
            for (int y = 0; y < h; ++y) {
                const std::uint8_t* row = RowStart(FOut.Memory.get(), y, h, stride, FPlan.BottomUp);
                for (int x = 0; x < w; ++x)
                    for (int k = 0; k < FOut.Planes; ++k) {
                        const std::size_t at = static_cast<std::size_t>(row - FOut.Memory.get()) +
                                               static_cast<std::size_t>(x) * FOut.ColBytes + FPlan.Pre + k;
                        Pixel(FOut.Area.left + x, FOut.Area.top + y, FOut.Lo + k) = FOut.Memory[at];
                        FOut.Original[at] = FOut.Memory[at];
                    }
            }
        }
        for (std::size_t i = 0; i < FOut.Size; ++i)
            FUZZ_EXPECT(FOut.Memory[i] == FOut.Original[i],
                        "byte " + std::to_string(i) + " of the output buffer was written outside its planes" +
                            (FOut.SampleBytes == 2 ? " (16-bit)" : ""));
        FOut = Served{};
    }

    OSErr Serve()
    {
        CommitOutput();
        const bool fail = FAdvances < 32 && (FPlan.FailedAdvances >> FAdvances) & 1;
        ++FAdvances;
        bool ok = !fail;
        if (ok) {
            ok &= ServeImage(FRecord.inRect, FRecord.inLoPlane, FRecord.inHiPlane, FIn);
            ok &= ServeImage(FRecord.outRect, FRecord.outLoPlane, FRecord.outHiPlane, FOut);
        } else {
            FIn = Served{};
            FOut = Served{};
        }
        FOutputServed |= FOut.Valid;
        FRecord.inData = FIn.Valid ? FIn.First : nullptr;
        FRecord.inRowBytes = FIn.RowBytes;
        FRecord.inColumnBytes = FIn.ColBytes;
        FRecord.outData = FOut.Valid ? FOut.First : nullptr;
        FRecord.outRowBytes = FOut.RowBytes;
        FRecord.outColumnBytes = FOut.ColBytes;

        FMask = Served{};
        const Rect16& a = FRecord.maskRect;
        if (!fail && !IsEmpty(a) && FPlan.HaveMask && InImage(a)) {
            const int w = a.right - a.left, h = a.bottom - a.top;
            const std::size_t stride = static_cast<std::size_t>(w) + FPlan.MaskPadding;
            FMask.Size = static_cast<std::size_t>(h - 1) * stride + w;
            FMask.Memory = std::make_unique<std::uint8_t[]>(FMask.Size);
            std::memset(FMask.Memory.get(), kGuard, FMask.Size);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    RowStart(FMask.Memory.get(), y, h, stride, FPlan.MaskBottomUp)[x] =
                        static_cast<std::uint8_t>(Pixel(a.left + x, a.top + y, 0) ^ (x * 7 + y * 13));
            FMask.First = RowStart(FMask.Memory.get(), 0, h, stride, FPlan.MaskBottomUp);
            FMask.RowBytes = static_cast<std::int32_t>(FPlan.MaskBottomUp ? -static_cast<std::ptrdiff_t>(stride) : stride);
            FMask.Valid = true;
        } else if (!IsEmpty(a)) {
            ok = false;
        }
        FRecord.maskData = FMask.Valid ? FMask.First : nullptr;
        FRecord.maskRowBytes = FMask.RowBytes;
        FRecord.depth = FPlan.Sixteen ? 16 : 8;
        FExpected.inData = FRecord.inData;
        FExpected.inRowBytes = FRecord.inRowBytes;
        FExpected.inColumnBytes = FRecord.inColumnBytes;
        FExpected.outData = FRecord.outData;
        FExpected.outRowBytes = FRecord.outRowBytes;
        FExpected.outColumnBytes = FRecord.outColumnBytes;
        FExpected.maskData = FRecord.maskData;
        FExpected.maskRowBytes = FRecord.maskRowBytes;
        FExpected.depth = FRecord.depth;
        return ok ? noErr : filterBadParameters;
    }

    static OSErr VP_CDECL AdvanceState()
    {
        FuzzHost& h = *Current;
        h.CheckRecord("a request");
        const FilterRecord& r = h.FRecord;
        FUZZ_EXPECT(IsEmpty(r.inRect) || IsEmpty(r.outRect), "input and output asked for at once");
        FUZZ_EXPECT(IsEmpty(r.maskRect) || IsEmpty(r.inRect), "the mask asked for with the input still open");
        FUZZ_EXPECT(IsEmpty(r.maskRect) || r.haveMask, "a mask asked for without a selection");
        FUZZ_EXPECT((IsEmpty(r.inRect) && IsEmpty(r.outRect)) || r.depth == 8, "an image asked for at depth " +
                                                                                 std::to_string(r.depth));
        return h.Serve();
    }

    static OSErr VP_CDECL DisplayPixels(const PSPixelMap* Source, const VRect* SrcRect, std::int32_t DstRow,
                                        std::int32_t DstCol, void*)
    {
        FUZZ_EXPECT(Source && SrcRect, "displayPixels without a map or rectangle");
        const PSPixelMap& m = *Source;
        const std::int32_t w = m.bounds.right, h = m.bounds.bottom;
        FUZZ_EXPECT(m.version == 0 && m.bounds.top == 0 && m.bounds.left == 0 && w > 0 && h > 0 &&
                        m.rowBytes == w * 4 && m.colBytes == 4 && m.planeBytes == 1 && m.baseAddr &&
                        m.imageMode == plugInModeRGBColor,
                    "a pixel map unlike the one the host expects");
        const VRect& s = *SrcRect;
        FUZZ_EXPECT(s.top >= 0 && s.left >= 0 && s.top <= s.bottom && s.left <= s.right && s.bottom <= h &&
                        s.right <= w,
                    "a source rectangle outside the pixel map");
        (void)DstRow;
        (void)DstCol;
        // Read what the map promises, the way a host draws it.
        const auto* base = static_cast<const std::uint8_t*>(m.baseAddr);
        unsigned sum = 0;
        for (std::int32_t y = s.top; y < s.bottom; ++y)
            for (std::int32_t x = s.left; x < s.right; ++x)
                for (int k = 0; k < 3; ++k)
                    sum += base[static_cast<std::size_t>(y) * m.rowBytes + static_cast<std::size_t>(x) * 4 + k];
        Current->FShownSum += sum;
        return noErr;
    }

    static Handle VP_CDECL NewHandle(std::int32_t Size)
    {
        FUZZ_EXPECT(Current->FHostProcsUsable, "newProc called through an unusable handle-procs record");
        if (Current->FPlan.FailNew || Size < 0 || Size > (1 << 20))
            return nullptr;
        auto* h = new HostHandle{std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(Size ? Size : 1)), Size};
        std::memset(h->Data.get(), 0xCD, static_cast<std::size_t>(Size ? Size : 1));
        Current->FHandles.insert(h);
        return h;
    }
    static void VP_CDECL DisposeHandle(Handle H)
    {
        FUZZ_EXPECT(Current->FHostProcsUsable, "disposeProc called through an unusable handle-procs record");
        FUZZ_EXPECT(Current->FHandles.erase(H) == 1, "disposeProc given a handle the host never made");
        delete static_cast<HostHandle*>(H);
    }
    static std::int32_t VP_CDECL GetHandleSize(Handle H)
    {
        FUZZ_EXPECT(Current->FHandles.count(H), "getSizeProc given a handle the host never made");
        return static_cast<HostHandle*>(H)->Size;
    }
    static OSErr VP_CDECL SetHandleSize(Handle, std::int32_t) { return memFullErr; }
    static Ptr VP_CDECL LockHandle(Handle H, Boolean)
    {
        FUZZ_EXPECT(Current->FHostProcsUsable, "lockProc called through an unusable handle-procs record");
        FUZZ_EXPECT(Current->FHandles.count(H), "lockProc given a handle the host never made");
        if (Current->FPlan.FailLock)
            return nullptr;
        Current->FLocked = true;
        return reinterpret_cast<Ptr>(static_cast<HostHandle*>(H)->Data.get());
    }
    static void VP_CDECL UnlockHandle(Handle) {}

    static inline FuzzHost* Current = nullptr;

    Plan FPlan;
    std::vector<std::uint8_t> FImage;
    FilterRecord FRecord{}, FExpected{};
    HandleProcs FProcs{};
    PlatformData FPlatform{};
    bool FHostProcsUsable = true;
    std::intptr_t FSlot = 0;
    Served FIn, FOut, FMask;
    std::set<Handle> FHandles;
    int FAdvances = 0;
    bool FOutputServed = false, FDialogRan = false, FLocked = false;
    unsigned FShownSum = 0;
};

Rect16 RectIn(FuzzedDataProvider& In, int W, int H)
{
    Rect16 r;
    r.top = In.ConsumeIntegralInRange<std::int16_t>(-2, static_cast<std::int16_t>(H + 2));
    r.left = In.ConsumeIntegralInRange<std::int16_t>(-2, static_cast<std::int16_t>(W + 2));
    r.bottom = In.ConsumeIntegralInRange<std::int16_t>(-2, static_cast<std::int16_t>(H + 2));
    r.right = In.ConsumeIntegralInRange<std::int16_t>(-2, static_cast<std::int16_t>(W + 2));
    return r;
}

Plan MakePlan(FuzzedDataProvider& In)
{
    Plan p;
    p.Line = In.ConsumeBool();
    p.Width = In.ConsumeIntegralInRange(1, 48);
    p.Height = In.ConsumeIntegralInRange(1, 48);
    static const std::int16_t Planes[] = {3, 3, 1, 2, 4, 5, 0, -1, 16, -32768};
    p.Planes = Planes[In.ConsumeIntegralInRange<std::size_t>(0, std::size(Planes) - 1)];
    p.StoredPlanes = std::clamp<int>(p.Planes, 1, 16);
    static const std::int16_t Modes[] = {plugInModeRGBColor,     plugInModeGrayScale, plugInModeCMYKColor,
                                         plugInModeLabColor,     plugInModeBitmap,    plugInModeRGB48,
                                         plugInModeMultichannel, plugInModeDuotone};
    p.ImageMode = Modes[In.ConsumeIntegralInRange<std::size_t>(0, std::size(Modes) - 1)];
    // Mostly the whole image or a part of it; sometimes what no host should send.
    switch (In.ConsumeIntegralInRange(0, 7)) {
    case 0: p.FilterRect = RectIn(In, p.Width, p.Height); break;
    case 1:
    case 2: {
        const int t = In.ConsumeIntegralInRange(0, p.Height - 1), l = In.ConsumeIntegralInRange(0, p.Width - 1);
        p.FilterRect = Rect16{static_cast<std::int16_t>(t), static_cast<std::int16_t>(l),
                              static_cast<std::int16_t>(In.ConsumeIntegralInRange(t + 1, p.Height)),
                              static_cast<std::int16_t>(In.ConsumeIntegralInRange(l + 1, p.Width))};
        break;
    }
    default: p.FilterRect = Rect16{0, 0, static_cast<std::int16_t>(p.Height), static_cast<std::int16_t>(p.Width)};
    }
    if (In.ConsumeIntegralInRange(0, 3) == 0) {
        p.InitialIn = RectIn(In, p.Width, p.Height);
        p.InitialOut = RectIn(In, p.Width, p.Height);
    }
    p.Pre = In.ConsumeIntegralInRange(0, 3);
    p.Post = In.ConsumeIntegralInRange(0, 3);
    p.Padding = In.ConsumeIntegralInRange(0, 9);
    p.MaskPadding = In.ConsumeIntegralInRange(0, 9);
    p.BottomUp = In.ConsumeBool();
    p.MaskBottomUp = In.ConsumeBool();
    p.HaveMask = In.ConsumeBool();
    p.Sixteen = In.ConsumeIntegralInRange(0, 7) == 0;
    p.DummyValue = In.ConsumeIntegral<std::uint8_t>();
    p.ProcsKind = static_cast<decltype(p.ProcsKind)>(In.ConsumeIntegralInRange(0, 9) < 5 ? 0 : In.ConsumeIntegralInRange(1, 4));
    p.FailNew = In.ConsumeIntegralInRange(0, 9) == 0;
    p.FailLock = In.ConsumeIntegralInRange(0, 9) == 0;
    p.NoAdvance = In.ConsumeIntegralInRange(0, 15) == 0;
    p.NoDisplay = In.ConsumeIntegralInRange(0, 7) == 0;
    p.FailedAdvances = In.ConsumeIntegralInRange(0, 3) == 0 ? In.ConsumeIntegral<std::uint32_t>() : 0;
    p.Registry = static_cast<decltype(p.Registry)>(In.ConsumeIntegralInRange(0, 3));
    return p;
}

// The user at the line dialog: presses, drags and releases on the preview, picks colours,
// moves the bars, switches the check boxes and the scale mode, and ends with Apply, Cancel,
// closing the window, or nothing (the loop then ends as a cancel).
std::function<void(TLineForm&)> MakeScript(FuzzedDataProvider& In)
{
    struct Step {
        int Kind, A, B, C;
    };
    std::vector<Step> steps(In.ConsumeIntegralInRange<std::size_t>(0, 16));
    for (Step& s : steps) {
        s.Kind = In.ConsumeIntegralInRange(0, 11);
        s.A = In.ConsumeIntegralInRange(-40, 600);
        s.B = In.ConsumeIntegralInRange(-40, 600);
        s.C = In.ConsumeIntegralInRange(0, 7);
    }
    const int end = In.ConsumeIntegralInRange(0, 3);
    return [steps, end](TLineForm& f) {
        TGaugeBar* bars[] = {f.barSaturation, f.barOpacity, f.barScale};
        TCheckBox* boxes[] = {f.chkAntialias, f.chkInterpolated, f.chkDisplayMask};
        for (const Step& s : steps) {
            switch (s.Kind) {
            case 0: headless::PostMouseDown(f.Image, s.A, s.B); break;
            case 1:
            case 2: headless::PostMouseMove(f.Image, s.A, s.B, ssLeft); break;
            case 3: headless::PostMouseUp(f.Image, s.A, s.B); break;
            case 4:
                headless::PostPaint(f.RGBPanel);
                headless::PostClick(f.RGBPanel, s.A % 120, s.B % 160);
                break;
            case 5: {
                TGaugeBar* bar = bars[s.C % 3];
                headless::PostMouseDown(bar, s.A % 120, 5);
                headless::PostMouseMove(bar, s.B % 120, 5, ssLeft);
                headless::PostMouseUp(bar, s.B % 120, 5);
                break;
            }
            case 6: headless::PostClick(boxes[s.C % 3], 5, 5); break;
            case 7: headless::PostSelect(f.cmbMode, s.C % 3); break;
            case 8: headless::PostMouseWheel(f.Image, s.A, s.B, (s.C - 3) * 120); break;
            case 9: headless::PostAdvanceTime(static_cast<unsigned>(s.A < 0 ? 0 : s.A)); break;
            case 10: headless::PostPaint(&f); break;
            default: headless::PostMouseDown(bars[s.C % 3], s.A % 200, s.B % 20); break;
            }
        }
        switch (end) {
        case 0: headless::PostClick(f.Button1, 5, 5); break;
        case 1: headless::PostClick(f.Button2, 5, 5); break;
        case 2: headless::PostClose(&f); break;
        default: break;
        }
    };
}

struct Environment {
    Environment()
    {
        char dir[] = "/tmp/vesper-fuzz-drives-XXXXXX";
        if (mkdtemp(dir))
            Root = dir;
        SetHeadlessDriveRoot(Root);
    }
    ~Environment()
    {
        std::error_code ec;
        std::filesystem::remove_all(Root, ec);
    }
    std::string Root = "/tmp";
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    static Environment env;
    headless::Reset();
    Application->OnException = nullptr;
    Application->SetTitle("Vesper");
    ResetRandomSeed();

    FuzzedDataProvider in(Data, Size);
    const Plan plan = MakePlan(in);
    switch (plan.Registry) {
    case Plan::RegistryFolder:
        headless::RegistryAddKey(TRegistryRoot::LocalMachine, "SOFTWARE\\Adobe\\Photoshop\\11.0");
        headless::RegistrySetString(TRegistryRoot::LocalMachine, "SOFTWARE\\Adobe\\Photoshop\\11.0\\PluginPath",
                                    "Tarnwick", "c:\\Tarnwick\\");
        break;
    case Plan::RegistryBareVersion:
        headless::RegistryAddKey(TRegistryRoot::LocalMachine, "SOFTWARE\\Adobe\\Photoshop\\7.0");
        break;
    case Plan::EditorRunning: headless::AddTopWindow("Tarnwick Studio"); break;
    default: break;
    }
    std::vector<std::int16_t> selectors;
    if (in.ConsumeIntegralInRange(0, 3) == 0) {
        selectors.resize(in.ConsumeIntegralInRange<std::size_t>(1, 6));
        for (std::int16_t& s : selectors)
            s = in.ConsumeIntegralInRange(0, 7) == 0 ? in.ConsumeIntegral<std::int16_t>()
                                                     : in.ConsumeIntegralInRange<std::int16_t>(-1, 6);
    } else {
        const int runs = in.ConsumeIntegralInRange(1, 2);
        for (int i = 0; i < runs; ++i)
            selectors.insert(selectors.end(), {filterSelectorPrepare, filterSelectorStart});
    }
    std::function<void(TLineForm&)> script = plan.Line ? MakeScript(in) : nullptr;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(plan.Width) * plan.Height * plan.StoredPlanes);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = in.remaining_bytes() ? in.ConsumeIntegral<std::uint8_t>() : static_cast<std::uint8_t>(i * 37 + 11);

    FuzzHost host(plan, std::move(pixels));
    host.Script = std::move(script);
    for (std::int16_t s : selectors)
        host.Call(s);
    headless::Reset();
    return 0;
}
