#include <gtest/gtest.h>

#include "../toolkit/fixture.h"
#include "toolkit/formdesc.h"
#include "toolkit/formloader.h"
#include "toolkit/forms.h"
#include "widgets/image_kinds.h"
#include "widgets/img_view32.h"
#include "widgets/ps_image32.h"
#include "widgets/range_bars.h"

namespace {

const char* const LineFormText = R"(form LineForm: TLineForm
  ClientWidth = 300
  ClientHeight = 200
  control Image: TPSImage32
    Bitmap.StretchFilter = sfSpline
    BitmapAlign = baCenter
    Color = clSilver
    Scale = 1.0
    ScaleMode = smScale
    Align = alClient
    OnMouseDown = ImageMouseDown
    OnMouseMove = ImageMouseMove
    OnMouseUp = ImageMouseUp
  end
end
)";

class TLineForm : public TForm {
public:
    explicit TLineForm(TComponent* Owner) : TForm(Owner)
    {
        RegisterImageKinds();
        RegisterHandlerOf<TImgMouseEvent>("ImageMouseDown", [this](TObject*, TMouseButton, TShiftState, int X, int,
                                                                   TCustomLayer*) { Log += "down " + std::to_string(X) + ";"; });
        RegisterHandlerOf<TImgMouseMoveEvent>("ImageMouseMove",
                                              [this](TObject*, TShiftState, int, int, TCustomLayer*) { Log += "move;"; });
        RegisterHandlerOf<TImgMouseEvent>("ImageMouseUp",
                                          [this](TObject*, TMouseButton, TShiftState, int, int, TCustomLayer*) { Log += "up;"; });
        RegisterField("Image", Image);
        LoadFormDescription(*this, LineFormText);
    }
    TPSImage32* Image = nullptr;
    std::string Log;
};

class ImageKindsTest : public HeadlessTest {};

TEST_F(ImageKindsTest, StoredFormSetsTheImagePropertiesAndItsMouseEvents)
{
    TComponentPtr<TLineForm> form(static_cast<TLineForm*>(CreateFormOf<TLineForm>(nullptr)));
    ASSERT_NE(form->Image, nullptr);
    TPSImage32& image = *form->Image;
    EXPECT_EQ(image.Bitmap()->StretchFilter(), sfSpline);
    EXPECT_EQ(image.BitmapAlign(), baCenter);
    EXPECT_EQ(image.Color(), clSilver);
    EXPECT_EQ(image.ScaleMode(), smScale);
    EXPECT_EQ(image.Scale(), 1.0f);
    EXPECT_EQ(image.Align(), alClient);
    ASSERT_TRUE(image.OnMouseDown);
    image.OnMouseDown(&image, mbLeft, 0, 7, 0, nullptr);
    image.OnMouseMove(&image, 0, 1, 1, nullptr);
    image.OnMouseUp(&image, mbLeft, 0, 1, 1, nullptr);
    EXPECT_EQ(form->Log, "down 7;move;up;");
}

TEST_F(ImageKindsTest, UnknownScaleModeNamesTheLine)
{
    RegisterImageKinds();
    TComponentPtr<TForm> form(CreateFormOf<TForm>(nullptr));
    EXPECT_THROW(LoadFormDescription(*form, "form F: TForm\n  control I: TPSImage32\n    ScaleMode = smWrong\n  end\nend\n"),
                 EFormDescriptionError);
}

// What a stored form may set on each kind is what the kind publishes, no more.
TEST_F(ImageKindsTest, EachKindTakesExactlyItsPublishedNames)
{
    RegisterImageKinds();
    RegisterGaugeBarKind();
    const TControlKind* image = FindControlKind("TPSImage32");
    const TControlKind* view = FindControlKind("TPSImgView32");
    const TControlKind* bar = FindControlKind("TGaugeBar");
    ASSERT_TRUE(image && view && bar);
    for (const char* name : {"ScaleMode", "BitmapAlign", "Bitmap.DrawMode", "Bitmap.MasterAlpha", "TabStop", "Cursor",
                             "Constraints.MinWidth", "Anchors"})
        EXPECT_NE(image->FindProperty(name), nullptr) << name;
    for (const char* name : {"OnDblClick", "OnMouseWheelDown", "OnMouseWheelUp", "OnCanResize", "OnKeyPress",
                             "OnGDIOverlay", "OnPaintStage"})
        EXPECT_NE(image->FindEvent(name), nullptr) << name;
    EXPECT_EQ(image->FindProperty("Font.Name"), nullptr);
    EXPECT_EQ(image->FindProperty("Caption"), nullptr);
    EXPECT_EQ(image->FindEvent("OnMouseEnter"), nullptr) << "the image control does not publish it";
    // The view places its bitmap itself.
    EXPECT_EQ(view->FindProperty("ScaleMode"), nullptr);
    EXPECT_EQ(view->FindProperty("BitmapAlign"), nullptr);
    for (const char* name : {"ScrollBars.BorderColor", "ScrollBars.ButtonColor", "ScrollBars.HighLightColor",
                             "ScrollBars.ShadowColor", "Centered", "SizeGrip", "Bitmap.StretchFilter"})
        EXPECT_NE(view->FindProperty(name), nullptr) << name;
    for (const char* name : {"OnScroll", "OnMouseEnter", "OnMouseLeave", "OnDblClick"})
        EXPECT_NE(view->FindEvent(name), nullptr) << name;
    for (const char* name : {"Enabled", "BorderStyle", "Kind", "LargeChange", "Constraints.MaxHeight"})
        EXPECT_NE(bar->FindProperty(name), nullptr) << name;
    EXPECT_EQ(bar->FindProperty("Cursor"), nullptr);
    EXPECT_EQ(bar->FindProperty("TabStop"), nullptr);
    EXPECT_EQ(bar->FindEvent("OnClick"), nullptr);
    EXPECT_NE(bar->FindEvent("OnUserChange"), nullptr);
}

TEST_F(ImageKindsTest, StoredViewSetsItsBarsColoursAndRefusesAScaleMode)
{
    RegisterImageKinds();
    TComponentPtr<TForm> form(CreateFormOf<TForm>(nullptr));
    int doubles = 0;
    form->RegisterHandler("Twice", [&](TObject*) { ++doubles; });
    LoadFormDescription(*form, "form F: TForm\n  control View: TPSImgView32\n"
                               "    ScrollBars.BorderColor = clRed\n    ScrollBars.ButtonColor = clBlue\n"
                               "    ScrollBars.HighLightColor = clGreen\n    ScrollBars.ShadowColor = clGray\n"
                               "    Bitmap.DrawMode = dmBlend\n    OnDblClick = Twice\n  end\nend\n");
    auto* view = dynamic_cast<TPSImgView32*>(form->FindComponent("View"));
    ASSERT_NE(view, nullptr);
    for (TArrowBar* b : {static_cast<TArrowBar*>(view->HorzBar()), static_cast<TArrowBar*>(view->VertBar())}) {
        EXPECT_EQ(b->BorderColor(), clRed);
        EXPECT_EQ(b->ButtonColor(), clBlue);
        EXPECT_EQ(b->HighLightColor(), clGreen);
        EXPECT_EQ(b->ShadowColor(), clGray);
    }
    EXPECT_EQ(view->Bitmap()->DrawMode(), dmBlend);
    ASSERT_TRUE(view->OnDblClick);
    view->OnDblClick(view);
    EXPECT_EQ(doubles, 1);
    TComponentPtr<TForm> other(CreateFormOf<TForm>(nullptr));
    try {
        LoadFormDescription(*other, "form F: TForm\n  control View: TPSImgView32\n    ScaleMode = smScale\n  end\nend\n");
        FAIL() << "a stored scale mode was taken";
    } catch (const EFormDescriptionError& e) {
        EXPECT_NE(std::string(e.what()).find("unknown property ScaleMode"), std::string::npos) << e.what();
    }
}

} // namespace
