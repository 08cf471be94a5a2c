// The PDF device of the record interpreter: figures, text records and
// pictures as PDF drawings, within what PDF viewers take.

#include "export/pdf_drawing.h"
#include "export/picture_part.h"
#include "export/pdf_images.h"

#include "export/export_base.h"
#include "graphics/canvas.h"
#include "graphics/text_measure.h"

#include <QtMath>

namespace vorel {

namespace {

// Largest picture kept at its own resolution, in pixels (a larger one is
// scaled down to it), and the most picture pixels one file's drawings hold
// together; a picture past that is left out rather than exhausting memory.
constexpr std::int64_t kMaxPicturePixels = std::int64_t(1) << 22;
constexpr std::int64_t kMaxPicturePixelsPerFile = std::int64_t(1) << 26;

// Where anything drawn may lie, in page pixels: far beyond every page, yet
// inside the numbers a PDF 1.2 reader takes (reals up to 32767 units).
// Geometry reaching past it (only broken or hostile pages have such) is
// cut to it, so that no viewer chokes on dashes of a billion pixels.
const QRectF kDrawable(-20000, -20000, 60000, 60000);
// The widest pen drawn, in page pixels (a hostile width would give a
// number no viewer takes).
constexpr double kMaxPenWidth = 10000;

QPainterPath RectPath(const QRectF& r)
{
    QPainterPath path;
    path.addRect(r);
    return path;
}

// Whether r lies inside the drawable area, or reaches into it; unlike
// QRectF's own tests these take flat rectangles (a line's bounds) too.
bool InsideDrawable(const QRectF& r)
{
    return r.left() >= kDrawable.left() && r.right() <= kDrawable.right() && r.top() >= kDrawable.top()
        && r.bottom() <= kDrawable.bottom();
}
bool ReachesDrawable(const QRectF& r)
{
    return r.right() >= kDrawable.left() && r.left() <= kDrawable.right() && r.bottom() >= kDrawable.top()
        && r.top() <= kDrawable.bottom();
}

// The segment a to b cut to the rectangle (Liang-Barsky); false when none of it is inside.
bool ClipSegment(QPointF& a, QPointF& b, const QRectF& box)
{
    double t0 = 0, t1 = 1;
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    const double p[] = {-dx, dx, -dy, dy};
    const double q[] = {a.x() - box.left(), box.right() - a.x(), a.y() - box.top(), box.bottom() - a.y()};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0)
                return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return false;
    }
    const QPointF from = a;
    a = from + t0 * QPointF(dx, dy);
    b = from + t1 * QPointF(dx, dy);
    return true;
}

// The path cut to the drawable area: its inside when it is filled, its
// segments when only its outline is drawn. False when nothing is left.
bool FitToDrawable(QPainterPath& path, bool filled)
{
    const QRectF bounds = path.controlPointRect();
    if (InsideDrawable(bounds))
        return true;
    if (!ReachesDrawable(bounds))
        return false;
    if (filled) {
        path = path.intersected(RectPath(kDrawable));
        return !path.isEmpty();
    }
    QPainterPath cut;
    for (const QPolygonF& polygon : path.toSubpathPolygons()) {
        for (qsizetype i = 1; i < polygon.size(); ++i) {
            QPointF a = polygon[i - 1], b = polygon[i];
            if (!ClipSegment(a, b, kDrawable))
                continue;
            if (cut.elementCount() == 0 || cut.currentPosition() != a)
                cut.moveTo(a);
            cut.lineTo(b);
        }
    }
    path = cut;
    return !path.isEmpty();
}

} // namespace

void TPdfDrawingCollector::BeginPage(int barX)
{
    FBarX = barX;
    FPageStart = FDrawings.size();
    FInterpreter.Reset();
}

void TPdfDrawingCollector::Clear()
{
    FDrawings.clear();
    FDrawings.shrink_to_fit();
    FPageStart = 0;
    FImages.clear();
    FPicturePixels = 0;
    FInterpreter.Reset();
}

void TPdfDrawingCollector::ClearDrawings()
{
    FDrawings.clear();
    FPageStart = 0;
}

void TPdfDrawingCollector::Record(const TEmfEnumerator& dc, const TEmfRecord& record, int codePage)
{
    Q_UNUSED(record); // the enumerator's current record
    FInterpreter.CodePage = codePage;
    FInterpreter.Record(dc);
}

QTransform TPdfDrawingCollector::Placed(const QTransform& toPage) const
{
    return FBarX != 0 ? toPage * QTransform::fromTranslate(FBarX, 0) : toPage;
}

// --- outlines and fills -------------------------------------------------------------

TPdfStroke TPdfDrawingCollector::StrokeOf(const TEmfReplayState& s, const QTransform& toPage) const
{
    TPdfStroke stroke;
    if (s.Pen.IsNull())
        return stroke;
    stroke.Visible = true;
    stroke.Style = s.Pen.Style;
    // A pen's width is in logical units; page pixels are the PDF's device pixels.
    const double scale = std::sqrt(std::abs(toPage.determinant()));
    stroke.Cosmetic = OnePixelPen(s.Pen, scale);
    stroke.Width = stroke.Cosmetic ? 1 : std::min(s.Pen.Width * scale, kMaxPenWidth);
    stroke.Color = s.Rop2 == 1 ? 0 : s.Rop2 == 16 ? 0xFFFFFF : s.Pen.Color; // R2_BLACK, R2_WHITE
    const int style = s.Pen.Style & PS_STYLE_MASK;
    if (s.BkMode == OPAQUE_MODE && style >= PS_DASH && style <= PS_DASHDOTDOT)
        stroke.GapColor = s.BkColor;
    return stroke;
}

TPdfFill TPdfDrawingCollector::FillOf(const TEmfReplayState& s, const TGdiBrush& brush) const
{
    TPdfFill fill;
    switch (brush.Style) {
    case BS_NULL: break;
    case BS_HATCHED:
        fill.Kind = TPdfFill::Hatched;
        fill.Color = brush.Color;
        fill.Hatch = brush.Hatch;
        if (brush.Hatch < HS_HORIZONTAL || brush.Hatch > HS_DIAGCROSS)
            fill.Kind = TPdfFill::Solid;
        else if (s.BkMode == OPAQUE_MODE)
            fill.Background = s.BkColor;
        break;
    case BS_PATTERN: case BS_DIBPATTERN: case BS_DIBPATTERNPT:
        // A picture brush fills with the average colour of its picture.
        fill.Kind = TPdfFill::Solid;
        fill.Color = brush.Color;
        if (!brush.Pattern.isNull()) {
            const QColor average = QColor::fromRgb(brush.Pattern.scaled(1, 1, Qt::IgnoreAspectRatio,
                                                                   Qt::SmoothTransformation)
                                                       .pixel(0, 0));
            fill.Color = std::uint32_t(average.red()) | (std::uint32_t(average.green()) << 8)
                | (std::uint32_t(average.blue()) << 16);
        }
        break;
    default:
        fill.Kind = TPdfFill::Solid;
        fill.Color = brush.Color;
        break;
    }
    if (fill.Kind != TPdfFill::None && s.Rop2 == 1)
        fill.Color = 0;
    else if (fill.Kind != TPdfFill::None && s.Rop2 == 16)
        fill.Color = 0xFFFFFF;
    return fill;
}

void TPdfDrawingCollector::Shape(const TEmfDrawContext& dc, TEmfShape& figure)
{
    TPdfShape shape;
    if (figure.Brush)
        shape.Fill = FillOf(dc.State(), *figure.Brush);
    if (figure.Stroke)
        shape.Stroke = StrokeOf(dc.State(), dc.ToPage);
    if (shape.Fill.Kind == TPdfFill::None && !shape.Stroke.Visible)
        return;
    shape.Path = std::move(figure.Path);
    if (figure.Chain && shape.Stroke.Cosmetic)
        EmfChainPixels(shape.Path); // a one-pixel line covers whole pixels, its last one left out
    if (FBarX != 0)
        shape.Path.translate(FBarX, 0);
    if (!FitToDrawable(shape.Path, shape.Fill.Kind != TPdfFill::None))
        return;
    FDrawings.emplace_back(std::move(shape));
}

// --- text -------------------------------------------------------------------------------

std::shared_ptr<const TFont> TPdfDrawingCollector::TextFont(const TEmfReplayState& s)
{
    const TLogFont& lf = s.Font;
    const std::uint32_t color = s.TextColor;
    if (FFont && color == FFontColor && lf == FFontFor)
        return FFont;
    // The logical font as the item-collecting filters read it, with the
    // escapement the text is drawn at.
    auto font = std::make_shared<TFont>();
    font->SetName(lf.FaceName);
    font->SetHeight(lf.Height);
    TFontStyles style;
    if (lf.Weight >= 700)
        style |= fsBold;
    if (lf.Italic)
        style |= fsItalic;
    if (lf.Underline)
        style |= fsUnderline;
    if (lf.StrikeOut)
        style |= fsStrikeOut;
    font->SetStyle(style);
    font->SetCharset(lf.CharSet);
    const int pitch = lf.PitchAndFamily & 0x0F;
    font->SetPitch(pitch == 1 ? fpFixed : pitch == 2 ? fpVariable : fpDefault);
    font->SetColor(TColor(color));
    font->SetOrientation(lf.Escapement % 3600);
    FFace = TTextMeasurer::Face(*font);
    FFont = std::move(font);
    FFontFor = lf;
    FFontColor = color;
    return FFont;
}

std::vector<int> TPdfDrawingCollector::OwnAdvances(const TFontFace& face, QStringView text, const int* dx)
{
    if (!dx || text.isEmpty())
        return {};
    // Vorel's own pages have the face's advances: nothing to keep. Most
    // texts are Latin letters, compared from the face's table directly.
    qsizetype i = 0;
    while (i < text.size() && text[i].unicode() < 256 && face.CharWidth(text[i].unicode()) == dx[i])
        ++i;
    if (i == text.size())
        return {};
    FAdvances.resize(std::size_t(text.size()));
    face.Advances(text, FAdvances.data());
    if (std::equal(FAdvances.begin(), FAdvances.end(), dx))
        return {};
    return std::vector<int>(dx, dx + text.size());
}

void TPdfDrawingCollector::Text(const TEmfDrawContext& dc, const TEmfText& record)
{
    if (record.Options & ETO_GLYPH_INDEX)
        return; // glyph indices name no characters a PDF font could show
    const TEmfReplayState& s = dc.State();
    TPdfText run;
    run.Font = TextFont(s);
    const TFontFacePtr& face = FFace;
    qint64 width = 0;
    if (record.Dx) {
        for (qsizetype i = 0; i < record.Text.size(); ++i)
            width += record.Dx[i];
    } else {
        width = face->TextWidth(record.Text);
    }
    run.Width = int(std::clamp<qint64>(width, -0x3FFFFFFF, 0x3FFFFFFF));

    // The cell relative to the reference point, before rotation.
    double left = 0;
    if ((s.TextAlign & TA_HORZ_MASK) == TA_RIGHT)
        left = -double(run.Width);
    else if ((s.TextAlign & TA_HORZ_MASK) == TA_CENTER)
        left = -double(run.Width) / 2;
    double top = 0;
    if ((s.TextAlign & TA_VERT_MASK) == TA_BASELINE)
        top = -face->Ascent();
    else if ((s.TextAlign & TA_VERT_MASK) == TA_BOTTOM)
        top = -face->Height();
    QTransform cellToLogical;
    cellToLogical.translate(record.Reference.x(), record.Reference.y());
    if (run.Font->Orientation() != 0)
        cellToLogical.rotate(-run.Font->Orientation() / 10.0); // counter-clockwise on the page
    cellToLogical.translate(left, top);
    const QTransform toPage = Placed(dc.ToPage);
    run.CellToPage = cellToLogical * toPage;
    if (!InsideDrawable(run.CellToPage.mapRect(QRectF(0, 0, run.Width, face->Height()))))
        return; // far off every page: only a broken page puts text there

    if (s.BkMode == OPAQUE_MODE)
        run.CellBackground = s.BkColor;
    const std::optional<QRectF>& rect = record.Rect;
    if (rect && (record.Options & ETO_OPAQUE)) {
        run.OpaqueArea = toPage.map(QPolygonF(*rect));
        run.OpaqueColor = s.BkColor;
    }
    if (rect && (record.Options & ETO_CLIPPED)) {
        // Only a cell that reaches past the rectangle needs the clip.
        const QRectF cell = cellToLogical.mapRect(QRectF(0, 0, run.Width, face->Height()));
        if (!rect->contains(cell))
            run.Clip = toPage.map(QPolygonF(*rect));
    }
    if (IsBlankText(record.Text)) {
        // Nothing to show, but the backgrounds are painted all the same.
        if (!run.CellBackground && !run.OpaqueArea)
            return;
    } else {
        run.Text = record.Text.toString();
        run.Dx = OwnAdvances(*face, record.Text, record.Dx);
    }
    const QTransform& place = run.CellToPage;
    if (!run.CellBackground && !run.OpaqueArea && !run.Clip && !run.Text.isEmpty()
        && !(run.Font->Style() & (fsUnderline | fsStrikeOut)) && place.type() <= QTransform::TxTranslate
        && place.dx() == std::floor(place.dx()) && place.dy() == std::floor(place.dy())
        && std::abs(place.dx()) < 0x3FFFFFFF && std::abs(place.dy()) < 0x3FFFFFFF) {
        FDrawings.emplace_back(TPdfPlainText{
            std::move(run.Text), std::move(run.Font), int(place.dx()), int(place.dy()), std::move(run.Dx)});
        return;
    }
    FDrawings.emplace_back(std::make_unique<TPdfText>(std::move(run)));
}

// --- pictures ---------------------------------------------------------------------------

QImage TPdfDrawingCollector::SharedImage(const QImage& image)
{
    const std::size_t hash = PdfImageHash(image);
    for (auto it = FImages.constFind(hash); it != FImages.cend() && it.key() == hash; ++it) {
        if (PdfSamePixels(it.value(), image))
            return it.value();
    }
    const std::int64_t pixels = std::int64_t(image.width()) * image.height();
    if (FPicturePixels + pixels > kMaxPicturePixelsPerFile)
        return {};
    FPicturePixels += pixels;
    FImages.insert(hash, image);
    return image;
}

void TPdfDrawingCollector::Picture(const TEmfDrawContext& dc, const TEmfPicture& picture)
{
    QImage image = ShownPicturePart(picture, kMaxPicturePixels);
    if (image.isNull())
        return;
    const QRectF& dest = picture.Dest;
    TPdfPicture out;
    out.UnitToPage = QTransform(dest.width(), 0, 0, dest.height(), dest.x(), dest.y()) * Placed(dc.ToPage);
    if (!InsideDrawable(out.UnitToPage.mapRect(QRectF(0, 0, 1, 1))))
        return; // far off every page
    out.Image = SharedImage(image.convertToFormat(QImage::Format_RGB888));
    if (out.Image.isNull())
        return;
    FDrawings.emplace_back(std::make_unique<TPdfPicture>(std::move(out)));
}

// --- clipping ---------------------------------------------------------------------------

void TPdfDrawingCollector::SetClip(const std::optional<QPainterPath>& region)
{
    std::optional<QPainterPath> placed = region;
    if (placed && FBarX != 0)
        placed->translate(FBarX, 0);
    if (placed && !InsideDrawable(placed->controlPointRect()))
        placed = placed->intersected(RectPath(kDrawable));
    // Two changes in a row on one page: only the last one counts.
    if (FDrawings.size() > FPageStart && std::holds_alternative<TPdfClipChange>(FDrawings.back()))
        FDrawings.back() = TPdfClipChange{std::move(placed)};
    else
        FDrawings.emplace_back(TPdfClipChange{std::move(placed)});
}

} // namespace vorel
