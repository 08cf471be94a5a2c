#pragma once
// One PDF file being written: the catalogue, the page tree in nodes of ten
// pages, each page with its content stream and resources, the fonts, the
// pictures, the document information, the cross-reference table and the
// trailer.
//
// Object numbers: 1 catalogue, 2 information, 3 root page tree; from 4 on in
// order of first use: page-tree node, page, contents, length, procedure set,
// resources (per page), fonts and pictures as they are first met, then at
// the end each font's encoding, descriptor and file objects and each
// picture's length object.
//
// Callers give positions in page coordinates of report pixels (1/96 inch,
// y downwards from the page's top); the document turns them into PDF units
// (1/72 inch, y upwards from the bottom), so an A4 page of 794 x 1123
// pixels becomes a 595.5 x 842.25 point A4 page.

#include "export/pdf_cid_fonts.h"
#include "export/pdf_archive.h"
#include "export/pdf_drawing.h"
#include "export/pdf_filters.h"
#include "export/pdf_fonts.h"
#include "export/pdf_object_writer.h"
#include "graphics/gdi_paint.h"
#include "graphics/graphics_types.h"
#include "graphics/text_shaping.h"

#include <QCryptographicHash>
#include <QHash>
#include <QImage>
#include <QList>
#include <optional>
#include <vector>

namespace vorel {

class TKVProperty;

class TPdfDocument {
public:
    // ansiCodePage: the code page the default character set stands for.
    // With archive the file is PDF/A-2b: version 1.7, XMP metadata, an sRGB
    // output intent, a file identifier, and Flate where LZW was asked.
    // embedFonts (and always PDF/A): every text is drawn glyph by glyph from
    // embedded Unicode subsets of the faces; else the classic fonts.
    TPdfDocument(TPdfSink sink, TKVXECompression compression, TKVXECompressionMethod method, int ansiCodePage,
        std::optional<TPdfArchive> archive = std::nullopt,
        bool embedFonts = false);
    TPdfDocument(const TPdfDocument&) = delete;
    TPdfDocument& operator=(const TPdfDocument&) = delete;

    // Ends the page in progress and starts the next one; size in report pixels.
    void StartPage(int widthPixels, int heightPixels);

    // A text whose cell's top left corner is at (left, top); dx: the advance
    // of each UTF-16 unit, or nullptr for the face's own.
    void WriteText(const TFont& font, QStringView text, int left, int top, const int* dx = nullptr);
    // A text record with whatever it needs beyond that: rotation, scaling,
    // underline and strike-out, its backgrounds and its clip rectangle.
    void WriteTextRun(const TPdfText& text);
    // An outline and/or fill: solid colours, hatches, pens of every style.
    void WriteShape(const TPdfShape& shape);
    // A picture with its unit square (0..1, y down) mapped to page pixels.
    // Equal pictures share one image object.
    void WritePicture(const QImage& image, const QTransform& unitToPage);
    // Clips what follows to region (page pixels), or ends the clipping.
    void SetClip(const std::optional<QPainterPath>& region);
    // A bookmark to page (from 0, a page already started) at the point
    // (left, top) in its report pixels. Bookmarks stand in the order given.
    void AddBookmark(const QString& title, int page, double leftPixels, double topPixels);
    // Ends the last page (starting an empty one when there was none) and
    // writes the fonts, pictures, information, page tree, bookmarks,
    // catalogue, cross-reference table and trailer.
    void Finish(const TPdfInfo& info);

    int PageCount() const { return FPageCount; }
    bool PdfA() const { return FArchive.has_value(); }
    const TKVXPDFFonts& Fonts() const { return FFonts; }

private:
    // What every text in one font state shares, worked out on the first
    // text in it: the face, the character set and its code page, and the
    // opening lines of a text object whose text is one run in that code
    // page (the common case).
    struct TTextFont {
        // The font state it stands for (as TFont::Equals compares).
        QString Name;
        TFontCharset Charset = DEFAULT_CHARSET;
        TColor Color = clBlack;
        int Height = 0;
        TFontPitch Pitch = fpDefault;
        TFontStyles Style;
        int Orientation = 0;

        TFontFacePtr Face;
        TFontCharset ResolvedCharset = ANSI_CHARSET;
        bool Symbol = false; // low bytes, one run
        int CodePage = 1252; // of the single run when not Symbol
        QByteArray Size; // the Tf operand
        QByteArray Colour; // "r g b rg"
        QByteArray Leading; // "l TL"
        int RunFont = -1; // font index of the single run; -1 until first used
        QByteArray RunHead; // BT, colour, font and leading lines of the single run
        // The embedded font of the face at its size, and the CID of each
        // character below kPlainChars (kPlainUnknown until first met,
        // kPlainOther for one the fast way does not take).
        int PlainFont = -1;
        std::vector<std::int32_t> PlainCids;
        QByteArray PlainSelect; // the font and size

        bool Matches(const TFont& font) const;
    };
    TTextFont& TextFont(const TFont& font);
    static constexpr char16_t kPlainChars = 0x0300;
    static constexpr std::int32_t kPlainUnknown = -1;
    static constexpr std::int32_t kPlainOther = -2;
    void EndPage();
    double X(double pixels) const { return pixels * kPdfUnitsPerPixel; }
    double Y(double pixels) const { return (FPageHeight - pixels) * kPdfUnitsPerPixel; }
    // The text operators from "BT" to "ET"; position places the first run
    // ("x y Td").
    void ShowText(const TFont& font, const TFontFace& face, QStringView text, const QByteArray& position);
    // The same with the embedded fonts: the text's glyphs at the report's
    // advances (position: "x y Td " placing the baseline's left end).
    void ShowGlyphs(const TTextFont& style, QStringView text, const int* dx, QByteArrayView position);
    // Its fast way for text in the face's Latin letters at the face's own
    // advances; false (nothing written) for any other text.
    // origin: "x y", the baseline's left end.
    bool ShowPlainGlyphs(TTextFont& style, QStringView text, QByteArrayView origin);
    // Ends the text object plain texts keep open, before anything else is drawn.
    void CloseText();
    // Page pixels to PDF units (y upwards from the page's bottom).
    QTransform PageToPdf() const;
    // The path's construction operators, in PDF units.
    QByteArray PathOperators(const QPainterPath& path) const;
    QByteArray PolygonOperators(const QPolygonF& polygon) const;
    void WriteHatch(const QPainterPath& path, const TPdfFill& fill);

    struct TNode {
        int Object = 0;
        QList<int> Pages;
    };
    struct TImage {
        int Object = 0;
        QImage Image;
    };

    void WriteBookmarks(int outlinesObject);
    void WriteCatalog(int outlinesObject, const TPdfInfo& info);

    struct TPageRef {
        int Object = 0;
        int Height = 0; // report pixels
    };
    struct TBookmark {
        QString Title;
        int PageObject = 0;
        double Left = 0, Top = 0; // PDF units
    };

    TPdfWriter FPdf;
    std::optional<TPdfArchive> FArchive;
    // Of every byte written, for the file identifier of PDF/A.
    QCryptographicHash FHash{QCryptographicHash::Md5};
    QList<TPageRef> FPageRefs;
    QList<TBookmark> FBookmarks;
    TKVXECompression FCompression;
    TKVXECompressionMethod FMethod;
    int FAnsiCodePage;
    TKVXPDFFonts FFonts;
    QList<TNode> FNodes;
    QList<TImage> FImages; // in order of first use: /Im1, /Im2, ...
    QMultiHash<std::size_t, int> FImageByHash; // pixel hash -> index in FImages
    int FPageCount = 0;
    bool FPageOpen = false;
    bool FClipOpen = false; // a "q" with a clip path waits for its "Q"
    int FPageHeight = 0; // report pixels
    int FPageWidth = 0; // report pixels
    // The objects of the page in progress.
    int FContents = 0, FLength = 0, FProcSet = 0, FResources = 0;
    QList<int> FPageFonts; // indexes into FFonts used on the page
    QList<int> FPageCidFonts; // indexes into FCidFonts used on the page
    bool FEmbedFonts = false;
    // Plain texts in a row share one text object; its colour and font.
    bool FTextOpen = false;
    QByteArray FTextColour;
    QByteArray FTextSelect;
    TPdfCidFonts FCidFonts;
    TShapedText FShaped; // reused from text to text
    QList<int> FPageImages; // indexes into FImages used on the page
    std::vector<TTextFont> FTextFonts;
    std::size_t FLastTextFont = 0; // the entry found last
};

} // namespace vorel
