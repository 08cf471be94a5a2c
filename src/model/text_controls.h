#pragma once
// The text controls of the label family: TKVXLabel prints fixed text,
// TKVXExpression the value of an expression (optionally a running aggregate)
// through a format mask, TKVXSysData a system value (date, page number, line
// number ...). The engine calls UpdateCurValue to compute the current value;
// Draw gets the display text with GetValueForShow and places it with
// DoDrawText.

#include "foundation/language/language.h"
#include "foundation/records/records.h"
#include "graphics/text_measure.h"
#include "model/control.h"

namespace vorel {

class TDataSet;
class TField;
class TKVXDataManager;

// Text ids of the default display names.
constexpr int KVX_TEXT_LABEL = 1014;      // "Text"
constexpr int KVX_TEXT_EXPRESSION = 1015; // "Expression"

class TKVXLabel : public TKVXControl {
    Q_OBJECT
    Q_CLASSINFO("Doc", "A text label: prints its DisplayName as fixed text.")
    Q_CLASSINFO("Doc.DisplayName", "The text the label prints.")
    Q_PROPERTY(int Angle READ Angle WRITE SetAngle)
    Q_CLASSINFO("Doc.Angle", "The rotation of the text in degrees, counter-clockwise (0 to 359); rotated text prints "
                             "as one line.")
    Q_PROPERTY(bool WordWrap READ WordWrap WRITE SetWordWrap)
    Q_CLASSINFO("Doc.WordWrap", "Breaks the text into lines at blanks to fit the control's width.")
    Q_PROPERTY(bool Stretch READ Stretch WRITE SetStretch)
    Q_CLASSINFO("Doc.Stretch", "In a stretching band, the control takes the height of its text instead of its design "
                               "height.")
public:
    Q_INVOKABLE explicit TKVXLabel(QObject* owner = nullptr);

    // Degrees counter-clockwise; a value outside 0..359 becomes 0.
    int Angle() const { return FAngle; }
    void SetAngle(int value);
    // Break lines at word boundaries inside the rectangle.
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool value);
    // Report the height of the drawn text instead of the design height.
    bool Stretch() const { return FStretch; }
    void SetStretch(bool value);

    TKVXLabel* AsLabel() override { return this; }
    // The label's value is its DisplayName.
    void UpdateCurValue() override;
    int Draw(TCanvas& canvas, TRect& rect, int tallestSoFar, unsigned flags) override;
    // The highlights, and the value remembered as shown.
    bool PaintUnseen() override;
    // What painting leaves besides the page: the value remembered as shown
    // (for the suppression of repeated values), a forced print used up.
    void RememberShown()
    {
        SetPrevValue(GetCurValue());
        SetForcePrint(false);
    }
    // The text shown for a value: the label renders it without a mask.
    virtual void GetValueForShow(TCanvas& canvas, const Variant& value, QString& text);
    // Places the text by Alignment and Angle inside rect (the inside of the
    // frame) and draws it; returns the text height.
    int DoDrawText(TCanvas& canvas, const TRect& rect, const QString& text, unsigned flags);

    // Where DoDrawText starts the text, relative to the inside of the frame
    // (report pixels), for a text of tw x th pixels: the rules of every
    // rotation and alignment, exposed for the designer and tests.
    TPoint TextOffset(int textWidth, int textHeight) const;

    // A band continued over pages shows a text in parts. SplitText cuts the
    // text the control shows now (its part text, else its value) after the
    // lines that fit availableHeight report pixels from the control's top
    // (its frame included): head is what fits, rest what carries over
    // (empty when all fits). With atLeastOneLine the head holds a line
    // even when none fits, so that a continuation always moves on. False
    // when the text cannot be cut (rotated text).
    bool SplitText(TCanvas& canvas, int availableHeight, bool atLeastOneLine, QString& head, QString& rest);
    // While a part text is set, Draw shows it instead of the value.
    void SetPartText(const QString& text) { FPartText = text; FHasPartText = true; }
    void ClearPartText() { FPartText.clear(); FHasPartText = false; }
    bool HasPartText() const { return FHasPartText; }

protected:
    // FormatControlText of the value for this control (its width and frame)
    // on the canvas's current font. The text last made is kept with what it
    // was made from: a control placed at the centre or bottom of its band
    // is measured and then painted with the same value, font and width, and
    // the painting takes the measured text.
    QString ShownText(TCanvas& canvas, const Variant& value, const QString& format);

private:
    struct TShownText {
        Variant Value;
        QString Format;
        TFontFacePtr Face; // held, so that its address stays its own
        int Width = -1;
        int FrameWidth = 0;
        quint64 Settings = 0; // format settings generation
        QString Text;
    };
    TShownText FShown;
    QString FPartText;
    bool FHasPartText = false;
    int FAngle = 0;
    bool FWordWrap = true;
    bool FStretch = true;
};

class TKVXExpression : public TKVXLabel {
    Q_OBJECT
    Q_CLASSINFO("Doc", "Prints the value of an expression (a field, a computed value, a running total) through a "
                       "format descriptor.")
    Q_CLASSINFO("Doc.DisplayName", "The name the designer shows; set to the expression's text while empty.")
    Q_PROPERTY(QString Expression READ Expression WRITE SetExpression)
    Q_CLASSINFO("Doc.Expression", "The expression whose value prints ('[Price] * [Qty]', 'Orders.Customer').")
    Q_PROPERTY(QString Format READ Format WRITE SetFormat)
    Q_CLASSINFO("Doc.Format", "The format descriptor the value prints through ('@N @ND2 @NR0.01 '); empty prints the "
                              "value as it is (see Format descriptors).")
    Q_PROPERTY(vorel::TKVXCalculation* Calculation READ Calculation WRITE SetCalculation)
    Q_CLASSINFO("Doc.Calculation", "Makes the control print a running value (count, sum, average, lowest, highest) "
                                   "and says when it starts over.")
public:
    Q_INVOKABLE explicit TKVXExpression(QObject* owner = nullptr);

    QString Expression() const { return FExpression; }
    // An empty DisplayName takes the expression text.
    void SetExpression(const QString& value);
    QString Format() const { return FFormat; }
    void SetFormat(const QString& value);
    TKVXCalculation* Calculation() const { return FCalculation; }
    void SetCalculation(const TKVXCalculation* value); // copies

    TKVXExpression* AsExpression() override { return this; }

    // A plain field reference without mask and aggregate takes the field's
    // text (an empty text when the field is missing); anything else the
    // calculated-value evaluation with the mask and the aggregate step.
    void UpdateCurValue() override;
    // While generating: the value through Format, for the characters that
    // fit the control's width.
    void GetValueForShow(TCanvas& canvas, const Variant& value, QString& text) override;

private:
    // The field a plain field reference found last and what it was found
    // through: while the report's first data set and its fields stay as
    // they were, the next record takes the field's text without parsing
    // or searching the name again.
    struct TKeptField {
        const TKVXDataManager* Manager = nullptr;
        QString Expression;
        TDataSet* DataSet = nullptr;
        int FieldCount = 0;
        int Index = -1;
        TField* Field = nullptr; // nullptr: nothing kept
        QString FieldName;
    };
    TField* KeptField(const TKVXDataManager* manager) const;
    void KeepField(const TKVXDataManager* manager, const QString& name, TField* field);

    QString FExpression;
    QString FFormat;
    TKVXCalculation* FCalculation;
    TKeptField FKeptField;
    // An expression text known to be no plain field reference whatever the
    // data holds (its root is no single name); empty: none known.
    QString FNoFieldExpression;
};

class TKVXSysData : public TKVXLabel {
    Q_OBJECT
    Q_CLASSINFO("Doc", "Prints a system value: the date or time, a page, bar, column or line number or count, or a "
                       "document property.")
    Q_CLASSINFO("Doc.DisplayName", "The name the designer shows; follows SysData while not changed by hand.")
    Q_PROPERTY(vorel::TKVXSysDataTypes::TKVXSysDataType SysData READ SysData WRITE SetSysData)
    Q_CLASSINFO("Doc.SysData", "Which system value prints (see System variables).")
    Q_PROPERTY(QString Format READ Format WRITE SetFormat)
    Q_CLASSINFO("Doc.Format", "The format descriptor the value prints through; a new SysData brings its own (see "
                              "System variables).")
public:
    Q_INVOKABLE explicit TKVXSysData(QObject* owner = nullptr);

    TKVXSysDataType SysData() const { return FSysData; }
    // A new kind: a mask that is empty or still the old kind's default
    // becomes the new kind's default; a display name that is still the old
    // kind's name (or empty) becomes the new kind's, made unique.
    void SetSysData(TKVXSysDataType value);
    QString Format() const { return FFormat; }
    void SetFormat(const QString& value);

    // The frame's value (detail and band line numbers from the bands), as
    // text: dates and times as their serial number, counters as integers.
    void UpdateCurValue() override;
    void GetValueForShow(TCanvas& canvas, const Variant& value, QString& text) override;

private:
    bool IsAutomaticName(const QString& name, TKVXSysDataType kind) const;

    TKVXSysDataType FSysData = sdDateTime;
    QString FFormat;
};

// The text of a value through a mask for a control of widthInPixels
// (report pixels, frame included) on the canvas's current font: the
// pipeline shared by expressions and system data.
QString FormatControlText(TCanvas& canvas, const Variant& value, const QString& format, int widthInPixels,
                          int frameWidth);

} // namespace vorel
