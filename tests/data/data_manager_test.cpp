// The data manager: captions, Assign order, the filled list and the field
// lookup expressions resolve names through.

#include "data/data_manager.h"
#include "data/memory_dataset.h"
#include "data_test_support.h"

using namespace vorel;
using namespace vorel::test;

namespace {

TMemoryDataSet* MakeSet(QObject* owner, const QString& name, const QStringList& fields)
{
    auto* ds = new TMemoryDataSet(owner);
    ds->SetName(name);
    for (const QString& f : fields)
        ds->AddFieldDef(f, ftInteger);
    ds->AppendRecord(QList<Variant>(fields.size(), Variant(1)));
    ds->Open();
    return ds;
}

QStringList Captions(const TKVXDataManager& m)
{
    QStringList out;
    for (int i = 0; i < m.Datasets()->Count(); ++i)
        out.append(m.Datasets()->Items(i)->Caption());
    return out;
}

class DataManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FOrders = MakeSet(&FOwner, QStringLiteral("Orders"), {u"Id"_qs, u"Total"_qs});
        FCustomers = MakeSet(&FOwner, QStringLiteral("Customers"), {u"Id"_qs, u"Name"_qs});
        FManager.Datasets()->Add()->SetDataset(FOrders);
        TKVXDataset* item = FManager.Datasets()->Add();
        item->SetCaption(QStringLiteral("Clients"));
        item->SetDataset(FCustomers);
    }
    TField* Lookup(const QString& name) { return GetFieldByName(&FManager, name); }

    TComponent FOwner;
    TMemoryDataSet* FOrders = nullptr;
    TMemoryDataSet* FCustomers = nullptr;
    TKVXDataManager FManager;
};

TEST_F(DataManagerTest, NamesResolveToFieldsOfTheRightDataSet)
{
    EXPECT_EQ(Lookup(u"total"_qs), FOrders->Fields(1));              // plain: the first data set
    EXPECT_EQ(Lookup(u"Name"_qs), nullptr);                          // not in the first data set
    EXPECT_EQ(Lookup(u"clients.NAME"_qs), FCustomers->Fields(1));    // by caption
    EXPECT_EQ(Lookup(u"Customers.Id"_qs), FCustomers->Fields(0));    // by component name
    EXPECT_EQ(Lookup(u"Orders.Id"_qs), FOrders->Fields(0));
    // An unknown qualifier yields nothing, though the main set has the field.
    EXPECT_EQ(Lookup(u"Nobody.Total"_qs), nullptr);
    // Two full stops: the leading qualifier is dropped.
    EXPECT_EQ(Lookup(u"Module.Orders.Total"_qs), FOrders->Fields(1));
    EXPECT_EQ(Lookup(u"Module.Clients.Name"_qs), FCustomers->Fields(1));
    EXPECT_EQ(Lookup(u"Orders.Total.Extra"_qs), nullptr);             // qualifier "Total"
    EXPECT_EQ(Lookup(u"Orders."_qs), nullptr);
    EXPECT_EQ(FindDatasetByQualifier(&FManager, u"CLIENTS"_qs), FCustomers);

    EXPECT_EQ(GetFieldByName(nullptr, u"Total"_qs), nullptr);
    TKVXDataManager empty;
    EXPECT_EQ(GetFieldByName(&empty, u"Total"_qs), nullptr);
}

TEST_F(DataManagerTest, FieldNamesAreCutTo255CharactersAfterTheQualifier)
{
    const QString longName = QString(255, u'x');
    TMemoryDataSet* wide = MakeSet(&FOwner, QStringLiteral("Wide"), {longName});
    FManager.Datasets()->Add()->SetDataset(wide);
    EXPECT_EQ(Lookup(u"Wide."_qs + longName + u"yyy"_qs), wide->Fields(0));
}

TEST_F(DataManagerTest, CaptionFollowsTheDataSetOnlyWhileEmpty)
{
    TKVXDataset* item = FManager.Datasets()->Items(0);
    EXPECT_EQ(item->Caption(), u"Orders"_qs);
    item->SetDataset(FCustomers); // a non-empty caption stays
    EXPECT_EQ(item->Caption(), u"Orders"_qs);
    item->SetDataset(nullptr); // clearing the data set clears the caption
    EXPECT_EQ(item->Caption(), QString());
    item->SetDataset(FCustomers);
    EXPECT_EQ(item->Caption(), u"Customers"_qs);
    EXPECT_EQ(FManager.Datasets()->ItemByDataset(FCustomers), item); // the first of two
    EXPECT_EQ(FManager.Datasets()->ItemByDataset(nullptr), nullptr);
}

TEST_F(DataManagerTest, AssignCopiesTheCaptionBeforeTheDataSet)
{
    TKVXDataManager copy;
    int updates = 0;
    copy.SetDatasets(FManager.Datasets());
    EXPECT_EQ(Captions(copy), QStringList({u"Orders"_qs, u"Clients"_qs}));
    EXPECT_EQ(copy.Datasets()->Items(1)->Dataset(), FCustomers);
    // Items[1] := item: the copied caption survives the data set set after it,
    // and the collection hears of it once.
    copy.Datasets()->OnUpdate = [&](TCollectionItem*) { ++updates; };
    copy.Datasets()->SetItems(0, FManager.Datasets()->Items(1));
    EXPECT_EQ(copy.Datasets()->Items(0)->Caption(), u"Clients"_qs);
    EXPECT_EQ(copy.Datasets()->Items(0)->Dataset(), FCustomers);
    EXPECT_EQ(updates, 1);
}

TEST_F(DataManagerTest, AFreedDataSetDropsOutOfItsItem)
{
    delete FCustomers;
    EXPECT_EQ(FManager.Datasets()->Items(1)->Dataset(), nullptr);
    EXPECT_EQ(Lookup(u"Clients.Name"_qs), nullptr);
}

TEST(FillDatasetList, MainFirstThenOwnedSetsWithTheMainSetsOwnInItsPlace)
{
    TComponent form;
    TMemoryDataSet* a = MakeSet(&form, QStringLiteral("A"), {u"x"_qs});
    auto* panel = new TComponent(&form); // not a data set: not descended into
    MakeSet(panel, QStringLiteral("Hidden"), {u"x"_qs});
    TMemoryDataSet* main = MakeSet(&form, QStringLiteral("Main"), {u"x"_qs});
    TMemoryDataSet* child = MakeSet(main, QStringLiteral("Child"), {u"x"_qs});
    MakeSet(a, QStringLiteral("OwnedByA"), {u"x"_qs}); // only the main set is descended into
    TMemoryDataSet* b = MakeSet(&form, QStringLiteral("B"), {u"x"_qs});

    TKVXDataManager m;
    m.Datasets()->Add()->SetCaption(QStringLiteral("stale"));
    m.FillDatasetList(&form, main);
    EXPECT_EQ(Captions(m), QStringList({u"Main"_qs, u"A"_qs, u"Child"_qs, u"B"_qs}));
    EXPECT_EQ(m.Datasets()->Items(2)->Dataset(), child);

    m.FillDatasetList(&form, nullptr);
    EXPECT_EQ(Captions(m), QStringList({u"A"_qs, u"Main"_qs, u"B"_qs}));
    m.FillDatasetList(nullptr, b);
    EXPECT_EQ(Captions(m), QStringList({u"B"_qs}));
}

TEST(FillDatasetList, AtRunTimeTheApplicationListsOnlyTheReportsDataSet)
{
    // The application object owns forms and modules, not data sets.
    auto* module = new TComponent(Application());
    module->SetName(QStringLiteral("Module1"));
    MakeSet(module, QStringLiteral("Elsewhere"), {u"x"_qs});
    TMemoryDataSet* reportSet = MakeSet(module, QStringLiteral("ReportSet"), {u"x"_qs});
    DefaultDataManager()->FillDatasetList(Application(), reportSet);
    EXPECT_EQ(Captions(*DefaultDataManager()), QStringList({u"ReportSet"_qs}));
    EXPECT_EQ(DefaultDataManager(), DefaultDataManager());
    delete module;
    DefaultDataManager()->Datasets()->Clear();
}

TEST(DataClasses, AreRegisteredForStreaming)
{
    RegisterDataClasses();
    for (const char16_t* name : {u"TMemoryDataSet", u"TCsvDataSet", u"TSqlDataSet", u"TKVXDataManager"}) {
        TComponent owner;
        QObject* object = CreateObject(QString::fromUtf16(name), &owner);
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(object->parent(), &owner);
    }
}

} // namespace
