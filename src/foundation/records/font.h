#pragma once
// Colours and the persistent font description. These are plain data (Qt Core
// only) so that the shared records, the report model and form files can hold
// them; graphics/ turns them into Qt fonts, pens and brushes and measures.

#include "foundation/components/component.h"

#include <QFlags>
#include <QString>
#include <cstdint>
#include <functional>

namespace vorel {

// 0x00BBGGRR; values with the top bit set name a system colour (its index in
// the low byte), resolved to fixed values by ColorToRGB.
enum TColor : std::int32_t {
    clBlack = 0x000000,
    clMaroon = 0x000080,
    clGreen = 0x008000,
    clOlive = 0x008080,
    clNavy = 0x800000,
    clPurple = 0x800080,
    clTeal = 0x808000,
    clGray = 0x808080,
    clSilver = 0xC0C0C0,
    clRed = 0x0000FF,
    clLime = 0x00FF00,
    clYellow = 0x00FFFF,
    clBlue = 0xFF0000,
    clFuchsia = 0xFF00FF,
    clAqua = 0xFFFF00,
    clLtGray = 0xC0C0C0,
    clDkGray = 0x808080,
    clWhite = 0xFFFFFF,
    clMoneyGreen = 0xC0DCC0,
    clSkyBlue = 0xF0CAA6,
    clCream = 0xF0FBFF,
    clMedGray = 0xA4A0A0,
    clNone = 0x1FFFFFFF,
    clDefault = 0x20000000,
    // System colours: 0x80000000 | index.
    clScrollBar = std::int32_t(0x80000000),
    clBackground = std::int32_t(0x80000001),
    clActiveCaption = std::int32_t(0x80000002),
    clInactiveCaption = std::int32_t(0x80000003),
    clMenu = std::int32_t(0x80000004),
    clWindow = std::int32_t(0x80000005),
    clWindowFrame = std::int32_t(0x80000006),
    clMenuText = std::int32_t(0x80000007),
    clWindowText = std::int32_t(0x80000008),
    clCaptionText = std::int32_t(0x80000009),
    clActiveBorder = std::int32_t(0x8000000A),
    clInactiveBorder = std::int32_t(0x8000000B),
    clAppWorkSpace = std::int32_t(0x8000000C),
    clHighlight = std::int32_t(0x8000000D),
    clHighlightText = std::int32_t(0x8000000E),
    clBtnFace = std::int32_t(0x8000000F),
    clBtnShadow = std::int32_t(0x80000010),
    clGrayText = std::int32_t(0x80000011),
    clBtnText = std::int32_t(0x80000012),
    clInactiveCaptionText = std::int32_t(0x80000013),
    clBtnHighlight = std::int32_t(0x80000014),
    cl3DDkShadow = std::int32_t(0x80000015),
    cl3DLight = std::int32_t(0x80000016),
    clInfoText = std::int32_t(0x80000017),
    clInfoBk = std::int32_t(0x80000018)
};

// The RGB value (0x00BBGGRR) of a colour: system colours resolve to the
// fixed values of the classic default scheme; clNone and clDefault give white
// and black respectively.
std::uint32_t ColorToRGB(TColor color);
inline int GetRValue(std::uint32_t rgb) { return int(rgb & 0xFF); }
inline int GetGValue(std::uint32_t rgb) { return int((rgb >> 8) & 0xFF); }
inline int GetBValue(std::uint32_t rgb) { return int((rgb >> 16) & 0xFF); }
inline TColor RGBColor(int r, int g, int b) { return TColor((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16)); }
// "clRed" for named colours, else empty; the reverse returns false when the
// name is unknown. Form files store named colours by identifier.
QString ColorToIdent(TColor color);
bool IdentToColor(const QString& ident, TColor& color);
// Every colour identifier IdentToColor accepts, those ColorToIdent writes first.
QStringList ColorIdents();

// Character sets as the classic logical font record numbers them.
using TFontCharset = std::uint8_t;
constexpr TFontCharset ANSI_CHARSET = 0;
constexpr TFontCharset DEFAULT_CHARSET = 1;
constexpr TFontCharset SYMBOL_CHARSET = 2;
constexpr TFontCharset MAC_CHARSET = 77;
constexpr TFontCharset SHIFTJIS_CHARSET = 128;
constexpr TFontCharset HANGEUL_CHARSET = 129;
constexpr TFontCharset JOHAB_CHARSET = 130;
constexpr TFontCharset GB2312_CHARSET = 134;
constexpr TFontCharset CHINESEBIG5_CHARSET = 136;
constexpr TFontCharset GREEK_CHARSET = 161;
constexpr TFontCharset TURKISH_CHARSET = 162;
constexpr TFontCharset VIETNAMESE_CHARSET = 163;
constexpr TFontCharset HEBREW_CHARSET = 177;
constexpr TFontCharset ARABIC_CHARSET = 178;
constexpr TFontCharset BALTIC_CHARSET = 186;
constexpr TFontCharset RUSSIAN_CHARSET = 204;
constexpr TFontCharset THAI_CHARSET = 222;
constexpr TFontCharset EASTEUROPE_CHARSET = 238;
constexpr TFontCharset OEM_CHARSET = 255;
QString CharsetToIdent(TFontCharset charset);
bool IdentToCharset(const QString& ident, TFontCharset& charset);
// Every character set identifier, in the order of the constants above.
QStringList CharsetIdents();

class TFontEnums {
    Q_GADGET
public:
    enum TFontStyle { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
    Q_DECLARE_FLAGS(TFontStyles, TFontStyle)
    Q_FLAG(TFontStyles)
    Q_CLASSINFO("Doc.fsBold", "Bold.")
    Q_CLASSINFO("Doc.fsItalic", "Italic.")
    Q_CLASSINFO("Doc.fsUnderline", "Underlined.")
    Q_CLASSINFO("Doc.fsStrikeOut", "Struck out.")
    enum TFontPitch { fpDefault, fpVariable, fpFixed };
    Q_ENUM(TFontPitch)
    Q_CLASSINFO("Doc.fpDefault", "The pitch the face has.")
    Q_CLASSINFO("Doc.fpVariable", "Prefer a proportional face when the named face is missing.")
    Q_CLASSINFO("Doc.fpFixed", "Prefer a fixed-pitch (monospaced) face when the named face is missing.")
};
using TFontStyle = TFontEnums::TFontStyle;
using TFontStyles = TFontEnums::TFontStyles;
using TFontPitch = TFontEnums::TFontPitch;
using enum TFontEnums::TFontStyle;
using enum TFontEnums::TFontPitch;
Q_DECLARE_OPERATORS_FOR_FLAGS(TFontEnums::TFontStyles)

// Report pixels are 1/96 inch; a font's Height in pixels is negative for the
// character height (the classic convention), Size is in points.
constexpr int kScreenPixelsPerInch = 96;

class TFont : public TPersistent {
    Q_OBJECT
    Q_CLASSINFO("Doc", "A font: face, size, style, colour and character set. Controls, highlights and the report "
                       "each have one.")
    Q_PROPERTY(int Charset READ Charset WRITE SetCharsetInt)
    Q_CLASSINFO("Doc.Charset", "The character set of the font (see Character sets); DEFAULT_CHARSET stands for the "
                               "report's code page where one is needed (the classic PDF fonts).")
    Q_PROPERTY(vorel::TColor Color READ Color WRITE SetColor)
    Q_CLASSINFO("Doc.Color", "The colour of the text.")
    Q_PROPERTY(int Height READ Height WRITE SetHeight)
    Q_CLASSINFO("Doc.Height", "The size in report pixels (1/96 inch): negative for the character height, as Size "
                              "sets it, positive for the cell height.")
    Q_PROPERTY(QString Name READ Name WRITE SetName)
    Q_CLASSINFO("Doc.Name", "The face ('Arial'); Arial, Times New Roman and Courier New print with their "
                            "metric-compatible Liberation faces.")
    Q_PROPERTY(vorel::TFontEnums::TFontPitch Pitch READ Pitch WRITE SetPitch)
    Q_CLASSINFO("Doc.Pitch", "Fixed or proportional, a hint for choosing a face when the named one is missing.")
    Q_PROPERTY(int Size READ Size WRITE SetSize STORED false)
    Q_CLASSINFO("Doc.Size", "The size in points, derived from Height (Height = -Size x 96 / 72); not stored in forms.")
    Q_PROPERTY(vorel::TFontEnums::TFontStyles Style READ Style WRITE SetStyle)
    Q_CLASSINFO("Doc.Style", "Bold, italic, underlined and struck out, in any combination.")
public:
    // The framework defaults: "MS Sans Serif", 8 pt (Height -11), window text
    // colour, default character set and pitch, no style.
    Q_INVOKABLE explicit TFont(QObject* parent = nullptr);

    TFontCharset Charset() const { return FCharset; }
    void SetCharset(TFontCharset value);
    void SetCharsetInt(int value) { SetCharset(TFontCharset(value)); }
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    int Height() const { return FHeight; } // report pixels, negative = character height
    void SetHeight(int value);
    QString Name() const { return FName; }
    void SetName(const QString& value);
    TFontPitch Pitch() const { return FPitch; }
    void SetPitch(TFontPitch value);
    int Size() const; // points: -Height * 72 / 96, rounded
    void SetSize(int points); // Height = -round(points * 96 / 72)
    TFontStyles Style() const { return FStyle; }
    void SetStyle(TFontStyles value);
    // Rotation in tenths of a degree (the logical font's escapement); not
    // published, set by the controls that rotate text.
    int Orientation() const { return FOrientation; }
    void SetOrientation(int tenthsOfDegree);

    void Assign(const TPersistent* source) override;
    bool Equals(const TFont& other) const;

    std::function<void()> OnChange;

private:
    void Changed();
    TFontCharset FCharset = DEFAULT_CHARSET;
    TColor FColor = clWindowText;
    int FHeight = -11;
    QString FName = QStringLiteral("MS Sans Serif");
    TFontPitch FPitch = fpDefault;
    TFontStyles FStyle;
    int FOrientation = 0;
};

} // namespace vorel

Q_DECLARE_METATYPE(vorel::TColor)
