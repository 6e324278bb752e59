#include "input_script.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "bitmap/bitmap32.h"
#include "filters/ps_rgb_panel.h"

#ifdef _WIN32
#include <windows.h>

#include <chrono>
#include <map>
#include <thread>

#include "host_session.h"
#include "window_list.h"
#endif

namespace {

std::string TrimSpace(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

bool Number(const std::string& s, int& v) {
    char* end = nullptr;
    const long n = std::strtol(s.c_str(), &end, 10);
    if (s.empty() || *end || n < -100000 || n > 100000) return false;
    v = static_cast<int>(n);
    return true;
}

bool KnownKey(const std::string& k) { return k == "escape" || k == "enter" || k == "down" || k == "up"; }

// The panel as a paint would leave its buffer, without a window.
class ProbePanel : public TPSRGBPanel {
public:
    using TPSRGBPanel::TPSRGBPanel;
    void Render() {
        FitBuffer();
        RenderBuffer();
    }
};

}  // namespace

bool ParseInputScript(const std::string& Script, std::vector<InputCommand>& Out, std::string& Error) {
    // ';' or '|' ends a command ('|' for build tools that split arguments at semicolons).
    std::string script = Script;
    for (char& ch : script)
        if (ch == '|') ch = ';';
    std::stringstream all(script);
    std::string part;
    while (std::getline(all, part, ';')) {
        std::stringstream words(part);
        std::vector<std::string> w;
        for (std::string s; words >> s;) w.push_back(s);
        // Blank is what the word split finds no word in, whichever whitespace that was.
        if (w.empty()) continue;
        part = TrimSpace(part);
        InputCommand c;
        c.Verb = w[0];
        bool ok = true;
        auto numbers = [&](std::size_t from, std::size_t count) {
            if (w.size() != from + count) return false;
            for (std::size_t i = from; i < w.size(); ++i) {
                int v = 0;
                if (!Number(w[i], v)) return false;
                c.Numbers.push_back(v);
            }
            return true;
        };
        if (c.Verb == "wait") {
            ok = numbers(1, 1) && c.Numbers[0] >= 0 && c.Numbers[0] <= 10000;
        } else if (c.Verb == "check-strokes") {
            ok = w.size() == 2;
            if (ok) c.Target = w[1];
        } else if (c.Verb == "mark-display") {
            ok = w.size() == 1;
        } else if (c.Verb == "check-display") {
            ok = numbers(1, 1) && c.Numbers[0] >= 0;
        } else if (c.Verb == "click" || c.Verb == "check-panel" || c.Verb == "check-preview") {
            ok = w.size() == 4 && numbers(2, 2);
            if (ok) c.Target = w[1];
        } else if (c.Verb == "drag") {
            ok = w.size() >= 4;
            if (ok) c.Target = w[1];
            for (std::size_t i = 2; ok && i < w.size(); ++i) {
                const auto comma = w[i].find(',');
                int x = 0, y = 0;
                ok = comma != std::string::npos && Number(w[i].substr(0, comma), x) &&
                     Number(w[i].substr(comma + 1), y);
                c.Numbers.push_back(x);
                c.Numbers.push_back(y);
            }
        } else if (c.Verb == "key") {
            ok = w.size() == 3 && KnownKey(w[2]);
            if (ok) {
                c.Target = w[1] == "-" ? "" : w[1];
                c.Text = w[2];
            }
        } else if (c.Verb == "shot") {
            ok = w.size() == 2;
            if (ok) c.Text = w[1];
        } else if (c.Verb == "dpi-change") {
            ok = numbers(1, 1) && c.Numbers[0] >= 48 && c.Numbers[0] <= 960;
        } else if (c.Verb == "windows") {
            ok = w.size() >= 2;
            if (ok) {
                c.Text = w[1];
                c.Names.assign(w.begin() + 2, w.end());
            }
        } else {
            ok = false;
        }
        if (!ok) {
            Error = "bad input command \"" + part + "\"";
            return false;
        }
        Out.push_back(std::move(c));
    }
    return true;
}

std::uint32_t PanelColourAt(int X, int Y, int Saturation) {
    ProbePanel panel(nullptr);
    panel.SetBounds(0, 0, 95, 132);
    panel.SetBevelSize(1);
    panel.SetColorFrom(0xFFFFFFFFu);
    panel.SetColorTo(0xFF000000u);
    panel.SetSaturation(Saturation);
    panel.SetGradType(gtVertRGB);
    panel.SetBevelStyle(TBevelStyle::bsFrame);
    panel.Render();
    return panel.Buffer()->PixelAt(X, Y);
}

void DrawReference(const HostImage& Before, const std::vector<Stroke>& Strokes, std::uint32_t Pen, bool Smooth,
                   TBitmap32& Out) {
    HostImage before = Before;
    Out.SetSize(before.Width, before.Height);
    for (int y = 0; y < before.Height; ++y)
        for (int x = 0; x < before.Width; ++x) {
            const std::uint8_t* p = before.At(x, y);
            Out.SetPixelAt(x, y, 0xFF000000u | p[0] | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16));
        }
    Out.PenColor = Pen;
    for (const Stroke& s : Strokes) {
        const int ox = (s.ClientWidth - before.Width) / 2, oy = (s.ClientHeight - before.Height) / 2;
        for (std::size_t i = 0; i < s.Points.size(); ++i) {
            const int x = s.Points[i].first - ox, y = s.Points[i].second - oy;
            if (i == 0) Out.MovePenTo(x, y);
            else if (Smooth) Out.LineToSmooth(x, y);
            else Out.LineToBlended(x, y);
        }
    }
}

namespace {
struct Segment {
    int X1, Y1, X2, Y2;
};

// The strokes' segments in image pixels (the preview centres the image at scale 1).
std::vector<Segment> SegmentsOf(const HostImage& Image, const std::vector<Stroke>& Strokes) {
    std::vector<Segment> out;
    for (const Stroke& s : Strokes) {
        const int ox = (s.ClientWidth - Image.Width) / 2, oy = (s.ClientHeight - Image.Height) / 2;
        for (std::size_t i = 1; i < s.Points.size(); ++i)
            out.push_back({s.Points[i - 1].first - ox, s.Points[i - 1].second - oy, s.Points[i].first - ox,
                           s.Points[i].second - oy});
    }
    return out;
}

double SquaredDistance(const Segment& S, double X, double Y) {
    const double dx = S.X2 - S.X1, dy = S.Y2 - S.Y1, len = dx * dx + dy * dy;
    double t = len > 0 ? ((X - S.X1) * dx + (Y - S.Y1) * dy) / len : 0;
    t = std::clamp(t, 0.0, 1.0);
    const double ex = S.X1 + t * dx - X, ey = S.Y1 + t * dy - Y;
    return ex * ex + ey * ey;
}
}  // namespace

bool StrokesCovered(const HostImage& Before, const std::vector<Stroke>& Strokes, std::uint32_t Pen,
                    const void* Context, ShownPixel After, std::string& Report) {
    HostImage before = Before;
    const std::vector<Segment> segments = SegmentsOf(before, Strokes);
    std::uint8_t rgb[3];
    auto differs = [&](int x, int y, bool& shown) {
        shown = x >= 0 && y >= 0 && x < before.Width && y < before.Height && After(Context, x, y, rgb);
        return shown && !std::equal(rgb, rgb + 3, before.At(x, y));
    };
    // Nothing changes away from the strokes.
    for (int y = 0; y < before.Height; ++y)
        for (int x = 0; x < before.Width; ++x) {
            bool shown;
            if (!differs(x, y, shown)) continue;
            double nearest = 1e18;
            for (const Segment& s : segments) nearest = std::min(nearest, SquaredDistance(s, x, y));
            if (nearest > 1.5 * 1.5) {
                Report = "image pixel (" + std::to_string(x) + ", " + std::to_string(y) +
                         ") changed, away from every stroke";
                return false;
            }
        }
    // Along each segment a plain midpoint line's pixels, each with its minor neighbours.
    const int alpha = static_cast<int>(Pen >> 24);
    long judged = 0;
    for (const Segment& s : segments) {
        const int dx = s.X2 - s.X1, dy = s.Y2 - s.Y1;
        const bool steep = std::abs(dy) > std::abs(dx);
        const int a = steep ? std::abs(dy) : std::abs(dx), b = steep ? std::abs(dx) : std::abs(dy);
        const int majorStep = (steep ? dy : dx) < 0 ? -1 : 1, minorStep = (steep ? dx : dy) < 0 ? -1 : 1;
        int minor = 0, e = 2 * b - a;
        for (int k = 0; k < a; ++k) {
            if (k > 0) {
                bool canShow = false, drawn = false;
                for (int m = minor - 1; m <= minor + 1; ++m) {
                    const int x = steep ? s.X1 + m * minorStep : s.X1 + k * majorStep;
                    const int y = steep ? s.Y1 + k * majorStep : s.Y1 + m * minorStep;
                    bool shown;
                    drawn |= differs(x, y, shown);
                    if (!shown) continue;
                    const std::uint8_t* p = before.At(x, y);
                    for (int c = 0; c < 3; ++c)
                        canShow |= alpha >= 64 && std::abs(static_cast<int>((Pen >> (8 * c)) & 0xFF) - p[c]) >= 32;
                }
                if (canShow) {
                    ++judged;
                    if (!drawn) {
                        const int x = steep ? s.X1 + minor * minorStep : s.X1 + k * majorStep;
                        const int y = steep ? s.Y1 + k * majorStep : s.Y1 + minor * minorStep;
                        Report = "nothing drawn at or beside image pixel (" + std::to_string(x) + ", " +
                                 std::to_string(y) + ") of the segment (" + std::to_string(s.X1) + ", " +
                                 std::to_string(s.Y1) + ")-(" + std::to_string(s.X2) + ", " + std::to_string(s.Y2) + ")";
                        return false;
                    }
                }
            }
            if (e < 0) {
                e += 2 * b;
            } else {
                ++minor;
                e += 2 * b - 2 * a;
            }
        }
    }
    bool interior = false;
    for (const Segment& s : segments) interior |= std::max(std::abs(s.X2 - s.X1), std::abs(s.Y2 - s.Y1)) >= 2;
    if (interior && judged == 0) {
        Report = "no step of the strokes could show the pen";
        return false;
    }
    Report = std::to_string(judged) + " steps of the segments covered as a plain line has them";
    return true;
}

bool StrokesShown(const HostImage& Before, const StrokeCheck& Check, std::uint32_t Pen, bool Smooth,
                  std::string& Report) {
    if (Before.Channels < 3 || Check.Client.Channels < 3) {
        Report = "the image or the shot is not RGB";
        return false;
    }
    TBitmap32 expected;
    DrawReference(Before, Check.Strokes, Pen, Smooth, expected);
    HostImage before = Before, client = Check.Client;
    const int ox = (client.Width - before.Width) / 2, oy = (client.Height - before.Height) / 2;
    long compared = 0, stroked = 0;
    for (int y = 0; y < before.Height; ++y)
        for (int x = 0; x < before.Width; ++x) {
            const int cx = x + ox, cy = y + oy;
            if (cx < std::max(0, Check.ShownLeft) || cy < std::max(0, Check.ShownTop) ||
                cx >= std::min(client.Width, Check.ShownRight) || cy >= std::min(client.Height, Check.ShownBottom))
                continue;
            const std::uint32_t e = expected.PixelAt(x, y);
            bool drawn = false;
            for (int k = 0; k < 3; ++k) {
                const int want = static_cast<int>((e >> (8 * k)) & 0xFF);
                drawn |= want != before.At(x, y)[k];
                if (client.At(cx, cy)[k] != want) {
                    char line[200];
                    std::snprintf(line, sizeof line,
                                  "image pixel (%d, %d) at preview (%d, %d) shows %d in plane %d, the reference has %d",
                                  x, y, cx, cy, client.At(cx, cy)[k], k, want);
                    Report = line;
                    return false;
                }
            }
            ++compared;
            stroked += drawn;
        }
    if (compared == 0) {
        Report = "no pixel of the image lies on the preview";
        return false;
    }
    struct Shown {
        const StrokeCheck* Check;
        int Ox, Oy;
    } shown{&Check, ox, oy};
    std::string covered;
    const bool placed = StrokesCovered(
        Before, Check.Strokes, Pen, &shown,
        [](const void* C, int X, int Y, std::uint8_t* Rgb) {
            const Shown& s = *static_cast<const Shown*>(C);
            const int cx = X + s.Ox, cy = Y + s.Oy;
            if (cx < std::max(0, s.Check->ShownLeft) || cy < std::max(0, s.Check->ShownTop) ||
                cx >= std::min(s.Check->Client.Width, s.Check->ShownRight) ||
                cy >= std::min(s.Check->Client.Height, s.Check->ShownBottom))
                return false;
            HostImage& client = const_cast<HostImage&>(s.Check->Client);
            std::copy(client.At(cx, cy), client.At(cx, cy) + 3, Rgb);
            return true;
        },
        covered);
    if (!placed) {
        Report = "the strokes are not where a plain line lies: " + covered;
        return false;
    }
    Report = std::to_string(compared) + " pixels shown, " + std::to_string(stroked) +
             " of them drawn on, all as the reference; " + covered;
    return true;
}

bool MatchesDrawing(const HostImage& Before, const HostImage& After, const std::vector<Stroke>& Strokes,
                    std::uint32_t Pen, bool Smooth, std::string& Report) {
    if (Before.Channels < 3 || After.Width != Before.Width || After.Height != Before.Height ||
        After.Channels != Before.Channels) {
        Report = "the images are not both RGB of one size";
        return false;
    }
    HostImage before = Before, after = After;
    TBitmap32 expected;
    DrawReference(Before, Strokes, Pen, Smooth, expected);
    int changed = 0, differ = 0;
    for (int y = 0; y < before.Height; ++y)
        for (int x = 0; x < before.Width; ++x) {
            const std::uint32_t e = expected.PixelAt(x, y);
            bool moved = false;
            for (int k = 0; k < 3; ++k) {
                const int want = static_cast<int>((e >> (8 * k)) & 0xFF);
                moved |= want != before.At(x, y)[k];
                if (after.At(x, y)[k] != want && differ++ == 0) {
                    char line[160];
                    std::snprintf(line, sizeof line, "(%d, %d) plane %d is %d, the reference has %d", x, y, k,
                                  after.At(x, y)[k], want);
                    Report = line;
                }
            }
            changed += moved;
        }
    if (differ) {
        Report = std::to_string(differ) + " bytes differ from the reference, first " + Report;
        return false;
    }
    Report = std::to_string(changed) + " pixels drawn, output equals the reference";
    return true;
}

#ifdef _WIN32
namespace {

struct Dialog {
    HWND Window = nullptr;
    DWORD Thread = 0;
    HostImage Shot;  // the last screenshot, planes R, G, B
    POINT ShotOrigin{};
};

BOOL CALLBACK FindDialog(HWND W, LPARAM Into) {
    char cls[64] = {};
    GetClassNameA(W, cls, sizeof cls);
    if (IsWindowVisible(W) && std::string(cls) == "VesperForm" && GetWindow(W, GW_CHILD)) {
        *reinterpret_cast<HWND*>(Into) = W;
        return FALSE;
    }
    return TRUE;
}

struct NameSearch {
    std::string Name;
    HWND Found = nullptr;
};

BOOL CALLBACK FindNamed(HWND W, LPARAM Search) {
    auto* s = reinterpret_cast<NameSearch*>(Search);
    const ATOM a = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(GetPropA(W, "VesperName")));
    char name[128] = {};
    if (a && GlobalGetAtomNameA(a, name, sizeof name) && s->Name == name) {
        s->Found = W;
        return FALSE;
    }
    return TRUE;
}

HWND Named(const Dialog& D, const std::string& Name) {
    NameSearch s{Name};
    EnumChildWindows(D.Window, FindNamed, reinterpret_cast<LPARAM>(&s));
    return s.Found;
}

void Pause(int Ms) { std::this_thread::sleep_for(std::chrono::milliseconds(Ms)); }

// The real pointer follows the posted input, so whatever the system reports of it agrees.
void PostMouse(HWND W, UINT Message, WPARAM Keys, int X, int Y) {
    POINT p{X, Y};
    ClientToScreen(W, &p);
    SetCursorPos(p.x, p.y);
    PostMessageA(W, Message, Keys, MAKELPARAM(X, Y));
}

bool TakeShot(Dialog& D, const std::string& File) {
    RECT r{};
    GetWindowRect(D.Window, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return false;
    // The window's own DC: under Wine the screen DC does not read back what windows show.
    HDC screen = GetWindowDC(D.Window);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = dib && bits;
    if (ok) {
        HGDIOBJ old = SelectObject(mem, dib);
        ok = BitBlt(mem, 0, 0, w, h, screen, 0, 0, SRCCOPY) != 0;
        GdiFlush();
        SelectObject(mem, old);
    }
    if (ok) {
        D.Shot.Width = w;
        D.Shot.Height = h;
        D.Shot.Channels = 3;
        D.Shot.Pixels.resize(static_cast<std::size_t>(w) * h * 3);
        const auto* px = static_cast<const std::uint32_t*>(bits);
        for (int i = 0; i < w * h; ++i) {
            D.Shot.Pixels[3 * i] = static_cast<std::uint8_t>(px[i] >> 16);
            D.Shot.Pixels[3 * i + 1] = static_cast<std::uint8_t>(px[i] >> 8);
            D.Shot.Pixels[3 * i + 2] = static_cast<std::uint8_t>(px[i]);
        }
        D.ShotOrigin = POINT{r.left, r.top};
        const std::vector<std::uint8_t> bmp = WriteBmp(D.Shot);
        if (FILE* f = std::fopen(File.c_str(), "wb")) {
            ok = std::fwrite(bmp.data(), 1, bmp.size(), f) == bmp.size();
            ok &= std::fclose(f) == 0;
        } else {
            ok = false;
        }
    }
    if (dib) DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(D.Window, screen);
    return ok;
}

// The shot's pixel under client point (X, Y) of W as 0xRRGGBB, or -1 outside the shot.
long ShotPixel(Dialog& D, HWND W, int X, int Y) {
    POINT p{X, Y};
    ClientToScreen(W, &p);
    const int sx = p.x - D.ShotOrigin.x, sy = p.y - D.ShotOrigin.y;
    if (D.Shot.Pixels.empty() || sx < 0 || sy < 0 || sx >= D.Shot.Width || sy >= D.Shot.Height) return -1;
    const std::uint8_t* s = D.Shot.At(sx, sy);
    return (long(s[0]) << 16) | (long(s[1]) << 8) | s[2];
}

// The density calls of user32, looked up as the module looks them up.
template <class F>
F User32(const char* Name) {
    HMODULE user = GetModuleHandleA("user32.dll");
    return user ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(user, Name))) : nullptr;
}

void PerMonitorThread() {
    using SetContext = HANDLE(WINAPI*)(HANDLE);
    if (auto set = User32<SetContext>("SetThreadDpiAwarenessContext"))
        if (!set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)))) set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3)));
}

std::string WindowName(HWND W) {
    const ATOM a = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(GetPropA(W, "VesperName")));
    char name[128] = {};
    return a && GlobalGetAtomNameA(a, name, sizeof name) ? name : "";
}

const char* KindName(HWND W) {
    static const char* const kinds[] = {"form", "panel", "label", "button", "checkbox", "combobox", "custom"};
    const auto k = reinterpret_cast<ULONG_PTR>(GetPropA(W, "VesperKind"));
    return k >= 1 && k <= 7 ? kinds[k - 1] : "other";
}

struct Lister {
    WindowList List;
    std::map<HWND, std::string> Names;
    std::map<HWND, int> Unnamed;
    HDC Dc = nullptr;
};

BOOL CALLBACK ListOne(HWND W, LPARAM Into) {
    auto* l = reinterpret_cast<Lister*>(Into);
    HWND parent = GetParent(W);
    ListedWindow w;
    w.Parent = l->Names.count(parent) ? l->Names[parent] : "?";
    w.Name = WindowName(W);
    if (w.Name.empty()) w.Name = w.Parent + "#" + std::to_string(l->Unnamed[parent]++);
    l->Names[W] = w.Name;
    w.Class = KindName(W);
    RECT r{};
    GetWindowRect(W, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    w.Left = r.left;
    w.Top = r.top;
    w.Right = r.right;
    w.Bottom = r.bottom;
    // The window's text without a message to its (possibly held) thread.
    using InternalText = int(WINAPI*)(HWND, LPWSTR, int);
    wchar_t text[256] = {};
    if (auto get = User32<InternalText>("InternalGetWindowText")) get(W, text, 255);
    char narrow[512] = {};
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr);
    if (std::string(w.Class) != "combobox") w.Text = narrow;
    if (HFONT f = static_cast<HFONT>(GetPropA(W, "VesperFont"))) {
        LOGFONTA lf{};
        if (GetObjectA(f, sizeof lf, &lf)) w.FontHeight = lf.lfHeight;
        HGDIOBJ old = SelectObject(l->Dc, f);
        SIZE ext{};
        if (!w.Text.empty() && GetTextExtentPoint32A(l->Dc, w.Text.c_str(), static_cast<int>(w.Text.size()), &ext)) {
            w.TextWidth = ext.cx;
            w.TextHeight = ext.cy;
        }
        SelectObject(l->Dc, old);
    }
    l->List.Windows.push_back(std::move(w));
    return TRUE;
}

WindowList ListWindows(HWND Dialog, int ToldDpi) {
    Lister l;
    l.List.Dialog = WindowName(Dialog).empty() ? "dialog" : WindowName(Dialog);
    l.Names[Dialog] = l.List.Dialog;
    using ForWindow = UINT(WINAPI*)(HWND);
    using MetricsForDpi = int(WINAPI*)(int, UINT);
    auto forWindow = User32<ForWindow>("GetDpiForWindow");
    auto metrics = User32<MetricsForDpi>("GetSystemMetricsForDpi");
    HDC screen = GetDC(nullptr);
    l.List.Dpi = forWindow ? static_cast<int>(forWindow(Dialog)) : GetDeviceCaps(screen, LOGPIXELSY);
    // A dialog told of another monitor's density is judged at that density.
    if (ToldDpi) l.List.Dpi = ToldDpi;
    l.List.ScrollBar = metrics ? metrics(SM_CYHSCROLL, static_cast<UINT>(l.List.Dpi)) : GetSystemMetrics(SM_CYHSCROLL);
    RECT c{};
    GetClientRect(Dialog, &c);
    l.List.ClientWidth = c.right;
    l.List.ClientHeight = c.bottom;
    l.Dc = CreateCompatibleDC(screen);
    // Parents come before their children in this enumeration.
    EnumChildWindows(Dialog, ListOne, reinterpret_cast<LPARAM>(&l));
    DeleteDC(l.Dc);
    ReleaseDC(nullptr, screen);
    return l.List;
}

// The density a window is laid out at now, before any dpi-change.
int WindowDpi(HWND W) {
    using ForWindow = UINT(WINAPI*)(HWND);
    if (auto forWindow = User32<ForWindow>("GetDpiForWindow"))
        if (UINT dpi = forWindow(W)) return static_cast<int>(dpi);
    return 96;
}

bool ReadTextFile(const std::string& Path, std::string& Text) {
    FILE* f = std::fopen(Path.c_str(), "rb");
    if (!f) return false;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) Text.append(buf, n);
    std::fclose(f);
    return true;
}

UINT KeyCode(const std::string& k) {
    if (k == "escape") return VK_ESCAPE;
    if (k == "enter") return VK_RETURN;
    if (k == "up") return VK_UP;
    return VK_DOWN;
}

}  // namespace

namespace {
HHOOK PaintHook = nullptr;

LRESULT CALLBACK HoldAtFirstPaint(int Code, WPARAM W, LPARAM L) {
    if (Code == HC_ACTION && W == PM_REMOVE && DisplayHoldArmed()) {
        const MSG* m = reinterpret_cast<const MSG*>(L);
        char cls[64] = {};
        if (m->message == WM_PAINT && GetClassNameA(m->hwnd, cls, sizeof cls) && std::string(cls) == "VesperForm" &&
            GetWindow(m->hwnd, GW_CHILD)) {
            // The form and every control on it paint now, then the thread waits.
            RedrawWindow(m->hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
            HoldIfArmed();
        }
    }
    return CallNextHookEx(PaintHook, Code, W, L);
}
}  // namespace

FirstPaintHold::FirstPaintHold() {
    PaintHook = SetWindowsHookExA(WH_GETMESSAGE, HoldAtFirstPaint, nullptr, GetCurrentThreadId());
}

FirstPaintHold::~FirstPaintHold() {
    if (PaintHook) UnhookWindowsHookEx(PaintHook);
    PaintHook = nullptr;
}

ScriptOutcome RunInputScript(const std::vector<InputCommand>& Script, unsigned long Thread,
                             const HostImage& Original, int& Failures) {
    ScriptOutcome outcome;
    std::vector<Stroke>& strokes = outcome.Strokes;
    // Every drag by the component it was made on.
    std::map<std::string, std::vector<Stroke>> dragged;
    long long markCalls = 0, markPixels = 0;
    int toldDpi = 0;
    auto fail = [&Failures](const std::string& what) {
        ++Failures;
        std::printf("FAIL: %s\n", what.c_str());
    };
    PerMonitorThread();
    // The hold ends with the script, however the script ends.
    struct Releaser {
        ~Releaser() { ReleaseDisplayHold(); }
    } releaser;
    Dialog d;
    d.Thread = Thread;
    for (int i = 0; i < 200 && !d.Window; ++i) {
        EnumThreadWindows(Thread, FindDialog, reinterpret_cast<LPARAM>(&d.Window));
        if (!d.Window) Pause(50);
    }
    if (!d.Window) {
        fail("input: no dialog appeared");
        return outcome;
    }
    if (DisplayHoldArmed() && !WaitDisplayHeld(10000)) fail("input: the dialog never showed its preview");
    Pause(300);  // the dialog paints itself first
    HostImage original = Original;
    for (const InputCommand& c : Script) {
        HWND target = nullptr;
        if (!c.Target.empty()) {
            target = Named(d, c.Target);
            if (!target) {
                fail("input: no window named " + c.Target);
                continue;
            }
        }
        if (c.Verb == "wait") {
            Pause(c.Numbers[0]);
        } else if (c.Verb == "click") {
            PostMouse(target, WM_LBUTTONDOWN, MK_LBUTTON, c.Numbers[0], c.Numbers[1]);
            PostMouse(target, WM_LBUTTONUP, 0, c.Numbers[0], c.Numbers[1]);
        } else if (c.Verb == "drag") {
            Stroke s;
            RECT cr{};
            GetClientRect(target, &cr);
            s.ClientWidth = cr.right;
            s.ClientHeight = cr.bottom;
            const std::size_t n = c.Numbers.size() / 2;
            for (std::size_t i = 0; i < n; ++i) {
                const int x = c.Numbers[2 * i], y = c.Numbers[2 * i + 1];
                s.Points.emplace_back(x, y);
                // The release comes after a move to the same point: posted messages overtake
                // the system's own pointer moves, so without it a slow dialog would see the
                // release before ever seeing the pointer arrive there.
                if (i == 0) {
                    PostMouse(target, WM_LBUTTONDOWN, MK_LBUTTON, x, y);
                } else {
                    PostMouse(target, WM_MOUSEMOVE, MK_LBUTTON, x, y);
                    if (i + 1 == n) PostMouse(target, WM_LBUTTONUP, 0, x, y);
                }
                Pause(20);
            }
            dragged[c.Target].push_back(s);
            if (c.Target == "Image") strokes.push_back(std::move(s));
        } else if (c.Verb == "key") {
            if (!target) {
                GUITHREADINFO info{};
                info.cbSize = sizeof info;
                target = GetGUIThreadInfo(Thread, &info) && info.hwndFocus ? info.hwndFocus : d.Window;
            }
            const UINT vk = KeyCode(c.Text);
            const UINT scan = MapVirtualKeyA(vk, 0);
            PostMessageA(target, WM_KEYDOWN, vk, 1 | (LPARAM(scan) << 16));
            PostMessageA(target, WM_KEYUP, vk, 1 | (LPARAM(scan) << 16) | (LPARAM(3) << 30));
        } else if (c.Verb == "shot") {
            Pause(500);
            if (TakeShot(d, c.Text)) std::printf("input: shot %s, %d x %d\n", c.Text.c_str(), d.Shot.Width, d.Shot.Height);
            else fail("input: no screenshot");
        } else if (c.Verb == "dpi-change") {
            // What the system sends when the window reaches a monitor of density DPI: the
            // client area scaled, in the frame the window has (Wine keeps drawing the frame
            // of the screen's density).
            toldDpi = c.Numbers[0];
            RECT w{}, cr{};
            GetWindowRect(d.Window, &w);
            GetClientRect(d.Window, &cr);
            const int from = WindowDpi(d.Window);
            const int frameW = (w.right - w.left) - cr.right, frameH = (w.bottom - w.top) - cr.bottom;
            RECT suggested{w.left, w.top, w.left + MulDiv(cr.right, toldDpi, from) + frameW,
                           w.top + MulDiv(cr.bottom, toldDpi, from) + frameH};
            SendMessageA(d.Window, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(toldDpi, toldDpi),
                         reinterpret_cast<LPARAM>(&suggested));
            std::printf("input: told of a %d-dpi monitor, suggested %ld x %ld\n", toldDpi, suggested.right - suggested.left,
                        suggested.bottom - suggested.top);
        } else if (c.Verb == "windows") {
            const WindowList list = ListWindows(d.Window, toldDpi);
            const std::string text = FormatWindowList(list);
            std::printf("input: windows of %s at %d dpi\n%s", list.Dialog.c_str(), list.Dpi, text.c_str());
            FILE* f = std::fopen(c.Text.c_str(), "wb");
            if (!f || std::fwrite(text.data(), 1, text.size(), f) != text.size()) fail("input: cannot write " + c.Text);
            if (f) std::fclose(f);
            if (!c.Names.empty()) {
                std::string baseText, error;
                WindowList base;
                if (!ReadTextFile(c.Names[0], baseText) || !ParseWindowList(baseText, base, error)) {
                    fail("input: no 96-dpi list in " + c.Names[0] + " " + error);
                } else {
                    std::vector<std::string> report;
                    const bool ok = CheckScaledLayout(base, list, {c.Names.begin() + 1, c.Names.end()}, report);
                    for (const std::string& line : report)
                        if (ok) std::printf("input: layout at %d dpi: %s\n", list.Dpi, line.c_str());
                        else fail("input: layout at " + std::to_string(list.Dpi) + " dpi: " + line);
                }
            }
        } else if (c.Verb == "mark-display") {
            markCalls = ProcessDisplayTally().Calls;
            markPixels = ProcessDisplayTally().Pixels;
        } else if (c.Verb == "check-display") {
            const long long calls = ProcessDisplayTally().Calls - markCalls;
            const long long pixels = ProcessDisplayTally().Pixels - markPixels;
            std::printf("input: since the mark displayPixels was called %lld times for %lld pixels (at most %d)\n",
                        calls, pixels, c.Numbers[0]);
            if (calls == 0) fail("input: nothing was shown through displayPixels since the mark");
            if (pixels > c.Numbers[0]) fail("input: displayPixels showed more than asked for since the mark");
        } else if (c.Verb == "check-strokes") {
            if (d.Shot.Pixels.empty()) {
                fail("input: check-strokes without a shot");
                continue;
            }
            // The client area of the component, cut out of the last shot.
            RECT cr{};
            GetClientRect(target, &cr);
            POINT o{0, 0};
            ClientToScreen(target, &o);
            StrokeCheck check;
            check.Target = c.Target;
            check.Strokes = dragged[c.Target];
            check.Client.Width = cr.right;
            check.Client.Height = cr.bottom;
            check.Client.Channels = 3;
            check.Client.Pixels.assign(static_cast<std::size_t>(cr.right) * cr.bottom * 3, 0);
            check.ShownLeft = std::max(0, -static_cast<int>(o.x));
            check.ShownTop = std::max(0, -static_cast<int>(o.y));
            check.ShownRight = std::min(static_cast<int>(cr.right), static_cast<int>(GetSystemMetrics(SM_CXSCREEN) - o.x));
            check.ShownBottom = std::min(static_cast<int>(cr.bottom), static_cast<int>(GetSystemMetrics(SM_CYSCREEN) - o.y));
            bool inside = true;
            for (int y = 0; y < cr.bottom; ++y)
                for (int x = 0; x < cr.right; ++x) {
                    const int sx = o.x + x - d.ShotOrigin.x, sy = o.y + y - d.ShotOrigin.y;
                    if (sx < 0 || sy < 0 || sx >= d.Shot.Width || sy >= d.Shot.Height) {
                        inside = false;
                        continue;
                    }
                    const std::uint8_t* from = d.Shot.At(sx, sy);
                    std::copy(from, from + 3, check.Client.At(x, y));
                }
            if (!inside) fail("input: " + c.Target + " is not wholly in the shot");
            std::printf("input: check-strokes %s kept, %zu stroke(s) so far\n", c.Target.c_str(), check.Strokes.size());
            outcome.StrokeChecks.push_back(std::move(check));
        } else if (c.Verb == "check-panel" || c.Verb == "check-preview") {
            const int x = c.Numbers[0], y = c.Numbers[1];
            long want;
            if (c.Verb == "check-panel") {
                const std::uint32_t p = PanelColourAt(x, y, 127);
                want = long((p & 0xFF) << 16) | long(p & 0xFF00) | long((p >> 16) & 0xFF);
            } else {
                if (x < 0 || y < 0 || x >= original.Width || y >= original.Height) {
                    fail("input: preview point outside the image");
                    continue;
                }
                const std::uint8_t* p = original.At(x, y);
                want = (long(p[0]) << 16) | (long(p[1]) << 8) | p[2];
            }
            int px = x, py = y;
            if (c.Verb == "check-preview") {
                RECT cr{};
                GetClientRect(target, &cr);
                px += (cr.right - original.Width) / 2;
                py += (cr.bottom - original.Height) / 2;
            }
            const long got = ShotPixel(d, target, px, py);
            std::printf("input: %s %s %d,%d shows %06lx, expected %06lx\n", c.Verb.c_str(), c.Target.c_str(), x, y,
                        got, want);
            if (got != want) fail("input: " + c.Verb + " " + c.Target + " shows the wrong colour");
        }
        Pause(60);
    }
    return outcome;
}
#endif
