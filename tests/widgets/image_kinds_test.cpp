#include <gtest/gtest.h>

#include "../toolkit/fixture.h"
#include "toolkit/formdesc.h"
#include "toolkit/formloader.h"
#include "toolkit/forms.h"
#include "widgets/image_kinds.h"
#include "widgets/ps_image32.h"

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

// Found by fuzzing the stored forms: the buffer of a view this large cannot be allocated,
// and that surfaced as a bare allocation error instead of a description error.
TEST_F(ImageKindsTest, SizeTooLargeForTheBufferNamesTheLine)
{
    RegisterImageKinds();
    TComponentPtr<TForm> form(CreateFormOf<TForm>(nullptr));
    try {
        LoadFormDescription(*form, "form F: TForm\n  control I: TPSImgView32\n"
                                   "    Bounds = 0, 0, 32767, 32767\n  end\nend\n");
        FAIL() << "loaded";
    } catch (const EFormDescriptionError& e) {
        EXPECT_STREQ(e.what(), "Line 3: Can't allocate the DIB handle (property Bounds of I: TPSImgView32)");
    }
}

} // namespace
