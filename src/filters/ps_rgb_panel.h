// The gradient colour panel: a paint box showing a two-colour gradient or a hue spectrum
// washed towards two colours, composed from two small tables into its buffer. The owner picks
// a colour by reading Buffer at a clicked point.
#pragma once
#include <cstdint>
#include <vector>

#include "bitmap/color32.h"
#include "widgets/ps_image32.h"

enum TGradType { gtHorz = 0, gtVert = 1, gtVertRGB = 2, gtHorzRGB = 3 };
// Scoped: the toolkit's brush styles already use bsSolid unqualified.
enum class TBevelStyle { bsSolid = 0, bsTransient = 1, bsFrame = 2 };

class TPSRGBPanel : public TPSCustomPaintBox32 {
public:
    VP_CLASS_NAME(TPSRGBPanel)
    explicit TPSRGBPanel(TComponent* AOwner);

    int BevelContrast() const { return FBevelContrast; }
    void SetBevelContrast(int Value);
    int BevelSize() const { return FBevelSize; }
    void SetBevelSize(int Value);
    TColor32 ColorFrom() const { return FColorFrom; }
    void SetColorFrom(TColor32 Value);
    TColor32 ColorTo() const { return FColorTo; }
    void SetColorTo(TColor32 Value);
    int Saturation() const { return FSaturation; }
    void SetSaturation(int Value);
    TGradType GradType() const { return FGradType; }
    void SetGradType(TGradType Value);
    bool FlipGradient() const { return FFlipGradient; }
    void SetFlipGradient(bool Value);
    TBevelStyle BevelStyle() const { return FBevelStyle; }
    void SetBevelStyle(TBevelStyle Value);

    // Computes the gradient along the gradient axis and, for the RGB types, the wash
    // amounts across it, for the control's present size.
    void BuildTables();
    bool TablesValid() const { return FTablesValid; }
    const std::vector<TColor32>& GradientTable() const { return FGradientTable; }
    const std::vector<std::uint8_t>& FadeTable() const { return FFadeTable; }

    // Hue, saturation, lightness (bytes) to a colour word with alpha 0.
    static TColor32 HueColor(std::uint8_t H, std::uint8_t S, std::uint8_t L);
    // One channel of HueColor for the bounds V (upper) and M (lower); the hue wraps by 255.
    static std::uint8_t HueChannel(int H, int V, int M);

    // Darkens the bottom and right edges and lightens the top and left ones of the ring
    // (X1, Y1, X2, Y2), stronger towards the far ends; a negative contrast swaps the two.
    void TransientBevel(int X1, int Y1, int X2, int Y2, int Contrast);

protected:
    // The whole control: the owner reads the buffer at points the user clicks.
    TRect BufferArea() override;
    void RenderBuffer() override;
    void Resize() override;

private:
    // Property change: the tables and the picture are out of date.
    void Changed();

    int FBevelContrast = 50;
    int FBevelSize = 2;
    TColor32 FColorFrom = 0xFF000000u;
    TColor32 FColorTo = 0xFFFFFFFFu;
    int FSaturation = 127;
    TGradType FGradType = gtHorz;
    bool FFlipGradient = false;
    TBevelStyle FBevelStyle = TBevelStyle::bsSolid;

    std::vector<TColor32> FGradientTable;
    std::vector<std::uint8_t> FFadeTable;
    bool FTablesValid = false;
};

// Makes TPSRGBPanel known to the stored-form loader (idempotent). Call before loading a form
// that holds one.
void RegisterRGBPanelKind();
