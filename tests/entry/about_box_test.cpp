#include <string>
#include <vector>

#include "toolkit/fixture.h"
#include "entry/about_box.h"
#include "toolkit/stdctrls.h"

namespace {

// Runs the about box with Script posted once the box is laid out (from its first paint),
// and records what the box looked like then.
class AboutBoxTest : public HeadlessTest {
protected:
    struct TSeen {
        bool Shown = false;
        std::uint32_t Style = 0;
        TRect Bounds, LabelBounds;
        TPoint LabelOrigin, FormOrigin;
        TAlignment Alignment = taLeftJustify;
        std::string FontName;
        int FontSize = 0;
    };
    int Run(const std::function<void(TPSAboutBox&)>& Script, const std::string& Text = AboutText)
    {
        TComponentPtr<TPSAboutBox> box(CreateComponent<TPSAboutBox>(nullptr));
        TPSAboutBox* b = box.get();
        b->OnPaint = [&, b](TObject*) {
            if (Seen.Shown)
                return;
            Seen.Shown = true;
            Seen.Style = b->WindowStyle();
            Seen.Bounds = b->BoundsRect();
            Seen.LabelBounds = b->TextLabel()->BoundsRect();
            Seen.LabelOrigin = b->TextLabel()->ClientOrigin();
            Seen.FormOrigin = b->ClientToScreen(TPoint{0, 0});
            Seen.Alignment = b->TextLabel()->Alignment();
            Seen.FontName = b->TextLabel()->Font().Name();
            Seen.FontSize = b->TextLabel()->Font().Size();
            Script(*b);
        };
        b->ShowText(Text);
        return b->ModalResult();
    }
    TSeen Seen;
};

TEST_F(AboutBoxTest, TextHasNineLinesAndItsLength)
{
    std::string t = AboutText;
    EXPECT_EQ(t.size(), 220u);
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t at; (at = t.find("\r\n", start)) != std::string::npos; start = at + 2)
        lines.push_back(t.substr(start, at - start));
    lines.push_back(t.substr(start));
    ASSERT_EQ(lines.size(), 9u);
    for (int empty : {1, 4, 6})
        EXPECT_TRUE(lines[empty].empty()) << empty;
    for (int full : {0, 2, 3, 5, 7, 8})
        EXPECT_FALSE(lines[full].empty()) << full;
    EXPECT_EQ(t.find('\n'), t.find("\r\n") + 1); // no bare line feeds
}

TEST_F(AboutBoxTest, EnterClosesTheBox)
{
    EXPECT_EQ(Run([](TPSAboutBox&) { headless::PostKeyDown(nullptr, VK_KEY_RETURN); }), mrOk);
}

TEST_F(AboutBoxTest, OtherKeysDoNotClose)
{
    bool stillOpen = false;
    int result = Run([&](TPSAboutBox& b) {
        headless::PostKeyDown(nullptr, VK_KEY_ESCAPE);
        headless::PostKeyDown(nullptr, VK_KEY_SPACE);
        headless::PostKeyDown(nullptr, 'A');
        headless::PostCall([&] { stillOpen = b.ModalResult() == mrNone; });
    });
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(result, mrCancel); // the script ran out, which is how the idle loop ends
}

TEST_F(AboutBoxTest, PressAnywhereOnTheTextCloses)
{
    for (int corner = 0; corner < 4; ++corner) {
        Seen = TSeen{};
        int result = Run([corner](TPSAboutBox& b) {
            TLabel* l = b.TextLabel();
            int x = corner & 1 ? l->Width() - 1 : 0, y = corner & 2 ? l->Height() - 1 : 0;
            headless::PostMouseDown(l, x, y, corner == 3 ? mbRight : mbLeft);
        });
        EXPECT_EQ(result, mrOk) << corner;
    }
}

TEST_F(AboutBoxTest, PressOnTheMarginDoesNotClose)
{
    bool stillOpen = false;
    Run([&](TPSAboutBox& b) {
        headless::PostMouseDown(&b, -5, -5); // inside the 12-pixel border
        headless::PostMouseUp(&b, -5, -5);
        headless::PostCall([&] { stillOpen = b.ModalResult() == mrNone; });
    });
    EXPECT_TRUE(stillOpen);
}

TEST_F(AboutBoxTest, NoTitleBarCentredAndSizedToTheText)
{
    headless::SetScreenSize(1024, 768);
    Run([](TPSAboutBox& b) { b.SetModalResult(mrOk); });
    ASSERT_TRUE(Seen.Shown);
    EXPECT_EQ(Seen.Style & WS_STYLE_CAPTION, 0u);
    EXPECT_EQ(Seen.Style & WS_STYLE_SYSMENU, WS_STYLE_SYSMENU); // only the title-bar bits go
    EXPECT_EQ(Seen.Style & DS_STYLE_MODALFRAME, DS_STYLE_MODALFRAME);
    // Arial 8: 6 x 13 pixels a character headless; the longest line has 45 characters.
    EXPECT_EQ(Seen.FontName, "Arial");
    EXPECT_EQ(Seen.FontSize, 8);
    EXPECT_EQ(Seen.LabelBounds, (TRect{0, 0, 45 * 6, 9 * 13}));
    EXPECT_EQ(Seen.Alignment, taCenter);
    // The modal frame (3 pixels) and the 12-pixel border surround the label.
    EXPECT_EQ(Seen.Bounds.Width(), 45 * 6 + 2 * 12 + 2 * 3);
    EXPECT_EQ(Seen.Bounds.Height(), 9 * 13 + 2 * 12 + 2 * 3);
    EXPECT_EQ(Seen.LabelOrigin.X - Seen.Bounds.Left, 15);
    EXPECT_EQ(Seen.Bounds.Left, (1024 - Seen.Bounds.Width()) / 2);
    EXPECT_EQ(Seen.Bounds.Top, (768 - Seen.Bounds.Height()) / 2);
}

TEST_F(AboutBoxTest, ShowAboutBoxRunsAndFreesTheBox)
{
    int windows = headless::LiveWindowCount();
    std::string shown;
    headless::PostCall([&] {
        auto* box = dynamic_cast<TPSAboutBox*>(headless::ModalForm());
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->Owner(), nullptr);
        shown = box->TextLabel()->Caption();
    });
    headless::PostKeyDown(nullptr, VK_KEY_RETURN);
    ShowAboutBox("one line");
    EXPECT_EQ(shown, "one line");
    EXPECT_EQ(headless::LiveWindowCount(), windows); // the box and its label are gone
    EXPECT_EQ(headless::ModalForm(), nullptr);
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

} // namespace
