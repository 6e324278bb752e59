#include "bridge/mask_layer.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "../toolkit/fixture.h"
#include "fake_image_host.h"
#include "widgets/ps_image32.h"

using fake_image_host::Host;
using fake_image_host::IsEmpty;

namespace {

class MaskLayerTest : public HeadlessTest {
protected:
    void SetUp() override
    {
        HeadlessTest::SetUp();
        Image = std::make_unique<TPSImage32>(nullptr);
    }
    void TearDown() override
    {
        Image.reset();
        HeadlessTest::TearDown();
    }
    std::unique_ptr<TPSImage32> Image;
};

TEST_F(MaskLayerTest, LayerBlendsLinearlyAndBelongsToTheImage)
{
    Host host(4, 3, 3);
    Image->Bitmap()->SetSize(4, 3);
    TMaskLayer* layer = CreateMaskLayer(*Image, 0xFF102030u);
    ASSERT_EQ(Image->ImageLayers()->Count(), 1);
    EXPECT_EQ(Image->ImageLayers()->Items(0), layer);
    EXPECT_STREQ(layer->ClassName(), "TMaskLayer");
    EXPECT_EQ(layer->Bitmap()->DrawMode(), dmBlend);
    EXPECT_EQ(layer->Bitmap()->StretchFilter(), sfLinear);
    EXPECT_TRUE(layer->BitmapRelative());
    EXPECT_EQ(layer->Area(), (TFloatRect{0, 0, 4, 3}));
    EXPECT_TRUE(layer->Visible());
}

TEST_F(MaskLayerTest, SelectionBecomesTransparentAndTheRestOpaqueFill)
{
    Host host(3, 2, 3, {.MaskPadding = 2});
    host.SetMask({255, 64, 0, 0, 128, 255});
    Image->Bitmap()->SetSize(3, 2);
    // The fill's own alpha is replaced everywhere by the inverted mask.
    TMaskLayer* layer = CreateMaskLayer(*Image, 0x40AABBCCu);
    TBitmap32& b = *layer->Bitmap();
    ASSERT_EQ(b.Width(), 3);
    ASSERT_EQ(b.Height(), 2);
    EXPECT_EQ(b.PixelAt(0, 0), 0x00AABBCCu);
    EXPECT_EQ(b.PixelAt(1, 0), 0xBFAABBCCu); // 255 - 64 = 191
    EXPECT_EQ(b.PixelAt(2, 0), 0xFFAABBCCu);
    EXPECT_EQ(b.PixelAt(0, 1), 0xFFAABBCCu);
    EXPECT_EQ(b.PixelAt(1, 1), 0x7FAABBCCu);
    EXPECT_EQ(b.PixelAt(2, 1), 0x00AABBCCu);
    EXPECT_TRUE(IsEmpty(host.Record.maskRect));
}

TEST_F(MaskLayerTest, NoSelectionGivesAnEmptyLayerBitmap)
{
    Host host(5, 5, 3);
    Image->Bitmap()->SetSize(5, 5);
    TMaskLayer* layer = CreateMaskLayer(*Image, 0xFFFFFFFFu);
    EXPECT_TRUE(layer->Bitmap()->IsEmpty());
    // The area still covers the image, so a later selection would line up.
    EXPECT_EQ(layer->Area(), (TFloatRect{0, 0, 5, 5}));
}

TEST_F(MaskLayerTest, AreaFollowsTheImageBitmapNotTheHostRectangle)
{
    Host host(6, 4, 3);
    host.SetMask(std::vector<std::uint8_t>(24, 255));
    Image->Bitmap()->SetSize(2, 2); // smaller preview than the host's area
    TMaskLayer* layer = CreateMaskLayer(*Image, 0xFF000000u);
    EXPECT_EQ(layer->Area(), (TFloatRect{0, 0, 2, 2}));
    EXPECT_EQ(layer->Bitmap()->Width(), 6);
    EXPECT_EQ(layer->Bitmap()->PixelAt(5, 3), 0x00000000u);
}

TEST_F(MaskLayerTest, SeveralLayersStackInCreationOrder)
{
    Host host(2, 2, 1);
    Image->Bitmap()->SetSize(2, 2);
    TMaskLayer* a = CreateMaskLayer(*Image, 0xFF0000FFu);
    TMaskLayer* b = CreateMaskLayer(*Image, 0xFF00FF00u);
    ASSERT_EQ(Image->ImageLayers()->Count(), 2);
    EXPECT_EQ(Image->ImageLayers()->Items(0), a);
    EXPECT_EQ(Image->ImageLayers()->Items(1), b);
}

} // namespace
