// Printing one band: the before/after events, line numbers and outlines,
// the band's own background and frame, and each control measured or
// painted at its place in the band; and the group value of a group band.
//
// Every band print is two calls: first calculate-only (DT_CALCRECT in the
// flags) to learn the height, then painting at the position the engine
// chose with the height measured first. Coordinates are report pixels on
// the page; a control's Left is taken modulo the bar width, so a control
// designed on the second bar lands at the same place on that bar's pages.

#include "engine/generation_p.h"

#include "expr/expressions.h"
#include "foundation/locale/format_settings.h"
#include "graphics/canvas.h"
#include "graphics/metafile_canvas.h"
#include "model/error_place.h"
#include "model/image_control.h"
#include "model/shapes.h"
#include "model/text_controls.h"

#include <cmath>

namespace vorel {

namespace {

// The left edge within its bar of a control placed at left (report pixels
// across all bars). A page without width between its margins has no bars
// to fold into.
int LeftInBar(int left, int barWidth)
{
    return barWidth > 0 ? left % barWidth : left;
}

// Whether a control whose Left is left lies on the bar with that index.
bool OnBar(int left, int bar, int barWidth)
{
    if (barWidth <= 0)
        return bar == 0;
    const qint64 start = qint64(bar) * barWidth;
    return start <= left && left < start + barWidth;
}

void AddOutline(TKVReport* report, const QString& expression, int top)
{
    const Variant value = EvaluateValue(report->GetDataManager(), expression, report->VariableEvent());
    TKVXOutline* outline = report->Outlines()->Add();
    outline->SetText(value.IsEmptyOrNull() ? QString() : value.ToString());
    outline->SetPageNo(report->intCurPage);
    outline->SetBarNo(report->intCurBar);
    outline->SetTop(top);
}

// The text of a control's value for a data export: a number with a full
// stop and no grouping, a date as ISO text, a text as it stands; an
// expression without a calculation evaluated afresh (its value shown is
// formatted), a running value as it stands.
QString RawText(TKVReport* report, TKVXControl* control)
{
    TKVXExpression* expression = control->AsExpression();
    if (!expression || expression->Calculation()->CalcType() != ctNothing) {
        const Variant& value = control->GetCurValue();
        return value.IsEmptyOrNull() ? QString() : value.ToString();
    }
    Variant value;
    try {
        value = EvaluateValue(report->GetDataManager(), expression->Expression(), report->VariableEvent());
    } catch (const std::exception&) {
        return QString(); // reported where the control takes its value
    }
    if (value.IsEmptyOrNull())
        return QString();
    if (value.IsInteger())
        return QString::number(value.ToInt64());
    if (value.IsNumeric())
        return QString::number(value.ToDouble(), 'g', 15);
    if (value.Type() == varDate) {
        const double serial = value.ToDouble();
        return FormatDateTime(serial == std::trunc(serial) ? QStringLiteral("yyyy-mm-dd")
                                                           : QStringLiteral("yyyy-mm-dd hh:nn:ss"),
                              serial);
    }
    return value.ToString();
}

// The data records of a band painted on the first bar (every bar's
// controls: a data row holds the whole record).
void WriteDataRecords(TKVReport* report, TKVXBand* band, TCanvas& canvas)
{
    const TBandType type = band->BandType();
    const char* kind = type == btDetail ? "detail" : (type == btPageHeader || type == btColumnHeader) ? "header" : nullptr;
    if (!kind || report->intCurBar != 0)
        return;
    canvas.Comment(QByteArray("VorelData\tband\t") + kind);
    for (TKVXControl* control : band->Objects()) {
        if (!control->Visible() || !control->CanBePrinted() || !control->AsLabel())
            continue;
        const QByteArray cell = "VorelData\tcell\t" + QByteArray::number(control->Left()) + '\t'
                              + QByteArray::number(control->Width()) + '\t' + QByteArray::number(control->Top())
                              + '\t' + RawText(report, control).toUtf8();
        canvas.Comment(cell);
    }
}

} // namespace

Variant EvaluateGroupValue(TKVReport* report, const TKVXBand* band)
{
    // Empty stands for "no group yet": a value that evaluates to nothing is
    // a Null group value. An error names the band and its group expression.
    Variant value;
    try {
        value = EvaluateValue(report->GetDataManager(), band->Expression(), report->VariableEvent());
    } catch (EKVXError& e) {
        NoteBandPlace(e.Place(), band, "Expression", band->Expression());
        throw;
    }
    if (value.IsEmpty())
        value = Variant::Null();
    return value;
}

int TKVXBand::PrintBand(int top, int bottom, unsigned flags)
{
    TKVReport* report = Report();
    if (!report)
        return 0;
    TCanvas* canvas = report->MFCanvas();
    if (!canvas)
        throw EKVXError(QStringLiteral("Band %1 cannot print: the report has no page to print on").arg(DisplayName()));
    const bool measuring = flags & DT_CALCRECT;
    // An error names the band (what failed in a control, the control).
    try {
        if (report->BeforeBandPrint)
            report->BeforeBandPrint(report, this, measuring);

        // BandLineNo in a highlight or an event names this band's line.
        const TKVReport::TActiveBandScope active(report, this);

        int result = 0;
        if (Visible()) {
            if (!CanBePrinted())
                return 0; // hidden by its print-when conditions: no after-event either
            if (!measuring) {
                if (!FOutlineExpression.isEmpty()) {
                    try {
                        AddOutline(report, FOutlineExpression, top);
                    } catch (EKVXError& e) {
                        NoteBandPlace(e.Place(), this, "OutlineExpression", FOutlineExpression);
                        throw;
                    }
                }
                TRect own = Bounds(LeftInBar(Left(), report->intBarWidth) + report->intColumnLeft, top, Width(),
                                   bottom - top);
                Draw(*canvas, own, 0, flags);
            }
            if (top < 0)
                top = 0;

            // A band that keeps its design height needs no control measured to
            // know it: measuring draws nothing, so only the events are raised.
            const bool drawControls = !measuring || FStretch;
            // Nor, in a pass whose pages are only counted, painted: what a
            // control's painting does beyond the page is done without it
            // (PaintUnseen). A stretching band paints in full, since its
            // painted height moves the cursor.
            const bool unseen = !measuring && !FStretch && report->PagesOnlyCounted();
            int tallest = 0; // the running result, passed to every Draw
            for (qsizetype k = 0; k < FObjects.size(); ++k) {
                TKVXControl* control = FObjects[k];
                // An error names the control (a parse error its expression too).
                try {
                    if (report->BeforeControlPrint)
                        report->BeforeControlPrint(report, control, measuring);
                    if (!control->Visible() || !control->CanBePrinted())
                        continue;
                    if (!measuring && !OnBar(control->Left(), report->intCurBar, report->intBarWidth)) {
                        // Painted on its own bar: what painting leaves (the value
                        // shown) must be the same on every bar, or a suppressed
                        // repeated value measures differently from bar to bar.
                        NotePainted(control);
                        continue;
                    }
                    if (drawControls && !(unseen && control->PaintUnseen())) {
                        const bool keepsHeight = !FStretch || qobject_cast<TKVXImage*>(control);
                        TRect rect = Bounds(LeftInBar(control->Left(), report->intBarWidth) + report->intColumnLeft,
                                            top, control->Width(), keepsHeight ? control->Height() : bottom - top);
                        const TKVXObjectPosition position = control->ObjectPosition();
                        int extent;
                        if (measuring) {
                            int height = control->Draw(*canvas, rect, tallest, flags);
                            if (position == opDesigned)
                                height += control->Top();
                            extent = height;
                        } else {
                            // Placed at the bottom or centre, the control is measured
                            // first to know where it goes; it keeps its height.
                            int measured = 0;
                            if (position == opBottomBand || position == opCenterBand) {
                                TRect probe = rect;
                                measured = control->Draw(*canvas, probe, tallest, flags | DT_CALCRECT);
                            }
                            const int height = rect.Height();
                            switch (position) {
                            case opDesigned: rect.Top = top + control->Top(); break;
                            case opTopBand: rect.Top = top; break;
                            case opBottomBand: rect.Top = bottom - measured; break;
                            case opCenterBand: rect.Top = top + (bottom - top - measured) / 2; break;
                            }
                            rect.Bottom = rect.Top + height;
                            if (auto* shape = qobject_cast<TKVXShape*>(control); shape && shape->Stretch() == ssHeight)
                                rect.Bottom = bottom;
                            else if (!keepsHeight)
                                // In a stretching band a control reaches the
                                // band's bottom (framed cells of one row end
                                // level), but not past it: kept at the band's
                                // height from a lower top, its frame and
                                // background would cover the bands below, or
                                // the page footer.
                                rect.Bottom = std::max(rect.Top, bottom);
                            // The extent counts from where the control was placed,
                            // before Draw moves the rectangle inside the frame, so a
                            // framed control paints as tall as it measured.
                            const int placedTop = rect.Top;
                            extent = placedTop + control->Draw(*canvas, rect, tallest, flags) - top;
                        }
                        tallest = std::max(tallest, extent);
                    }
                    if (report->AfterControlPrint) {
                        bool abort = false;
                        report->AfterControlPrint(report, control, measuring, abort);
                        if (abort)
                            break;
                    }
                } catch (EKVXError& e) {
                    NoteControlPlace(e.Place(), control);
                    throw;
                }
            }
            result = FStretch ? tallest : Height();
            // Line numbers count the band's prints: once a paint, so that a band
            // measured again after a page break keeps its number.
            if (!measuring) {
                ++FLineNo;
                // Not in a pass whose pages are only counted: nobody reads them.
                if (report->DataRecords() && !report->PagesOnlyCounted())
                    WriteDataRecords(report, this, *canvas);
            }
        }
        if (report->AfterBandPrint) {
            bool abort = false; // ignored after a band
            report->AfterBandPrint(report, this, measuring, abort);
        }
        return result;
    } catch (EKVXError& e) {
        NoteBandPlace(e.Place(), this);
        throw;
    }
}

void TKVXBand::UpdateGroupValue()
{
    TKVReport* report = Report();
    if (!GetIsGroup() || !report)
        return;
    SetCurValue(EvaluateGroupValue(report, this));
    // The footer compares the record's value with the value its header
    // printed last.
    if (FBandType == btGroupHeader)
        if (TKVXBand* footer = report->GetBand(GetLinkedFooterIndex()))
            footer->SetPrevValue(GetCurValue());
}

} // namespace vorel
