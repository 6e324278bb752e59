// Scripted user input for the module's dialogs, and the reference checks that go with it.
//
// A script is a list of commands separated by ';' or '|'. Names are the dialog's component names,
// coordinates are client pixels of that component's window.
//   wait MS                      pause
//   click NAME X Y               left press and release
//   drag NAME X,Y X,Y ...        press at the first point, move through the others, release
//                                at the last (drags on a preview are remembered as strokes)
//   key NAME|- KEY               KEY (escape, enter, up, down) to the component; - is the
//                                focused window
//   shot FILE                    BMP of the dialog as it is on screen
//   check-panel NAME X Y         the shot shows what the dialog's colour panel paints there
//   check-preview NAME X Y       the shot shows the host image's pixel (X, Y) on the preview
//                                (scale 1, centred)
//   check-strokes NAME           the shot shows, wherever the image lies on preview NAME, the
//                                host image with every stroke drawn on NAME so far as the
//                                drawing reference puts it (scale 1, centred), and each stroke
//                                where a plain line lies; judged after the run with the pen
//                                and smoothing the run saved
//   windows FILE [BASE [OWN...]] lists every window of the dialog (window_list.h) into FILE;
//                                with BASE, a list made at 96 dpi, checks the layout against
//                                it (the windows named OWN keep their own size)
//   dpi-change DPI               sends the dialog what the system sends when its window
//                                reaches a monitor of density DPI (WM_DPICHANGED, with the
//                                client area scaled in the window's frame); later windows
//                                commands judge the dialog at DPI
//   mark-display                 starts counting displayPixels calls and the pixels they show
//   check-display MAX            since the mark the module showed something through
//                                displayPixels, and at most MAX pixels (place it after a shot,
//                                which waits for the paints)
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "bmp_image.h"

class TBitmap32;

struct InputCommand {
    std::string Verb, Target;
    std::vector<int> Numbers;  // coordinates and other numbers, in order
    std::string Text;          // file or key name
    std::vector<std::string> Names;  // windows: the base list, then the windows of own size
};

// Splits and checks a script; false with Error naming the bad command.
bool ParseInputScript(const std::string& Script, std::vector<InputCommand>& Out, std::string& Error);

// One press-move-release on a preview, in its client pixels, with the client's size.
struct Stroke {
    std::vector<std::pair<int, int>> Points;
    int ClientWidth = 0, ClientHeight = 0;
};

// What the line dialog's colour panel (95 x 132, vertical spectrum washed from white to
// black, a one-pixel frame) paints at (X, Y), as the host displays it: byte k of the
// buffer pixel shown as plane k. Saturation is the panel's.
std::uint32_t PanelColourAt(int X, int Y, int Saturation);

// Before with Strokes drawn the way the line dialog draws them at scale 1 with a centred
// preview: planes 0..2 in bytes 0..2 of each pixel.
void DrawReference(const HostImage& Before, const std::vector<Stroke>& Strokes, std::uint32_t Pen, bool Smooth,
                   TBitmap32& Out);

// What check-strokes keeps: the preview's client area as the shot showed it (planes red,
// green, blue, one per displayed colour) and the strokes drawn on that preview until then.
// Only the client pixels from (ShownLeft, ShownTop) to (ShownRight, ShownBottom) were on
// the screen; the rest of a window beyond the screen's edge is never shown.
struct StrokeCheck {
    std::string Target;
    HostImage Client;
    int ShownLeft = 0, ShownTop = 0, ShownRight = 0, ShownBottom = 0;
    std::vector<Stroke> Strokes;
};
// A judge of the strokes' place that uses none of the bitmap's line routines, so a broken
// routine cannot agree with itself: every pixel of After that differs from Before lies
// within 1.5 pixels of a segment, and at every major step strictly inside a segment one of
// the pixels next to a plain Bresenham line's pixel differs from Before. After(x, y, rgb)
// gives the shown planes 0..2 of image pixel (x, y), or false where it was not shown.
// Steps where the pen cannot show (opacity below 64, or a colour within 32 of the image
// there) are not judged; a stroke with none left to judge fails.
using ShownPixel = bool (*)(const void* Context, int X, int Y, std::uint8_t* Rgb);
bool StrokesCovered(const HostImage& Before, const std::vector<Stroke>& Strokes, std::uint32_t Pen,
                    const void* Context, ShownPixel After, std::string& Report);

// True when Check.Client shows, at every client pixel on the screen where the centred image
// lies, the reference drawing of Check's strokes on Before, and the strokes lie where a
// plain line puts them (StrokesCovered). Report counts what was compared or names the
// first difference.
bool StrokesShown(const HostImage& Before, const StrokeCheck& Check, std::uint32_t Pen, bool Smooth,
                  std::string& Report);

// Draws Strokes onto a copy of Before the way the line dialog does at scale 1 with a centred
// preview (MovePenTo at the press, then a line to every later point), with Pen (alpha =
// opacity) and anti-aliased or not; true when After's planes 0..2 equal that. Report says
// how many pixels the strokes changed or where the first difference is.
bool MatchesDrawing(const HostImage& Before, const HostImage& After, const std::vector<Stroke>& Strokes,
                    std::uint32_t Pen, bool Smooth, std::string& Report);

#ifdef _WIN32
// What a script left to judge once its run is over.
struct ScriptOutcome {
    std::vector<Stroke> Strokes;  // drawn on previews
    std::vector<StrokeCheck> StrokeChecks;
};
// Runs a script against the dialog that thread Thread opens: waits (up to ten seconds) for
// the dialog (and, with the display hold armed, for its first paint to be held), then posts
// the input; the hold is released when the script ends. The script's thread reads and posts
// coordinates in device pixels, as the dialog's per-monitor aware thread does. Prints each step and "FAIL: ..." for every failed
// check.
// While it lives, the dialog's first paint on this thread draws the whole dialog at once and
// then waits while the display hold is armed (--hold-first-paint).
class FirstPaintHold {
public:
    FirstPaintHold();
    ~FirstPaintHold();
    FirstPaintHold(const FirstPaintHold&) = delete;
    FirstPaintHold& operator=(const FirstPaintHold&) = delete;
};
ScriptOutcome RunInputScript(const std::vector<InputCommand>& Script, unsigned long Thread,
                             const HostImage& Original, int& Failures);
#endif
