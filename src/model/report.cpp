// The report: construction, the band list in rank order, groups, data
// binding with free notification, unique names, selection and the variable
// lookup with the parameters first.

#include "model/report.h"

#include "foundation/values/text_utils.h"

#include <algorithm>
#include <utility>

namespace vorel {

TKVReport::TKVReport(QObject* owner) : TKVPrintComponent(owner), FParameters(new TKVXParameters(this))
{
    FVariableEvent = [this](QObject* sender, const QString& name, bool& accept, TFieldType& variableType,
                            Variant& value) { KVXGetVariable(sender, name, accept, variableType, value); };
    NewReport();
    FPageNoStartAt = 0;
    FPageNoCountBy = 1;
    FBarNumber = 1;
    FColumnSpace = 0;
    FColumnNumber = 1;
}

TKVReport::~TKVReport()
{
    DeleteAllBands();
    // Bands owned by the report but not in Bands are freed by QObject after
    // this destructor: they must not look back at the report.
    for (QObject* child : children())
        if (auto* band = qobject_cast<TKVXBand*>(child)) {
            static_cast<TKVXControl*>(band)->FReport = nullptr;
            for (TKVXControl* control : band->Objects())
                control->FReport = nullptr;
        }
}

// --- properties -----------------------------------------------------------------------------

void TKVReport::SetDataSet(TDataSet* value)
{
    if (FDataSet == value)
        return;
    if (FDataSet)
        RemoveFreeNotification(FDataSet);
    FDataSet = value;
    if (FDataSet)
        FreeNotification(FDataSet);
}

void TKVReport::SetDataManager(TKVXDataManager* value)
{
    if (FDataManager == value)
        return;
    if (FDataManager)
        RemoveFreeNotification(FDataManager);
    FDataManager = value;
    if (FDataManager)
        FreeNotification(FDataManager);
}

void TKVReport::Notification(TComponent* component, TOperation operation)
{
    TKVPrintComponent::Notification(component, operation);
    if (operation != opRemove)
        return;
    if (component == FDataSet)
        FDataSet = nullptr;
    if (component == FDataManager)
        FDataManager = nullptr;
}

QString TKVReport::GetFileName() const
{
    return FFileName.isEmpty() ? QString::fromUtf16(kDefaultReportFileName) : FFileName;
}

void TKVReport::SetParameters(const TKVXParameters* value)
{
    if (value && value != FParameters)
        FParameters->Assign(value);
}

void TKVReport::SetName(const QString& name)
{
    if (FLoading)
        return; // a form read into the report does not rename it
    TKVPrintComponent::SetName(name);
}

// --- the band list ------------------------------------------------------------------------

void TKVReport::NewReport()
{
    DeleteAllBands();
    AddBand(btPageHeader, true);
    AddBand(btDetail, true);
    AddBand(btPageFooter, true);
    FReportState = rsNone;
}

int TKVReport::AddBand(TBandType bandType, bool atEnd)
{
    auto* band = new TKVXBand(this);
    band->SetBandType(bandType);
    if (bandType == btPageHeader || bandType == btPageFooter)
        band->SetNewPage(true);
    return AppendBand(band, atEnd);
}

void TKVReport::AdoptBand(TKVXBand* band)
{
    FBands.removeAll(band);
    if (band->parent() != this)
        band->setParent(this);
    static_cast<TKVXControl*>(band)->FReport = this;
    for (TKVXControl* control : band->Objects())
        control->FReport = this;
}

int TKVReport::AppendBandAsRead(TKVXBand* band)
{
    if (!band)
        return -1;
    AdoptBand(band);
    FBands.append(band);
    return int(FBands.size()) - 1;
}

int TKVReport::AppendBand(TKVXBand* band, bool atEnd)
{
    if (!band)
        return -1;
    AdoptBand(band);
    if (band->BandType() == btReportSummary) {
        FBands.append(band);
        return int(FBands.size()) - 1;
    }
    const int rank = BandRank(band->BandType());
    for (int i = 0; i < FBands.size(); ++i) {
        const int other = BandRank(FBands[i]->BandType());
        if (atEnd ? other > rank : other >= rank) {
            FBands.insert(i, band);
            return i;
        }
    }
    FBands.append(band);
    return int(FBands.size()) - 1;
}

void TKVReport::BandReOrder()
{
    std::stable_sort(FBands.begin(), FBands.end(),
                     [](const TKVXBand* a, const TKVXBand* b) { return BandRank(a->BandType()) < BandRank(b->BandType()); });
}

void TKVReport::RemoveBand(TKVXBand* band)
{
    FBands.removeAll(band);
}

void TKVReport::DeleteBand(int index)
{
    if (index < 0 || index >= FBands.size())
        return;
    delete FBands.takeAt(index);
}

void TKVReport::DeleteAllBands()
{
    // Unlisted first, so that no band searches the list on its way out.
    const QList<TKVXBand*> bands = std::exchange(FBands, {});
    DeleteChildrenOf(this, QList<QObject*>(bands.begin(), bands.end()));
}

void TKVReport::AddGroup(int& headerIndex, int& footerIndex, bool newPage, bool reprintHeader, bool newPageIfNotFit,
                         double lessThan, const QString& expression)
{
    headerIndex = AddBand(btGroupHeader, true);
    TKVXBand* header = FBands[headerIndex];
    footerIndex = AddBand(btGroupFooter, false);
    TKVXBand* footer = FBands[footerIndex];
    for (TKVXBand* band : {header, footer}) {
        band->SetNewPage(newPage);
        band->SetReprintHeader(reprintHeader);
        band->SetLessThan(lessThan);
        band->SetExpression(expression);
        band->SetNewPageIfNotFit(newPageIfNotFit);
    }
}

void TKVReport::DeleteGroup(const QString& expression)
{
    for (int i = int(FBands.size()) - 1; i >= 0; --i)
        if (FBands[i]->GetIsGroup() && FBands[i]->Expression().compare(expression, Qt::CaseInsensitive) == 0)
            DeleteBand(i);
}

int TKVReport::GetIndexBand(TBandType bandType) const
{
    for (int i = 0; i < FBands.size(); ++i)
        if (FBands[i]->BandType() == bandType)
            return i;
    return -1;
}

TKVXBand* TKVReport::GetBand(int index) const
{
    return index >= 0 && index < FBands.size() ? FBands[index] : nullptr;
}

int TKVReport::GetBandLineNo(TBandType bandType) const
{
    const TKVXBand* band = GetBand(GetIndexBand(bandType));
    return band ? band->LineNo() : -1;
}

void TKVReport::AssignGroups(bool clear, TStringList* list) const
{
    if (!list)
        return;
    if (clear)
        list->Clear();
    for (const TKVXBand* band : FBands)
        if (band->BandType() == btGroupHeader)
            list->Add(band->Expression());
}

void TKVReport::AssignDataSets(TStringList* list)
{
    if (!list)
        return;
    list->Clear();
    const TKVXDatasets* items = GetDataManager()->Datasets();
    for (int i = 0; i < items->Count(); ++i) {
        const TKVXDataset* item = items->Items(i);
        const TDataSet* dataSet = item->Dataset();
        if (!dataSet)
            continue;
        for (int f = 0; f < dataSet->FieldCount(); ++f)
            list->Add(SetDSExpression(item->Caption(), dataSet->Fields(f)->FieldName()));
    }
}

TKVXDataManager* TKVReport::GetDataManager()
{
    TKVXDataManager* shared = DefaultDataManager();
    TKVXDataManager* manager = FDataManager ? FDataManager : shared;
    const TKVXDatasets* items = manager->Datasets();
    if (items->Count() > 0 && (manager != shared || items->Items(0)->Dataset() == FDataSet))
        return manager;
    // A report read from a form holds its data sets itself, as the form
    // held them beside the report: they are the ones its expressions name.
    // Otherwise the application's data sets are.
    TComponent* root = Application();
    for (int i = 0; i < ComponentCount(); ++i)
        if (qobject_cast<TDataSet*>(Components(i))) {
            root = this;
            break;
        }
    manager->FillDatasetList(root, FDataSet);
    return manager;
}

QString TKVReport::GetUniqueName(const QString& base) const
{
    // One pass: a name met earlier in the walk is not looked at again, so
    // "Text1, Text" gives Text1 (which the first control already has).
    QString result = base;
    int counter = 0;
    for (const TKVXBand* band : FBands)
        for (const TKVXControl* control : band->Objects())
            if (control->DisplayName() == result)
                result = base + QString::number(++counter);
    return result;
}

TKVXControl* TKVReport::GetFirstSelected() const
{
    for (TKVXBand* band : FBands) {
        if (band->Selected())
            return band;
        for (TKVXControl* control : band->Objects())
            if (control->Selected())
                return control;
    }
    return nullptr;
}

void TKVReport::SelectElements(int mode)
{
    for (TKVXBand* band : FBands)
        band->SetSelected(false);
    for (TKVXBand* band : FBands)
        for (TKVXControl* control : band->Objects()) {
            if (mode == 0)
                control->SetSelected(true);
            else if (mode == 1)
                control->SetSelected(false);
            else if (mode == 2)
                control->SetSelected(!control->Selected());
        }
}

// --- variable lookup -------------------------------------------------------------------------

namespace {

TFieldType ParameterFieldType(const Variant& value)
{
    switch (value.Type()) {
    case varSmallint:
    case varInteger: return ftInteger;
    case varSingle:
    case varDouble: return ftFloat;
    case varCurrency: return ftCurrency;
    case varDate: return ftDateTime;
    case varBoolean: return ftBoolean;
    default: return ftString;
    }
}

} // namespace

void TKVReport::NoteEvaluationFailure(const QString& where, const QString& expression, const QString& message)
{
    for (const TEvaluationWarning& known : FEvaluationWarnings)
        if (known.Where == where && known.Expression == expression)
            return;
    FEvaluationWarnings.append({where, expression, message, FDataSet && FDataSet->Active() ? FDataSet->RecNo() : 0});
}

Variant TKVReport::GetSysDataValue(TKVXSysDataType type)
{
    switch (type) {
    case sdDetailNo: return Variant(GetBandLineNo(btDetail));
    case sdBandLineNo: return FActiveBand ? Variant(FActiveBand->LineNo()) : Variant(-1);
    default: return TKVPrintComponent::GetSysDataValue(type);
    }
}

void TKVReport::KVXGetVariable(QObject* sender, const QString& name, bool& accept, TFieldType& variableType,
                               Variant& value)
{
    const QStringView key = QStringView(name).trimmed();
    for (int i = 0; i < FParameters->Count(); ++i) {
        const TKVXParameter* parameter = FParameters->GetParameter(i);
        if (SameUpperCase(key, parameter->Name()) || SameUpperCase(key, parameter->DisplayLabel())) {
            accept = true;
            value = parameter->Value();
            variableType = ParameterFieldType(value);
            break;
        }
    }
    // System data names, variables and OnGetVariable may still answer.
    TKVPrintComponent::KVXGetVariable(sender, name, accept, variableType, value);
}

} // namespace vorel
