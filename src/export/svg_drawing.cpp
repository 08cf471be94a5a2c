// The SVG device of the record interpreter: figures, text records and
// pictures as SVG elements.

#include "export/svg_drawing.h"
#include "export/picture_part.h"

#include "export/export_base.h"
#include "graphics/canvas.h"
#include "graphics/gdi_paint.h"
#include "graphics/text_shaping.h"

#include <QBuffer>
#include <QImageWriter>
#include <cmath>

namespace vorel {

namespace {

// The picture limits of the PDF: a picture of more pixels is scaled down to
// this many, and past the file's total the pictures are left out rather
// than exhausting memory (only hostile pages come near either).
constexpr std::int64_t kMaxPicturePixels = std::int64_t(1) << 22;
constexpr std::int64_t kMaxPicturePixelsPerFile = std::int64_t(1) << 26;

// The widest pen drawn, in page pixels (a hostile width would give a
// number no viewer takes).
constexpr double kMaxPenWidth = 10000;

constexpr int HS_HORIZONTAL = 0, HS_VERTICAL = 1, HS_FDIAGONAL = 2, HS_BDIAGONAL = 3, HS_CROSS = 4,
              HS_DIAGCROSS = 5;

// A coordinate: two decimals at most, no trailing zeros ("12", "12.5").
void Num(QByteArray& out, double v)
{
    if (!std::isfinite(v))
        v = 0;
    const double r = std::round(v * 100) / 100;
    if (r == std::floor(r) && std::abs(r) < 1e15) {
        out += QByteArray::number(qint64(r));
        return;
    }
    QByteArray text = QByteArray::number(r, 'f', 2);
    while (text.endsWith('0'))
        text.chop(1);
    out += text;
}

void Color(QByteArray& out, std::uint32_t bgr)
{
    static const char kHex[] = "0123456789abcdef";
    const std::uint8_t rgb[] = {std::uint8_t(bgr), std::uint8_t(bgr >> 8), std::uint8_t(bgr >> 16)};
    out += '#';
    for (std::uint8_t c : rgb) {
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
}

QByteArray ColorText(std::uint32_t bgr)
{
    QByteArray out;
    Color(out, bgr);
    return out;
}

// Path data; a figure that ends where it began is closed, so that a wide
// pen joins its corners there. An empty path is a point: nothing drawn, and
// as a clip path, nothing shown.
void PathData(QByteArray& out, const QPainterPath& path)
{
    const int n = path.elementCount();
    if (n == 0) {
        out += "M0 0";
        return;
    }
    auto point = [&out](const QPainterPath::Element& e) {
        Num(out, e.x);
        out += ' ';
        Num(out, e.y);
    };
    QPointF start;
    for (int i = 0; i < n; ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.type == QPainterPath::MoveToElement) {
            out += 'M';
            point(e);
            start = e;
            continue;
        }
        if (e.type == QPainterPath::LineToElement) {
            out += 'L';
            point(e);
        } else if (e.type == QPainterPath::CurveToElement && i + 2 < n) {
            // A curve's two further points follow it as curve data.
            out += 'C';
            point(e);
            out += ' ';
            point(path.elementAt(++i));
            out += ' ';
            point(path.elementAt(++i));
        } else {
            continue;
        }
        const bool last = i + 1 == n || path.elementAt(i + 1).isMoveTo();
        if (last && QPointF(path.elementAt(i)) == start)
            out += 'Z';
    }
}

void Matrix(QByteArray& out, const QTransform& t)
{
    out += "matrix(";
    const double v[] = {t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy()};
    for (int i = 0; i < 6; ++i) {
        if (i)
            out += ' ';
        if (i < 4) // scale and rotation: more digits than page coordinates need
            out += QByteArray::number(v[i], 'g', 8);
        else
            Num(out, v[i]);
    }
    out += ')';
}

void AppendUtf8(QByteArray& out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// The code point of the UTF-16 text at i (a pair counts once: i moves to
// its low half), with what XML cannot hold (control characters, lone
// surrogates, U+FFFE and U+FFFF) as U+FFFD, so the file stays well-formed.
char32_t CodePointAt(QStringView text, qsizetype& i)
{
    const char16_t u = text[i].unicode();
    if (QChar::isHighSurrogate(u)) {
        if (i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
            ++i;
            return QChar::surrogateToUcs4(u, text[i].unicode());
        }
        return 0xFFFD;
    }
    if (QChar::isLowSurrogate(u) || u == 0xFFFE || u == 0xFFFF || (u < 0x20 && u != '\t' && u != '\n' && u != '\r'))
        return 0xFFFD;
    return u;
}

// Text as XML character data (in an element or a double-quoted attribute).
void Escaped(QByteArray& out, QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char32_t c = CodePointAt(text, i);
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        // Kept as references: a parser would turn a raw carriage return into
        // a line feed.
        case '\t': out += "&#9;"; break;
        case '\n': out += "&#10;"; break;
        case '\r': out += "&#13;"; break;
        default: AppendUtf8(out, c); break;
        }
    }
}

// A family name as a CSS string.
QString CssString(const QString& name)
{
    QString quoted = name;
    quoted.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
    return u'\'' + quoted + u'\'';
}

// The generic family a viewer falls back to, from the face's classic
// pitch-and-family byte.
const char* GenericFamily(const TFontFace& face)
{
    if (face.IsFixedPitch())
        return "monospace";
    switch (face.PitchAndFamily() & 0xF0) {
    case 0x10: return "serif";
    case 0x30: return "monospace";
    case 0x40: return "cursive";
    default: return "sans-serif";
    }
}

// The pen's caps, joins and dashes as attributes, colour and width aside.
void PenGeometry(QByteArray& out, int style, bool cosmetic, double width)
{
    if (!cosmetic) {
        // A geometric pen has round ends and corners unless it says otherwise.
        switch (style & PS_ENDCAP_MASK) {
        case PS_ENDCAP_SQUARE: out += " stroke-linecap=\"square\""; break;
        case PS_ENDCAP_FLAT: break;
        default: out += " stroke-linecap=\"round\""; break;
        }
        switch (style & PS_JOIN_MASK) {
        case PS_JOIN_BEVEL: out += " stroke-linejoin=\"bevel\""; break;
        case PS_JOIN_MITER: break;
        default: out += " stroke-linejoin=\"round\""; break;
        }
    }
    const QList<qreal>& dashes = ClassicDashPattern(style & PS_STYLE_MASK, cosmetic);
    if (dashes.isEmpty())
        return;
    out += " stroke-dasharray=\"";
    for (qsizetype i = 0; i < dashes.size(); ++i) {
        if (i)
            out += ' ';
        Num(out, cosmetic ? dashes[i] : dashes[i] * width); // geometric dashes count in pen widths
    }
    out += '"';
}

} // namespace

// --- pages and the document -------------------------------------------------------------

void TSvgDrawingWriter::BeginPage(int x, int y, int codePage)
{
    EndPage();
    FInterpreter.Reset();
    FInterpreter.CodePage = codePage;
    if (x == 0 && y == 0) {
        FBody += "<g>\n";
    } else {
        FBody += "<g transform=\"translate(";
        Num(FBody, x);
        FBody += ' ';
        Num(FBody, y);
        FBody += ")\">\n";
    }
    FPageOpen = true;
}

void TSvgDrawingWriter::EndPage()
{
    if (!FPageOpen)
        return;
    CloseClip();
    FBody += "</g>\n";
    FPageOpen = false;
}

QByteArray TSvgDrawingWriter::Head(int width, int height, const QString& title) const
{
    QByteArray head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
                      "version=\"1.1\" width=\"";
    Num(head, width);
    head += "\" height=\"";
    Num(head, height);
    head += "\" viewBox=\"0 0 ";
    Num(head, width);
    head += ' ';
    Num(head, height);
    // Figures fill only when they say so; spaces in texts are characters of
    // their own, each at its place.
    head += "\" fill=\"none\" xml:space=\"preserve\">\n";
    if (!title.isEmpty()) {
        head += "<title>";
        Escaped(head, title);
        head += "</title>\n";
    }
    if (!FClasses.empty()) {
        head += "<style type=\"text/css\">\n";
        for (std::size_t i = 0; i < FClasses.size(); ++i) {
            head += ".t";
            head += QByteArray::number(qulonglong(i));
            head += '{';
            head += FClasses[i];
            head += "}\n";
        }
        head += "</style>\n";
    }
    head += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n"; // the paper
    return head;
}

void TSvgDrawingWriter::Clear()
{
    FBody.clear();
    FBody.squeeze();
    FPageOpen = false;
    FClipOpen = false;
    FNextId = 0;
    FClasses.clear();
    FClassIndex.clear();
    FClass = -1;
    FFace.reset();
    FHatches.clear();
    FPictures.clear();
    FPicturePixels = 0;
    FInterpreter.Reset();
}

// --- figures ----------------------------------------------------------------------------

QByteArray TSvgDrawingWriter::FillOf(const TEmfReplayState& s, const TGdiBrush& brush)
{
    std::uint32_t color = brush.Color;
    if (brush.Style == BS_PATTERN || brush.Style == BS_DIBPATTERN || brush.Style == BS_DIBPATTERNPT) {
        // A picture brush fills with the average colour of its picture, as in the PDF.
        if (!brush.Pattern.isNull()) {
            const QColor average =
                QColor::fromRgb(brush.Pattern.scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).pixel(0, 0));
            color = std::uint32_t(average.red()) | (std::uint32_t(average.green()) << 8)
                | (std::uint32_t(average.blue()) << 16);
        }
    }
    if (s.Rop2 == 1) // R2_BLACK
        color = 0;
    else if (s.Rop2 == 16) // R2_WHITE
        color = 0xFFFFFF;
    if (brush.Style != BS_HATCHED || brush.Hatch < HS_HORIZONTAL || brush.Hatch > HS_DIAGCROSS || s.Rop2 == 1
        || s.Rop2 == 16)
        return ColorText(color);

    // A pattern per hatch, colour and background, in page pixels of the
    // page that uses it: the hatch lines up with the page as the classic
    // brush origin has it, repeating every 8 pixels as the classic 8 x 8
    // hatches do, its lines one pixel wide.
    const bool opaque = s.BkMode == OPAQUE_MODE;
    QByteArray key = QByteArray::number(brush.Hatch) + ' ' + ColorText(color);
    if (opaque)
        key += ' ' + ColorText(s.BkColor);
    auto found = FHatches.constFind(key);
    int id = 0;
    if (found != FHatches.cend()) {
        id = found.value();
    } else {
        id = FNextId++;
        FHatches.insert(key, id);
        QByteArray& out = FBody;
        out += "<defs><pattern id=\"h";
        out += QByteArray::number(id);
        out += "\" patternUnits=\"userSpaceOnUse\" width=\"8\" height=\"8\">";
        if (opaque) {
            out += "<rect width=\"8\" height=\"8\" fill=\"";
            Color(out, s.BkColor);
            out += "\"/>";
        }
        out += "<path stroke=\"";
        Color(out, color);
        out += "\" d=\"";
        const int h = brush.Hatch;
        // Lines through the middles of their pixels; the diagonals run
        // past the cell's corners so that neighbouring cells join.
        if (h == HS_HORIZONTAL || h == HS_CROSS)
            out += "M0 0.5H8";
        if (h == HS_VERTICAL || h == HS_CROSS)
            out += "M0.5 0V8";
        if (h == HS_FDIAGONAL || h == HS_DIAGCROSS)
            out += "M-1 -1L9 9M-1 7L1 9M7 -1L9 1";
        if (h == HS_BDIAGONAL || h == HS_DIAGCROSS)
            out += "M-1 9L9 -1M-1 1L1 -1M7 9L9 7";
        out += "\"/></pattern></defs>\n";
    }
    return "url(#h" + QByteArray::number(id) + ')';
}

void TSvgDrawingWriter::Shape(const TEmfDrawContext& dc, TEmfShape& shape)
{
    const TEmfReplayState& s = dc.State();
    QByteArray fill;
    if (shape.Brush)
        fill = FillOf(s, *shape.Brush);
    const bool stroke = shape.Stroke && !s.Pen.IsNull();
    if (fill.isEmpty() && !stroke)
        return;
    // A pen's width is in logical units; page pixels are the SVG's units.
    const double scale = std::sqrt(std::abs(dc.ToPage.determinant()));
    const bool cosmetic = OnePixelPen(s.Pen, scale);
    const double width = cosmetic ? 1 : std::min(s.Pen.Width * scale, kMaxPenWidth);
    const std::uint32_t penColor = s.Rop2 == 1 ? 0 : s.Rop2 == 16 ? 0xFFFFFF : s.Pen.Color;
    if (stroke && shape.Chain && cosmetic)
        EmfChainPixels(shape.Path); // a one-pixel line covers whole pixels, its last one left out

    QByteArray& out = FBody;
    const int style = s.Pen.Style & PS_STYLE_MASK;
    const bool dashed = style >= PS_DASH && style <= PS_DASHDOTDOT;
    if (stroke && dashed && s.BkMode == OPAQUE_MODE) {
        // Opaque background mode: the gaps between the dashes are painted in
        // the background colour, under the dashes.
        out += "<path stroke=\"";
        Color(out, s.BkColor);
        out += '"';
        if (width != 1) {
            out += " stroke-width=\"";
            Num(out, width);
            out += '"';
        }
        PenGeometry(out, s.Pen.Style & ~PS_STYLE_MASK, cosmetic, width);
        out += " d=\"";
        PathData(out, shape.Path);
        out += "\"/>\n";
    }
    out += "<path";
    if (!fill.isEmpty()) {
        out += " fill=\"";
        out += fill;
        out += '"';
        if (shape.Path.fillRule() == Qt::OddEvenFill)
            out += " fill-rule=\"evenodd\"";
    }
    if (stroke) {
        out += " stroke=\"";
        Color(out, penColor);
        out += '"';
        if (width != 1) {
            out += " stroke-width=\"";
            Num(out, width);
            out += '"';
        }
        PenGeometry(out, s.Pen.Style, cosmetic, width);
    }
    out += " d=\"";
    PathData(out, shape.Path);
    out += "\"/>\n";
}

void TSvgDrawingWriter::FillPolygon(const QPolygonF& polygon, std::uint32_t color)
{
    QPainterPath path;
    path.addPolygon(polygon);
    FBody += "<path fill=\"";
    Color(FBody, color);
    FBody += "\" d=\"";
    PathData(FBody, path);
    FBody += "\"/>\n";
}

// --- text -------------------------------------------------------------------------------

int TSvgDrawingWriter::TextClass(const TEmfReplayState& s)
{
    const TLogFont& lf = s.Font;
    if (FClass >= 0 && FFace && lf == FClassFont && s.TextColor == FClassColor)
        return FClass;
    // The face as the player and the page measuring choose it.
    TFontRequest request;
    request.Name = lf.FaceName.isEmpty() ? QStringLiteral("Arial") : lf.FaceName;
    request.Height = lf.Height;
    request.Bold = lf.Weight >= 600;
    request.Italic = lf.Italic != 0;
    FFace = TTextMeasurer::Face(request);
    const TFontFace& face = *FFace;

    // The asked family first (a viewer that has it draws it), then the face
    // the page was measured with, then the generic family.
    QString families = CssString(request.Name);
    const QString measured = face.FamilyName();
    if (!measured.isEmpty() && measured.compare(request.Name, Qt::CaseInsensitive) != 0)
        families += u',' + CssString(measured);
    families += u',' + QLatin1String(GenericFamily(face));
    QByteArray css = "font-family:";
    Escaped(css, families);
    css += ";font-size:";
    Num(css, face.EmPixels());
    css += "px";
    if (request.Bold)
        css += ";font-weight:bold";
    if (request.Italic)
        css += ";font-style:italic";
    if (lf.Underline || lf.StrikeOut) {
        css += ";text-decoration:";
        css += lf.Underline && lf.StrikeOut ? "underline line-through" : lf.Underline ? "underline" : "line-through";
    }
    css += ";fill:";
    Color(css, s.TextColor);

    auto found = FClassIndex.constFind(css);
    if (found != FClassIndex.cend()) {
        FClass = found.value();
    } else {
        FClass = int(FClasses.size());
        FClassIndex.insert(css, FClass);
        FClasses.push_back(std::move(css));
    }
    FClassFont = lf;
    FClassColor = s.TextColor;
    return FClass;
}

double TSvgDrawingWriter::Places(QByteArray& out, QStringView text, qsizetype from, qsizetype to, double x) const
{
    // Each character where the page put it: the page's advances are whole
    // pixels, a viewer's are not, and a long text would drift.
    for (qsizetype i = from; i < to; ++i) {
        if (i > from)
            out += ' ';
        Num(out, x);
        x += FAdvances[std::size_t(i)];
        if (QChar::isHighSurrogate(text[i].unicode()) && i + 1 < to && QChar::isLowSurrogate(text[i + 1].unicode()))
            x += FAdvances[std::size_t(++i)]; // one character, one place
    }
    return x;
}

void TSvgDrawingWriter::Text(const TEmfDrawContext& dc, const TEmfText& record)
{
    if (record.Options & ETO_GLYPH_INDEX)
        return; // glyph indices name no characters
    const TEmfReplayState& s = dc.State();
    const int textClass = TextClass(s);
    const TFontFace& face = *FFace;
    const QStringView text = record.Text;

    // The advance of each UTF-16 unit as the page has it, and the width.
    FAdvances.resize(std::size_t(text.size()));
    if (record.Dx)
        std::copy(record.Dx, record.Dx + text.size(), FAdvances.begin());
    else if (!text.isEmpty())
        face.Advances(text, FAdvances.data());
    qint64 width = 0;
    for (int a : FAdvances)
        width += a;

    // The text cell relative to the reference point, before rotation, as
    // the page places it (origin at the cell's top left, y down).
    double left = 0;
    if ((s.TextAlign & TA_HORZ_MASK) == TA_RIGHT)
        left = -double(width);
    else if ((s.TextAlign & TA_HORZ_MASK) == TA_CENTER)
        left = -double(width) / 2;
    double top = 0;
    if ((s.TextAlign & TA_VERT_MASK) == TA_BASELINE)
        top = -face.Ascent();
    else if ((s.TextAlign & TA_VERT_MASK) == TA_BOTTOM)
        top = -face.Height();
    QTransform cellToLogical;
    cellToLogical.translate(record.Reference.x(), record.Reference.y());
    const int escapement = s.Font.Escapement % 3600;
    if (escapement != 0)
        cellToLogical.rotate(-escapement / 10.0); // counter-clockwise on the page
    cellToLogical.translate(left, top);
    const QTransform cellToPage = cellToLogical * dc.ToPage;
    const QRectF cell(0, 0, double(width), face.Height());

    const std::optional<QRectF>& rect = record.Rect;
    if (rect && (record.Options & ETO_OPAQUE))
        FillPolygon(dc.ToPage.map(QPolygonF(*rect)), s.BkColor);
    // Only a cell that reaches past the rectangle needs the clip.
    const bool clipped = rect && (record.Options & ETO_CLIPPED) && !rect->contains(cellToLogical.mapRect(cell));
    QByteArray& out = FBody;
    if (clipped) {
        const int id = FNextId++;
        QPainterPath area;
        area.addPolygon(dc.ToPage.map(QPolygonF(*rect)));
        out += "<clipPath id=\"c";
        out += QByteArray::number(id);
        out += "\"><path d=\"";
        PathData(out, area);
        out += "\"/></clipPath><g clip-path=\"url(#c";
        out += QByteArray::number(id);
        out += ")\">\n";
    }
    if (s.BkMode == OPAQUE_MODE)
        FillPolygon(cellToPage.map(QPolygonF(cell)), s.BkColor);

    if (!IsBlankText(text)) {
        // Upright text at the page's scale takes page coordinates; any other
        // gets its cell's mapping.
        const bool plain = cellToPage.type() <= QTransform::TxTranslate;
        const double x0 = plain ? cellToPage.dx() : 0;
        const double baseline = (plain ? cellToPage.dy() : 0) + face.Ascent();
        out += "<text class=\"t";
        out += QByteArray::number(textClass);
        out += '"';
        if (!plain) {
            out += " transform=\"";
            Matrix(out, cellToPage);
            out += '"';
        }
        out += " x=\"";
        if (NeedsShaping(text)) {
            // Shaped text: the viewer shapes and orders it; stretched to the
            // width the page gave it, as the page draws it.
            Num(out, x0);
            out += "\" textLength=\"";
            Num(out, double(width));
            out += "\" lengthAdjust=\"spacingAndGlyphs\" y=\"";
            Num(out, baseline);
            out += "\">";
            Escaped(out, text);
        } else if (!text.contains(u' ')) {
            Places(out, text, 0, text.size(), x0);
            out += "\" y=\"";
            Num(out, baseline);
            out += "\">";
            Escaped(out, text);
        } else {
            // Each word a span: viewers that take only the first place of a
            // list (librsvg) still start every word where the page does.
            Num(out, x0);
            out += "\" y=\"";
            Num(out, baseline);
            out += "\">";
            double x = x0;
            for (qsizetype i = 0; i < text.size();) {
                if (text[i] == u' ') {
                    out += ' ';
                    x += FAdvances[std::size_t(i++)];
                    continue;
                }
                qsizetype end = i;
                while (end < text.size() && text[end] != u' ')
                    ++end;
                out += "<tspan x=\"";
                x = Places(out, text, i, end, x);
                out += "\">";
                Escaped(out, text.sliced(i, end - i));
                out += "</tspan>";
                i = end;
            }
        }
        out += "</text>\n";
    }
    if (clipped)
        out += "</g>\n";
}

// --- pictures ---------------------------------------------------------------------------

int TSvgDrawingWriter::PictureId(const QImage& image)
{
    const std::size_t hash = qHashBits(image.constBits(), std::size_t(image.sizeInBytes()))
        ^ qHash(std::pair(image.width(), image.height()));
    for (auto it = FPictures.constFind(hash); it != FPictures.cend() && it.key() == hash; ++it) {
        if (it.value().first == image)
            return it.value().second;
    }
    const std::int64_t pixels = std::int64_t(image.width()) * image.height();
    if (FPicturePixels + pixels > kMaxPicturePixelsPerFile)
        return -1;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image))
        return -1;
    FPicturePixels += pixels;
    const int id = FNextId++;
    FPictures.insert(hash, {image, id});
    QByteArray& out = FBody;
    out += "<defs><image id=\"i";
    out += QByteArray::number(id);
    out += "\" width=\"";
    out += QByteArray::number(image.width());
    out += "\" height=\"";
    out += QByteArray::number(image.height());
    out += "\" preserveAspectRatio=\"none\" xlink:href=\"data:image/png;base64,";
    out += png.toBase64();
    out += "\"/></defs>\n";
    return id;
}

void TSvgDrawingWriter::Picture(const TEmfDrawContext& dc, const TEmfPicture& picture)
{
    QImage image = ShownPicturePart(picture, kMaxPicturePixels);
    if (image.isNull())
        return;
    if (!image.hasAlphaChannel())
        image = image.convertToFormat(QImage::Format_RGB888); // equal pixels compare equal
    const int id = PictureId(image);
    if (id < 0)
        return;
    // The picture's own pixels onto its destination (a negative width or
    // height mirrors it).
    const QRectF& dest = picture.Dest;
    const QTransform place = QTransform::fromScale(1.0 / image.width(), 1.0 / image.height())
        * QTransform(dest.width(), 0, 0, dest.height(), dest.x(), dest.y()) * dc.ToPage;
    QByteArray& out = FBody;
    out += "<use xlink:href=\"#i";
    out += QByteArray::number(id);
    out += "\" transform=\"";
    Matrix(out, place);
    out += '"';
    if (picture.Opacity < 1) {
        out += " opacity=\"";
        out += QByteArray::number(std::max(0.0, picture.Opacity), 'g', 3);
        out += '"';
    }
    out += "/>\n";
}

// --- clipping ---------------------------------------------------------------------------

void TSvgDrawingWriter::CloseClip()
{
    if (!FClipOpen)
        return;
    FBody += "</g>\n";
    FClipOpen = false;
}

void TSvgDrawingWriter::SetClip(const std::optional<QPainterPath>& region)
{
    CloseClip();
    if (!region)
        return;
    const int id = FNextId++;
    QByteArray& out = FBody;
    out += "<clipPath id=\"c";
    out += QByteArray::number(id);
    out += "\"><path";
    if (region->fillRule() == Qt::OddEvenFill)
        out += " clip-rule=\"evenodd\"";
    out += " d=\"";
    PathData(out, *region);
    out += "\"/></clipPath><g clip-path=\"url(#c";
    out += QByteArray::number(id);
    out += ")\">\n";
    FClipOpen = true;
}

} // namespace vorel
