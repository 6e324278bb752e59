// The window lists of the input script's "windows" command and the layout check made from
// two of them.
#include <gtest/gtest.h>

#include "window_list.h"

namespace {

WindowList Dialog96()
{
    WindowList l;
    l.Dialog = "LineForm";
    l.Dpi = 96;
    l.ClientWidth = 558;
    l.ClientHeight = 486;
    l.ScrollBar = 17;
    l.Windows = {
        {"Panel1", "LineForm", "panel", "", 0, 0, 115, 486, -11, 0, 0},
        {"Label1", "Panel1", "label", "Saturation:", 8, 24, 62, 37, -11, 54, 13},
        {"cmbMode", "Panel1", "combobox", "", 8, 43, 105, 64, -11, 0, 0},
        {"Button1", "Panel1", "button", "Apply", 8, 29, 105, 49, -11, 28, 13},
        {"ImgView", "LineForm", "custom", "", 115, 0, 179, 48, -11, 0, 0},
        {"ImgView#0", "ImgView", "custom", "", 0, 31, 47, 48, -11, 0, 0},
        {"ImgView#1", "ImgView", "custom", "", 47, 0, 64, 31, -11, 0, 0},
    };
    return l;
}

// The same dialog laid out at 144 dpi as the module does it.
WindowList Dialog144()
{
    WindowList l = Dialog96();
    l.Dpi = 144;
    l.ClientWidth = 837;
    l.ClientHeight = 729;
    l.ScrollBar = 26;
    l.Windows = {
        {"Panel1", "LineForm", "panel", "", 0, 0, 173, 729, -17, 0, 0},
        {"Label1", "Panel1", "label", "Saturation:", 12, 36, 92, 56, -17, 80, 20},
        {"cmbMode", "Panel1", "combobox", "", 12, 64, 158, 89, -17, 0, 0},
        {"Button1", "Panel1", "button", "Apply", 12, 44, 158, 74, -17, 42, 20},
        {"ImgView", "LineForm", "custom", "", 173, 0, 237, 48, -17, 0, 0},
        {"ImgView#0", "ImgView", "custom", "", 0, 22, 38, 48, -17, 0, 0},
        {"ImgView#1", "ImgView", "custom", "", 38, 0, 64, 22, -17, 0, 0},
    };
    return l;
}

TEST(WindowList, FormatsAndReadsBack)
{
    WindowList l = Dialog96();
    l.Windows[1].Text = "Say \"hi\" \\ there";
    std::string error;
    WindowList back;
    ASSERT_TRUE(ParseWindowList(FormatWindowList(l), back, error)) << error;
    EXPECT_EQ(back.Dialog, "LineForm");
    EXPECT_EQ(back.Dpi, 96);
    EXPECT_EQ(back.ClientWidth, 558);
    EXPECT_EQ(back.ScrollBar, 17);
    ASSERT_EQ(back.Windows.size(), l.Windows.size());
    EXPECT_EQ(back.Windows[1].Text, "Say \"hi\" \\ there");
    EXPECT_EQ(back.Windows[1].Right, 62);
    EXPECT_EQ(back.Windows[1].FontHeight, -11);
    EXPECT_EQ(back.Windows[1].TextWidth, 54);
    EXPECT_EQ(back.Windows[6].Name, "ImgView#1");
}

TEST(WindowList, RefusesWhatItCannotRead)
{
    WindowList back;
    std::string error;
    EXPECT_FALSE(ParseWindowList("", back, error));
    EXPECT_FALSE(ParseWindowList("window a parent b class c rect 1 2 3 4 font -11 extent 0 0 text \"\"\n", back, error))
        << "a window before the dialog line";
    EXPECT_FALSE(ParseWindowList("dialog D dpi 96 client 10 10 scrollbar 17\nwindow a parent b class c rect 1 2 3\n",
                                 back, error));
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
    EXPECT_FALSE(ParseWindowList("dialog D dpi 96 client 10 10 scrollbar 17\n"
                                 "window a parent b class c rect 1 2 3 4 font -11 extent 0 0 text unquoted\n",
                                 back, error));
}

TEST(WindowList, AScaledLayoutPasses)
{
    std::vector<std::string> report;
    EXPECT_TRUE(CheckScaledLayout(Dialog96(), Dialog144(), {"ImgView"}, report));
    ASSERT_EQ(report.size(), 1u);
    EXPECT_NE(report[0].find("5 windows within a pixel"), std::string::npos) << report[0];
    EXPECT_NE(report[0].find("2 bars"), std::string::npos) << report[0];
}

TEST(WindowList, EachFaultIsNamed)
{
    const WindowList base = Dialog96();
    auto faults = [&base](WindowList l, std::vector<std::string> own = {"ImgView"}) {
        std::vector<std::string> report;
        EXPECT_FALSE(CheckScaledLayout(base, l, own, report));
        return report;
    };
    WindowList l = Dialog144();
    l.ClientWidth = 566;  // the 96-dpi size kept: an unaware dialog
    auto r = faults(l);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_NE(r[0].find("client area 566"), std::string::npos) << r[0];

    l = Dialog144();
    l.Windows[3].Right += 2;  // two pixels off
    r = faults(l);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_NE(r[0].find("Button1: rect"), std::string::npos) << r[0];

    l = Dialog144();
    l.Windows[1].FontHeight = -11;  // the font left at its 96-dpi height
    r = faults(l);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_NE(r[0].find("Label1: font height -11, scaled -17"), std::string::npos) << r[0];

    l = Dialog144();
    l.Windows[3].TextWidth = 147;  // wider than the 146-pixel button
    r = faults(l);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_NE(r[0].find("Button1: text \"Apply\" is 147 wide"), std::string::npos) << r[0];

    l = Dialog144();
    l.Windows[5].Top = 31;  // a bar of the 96-dpi thickness
    r = faults(l);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_NE(r[0].find("ImgView#0: a bar 17 thick, the metric is 26"), std::string::npos) << r[0];

    l = Dialog144();
    l.Windows.erase(l.Windows.begin() + 3);
    r = faults(l);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_NE(r[0].find("Button1: missing"), std::string::npos) << r[0];

    // Without naming it, the preview sized to its image is out of place.
    r = faults(Dialog144(), {});
    ASSERT_EQ(r.size(), 1u);
    EXPECT_NE(r[0].find("ImgView: rect"), std::string::npos) << r[0];

    // A base made at another density is no base.
    WindowList wrongBase = Dialog144();
    std::vector<std::string> report;
    EXPECT_FALSE(CheckScaledLayout(wrongBase, Dialog144(), {"ImgView"}, report));
}

TEST(WindowList, LabelsAndDropDownsTakeTheirOwnHeightButNotTheirOwnPlace)
{
    WindowList l = Dialog144();
    l.Windows[1].Right = 100;  // a label as wide as its caption in the scaled font
    l.Windows[1].TextWidth = 88;
    l.Windows[2].Bottom = 64 + 24;  // the system's height for the list's font
    std::vector<std::string> report;
    EXPECT_TRUE(CheckScaledLayout(Dialog96(), l, {"ImgView"}, report)) << report[0];
    l.Windows[1].Left = 20;
    EXPECT_FALSE(CheckScaledLayout(Dialog96(), l, {"ImgView"}, report));
}

} // namespace
