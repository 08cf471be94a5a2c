// Record interpretation of the item-collecting filters: which records
// change the replay state they record items with, and which become items.

#include "export/export_attributes.h"
#include "export/export_grid_p.h"

#include "export/emf_text_record.h"
#include "foundation/locale/code_page.h"
#include "foundation/values/limits.h"
#include "graphics/canvas.h"
#include "graphics/emf_enumerator.h"
#include "graphics/picture.h"

namespace vorel {

int KVX_EQUAL_X = 15;
int KVX_EQUAL_Y = 5;

namespace {

// Largest picture item a record may ask for, in pixels (a page at 96 dpi
// is about one million), and the most picture pixels one file's items may
// hold together. A record beyond either (a hostile size, or thousands of
// huge pictures) becomes an item without pixels.
constexpr std::int64_t kMaxPicturePixels = std::int64_t(1) << 22;
constexpr std::int64_t kMaxPicturePixelsPerFile = std::int64_t(1) << 26;

} // namespace

void TKVXExportAttributes::StartExport()
{
    TKVXExport::StartExport();
    ClearRecords();
    ResetReplayState();
    ColCount = 0;
    RowCount = 0;
    FPeakItems = 0;
    ChooseGridWalk();
}

void TKVXExportAttributes::EndExport()
{
    ClearRecords();
    FFontSnapshot.reset();
    EndGridWalk();
    TKVXExport::EndExport();
}

void TKVXExportAttributes::ClearRecords()
{
    FRecords.clear();
    FRecords.shrink_to_fit();
    FColumns.clear();
    FPicturePixels = 0;
}

void TKVXExportAttributes::WriteStringToStream(QIODevice& stream, const QString& s) const
{
    stream.write(EncodeCodePage(s, CodePage));
}

std::shared_ptr<const TFont> TKVXExportAttributes::FontSnapshot()
{
    if (!FFontSnapshot) {
        auto copy = std::make_shared<TFont>();
        copy->Assign(FCurrentFont.get());
        FFontSnapshot = std::move(copy);
    }
    return FFontSnapshot;
}

bool TKVXExportAttributes::ExportEMFRecord(const TEmfEnumerator& dc, const TEmfRecord& record)
{
    if (!TKVXExport::ExportEMFRecord(dc, record))
        return false;
    // The object records (pens, brushes, fonts, palettes, colour spaces)
    // were played on the replay state by the enumerator before it handed
    // the record over; here only the filter's own state and the items.
    const ByteView& r = record.Bytes;
    switch (record.Type) {
    case EMR_SETBKMODE: BackgroundMode = int(r.u32le(8) & 0xFF); break;
    case EMR_SETTEXTALIGN: {
        // Only the two values below 2 (TA_NOUPDATECP, TA_UPDATECP) are
        // taken; right and centre alignment (2, 6) leave the state alone.
        const std::uint32_t mode = r.u32le(8);
        if (mode < 2)
            CurrentAlignment = TAlignment(mode);
        break;
    }
    case EMR_SETTEXTCOLOR:
        FCurrentFont->SetColor(TColor(dc.State().TextColor));
        FFontSnapshot.reset();
        break;
    case EMR_SETBKCOLOR: BackgroundColor = TColor(dc.State().BkColor); break;
    case EMR_MOVETOEX: CurrentPosition = dc.State().CurrentPosition; break;
    case EMR_SELECTOBJECT:
        if (dc.SelectedKind() == TEmfObject::Font) {
            // The logical font now selected in the replay context.
            const TLogFont& lf = dc.State().Font;
            TFont& f = *FCurrentFont;
            f.SetHeight(lf.Height);
            TFontStyles style;
            if (lf.Weight >= 700)
                style |= fsBold;
            if (lf.Italic == 1)
                style |= fsItalic;
            if (lf.Underline == 1)
                style |= fsUnderline;
            if (lf.StrikeOut == 1)
                style |= fsStrikeOut;
            f.SetStyle(style);
            f.SetCharset(lf.CharSet);
            f.SetName(lf.FaceName);
            const int pitch = lf.PitchAndFamily & 0x0F;
            f.SetPitch(pitch == 1 ? fpFixed : pitch == 2 ? fpVariable : fpDefault);
            FFontSnapshot.reset();
        }
        break;
    case EMR_ELLIPSE:
        if (RecordKinds.Contains(rkEllipse))
            AddShape(rkEllipse, r);
        break;
    case EMR_RECTANGLE:
        if (RecordKinds.Contains(rkRectangle))
            AddShape(rkRectangle, r);
        break;
    case EMR_LINETO:
        if (RecordKinds.Contains(rkLine))
            AddLine(r);
        break;
    case EMR_BITBLT:
    case EMR_STRETCHBLT:
    case EMR_STRETCHDIBITS:
        if (RecordKinds.Contains(rkPicture))
            AddPicture(record);
        break;
    case EMR_EXTTEXTOUTA:
    case EMR_EXTTEXTOUTW:
    case EMR_SMALLTEXTOUT:
        if (RecordKinds.Contains(rkText))
            AddText(record, dc.State().TextAlign);
        break;
    default: break;
    }
    return true;
}

namespace {

// Whether a record's coordinate can be placed on the export canvas: items
// add offsets, widths and heights in int (limits.h). A hostile record's
// fields do not fit, and the record is skipped.
bool Placeable(std::int64_t v)
{
    return v >= -limits::kRecordCoordinate && v <= limits::kRecordCoordinate;
}

bool Placeable(const TRect& r)
{
    return Placeable(r.Left) && Placeable(r.Top) && Placeable(r.Right) && Placeable(r.Bottom);
}

} // namespace

void TKVXExportAttributes::AddShape(TKVXMFERecordKind kind, const ByteView& r)
{
    if (!Placeable(TRect{r.i32le(8), r.i32le(12), r.i32le(16), r.i32le(20)}))
        return;
    // The shape's box, enlarged by one pixel on every side.
    const int left = r.i32le(8) - 1, top = r.i32le(12) - 1, right = r.i32le(16) + 1, bottom = r.i32le(20) + 1;
    TKVXMFERecord& item = FRecords.emplace_back();
    item.Kind = kind;
    item.Color = BackgroundColor;
    item.Left = OffsetX() + left;
    item.Top = OffsetY() + top;
    item.Width = right - left;
    item.Height = bottom - top;
}

void TKVXExportAttributes::AddLine(const ByteView& r)
{
    const TPoint end{r.i32le(8), r.i32le(12)};
    if (!Placeable(TRect{end.X, end.Y, CurrentPosition.X, CurrentPosition.Y})) {
        CurrentPosition = end;
        return;
    }
    TKVXMFERecord& item = FRecords.emplace_back();
    item.Kind = rkLine;
    item.Color = BackgroundColor;
    item.Left = OffsetX() + CurrentPosition.X;
    item.Top = OffsetY() + CurrentPosition.Y;
    item.Width = std::abs(end.X - CurrentPosition.X);
    item.Height = std::abs(end.Y - CurrentPosition.Y);
    CurrentPosition = end;
}

void TKVXExportAttributes::AddPicture(const TEmfRecord& record)
{
    const ByteView& r = record.Bytes;
    if (!Placeable(TRect{r.i32le(8), r.i32le(12), r.i32le(16), r.i32le(20)}))
        return;
    // The bounds, one pixel wider on each side.
    const int left = r.i32le(8) - 1 + OffsetX(), top = r.i32le(12) - 1 + OffsetY();
    const int width = r.i32le(16) + 1 - (r.i32le(8) - 1), height = r.i32le(20) + 1 - (r.i32le(12) - 1);

    // Destination size, source rectangle and where the DIB sits, per record kind.
    std::int64_t destWidth, destHeight;
    std::optional<QRect> source;
    std::size_t dibFields; // offset of offBmi, cbBmi, offBits, cbBits
    bool sourceFromBottom = false;
    TColor background = clBlack;
    if (record.Type == EMR_STRETCHDIBITS) {
        destWidth = r.i32le(72);
        destHeight = r.i32le(76);
        source = DibSourceRect(r.i32le(32), r.i32le(36), r.i32le(40), r.i32le(44));
        dibFields = 48;
        sourceFromBottom = true; // the source origin counts from a bottom-up DIB's last row
    } else {
        destWidth = r.i32le(32);
        destHeight = r.i32le(36);
        background = TColor(r.u32le(76) & 0xFFFFFF); // the source background colour
        const bool stretch = record.Type == EMR_STRETCHBLT;
        source = DibSourceRect(r.i32le(44), r.i32le(48), stretch ? r.i32le(100) : destWidth,
                               stretch ? r.i32le(104) : destHeight);
        dibFields = 84;
    }
    TKVXMFERecord& item = FRecords.emplace_back();
    item.Kind = rkPicture;
    item.Color = background;
    item.Left = left;
    item.Top = top;
    item.Width = width;
    item.Height = height;
    destWidth = std::abs(destWidth);
    destHeight = std::abs(destHeight);
    const std::int64_t pixels = destWidth * destHeight;
    if (destWidth == 0 || destHeight == 0 || pixels > kMaxPicturePixels
        || FPicturePixels + pixels > kMaxPicturePixelsPerFile)
        return;
    FPicturePixels += pixels;
    // The first of two walks only places the items; the pixels are taken
    // when the cells are written.
    if (FWalk == TGridWalk::Summing)
        return;

    auto bitmap = std::make_shared<TBitmap>(int(destWidth), int(destHeight));
    const std::uint32_t offBmi = r.u32le(dibFields), cbBmi = r.u32le(dibFields + 4);
    const std::uint32_t offBits = r.u32le(dibFields + 8), cbBits = r.u32le(dibFields + 12);
    if (source && cbBmi != 0 && r.Fits(offBmi, cbBmi) && r.Fits(offBits, cbBits)) {
        const QImage image = DibToImage(r.Sub(offBmi, cbBmi), r.Sub(offBits, cbBits));
        if (sourceFromBottom && !image.isNull() && r.i32le(offBmi + 8) > 0)
            source = DibSourceRect(source->left(), std::int64_t(image.height()) - source->top() - source->height(),
                                   source->width(), source->height());
        if (source && !image.isNull()) {
            const QRect part = source->normalized().intersected(image.rect());
            if (!part.isEmpty()) {
                // Raster operations other than a plain copy have no meaning
                // on a fresh white bitmap; the pixels are copied.
                bitmap->SetImage(image.copy(part).scaled(int(destWidth), int(destHeight), Qt::IgnoreAspectRatio,
                                                         Qt::FastTransformation));
            }
        }
    }
    item.Bitmap = std::move(bitmap);
}

void TKVXExportAttributes::AddText(const TEmfRecord& record, unsigned textAlign)
{
    TEmfTextRun run;
    if (!DecodeTextRecord(record, CodePage, run) || IsBlankText(run.Text) || !Placeable(run.Box)
        || !Placeable(run.Clip))
        return;
    const int left = OffsetX() + run.Box.Left;
    const int top = OffsetY() + run.Box.Top;
    const TRect clip = run.Clip.IsEmpty() ? TRect{} : run.Clip.Offset(OffsetX(), OffsetY());
    // A label always writes with left alignment and places the text itself
    // inside its box, which it passes as the clipping rectangle: a text that
    // ends at the box's right edge is right-aligned. Explicit alignment
    // flags win.
    TAlignment alignment = taLeftJustify;
    if ((textAlign & TA_HORZ_MASK) == TA_RIGHT)
        alignment = taRightJustify;
    else if ((textAlign & TA_HORZ_MASK) == TA_CENTER)
        alignment = taCenter;
    else if (!clip.IsEmpty() && std::abs(left + run.Box.Width() - clip.Right) <= 1)
        alignment = taRightJustify;
    // Only an opaque text paints a background of its own.
    const bool opaque = BackgroundMode == OPAQUE_MODE || (run.Options & ETO_OPAQUE);
    const TColor color = opaque ? BackgroundColor : clNone;
    TKVXMFERecord* item = nullptr;
    if (FRecords.empty() && FWalk == TGridWalk::Summing && BreaksPageOrder(left, top, color, clip))
        MarkPageOrderBroken();
    if (!FRecords.empty()) {
        TKVXMFERecord& last = FRecords.back();
        const TTextJoin join = JoinOf(last, left, top, color, clip);
        if (join == TTextJoin::SameLine) {
            // A text the canvas wrote in pieces stays one cell.
            item = &last;
            item->Text += run.Text;
            // Bounded like one record's extent: any number of runs may add to one cell.
            constexpr std::int64_t kMost = 2 * limits::kRecordCoordinate;
            item->Width = int(std::min<std::int64_t>(std::int64_t(item->Width) + run.Box.Width(), kMost));
            item->Height = int(std::min<std::int64_t>(std::int64_t(item->Height) + run.Box.Height(), kMost));
        } else if (join == TTextJoin::NextLine) {
            // The lines of a wrapped control: one cell holding them.
            item = &last;
            item->Text += u'\n' + run.Text;
            const int right = std::max(last.Left + last.Width, left + run.Box.Width());
            item->Left = std::min(last.Left, left);
            item->Width = right - item->Left;
            item->Height = top + run.Box.Height() - last.Top;
        }
    }
    if (item) {
        item->Font = FontSnapshot();
        return;
    }
    item = &FRecords.emplace_back();
    item->Kind = rkText;
    item->Left = left;
    item->Top = top;
    item->Width = run.Box.Width();
    item->Height = run.Box.Height();
    item->Color = color;
    item->Font = FontSnapshot();
    item->Alignment = alignment;
    item->Text = run.Text;
    item->Clip = clip;
}

} // namespace vorel
