#pragma once
// The measure-or-render operation of rich text: lays a QTextDocument (as
// rtf_reader.h builds it, or from HTML) into a rectangle on any canvas and
// reports the bottom of the laid-out text. Drawing goes through the canvas's
// text calls, one ExtTextOut per run of one font on a line, so on a page
// canvas every run becomes an EMF text record with its own font and colour
// that the export filters read; pictures go through StretchImage.
//
// Line breaking follows the one measuring service (text_measure.h) and the
// rules of the formatted text drawing: advances are the service's per-font
// character widths, lines break at blanks, explicit line breaks (\line)
// are honoured, a word longer than the line stands alone and is not split,
// blanks at a wrap are dropped and trailing blanks take no width. A word may
// change font midway; a line is as high as its highest ascent plus its
// deepest descent, and every run on it sits on one baseline.
//
// Units: the document's lengths are report pixels (1/96 inch); the layout
// works in the canvas's logical units at the resolution it is built for
// (96 for pages and the preview's page coordinates).

#include "graphics/canvas.h"

#include <QImage>
#include <QList>
#include <QString>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

class QTextDocument;

namespace vorel {

// One character formatting of the document, resolved to a face.
struct TRichTextStyle {
    QString FontName;
    int FontHeight = -13; // logical units, negative: the character (em) height
    TFontStyles Style;
    TFontCharset Charset = DEFAULT_CHARSET;
    bool HasColor = false; // false: the automatic colour (the canvas font's)
    TColor Color = clBlack;
    bool HasBackground = false;
    TColor Background = clWhite;
    TFontFacePtr Face;
};

// A paragraph of the document as the layout reads it.
struct TRichTextParagraph {
    QString Text; // tabs, U+2028 line breaks, U+FFFC pictures; soft hyphens removed
    std::vector<int> Advance; // per UTF-16 unit in logical units (0: low surrogates, tabs, breaks)
    std::vector<int> Style; // per UTF-16 unit: style index, or -1 - picture index
    Qt::Alignment Align = Qt::AlignLeft; // AlignLeft, AlignRight, AlignHCenter or AlignJustify
    int LeftIndent = 0, RightIndent = 0, FirstIndent = 0; // logical units; FirstIndent relative to LeftIndent
    int SpaceBefore = 0, SpaceAfter = 0; // logical units
    std::vector<int> Tabs; // tab stops in logical units from the rectangle's left, ascending
    int LineHeightType = 0; // QTextBlockFormat::LineHeightTypes: 0 single, 1 proportional (%), 2 fixed, 3 minimum
    qreal LineHeight = 0; // percent for proportional, logical units for fixed and minimum
    int MarkStyle = 0; // the paragraph mark's style: the height of an empty paragraph
};

struct TRichTextPicture {
    QImage Image; // null when the document had no image under the name
    int Width = 0; // logical units
    int Height = 0;
};

// A run of one style (or one picture) placed on a line.
struct TRichTextPiece {
    int Paragraph = 0;
    int Start = 0; // UTF-16 index into the paragraph's text
    int Length = 0;
    int Style = 0; // style index, or -1 - picture index
    int X = 0; // logical units from the rectangle's left
    int Width = 0; // with the justification space it carries
    int FirstBlank = 0; // ordinal of its first blank among the line's justified blanks
};

struct TRichTextLine {
    int Paragraph = 0;
    int Top = 0; // logical units from the rectangle's top
    int Height = 0;
    int Ascent = 0; // baseline = Top + Ascent
    int FirstPiece = 0;
    int PieceCount = 0;
    int Left = 0; // x of the line's content (after alignment)
    int Width = 0; // natural width of the content (justification not included)
    int ExtraPerBlank = 0; // justification: every blank after the first word grows by this
    int ExtraRemainder = 0; // ... and the first ExtraRemainder of them by one more
    int JustifyFrom = 0; // paragraph index of the first blank that justification stretches
};

struct TRichTextLines {
    int Width = -1; // the width they were laid out for
    std::vector<TRichTextLine> Lines;
    std::vector<TRichTextPiece> Pieces;
    int Height = 0; // logical units, paragraph spacing included
    int MinLeft = 0; // leftmost and rightmost ink: drawing clips only when they leave the rectangle
    int MaxRight = 0;
};

// The document read once; the line breaking is kept for the last width, so
// a measuring pass and the painting pass that follows at the same width lay
// the text out once. Holds no reference to the document.
class TRichTextLayout {
public:
    explicit TRichTextLayout(const QTextDocument& doc, int pixelsPerInch = kScreenPixelsPerInch);

    int PixelsPerInch() const { return FPixelsPerInch; }
    const std::vector<TRichTextParagraph>& Paragraphs() const { return FParagraphs; }
    const std::vector<TRichTextStyle>& Styles() const { return FStyles; }
    const std::vector<TRichTextPicture>& Pictures() const { return FPictures; }

    // The lines at a width in logical units (negative widths count as 0).
    const TRichTextLines& Lines(int width);
    int Height(int width) { return Lines(width).Height; }
    // Lays the text out into rect from its top and, unless measureOnly,
    // draws it; returns the bottom of the laid-out text (rect.Top + Height),
    // which rect.Bottom does not limit. Drawing leaves out lines that start
    // at or below rect.Bottom and clips to rect when the text leaves it. The
    // canvas's font, brush and text alignment are as before afterwards; its
    // font colour is the colour of text in the automatic colour.
    int Render(TCanvas& canvas, const TRect& rect, bool measureOnly);

private:
    struct StyleKey {
        QString Name;
        int Height;
        int Style;
        int Charset;
        bool HasColor;
        int Color;
        bool HasBackground;
        int Background;
        auto Tie() const { return std::tie(Name, Height, Style, Charset, HasColor, Color, HasBackground, Background); }
        bool operator<(const StyleKey& o) const { return Tie() < o.Tie(); }
    };
    int StyleIndex(const StyleKey& key);
    void Read(const QTextDocument& doc);
    void LayoutParagraph(int index, int width, int& y, TRichTextLines& out) const;
    int NextTab(const TRichTextParagraph& p, int x) const;
    void DrawPiece(TCanvas& canvas, const TRect& rect, const TRichTextLine& line, const TRichTextPiece& piece,
        TColor autoColor, std::vector<int>& dx);

    int FPixelsPerInch;
    int FDefaultTab = 48; // logical units between default tab stops
    std::vector<TRichTextParagraph> FParagraphs;
    std::vector<TRichTextStyle> FStyles;
    std::vector<TRichTextPicture> FPictures;
    std::map<StyleKey, int> FStyleIndex;
    TRichTextLines FLines;
};

// Lays the document into rect on the canvas (reading it at the canvas's
// resolution), drawing unless measureOnly; returns the bottom of the text.
// For repeated measuring keep a TRichTextLayout instead.
int LayoutRichText(const QTextDocument& doc, TCanvas& canvas, const TRect& rect, bool measureOnly);

} // namespace vorel
