#pragma once
// The SVG device of the record interpreter (graphics/emf_interpreter.h): it
// writes what the interpreter decides a page draws, in the page's order,
// as SVG elements in page pixels (1/96 inch, y downwards):
// - figures as <path> with the pen and brush (a one-pixel pen one pixel
//   wide, a wider one at its width, the classic dash patterns, hatches as
//   8-pixel patterns lined up with the page);
// - each text record as one <text> holding its characters, so that a
//   viewer finds and selects them: the record's font as a CSS class
//   (family, with the face the page measured with and a generic family
//   after it, size, weight, style, decorations, colour), and each character
//   at the place the page gave it, each word a span that starts where the
//   page starts it (texts that need shaping as one run stretched to the
//   page's width, as the page draws them);
// - pictures as embedded PNG images, each distinct one stored once;
// - the clip region as a clip group around what it clips.
// Text records given as glyph indices name no characters and are left out,
// as in the PDF.

#include "graphics/emf_interpreter.h"
#include "graphics/text_measure.h"

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QMultiHash>
#include <QString>
#include <vector>

namespace vorel {

class TSvgDrawingWriter final : private TEmfDevice {
public:
    TSvgDrawingWriter() : FInterpreter(*this) {}

    // A new page metafile, drawn with its top left corner at (x, y) page
    // pixels of the picture.
    void BeginPage(int x, int y, int codePage);
    // The enumerator's current record, after it applied it.
    void Record(const TEmfEnumerator& dc) { FInterpreter.Record(dc); }
    // Closes the page's groups (nothing when no page is open).
    void EndPage();
    bool PageOpen() const { return FPageOpen; }

    // What comes before Body(): the XML declaration, the root element of a
    // picture width x height page pixels on white paper, the title, and the
    // styles of the texts drawn so far. Body() ends the document with "</svg>".
    QByteArray Head(int width, int height, const QString& title) const;
    const QByteArray& Body() const { return FBody; }
    static QByteArray Tail() { return QByteArrayLiteral("</svg>\n"); }

    // Forgets everything drawn (after a file is written).
    void Clear();

private:
    void Shape(const TEmfDrawContext& dc, TEmfShape& shape) override;
    void Text(const TEmfDrawContext& dc, const TEmfText& text) override;
    void Picture(const TEmfDrawContext& dc, const TEmfPicture& picture) override;
    void SetClip(const std::optional<QPainterPath>& region) override;

    void CloseClip();
    // The fill attribute's value for a brush ("#rrggbb" or a pattern).
    QByteArray FillOf(const TEmfReplayState& s, const TGdiBrush& brush);
    // A filled polygon without outline (text backgrounds).
    void FillPolygon(const QPolygonF& polygon, std::uint32_t color);
    // The CSS class of the selected font and text colour, and its face.
    int TextClass(const TEmfReplayState& s);
    // The places of the characters of text[from, to) (FAdvances holds the
    // advances), the first at x, as an x list; returns the place after them.
    double Places(QByteArray& out, QStringView text, qsizetype from, qsizetype to, double x) const;
    // The id of the picture, written into the body the first time.
    int PictureId(const QImage& image);

    TEmfInterpreter FInterpreter;
    QByteArray FBody;
    bool FPageOpen = false;
    bool FClipOpen = false;
    int FNextId = 0; // clip paths, hatches and pictures share one numbering

    // Text classes: the CSS declarations, numbered in order of first use.
    std::vector<QByteArray> FClasses;
    QHash<QByteArray, int> FClassIndex;
    TLogFont FClassFont; // the last class looked up, and its face
    std::uint32_t FClassColor = 0;
    int FClass = -1;
    TFontFacePtr FFace;

    QHash<QByteArray, int> FHatches; // "style colour background" -> id
    QMultiHash<std::size_t, std::pair<QImage, int>> FPictures; // by a hash of the pixels
    std::int64_t FPicturePixels = 0; // stored since the last Clear
    std::vector<int> FAdvances; // scratch: advances of a text's units
};

} // namespace vorel
