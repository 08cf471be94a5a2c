// Labels, expressions and system data: current values, display text, and
// the placement of rotated and aligned text.

#include "model/text_controls.h"

#include "data/data_manager.h"
#include "expr/expressions.h"
#include "foundation/locale/format_settings.h"
#include "foundation/values/text_utils.h"
#include "foundation/locale/value_format.h"
#include "model/band.h"
#include "model/error_place.h"
#include "model/report.h"

#include <algorithm>
#include <cmath>
#include <typeinfo>

namespace vorel {

namespace {

constexpr double kDegreesToRadians = 0.017453292519943295;

// The canvas as the width measurer of the value formatting.
struct CanvasMeasurer final : TextWidthMeasurer {
    explicit CanvasMeasurer(TCanvas& canvas) : Canvas(canvas) {}
    int TextWidth(const QString& text) const override { return Canvas.TextWidth(text); }
    TCanvas& Canvas;
};

// Products of the placement rules are truncated toward zero.
int Trunc(double value)
{
    return int(std::trunc(value));
}

} // namespace

QString FormatControlText(TCanvas& canvas, const Variant& value, const QString& format, int widthInPixels,
                          int frameWidth)
{
    const QString text = GetValueStr(value, QString());
    // The width in characters is measured only for the descriptors that pad.
    const int chars = FormatUsesWidth(format) ? GetCharWidth(CanvasMeasurer(canvas), widthInPixels - frameWidth - 2) : 0;
    return GetTextByFormat(text, format, chars);
}

// --- TKVXLabel ------------------------------------------------------------------------------

TKVXLabel::TKVXLabel(QObject* owner) : TKVXControl(owner)
{
    SetDisplayName(GetString(LanguageShift(), KVX_TEXT_LABEL));
    // Inside a report the control has taken the report's font.
    if (!Report())
        Font()->SetName(QStringLiteral("Arial"));
}

void TKVXLabel::SetAngle(int value)
{
    FAngle = value >= 0 && value <= 359 ? value : 0;
    Invalidate();
}

void TKVXLabel::SetWordWrap(bool value)
{
    FWordWrap = value;
    Invalidate();
}

void TKVXLabel::SetStretch(bool value)
{
    FStretch = value;
    Invalidate();
}

void TKVXLabel::UpdateCurValue()
{
    SetCurValue(Variant(DisplayName()));
}

void TKVXLabel::GetValueForShow(TCanvas& canvas, const Variant& value, QString& text)
{
    Q_UNUSED(canvas);
    text = GetValueStr(value, QString());
}

int TKVXLabel::Draw(TCanvas& canvas, TRect& rect, int tallestSoFar, unsigned flags)
{
    int height = TKVXControl::Draw(canvas, rect, tallestSoFar, flags);
    const int frameWidth = FrameWidth();
    const bool measuring = flags & DT_CALCRECT;
    // Alignment is not a flag: DoDrawText places the text itself.
    const unsigned textFlags = flags | DT_EXPANDTABS | DT_NOPREFIX | (FWordWrap ? DT_WORDBREAK : 0u);
    int textHeight;
    if (!FHasPartText && IsSuppressedRepetition()) {
        textHeight = -2 * frameWidth; // so that a stretching label reports 0
    } else {
        QString text;
        if (FHasPartText) {
            text = FPartText;
        } else {
            const Variant value = IsGenerating() ? GetCurValue() : Variant(DisplayName());
            GetValueForShow(canvas, value, text);
        }
        // The base Draw shrinks the rectangle to the inside of the frame only
        // when painting; measuring at the full width would let a text that
        // fits the full width but not the inside measure one line short and
        // lose its last line to clipping, so it measures inside the frame too.
        const TRect textRect = measuring ? rect.Inflated(-frameWidth, -frameWidth) : rect;
        textHeight = DoDrawText(canvas, textRect, text, textFlags);
    }
    if (FStretch)
        height = textHeight + 2 * frameWidth;
    if (!measuring)
        RememberShown();
    return height;
}

QString TKVXLabel::ShownText(TCanvas& canvas, const Variant& value, const QString& format)
{
    const TFontFace* face = &canvas.Face();
    const quint64 settings = FormatSettingsGeneration();
    const int width = Width();
    const int frameWidth = FrameWidth();
    if (FShown.Face.get() == face && FShown.Width == width && FShown.FrameWidth == frameWidth
        && FShown.Settings == settings && FShown.Value.Identical(value)
        && ((FShown.Format.constData() == format.constData() && FShown.Format.size() == format.size())
            || FShown.Format == format))
        return FShown.Text;
    FShown.Text = FormatControlText(canvas, value, format, width, frameWidth);
    FShown.Value = value;
    FShown.Format = format;
    FShown.Face = canvas.FacePtr();
    FShown.Width = width;
    FShown.FrameWidth = frameWidth;
    FShown.Settings = settings;
    return FShown.Text;
}

bool TKVXLabel::PaintUnseen()
{
    // Only the library's own text controls are known to do nothing else in
    // Draw: a class derived from them may, and is painted in full.
    const std::type_info& type = typeid(*this);
    if (type != typeid(TKVXLabel) && type != typeid(TKVXExpression) && type != typeid(TKVXSysData))
        return false;
    PaintUnseenBackground();
    RememberShown();
    return true;
}

bool TKVXLabel::SplitText(TCanvas& canvas, int availableHeight, bool atLeastOneLine, QString& head, QString& rest)
{
    if (FAngle != 0)
        return false;
    canvas.SetFont(Font()); // as measuring selects it
    QString text;
    if (FHasPartText)
        text = FPartText;
    else
        GetValueForShow(canvas, IsGenerating() ? GetCurValue() : Variant(DisplayName()), text);
    // The lines as DoDrawText breaks them: inside the frame, from where the
    // alignment starts the text.
    const int frameWidth = FrameWidth();
    const TPoint offset = TextOffset(canvas.TextWidth(text), canvas.TextHeight(text));
    const unsigned flags = DT_EXPANDTABS | DT_NOPREFIX | (FWordWrap ? DT_WORDBREAK : 0u);
    const int width = Width() - 2 * frameWidth - offset.X;
    const TTextLayout& layout = canvas.Layout(text, flags, width);
    const int lines = int(layout.Lines.size());
    int fit = layout.LineHeight > 0 ? (availableHeight - 2 * frameWidth - offset.Y) / layout.LineHeight : lines;
    fit = std::max(fit, atLeastOneLine ? 1 : 0);
    if (fit >= lines) {
        head = text;
        rest.clear();
        return true;
    }
    // Without prefix processing the layout's text is the text itself, so a
    // line's start is where the rest begins; the head keeps the blanks or
    // the line break before it, which end a line without adding one.
    const int cut = layout.Lines[fit].Start;
    head = text.left(cut);
    rest = text.mid(cut);
    return true;
}

TPoint TKVXLabel::TextOffset(int tw, int th) const
{
    const int a = FAngle;
    const double c = std::cos(a * kDegreesToRadians);
    const double s = std::sin(a * kDegreesToRadians);
    const int frameWidth = FrameWidth();
    const int innerWidth = Width() - 2 * frameWidth;
    const int innerHeight = Height() - 2 * frameWidth;
    int x = 0;
    switch (Alignment()) {
    case taLeftJustify:
        if (a >= 91 && a <= 180) {
            x -= Trunc(tw * c);
        } else if (a >= 181 && a <= 270) {
            x -= Trunc(tw * c);
            x -= Trunc(th * s);
        } else if (a >= 271) {
            x -= Trunc(th * s);
        }
        x = std::min(x, innerWidth);
        break;
    case taRightJustify:
        x = innerWidth;
        if (a <= 90) {
            x -= Trunc(tw * c);
            x -= Trunc(th * s);
        } else if (a <= 180) {
            x -= Trunc(th * s);
        } else if (a >= 271) {
            x -= Trunc(tw * c);
        }
        x = std::max(x, 0);
        break;
    case taCenter:
        x = innerWidth / 2 - Trunc(tw / 2.0 * c) - Trunc(th / 2.0 * s);
        break;
    }
    int y = 0;
    if (a <= 90) {
        y += Trunc(tw * s);
    } else if (a <= 180) {
        y += Trunc(tw * s);
        y -= Trunc(th * c);
    } else if (a <= 270) {
        y -= Trunc(th * c);
    }
    y = std::min(y, innerHeight);
    return {x, y};
}

int TKVXLabel::DoDrawText(TCanvas& canvas, const TRect& rect, const QString& text, unsigned flags)
{
    canvas.Brush()->SetStyle(bsClear);
    // Measured in the unrotated font.
    const int tw = canvas.TextWidth(text);
    const int th = canvas.TextHeight(text);
    const TPoint offset = TextOffset(tw, th);
    const TRect textRect{rect.Left + offset.X, rect.Top + offset.Y, rect.Right, rect.Bottom};
    if (FAngle == 0)
        return DrawWrapText(canvas, text, 0, flags, textRect);
    // A rotated copy of the font (escapement in tenths of a degree) for the
    // duration of the drawing.
    TFont* font = canvas.Font();
    const int oldOrientation = font->Orientation();
    font->SetOrientation(FAngle * 10);
    int height = 0;
    try {
        height = DrawWrapText(canvas, text, FAngle, flags, textRect);
    } catch (...) {
        font->SetOrientation(oldOrientation);
        throw;
    }
    font->SetOrientation(oldOrientation);
    return height;
}

// --- TKVXExpression -------------------------------------------------------------------------

TKVXExpression::TKVXExpression(QObject* owner) : TKVXLabel(owner), FCalculation(new TKVXCalculation(this))
{
    SetDisplayName(GetString(LanguageShift(), KVX_TEXT_EXPRESSION));
}

void TKVXExpression::SetExpression(const QString& value)
{
    FExpression = value;
    if (DisplayName().isEmpty())
        SetDisplayName(value);
}

void TKVXExpression::SetFormat(const QString& value)
{
    FFormat = value;
    Invalidate();
}

void TKVXExpression::SetCalculation(const TKVXCalculation* value)
{
    if (value && value != FCalculation)
        FCalculation->Assign(value);
}

TField* TKVXExpression::KeptField(const TKVXDataManager* manager) const
{
    const TKeptField& kept = FKeptField;
    if (!kept.Field || !manager || kept.Manager != manager || !SameString(kept.Expression, FExpression))
        return nullptr;
    // Only live objects are followed: the data set and field pointers kept
    // are compared, never dereferenced. Field names are unique within a
    // data set, so the field at its old place with its old name is what a
    // search by that name finds.
    const TKVXDatasets* items = manager->Datasets();
    if (items->Count() == 0)
        return nullptr;
    const TDataSet* dataSet = items->Items(0)->Dataset();
    if (!dataSet || dataSet != kept.DataSet || dataSet->FieldCount() != kept.FieldCount)
        return nullptr;
    TField* field = dataSet->Fields(kept.Index);
    if (field != kept.Field || !SameString(field->FieldName(), kept.FieldName))
        return nullptr;
    return field;
}

void TKVXExpression::KeepField(const TKVXDataManager* manager, const QString& name, TField* field)
{
    FKeptField = TKeptField();
    // A qualified name searches every data set's name and caption: not kept.
    if (!field || !manager || name.contains(u'.') || manager->Datasets()->Count() == 0)
        return;
    TDataSet* dataSet = manager->Datasets()->Items(0)->Dataset();
    if (!dataSet || field->DataSet() != dataSet || dataSet->Fields(field->Index()) != field)
        return;
    FKeptField.Manager = manager;
    FKeptField.Expression = FExpression;
    FKeptField.DataSet = dataSet;
    FKeptField.FieldCount = dataSet->FieldCount();
    FKeptField.Index = field->Index();
    FKeptField.Field = field;
    FKeptField.FieldName = field->FieldName();
}

void TKVXExpression::UpdateCurValue()
{
    // An error (a parse error: evaluation errors print nothing for the
    // record) names this control and its expression.
    try {
        TKVReport* report = Report();
        TKVXDataManager* manager = report ? report->GetDataManager() : DefaultDataManager();
        static const TGetVariableEvent noLookup;
        const TGetVariableEvent& lookup = report ? report->VariableEvent() : noLookup;
        if (FFormat.isEmpty() && FCalculation->CalcType() == ctNothing) {
            // A reference that named a field at the previous record names it
            // still: the expression has not changed, nor the field it found.
            if (const TField* kept = KeptField(manager)) {
                SetCurValue(Variant(kept->Text()));
                return;
            }
            bool settled = false;
            if (!FNoFieldExpression.isNull() && SameString(FNoFieldExpression, FExpression)) {
                // Known to be no field reference: straight to the calculation.
            } else if (ValueIsField(manager, FExpression, lookup, settled)) {
                // The field's own text, unmasked; "[Name]" names the field
                // between the brackets, and parentheses around the reference
                // ("([Amount])", "(Amount)") are no part of the name.
                QString name = FExpression.trimmed();
                while (name.size() >= 2 && name.startsWith(u'(') && name.endsWith(u')'))
                    name = name.mid(1, name.size() - 2).trimmed();
                if (name.size() >= 2 && name.startsWith(u'[') && name.endsWith(u']'))
                    name = name.mid(1, name.size() - 2);
                TField* field = GetFieldByName(manager, name);
                KeepField(manager, name, field);
                SetCurValue(Variant(field ? field->Text() : QString()));
                return;
            } else if (settled) {
                FNoFieldExpression = FExpression;
            }
        }
        QString failure;
        SetCurValue(GetCalculatedValue(manager, FExpression, FFormat, FCalculation->CalcType(), GetPrevValue(),
                                       GetCurValue(), lookup, &FCalculation->Running(), &failure));
        if (!failure.isEmpty() && report) {
            const TKVXBand* band = GetParentBand();
            report->NoteEvaluationFailure((band ? band->Name() + u'.' : QString()) + Name(), FExpression, failure);
        }
    } catch (EKVXError& e) {
        NoteControlPlace(e.Place(), this, "Expression", FExpression);
        throw;
    }
}

void TKVXExpression::GetValueForShow(TCanvas& canvas, const Variant& value, QString& text)
{
    if (!IsGenerating()) {
        TKVXLabel::GetValueForShow(canvas, value, text);
        return;
    }
    text = ShownText(canvas, value, FFormat);
}

// --- TKVXSysData ----------------------------------------------------------------------------

TKVXSysData::TKVXSysData(QObject* owner) : TKVXLabel(owner), FFormat(arrSysDataFormat[size_t(sdDateTime)])
{
    SetDisplayName(GetSysDataName(LanguageShift(), sdDateTime));
}

bool TKVXSysData::IsAutomaticName(const QString& name, TKVXSysDataType kind) const
{
    // Names the control took from its kind (made unique with a number) or
    // from its constructor; anything else was typed by hand.
    if (name.isEmpty() || name == GetString(LanguageShift(), 1013) || name == GetString(0, 1013))
        return true;
    for (const int lang : {LanguageShift(), 0}) {
        const QString automatic = GetSysDataName(lang, kind);
        if (!name.startsWith(automatic))
            continue;
        bool digits = true;
        for (qsizetype i = automatic.size(); i < name.size() && digits; ++i)
            digits = name[i] >= u'0' && name[i] <= u'9';
        if (digits)
            return true;
    }
    return false;
}

void TKVXSysData::SetSysData(TKVXSysDataType value)
{
    if (FSysData == value)
        return;
    const TKVXSysDataType old = FSysData;
    FSysData = value;
    if (FFormat.isEmpty() || FFormat == arrSysDataFormat[size_t(old)])
        FFormat = arrSysDataFormat[size_t(value)];
    // The classic control renamed itself unconditionally, so a form (which
    // stores the name before the kind) lost every name given by hand on
    // loading; a name typed by hand now stays.
    if (IsAutomaticName(DisplayName(), old)) {
        const QString name = GetSysDataName(LanguageShift(), value);
        SetDisplayName(Report() ? Report()->GetUniqueName(name) : name);
    }
    Invalidate();
}

void TKVXSysData::SetFormat(const QString& value)
{
    FFormat = value;
    Invalidate();
}

void TKVXSysData::UpdateCurValue()
{
    TKVReport* report = Report();
    Variant value;
    switch (FSysData) {
    case sdDetailNo:
        value = Variant(report ? report->GetBandLineNo(btDetail) : -1);
        break;
    case sdBandLineNo:
        value = Variant(GetParentBand() ? GetParentBand()->LineNo() : -1);
        break;
    default:
        value = report ? report->GetSysDataValue(FSysData) : Variant::Null();
        break;
    }
    if (value.IsEmptyOrNull()) {
        SetCurValue(Variant(QString()));
        return;
    }
    try {
        if (FSysData == sdDate || FSysData == sdTime || FSysData == sdDateTime)
            value = Variant(FloatToStrG(value.ToDouble())); // the date-time serial number
        else if (FSysData >= sdPageNo)
            value = Variant(QString::number(value.ToInt64()));
    } catch (const EKVXError&) {
        value = Variant(value.ToString());
    }
    SetCurValue(value);
}

void TKVXSysData::GetValueForShow(TCanvas& canvas, const Variant& value, QString& text)
{
    if (!IsGenerating()) {
        TKVXLabel::GetValueForShow(canvas, value, text);
        return;
    }
    text = ShownText(canvas, value, FFormat);
}

} // namespace vorel
