// The transfer dialog: its creation handler reads the host image into the preview, adds the
// noise, writes the two exchange files and hands off to the icon editor; its first paint
// closes it with OK.
#pragma once
#include <cstdint>
#include <memory>

#include "toolkit/forms.h"

class TPanel;
class TLabel;
class TComboBox;
class TCheckBox;
class TButton;
class TGaugeBar;
class TPSImgView32;
class TPSFilterGraphic;
class TMaskLayer;
class TBitmap32;
struct TRect;

// Title of the editor's main window, looked up among the top-level windows.
extern const char* const EditorWindowTitle;          // "Tarnwick Studio"
// The host's key under the local machine root; the editor's installer records its folder
// under "<this>\<first subkey>\PluginPath" as the string value EditorFolderValue.
extern const char* const HostRegistryKey;            // "SOFTWARE\Adobe\Photoshop"
extern const char* const EditorFolderValue;          // "Tarnwick"
extern const char* const EditorExecutableName;       // "TarnwickStudio.exe"
extern const char* const EditorPathErrorMessage;     // shown when the editor's key cannot be opened
// The name of the stored form description.
extern const char* const NoiseFormResourceName;      // "TNOISEFORM"

// The checkerboard behind the preview: 8 x 8 tiles, grey (0xFFB0B0B0) at the top-left corner
// of the view. Origin is the view pixel the buffer holds at its top-left corner (the view's
// BufferOrigin); only the buffer's clip rectangle is painted.
constexpr std::uint32_t CheckerWhite = 0xFFFFFFFFu;
constexpr std::uint32_t CheckerGrey = 0xFFB0B0B0u;
void PaintCheckerboard(TBitmap32& Buffer, TPoint Origin = TPoint{});

// Makes the stored description reachable by name where the platform has no module
// resources (natively); on Windows it is the module's RCDATA resource. Idempotent.
void RegisterNoiseFormResource();

class TNoiseForm : public TForm {
public:
    VP_CLASS_NAME(TNoiseForm)
    // Loads the stored form "TNOISEFORM"; FormCreate runs afterwards (AfterConstruction).
    explicit TNoiseForm(TComponent* AOwner);
    ~TNoiseForm() override;

    // Published fields of the stored form.
    TPanel* Panel1 = nullptr;
    TPanel* Panel2 = nullptr;
    TPanel* Panel3 = nullptr;
    TLabel* Label7 = nullptr;
    TComboBox* cmbScaleMode = nullptr;
    TLabel* Label8 = nullptr;
    TComboBox* ComboBox2 = nullptr;
    TCheckBox* chkDisplayMask = nullptr;
    TPanel* Panel4 = nullptr;
    TPanel* Panel5 = nullptr;
    TLabel* Label3 = nullptr;
    TGaugeBar* barAlpha = nullptr;
    TLabel* Label4 = nullptr;
    TGaugeBar* barRed = nullptr;
    TLabel* Label5 = nullptr;
    TGaugeBar* barGreen = nullptr;
    TLabel* Label6 = nullptr;
    TGaugeBar* barBlue = nullptr;
    TLabel* Label1 = nullptr;
    TGaugeBar* BarVariation = nullptr;
    TPanel* Panel6 = nullptr;
    TButton* Button5 = nullptr;
    TButton* Button4 = nullptr;
    TPanel* Panel7 = nullptr;
    TPSImgView32* ImgView = nullptr;

    // Published handlers (the stored form's names).
    void FormCreate(TObject* Sender);
    void FormDestroy(TObject* Sender);
    void FormPaint(TObject* Sender);
    void Button4Click(TObject* Sender);
    void Button5Click(TObject* Sender);
    void barMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void chkDisplayMaskClick(TObject* Sender);
    void ScaleModeChange(TObject* Sender);
    void StretchFilterChange(TObject* Sender);
    void ImgViewPaintStage(TObject* Sender, TBitmap32* Buffer, const TRect& ClipRect, std::uint32_t StageNum);

    TPSFilterGraphic* FilterGraphic() const { return FFilterGraphic.get(); }
    TMaskLayer* MaskLayer() const { return FMaskLayer; }
    void* ParameterBlock() const { return FParameterBlock; }

private:
    void BitmapChanged(TObject* Sender);
    // The creation handler's steps: read, noise, mask layer, exchange files, hand-off.
    void TransferToEditor();
    // Steps after the exchange files: bring the running editor forward or start it.
    void HandOffToEditor();
    // The host image again, with the noise of the parameter block on it.
    void ReadImageWithNoise();

    std::unique_ptr<TPSFilterGraphic> FFilterGraphic;
    TMaskLayer* FMaskLayer = nullptr; // owned by the view's layer collection
    bool FFailed = false;             // the transfer failed; its box has been shown
    void* FParameterBlock = nullptr;
};
