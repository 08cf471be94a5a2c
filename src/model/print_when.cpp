// Print-when settings and the report's evaluation of their conditions.

#include "model/print_when.h"

#include "expr/expressions.h"
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

// ShowIf must hold, HideWhen must not. An error evaluating either reaches
// the caller: a condition that cannot be decided ends the preparation.
bool EvaluatePrintWhen(const TKVPrintWhen& when, TKVXDataManager* manager, const TGetVariableEvent& lookup)
{
    if (!when.ShowIf().isEmpty() && !EvaluateValue(manager, when.ShowIf(), lookup).ToBool())
        return false;
    if (!when.HideWhen().isEmpty() && EvaluateValue(manager, when.HideWhen(), lookup).ToBool())
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
    TKVXBand* const active = FActiveBand;
    FActiveBand = band; // BandLineNo in a condition is this band's
    auto update = [&](TKVXControl* control) {
        const TKVPrintWhen& when = *control->KVPrintWhen();
        control->SetCanBePrinted(true);
        if (when.ShowIf().isEmpty() && when.HideWhen().isEmpty())
            return;
        if (!manager)
            manager = GetDataManager();
        control->SetCanBePrinted(EvaluatePrintWhen(when, manager, FVariableEvent));
    };
    try {
        update(band);
        for (TKVXControl* control : band->Objects())
            update(control);
    } catch (...) {
        FActiveBand = active;
        throw;
    }
    FActiveBand = active;
}

} // namespace vorel
