// Print-when settings and the report's evaluation of their conditions.

#include "model/print_when.h"

#include "expr/expressions.h"
#include "model/error_place.h"
#include "model/report.h"

namespace vorel {

void TKVPrintWhen::Assign(const TPersistent* source)
{
    const auto* other = qobject_cast<const TKVPrintWhen*>(source);
    if (!other) {
        TPersistent::Assign(source);
        return;
    }
    FRepeatedValues = other->FRepeatedValues;
    FRePrintOnNewPage = other->FRePrintOnNewPage;
    FOnGroupChange = other->FOnGroupChange;
    FGroupName = other->FGroupName;
    FOnOverflow = other->FOnOverflow;
    FRemoveBlankLine = other->FRemoveBlankLine;
    FShowIf = other->FShowIf;
    FHideWhen = other->FHideWhen;
}

namespace {

// A condition's value: Null (a comparison with a missing value) does not
// hold, as in a query's filter; a value that is no Boolean (a text, a date)
// ends the preparation with a message naming the control and the condition.
bool ConditionHolds(const Variant& value, const TKVXControl* control, const char* kind, const QString& condition)
{
    if (value.IsEmptyOrNull())
        return false;
    try {
        return value.ToBool();
    } catch (const EKVXError&) {
        const TKVXBand* band = control->GetParentBand();
        const QString where = (band && band != control ? band->Name() + u'.' : QString()) + control->Name();
        throw EKVXError(QStringLiteral("%1: the print-when condition %2 \"%3\" gives %4, not True or False")
                            .arg(where, QLatin1String(kind), condition, value.ToString()));
    }
}

// One condition's value. An error names the control and the condition.
bool Condition(const TKVXControl* control, TKVXDataManager* manager, const TGetVariableEvent& lookup,
               const char* kind, const char* property, const QString& condition)
{
    try {
        return ConditionHolds(EvaluateValue(manager, condition, lookup), control, kind, condition);
    } catch (EKVXError& e) {
        NoteControlPlace(e.Place(), control, property, condition);
        throw;
    }
}

// ShowIf must hold, HideWhen must not. An error evaluating either reaches
// the caller: a condition that cannot be decided ends the preparation.
bool EvaluatePrintWhen(const TKVXControl* control, TKVXDataManager* manager, const TGetVariableEvent& lookup)
{
    const TKVPrintWhen& when = *control->KVPrintWhen();
    if (!when.ShowIf().isEmpty()
        && !Condition(control, manager, lookup, "ShowIf", "KVPrintWhen.ShowIf", when.ShowIf()))
        return false;
    if (!when.HideWhen().isEmpty()
        && Condition(control, manager, lookup, "HideWhen", "KVPrintWhen.HideWhen", when.HideWhen()))
        return false;
    return true;
}

} // namespace

void TKVReport::UpdateControlStates()
{
    for (TKVXBand* band : FBands)
        UpdateControlStates(band);
}

void TKVReport::UpdateControlStates(TKVXBand* band)
{
    TKVXDataManager* manager = nullptr; // asked for only when a condition needs it
    const TActiveBandScope active(this, band); // BandLineNo in a condition is this band's
    auto update = [&](TKVXControl* control) {
        const TKVPrintWhen& when = *control->KVPrintWhen();
        control->SetCanBePrinted(true);
        if (when.ShowIf().isEmpty() && when.HideWhen().isEmpty())
            return;
        if (!manager)
            manager = GetDataManager();
        control->SetCanBePrinted(EvaluatePrintWhen(control, manager, FVariableEvent));
    };
    update(band);
    for (TKVXControl* control : band->Objects())
        update(control);
}

} // namespace vorel
