// The vector drawing of a PDF page: outlines and fills with the classic pen
// and brush styles, text records with rotation, decorations, backgrounds and
// clipping, and the clip regions of the page.

#include "export/pdf_document.h"

#include "graphics/text_measure.h"

#include <QFontMetricsF>

namespace vorel {

namespace {


// A hatched brush repeats every 8 device pixels, as the classic 8 x 8
// hatch patterns do; its lines are one pixel wide.
constexpr double kHatchSpacing = 8; // page pixels

// Width, caps, joins and dashes of a pen, colour aside.
QByteArray PenGeometry(const TPdfStroke& stroke, bool dashed)
{
    QByteArray out = PdfReal(stroke.Width * kPdfUnitsPerPixel) + " w ";
    int cap = 0; // butt: a one-pixel line ends where its last pixel ends
    int join = 0; // miter
    if (!stroke.Cosmetic) {
        const int endCap = stroke.Style & PS_ENDCAP_MASK;
        cap = endCap == PS_ENDCAP_FLAT ? 0 : endCap == PS_ENDCAP_SQUARE ? 2 : 1;
        const int joinBits = stroke.Style & PS_JOIN_MASK;
        join = joinBits == PS_JOIN_BEVEL ? 2 : joinBits == PS_JOIN_MITER ? 0 : 1;
    }
    out += PdfInt(cap) + " J " + PdfInt(join) + " j";
    const int style = stroke.Style & PS_STYLE_MASK;
    if (dashed && style >= PS_DASH && style <= PS_DASHDOTDOT) {
        QByteArray dash = " [";
        const double unit = stroke.Cosmetic ? 1 : stroke.Width;
        for (const double d : ClassicDashPattern(style, stroke.Cosmetic))
            dash += PdfReal(d * unit * kPdfUnitsPerPixel) + ' ';
        dash.chop(1);
        out += dash + "] 0 d";
    } else if (!dashed) {
        out += " [] 0 d";
    }
    return out;
}

// The width a viewer gives the text: the face's advances as they are, not
// rounded to whole pixels as the report measures them (the PDF fonts carry
// the face's widths, or a standard font's, which match them). Pixels.
double ShownWidth(const TFontFace& face, QStringView text)
{
    QList<quint32> glyphs;
    glyphs.reserve(text.size());
    double missing = 0; // characters the face lacks keep the report's advance
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            c = QChar::surrogateToUcs4(text[i], text[i + 1]), ++i;
        const std::uint32_t glyph = face.GlyphIndex(c);
        if (glyph != 0)
            glyphs.append(glyph);
        else
            missing += face.CharWidth(c);
    }
    QList<QPointF> advances(glyphs.size());
    if (!glyphs.isEmpty())
        face.RawFont().advancesForGlyphIndexes(glyphs.constData(), advances.data(), int(glyphs.size()),
            QRawFont::UseDesignMetrics);
    double width = missing;
    for (const QPointF& a : std::as_const(advances))
        width += a.x();
    return width;
}

} // namespace

QTransform TPdfDocument::PageToPdf() const
{
    return QTransform(kPdfUnitsPerPixel, 0, 0, -kPdfUnitsPerPixel, 0, FPageHeight * kPdfUnitsPerPixel);
}

QByteArray TPdfDocument::PathOperators(const QPainterPath& path) const
{
    QByteArray out;
    const int n = path.elementCount();
    QPointF start;
    QPointF last;
    auto point = [&](const QPointF& p) { return PdfReal(X(p.x())) + ' ' + PdfReal(Y(p.y())); };
    // A figure that ends where it started is closed, so that its first
    // corner is joined like the others.
    auto closeFigure = [&]() {
        if (!out.isEmpty() && qFuzzyCompare(start.x() + 1, last.x() + 1) && qFuzzyCompare(start.y() + 1, last.y() + 1))
            out += " h";
    };
    for (int i = 0; i < n; ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        switch (e.type) {
        case QPainterPath::MoveToElement:
            closeFigure();
            if (!out.isEmpty())
                out += "\r\n";
            start = last = e;
            out += point(e) + " m";
            break;
        case QPainterPath::LineToElement:
            last = e;
            out += "\r\n" + point(e) + " l";
            break;
        case QPainterPath::CurveToElement:
            if (i + 2 < n) {
                const QPointF c2 = path.elementAt(i + 1), end = path.elementAt(i + 2);
                out += "\r\n" + point(e) + ' ' + point(c2) + ' ' + point(end) + " c";
                last = end;
            }
            i += 2;
            break;
        default: break;
        }
    }
    closeFigure();
    return out;
}

QByteArray TPdfDocument::PolygonOperators(const QPolygonF& polygon) const
{
    QPainterPath path;
    path.addPolygon(polygon);
    path.closeSubpath();
    return PathOperators(path);
}

void TPdfDocument::WriteShape(const TPdfShape& shape)
{
    CloseText();
    const TPdfFill& fill = shape.Fill;
    const TPdfStroke& stroke = shape.Stroke;
    if (fill.Kind == TPdfFill::None && !stroke.Visible)
        return;
    const QByteArray path = PathOperators(shape.Path);
    if (path.isEmpty())
        return;
    if (!FPageOpen)
        StartPage(0, 0);
    const bool evenOdd = shape.Path.fillRule() == Qt::OddEvenFill;
    FPdf.WriteString("q");
    if (fill.Kind == TPdfFill::Solid && stroke.Visible && !stroke.GapColor) {
        // Filled and outlined in one go.
        FPdf.WriteString(PdfRgb(fill.Color) + " rg " + PdfRgb(stroke.Color) + " RG " + PenGeometry(stroke, true));
        FPdf.WriteString(path);
        FPdf.WriteString(evenOdd ? "B*" : "B");
        FPdf.WriteString("Q");
        return;
    }
    if (fill.Kind == TPdfFill::Solid || (fill.Kind == TPdfFill::Hatched && fill.Background)) {
        FPdf.WriteString(PdfRgb(fill.Kind == TPdfFill::Solid ? fill.Color : *fill.Background) + " rg");
        FPdf.WriteString(path);
        FPdf.WriteString(evenOdd ? "f*" : "f");
    }
    if (fill.Kind == TPdfFill::Hatched)
        WriteHatch(shape.Path, fill);
    if (stroke.Visible) {
        if (stroke.GapColor) {
            // Opaque background mode: the gaps between the dashes are
            // painted in the background colour first.
            FPdf.WriteString(PdfRgb(*stroke.GapColor) + " RG " + PenGeometry(stroke, false));
            FPdf.WriteString(path);
            FPdf.WriteString("S");
        }
        FPdf.WriteString(PdfRgb(stroke.Color) + " RG " + PenGeometry(stroke, true));
        FPdf.WriteString(path);
        FPdf.WriteString("S");
    }
    FPdf.WriteString("Q");
}

void TPdfDocument::WriteHatch(const QPainterPath& path, const TPdfFill& fill)
{
    // The hatch is drawn as lines clipped to the shape: it stays sharp at
    // any zoom, needs no pattern resources, and lines up with the page
    // (the classic brush origin) however the shape is placed. Only the part
    // on the page is hatched, whatever the path's extent.
    const QRectF box = path.boundingRect().intersected(QRectF(0, 0, FPageWidth, FPageHeight));
    if (box.isEmpty())
        return;
    FPdf.WriteString("q");
    FPdf.WriteString(PathOperators(path));
    FPdf.WriteString(path.fillRule() == Qt::OddEvenFill ? "W* n" : "W n");
    FPdf.WriteString(PdfRgb(fill.Color) + " RG " + PdfReal(kPdfUnitsPerPixel) + " w 0 J [] 0 d");
    auto segment = [&](double x1, double y1, double x2, double y2) {
        FPdf.WriteString(PdfReal(X(x1)) + ' ' + PdfReal(Y(y1)) + " m " + PdfReal(X(x2)) + ' ' + PdfReal(Y(y2)) + " l");
    };
    const double left = box.left(), right = box.right(), top = box.top(), bottom = box.bottom();
    auto first = [](double from) { return std::floor(from / kHatchSpacing) * kHatchSpacing; };
    const bool horizontal = fill.Hatch == HS_HORIZONTAL || fill.Hatch == HS_CROSS;
    const bool vertical = fill.Hatch == HS_VERTICAL || fill.Hatch == HS_CROSS;
    const bool falling = fill.Hatch == HS_FDIAGONAL || fill.Hatch == HS_DIAGCROSS;
    const bool rising = fill.Hatch == HS_BDIAGONAL || fill.Hatch == HS_DIAGCROSS;
    // Lines run through the middle of their pixels.
    if (horizontal)
        for (double y = first(top); y <= bottom; y += kHatchSpacing)
            segment(left, y + 0.5, right, y + 0.5);
    if (vertical)
        for (double x = first(left); x <= right; x += kHatchSpacing)
            segment(x + 0.5, top, x + 0.5, bottom);
    if (falling) // x - y constant: from the top left down to the bottom right
        for (double c = first(left - bottom); c <= right - top; c += kHatchSpacing)
            segment(top + c, top, bottom + c, bottom);
    if (rising) // x + y constant: from the bottom left up to the top right
        for (double c = first(left + top); c <= right + bottom; c += kHatchSpacing)
            segment(c - bottom, bottom, c - top, top);
    FPdf.WriteString("S");
    FPdf.WriteString("Q");
}

void TPdfDocument::WriteTextRun(const TPdfText& text)
{
    if (!text.Font)
        return;
    const TFont& font = *text.Font;
    const bool underline = font.Style().testFlag(fsUnderline);
    const bool strikeOut = font.Style().testFlag(fsStrikeOut);
    const QTransform& place = text.CellToPage;
    if (!text.CellBackground && !text.OpaqueArea && !text.Clip && !underline && !strikeOut && !text.Text.isEmpty()
        && place.type() <= QTransform::TxTranslate && place.dx() == std::floor(place.dx())
        && place.dy() == std::floor(place.dy())) {
        // Upright text in a plain cell: placed by its cell, nothing around it.
        WriteText(font, text.Text, int(place.dx()), int(place.dy()), text.Dx.empty() ? nullptr : text.Dx.data());
        return;
    }
    if (!FPageOpen)
        StartPage(0, 0);
    CloseText();
    const TFontFacePtr face = TTextMeasurer::Face(font);
    FPdf.WriteString("q");
    if (text.Clip) {
        FPdf.WriteString(PolygonOperators(*text.Clip));
        FPdf.WriteString("W n");
    }
    if (text.OpaqueArea) {
        FPdf.WriteString(PdfRgb(text.OpaqueColor) + " rg");
        FPdf.WriteString(PolygonOperators(*text.OpaqueArea));
        FPdf.WriteString("f");
    }
    // Text space: PDF units along the text, y upwards, the origin on the
    // baseline at the cell's left; rotation and scaling come with it.
    const double k = kPdfUnitsPerPixel;
    const QTransform textToCell(1 / k, 0, 0, -1 / k, 0, face->Ascent());
    FPdf.WriteString(PdfMatrix(textToCell * place * PageToPdf()) + " cm");
    const double width = text.Width * k;
    if (text.CellBackground) {
        FPdf.WriteString(PdfRgb(*text.CellBackground) + " rg");
        FPdf.WriteString("0 " + PdfReal(-face->Descent() * k) + ' ' + PdfReal(width) + ' ' + PdfReal(face->Height() * k)
            + " re f");
    }
    if (!text.Text.isEmpty() && FEmbedFonts) {
        ShowGlyphs(TextFont(font), text.Text, text.Dx.empty() ? nullptr : text.Dx.data(), "0 0 Td ");
    } else if (!text.Text.isEmpty()) {
        // The characters' own widths would end the text a little before or
        // after the report's whole-pixel advances; character spacing
        // spreads the difference, so the text ends where the report
        // measured it and a clip at its control's edge cuts only what the
        // report cuts.
        const double difference = text.Width - ShownWidth(*face, text.Text); // pixels
        if (std::abs(difference) > 0.01 && text.Width > 0)
            FPdf.WriteString(PdfReal(difference * k / double(text.Text.size())) + " Tc");
        ShowText(font, *face, text.Text, "0 0 Td ");
    }
    if ((underline || strikeOut) && width != 0) {
        // Where the face puts its lines: the underline below the baseline,
        // the strike-out above it, both as thick as the face says.
        const TFontFace::TDecoration decoration = face->Decoration();
        const double thickness = decoration.Thickness;
        QByteArray lines = PdfRgb(ColorToRGB(font.Color())) + " rg";
        auto bar = [&](double centre) { // pixels above the baseline
            lines += ' ' + PdfReal(0) + ' ' + PdfReal((centre - thickness / 2) * k) + ' ' + PdfReal(width) + ' '
                + PdfReal(thickness * k) + " re";
        };
        if (underline)
            bar(-decoration.UnderlineBelow);
        if (strikeOut)
            bar(decoration.StrikeOutAbove);
        FPdf.WriteString(lines + " f");
    }
    FPdf.WriteString("Q");
}

void TPdfDocument::SetClip(const std::optional<QPainterPath>& region)
{
    CloseText();
    if (FClipOpen) {
        FPdf.WriteString("Q");
        FClipOpen = false;
    }
    if (!region)
        return;
    if (!FPageOpen)
        StartPage(0, 0);
    QByteArray path = PathOperators(*region);
    if (path.isEmpty())
        path = "0 0 0 0 re"; // an empty region: nothing shows
    FPdf.WriteString("q");
    FPdf.WriteString(path);
    FPdf.WriteString(region->fillRule() == Qt::OddEvenFill ? "W* n" : "W n");
    FClipOpen = true;
}

} // namespace vorel
