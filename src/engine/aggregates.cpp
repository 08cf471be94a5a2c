// Running values during generation: which controls and variables a trigger
// recomputes (UpdateCurValues), when running values return to Null
// (ResetPrintedValues), and the engine's reset points built on them.
//
// Where the triggers stand (band_engine.cpp and band_step.cpp call them):
//   start of PrepareReport, first record current    variables
//   start of each bar, after the bar's reset         variables, then all bands
//   group header about to print                      variables, then all bands, for its group
//   record advance, new record current              variables, then all bands but group footers
//   each record of a sub-detail data set             that band only, without group footers,
//                                                    then the aggregates elsewhere that read its rows
//   a detail band has printed                        the page bands' running values
//   end of each record pass                          group footers
// The page bands (title, page and column headers and footers) and the
// aggregates that sub-detail rows advance are left out of the per-record
// triggers: a page footer sums the records printed on its page, an invoice
// total the lines printed under it.
// A running value lives in its owner's current value, as text.

#include "engine/generation_p.h"

#include "expr/expressions.h"
#include "model/error_place.h"
#include "model/text_controls.h"

#include <algorithm>
#include <typeinfo>
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
    QString failure;
    try {
        variable->SetCurValue(GetCalculatedValue(report->GetDataManager(), variable->Expression(), QString(),
                                                 variable->Calculation()->CalcType(), variable->PrevValue(),
                                                 variable->CurValue(), report->VariableEvent(),
                                                 &variable->Calculation()->Running(), &failure));
    } catch (EKVXError& e) {
        NoteVariablePlace(e.Place(), variable);
        throw;
    }
    if (!failure.isEmpty())
        report->NoteEvaluationFailure(QStringLiteral("variable ") + variable->Name(), variable->Expression(), failure);
    if (!variable->ValueChanged())
        return;
    const QString name = variable->Name();
    report->UpdateCurValues(fromBand, toBand, uvOnlyCustomVariables, QString(), name);
    report->UpdateCurValues(fromBand, toBand, uvAllBand, QString(), name);
}

// Whether a running calculation steps at this trigger: a per-record trigger
// (no names) passes over the aggregates that sub-detail rows advance.
bool Steps(const TKVXCalculation* calculation, const QString& groupName, const QString& variableName)
{
    if (!calculation->StateChanged(groupName, variableName))
        return false;
    return !calculation->RowSource() || !groupName.isEmpty() || !variableName.isEmpty();
}


// A sub-detail band over a data set of its own: its rows advance it.
bool WalksOwnRows(const TKVXBand* band, const TDataSet* master)
{
    return band->BandType() == btSubDetail && band->GetDataset() && band->GetDataset() != master;
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

bool NothingSeesRunningValues(const TKVReport& report)
{
    if (report.BeforeControlPrint || report.AfterControlPrint || report.BeforeBandPrint || report.AfterBandPrint
        || report.OnBeginColumn || report.OnEndColumn || report.OnGetVariable)
        return false;
    for (const TKVXBand* band : report.Bands()) {
        if (band->Stretch())
            return false;
        for (TKVXControl* control : band->Objects()) {
            if (!control->AsLabel())
                continue; // takes no running value
            const std::type_info& type = typeid(*control);
            if (type != typeid(TKVXLabel) && type != typeid(TKVXExpression) && type != typeid(TKVXSysData))
                return false;
            if (!control->KVPrintWhen()->RepeatedValues() || control->GetHighLights()->Count() > 0)
                return false;
        }
    }
    return true;
}

void TKVReport::UpdateCurValues(int fromBand, int toBand, TUpdateValue mode, const QString& groupName,
                                const QString& variableName)
{
    if (FValuesUnseen && mode != uvOnlyCustomVariables)
        return;
    if (mode == uvOnlyCustomVariables) {
        TKVXVariables* variables = Variables();
        for (int i = 0; i < variables->Count(); ++i) {
            TKVXVariable* variable = variables->GetVariable(i);
            if (Steps(variable->Calculation(), groupName, variableName))
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
        const TKVReport::TActiveBandScope active(this, band);
        const QList<TKVXControl*>& objects = band->Objects();
        for (qsizetype k = 0; k < objects.size(); ++k) {
            TKVXControl* control = objects[k];
            if (auto* expression = control->AsExpression()) {
                if (Steps(expression->Calculation(), groupName, variableName))
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
    // A band's group value becomes Empty, "no group yet": Null is a group
    // value of its own (records without one form a group).
    const Variant none{};
    for (TKVXBand* band : FBands) {
        if (resetType == rtEndReport) {
            band->SetCurValue(none);
            band->SetPrevValue(none);
            band->SetLineNo(1);
        } else if (resetType == rtEndGroup && band->Expression().compare(groupName, Qt::CaseInsensitive) == 0) {
            band->SetCurValue(none);
            band->SetPrevValue(none);
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

bool IsPageBand(TBandType type)
{
    switch (type) {
    case btReportTitle:
    case btPageHeader:
    case btPageFooter:
    case btColumnHeader:
    case btColumnFooter: return true;
    default: return false;
    }
}

bool TakesValuesWhenPrinted(TBandType type)
{
    return IsPageBand(type) || type == btReportSummary || type == btGroupHeader;
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
    TKVReport* report = band->Report();
    if (!report || report->ValuesUnseen())
        return;
    const TKVReport::TActiveBandScope active(report, band);
    for (TKVXControl* control : band->Objects())
        if (HoldsNoRunningValue(control))
            control->UpdateCurValue();
}

void UpdateBandsForRecord(TGenerationContext& context)
{
    TKVReport& report = *context.Report;
    if (report.ValuesUnseen())
        return;
    const QList<TKVXBand*>& bands = report.Bands();
    for (qsizetype i = 0; i < bands.size(); ++i) {
        TKVXBand* band = bands[i];
        const TBandType type = band->BandType();
        // Footers take the record at the end of the pass, page bands when a
        // data band prints, a sub-detail band over its own rows per row.
        if (type == btGroupFooter || IsPageBand(type) || WalksOwnRows(band, context.Master))
            continue;
        if (!TakesValuesWhenPrinted(type)) {
            report.UpdateCurValues(int(i), int(i), uvWithoutGroupFooter, QString(), QString());
            continue;
        }
        const TKVReport::TActiveBandScope active(&report, band);
        for (TKVXControl* control : band->Objects()) {
            if (HoldsNoRunningValue(control))
                continue;
            if (auto* expression = control->AsExpression(); expression && Steps(expression->Calculation(), {}, {}))
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
    // The bands that take records at the record advance (and the variables)
    // took the current record before this reset. Left empty, a detail
    // running sum would print nothing in the first row of a new page or
    // group and never count that row; so the values that advance per
    // record start over with it.
    auto retakes = [&](const TKVXCalculation* calculation) {
        return ResetApplies(calculation, resetType, groupName) && AdvancesPerRecord(calculation)
            && !calculation->RowSource();
    };
    TKVXVariables* variables = report->Variables();
    for (int i = 0; i < variables->Count(); ++i) {
        TKVXVariable* variable = variables->GetVariable(i);
        if (retakes(variable->Calculation()))
            RecomputeVariable(report, variable, -1, -1);
    }
    if (report->ValuesUnseen())
        return;
    for (TKVXBand* band : report->Bands()) {
        const TBandType type = band->BandType();
        // Group footers take the record at the end of the pass; once they
        // have, they took it before the reset too.
        if ((type == btGroupFooter && !context.FootersTaken) || IsPageBand(type) || WalksOwnRows(band, context.Master))
            continue;
        const TKVReport::TActiveBandScope active(report, band);
        for (TKVXControl* control : band->Objects()) {
            auto* expression = control->AsExpression();
            if (expression && retakes(expression->Calculation()))
                expression->UpdateCurValue();
        }
    }
}

void StepPageBands(TGenerationContext& context)
{
    TKVReport* report = context.Report;
    if (report->ValuesUnseen())
        return;
    for (TKVXBand* band : report->Bands()) {
        if (!IsPageBand(band->BandType()))
            continue;
        const TKVReport::TActiveBandScope active(report, band);
        for (TKVXControl* control : band->Objects())
            if (auto* expression = control->AsExpression()) {
                const TKVXCalculation* calculation = expression->Calculation();
                if (calculation->CalcType() != ctNothing && Steps(calculation, {}, {}))
                    expression->UpdateCurValue();
            }
    }
}

void StepRowAggregates(TGenerationContext& context, int subDetailIndex)
{
    for (const TRowSteps& steps : context.RowSteps) {
        if (steps.BandIndex != subDetailIndex)
            continue;
        for (TKVXVariable* variable : steps.Variables)
            RecomputeVariable(context.Report, variable, -1, -1);
        if (context.Report->ValuesUnseen())
            continue;
        for (TKVXExpression* control : steps.Controls) {
            const TKVReport::TActiveBandScope active(context.Report, control->GetParentBand());
            control->UpdateCurValue();
        }
    }
}

} // namespace vorel
