// The host's display side on real windows: a display callback of our own draws the preview
// buffer onto the device context it is given, as the host would. A form holds an image view
// over plain colour blocks, a bitmap layer over one of them and a slider beside it; after the
// first paint the form's client area is copied from the screen and its pixels are checked.
// Then a press on a view's size grip must hand its sizeable form to the system's sizing loop,
// and repaints of a view larger than its form must neither fill it first nor draw off screen
// more than the part that was invalid and shows.
// Prints PASS and FAIL lines; the exit code counts the failures. An optional argument names
// the BMP file the screenshot is written to.
#include <windows.h>
#undef TextOut
#undef MessageBox

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bitmap/bitmap32.h"
#include "host/pi_filter.h"
#include "pixel_map.h"
#include "toolkit/application.h"
#include "toolkit/forms.h"
#include "toolkit/timers.h"
#include "widgets/display_host.h"
#include "widgets/img_view32.h"
#include "widgets/layers.h"
#include "widgets/range_bars.h"

namespace {

int Failures = 0;
int DisplayCalls = 0, DisplayRefusals = 0;

void Report(bool Ok, const std::string& What)
{
    std::printf("%s: %s\n", Ok ? "PASS" : "FAIL", What.c_str());
    std::fflush(stdout);
    if (!Ok)
        ++Failures;
}

// A pixel of the preview buffer as the host reads it: plane k in byte k (red, green, blue).
TColor32 Planes(std::uint8_t R, std::uint8_t G, std::uint8_t B)
{
    return 0xFF000000u | static_cast<TColor32>(B) << 16 | static_cast<TColor32>(G) << 8 | R;
}

// The host's displayPixels: draws SrcRect of the pixel map at (DstCol, DstRow) of the device
// context, reading the map as the test host does.
OSErr VP_CDECL ShowPixels(const PSPixelMap* Source, const VRect* SrcRect, std::int32_t DstRow, std::int32_t DstCol,
                          void* Context)
{
    ++DisplayCalls;
    ShownPixels shown;
    if (!ReadPixelMap(Source, SrcRect, shown) || !DrawShownPixels(Context, DstRow, DstCol, shown)) {
        ++DisplayRefusals;
        return filterBadParameters;
    }
    return noErr;
}

// Red, green, blue of a screen pixel.
struct TRgb {
    int R, G, B;
    bool operator==(const TRgb&) const = default;
};

std::string Text(const TRgb& C)
{
    char s[32];
    std::snprintf(s, sizeof s, "(%d, %d, %d)", C.R, C.G, C.B);
    return s;
}

TRgb FromColorRef(COLORREF C) { return TRgb{GetRValue(C), GetGValue(C), GetBValue(C)}; }

// The client area of Window as it is on the screen, as 32-bit blue-green-red pixels.
struct TShot {
    int Width = 0, Height = 0;
    std::vector<std::uint32_t> Pixels;
    TRgb At(int X, int Y) const
    {
        std::uint32_t p = Pixels[static_cast<std::size_t>(Y) * Width + X];
        return TRgb{static_cast<int>(p >> 16 & 0xFF), static_cast<int>(p >> 8 & 0xFF), static_cast<int>(p & 0xFF)};
    }
};

bool CaptureClient(HWND Window, TShot& Shot)
{
    RECT cr;
    GetClientRect(Window, &cr);
    POINT origin{0, 0};
    ClientToScreen(Window, &origin);
    Shot.Width = cr.right;
    Shot.Height = cr.bottom;
    if (Shot.Width <= 0 || Shot.Height <= 0)
        return false;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = Shot.Width;
    info.bmiHeader.biHeight = -Shot.Height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = mem && dib && bits;
    if (ok) {
        HGDIOBJ old = SelectObject(mem, dib);
        ok = BitBlt(mem, 0, 0, Shot.Width, Shot.Height, screen, origin.x, origin.y, SRCCOPY) != 0;
        GdiFlush();
        if (ok) {
            const auto* p = static_cast<const std::uint32_t*>(bits);
            Shot.Pixels.assign(p, p + static_cast<std::size_t>(Shot.Width) * Shot.Height);
        }
        SelectObject(mem, old);
    }
    if (dib)
        DeleteObject(dib);
    if (mem)
        DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return ok;
}

void SaveShot(const TShot& Shot, const std::string& FileName)
{
    TBitmap32 b;
    b.SetSize(Shot.Width, Shot.Height);
    for (int y = 0; y < Shot.Height; ++y)
        for (int x = 0; x < Shot.Width; ++x)
            b.SetPixelAt(x, y, 0xFF000000u | Shot.Pixels[static_cast<std::size_t>(y) * Shot.Width + x]);
    b.SaveToFile(FileName);
}

// Form layout, in client pixels of the borderless form (the view sits at its origin).
constexpr int FormW = 360, FormH = 220;
constexpr int ViewW = 260, ViewH = 200, Bars = 16;           // viewport 244 x 184
constexpr int ImageW = 200, ImageH = 160, BlockW = 100, BlockH = 80;
constexpr int ImageX = (ViewW - Bars - ImageW) / 2, ImageY = (ViewH - Bars - ImageH) / 2; // 22, 12
constexpr int LayerL = 60, LayerT = 50, LayerR = 100, LayerB = 90;
constexpr int SliderX = 272, SliderY = 20, SliderW = 80, SliderH = 16;
// Slider colours (TColor: red in the low byte).
constexpr TColor SliderTrack = 0x00C08040, SliderHandle = 0x000080FF, SliderFrame = 0x00000000;

struct TProbe {
    int X, Y;
    TRgb Want;
    const char* What;
};

void CheckShot(const TShot& Shot)
{
    const TRgb red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255}, yellow{255, 255, 0}, magenta{255, 0, 255},
        white{255, 255, 255};
    const TRgb face = FromColorRef(GetSysColor(COLOR_BTNFACE));
    const TProbe probes[] = {
        {ImageX + 8, ImageY + 8, red, "image block 1 (top left) near its corner"},
        {ImageX + BlockW - 3, ImageY + BlockH - 3, red, "image block 1 beside the layer"},
        {ImageX + BlockW + 50, ImageY + 40, green, "image block 2 (top right)"},
        {ImageX + 50, ImageY + BlockH + 40, blue, "image block 3 (bottom left)"},
        {ImageX + BlockW + 50, ImageY + BlockH + 40, yellow, "image block 4 (bottom right)"},
        {ImageX + ImageW - 1, ImageY + ImageH - 1, yellow, "image's last pixel"},
        {ImageX, ImageY, red, "image's first pixel"},
        {ImageX - 1, ImageY + 40, white, "view colour left of the image"},
        {ImageX + 40, ImageY + ImageH, white, "view colour below the image"},
        {(LayerL + LayerR) / 2, (LayerT + LayerB) / 2, magenta, "bitmap layer over block 1"},
        {LayerL, LayerT, magenta, "layer's first pixel"},
        {LayerR - 1, LayerB - 1, magenta, "layer's last pixel"},
        {LayerR, LayerB - 1, red, "block 1 right of the layer"},
        {ViewW - Bars / 2, ViewH - Bars / 2, face, "view's grip corner in the button face colour"},
        // The slider: 78-pixel client, 16-pixel handle at position 50 of 100 covers client
        // x 31..46 (window 32..47); its body lies inside a frame and a bevel ring.
        {SliderX + 40, SliderY + 8, FromColorRef(SliderHandle), "slider handle body"},
        {SliderX + 32, SliderY + 8, FromColorRef(SliderFrame), "slider handle frame"},
        {SliderX + 12, SliderY + 8, FromColorRef(SliderTrack), "slider track before the handle"},
        {SliderX + 64, SliderY + 8, FromColorRef(SliderTrack), "slider track after the handle"},
    };
    for (const TProbe& p : probes) {
        TRgb got = Shot.At(p.X, p.Y);
        Report(got == p.Want, std::string(p.What) + " at (" + std::to_string(p.X) + ", " + std::to_string(p.Y) +
                                  "): " + Text(got) + (got == p.Want ? "" : ", want " + Text(p.Want)));
    }
}

// --- the size grip: a press on it hands the form to the system's sizing loop

struct TSeen {
    HWND Form = nullptr;
    int NcPresses = 0, EnterSizeMove = 0, ExitSizeMove = 0;
    WPARAM NcHitTest = 0;
    LPARAM NcPosition = 0;
} Seen;

LRESULT CALLBACK WatchForm(int Code, WPARAM W, LPARAM L)
{
    if (Code == HC_ACTION) {
        const auto* m = reinterpret_cast<const CWPSTRUCT*>(L);
        if (m->hwnd == Seen.Form) {
            if (m->message == WM_NCLBUTTONDOWN) {
                ++Seen.NcPresses;
                Seen.NcHitTest = m->wParam;
                Seen.NcPosition = m->lParam;
            } else if (m->message == WM_ENTERSIZEMOVE) {
                ++Seen.EnterSizeMove;
            } else if (m->message == WM_EXITSIZEMOVE) {
                ++Seen.ExitSizeMove;
            }
        }
    }
    return CallNextHookEx(nullptr, Code, W, L);
}

// Ends the sizing loop the way a user can: Escape gives the form its old size back.
void CALLBACK EndSizing(HWND, UINT, UINT_PTR Id, DWORD)
{
    KillTimer(nullptr, Id);
    PostMessageA(Seen.Form, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageA(Seen.Form, WM_KEYUP, VK_ESCAPE, 0);
}

void GripChecks()
{
    TComponentPtr<TForm> form(CreateFormOf<TForm>(nullptr)); // sizeable frame
    form->SetBounds(60, 60, 300, 240);
    auto* view = new TPSImgView32(form.get());
    view->SetParent(form.get());
    view->SetAlign(alClient);
    view->SetSizeGrip(sgAlways);
    int imagePresses = 0;
    view->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int, TCustomLayer*) { ++imagePresses; };
    Seen = TSeen{};
    Seen.Form = static_cast<HWND>(form->Handle());
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, &WatchForm, nullptr, GetCurrentThreadId());
    RECT before{}, after{};
    POINT at{};
    bool pressed = false;
    TTimer timer(nullptr);
    timer.SetInterval(100);
    int ticks = 0;
    timer.SetOnTimer([&](TObject*) {
        if (++ticks < 3)
            return;
        // The sizing loop dispatches timer messages: no second round from inside it.
        timer.SetEnabled(false);
        HWND v = static_cast<HWND>(view->Handle());
        TRect g = view->GripRect();
        POINT local{(g.Left + g.Right) / 2, (g.Top + g.Bottom) / 2};
        at = local;
        ClientToScreen(v, &at);
        SetCursorPos(at.x, at.y);
        GetWindowRect(Seen.Form, &before);
        SetTimer(nullptr, 0, 300, &EndSizing);
        SendMessageA(v, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(local.x, local.y));
        pressed = true;
        GetWindowRect(Seen.Form, &after);
        form->SetModalResult(mrOk);
    });
    timer.SetEnabled(true);
    form->ShowModal();
    if (hook)
        UnhookWindowsHookEx(hook);
    Report(pressed, "the grip press returned");
    POINT cursor{};
    GetCursorPos(&cursor);
    Report(Seen.NcPresses == 1 && Seen.NcHitTest == HTBOTTOMRIGHT,
           "the form got one non-client press at the bottom-right corner (" + std::to_string(Seen.NcPresses) +
               " presses, hit-test " + std::to_string(Seen.NcHitTest) + ")");
    const int x = static_cast<short>(LOWORD(Seen.NcPosition)), y = static_cast<short>(HIWORD(Seen.NcPosition));
    Report(x == cursor.x && y == cursor.y, "the press carried the cursor's screen position (" + std::to_string(x) +
                                               ", " + std::to_string(y) + "), cursor at (" + std::to_string(cursor.x) +
                                               ", " + std::to_string(cursor.y) + ")");
    Report(Seen.EnterSizeMove == 1 && Seen.ExitSizeMove == 1, "the system's sizing loop ran (" +
                                                                   std::to_string(Seen.EnterSizeMove) + " entered, " +
                                                                   std::to_string(Seen.ExitSizeMove) + " left)");
    Report(EqualRect(&before, &after) != FALSE, "Escape left the form at its size");
    Report(imagePresses == 0, "the grip press did not reach the image");
}

// --- repaints: what the display callback finds on the device context, and how large it is

struct TProbe2 {
    VRect Src;
    std::int32_t Row, Col;
    COLORREF Before;      // the context's pixel at the destination, before the call draws
    int BitmapW, BitmapH; // the bitmap selected into the context (a memory context's)
    bool Memory;
};
std::vector<TProbe2> Probes;

OSErr VP_CDECL ProbePixels(const PSPixelMap* Source, const VRect* SrcRect, std::int32_t DstRow, std::int32_t DstCol,
                           void* Context)
{
    HDC dc = static_cast<HDC>(Context);
    TProbe2 p{*SrcRect, DstRow, DstCol, GetPixel(dc, DstCol, DstRow), 0, 0, GetObjectType(dc) == OBJ_MEMDC};
    BITMAP bm{};
    if (p.Memory && GetObject(GetCurrentObject(dc, OBJ_BITMAP), sizeof bm, &bm)) {
        p.BitmapW = bm.bmWidth;
        p.BitmapH = bm.bmHeight;
    }
    Probes.push_back(p);
    return ShowPixels(Source, SrcRect, DstRow, DstCol, Context);
}

std::string RectText(const VRect& R)
{
    char s[64];
    std::snprintf(s, sizeof s, "(%d, %d, %d, %d)", R.left, R.top, R.right, R.bottom);
    return s;
}

void RepaintChecks()
{
    // The transfer dialog's way: a view as large as a big image, on a much smaller form.
    TComponentPtr<TForm> form(CreateFormOf<TForm>(nullptr));
    form->SetBorderStyle(bsNone);
    form->SetBounds(40, 40, FormW, FormH);
    auto* view = new TPSImgView32(form.get());
    view->SetParent(form.get());
    view->SetColor(clWhite);
    view->SetSizeGrip(sgNone);
    view->SetCentered(false);
    view->SetBounds(0, 0, 1600, 1200);
    view->SetDoubleBuffered(true);
    TBitmap32& image = *view->Bitmap();
    image.SetSize(ImageW, ImageH);
    image.Clear(Planes(255, 0, 0));
    view->Invalidate();
    Report(view->ViewportRect() == TRect{0, 0, 1600 - GetSystemMetrics(SM_CYHSCROLL), 1200 - GetSystemMetrics(SM_CYHSCROLL)},
           "the bars are as thick as the system's scroll bars (" + std::to_string(GetSystemMetrics(SM_CYHSCROLL)) + ")");
    Report((SendMessageA(static_cast<HWND>(view->Handle()), WM_GETDLGCODE, 0, 0) & DLGC_WANTARROWS) == 0,
           "the view does not ask for the arrow keys");
    Probes.clear();
    DisplayHost.DisplayPixels = &ProbePixels;
    int ticks = 0;
    TTimer timer(nullptr);
    timer.SetInterval(100);
    timer.SetOnTimer([&](TObject*) {
        if (++ticks < 3 || Probes.empty()) {
            if (ticks >= 50) {
                Report(false, "the large view was not painted within five seconds");
                form->SetModalResult(mrCancel);
            }
            return;
        }
        timer.SetEnabled(false);
        HWND h = static_cast<HWND>(view->Handle());
        // The first paint: its off-screen copy is no larger than the form that shows the view.
        bool small = true;
        for (const TProbe2& p : Probes)
            small = small && p.Memory && p.BitmapW <= FormW && p.BitmapH <= FormH;
        Report(small, "the first double-buffered paint drew off screen at most the visible " + std::to_string(FormW) +
                          " x " + std::to_string(FormH) + " (" + std::to_string(Probes[0].BitmapW) + " x " +
                          std::to_string(Probes[0].BitmapH) + ")");
        // A part of the view made invalid: only that part, nothing filled before it.
        for (bool buffered : {true, false}) {
            const std::string how = buffered ? "double-buffered" : "direct";
            view->SetDoubleBuffered(buffered);
            Probes.clear();
            view->InvalidateRect(TRect{30, 20, 50, 44});
            UpdateWindow(h);
            GdiFlush();
            if (Probes.size() != 1) {
                Report(false, how + " repaint of a part: " + std::to_string(Probes.size()) + " display calls");
                continue;
            }
            const TProbe2& p = Probes[0];
            Report(p.Src.left == 30 && p.Src.top == 20 && p.Src.right == 50 && p.Src.bottom == 44 && p.Col == 30 &&
                       p.Row == 20,
                   how + " repaint of a part shows that part only: " + RectText(p.Src));
            Report(FromColorRef(p.Before) == (TRgb{255, 0, 0}),
                   how + " repaint finds the image it shows again, not the view's colour: " +
                       Text(FromColorRef(p.Before)));
            if (buffered)
                Report(p.BitmapW == 20 && p.BitmapH == 24, "the off-screen copy is the invalid part's size (" +
                                                               std::to_string(p.BitmapW) + " x " +
                                                               std::to_string(p.BitmapH) + ")");
        }
        form->SetModalResult(mrOk);
    });
    timer.SetEnabled(true);
    form->ShowModal();
    DisplayHost.DisplayPixels = &ShowPixels;
}

DWORD WINAPI Watchdog(LPVOID)
{
    Sleep(60000);
    std::printf("FAIL: viewtest did not finish within a minute\n");
    std::fflush(stdout);
    ExitProcess(3);
}

} // namespace

int main(int argc, char** argv)
{
    CreateThread(nullptr, 0, &Watchdog, nullptr, 0, nullptr);
    const std::string shotFile = argc > 1 ? argv[1] : "";
    Application->OnException = [](const std::exception& E) { Report(false, std::string("exception: ") + E.what()); };
    DisplayHost.DisplayPixels = &ShowPixels;
    DisplayHost.ImageMode = plugInModeRGBColor;

    TComponentPtr<TForm> form(CreateFormOf<TForm>(nullptr));
    form->SetBorderStyle(bsNone);
    form->SetBounds(40, 40, FormW, FormH);

    auto* view = new TPSImgView32(form.get());
    view->SetParent(form.get());
    view->SetColor(clWhite);
    view->SetSizeGrip(sgNone);
    view->ScrollBars()->SetSize(Bars);
    view->SetBounds(0, 0, ViewW, ViewH);
    TBitmap32& image = *view->Bitmap();
    image.SetSize(ImageW, ImageH);
    image.FillRectClipped(0, 0, BlockW, BlockH, Planes(255, 0, 0));
    image.FillRectClipped(BlockW, 0, ImageW, BlockH, Planes(0, 255, 0));
    image.FillRectClipped(0, BlockH, BlockW, ImageH, Planes(0, 0, 255));
    image.FillRectClipped(BlockW, BlockH, ImageW, ImageH, Planes(255, 255, 0));
    view->Invalidate();

    auto* layer = view->ImageLayers()->Add<TBitmapLayer>();
    layer->Bitmap()->SetSize(LayerR - LayerL, LayerB - LayerT);
    layer->Bitmap()->Clear(Planes(255, 0, 255));
    layer->SetArea(TFloatRect{float(LayerL), float(LayerT), float(LayerR), float(LayerB)});

    auto* slider = new TGaugeBar(form.get());
    slider->SetParent(form.get());
    slider->SetBounds(SliderX, SliderY, SliderW, SliderH);
    slider->SetStyle(rbsMac);
    slider->SetShowArrows(false);
    slider->SetShowHandleGrip(false);
    slider->SetHandleSize(16);
    slider->SetBackgnd(bgSolid);
    slider->SetColor(SliderTrack);
    slider->SetHandleColor(SliderHandle);
    slider->SetBorderColor(SliderFrame);
    slider->SetPosition(50);

    int viewPaints = 0, ticks = 0;
    view->OnGDIOverlay = [&](TObject*) { ++viewPaints; };
    TTimer timer(nullptr);
    timer.SetInterval(100);
    timer.SetOnTimer([&](TObject*) {
        ++ticks;
        // A tick after the first paint, so every child has had its paint message too.
        if (viewPaints == 0 || ticks < 3) {
            if (ticks >= 50) {
                Report(false, "the view was not painted within five seconds");
                form->SetModalResult(mrCancel);
            }
            return;
        }
        timer.SetEnabled(false);
        HWND h = static_cast<HWND>(form->Handle());
        UpdateWindow(h);
        GdiFlush();
        TShot shot;
        if (!CaptureClient(h, shot)) {
            Report(false, "screen capture of the form's client area");
        } else {
            Report(shot.Width == FormW && shot.Height == FormH, "captured " + std::to_string(shot.Width) + " x " +
                                                                     std::to_string(shot.Height) + " client pixels");
            if (shot.Width == FormW && shot.Height == FormH)
                CheckShot(shot);
            if (!shotFile.empty()) {
                SaveShot(shot, shotFile);
                std::printf("screenshot written to %s\n", shotFile.c_str());
            }
        }
        form->SetModalResult(mrOk);
    });
    timer.SetEnabled(true);
    form->ShowModal();

    Report(DisplayCalls > 0, "the view reached the display callback (" + std::to_string(DisplayCalls) + " calls)");
    Report(DisplayRefusals == 0, "every display call was well formed (" + std::to_string(DisplayRefusals) + " refused)");
    form.reset();
    GripChecks();
    RepaintChecks();
    DisplayHost = TDisplayHost{};
    std::printf("viewtest: %d failed\n", Failures);
    return Failures ? 1 : 0;
}
