// One filter host: owns the image, builds the filter record for each call and serves the
// module's requests through advanceState, displayPixels and the handle callbacks.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "bmp_image.h"
#include "host/pi_filter.h"

struct HostOptions {
    int PreDummyPlanes = 0;
    int PostDummyPlanes = 0;
    int RowPadding = 0;
    int MaskPadding = 0;
    std::uint8_t DummyPlaneValue = 0xEE;
    bool UnusableHandleProcs = false;
    bool AdvanceStateFails = false;  // the callback answers with an error and serves nothing
    bool NoAdvanceState = false;     // the record carries no callback at all
    bool NoOutputBuffer = false;     // requests for the output are answered without a buffer
    std::optional<int> Planes;  // planes announced to the module, whatever the image has
    std::int16_t ImageMode = plugInModeRGBColor;
};

struct CallStats {
    int AdvanceCalls = 0;
    int AdvanceErrors = 0;
    int DisplayCalls = 0;
    int DisplayErrors = 0;
    long long DisplayedPixels = 0;  // pixels of the source rectangles of the well-formed calls
    int NewHandleCalls = 0;
    int LockHandleCalls = 0;
    int DisposeHandleCalls = 0;
    int ForbiddenCalls = 0;  // calls into an unusable handle-procs record
    int GuardDamage = 0;     // padding or dummy bytes of the output changed by the module
    int OutOfMemory = 0;     // callbacks this host could not serve for lack of memory
};

struct CallOutcome {
    std::int16_t Result = 0;
    Rect16 InRect{}, OutRect{}, MaskRect{};
    int ContinueCalls = 0;
};

// Every well-formed displayPixels call of the process so far, for a thread that watches the
// module paint while it runs.
struct DisplayTally {
    std::atomic<long long> Calls{0}, Pixels{0};
};
DisplayTally& ProcessDisplayTally();

// Holds a dialog that closes on its first paint (the transfer dialog) for a watching thread:
// once armed, the dialog's thread waits in HoldIfArmed (ten seconds at most) until the
// watcher releases it. Armed, Wait, Release: the watcher's side.
void ArmDisplayHold();
bool DisplayHoldArmed();
void HoldIfArmed();
// Waits up to Ms milliseconds for the dialog to be held; true once it is.
bool WaitDisplayHeld(int Ms);
// Lets the held thread go on and disarms the hold.
void ReleaseDisplayHold();

class HostSession {
public:
    HostSession(HostImage Image, std::optional<std::vector<std::uint8_t>> Mask, HostOptions Options);
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    // One filter run the way a host does it: prepare, start, continue while the module
    // still asks for data, finish. The data slot is kept between runs.
    CallOutcome Run(PluginEntryProc Entry);
    // The about selector, with an about record rather than a filter record.
    std::int16_t About(PluginEntryProc Entry, std::int16_t ResultSentinel);

    std::intptr_t DataSlot() const { return Slot; }
    const CallStats& Stats() const { return Counters; }
    const HostImage& Image() const { return Pixels; }
    const std::optional<std::vector<std::uint8_t>>& Selection() const { return MaskPlane; }
    int LiveHostHandles() const { return static_cast<int>(Handles.size()); }
    // The bytes of the block behind the data slot when it is one of this host's handles.
    std::optional<std::vector<std::uint8_t>> SlotBlock() const;

    // The callbacks reach the running session through this pointer.
    static HostSession* Current;

private:
    struct Buffer {
        std::vector<std::uint8_t> Bytes;
        // Set when the host's own storage is served as it lies (no dummy planes, no padding,
        // whole rows), as hosts do; then Bytes stays empty.
        std::uint8_t* Direct = nullptr;
        Rect16 Area{};
        int LoPlane = 0, Planes = 0, ColBytes = 0, RowBytes = 0;
        bool Valid = false;
        std::uint8_t* Data() { return Direct ? Direct : Bytes.data(); }
    };
    struct HostHandle {
        char* Data;  // first word, as hosts lay their handles out
        std::int32_t Size;
        int Locks;
    };

    void PrepareRecord();
    // Serves the request rectangles set in the record; out of memory, serves nothing and
    // answers memFullErr.
    OSErr Serve();
    OSErr ServeBuffers();
    bool ServeImage(const Rect16& Area, std::int16_t Lo, std::int16_t Hi, int Pre, int Post, bool MayServeDirectly,
                    Buffer& Into);
    void CommitOutput();
    bool RectInImage(const Rect16& r) const;

    static OSErr VP_CDECL AdvanceState();
    static OSErr VP_CDECL DisplayPixels(const PSPixelMap* Source, const VRect* SrcRect,
                                        std::int32_t DstRow, std::int32_t DstCol, void* Context);
    static Handle VP_CDECL NewHandle(std::int32_t Size);
    static void VP_CDECL DisposeHandle(Handle H);
    static std::int32_t VP_CDECL GetHandleSize(Handle H);
    static OSErr VP_CDECL SetHandleSize(Handle H, std::int32_t Size);
    static Ptr VP_CDECL LockHandle(Handle H, Boolean MoveHigh);
    static void VP_CDECL UnlockHandle(Handle H);
    static void VP_CDECL RecoverSpace(std::int32_t Size);
    static Handle VP_CDECL ForbiddenNew(std::int32_t Size);
    static Ptr VP_CDECL ForbiddenLock(Handle H, Boolean MoveHigh);
    static void VP_CDECL ForbiddenDispose(Handle H);

    HostImage Pixels;
    std::optional<std::vector<std::uint8_t>> MaskPlane;
    HostOptions Options;
    FilterRecord Record{};
    HandleProcs Procs{};
    PlatformData Platform{};
    std::intptr_t Slot = 0;
    Buffer In, Out, Mask;
    CallStats Counters;
    std::set<HostHandle*> Handles;
};
