// The report and its bands: the band list in rank order, groups, unique
// names, data binding with free notification, the variable lookup with the
// parameters first, selection and ownership of moved controls.
#include "model/model_test_support.h"

#include "data/data_manager.h"
#include "data/memory_dataset.h"
#include "model/report.h"
#include "model/text_controls.h"

#include <QPointer>
#include <memory>

namespace vorel {
namespace {

using testing::EnsureModelRegistered;

QList<TBandType> TypesOf(const TKVReport& report)
{
    QList<TBandType> types;
    for (const TKVXBand* band : report.Bands())
        types << band->BandType();
    return types;
}

class ReportTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureModelRegistered(); }
    TKVReport report;
};

TEST_F(ReportTest, ANewReportHoldsPageHeaderDetailAndPageFooter)
{
    EXPECT_EQ(TypesOf(report), QList<TBandType>({btPageHeader, btDetail, btPageFooter}));
    EXPECT_TRUE(report.GetBand(0)->NewPage());
    EXPECT_FALSE(report.GetBand(1)->NewPage());
    EXPECT_TRUE(report.GetBand(2)->NewPage());
    EXPECT_EQ(report.GetFileName(), u"Report.kvx");
    EXPECT_EQ(report.ReportState(), rsNone);
    EXPECT_EQ(report.GetBand(1)->DisplayName(), u"BandDetail");
    for (const TKVXBand* band : report.Bands())
        EXPECT_EQ(band->Report(), &report);
}

TEST(BandRankTest, SubDetailRanksBetweenDetailAndGroupFooter)
{
    // value -> rank, as the report orders its bands.
    const std::pair<TBandType, int> ranks[] = {
        {btNone, 0},        {btReportTitle, 1},  {btPageHeader, 2}, {btColumnHeader, 3},
        {btGroupHeader, 4}, {btDetail, 5},       {btSubDetail, 6},  {btGroupFooter, 7},
        {btColumnFooter, 8}, {btPageFooter, 9},  {btReportSummary, 10}};
    for (const auto& [type, rank] : ranks)
        EXPECT_EQ(BandRank(type), rank) << int(type);
}

TEST_F(ReportTest, ASecondDetailGoesBeforeOrAfterTheFirstByAtEnd)
{
    TKVXBand* first = report.GetBand(1);
    const int before = report.AddBand(btDetail, false);
    EXPECT_EQ(before, 1);
    EXPECT_EQ(report.GetBand(2), first);
    const int after = report.AddBand(btDetail, true);
    EXPECT_EQ(after, 3);
    EXPECT_EQ(report.GetBand(2), first);
    EXPECT_EQ(TypesOf(report), QList<TBandType>({btPageHeader, btDetail, btDetail, btDetail, btPageFooter}));
}

TEST_F(ReportTest, GroupsNestNewestInnermostAndSubDetailAndSummaryFallInPlace)
{
    int h1 = -1, f1 = -1, h2 = -1, f2 = -1;
    report.AddGroup(h1, f1, true, true, false, 100, QStringLiteral("Country"));
    EXPECT_EQ(h1, 1);
    EXPECT_EQ(f1, 3);
    report.AddGroup(h2, f2, false, false, true, 0, QStringLiteral("City"));
    EXPECT_EQ(h2, 2);
    EXPECT_EQ(f2, 4);
    EXPECT_EQ(TypesOf(report), QList<TBandType>({btPageHeader, btGroupHeader, btGroupHeader, btDetail, btGroupFooter,
                                                 btGroupFooter, btPageFooter}));
    // Header 1, header 2, detail, footer 2, footer 1.
    EXPECT_EQ(report.GetBand(1)->Expression(), u"Country");
    EXPECT_EQ(report.GetBand(2)->Expression(), u"City");
    EXPECT_EQ(report.GetBand(4)->Expression(), u"City");
    EXPECT_EQ(report.GetBand(5)->Expression(), u"Country");
    EXPECT_TRUE(report.GetBand(5)->NewPage());
    EXPECT_TRUE(report.GetBand(5)->ReprintHeader());
    EXPECT_EQ(report.GetBand(5)->LessThan(), 100);
    EXPECT_TRUE(report.GetBand(4)->NewPageIfNotFit());
    EXPECT_EQ(report.GetBand(1)->GetLinkedFooterIndex(), 5);
    EXPECT_EQ(report.GetBand(5)->GetLinkedFooterIndex(), 1);
    EXPECT_EQ(report.GetBand(2)->GetLinkedFooterIndex(), 4);
    EXPECT_EQ(report.GetBand(3)->GetLinkedFooterIndex(), -1);

    EXPECT_EQ(report.AddBand(btSubDetail, true), 4);
    EXPECT_EQ(report.AddBand(btReportSummary, false), 8);
    EXPECT_EQ(report.AddBand(btReportSummary, true), 9);
    EXPECT_EQ(report.AddBand(btReportTitle, true), 0);
    EXPECT_EQ(TypesOf(report),
              QList<TBandType>({btReportTitle, btPageHeader, btGroupHeader, btGroupHeader, btDetail, btSubDetail,
                                btGroupFooter, btGroupFooter, btPageFooter, btReportSummary, btReportSummary}));

    TStringList groups;
    groups.Add(QStringLiteral("kept"));
    report.AssignGroups(false, &groups);
    EXPECT_EQ(groups.List(), QStringList({"kept", "Country", "City"}));
    report.AssignGroups(true, &groups);
    EXPECT_EQ(groups.List(), QStringList({"Country", "City"}));
}

TEST_F(ReportTest, DeleteGroupIgnoresCaseButLinkingDoesNot)
{
    int h = 0, f = 0;
    report.AddGroup(h, f, false, false, false, 0, QStringLiteral("Amount"));
    report.GetBand(f)->SetExpression(QStringLiteral("AMOUNT"));
    EXPECT_EQ(report.GetBand(h)->GetLinkedFooterIndex(), -1);
    report.DeleteGroup(QStringLiteral("AMOUNT"));
    EXPECT_EQ(TypesOf(report), QList<TBandType>({btPageHeader, btDetail, btPageFooter}));
}

TEST_F(ReportTest, BandReOrderSortsByRankAndLookupsReportMissingBands)
{
    report.AppendBandAsRead(new TKVXBand(&report));
    report.GetBand(3)->SetBandType(btReportTitle);
    EXPECT_EQ(report.GetIndexBand(btReportTitle), 3) << "a band read keeps its place";
    report.BandReOrder();
    EXPECT_EQ(TypesOf(report), QList<TBandType>({btReportTitle, btPageHeader, btDetail, btPageFooter}));
    EXPECT_EQ(report.GetBand(-1), nullptr);
    EXPECT_EQ(report.GetBand(4), nullptr);
    EXPECT_EQ(report.GetIndexBand(btGroupHeader), -1);
    EXPECT_EQ(report.GetBandLineNo(btGroupHeader), -1);
    report.GetBand(2)->SetLineNo(7);
    EXPECT_EQ(report.GetBandLineNo(btDetail), 7);
    report.DeleteBand(17); // out of range: nothing happens
    EXPECT_EQ(report.BandCount(), 4);
}

TEST_F(ReportTest, UniqueNamesAreASinglePassOverTheControls)
{
    TKVXBand* detail = report.GetBand(1);
    auto named = [&](TKVXBand* band, const char* name) {
        auto* label = static_cast<TKVXLabel*>(band->Object(band->AddElement(&TKVXLabel::staticMetaObject)));
        label->SetDisplayName(QString::fromLatin1(name));
    };
    named(detail, "Text");
    named(report.GetBand(2), "Text1");
    EXPECT_EQ(report.GetUniqueName(QStringLiteral("Text")), u"Text2");
    detail->DeleteAllElements();
    report.GetBand(2)->DeleteAllElements();
    named(detail, "Text1");
    named(report.GetBand(2), "Text");
    EXPECT_EQ(report.GetUniqueName(QStringLiteral("Text")), u"Text1") << "Text1 was passed before Text was found";
    // Band names are never compared.
    EXPECT_EQ(report.GetUniqueName(QStringLiteral("BandDetail")), u"BandDetail");
}

TEST_F(ReportTest, AddElementNamesEachNewControlUniquely)
{
    TKVXBand* detail = report.GetBand(1);
    QStringList names;
    for (int i = 0; i < 3; ++i)
        names << detail->Object(detail->AddElement(&TKVXLabel::staticMetaObject))->DisplayName();
    EXPECT_EQ(names, QStringList({"Text", "Text1", "Text2"}));
    EXPECT_EQ(detail->Object(0)->GetParentBand(), detail);
    EXPECT_EQ(detail->Object(0)->Report(), &report);
    EXPECT_EQ(detail->Object(0)->GetControlIndex(), 0);
    EXPECT_THROW(detail->AddElement(&TKVXBand::staticMetaObject), EKVXError);
    EXPECT_EQ(TKVXBand::GetClassByName(QStringLiteral("tkvxlabel")), &TKVXLabel::staticMetaObject);
    EXPECT_EQ(TKVXBand::GetClassByName(QStringLiteral("TKVReport")), nullptr) << "not a control";
}

TEST_F(ReportTest, BandTypeNamesTheBandUnlessTheNameWasTypedByHand)
{
    const int index = report.AddBand(btDetail, true);
    EXPECT_EQ(report.GetBand(index)->DisplayName(), u"BandDetail") << "controls' names only are compared";
    TKVXBand* band = report.GetBand(index);
    band->SetBandType(btReportSummary);
    EXPECT_EQ(band->DisplayName(), u"BandReportSummary");
    band->SetDisplayName(QStringLiteral("Totals"));
    band->SetBandType(btDetail);
    EXPECT_EQ(band->DisplayName(), u"Totals");
    EXPECT_EQ(band->GetBandName(), u"Detail");
    EXPECT_EQ(report.GetBand(0)->GetDataset(), nullptr);
}

TEST_F(ReportTest, AMovedControlBelongsToItsNewBand)
{
    TKVXBand* from = report.GetBand(0);
    TKVXBand* to = report.GetBand(1);
    TKVXControl* control = from->Object(from->AddElement(&TKVXLabel::staticMetaObject));
    control->SetSelected(true);
    control->SetKVXControlState(scsMove);
    control->MoveToBand(to);
    EXPECT_EQ(from->ObjectCount(), 0);
    EXPECT_EQ(to->GetElement(control), 0);
    EXPECT_EQ(control->KVXControlState(), scsNothing);
    QPointer<TKVXControl> alive(control);
    report.DeleteBand(0);
    ASSERT_FALSE(alive.isNull()) << "the old band must not free a control it no longer holds";
    delete control;
    EXPECT_EQ(to->ObjectCount(), 0) << "a freed control leaves its band";
}

TEST_F(ReportTest, ChangeOrderMovesTheSelectedControls)
{
    TKVXBand* band = report.GetBand(1);
    for (int i = 0; i < 4; ++i)
        band->AddElement(&TKVXLabel::staticMetaObject);
    auto order = [&] {
        QStringList names;
        for (const TKVXControl* c : band->Objects())
            names << c->DisplayName();
        return names;
    };
    band->Object(0)->SetSelected(true); // Text
    band->Object(2)->SetSelected(true); // Text2
    band->ChangeOrder(true);
    EXPECT_EQ(order(), QStringList({"Text1", "Text3", "Text2", "Text"}));
    band->ChangeOrder(false);
    EXPECT_EQ(order(), QStringList({"Text", "Text2", "Text1", "Text3"}));
}

TEST_F(ReportTest, SelectionOfBandsAndControls)
{
    TKVXBand* band = report.GetBand(1);
    band->AddElement(&TKVXLabel::staticMetaObject);
    band->AddElement(&TKVXLabel::staticMetaObject);
    QList<int> messages;
    report.OnDesignerMessage = [&](TKVXControl*, int message) {
        if (message)
            messages << message;
    };
    EXPECT_EQ(report.GetFirstSelected(), nullptr);
    report.SelectElements(0);
    EXPECT_EQ(report.GetFirstSelected(), band->Object(0));
    EXPECT_EQ(messages.count(KVX_MSG_SELECTION_CHANGED), 2);
    report.SelectElements(2);
    EXPECT_EQ(report.GetFirstSelected(), nullptr);
    band->Object(1)->SetSelected(true);
    report.GetBand(2)->SetSelected(true);
    EXPECT_FALSE(band->Object(1)->Selected()) << "selecting a band unselects the controls";
    EXPECT_EQ(report.GetFirstSelected(), report.GetBand(2));
    report.SelectElements(1);
    EXPECT_FALSE(report.GetBand(2)->Selected());
}

TEST_F(ReportTest, FreedDataSetAndManagerDropOutOfTheReport)
{
    auto* dataSet = new TMemoryDataSet;
    auto* detailSet = new TMemoryDataSet;
    auto* manager = new TKVXDataManager;
    report.SetDataSet(dataSet);
    report.SetDataManager(manager);
    TKVXBand* detail = report.GetBand(1);
    EXPECT_EQ(detail->GetDataset(), dataSet) << "a band without its own data set uses the report's";
    detail->SetDataset(detailSet);
    EXPECT_EQ(detail->GetDataset(), detailSet);
    detail->SetDataset(dataSet);
    EXPECT_EQ(detail->GetDataset(), dataSet);
    detail->SetDataset(detailSet);
    delete detailSet;
    EXPECT_EQ(detail->GetDataset(), dataSet);
    delete dataSet;
    EXPECT_EQ(report.DataSet(), nullptr);
    EXPECT_EQ(detail->GetDataset(), nullptr);
    delete manager;
    EXPECT_EQ(report.DataManager(), nullptr);
}

TEST_F(ReportTest, DataManagerChoiceAndQualifiedFieldList)
{
    TComponent owner;
    auto* orders = new TMemoryDataSet(&owner);
    orders->SetName(QStringLiteral("Orders"));
    orders->AddFieldDef(QStringLiteral("Id"), ftInteger);
    orders->AddFieldDef(QStringLiteral("Amount"), ftFloat);
    orders->Open();
    auto* manager = new TKVXDataManager(&owner);
    manager->FillDatasetList(&owner, nullptr);
    report.SetDataManager(manager);
    EXPECT_EQ(report.GetDataManager(), manager);
    TStringList fields;
    report.AssignDataSets(&fields);
    EXPECT_EQ(fields.List(), QStringList({"Orders.Id", "Orders.Amount"}));

    // The shared manager is refilled with the report's data set first.
    report.SetDataManager(nullptr);
    report.SetDataSet(orders);
    TKVXDataManager* shared = report.GetDataManager();
    EXPECT_EQ(shared, DefaultDataManager());
    ASSERT_GE(shared->Datasets()->Count(), 1);
    EXPECT_EQ(shared->Datasets()->Items(0)->Dataset(), orders);

    TKVXControl* label = report.GetBand(1)->Object(report.GetBand(1)->AddElement(&TKVXLabel::staticMetaObject));
    EXPECT_EQ(label->GetDatasetByName(QStringLiteral("orders.Amount")), orders);
    EXPECT_EQ(label->GetDatasetByName(QStringLiteral("Customers.Name")), nullptr);
    EXPECT_EQ(label->GetDatasetByName(QStringLiteral("Amount")), orders) << "no point: the report's data set";
    report.SetDataSet(nullptr);
    shared->Datasets()->Clear();
}

TEST_F(ReportTest, AReportHoldingItsOwnDataSetsNamesThemInExpressions)
{
    // As a form loaded from a file holds them: master and detail owned by the report.
    auto* orders = new TMemoryDataSet(&report);
    orders->SetName(QStringLiteral("Orders"));
    orders->AddFieldDef(QStringLiteral("Id"), ftInteger);
    orders->Open();
    auto* lines = new TMemoryDataSet(&report);
    lines->SetName(QStringLiteral("Lines"));
    lines->AddFieldDef(QStringLiteral("Qty"), ftInteger);
    lines->Open();
    report.SetDataSet(orders);
    TKVXDataManager* manager = report.GetDataManager();
    ASSERT_EQ(manager->Datasets()->Count(), 2);
    EXPECT_EQ(manager->Datasets()->Items(0)->Dataset(), orders) << "the report's data set first";
    EXPECT_EQ(manager->Datasets()->Items(1)->Dataset(), lines);
    TKVXControl* label = report.GetBand(1)->Object(report.GetBand(1)->AddElement(&TKVXLabel::staticMetaObject));
    EXPECT_EQ(label->GetDatasetByName(QStringLiteral("Lines.Qty")), lines);
    report.SetDataSet(nullptr);
    manager->Datasets()->Clear();
}

TEST_F(ReportTest, ParametersAnswerFirstAndSystemDataAndTheEventAfter)
{
    struct Row {
        const char* name;
        Variant value;
        TFieldType type;
    };
    const Row rows[] = {
        {"Count", Variant(int(5)), ftInteger},
        {"Small", Variant::FromSmallint(3), ftInteger},
        {"Ratio", Variant(2.5), ftFloat},
        {"Price", Variant::FromCurrency(1.25), ftCurrency},
        {"Since", Variant::FromDate(45000), ftDateTime},
        {"Flag", Variant(true), ftBoolean},
        {"Who", Variant(QStringLiteral("Ann")), ftString},
        {"Big", Variant(qint64(1) << 40), ftString}, // anything else is a string
    };
    for (const Row& row : rows) {
        TKVXParameter* p = report.Parameters()->Add();
        p->SetName(QString::fromLatin1(row.name));
        p->SetValue(row.value);
    }
    TKVXParameter* labelled = report.Parameters()->Add();
    labelled->SetName(QStringLiteral("P9"));
    labelled->SetDisplayLabel(QStringLiteral("Start date"));
    labelled->SetValue(Variant(QStringLiteral("by label")));
    TKVXParameter* pageNo = report.Parameters()->Add();
    pageNo->SetName(QStringLiteral("PageNo"));
    pageNo->SetValue(Variant(QStringLiteral("parameter")));

    auto lookup = [&](const QString& name, TFieldType& type) {
        bool accept = false;
        type = ftUnknown;
        Variant value;
        report.VariableEvent()(nullptr, name, accept, type, value);
        EXPECT_TRUE(accept) << name.toStdString();
        return value;
    };
    TFieldType type;
    for (const Row& row : rows) {
        const Variant v = lookup(QStringLiteral("  %1 ").arg(QString::fromLatin1(row.name).toLower()), type);
        EXPECT_TRUE(v.Identical(row.value)) << row.name;
        EXPECT_EQ(type, row.type) << row.name;
    }
    EXPECT_EQ(lookup(QStringLiteral("START DATE"), type).ToString(), u"by label");
    // A system data name replaces a parameter's value.
    EXPECT_EQ(lookup(QStringLiteral("PageNo"), type).Type(), varInteger);
    // The event has the last word.
    report.OnGetVariable = [](QObject*, const QString& name, bool& accept, TFieldType& t, Variant& value) {
        if (name == u"Who")
            accept = true, t = ftString, value = Variant(QStringLiteral("event"));
    };
    EXPECT_EQ(lookup(QStringLiteral("Who"), type).ToString(), u"event");
}

TEST_F(ReportTest, GroupFooterChangesWhenTheGroupAfterItChanges)
{
    int h1, f1, h2, f2;
    report.AddGroup(h1, f1, false, false, false, 0, QStringLiteral("A"));
    Q_UNUSED(f1);
    report.AddGroup(h2, f2, false, false, false, 0, QStringLiteral("B"));
    // Footers: inner (B) at f2, outer (A) right after it (the first group's
    // footer index moved when the second group was added).
    TKVXBand* inner = report.GetBand(f2);
    TKVXBand* outer = report.GetBand(f2 + 1);
    ASSERT_EQ(outer->Expression(), u"A");
    inner->SetPrevValue(Variant(1));
    inner->SetCurValue(Variant(1));
    outer->SetPrevValue(Variant(QStringLiteral("x")));
    outer->SetCurValue(Variant(QStringLiteral("x")));
    EXPECT_FALSE(inner->ValueChanged());
    outer->SetCurValue(Variant(QStringLiteral("y")));
    EXPECT_TRUE(inner->ValueChanged()) << "an outer change makes the inner footer print";
    // A header looks at nothing but itself.
    TKVXBand* header = report.GetBand(h2);
    header->SetPrevValue(Variant(1));
    header->SetCurValue(Variant(1));
    EXPECT_FALSE(header->ValueChanged());
}

TEST_F(ReportTest, ColumnWidthSharesThePaperBetweenColumnsAndBars)
{
    TKVXPrinter* printer = report.PrinterSetting();
    const int usable = printer->GetPaperWidthPixels() - printer->GetPageOffsetLeft() - printer->GetPageOffsetRight();
    report.SetColumnNumber(3);
    report.SetColumnSpace(10);
    report.SetBarNumber(2);
    EXPECT_EQ(report.GetBand(1)->GetColumnWidth(), (usable * 2 - 2 * 10) / 6);
    report.SetColumnNumber(0); // a broken form must not divide by zero
    EXPECT_EQ(report.GetBand(1)->GetColumnWidth(), usable);
}

} // namespace
} // namespace vorel
