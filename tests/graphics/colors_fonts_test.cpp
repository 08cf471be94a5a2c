// Colours, character sets and the persistent font: the fixed values system
// colours resolve to, the identifiers forms store, and font sizes.
#include "foundation/records/font.h"

#include <gtest/gtest.h>

namespace vorel {
namespace {

struct ColorCase {
    TColor color;
    std::uint32_t rgb;
};

TEST(Colors, ResolveToTheClassicStandardScheme)
{
    const ColorCase cases[] = {
        {clRed, 0x0000FF},
        {TColor(0x123456), 0x123456},
        {TColor(0x02123456), 0x123456}, // palette-relative flag dropped
        {clNone, 0xFFFFFF},
        {clDefault, 0x000000},
        {clWindow, 0xFFFFFF},
        {clWindowText, 0x000000},
        {clBtnFace, 0xC0C0C0},
        {clBtnShadow, 0x808080},
        {clHighlight, 0x800000},
        {clAppWorkSpace, 0x808080},
        {clInfoBk, 0xE1FFFF},
        {TColor(std::int32_t(0x800000FF)), 0x000000}, // no such system colour
    };
    for (const ColorCase& c : cases)
        EXPECT_EQ(ColorToRGB(c.color), c.rgb) << std::hex << std::uint32_t(c.color);
    EXPECT_EQ(GetRValue(0x00332211), 0x11);
    EXPECT_EQ(GetBValue(0x00332211), 0x33);
    EXPECT_EQ(RGBColor(0x11, 0x22, 0x33), TColor(0x332211));
}

TEST(Colors, IdentifiersBothWays)
{
    EXPECT_EQ(ColorToIdent(clSilver), QStringLiteral("clSilver")) << "not its alias clLtGray";
    EXPECT_EQ(ColorToIdent(clBtnFace), QStringLiteral("clBtnFace"));
    EXPECT_EQ(ColorToIdent(TColor(0x123456)), QString());
    TColor c = clBlack;
    EXPECT_TRUE(IdentToColor(QStringLiteral("CLRED"), c));
    EXPECT_EQ(c, clRed);
    EXPECT_TRUE(IdentToColor(QStringLiteral("clLtGray"), c));
    EXPECT_EQ(c, clSilver);
    c = clBlue;
    EXPECT_FALSE(IdentToColor(QStringLiteral("clTeaGreen"), c));
    EXPECT_EQ(c, clBlue) << "an unknown name leaves the value alone";

    TFontCharset cs = 0;
    EXPECT_EQ(CharsetToIdent(RUSSIAN_CHARSET), QStringLiteral("RUSSIAN_CHARSET"));
    EXPECT_TRUE(IdentToCharset(QStringLiteral("easteurope_charset"), cs));
    EXPECT_EQ(cs, EASTEUROPE_CHARSET);
    EXPECT_EQ(CharsetToIdent(TFontCharset(99)), QString());
}

TEST(Fonts, SizeAndHeightConvertAtNinetySixDpi)
{
    TFont font;
    EXPECT_EQ(font.Height(), -11);
    EXPECT_EQ(font.Size(), 8);
    font.SetSize(10);
    EXPECT_EQ(font.Height(), -13); // 13.33 rounds to 13
    EXPECT_EQ(font.Size(), 10);
    font.SetSize(9);
    EXPECT_EQ(font.Height(), -12);
    font.SetHeight(20); // a cell height gives a negative size, as classically
    EXPECT_EQ(font.Size(), -15);
}

TEST(Fonts, ChangesAreNotifiedOnceAndEmptyNamesIgnored)
{
    TFont a, b;
    int changes = 0;
    a.OnChange = [&] { ++changes; };
    b.SetName(QStringLiteral("Arial"));
    b.SetSize(12);
    b.SetStyle(fsBold | fsUnderline);
    b.SetColor(clRed);
    a.Assign(&b);
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(a.Equals(b));
    a.Assign(&b);
    EXPECT_EQ(changes, 1) << "assigning an equal font is no change";
    a.SetName(QString());
    EXPECT_EQ(a.Name(), QStringLiteral("Arial"));
    a.SetColor(clRed);
    EXPECT_EQ(changes, 1);
}

} // namespace
} // namespace vorel
