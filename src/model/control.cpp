// The report control base: construction and links, the value rule, Draw
// (repeated-value suppression, background with highlights, frame, content
// rectangle), the shared text drawing and the designer painting.

#include "model/control.h"

#include "expr/expressions.h"
#include "foundation/language/language.h"
#include "model/band.h"
#include "model/report.h"

namespace vorel {

namespace {
constexpr int kTextNewControl = 1013; // "NewKVXControl"
constexpr int kHandlePenWidth = 5;    // report pixels: the side of a selection handle
} // namespace

TKVXControl::TKVXControl(QObject* owner)
    : TComponent(owner),
      FFrame(new TKVXFrame(this)),
      FComments(new TStringList(this)),
      FHighLights(new TKVXHighLights(this)),
      FKVPrintWhen(new TKVPrintWhen(this)),
      FFont(new TFont(this))
{
    FFrame->SetParent(this);
    // A band is never owned by a band; for every other control a band owner
    // links it to the band and its report.
    if (auto* band = qobject_cast<TKVXBand*>(owner))
        LinkToBand(band);
    SetDisplayName(GetString(LanguageShift(), kTextNewControl));
    if (FReport)
        FFont->Assign(FReport->Font());
}

TKVXControl::~TKVXControl()
{
    if (FParentBand && FListed)
        FParentBand->RemoveObject(this);
}

void TKVXControl::LinkToBand(TKVXBand* band)
{
    FParentBand = band;
    FReport = band ? band->Report() : nullptr;
}

// --- properties -----------------------------------------------------------------------------

void TKVXControl::SetDisplayName(const QString& value)
{
    if (FHint.isEmpty() || FHint == FDisplayName)
        FHint = value;
    FDisplayName = value;
    Invalidate();
}

void TKVXControl::SetFrame(const TKVXFrame* value)
{
    if (value && value != FFrame)
        FFrame->Assign(value);
    Invalidate();
}

void TKVXControl::SetAlignment(TAlignment value)
{
    if (FAlignment == value)
        return;
    FAlignment = value;
    Invalidate();
}

void TKVXControl::SetTransparent(bool value)
{
    if (FTransparent == value)
        return;
    FTransparent = value;
    Invalidate();
}

void TKVXControl::SetBrushStyle(TBrushStyle value)
{
    FBrushStyle = value;
    Invalidate();
}

void TKVXControl::SetComments(const TStringList* value)
{
    if (value && value != FComments)
        FComments->Assign(value);
}

void TKVXControl::SetHighLights(const TKVXHighLights* value)
{
    if (value && value != FHighLights)
        FHighLights->Assign(value);
}

void TKVXControl::SetBackColor(TColor value)
{
    FBackColor = value;
    Invalidate();
}

void TKVXControl::SetKVPrintWhen(const TKVPrintWhen* value)
{
    if (value && value != FKVPrintWhen)
        FKVPrintWhen->Assign(value);
}

void TKVXControl::SetHeight(int value)
{
    FHeight = value;
    Invalidate();
}

void TKVXControl::SetWidth(int value)
{
    FWidth = value;
    Invalidate();
}

void TKVXControl::SetLeft(int value)
{
    FLeft = value;
    Invalidate();
}

void TKVXControl::SetTop(int value)
{
    FTop = value;
    Invalidate();
}

void TKVXControl::SetFont(const TFont* value)
{
    if (value && value != FFont)
        FFont->Assign(value);
    Invalidate();
}

void TKVXControl::SetVisible(bool value)
{
    FVisible = value;
    Invalidate();
}

// --- links ------------------------------------------------------------------------------------

void TKVXControl::SetParentBand(TKVXBand* band)
{
    if (qobject_cast<TKVXBand*>(this))
        return;
    LinkToBand(band);
}

void TKVXControl::MoveToBand(TKVXBand* band)
{
    if (!band || qobject_cast<TKVXBand*>(this))
        return;
    if (FParentBand && FListed)
        FParentBand->RemoveObject(this);
    band->FObjects.append(this);
    FListed = true;
    // The classic move left the old band as the owner, which then freed the
    // control with itself while the new band still listed it: the new band
    // takes ownership too.
    setParent(band);
    LinkToBand(band);
    FControlState = scsNothing;
    FControlResize = scrNone;
    Invalidate();
}

int TKVXControl::GetControlIndex() const
{
    return FParentBand ? FParentBand->GetElement(this) : -1;
}

TDataSet* TKVXControl::GetDatasetByName(const QString& name) const
{
    if (!FReport)
        return nullptr;
    const qsizetype dot = name.indexOf(u'.');
    if (dot < 0)
        return FReport->DataSet();
    const QString qualifier = name.left(dot);
    const TKVXDataManager* manager = FReport->GetDataManager();
    const TKVXDatasets* items = manager->Datasets();
    for (int i = 0; i < items->Count(); ++i) {
        const TKVXDataset* item = items->Items(i);
        TDataSet* dataSet = item->Dataset();
        if (!dataSet)
            continue;
        if (dataSet->Name().compare(qualifier, Qt::CaseInsensitive) == 0
            || item->Caption().compare(qualifier, Qt::CaseInsensitive) == 0)
            return dataSet;
    }
    return nullptr;
}

bool TKVXControl::IsGenerating() const
{
    return FReport && FReport->ReportState() >= rsPrepare;
}

int TKVXControl::LanguageShift() const
{
    return FReport ? FReport->GetLanguageShift() : 0;
}

// --- designer state ------------------------------------------------------------------------

void TKVXControl::SetSelected(bool value)
{
    if (FSelected == value)
        return;
    FSelected = value;
    if (!value)
        FControlState = scsNothing;
    if (value && FReport && qobject_cast<TKVXBand*>(this)) {
        for (TKVXBand* band : FReport->Bands())
            for (TKVXControl* control : band->Objects())
                control->SetSelected(false);
    }
    Invalidate();
    if (FReport && FReport->OnDesignerMessage)
        FReport->OnDesignerMessage(this, KVX_MSG_SELECTION_CHANGED);
}

void TKVXControl::update()
{
    Invalidate();
}

void TKVXControl::Invalidate()
{
    if (FReport && FReport->OnDesignerMessage)
        FReport->OnDesignerMessage(this, KVX_MSG_REPAINT);
}

// --- values and drawing ------------------------------------------------------------------

void TKVXControl::UpdateCurValue() {}

bool TKVXControl::ValueChanged()
{
    if (FCurValue.IsEmptyOrNull() || FPrevValue.IsEmptyOrNull())
        return true;
    try {
        return !FCurValue.Equals(FPrevValue);
    } catch (const std::exception&) {
        return true; // values that cannot be compared differ
    }
}

bool TKVXControl::IsSuppressedRepetition()
{
    return !FKVPrintWhen->RepeatedValues() && !FForcePrint && IsGenerating() && !ValueChanged();
}

const TKVXHighLight* TKVXControl::WinningHighLight()
{
    if (!IsGenerating())
        return nullptr;
    TKVXDataManager* manager = nullptr;
    for (int i = 0; i < FHighLights->Count(); ++i) {
        const TKVXHighLight* highLight = FHighLights->GetHighLight(i);
        if (highLight->Expression().trimmed().isEmpty())
            continue;
        // A highlight whose expression cannot be evaluated (or gives no
        // Boolean) is skipped silently: formatting never stops a report.
        try {
            if (!manager)
                manager = FReport->GetDataManager();
            if (EvaluateValue(manager, highLight->Expression(), FReport->VariableEvent()).ToBool())
                return highLight;
        } catch (const std::exception&) {
        }
    }
    return nullptr;
}

void TKVXControl::PaintBackground(TCanvas& canvas, const TRect& rect)
{
    canvas.SetFont(FFont);
    TColor fill = FBackColor;
    const TKVXHighLight* highLight = WinningHighLight();
    if (highLight) {
        canvas.SetFont(highLight->Font());
        fill = highLight->Color();
    }
    if (FTransparent && !highLight) {
        canvas.Brush()->SetStyle(bsClear);
        return;
    }
    canvas.Brush()->SetColor(fill);
    canvas.Brush()->SetStyle(FBrushStyle);
    canvas.FillRect(rect);
    canvas.Brush()->SetStyle(bsClear);
}

bool TKVXControl::PaintUnseen()
{
    return false;
}

void TKVXControl::PaintUnseenBackground()
{
    if (!IsSuppressedRepetition() && FHighLights->Count() > 0)
        WinningHighLight();
}

int TKVXControl::Draw(TCanvas& canvas, TRect& rect, int tallestSoFar, unsigned flags)
{
    Q_UNUSED(tallestSoFar);
    if (IsSuppressedRepetition())
        return 0;
    const int frameWidth = FrameWidth();
    if (flags & DT_CALCRECT) {
        // Measuring paints nothing and evaluates no highlight, so a
        // highlight font never changes a measured height.
        canvas.SetFont(FFont);
        if (!FTransparent)
            canvas.Brush()->SetColor(FBackColor);
    } else {
        PaintBackground(canvas, rect);
        FFrame->DrawFrame(canvas, rect);
        if (!KeepsFrameInRect())
            rect = rect.Inflated(-frameWidth, -frameWidth);
    }
    return FHeight + 2 * frameWidth;
}

int TKVXControl::DrawWrapText(TCanvas& canvas, const QString& text, int angle, unsigned flags, const TRect& rect)
{
    static const QString blank(QLatin1Char(' '));
    const QString* shown = &text;
    if (text.isEmpty()) {
        // An empty value keeps one line of height unless blank lines are removed.
        if (FKVPrintWhen->RemoveBlankLine())
            return 0;
        shown = &blank;
    }
    if (angle != 0) {
        // Rotated text never wraps: one line at the rectangle's top-left.
        if (!(flags & DT_CALCRECT))
            canvas.TextOut(rect.Left, rect.Top, *shown);
        return canvas.TextHeight(*shown);
    }
    TRect r = rect;
    return canvas.DrawText(*shown, r, flags);
}

void TKVXControl::Paint(TCanvas& canvas)
{
    TRect bounds = Bounds(FLeft, FTop, FWidth, FHeight);
    const int tallest = FParentBand ? FParentBand->Height() : FHeight;
    Draw(canvas, bounds, tallest, 0);
    if (!FSelected)
        return;
    // Draw shrank the rectangle to the inside of the frame: widen it back.
    const int frameWidth = FrameWidth();
    const TRect r = KeepsFrameInRect() ? bounds : bounds.Inflated(frameWidth, frameWidth);
    const TColor color = FControlState == scsNothing ? clWindowFrame : KVX_HANDLE_MOVING_COLOR;
    const int left = r.Left + 2, top = r.Top + 2, right = r.Right - 3, bottom = r.Bottom - 3;
    const int midX = (r.Left + r.Right) / 2, midY = (r.Top + r.Bottom) / 2;
    const TPoint handles[8] = {{left, top},    {midX, top},    {right, top},  {right, midY},
                               {right, bottom}, {midX, bottom}, {left, bottom}, {left, midY}};
    const TColor oldColor = canvas.Brush()->Color();
    const TBrushStyle oldStyle = canvas.Brush()->Style();
    canvas.Brush()->SetColor(color);
    canvas.Brush()->SetStyle(bsSolid);
    // Each handle is what a point drawn with a square pen 5 pixels wide covers.
    constexpr int half = kHandlePenWidth / 2;
    for (const TPoint& p : handles)
        canvas.FillRect(Rect(p.X - half, p.Y - half, p.X + half + 1, p.Y + half + 1));
    canvas.Brush()->SetColor(oldColor);
    canvas.Brush()->SetStyle(oldStyle);
}

TKVXBand* GetBandByControl(const TKVXControl* control)
{
    if (!control)
        return nullptr;
    if (TKVReport* report = control->Report(); report && report->BandCount() > 0)
        return report->GetBand(0);
    return control->GetParentBand();
}

} // namespace vorel
