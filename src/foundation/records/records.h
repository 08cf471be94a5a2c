#pragma once
// The small persistent records a report shares: aggregate settings
// (TKVXCalculation), conditional formatting (TKVXHighLight), report variables
// (TKVXVariable), parameters asked before generation (TKVXParameter) and
// outline entries recorded while pages are generated (TKVXOutline).

#include "foundation/components/component.h"
#include "foundation/records/font.h"
#include "foundation/values/variant.h"

namespace vorel {

class TKVXRecordEnums {
    Q_GADGET
public:
    enum TResetType { rtEndReport, rtEndPage, rtEndGroup };
    Q_ENUM(TResetType)
    Q_CLASSINFO("Doc.rtEndReport", "Never starts over during the report (only at the start of each bar).")
    Q_CLASSINFO("Doc.rtEndPage", "Starts over at each new page and each new column (in a page footer at each new "
                                 "page only).")
    Q_CLASSINFO("Doc.rtEndGroup", "Starts over after the footer of the group named in ResetGroup has printed.")
    enum TCalcType { ctNothing, ctCount, ctSum, ctAverage, ctLowest, ctHighest };
    Q_ENUM(TCalcType)
    Q_CLASSINFO("Doc.ctNothing", "No running value: the expression's value for the current record.")
    Q_CLASSINFO("Doc.ctCount", "Counts the values taken.")
    Q_CLASSINFO("Doc.ctSum", "Adds the values taken.")
    Q_CLASSINFO("Doc.ctAverage", "The mean of every value taken since the last reset (Null values are passed over).")
    Q_CLASSINFO("Doc.ctLowest", "The least value taken since the last reset (Null values are passed over).")
    Q_CLASSINFO("Doc.ctHighest", "The greatest value taken since the last reset (Null values are passed over).")
    enum TKVXCalculate { rcOnEveryRow, rcGroupChange, rcVariableChange };
    Q_ENUM(TKVXCalculate)
    Q_CLASSINFO("Doc.rcOnEveryRow", "Takes a value at every record (at every row of the sub-detail band whose fields "
                                    "it reads).")
    Q_CLASSINFO("Doc.rcGroupChange", "Takes a value only when a group on the expression in GroupChange begins.")
    Q_CLASSINFO("Doc.rcVariableChange", "Takes a value only when the value of the report variable named in "
                                        "VariableChange changes.")
    enum TKVXParameterEditor { peEdit, peMemo, peCheckBox, peCombobox, peListBox };
    Q_ENUM(TKVXParameterEditor)
    Q_CLASSINFO("Doc.peEdit", "A one-line text box.")
    Q_CLASSINFO("Doc.peMemo", "A text box of several lines.")
    Q_CLASSINFO("Doc.peCheckBox", "A check box: the value is True or False.")
    Q_CLASSINFO("Doc.peCombobox", "A drop-down list of the ParamPromptValues lines.")
    Q_CLASSINFO("Doc.peListBox", "A list of the ParamPromptValues lines.")
    enum TKVXParameterMode { pmAskAlways, pmAskUndefined };
    Q_ENUM(TKVXParameterMode)
    Q_CLASSINFO("Doc.pmAskAlways", "Asked every time the report prepares.")
    Q_CLASSINFO("Doc.pmAskUndefined", "Asked only while the parameter has no value.")
};
using TResetType = TKVXRecordEnums::TResetType;
using TCalcType = TKVXRecordEnums::TCalcType;
using TKVXCalculate = TKVXRecordEnums::TKVXCalculate;
using TKVXParameterEditor = TKVXRecordEnums::TKVXParameterEditor;
using TKVXParameterMode = TKVXRecordEnums::TKVXParameterMode;
using enum TKVXRecordEnums::TResetType;
using enum TKVXRecordEnums::TCalcType;
using enum TKVXRecordEnums::TKVXCalculate;
using enum TKVXRecordEnums::TKVXParameterEditor;
using enum TKVXRecordEnums::TKVXParameterMode;

// Aggregate settings of an expression control or a variable.
class TKVXCalculation : public TPersistent {
    Q_OBJECT
    Q_CLASSINFO("Doc", "The running value of an expression control or a report variable: what it computes, when it "
                       "takes a value and when it starts over.")
    Q_PROPERTY(QString ResetGroup READ ResetGroup WRITE SetResetGroup)
    Q_CLASSINFO("Doc.ResetGroup", "With ResetType rtEndGroup: the group expression (a group header's Expression) "
                                  "after whose footer the value starts over.")
    Q_PROPERTY(vorel::TKVXRecordEnums::TResetType ResetType READ ResetType WRITE SetResetType)
    Q_CLASSINFO("Doc.ResetType", "When the running value starts over.")
    Q_PROPERTY(vorel::TKVXRecordEnums::TCalcType CalcType READ CalcType WRITE SetCalcType)
    Q_CLASSINFO("Doc.CalcType", "What the running value computes from the values it takes.")
    Q_PROPERTY(vorel::TKVXRecordEnums::TKVXCalculate Calculate READ Calculate WRITE SetCalculate)
    Q_CLASSINFO("Doc.Calculate", "When the running value takes the expression's value.")
    Q_PROPERTY(QString GroupChange READ GroupChange WRITE SetGroupChange)
    Q_CLASSINFO("Doc.GroupChange", "With Calculate rcGroupChange: the group expression whose new groups make the "
                                   "value taken.")
    Q_PROPERTY(QString VariableChange READ VariableChange WRITE SetVariableChange)
    Q_CLASSINFO("Doc.VariableChange", "With Calculate rcVariableChange: the name of the report variable whose "
                                      "changes of value make the value taken.")
public:
    Q_INVOKABLE explicit TKVXCalculation(QObject* owner = nullptr) : TPersistent(owner) {}

    QString ResetGroup() const { return FResetGroup; }
    void SetResetGroup(const QString& v) { FResetGroup = v; }
    TResetType ResetType() const { return FResetType; }
    void SetResetType(TResetType v) { FResetType = v; }
    TCalcType CalcType() const { return FCalcType; }
    void SetCalcType(TCalcType v) { FCalcType = v; }
    TKVXCalculate Calculate() const { return FCalculate; }
    void SetCalculate(TKVXCalculate v) { FCalculate = v; }
    QString GroupChange() const { return FGroupChange; }
    void SetGroupChange(const QString& v) { FGroupChange = v; }
    QString VariableChange() const { return FVariableChange; }
    void SetVariableChange(const QString& v) { FVariableChange = v; }

    // Whether the aggregate is recomputed at a trigger. The per-record
    // trigger passes two empty names, a group trigger the group expression,
    // a variable trigger the variable's name.
    bool StateChanged(const QString& groupName, const QString& variableName) const;
    void Assign(const TPersistent* source) override;

    // What an average needs beside the value it shows: the values seen since
    // the last reset and their sum. Not stored; the running value's owner
    // keeps it while a report generates (the aggregate restarts whenever its
    // running value is Null, so a reset of the value resets this too).
    struct TRunning {
        qint64 Count = 0;
        double Sum = 0;
    };
    TRunning& Running() { return FRunning; }
    // Whose rows advance the aggregate while a report generates: a
    // sub-detail band's own data set when the expression reads its fields,
    // so that a footer's sum over invoice lines sees every line; nullptr
    // for the master's records. Set by the engine, not stored.
    const QObject* RowSource() const { return FRowSource; }
    void SetRowSource(const QObject* source) { FRowSource = source; }

private:
    TRunning FRunning;
    const QObject* FRowSource = nullptr;
    QString FResetGroup;
    TResetType FResetType = rtEndReport;
    TCalcType FCalcType = ctNothing;
    TKVXCalculate FCalculate = rcOnEveryRow;
    QString FGroupChange;
    QString FVariableChange;
};

// --- highlights ---------------------------------------------------------------------

class TKVXHighLight : public TCollectionItem {
    Q_OBJECT
    Q_CLASSINFO("Doc", "Conditional formatting of a control or band: while its condition holds, the control prints "
                       "with this font on this background colour. The first highlight whose condition holds wins.")
    Q_PROPERTY(QString Expression READ Expression WRITE SetExpression)
    Q_CLASSINFO("Doc.Expression", "The condition; one that cannot be computed counts as false.")
    Q_PROPERTY(vorel::TFont* Font READ Font WRITE SetFont)
    Q_CLASSINFO("Doc.Font", "The font the control prints with while the condition holds.")
    Q_PROPERTY(vorel::TColor Color READ Color WRITE SetColor)
    Q_CLASSINFO("Doc.Color", "The background colour filled while the condition holds, also behind a transparent "
                             "control.")
public:
    Q_INVOKABLE explicit TKVXHighLight(vorel::TCollection* collection = nullptr);

    QString Expression() const { return FExpression; }
    void SetExpression(const QString& v);
    TFont* Font() const { return FFont; }
    void SetFont(TFont* v); // copies the content
    TColor Color() const { return FColor; }
    void SetColor(TColor v);
    void Assign(const TPersistent* source) override;

private:
    QString FExpression;
    TFont* FFont;
    TColor FColor = clWhite;
};

class TKVXHighLights : public TCollection {
    Q_OBJECT
public:
    // The owner is the control the highlights format.
    explicit TKVXHighLights(QObject* owner);
    TKVXHighLight* Add() { return static_cast<TKVXHighLight*>(TCollection::Add()); }
    TKVXHighLight* GetHighLight(int index) const { return static_cast<TKVXHighLight*>(Items(index)); }
    void SetHighLight(int index, const TKVXHighLight* value) { Items(index)->Assign(value); }
};

// --- variables ------------------------------------------------------------------------

class TKVXVariable : public TCollectionItem {
    Q_OBJECT
    Q_CLASSINFO("Doc", "A report variable: a named value computed from an expression at every record, optionally as "
                       "a running value, that expressions read by its name.")
    Q_PROPERTY(QString Expression READ Expression WRITE SetExpression)
    Q_CLASSINFO("Doc.Expression", "The expression computed for each record.")
    Q_PROPERTY(vorel::TKVXCalculation* Calculation READ Calculation WRITE SetCalculation)
    Q_CLASSINFO("Doc.Calculation", "Makes the variable a running value (count, sum, ...) and says when it starts over.")
    Q_PROPERTY(QString Name READ Name WRITE SetName)
    Q_CLASSINFO("Doc.Name", "The name expressions read the variable by (as text); a field, parameter or system "
                            "variable of the same name wins.")
    Q_PROPERTY(vorel::Variant PrevValue READ PrevValue WRITE SetPrevValue)
    Q_CLASSINFO("Doc.PrevValue", "The value before the last recomputation; kept while the report prepares, stored in "
                                 "the form only when not Null.")
    Q_PROPERTY(vorel::Variant CurValue READ CurValue WRITE SetCurValue)
    Q_CLASSINFO("Doc.CurValue", "The current value; kept while the report prepares, stored in the form only when not "
                                "Null.")
public:
    Q_INVOKABLE explicit TKVXVariable(vorel::TCollection* collection = nullptr);

    QString Expression() const { return FExpression; }
    void SetExpression(const QString& v) { FExpression = v; }
    TKVXCalculation* Calculation() const { return FCalculation; }
    void SetCalculation(TKVXCalculation* v) { FCalculation->Assign(v); }
    QString Name() const { return FName; }
    void SetName(const QString& v) { FName = v; }
    const Variant& PrevValue() const { return FPrevValue; }
    void SetPrevValue(const Variant& v) { FPrevValue = v; }
    const Variant& CurValue() const { return FCurValue; }
    void SetCurValue(const Variant& v) { FCurValue = v; }
    // The values go into a form only when they are not Null.
    bool IsPropertyStored(const char* name) const override;

    // True when either value is Empty, otherwise whether they differ (Null
    // counts as a value: a Null previous value differs from any other).
    bool ValueChanged() const;
    // Copies the expression, the calculation settings and the name, not the values.
    void Assign(const TPersistent* source) override;
    QString DisplayName() const override { return FName.isEmpty() ? TCollectionItem::DisplayName() : FName; }

private:
    QString FExpression;
    TKVXCalculation* FCalculation;
    QString FName;
    Variant FPrevValue = Variant::Null();
    Variant FCurValue = Variant::Null();
};

class TKVXVariables : public TCollection {
    Q_OBJECT
public:
    explicit TKVXVariables(QObject* owner);
    TKVXVariable* Add() { return static_cast<TKVXVariable*>(TCollection::Add()); }
    TKVXVariable* GetVariable(int index) const { return static_cast<TKVXVariable*>(Items(index)); }
    void SetVariable(int index, const TKVXVariable* value) { Items(index)->Assign(value); }
};

// --- parameters -----------------------------------------------------------------------

class TKVXParameter : public TCollectionItem {
    Q_OBJECT
    Q_CLASSINFO("Doc", "A report parameter: a value asked for before the report prepares (or given with vorel render "
                       "--param) that expressions read by its name or label.")
    Q_PROPERTY(QString DisplayLabel READ DisplayLabel WRITE SetDisplayLabel)
    Q_CLASSINFO("Doc.DisplayLabel", "The label the parameter dialog shows; expressions may read the parameter by it "
                                    "too.")
    Q_PROPERTY(QString Name READ Name WRITE SetName)
    Q_CLASSINFO("Doc.Name", "The name expressions read the parameter by.")
    Q_PROPERTY(vorel::Variant Value READ Value WRITE SetValue)
    Q_CLASSINFO("Doc.Value", "The parameter's value; stored in the form only when not Null.")
    Q_PROPERTY(vorel::TStringList* ParamPromptValues READ ParamPromptValues WRITE SetParamPromptValues)
    Q_CLASSINFO("Doc.ParamPromptValues", "The choices of a combo or list box editor, one per line.")
    Q_PROPERTY(vorel::TKVXRecordEnums::TKVXParameterEditor ParameterEditor READ ParameterEditor WRITE SetParameterEditor)
    Q_CLASSINFO("Doc.ParameterEditor", "How the parameter dialog asks for the value.")
    Q_PROPERTY(vorel::TKVXRecordEnums::TKVXParameterMode ParameterMode READ ParameterMode WRITE SetParameterMode)
    Q_CLASSINFO("Doc.ParameterMode", "Whether the value is asked every time or only while it has none.")
public:
    Q_INVOKABLE explicit TKVXParameter(vorel::TCollection* collection = nullptr);

    QString DisplayLabel() const { return FDisplayLabel; }
    void SetDisplayLabel(const QString& v) { FDisplayLabel = v; }
    QString Name() const { return FName; }
    void SetName(const QString& v) { FName = v; }
    const Variant& Value() const { return FValue; }
    void SetValue(const Variant& v) { FValue = v; }
    // The value goes into a form only when it is not Null.
    bool IsPropertyStored(const char* name) const override;
    TStringList* ParamPromptValues() const { return FParamPromptValues; }
    void SetParamPromptValues(TStringList* v) { FParamPromptValues->Assign(v); }
    TKVXParameterEditor ParameterEditor() const { return FParameterEditor; }
    void SetParameterEditor(TKVXParameterEditor v) { FParameterEditor = v; }
    TKVXParameterMode ParameterMode() const { return FParameterMode; }
    void SetParameterMode(TKVXParameterMode v) { FParameterMode = v; }

    // pmAskAlways, or pmAskUndefined while the value is Empty or Null.
    bool NeedsAsking() const;
    void Assign(const TPersistent* source) override;
    QString DisplayName() const override { return FName.isEmpty() ? TCollectionItem::DisplayName() : FName; }

private:
    QString FDisplayLabel;
    QString FName;
    Variant FValue = Variant::Null();
    TStringList* FParamPromptValues;
    TKVXParameterEditor FParameterEditor = peEdit;
    TKVXParameterMode FParameterMode = pmAskAlways;
};

class TKVXParameters : public TCollection {
    Q_OBJECT
public:
    explicit TKVXParameters(QObject* owner);
    TKVXParameter* Add() { return static_cast<TKVXParameter*>(TCollection::Add()); }
    TKVXParameter* GetParameter(int index) const { return static_cast<TKVXParameter*>(Items(index)); }
    void SetParameter(int index, const TKVXParameter* value) { Items(index)->Assign(value); }
    // The first parameter whose Name equals name exactly (case-sensitive), or nullptr.
    TKVXParameter* ParamByName(const QString& name) const;
};

// --- outlines ---------------------------------------------------------------------------

class TKVXOutline : public TCollectionItem {
    Q_OBJECT
    Q_CLASSINFO("Doc", "A bookmark recorded while the report prepares (a band's OutlineExpression): its text and "
                       "where it points. PDF files carry them as bookmarks.")
    Q_PROPERTY(QString Text READ Text WRITE SetText)
    Q_CLASSINFO("Doc.Text", "The bookmark's text.")
    Q_PROPERTY(int PageNo READ PageNo WRITE SetPageNo)
    Q_CLASSINFO("Doc.PageNo", "The page it points to, counted from 0 within its bar.")
    Q_PROPERTY(int BarNo READ BarNo WRITE SetBarNo)
    Q_CLASSINFO("Doc.BarNo", "The bar of that page, counted from 0.")
    Q_PROPERTY(int Top READ Top WRITE SetTop)
    Q_CLASSINFO("Doc.Top", "How far down the page it points, in report pixels.")
public:
    Q_INVOKABLE explicit TKVXOutline(vorel::TCollection* collection = nullptr) : TCollectionItem(collection) {}

    QString Text() const { return FText; }
    void SetText(const QString& v) { FText = v; }
    int PageNo() const { return FPageNo; } // page index within its bar, from 0
    void SetPageNo(int v) { FPageNo = v; }
    int BarNo() const { return FBarNo; } // bar index, from 0
    void SetBarNo(int v) { FBarNo = v; }
    int Top() const { return FTop; } // report pixels from the page top
    void SetTop(int v) { FTop = v; }
    void Assign(const TPersistent* source) override;

private:
    QString FText;
    int FPageNo = 0;
    int FBarNo = 0;
    int FTop = 0;
};

class TKVXOutlines : public TCollection {
    Q_OBJECT
public:
    explicit TKVXOutlines(QObject* owner);
    TKVXOutline* Add() { return static_cast<TKVXOutline*>(TCollection::Add()); }
    TKVXOutline* GetOutline(int index) const { return static_cast<TKVXOutline*>(Items(index)); }
};

// Registers the record classes with the class registry (form streaming).
void RegisterRecordClasses();

} // namespace vorel

