// The about box: layout, and the only ways out (a press on the text, Enter).
#include <gtest/gtest.h>

#include "host/about_box.h"
#include "toolkit/application.h"
#include "toolkit/fixture.h"
#include "toolkit/platform.h"
#include "toolkit/stdctrls.h"

namespace {

class AboutBoxTest : public HeadlessTest {
protected:
    TComponentPtr<TPSAboutBox> Box{CreateComponent<TPSAboutBox>(nullptr)};
};

TEST_F(AboutBoxTest, EnterClosesTheBoxWithOk)
{
    headless::PostKeyDown(nullptr, VK_KEY_RETURN);
    Box->ShowText("one\r\ntwo");
    EXPECT_EQ(Box->ModalResult(), mrOk);
    EXPECT_FALSE(Box->Visible());
}

TEST_F(AboutBoxTest, OtherKeysLeaveTheBoxOpen)
{
    // The script runs dry with the box still open, which the headless loop ends as Cancel.
    for (std::uint16_t key : {std::uint16_t('A'), VK_KEY_ESCAPE, VK_KEY_SPACE, std::uint16_t(0x70)})
        headless::PostKey(nullptr, key);
    Box->ShowText("text");
    EXPECT_EQ(Box->ModalResult(), mrCancel);
}

TEST_F(AboutBoxTest, APressAnywhereOnTheTextCloses)
{
    struct TCase {
        int X, Y;
        TMouseButton Button;
    };
    for (TCase c : {TCase{0, 0, mbLeft}, TCase{-1, -1, mbRight}, TCase{-2, 5, mbMiddle}}) {
        TComponentPtr<TPSAboutBox> box(CreateComponent<TPSAboutBox>(nullptr));
        TPSAboutBox* b = box.get();
        headless::PostCall([b, c] {
            TLabel* l = b->TextLabel();
            // Negative coordinates count from the far edge of the label.
            int x = c.X < 0 ? l->Width() + c.X : c.X, y = c.Y < 0 ? l->Height() + c.Y : c.Y;
            headless::PostMouseDown(l, x, y, c.Button);
        });
        box->ShowText(AboutText);
        EXPECT_EQ(box->ModalResult(), mrOk) << c.X << "," << c.Y;
    }
}

TEST_F(AboutBoxTest, FrameWithoutTitleBarCentredAndSizedToTheText)
{
    headless::SetScreenSize(1000, 700);
    std::uint32_t style = 0;
    TRect nc;
    headless::PostCall([&] {
        style = Box->WindowStyle();
        nc = Box->NonClientInsets();
        headless::PostKeyDown(nullptr, VK_KEY_RETURN);
    });
    Box->ShowText("short\r\na much longer line\r\nend");
    EXPECT_EQ(style & WS_STYLE_CAPTION, 0u);
    EXPECT_NE(style & DS_STYLE_MODALFRAME, 0u) << "the dialog frame stays";
    EXPECT_EQ(nc.Top, nc.Left) << "no title bar above the frame";
    EXPECT_GT(nc.Left, 0);

    TLabel* l = Box->TextLabel();
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->Alignment(), taCenter);
    EXPECT_EQ(Box->Font().Name(), "Arial");
    EXPECT_EQ(Box->Font().Size(), 8);
    TSize text = plat::TextExtent(l->Font(), "a much longer line");
    EXPECT_EQ(l->Width(), text.cx);
    EXPECT_EQ(Box->Width(), l->Width() + 2 * 12 + nc.Left + nc.Right);
    EXPECT_EQ(Box->Height(), l->Height() + 2 * 12 + nc.Top + nc.Bottom);
    EXPECT_EQ(Box->Left(), (1000 - Box->Width()) / 2);
    EXPECT_EQ(Box->Top(), (700 - Box->Height()) / 2);
    // The shorter lines are centred within the widest.
    std::vector<TRect> lines = l->LineRects();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].Left, (l->Width() - plat::TextExtent(l->Font(), "short").cx) / 2);
}

TEST(AboutText, NineLinesWithTheEmptyOnesInPlace)
{
    std::string t = AboutText;
    EXPECT_EQ(t.size(), 220u);
    std::vector<std::string> lines{""};
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t.compare(i, 2, "\r\n") == 0) {
            lines.emplace_back();
            ++i;
        } else {
            ASSERT_NE(t[i], '\n') << "bare line feed at " << i;
            lines.back() += t[i];
        }
    }
    ASSERT_EQ(lines.size(), 9u);
    for (int empty : {1, 4, 6})
        EXPECT_TRUE(lines[empty].empty()) << "line " << empty + 1;
    for (int full : {0, 2, 3, 5, 7, 8})
        EXPECT_FALSE(lines[full].empty()) << "line " << full + 1;
}

} // namespace
