// The image control with two scroll bars along its right and bottom edges: images larger
// than the viewport scroll, smaller ones stay in its middle.
#pragma once
#include "widgets/ps_image32.h"
#include "widgets/range_bars.h"

enum TSizeGripStyle { sgAuto = 0, sgNone = 1, sgAlways = 2 };

class TPSCustomImgView32;

// The appearance of both bars as one group, plus their step and thickness.
class TIVScrollProperties : public TArrowBarAccess {
public:
    VP_CLASS_NAME(TIVScrollProperties)
    explicit TIVScrollProperties(TPSCustomImgView32& View);
    int Increment() const;
    // Both bars; no repaint.
    void SetIncrement(int Value);
    int Size() const;
    // The bars' thickness; lays them out again.
    void SetSize(int Value);

private:
    TPSCustomImgView32& FView;
};

class TPSCustomImgView32 : public TPSCustomImage32 {
public:
    VP_CLASS_NAME(TPSCustomImgView32)
    explicit TPSCustomImgView32(TComponent* AOwner);
    ~TPSCustomImgView32() override;

    TCustomRangeBar* HorzBar() const { return FHorzBar; }
    TCustomRangeBar* VertBar() const { return FVertBar; }
    bool Centered() const { return FCentered; }
    void SetCentered(bool Value);
    TIVScrollProperties* ScrollBars() const { return FScrollBars; }
    // Assigning a whole group is not supported: raises the cannot-assign error.
    void SetScrollBars(TPersistent* Value);
    // 0: the system's horizontal scroll bar height.
    int BarThickness() const { return FBarThickness; }
    void SetBarThickness(int Value) { FBarThickness = Value; }
    TSizeGripStyle SizeGrip() const { return FSizeGrip; }
    void SetSizeGrip(TSizeGripStyle Value);
    bool Centering() const { return FCentering; }

    // Width and height less the bars' thickness.
    TRect ViewportRect() override;
    void LayoutBars();
    void SyncRanges();
    void SyncOffsets();
    // Scrolls so that bitmap pixel (X, Y), times Scale, is in the middle of the viewport.
    void CenterOn(int X, int Y);
    // The bottom-right corner between the bars.
    TRect GripRect() const;
    bool GripShown() const;

    void BitmapResized() override;
    void ScaleChanged() override;
    void Loaded() override;

    TNotifyEvent OnScroll;

protected:
    virtual void DoScroll();
    virtual void BarScrolled(TObject* Sender);
    void DrawGrip(TCanvas& Canvas, const TRect& R);
    void Paint() override;
    void Resize() override;
    void DpiChanged(int OldDpi, int NewDpi) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;

private:
    // The bars laid out again for the view's size and density, the ranges and offsets with them.
    void RefitBars();
    int Thickness() const;
    TCustomRangeBar* FHorzBar = nullptr;
    TCustomRangeBar* FVertBar = nullptr;
    bool FCentered = true;
    TIVScrollProperties* FScrollBars = nullptr;
    int FBarThickness = 0;
    TSizeGripStyle FSizeGrip = sgAuto;
    bool FCentering = false;
};

class TPSImgView32 : public TPSCustomImgView32 {
public:
    VP_CLASS_NAME(TPSImgView32)
    using TPSCustomImgView32::TPSCustomImgView32;
};
