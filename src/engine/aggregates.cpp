// Running values during generation: which controls and variables a trigger
// recomputes (UpdateCurValues), when running values return to Null
// (ResetPrintedValues), and the engine's reset points built on them.
//
// Where the triggers stand (band_engine.cpp and band_step.cpp call them):
//   start of PrepareReport, first record current    variables
//   start of each bar, after the bar's reset         variables, then all bands
//   group header about to print                      variables, then all bands, for its group
//   record advance, new record current              variables, then all bands but group footers
//   each record of a sub-detail data set             that band only, without group footers
//   end of each record pass                          group footers
// A running value lives in its owner's current value, as text.

#include "engine/generation_p.h"

#include "expr/expressions.h"
#include "model/text_controls.h"

#include <algorithm>
#include <vector>

namespace vorel {

namespace {

// The variables whose recomputation is under way on this thread. A variable
// whose change triggers itself again (directly, or through other variables
// that depend on it) would otherwise be recomputed without end: while it is
// being recomputed, a trigger passes it over.
thread_local std::vector<const TKVXVariable*> tRecomputing;

class TRecomputeMark {
public:
    explicit TRecomputeMark(const TKVXVariable* variable) { tRecomputing.push_back(variable); }
    ~TRecomputeMark() { tRecomputing.pop_back(); }
    TRecomputeMark(const TRecomputeMark&) = delete;
    TRecomputeMark& operator=(const TRecomputeMark&) = delete;
};

bool BeingRecomputed(const TKVXVariable* variable)
{
    return std::find(tRecomputing.begin(), tRecomputing.end(), variable) != tRecomputing.end();
}

// One step of a variable: the previous value takes the current one, the
// current one the calculated value; a change triggers the variables and
// the bands that recompute on this variable's change.
void RecomputeVariable(TKVReport* report, TKVXVariable* variable, int fromBand, int toBand)
{
    if (BeingRecomputed(variable))
        return;
    const TRecomputeMark mark(variable);
    variable->SetPrevValue(variable->CurValue());
    variable->SetCurValue(GetCalculatedValue(report->GetDataManager(), variable->Expression(), QString(),
                                             variable->Calculation()->CalcType(), variable->PrevValue(),
                                             variable->CurValue(), report->VariableEvent()));
    if (!variable->ValueChanged())
        return;
    const QString name = variable->Name();
    report->UpdateCurValues(fromBand, toBand, uvOnlyCustomVariables, QString(), name);
    report->UpdateCurValues(fromBand, toBand, uvAllBand, QString(), name);
}

bool BandSelected(TBandType type, TUpdateValue mode)
{
    switch (mode) {
    case uvAllBand: return true;
    case uvWithoutGroupFooter: return type != btGroupFooter;
    case uvOnlyGroupFooter: return type == btGroupFooter;
    case uvOnlyCustomVariables: return false;
    }
    return false;
}

// Whether a reset of this type and group empties a running value with
// these settings (an end of report empties all of them).
bool ResetApplies(const TKVXCalculation* calculation, TResetType resetType, const QString& groupName)
{
    return resetType == rtEndReport
        || (calculation->ResetType() == resetType && calculation->ResetGroup() == groupName);
}

// Whether the per-record trigger (no group, no variable name) advances it.
bool AdvancesPerRecord(const TKVXCalculation* calculation)
{
    return calculation->StateChanged(QString(), QString());
}

} // namespace

void TKVReport::UpdateCurValues(int fromBand, int toBand, TUpdateValue mode, const QString& groupName,
                                const QString& variableName)
{
    if (mode == uvOnlyCustomVariables) {
        TKVXVariables* variables = Variables();
        for (int i = 0; i < variables->Count(); ++i) {
            TKVXVariable* variable = variables->GetVariable(i);
            if (variable->Calculation()->StateChanged(groupName, variableName))
                RecomputeVariable(this, variable, fromBand, toBand);
        }
        return;
    }
    const int last = int(FBands.size()) - 1;
    const int from = fromBand < 0 ? 0 : fromBand;
    const int to = toBand < 0 ? last : std::min(toBand, last);
    for (int i = from; i <= to; ++i) {
        TKVXBand* band = FBands[i];
        if (!BandSelected(band->BandType(), mode))
            continue;
        const QList<TKVXControl*>& objects = band->Objects();
        for (qsizetype k = 0; k < objects.size(); ++k) {
            TKVXControl* control = objects[k];
            if (auto* expression = control->AsExpression()) {
                if (expression->Calculation()->StateChanged(groupName, variableName))
                    expression->UpdateCurValue();
            } else if (control->AsLabel()) {
                // Labels and system data hold no running value.
                control->UpdateCurValue();
            }
        }
    }
}

void TKVReport::ResetPrintedValues(TResetType resetType, const QString& groupName)
{
    const Variant null = Variant::Null();
    for (TKVXBand* band : FBands) {
        if (resetType == rtEndReport) {
            band->SetCurValue(null);
            band->SetPrevValue(null);
            band->SetLineNo(1);
        } else if (resetType == rtEndGroup && band->Expression().compare(groupName, Qt::CaseInsensitive) == 0) {
            band->SetCurValue(null);
            band->SetPrevValue(null);
        }
        for (TKVXControl* control : band->Objects()) {
            auto* expression = control->AsExpression();
            if (expression && ResetApplies(expression->Calculation(), resetType, groupName)) {
                expression->SetCurValue(null);
                expression->SetPrevValue(null);
            }
        }
    }
    TKVXVariables* variables = Variables();
    for (int i = 0; i < variables->Count(); ++i) {
        TKVXVariable* variable = variables->GetVariable(i);
        if (ResetApplies(variable->Calculation(), resetType, groupName)) {
            variable->SetCurValue(null);
            variable->SetPrevValue(null);
        }
    }
}

bool TakesValuesWhenPrinted(TBandType type)
{
    switch (type) {
    case btReportTitle:
    case btPageHeader:
    case btPageFooter:
    case btColumnHeader:
    case btColumnFooter:
    case btReportSummary:
    case btGroupHeader: return true;
    default: return false;
    }
}

bool HoldsNoRunningValue(TKVXControl* control)
{
    if (auto* expression = control->AsExpression()) {
        const TKVXCalculation* calculation = expression->Calculation();
        return calculation->CalcType() == ctNothing && AdvancesPerRecord(calculation);
    }
    return control->AsLabel() != nullptr;
}

void TakeValuesForPrinting(TKVXBand* band)
{
    for (TKVXControl* control : band->Objects())
        if (HoldsNoRunningValue(control))
            control->UpdateCurValue();
}

void UpdateBandsForRecord(TKVReport& report)
{
    const QList<TKVXBand*>& bands = report.Bands();
    for (qsizetype i = 0; i < bands.size(); ++i) {
        TKVXBand* band = bands[i];
        const TBandType type = band->BandType();
        if (type == btGroupFooter)
            continue;
        if (!TakesValuesWhenPrinted(type)) {
            report.UpdateCurValues(int(i), int(i), uvWithoutGroupFooter, QString(), QString());
            continue;
        }
        for (TKVXControl* control : band->Objects()) {
            if (HoldsNoRunningValue(control))
                continue;
            if (auto* expression = control->AsExpression();
                expression && AdvancesPerRecord(expression->Calculation()))
                expression->UpdateCurValue();
        }
    }
}

void ResetRunningValues(TGenerationContext& context, TResetType resetType, const QString& groupName)
{
    TKVReport* report = context.Report;
    report->ResetPrintedValues(resetType, groupName);
    if (!context.RecordTaken)
        return;
    // The non-footer bands (and the variables) took the current record
    // before this reset: the record advance evaluated them for it. Left
    // empty, a detail running sum would print nothing in the first row of
    // a new page or group and never count that row; so the values that
    // advance per record start over with it.
    TKVXVariables* variables = report->Variables();
    for (int i = 0; i < variables->Count(); ++i) {
        TKVXVariable* variable = variables->GetVariable(i);
        const TKVXCalculation* calculation = variable->Calculation();
        if (ResetApplies(calculation, resetType, groupName) && AdvancesPerRecord(calculation))
            RecomputeVariable(report, variable, -1, -1);
    }
    for (TKVXBand* band : report->Bands()) {
        if (band->BandType() == btGroupFooter)
            continue; // footers take the record at the end of the pass
        for (TKVXControl* control : band->Objects()) {
            auto* expression = control->AsExpression();
            if (!expression)
                continue;
            const TKVXCalculation* calculation = expression->Calculation();
            if (ResetApplies(calculation, resetType, groupName) && AdvancesPerRecord(calculation))
                expression->UpdateCurValue();
        }
    }
}

void ResetGroupAfterFooter(TGenerationContext& context, TKVXBand* footer)
{
    ResetRunningValues(context, rtEndGroup, footer->Expression());
}

} // namespace vorel
