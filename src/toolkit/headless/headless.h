// The headless back end's test interface: a scripted event source that drives modal loops,
// and records of what the program asked of the platform (message boxes, shell opens, window
// moves), an in-memory registry and a list of other programs' windows.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "bitmap/bitmap32.h"
#include "toolkit/controls.h"
#include "toolkit/platform.h"

class TComboBox;
class TTimer;

namespace headless {

// Forgets the script, the records, the registry, the windows list, capture, cursor and the
// clock; sets the screen back to 1280 x 1024 at 32 bits.
void Reset();

// --- the script. Events are delivered in order by the modal loop (or ProcessMessages).
// When the queue is empty and the modal result is still 0, the loop first delivers pending
// paints, then ends as Cancel (2) instead of waiting.
// Mouse positions are in Target's client coordinates; the event reaches the control that
// the point falls on (or the capturing control), as the platform would route it.
void PostMouseDown(TControl* Target, int X, int Y, TMouseButton Button = mbLeft, TShiftState Shift = 0);
void PostMouseUp(TControl* Target, int X, int Y, TMouseButton Button = mbLeft, TShiftState Shift = 0);
void PostMouseMove(TControl* Target, int X, int Y, TShiftState Shift = 0);
void PostMouseWheel(TControl* Target, int X, int Y, int WheelDelta, TShiftState Shift = 0);
// Down and up at the same point.
void PostClick(TControl* Target, int X, int Y, TMouseButton Button = mbLeft);
// Keys go to Target, or with null to the running form's active control (else the form).
void PostKeyDown(TWinControl* Target, std::uint16_t Key, TShiftState Shift = 0);
void PostKeyUp(TWinControl* Target, std::uint16_t Key, TShiftState Shift = 0);
void PostChar(TWinControl* Target, char Char);
// Down, the character the key makes (letters, digits, Space, Enter, Escape, Backspace,
// Tab; letters in capitals only with ssShift) and up.
void PostKey(TWinControl* Target, std::uint16_t Key, TShiftState Shift = 0);
// The user picks item Index of a drop-down list.
void PostSelect(TComboBox* Combo, int Index);
// A paint message now (in script order), whether or not the control is invalid.
void PostPaint(TWinControl* Target);
// One tick of a running timer (ignored when the timer is not running then).
void PostTimerTick(TTimer* Timer);
// Moves the clock on; every running timer ticks once per elapsed interval, in time order.
void PostAdvanceTime(unsigned Milliseconds);
// Closing through the window system.
void PostClose(TForm* Form);
// Runs arbitrary code inside the loop.
void PostCall(std::function<void()> Call);
std::size_t PendingEvents();
// Milliseconds on the virtual clock.
std::uint64_t Now();

// --- painting
// Controls marked for a paint message and not yet painted.
bool PaintPending(const TWinControl* Control);
// Delivers every pending paint of showing controls (what an idle loop does).
void FlushPaints();
// Like the platform, a paint reaches only what is invalid (a whole-window invalidation, or
// the union of the rectangles invalidated since the last paint) and what the control's
// parents leave visible; a control without csOpaque is first filled with its colour there.
// What the control shows: its area from the corner to the end of its visible part (empty
// before the first paint), holding what the paints drew.
const TBitmap32* Surface(const TWinControl* Control);
int PaintCount(const TWinControl* Control);
// The area the last paint reached, control coordinates (empty when it reached nothing).
TRect LastPaintArea(const TWinControl* Control);

// --- screen
void SetScreenSize(int Width, int Height);
void SetScreenDepth(int Depth);
// The system's horizontal scroll bar height (17 after Reset).
void SetHorzScrollBarHeight(int Pixels);
// The screen's density (96 after Reset): forms loaded or windows created later lay out at it.
void SetScreenDpi(int Dpi);
int ScreenDpi();
// The platform's notice that Form's window went to a monitor of density Dpi, with the window
// bounds it suggests (screen coordinates), delivered in script order.
void PostDpiChange(TForm* Form, int Dpi, TRect Suggested);
// The thread's DPI awareness switch, with the platform's context values. What the platform
// accepts: nothing (no such call), per-monitor only (as Wine 8), or per-monitor version 2
// too (the default after Reset). The thread starts unaware.
enum class TDpiAwarenessSupport { None, PerMonitor, PerMonitorV2 };
constexpr std::intptr_t DpiContextUnaware = -1, DpiContextSystemAware = -2, DpiContextPerMonitor = -3,
                        DpiContextPerMonitorV2 = -4;
void SetDpiAwarenessSupport(TDpiAwarenessSupport Support);
std::intptr_t ThreadDpiAwareness();
// What the host set before calling the module.
void SetThreadDpiAwareness(std::intptr_t Context);
// Moves the pointer without a mouse event (mouse events move it to where they happen).
void SetCursorPos(TPoint Screen);
// The form whose modal loop runs now (innermost), null outside any.
TForm* ModalForm();
// Platform windows that exist now.
int LiveWindowCount();
// The control under the mouse as the back end tracks it (for enter/leave).
TControl* HoverControl();

// --- records
struct TMessageBoxCall {
    void* Owner;
    std::string Text, Caption;
    unsigned Flags;
};
struct TShellOpenCall {
    void* Owner;
    std::string Verb, File, Parameters, Directory;
    int ShowCmd;
};
struct TWindowPlacement {
    void* Window;
    void* InsertAfter;
    int X, Y, Cx, Cy;
    unsigned Flags;
};
// A form sizing started through plat::StartFormSizing: what was asked, where the cursor was
// (screen coordinates of the last mouse event) and who held the capture at that moment.
// Like the system's sizing loop, the mouse events that follow are swallowed up to and with
// the next button release.
struct TFormSizingCall {
    TForm* Form;
    int HitTest;
    TPoint Cursor;
    TWinControl* Capture;
};
const std::vector<TFormSizingCall>& FormSizings();
const std::vector<TMessageBoxCall>& MessageBoxes();
const std::vector<TShellOpenCall>& ShellOpens();
const std::vector<TWindowPlacement>& WindowPlacements();
// What the next message boxes answer (default MsgBoxResultOk).
void SetMessageBoxAnswer(int Answer);
// What ShellOpen returns (default 42, success).
void SetShellResult(std::intptr_t Result);

// --- visual themes: off after Reset. While on, the software canvas reports themes active,
// records every element it is asked for and fills it plainly; frame controls are recorded
// always (and drawn by the canvas's look-alike).
struct TThemeElementCall {
    std::string ClassList;
    int Part, State;
    TRect R;
};
struct TFrameControlCall {
    TRect R;
    unsigned Type, State;
};
void SetThemesActive(bool Active);
bool ThemesActive();
const std::vector<TThemeElementCall>& ThemeElements();
const std::vector<TFrameControlCall>& FrameControls();
// Called by the software canvas.
void RecordThemeElement(const TThemeElementCall& Call);
void RecordFrameControl(const TFrameControlCall& Call);

// --- text: the software canvas draws no glyphs, it records every text it is asked to draw.
struct TTextOutCall {
    std::string Text;
    int X, Y;
    TColor Color;
};
const std::vector<TTextOutCall>& TextOuts();
void RecordTextOut(const TTextOutCall& Call);

// --- other programs' top-level windows, found by FindTopWindow.
void* AddTopWindow(const std::string& Title, const std::string& ClassName = "");

// --- the in-memory registry. Paths are backslash-separated, case-insensitive; subkeys
// enumerate in insertion order. View is RegKeyWow64_32Key or RegKeyWow64_64Key, 0 for the
// module's own view (natively the pointer size's): the local machine's SOFTWARE tree has one
// of each, the 32-bit one below SOFTWARE\Wow6432Node as under WoW64.
void RegistryAddKey(TRegistryRoot Root, const std::string& Path, std::uint32_t View = 0);
void RegistrySetString(TRegistryRoot Root, const std::string& Path, const std::string& Name, const std::string& Value,
                       std::uint32_t View = 0);
// The key exists but cannot be opened (nor created over).
void RegistryDenyOpen(TRegistryRoot Root, const std::string& Path, std::uint32_t View = 0);
// No subkey can be created below the key.
void RegistryDenyCreate(TRegistryRoot Root, const std::string& Path, std::uint32_t View = 0);
// The key refuses write access: it opens only for reading, its values cannot be set and no
// subkey can be created below it.
void RegistryDenyWrite(TRegistryRoot Root, const std::string& Path, std::uint32_t View = 0);
bool RegistryKeyExists(TRegistryRoot Root, const std::string& Path, std::uint32_t View = 0);
// Registry keys opened and not yet closed.
int OpenRegistryKeyCount();
// Every request to open or create a key since Reset, whether it succeeded or not.
int RegistryOpenAttempts();

} // namespace headless
