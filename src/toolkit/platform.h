// The boundary between the toolkit and a back end. Every function and class declared here is
// implemented once per back end: src/toolkit/headless/ natively, src/toolkit/win32/ on
// Windows. Nothing else in the toolkit knows which back end runs.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/geometry.h"
#include "toolkit/graphics.h"

class TWinControl;
class TForm;
class TTimer;

// The platform window of one control. The control tells it about changes; the back end
// reads the rest of the control's state through the control's public interface and feeds
// user input back through TControl::Dispatch.
class IWindowImpl {
public:
    virtual ~IWindowImpl() = default;
    // HWND on Windows; headless an opaque non-null identity.
    virtual void* Handle() const = 0;
    // Bounds in the parent's client coordinates (screen coordinates for forms).
    virtual void BoundsChanged() = 0;
    virtual void VisibleChanged() = 0;
    virtual void EnabledChanged() = 0;
    virtual void TextChanged() = 0;
    // Kind-specific state (check state, items, item index, font, colour) changed.
    virtual void StateChanged() = 0;
    // Marks the whole window for a paint message.
    virtual void Invalidate() = 0;
    // Marks R (client coordinates of the window) for a paint message, without erasing.
    virtual void InvalidateRect(const TRect& R) = 0;
    // Delivers a pending paint now.
    virtual void Update() = 0;
    virtual std::uint32_t Style() const = 0;
    virtual void SetStyle(std::uint32_t Style) = 0;
    virtual void SetFocus() = 0;
    // Frame around the client area (left, top, right, bottom thickness).
    virtual TRect NonClientInsets() const = 0;
};

// Platform window style bits the toolkit reads or sets.
constexpr std::uint32_t WS_STYLE_POPUP = 0x80000000u, WS_STYLE_CHILD = 0x40000000u,
                        WS_STYLE_VISIBLE = 0x10000000u, WS_STYLE_BORDER = 0x00800000u,
                        WS_STYLE_DLGFRAME = 0x00400000u, WS_STYLE_CAPTION = 0x00C00000u,
                        WS_STYLE_SYSMENU = 0x00080000u, WS_STYLE_THICKFRAME = 0x00040000u,
                        WS_STYLE_MINIMIZEBOX = 0x00020000u, WS_STYLE_MAXIMIZEBOX = 0x00010000u,
                        WS_STYLE_TABSTOP = 0x00010000u, DS_STYLE_MODALFRAME = 0x00000080u;

// Message box flags and answers (the platform's values).
constexpr unsigned MsgBoxOk = 0x0, MsgBoxOkCancel = 0x1, MsgBoxIconError = 0x10,
                   MsgBoxIconWarning = 0x30, MsgBoxIconInformation = 0x40;
constexpr int MsgBoxResultOk = 1, MsgBoxResultCancel = 2;

// SetWindowPos placement values.
inline void* const WindowTopMost = reinterpret_cast<void*>(static_cast<std::intptr_t>(-1));
inline void* const WindowTop = nullptr;
constexpr unsigned SwpNoSize = 0x1, SwpNoMove = 0x2, SwpNoZOrder = 0x4, SwpShowWindow = 0x40;
constexpr int SwShowNormal = 1;

// Registry roots (the platform's predefined key values).
enum class TRegistryRoot : std::uint32_t {
    ClassesRoot = 0x80000000u, CurrentUser = 0x80000001u, LocalMachine = 0x80000002u, Users = 0x80000003u
};
using TRegistryKey = void*;

// Registry access rights and views (the platform's values). A view flag picks the 32-bit or
// the 64-bit SOFTWARE tree of the local machine; without one a process sees the tree of its
// own word size. Under WoW64 the 32-bit tree lies below SOFTWARE\Wow6432Node.
constexpr std::uint32_t RegKeyQueryValue = 0x0001, RegKeySetValue = 0x0002, RegKeyCreateSubKey = 0x0004,
                        RegKeyEnumerateSubKeys = 0x0008, RegKeyRead = 0x20019, RegKeyWrite = 0x20006,
                        RegKeyAllAccess = 0xF003F, RegKeyWow64_64Key = 0x0100, RegKeyWow64_32Key = 0x0200;
// The rights that change a key: values, subkeys, links, deletion, security and owner.
constexpr std::uint32_t RegKeyModifyingRights = 0x0002 | 0x0004 | 0x0020 | 0x10000 | 0x40000 | 0x80000;
constexpr std::uint32_t RegKeyViewMask = RegKeyWow64_64Key | RegKeyWow64_32Key;
// The view of this module's word size, and the other one.
constexpr std::uint32_t RegistryOwnView = sizeof(void*) == 8 ? RegKeyWow64_64Key : RegKeyWow64_32Key;
constexpr std::uint32_t RegistryOtherView = sizeof(void*) == 8 ? RegKeyWow64_32Key : RegKeyWow64_64Key;

namespace plat {

// --- windows and the message loop
std::unique_ptr<IWindowImpl> CreateWindowImpl(TWinControl& Control);
// Runs messages until Form.ModalResult() is not 0. The form is shown before and hidden after.
void RunModalLoop(TForm& Form);
// Handles the messages waiting now, then returns.
void ProcessMessages();
void ControlDestroyed(TWinControl& Control);

// --- input
void SetCapture(TWinControl* Control);
void ReleaseCapture();
TWinControl* CaptureControl();
// The application-wide cursor (crDefault restores the control's own).
void SetCursor(int CursorId);
int CurrentCursor();
// Where the mouse pointer is now, in screen coordinates.
TPoint CursorPos();

// --- forms
// Non-client hit-test code of the bottom-right sizing corner (the platform's value).
constexpr int HitTestBottomRight = 17;
// Starts the system's sizing of Form as if the user had pressed its frame at HitTest, at the
// cursor's screen position. On Windows the call returns when the sizing ends.
void StartFormSizing(TForm& Form, int HitTest);

// --- timers: the back end calls Timer.Tick() every Interval milliseconds while started.
void StartTimer(TTimer& Timer);
void StopTimer(TTimer& Timer);

// --- screen and text
int ScreenWidth();
int ScreenHeight();
// Bits per pixel times planes of the display.
int ScreenDepth();
// Height of the system's horizontal scroll bar (the width of a vertical one), in pixels.
int HorzScrollBarHeight();
TSize TextExtent(const TFont& Font, const std::string& Text);

// --- screen density
// The dpi Form lays out at: its window's when it has one and the platform tells it, else the
// screen's (LOGPIXELSY).
int FormDpi(TForm& Form);
// The frame a form window of Form's style has at Dpi (left, top, right, bottom thickness).
TRect FrameInsetsForDpi(TForm& Form, int Dpi);
// HorzScrollBarHeight for a window at Dpi.
int HorzScrollBarHeightForDpi(int Dpi);
// Sets the calling thread's DPI awareness to per-monitor (version 2 where accepted); true
// with the former context in Previous, false when the platform refused or has no such call.
bool EnterPerMonitorDpiAwareness(std::intptr_t& Previous);
void RestoreDpiAwareness(std::intptr_t Previous);

// --- dialogs, shell and other programs' windows
// Owner may be null (no owner window); an empty Caption means the system's default caption.
int ShowMessageBox(void* Owner, const std::string& Text, const std::string& Caption, unsigned Flags);
// The window of this thread that has the keyboard focus now (null when none), as an owner
// for the application's own boxes.
void* ActiveWindow();
// Asks the shell to perform Verb on File; returns the shell's result (> 32 is success).
std::intptr_t ShellOpen(void* Owner, const std::string& Verb, const std::string& File,
                        const std::string& Parameters, const std::string& Directory, int ShowCmd);
// Top-level window by title (null ClassName: any class); null when none.
void* FindTopWindow(const char* ClassName, const char* Title);
bool PlaceWindow(void* Window, void* InsertAfter, int X, int Y, int Cx, int Cy, unsigned Flags);

// --- registry (false when the key cannot be opened or created). Access holds the rights
// asked for and at most one view flag; a key that refuses one of the rights does not open.
bool OpenRegistryKey(TRegistryRoot Root, const std::string& Path, bool CanCreate, std::uint32_t Access,
                     TRegistryKey& Key);
void CloseRegistryKey(TRegistryKey Key);
std::vector<std::string> RegistrySubKeyNames(TRegistryKey Key);
std::vector<std::string> RegistryValueNames(TRegistryKey Key);
bool ReadRegistryString(TRegistryKey Key, const std::string& Name, std::string& Value);
// False also when the key was opened without the right to set values.
bool WriteRegistryString(TRegistryKey Key, const std::string& Name, const std::string& Value);
bool RegistryValueExists(TRegistryKey Key, const std::string& Name);

// --- module resources: the text of a raw-data resource, false when there is none.
bool FindRawResource(const std::string& Name, std::string& Text);

} // namespace plat
