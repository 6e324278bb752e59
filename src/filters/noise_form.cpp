#include "filters/noise_form.h"

#include <algorithm>
#include <vector>

#include "bitmap/bitmap32.h"
#include "bitmap/low_level.h"
#include "bridge/filter_graphic.h"
#include "bridge/mask_layer.h"
#include "filters/exchange_files.h"
#include "filters/noise.h"
#include "host/host_context.h"
#include "host/parameter_block.h"
#include "toolkit/platform.h"
#include "toolkit/registry.h"
#include "toolkit/resources.h"
#include "toolkit/stdctrls.h"
#include "widgets/image_kinds.h"
#include "widgets/img_view32.h"
#include "widgets/range_bars.h"

#ifndef _WIN32
#include "forms/noise_form_text.h"
#endif

const char* const EditorWindowTitle = "Tarnwick Studio";
const char* const HostRegistryKey = "SOFTWARE\\Adobe\\Photoshop";
const char* const EditorFolderValue = "Tarnwick";
const char* const EditorExecutableName = "TarnwickStudio.exe";
const char* const EditorPathErrorMessage = "The file path is error, please reinstall the Tarnwick Studio plugin.";
const char* const NoiseFormResourceName = "TNOISEFORM";

void RegisterNoiseFormResource()
{
#ifndef _WIN32
    std::string present;
    if (!FindCompiledResource(NoiseFormResourceName, present))
        RegisterCompiledResource(NoiseFormResourceName, noise_form_text);
#endif
}

void PaintCheckerboard(TBitmap32& Buffer, TPoint Origin)
{
    TRect c;
    if (!IntersectRects(c, Buffer.ClipRect(), Buffer.BoundsRect()) || RectIsEmpty(c))
        return;
    const int w = c.Right - c.Left;
    // Row A starts white, row B grey; odd tile rows take A, so the corner tile is grey. The
    // rows hold the clipped columns, their tiles counted from the view's corner.
    std::vector<TColor32> rowA(static_cast<std::size_t>(w)), rowB(static_cast<std::size_t>(w));
    for (int i = 0; i < w; ++i) {
        const bool white = (((c.Left + i + Origin.X) >> 3) & 1) == 0;
        rowA[static_cast<std::size_t>(i)] = white ? CheckerWhite : CheckerGrey;
        rowB[static_cast<std::size_t>(i)] = white ? CheckerGrey : CheckerWhite;
    }
    for (int y = c.Top; y < c.Bottom; ++y)
        MoveColorRun((((y + Origin.Y) >> 3) & 1) == 1 ? rowA.data() : rowB.data(), Buffer.PixelPointer(c.Left, y), w);
}

TNoiseForm::TNoiseForm(TComponent* AOwner) : TForm(AOwner)
{
    RegisterGaugeBarKind();
    RegisterImageKinds();
    RegisterNoiseFormResource();

    RegisterHandler("FormCreate", TNotifyEvent([this](TObject* S) { FormCreate(S); }));
    RegisterHandler("FormDestroy", TNotifyEvent([this](TObject* S) { FormDestroy(S); }));
    RegisterHandler("FormPaint", TNotifyEvent([this](TObject* S) { FormPaint(S); }));
    RegisterHandler("Button4Click", TNotifyEvent([this](TObject* S) { Button4Click(S); }));
    RegisterHandler("Button5Click", TNotifyEvent([this](TObject* S) { Button5Click(S); }));
    RegisterHandler("chkDisplayMaskClick", TNotifyEvent([this](TObject* S) { chkDisplayMaskClick(S); }));
    RegisterHandler("ScaleModeChange", TNotifyEvent([this](TObject* S) { ScaleModeChange(S); }));
    RegisterHandler("StretchFilterChange", TNotifyEvent([this](TObject* S) { StretchFilterChange(S); }));
    RegisterHandler("barMouseUp", TMouseEvent([this](TObject* S, TMouseButton B, TShiftState Sh, int X, int Y) {
                        barMouseUp(S, B, Sh, X, Y);
                    }));
    RegisterHandlerOf<TPaintStageEvent>(
        "ImgViewPaintStage", [this](TObject* S, TBitmap32* Buffer, const TRect& Clip, std::uint32_t Stage) {
            ImgViewPaintStage(S, Buffer, Clip, Stage);
        });

    RegisterField("Panel1", Panel1);
    RegisterField("Panel2", Panel2);
    RegisterField("Panel3", Panel3);
    RegisterField("Label7", Label7);
    RegisterField("cmbScaleMode", cmbScaleMode);
    RegisterField("Label8", Label8);
    RegisterField("ComboBox2", ComboBox2);
    RegisterField("chkDisplayMask", chkDisplayMask);
    RegisterField("Panel4", Panel4);
    RegisterField("Panel5", Panel5);
    RegisterField("Label3", Label3);
    RegisterField("barAlpha", barAlpha);
    RegisterField("Label4", Label4);
    RegisterField("barRed", barRed);
    RegisterField("Label5", Label5);
    RegisterField("barGreen", barGreen);
    RegisterField("Label6", Label6);
    RegisterField("barBlue", barBlue);
    RegisterField("Label1", Label1);
    RegisterField("BarVariation", BarVariation);
    RegisterField("Panel6", Panel6);
    RegisterField("Button5", Button5);
    RegisterField("Button4", Button4);
    RegisterField("Panel7", Panel7);
    RegisterField("ImgView", ImgView);

    LoadFromResource(NoiseFormResourceName);
}

TNoiseForm::~TNoiseForm() = default;

void TNoiseForm::FormCreate(TObject*)
{
    // Whatever ends the transfer (no image from the host, an exchange file that cannot be
    // written, no editor key, no memory), the form's creation step shows its box and the
    // first paint closes the dialog as aborted: the host hears a user cancel, which it takes
    // silently, and records no filter run for a transfer that did not happen.
    try {
        TransferToEditor();
    } catch (...) {
        FFailed = true;
        throw;
    }
}

void TNoiseForm::TransferToEditor()
{
    // Neither bracket is ever closed: the bitmap's own change events stay silent and the
    // handlers that change it invalidate the view themselves.
    ImgView->BeginUpdate();
    TBitmap32* bitmap = ImgView->Bitmap();
    bitmap->BeginUpdate();
    FParameterBlock = CurrentParameterBlock;
    FFilterGraphic = std::make_unique<TPSFilterGraphic>(HostContext.FilterRecord);
    // The view takes the whole image's size, not the filter rectangle's.
    ImgView->SetWidth(FFilterGraphic->Width());
    ImgView->SetHeight(FFilterGraphic->Height());
    ImgView->SetDoubleBuffered(true);
    // The paint-stage handler draws the background instead.
    TPaintStages& stages = *ImgView->Stages();
    if (stages.Count() > 0 && stages.Items(0).Kind == STAGE_CLEAR_BACKGROUND)
        stages.Items(0).Kind = STAGE_CUSTOM;
    ReadImageWithNoise();
    bitmap->OnChange = [this](TObject* S) { BitmapChanged(S); };
    FMaskLayer = CreateMaskLayer(*ImgView, ColorFromSystem(ImgView->Color()));
    // Image file first; a failure ends the handler before the hand-off.
    WriteExchangeFiles(*bitmap, *FMaskLayer->Bitmap(), FFilterGraphic->Width(), FFilterGraphic->Height());
    HandOffToEditor();
}

void TNoiseForm::ReadImageWithNoise()
{
    TBitmap32* bitmap = ImgView->Bitmap();
    // The read leaves the bytes of planes the host lacks (the fourth of an RGB image) as they
    // were; cleared, they hold 0 as in new storage and not the last run's noise.
    if (!bitmap->IsEmpty())
        std::fill_n(bitmap->Bits(), static_cast<std::size_t>(bitmap->Width()) * bitmap->Height(), TColor32(0));
    bitmap->Assign(FFilterGraphic.get());
    // The dispatcher runs no dialog without a block; a form made outside it adds no noise.
    NoiseParameters p{};
    if (FParameterBlock)
        p = ReadNoiseParameters(FParameterBlock);
    AddNoise(bitmap, p.Alpha, p.Red, p.Green, p.Blue, p.Variation);
}

namespace {
// The editor's key below the host version's: trimmed as a whole, then prefixed.
std::string EditorKeyOf(const std::string& Version)
{
    return std::string(HostRegistryKey) + "\\" + Trim(Version + "\\PluginPath");
}

// Lists the host versions of the registry's view and returns the folder that the first
// one's editor key names, trimmed; empty when there is none. Opens for reading only:
// machine-wide keys refuse writing to a user without elevation.
std::string RecordedEditorFolder(TRegistry& Registry, TStringList& Versions)
{
    if (Registry.OpenKeyReadOnly(HostRegistryKey))
        Registry.GetKeyNames(Versions);
    Registry.CloseKey();
    std::string folder;
    if (Versions.Count() > 0 && Registry.OpenKeyReadOnly(EditorKeyOf(Versions[0])))
        folder = Trim(Registry.ReadString(EditorFolderValue));
    Registry.CloseKey();
    return folder;
}
} // namespace

void TNoiseForm::HandOffToEditor()
{
    // Any window class: the title alone identifies the editor.
    if (void* editor = plat::FindTopWindow(nullptr, EditorWindowTitle)) {
        plat::PlaceWindow(editor, WindowTop, 0, 0, 0, 0, SwpShowWindow);
        return;
    }
    // A 32-bit and a 64-bit process see different SOFTWARE trees, and an installer of the
    // other word size records the editor in the other one: the module's own view first.
    const std::uint32_t views[2] = {RegistryOwnView, RegistryOtherView};
    TStringList versions[2];
    TRegistry registry(RegKeyRead);
    registry.SetRootKey(TRegistryRoot::LocalMachine);
    for (int i = 0; i < 2; ++i) {
        registry.SetAccess(RegKeyRead | views[i]);
        const std::string folder = RecordedEditorFolder(registry, versions[i]);
        if (!folder.empty()) {
            // No separator is added: the recorded folder ends with its backslash.
            plat::ShellOpen(nullptr, "open", folder + EditorExecutableName, "", "", SwShowNormal);
            return;
        }
    }
    // Neither view names a folder: the first view that lists a host version goes on, else
    // the own one, whose empty list raises the list-index error here, before anything is
    // started.
    const int chosen = versions[0].Count() == 0 && versions[1].Count() > 0 ? 1 : 0;
    const std::string key = EditorKeyOf(versions[chosen][0]);
    // The editor key is created when it is missing; an empty or missing value starts the
    // bare executable name.
    registry.SetAccess(RegKeyRead | RegKeyWrite | views[chosen]);
    if (registry.OpenKeyReadOnly(key) || registry.OpenKey(key, true)) {
        const std::string file = Trim(registry.ReadString(EditorFolderValue)) + EditorExecutableName;
        plat::ShellOpen(nullptr, "open", file, "", "", SwShowNormal);
    } else {
        // No owner and the system's default caption; nothing was handed off.
        plat::ShowMessageBox(nullptr, EditorPathErrorMessage, "", MsgBoxOk);
        FFailed = true;
    }
    // The lists go with their scope.
    registry.CloseKey();
}

void TNoiseForm::FormDestroy(TObject*) { FFilterGraphic.reset(); }

void TNoiseForm::FormPaint(TObject*) { SetModalResult(FFailed ? mrAbort : mrOk); }

void TNoiseForm::Button4Click(TObject*)
{
    if (FFilterGraphic)
        FFilterGraphic->Assign(ImgView->Bitmap());
}

void TNoiseForm::Button5Click(TObject*) { SetModalResult(mrCancel); }

void TNoiseForm::barMouseUp(TObject*, TMouseButton, TShiftState, int, int)
{
    if (FParameterBlock) {
        NoiseParameters p;
        p.Alpha = static_cast<std::uint8_t>(barAlpha->Position());
        p.Red = static_cast<std::uint8_t>(barRed->Position());
        p.Green = static_cast<std::uint8_t>(barGreen->Position());
        p.Blue = static_cast<std::uint8_t>(barBlue->Position());
        p.Variation = static_cast<std::uint8_t>(BarVariation->Position());
        WriteNoiseParameters(FParameterBlock, p);
    }
    // A fresh copy of the host image each time, so the noise never accumulates.
    if (FFilterGraphic)
        ReadImageWithNoise();
    ImgView->Invalidate();
}

void TNoiseForm::chkDisplayMaskClick(TObject*)
{
    if (FMaskLayer)
        FMaskLayer->SetVisible(chkDisplayMask->Checked());
    ImgView->Invalidate();
}

void TNoiseForm::ScaleModeChange(TObject*)
{
    // The items' order differs from the enumeration's: "Resize" is smStretch, "Stretch" smResize.
    const int index = cmbScaleMode->ItemIndex();
    if (index >= smNormal && index <= smResize)
        ImgView->SetScaleMode(static_cast<TScaleMode>(index));
    ImgView->Invalidate();
}

void TNoiseForm::StretchFilterChange(TObject*)
{
    // Index to filter number as it stands, so the five items reach sfNearest .. sfSpline.
    const int index = ComboBox2->ItemIndex();
    if (index >= sfNearest && index <= sfMitchell)
        ImgView->Bitmap()->SetStretchFilter(static_cast<TStretchFilter>(index));
    ImgView->Invalidate();
}

void TNoiseForm::ImgViewPaintStage(TObject*, TBitmap32* Buffer, const TRect&, std::uint32_t)
{
    if (Buffer)
        PaintCheckerboard(*Buffer, ImgView->BufferOrigin());
}

void TNoiseForm::BitmapChanged(TObject*) { ImgView->Invalidate(); }
