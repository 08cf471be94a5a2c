#include "data/data_manager.h"

#include "data/csv_dataset.h"
#include "data/memory_dataset.h"
#include "data/sql_dataset.h"

namespace vorel {

namespace {

// Field names are cut to this many characters after the qualifier.
constexpr qsizetype kMaxFieldNameLength = 255; // characters

TKVXDataManager* gDefaultManager = nullptr;
TComponent* gApplication = nullptr;

bool SameName(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

// --- TKVXDataset -------------------------------------------------------------------

TKVXDataset::TKVXDataset(TCollection* collection) : TCollectionItem(collection) {}

void TKVXDataset::SetDataset(TDataSet* dataSet)
{
    FDataset = dataSet;
    if (!dataSet)
        FCaption.clear();
    else if (FCaption.isEmpty())
        FCaption = dataSet->Name();
    Changed();
}

void TKVXDataset::SetCaption(const QString& caption)
{
    FCaption = caption;
    Changed();
}

void TKVXDataset::Assign(const TPersistent* source)
{
    auto* other = qobject_cast<const TKVXDataset*>(source);
    if (!other) {
        TCollectionItem::Assign(source);
        return;
    }
    TCollection* owner = Collection();
    if (owner)
        owner->BeginUpdate();
    // Caption first: setting the data set then keeps the copied caption.
    FCaption = other->FCaption;
    SetDataset(other->Dataset());
    if (owner)
        owner->EndUpdate();
}

QString TKVXDataset::DisplayName() const
{
    if (!FCaption.isEmpty())
        return FCaption;
    if (FDataset)
        return FDataset->Name();
    return TCollectionItem::DisplayName();
}

// --- TKVXDatasets ------------------------------------------------------------------

TKVXDatasets::TKVXDatasets(TKVXDataManager* manager)
    : TCollection(&TKVXDataset::staticMetaObject, manager), FKVXDManager(manager)
{
}

TKVXDataset* TKVXDatasets::Add()
{
    return static_cast<TKVXDataset*>(TCollection::Add());
}

TKVXDataset* TKVXDatasets::Items(int index) const
{
    return static_cast<TKVXDataset*>(TCollection::Items(index));
}

void TKVXDatasets::SetItems(int index, const TKVXDataset* value)
{
    Items(index)->Assign(value);
}

TKVXDataset* TKVXDatasets::ItemByDataset(const TDataSet* dataSet) const
{
    for (int i = 0; i < Count(); ++i) {
        TKVXDataset* item = Items(i);
        if (item->Dataset() == dataSet)
            return item;
    }
    return nullptr;
}

// --- TKVXDataManager -----------------------------------------------------------------

TKVXDataManager::TKVXDataManager(QObject* owner) : TComponent(owner), FDatasets(new TKVXDatasets(this)) {}

TKVXDataManager::~TKVXDataManager() = default; // the collection is a QObject child

void TKVXDataManager::SetDatasets(const TKVXDatasets* datasets)
{
    if (datasets != FDatasets)
        FDatasets->Assign(datasets);
}

namespace {

// Adds the data sets owned by `owner`; the main data set is not added again
// but stands for the data sets it owns.
void AddOwnedDatasets(TKVXDatasets* list, const TComponent* owner, const TDataSet* mainDataSet)
{
    const int count = owner->ComponentCount();
    for (int i = 0; i < count; ++i) {
        auto* dataSet = qobject_cast<TDataSet*>(owner->Components(i));
        if (!dataSet)
            continue;
        if (dataSet != mainDataSet)
            list->Add()->SetDataset(dataSet);
        else
            AddOwnedDatasets(list, dataSet, mainDataSet);
    }
}

} // namespace

void TKVXDataManager::FillDatasetList(TComponent* owner, TDataSet* mainDataSet)
{
    FDatasets->BeginUpdate();
    try {
        FDatasets->Clear();
        if (mainDataSet)
            FDatasets->Add()->SetDataset(mainDataSet);
        if (owner)
            AddOwnedDatasets(FDatasets, owner, mainDataSet);
    } catch (...) {
        FDatasets->EndUpdate();
        throw;
    }
    FDatasets->EndUpdate();
}

// --- lookups ---------------------------------------------------------------------------

TDataSet* FindDatasetByQualifier(const TKVXDataManager* manager, const QString& qualifier)
{
    if (!manager)
        return nullptr;
    const TKVXDatasets* list = manager->Datasets();
    for (int i = 0; i < list->Count(); ++i) {
        const TKVXDataset* item = list->Items(i);
        TDataSet* dataSet = item->Dataset();
        if ((dataSet && SameName(dataSet->Name(), qualifier)) || SameName(item->Caption(), qualifier))
            return dataSet;
    }
    return nullptr;
}

TField* GetFieldByName(const TKVXDataManager* manager, const QString& name)
{
    if (!manager || manager->Datasets()->Count() == 0)
        return nullptr;
    const qsizetype dot = name.indexOf(u'.');
    if (dot < 0) {
        TDataSet* main = manager->Datasets()->Items(0)->Dataset();
        return main ? main->FindField(name) : nullptr;
    }
    QStringView qualifier = QStringView(name).left(dot);
    QStringView fieldName = QStringView(name).mid(dot + 1).left(kMaxFieldNameLength);
    // "Module.Orders.Total": the leading qualifier is dropped.
    if (const qsizetype second = fieldName.indexOf(u'.'); second >= 0) {
        qualifier = fieldName.left(second);
        fieldName = fieldName.mid(second + 1);
    }
    const TKVXDatasets* list = manager->Datasets();
    for (int i = 0; i < list->Count(); ++i) {
        const TKVXDataset* item = list->Items(i);
        TDataSet* dataSet = item->Dataset();
        if ((dataSet && SameName(dataSet->Name(), qualifier)) || SameName(item->Caption(), qualifier))
            return dataSet ? dataSet->FindField(fieldName) : nullptr;
    }
    return nullptr;
}

// --- process-wide objects ------------------------------------------------------------------

TKVXDataManager* DefaultDataManager()
{
    if (!gDefaultManager) {
        gDefaultManager = new TKVXDataManager(nullptr);
        gDefaultManager->SetName(QStringLiteral("KVXDefaultDataManager"));
    }
    return gDefaultManager;
}

void FreeDefaultDataManager()
{
    delete std::exchange(gDefaultManager, nullptr);
}

TComponent* Application()
{
    if (!gApplication) {
        gApplication = new TComponent(nullptr);
        gApplication->SetName(QStringLiteral("Application"));
    }
    return gApplication;
}

void FreeApplication()
{
    delete std::exchange(gApplication, nullptr);
}

void RegisterDataClasses()
{
    RegisterClass(&TMemoryDataSet::staticMetaObject);
    RegisterClass(&TCsvDataSet::staticMetaObject);
    RegisterClass(&TSqlDataSet::staticMetaObject);
    RegisterClass(&TKVXDataManager::staticMetaObject);
}

} // namespace vorel
