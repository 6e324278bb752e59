// The stored-form parser on its own: the limits that keep hostile text an error, not a crash.
#include <gtest/gtest.h>

#include <string>

#include "toolkit/formdesc.h"

namespace {

std::string ParseError(const std::string& Text)
{
    try {
        ParseFormDescription(Text);
    } catch (const EFormDescriptionError& e) {
        return e.what();
    }
    return "no error";
}

std::int64_t ValueOf(const std::string& Literal)
{
    const TFormNode n = ParseFormDescription("form a: b\n  x = " + Literal + "\nend\n");
    EXPECT_EQ(n.Properties.size(), 1u);
    EXPECT_EQ(n.Properties[0].Values.size(), 1u);
    return n.Properties[0].Values[0].Int;
}

TEST(FormDescriptionNumbers, SixtyFourBitValuesAreOutOfRangeNotWrapped)
{
    // Negating the lowest 64-bit value overflowed; the all-ones word came back as -1.
    EXPECT_EQ(ParseError("form a: b\n  x = -0x8000000000000000\nend\n"),
              "Line 2: number out of range '-0x8000000000000000'");
    EXPECT_EQ(ParseError("form a: b\n  x = 0xFFFFFFFFFFFFFFFF\nend\n"),
              "Line 2: number out of range '0xFFFFFFFFFFFFFFFF'");
    EXPECT_EQ(ParseError("form a: b\n  x = $8000000000000000\nend\n"),
              "Line 2: number out of range '$8000000000000000'");
    EXPECT_EQ(ParseError("form a: b\n\n  x = 18446744073709551617\nend\n"),
              "Line 3: number out of range '18446744073709551617'");
    EXPECT_EQ(ParseError("form a: b\n  x = 0x100000000\nend\n"), "Line 2: number out of range '0x100000000'");
    EXPECT_EQ(ParseError("form a: b\n  x = -4294967296\nend\n"), "Line 2: number out of range '-4294967296'");
}

TEST(FormDescriptionNumbers, ThirtyTwoBitExtremesAndLeadingZerosLoad)
{
    EXPECT_EQ(ValueOf("0xFFFFFFFF"), 0xFFFFFFFFll);
    EXPECT_EQ(ValueOf("-0xFFFFFFFF"), -0xFFFFFFFFll);
    EXPECT_EQ(ValueOf("4294967295"), 4294967295ll);
    EXPECT_EQ(ValueOf("-0x80000000"), -2147483648ll);
    EXPECT_EQ(ValueOf("$Ff"), 255);
    EXPECT_EQ(ValueOf("-0"), 0);
    // The range is the value's, not the digit count's.
    EXPECT_EQ(ValueOf("0x0000000000000000000000FF"), 255);
    EXPECT_EQ(ValueOf("000000000000000000000000012"), 12);
}

// Text of Depth blocks, each the only child of the one before.
std::string Nested(int Depth)
{
    std::string text = "form f: TForm\n";
    for (int i = 1; i < Depth; ++i)
        text += "control c" + std::to_string(i) + ": TPanel\n";
    for (int i = 0; i < Depth; ++i)
        text += "end\n";
    return text;
}

TEST(FormDescriptionNesting, DeepNestingIsAnErrorNamingTheLine)
{
    // Ten thousand levels overflowed the stack before.
    EXPECT_EQ(ParseError(Nested(10000)), "Line 101: controls nested more than 100 deep");
    EXPECT_EQ(ParseError(Nested(101)), "Line 101: controls nested more than 100 deep");
    TFormNode n = ParseFormDescription(Nested(100));
    int depth = 1;
    for (const TFormNode* p = &n; !p->Children.empty(); p = &p->Children[0])
        ++depth;
    EXPECT_EQ(depth, 100);
}

TEST(FormDescriptionNesting, SiblingsDoNotCountAsDepth)
{
    std::string text = "form f: TForm\n";
    for (int i = 0; i < 300; ++i)
        text += "control c" + std::to_string(i) + ": TPanel\n  control d" + std::to_string(i) + ": TLabel\n  end\nend\n";
    text += "end\n";
    const TFormNode n = ParseFormDescription(text);
    ASSERT_EQ(n.Children.size(), 300u);
    EXPECT_EQ(n.Children[299].Children.size(), 1u);
}

} // namespace
