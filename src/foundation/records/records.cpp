#include "foundation/records/records.h"

namespace vorel {

// --- TKVXCalculation -------------------------------------------------------------------

bool TKVXCalculation::StateChanged(const QString& groupName, const QString& variableName) const
{
    switch (FCalculate) {
    case rcOnEveryRow: return groupName.isEmpty() && variableName.isEmpty();
    case rcGroupChange: return FGroupChange.compare(groupName, Qt::CaseInsensitive) == 0;
    case rcVariableChange: return FVariableChange.compare(variableName, Qt::CaseInsensitive) == 0;
    }
    return false;
}

void TKVXCalculation::Assign(const TPersistent* source)
{
    auto* other = qobject_cast<const TKVXCalculation*>(source);
    if (!other) {
        TPersistent::Assign(source);
        return;
    }
    FResetGroup = other->FResetGroup;
    FResetType = other->FResetType;
    FCalcType = other->FCalcType;
    FCalculate = other->FCalculate;
    FGroupChange = other->FGroupChange;
    FVariableChange = other->FVariableChange;
}

// --- TKVXHighLight -----------------------------------------------------------------------

TKVXHighLight::TKVXHighLight(TCollection* collection) : TCollectionItem(collection), FFont(new TFont(this))
{
    FFont->SetName(QStringLiteral("Arial"));
    FFont->OnChange = [this] { Changed(); };
}

void TKVXHighLight::SetExpression(const QString& v)
{
    if (FExpression == v)
        return;
    FExpression = v;
    Changed();
}

void TKVXHighLight::SetFont(TFont* v)
{
    FFont->Assign(v);
}

void TKVXHighLight::SetColor(TColor v)
{
    if (FColor == v)
        return;
    FColor = v;
    Changed();
}

void TKVXHighLight::Assign(const TPersistent* source)
{
    auto* other = qobject_cast<const TKVXHighLight*>(source);
    if (!other) {
        TCollectionItem::Assign(source);
        return;
    }
    if (Collection())
        Collection()->BeginUpdate();
    FExpression = other->FExpression;
    FFont->Assign(other->FFont);
    FColor = other->FColor;
    if (Collection())
        Collection()->EndUpdate();
}

TKVXHighLights::TKVXHighLights(QObject* owner) : TCollection(&TKVXHighLight::staticMetaObject, owner) {}

// --- TKVXVariable ----------------------------------------------------------------------

TKVXVariable::TKVXVariable(TCollection* collection)
    : TCollectionItem(collection), FCalculation(new TKVXCalculation(this))
{
}

bool TKVXVariable::ValueChanged() const
{
    if (FCurValue.IsEmpty() || FPrevValue.IsEmpty())
        return true;
    return !FCurValue.Equals(FPrevValue);
}

bool TKVXVariable::IsPropertyStored(const char* name) const
{
    if (qstrcmp(name, "PrevValue") == 0)
        return !FPrevValue.IsNull();
    if (qstrcmp(name, "CurValue") == 0)
        return !FCurValue.IsNull();
    return true;
}

void TKVXVariable::Assign(const TPersistent* source)
{
    auto* other = qobject_cast<const TKVXVariable*>(source);
    if (!other) {
        TCollectionItem::Assign(source);
        return;
    }
    FExpression = other->FExpression;
    FCalculation->Assign(other->FCalculation);
    FName = other->FName;
}

TKVXVariables::TKVXVariables(QObject* owner) : TCollection(&TKVXVariable::staticMetaObject, owner) {}

// --- TKVXParameter -----------------------------------------------------------------------

TKVXParameter::TKVXParameter(TCollection* collection)
    : TCollectionItem(collection), FParamPromptValues(new TStringList(this))
{
}

bool TKVXParameter::NeedsAsking() const
{
    return FParameterMode == pmAskAlways || FValue.IsEmptyOrNull();
}

bool TKVXParameter::IsPropertyStored(const char* name) const
{
    return qstrcmp(name, "Value") != 0 || !FValue.IsNull();
}

void TKVXParameter::Assign(const TPersistent* source)
{
    auto* other = qobject_cast<const TKVXParameter*>(source);
    if (!other) {
        TCollectionItem::Assign(source);
        return;
    }
    if (Collection())
        Collection()->BeginUpdate();
    FDisplayLabel = other->FDisplayLabel;
    FName = other->FName;
    FValue = other->FValue;
    FParamPromptValues->Assign(other->FParamPromptValues);
    FParameterEditor = other->FParameterEditor;
    FParameterMode = other->FParameterMode;
    if (Collection())
        Collection()->EndUpdate();
}

TKVXParameters::TKVXParameters(QObject* owner) : TCollection(&TKVXParameter::staticMetaObject, owner) {}

TKVXParameter* TKVXParameters::ParamByName(const QString& name) const
{
    for (int i = 0; i < Count(); ++i)
        if (auto* p = GetParameter(i); p->Name() == name)
            return p;
    return nullptr;
}

// --- TKVXOutline -----------------------------------------------------------------------

void TKVXOutline::Assign(const TPersistent* source)
{
    auto* other = qobject_cast<const TKVXOutline*>(source);
    if (!other) {
        TCollectionItem::Assign(source);
        return;
    }
    FText = other->FText;
    FPageNo = other->FPageNo;
    FBarNo = other->FBarNo;
    FTop = other->FTop;
}

TKVXOutlines::TKVXOutlines(QObject* owner) : TCollection(&TKVXOutline::staticMetaObject, owner) {}

void RegisterRecordClasses()
{
    RegisterClass(&TKVXCalculation::staticMetaObject);
    RegisterClass(&TKVXHighLight::staticMetaObject);
    RegisterClass(&TKVXVariable::staticMetaObject);
    RegisterClass(&TKVXParameter::staticMetaObject);
    RegisterClass(&TKVXOutline::staticMetaObject);
}

} // namespace vorel
