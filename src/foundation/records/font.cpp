#include "foundation/records/font.h"

#include <array>
#include <cmath>

namespace vorel {

namespace {

// The classic "Windows Standard" scheme, as 0x00BBGGRR, indexed by the system
// colour number (the low byte of clScrollBar .. clInfoBk). A report prepared
// on one machine must look the same on another, so the user's desktop theme
// is deliberately not consulted.
constexpr std::array<std::uint32_t, 25> kSystemColors = {
    0xC0C0C0, // 0  scroll bar
    0x808000, // 1  desktop background (teal)
    0x800000, // 2  active caption (navy)
    0x808080, // 3  inactive caption
    0xC0C0C0, // 4  menu
    0xFFFFFF, // 5  window
    0x000000, // 6  window frame
    0x000000, // 7  menu text
    0x000000, // 8  window text
    0xFFFFFF, // 9  caption text
    0xC0C0C0, // 10 active border
    0xC0C0C0, // 11 inactive border
    0x808080, // 12 application workspace
    0x800000, // 13 highlight (navy)
    0xFFFFFF, // 14 highlight text
    0xC0C0C0, // 15 button face
    0x808080, // 16 button shadow
    0x808080, // 17 grey text
    0x000000, // 18 button text
    0xC0C0C0, // 19 inactive caption text
    0xFFFFFF, // 20 button highlight
    0x000000, // 21 3-D dark shadow
    0xDFDFDF, // 22 3-D light
    0x000000, // 23 info text
    0xE1FFFF, // 24 info background (pale yellow)
};

struct ColorName {
    TColor value;
    const char* name;
};

// Order matters for ColorToIdent: the first entry with a value wins, so
// clSilver and clGray are preferred to their aliases clLtGray and clDkGray.
constexpr ColorName kColorNames[] = {
    {clBlack, "clBlack"},
    {clMaroon, "clMaroon"},
    {clGreen, "clGreen"},
    {clOlive, "clOlive"},
    {clNavy, "clNavy"},
    {clPurple, "clPurple"},
    {clTeal, "clTeal"},
    {clGray, "clGray"},
    {clSilver, "clSilver"},
    {clRed, "clRed"},
    {clLime, "clLime"},
    {clYellow, "clYellow"},
    {clBlue, "clBlue"},
    {clFuchsia, "clFuchsia"},
    {clAqua, "clAqua"},
    {clWhite, "clWhite"},
    {clMoneyGreen, "clMoneyGreen"},
    {clSkyBlue, "clSkyBlue"},
    {clCream, "clCream"},
    {clMedGray, "clMedGray"},
    {clActiveBorder, "clActiveBorder"},
    {clActiveCaption, "clActiveCaption"},
    {clAppWorkSpace, "clAppWorkSpace"},
    {clBackground, "clBackground"},
    {clBtnFace, "clBtnFace"},
    {clBtnHighlight, "clBtnHighlight"},
    {clBtnShadow, "clBtnShadow"},
    {clBtnText, "clBtnText"},
    {clCaptionText, "clCaptionText"},
    {clGrayText, "clGrayText"},
    {clHighlight, "clHighlight"},
    {clHighlightText, "clHighlightText"},
    {clInactiveBorder, "clInactiveBorder"},
    {clInactiveCaption, "clInactiveCaption"},
    {clInactiveCaptionText, "clInactiveCaptionText"},
    {clInfoBk, "clInfoBk"},
    {clInfoText, "clInfoText"},
    {clMenu, "clMenu"},
    {clMenuText, "clMenuText"},
    {clScrollBar, "clScrollBar"},
    {cl3DDkShadow, "cl3DDkShadow"},
    {cl3DLight, "cl3DLight"},
    {clWindow, "clWindow"},
    {clWindowFrame, "clWindowFrame"},
    {clWindowText, "clWindowText"},
    {clNone, "clNone"},
    {clDefault, "clDefault"},
    // Accepted when reading only.
    {clLtGray, "clLtGray"},
    {clDkGray, "clDkGray"},
};

struct CharsetName {
    TFontCharset value;
    const char* name;
};

constexpr CharsetName kCharsetNames[] = {
    {ANSI_CHARSET, "ANSI_CHARSET"},
    {DEFAULT_CHARSET, "DEFAULT_CHARSET"},
    {SYMBOL_CHARSET, "SYMBOL_CHARSET"},
    {MAC_CHARSET, "MAC_CHARSET"},
    {SHIFTJIS_CHARSET, "SHIFTJIS_CHARSET"},
    {HANGEUL_CHARSET, "HANGEUL_CHARSET"},
    {JOHAB_CHARSET, "JOHAB_CHARSET"},
    {GB2312_CHARSET, "GB2312_CHARSET"},
    {CHINESEBIG5_CHARSET, "CHINESEBIG5_CHARSET"},
    {GREEK_CHARSET, "GREEK_CHARSET"},
    {TURKISH_CHARSET, "TURKISH_CHARSET"},
    {VIETNAMESE_CHARSET, "VIETNAMESE_CHARSET"},
    {HEBREW_CHARSET, "HEBREW_CHARSET"},
    {ARABIC_CHARSET, "ARABIC_CHARSET"},
    {BALTIC_CHARSET, "BALTIC_CHARSET"},
    {RUSSIAN_CHARSET, "RUSSIAN_CHARSET"},
    {THAI_CHARSET, "THAI_CHARSET"},
    {EASTEUROPE_CHARSET, "EASTEUROPE_CHARSET"},
    {OEM_CHARSET, "OEM_CHARSET"},
};

// a * b / c rounded half away from zero, as the classic MulDiv.
int MulDiv(int a, int b, int c)
{
    const long long p = static_cast<long long>(a) * b;
    const long long q = (p >= 0 ? p + c / 2 : p - c / 2) / c;
    return static_cast<int>(q);
}

} // namespace

std::uint32_t ColorToRGB(TColor color)
{
    const auto raw = static_cast<std::uint32_t>(color);
    if (raw & 0x80000000u) {
        const std::uint32_t index = raw & 0xFFu;
        return index < kSystemColors.size() ? kSystemColors[index] : 0u;
    }
    // clNone (0x1FFFFFFF) keeps its white low bytes, clDefault (0x20000000)
    // its black ones; palette-relative flags in the top byte are dropped.
    return raw & 0x00FFFFFFu;
}

QString ColorToIdent(TColor color)
{
    for (const auto& entry : kColorNames)
        if (entry.value == color)
            return QString::fromLatin1(entry.name);
    return QString();
}

bool IdentToColor(const QString& ident, TColor& color)
{
    for (const auto& entry : kColorNames) {
        if (ident.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0) {
            color = entry.value;
            return true;
        }
    }
    return false;
}

QStringList ColorIdents()
{
    QStringList idents;
    for (const auto& entry : kColorNames)
        idents.append(QString::fromLatin1(entry.name));
    return idents;
}

QStringList CharsetIdents()
{
    QStringList idents;
    for (const auto& entry : kCharsetNames)
        idents.append(QString::fromLatin1(entry.name));
    return idents;
}

QString CharsetToIdent(TFontCharset charset)
{
    for (const auto& entry : kCharsetNames)
        if (entry.value == charset)
            return QString::fromLatin1(entry.name);
    return QString();
}

bool IdentToCharset(const QString& ident, TFontCharset& charset)
{
    for (const auto& entry : kCharsetNames) {
        if (ident.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0) {
            charset = entry.value;
            return true;
        }
    }
    return false;
}

// --- TFont ---------------------------------------------------------------------

TFont::TFont(QObject* parent) : TPersistent(parent) {}

void TFont::Changed()
{
    if (OnChange)
        OnChange();
}

void TFont::SetCharset(TFontCharset value)
{
    if (FCharset == value)
        return;
    FCharset = value;
    Changed();
}

void TFont::SetColor(TColor value)
{
    if (FColor == value)
        return;
    FColor = value;
    Changed();
}

void TFont::SetHeight(int value)
{
    if (FHeight == value)
        return;
    FHeight = value;
    Changed();
}

void TFont::SetName(const QString& value)
{
    // An empty name would select an arbitrary face; the classic font keeps
    // its old name then.
    if (value.isEmpty() || FName == value)
        return;
    FName = value;
    Changed();
}

void TFont::SetPitch(TFontPitch value)
{
    if (FPitch == value)
        return;
    FPitch = value;
    Changed();
}

int TFont::Size() const
{
    return -MulDiv(FHeight, 72, kScreenPixelsPerInch);
}

void TFont::SetSize(int points)
{
    SetHeight(-MulDiv(points, kScreenPixelsPerInch, 72));
}

void TFont::SetStyle(TFontStyles value)
{
    if (FStyle == value)
        return;
    FStyle = value;
    Changed();
}

void TFont::SetOrientation(int tenthsOfDegree)
{
    if (FOrientation == tenthsOfDegree)
        return;
    FOrientation = tenthsOfDegree;
    Changed();
}

void TFont::Assign(const TPersistent* source)
{
    const auto* other = qobject_cast<const TFont*>(source);
    if (!other) {
        TPersistent::Assign(source);
        return;
    }
    if (other == this || Equals(*other))
        return;
    FCharset = other->FCharset;
    FColor = other->FColor;
    FHeight = other->FHeight;
    FName = other->FName;
    FPitch = other->FPitch;
    FStyle = other->FStyle;
    FOrientation = other->FOrientation;
    Changed(); // once for the whole copy, not once per field
}

bool TFont::Equals(const TFont& other) const
{
    return FCharset == other.FCharset && FColor == other.FColor && FHeight == other.FHeight
        && FName == other.FName && FPitch == other.FPitch && FStyle == other.FStyle
        && FOrientation == other.FOrientation;
}

} // namespace vorel
