// The line-drawing dialog: a scalable preview of the host image on which the user draws
// straight segments with the mouse, in a colour picked from the gradient panel. Apply writes
// the preview back into the host's image; the settings live in the line filter's parameter
// block between runs.
#pragma once
#include <cstdint>

#include "bitmap/color32.h"
#include "host/parameter_block.h"
#include "toolkit/stdctrls.h"
#include "widgets/ps_image32.h"

class TGaugeBar;
class TMaskLayer;
class TPSFilterGraphic;
class TPSRGBPanel;

// The stored form's resource name.
extern const char* const LineFormResourceName;

// Item of cmbMode (the stored ScaleMode) to the preview's scale mode; out-of-range items
// count as the first.
TScaleMode LineScaleModeFor(int Item);
// The stored Interpolated flag to the preview bitmap's stretch filter.
TStretchFilter LineStretchFilterFor(bool Interpolated);
// Round(Scale x 100) as the scale bar's position, nearest with ties to even; values the bar
// cannot hold (out of the integer range, not a number) become its lower end.
int ScaleBarPositionFor(float Scale);

class TLineForm : public TForm {
public:
    VP_CLASS_NAME(TLineForm)
    // Loads the stored form "TLINEFORM"; FormCreate runs afterwards (AfterConstruction).
    explicit TLineForm(TComponent* AOwner);
    ~TLineForm() override;

    // Published fields of the stored form.
    TPSImage32* Image = nullptr;
    TPanel* Panel1 = nullptr;
    TPanel* Panel8 = nullptr;
    TPanel* Panel3 = nullptr;
    TLabel* Label1 = nullptr;
    TGaugeBar* barSaturation = nullptr;
    TLabel* Label4 = nullptr;
    TGaugeBar* barOpacity = nullptr;
    TPanel* Panel2 = nullptr;
    TPSRGBPanel* RGBPanel = nullptr;
    TCheckBox* chkAntialias = nullptr;
    TPanel* Panel4 = nullptr;
    TPanel* Panel5 = nullptr;
    TLabel* Label2 = nullptr;
    TComboBox* cmbMode = nullptr;
    TLabel* Label3 = nullptr;
    TGaugeBar* barScale = nullptr;
    TCheckBox* chkInterpolated = nullptr;
    TCheckBox* chkDisplayMask = nullptr;
    TPanel* Panel6 = nullptr;
    TButton* Button2 = nullptr;
    TButton* Button1 = nullptr;

    // Published handlers, by their stored names.
    void FormCreate(TObject* Sender);
    void FormDestroy(TObject* Sender);
    void Button1Click(TObject* Sender);
    void Button2Click(TObject* Sender);
    void RGBPanel1MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void barOpacityChange(TObject* Sender);
    void barSaturationChange(TObject* Sender);
    void chkAntialiasClick(TObject* Sender);
    void chkInterpolatedCick(TObject* Sender);
    void cmbModeChange(TObject* Sender);
    void LayerOpacityChange(TObject* Sender);
    void chkDisplayMaskClick(TObject* Sender);
    void ImageMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y, TCustomLayer* Layer);
    void ImageMouseMove(TObject* Sender, TShiftState Shift, int X, int Y, TCustomLayer* Layer);
    void ImageMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y, TCustomLayer* Layer);

    TPSFilterGraphic* FilterGraphic() const { return FFilterGraphic; }
    TMaskLayer* MaskLayer() const { return FMaskLayer; }
    // The settings being edited; null until FormCreate has taken the block.
    LineParameters* Parameters() const { return FParameters; }
    // Between a press on the preview and its release.
    bool Drawing() const { return FDrawing; }

private:
    // Draws from the pen position to the preview point (X, Y), smooth or aliased as set.
    void DrawTo(int X, int Y);

    TPSFilterGraphic* FFilterGraphic = nullptr;
    TMaskLayer* FMaskLayer = nullptr;
    LineParameters* FParameters = nullptr;
    bool FDrawing = false;
};
