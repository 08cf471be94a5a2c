// The report wizard's generation: the layouts' edge cases, where calculated
// values land and how they reset, groups on any field, and generated forms
// prepared over a memory data set (a page total starts again on each page).

#include "auto/report_wizard.h"
#include "auto_test_support.h"

#include "data/data_manager.h"
#include "graphics/text_measure.h"
#include "model/band.h"
#include "model/report.h"
#include "model/shapes.h"
#include "model/text_controls.h"

#include <QRegularExpression>

namespace vorel {
namespace {

using namespace vorel::autotest;

// A report over a memory data set "Data" with Name (string) and Amount
// (integer) fields, its data manager captioned "Data".
struct Fixture {
    TKVReport report;
    TMemoryDataSet* data = nullptr;

    explicit Fixture(int rows = 3, int amount = 1)
    {
        UsePage(report);
        data = new TMemoryDataSet(&report);
        data->setObjectName(QStringLiteral("Data"));
        data->AddFieldDef(QStringLiteral("Name"), ftWideString, 8);
        data->AddFieldDef(QStringLiteral("Amount"), ftInteger);
        data->AddFieldDef(QStringLiteral("Region"), ftWideString, 4);
        for (int i = 1; i <= rows; ++i)
            data->AppendRecord({QStringLiteral("R%1").arg(i, 3, 10, QChar(u'0')), amount, QStringLiteral("G%1").arg(i / 10)});
        data->Open();
        auto* manager = new TKVXDataManager(&report);
        TKVXDataset* item = manager->Datasets()->Add();
        item->SetDataset(data);
        item->SetCaption(QStringLiteral("Data"));
        report.SetDataManager(manager);
        report.SetDataSet(data);
    }

    TWizardChoices Choices(TWizardReportType type, TWizardStyle style = TWizardStyle::Standard)
    {
        TWizardChoices choices;
        choices.Type = type;
        choices.Style = style;
        choices.Fields = WizardFieldList(report.DataManager());
        choices.PrintableWidth = ReportPrintableWidth(report);
        choices.VisibleWidth = choices.PrintableWidth + 30;
        return choices;
    }

    TKVXBand* Band(TBandType type) { return report.GetBand(report.GetIndexBand(type)); }
};

QList<TKVXExpression*> Expressions(const TKVXBand* band)
{
    QList<TKVXExpression*> list;
    for (TKVXControl* control : band->Objects())
        if (TKVXExpression* expression = control->AsExpression())
            list << expression;
    return list;
}

QList<TBandType> BandTypes(const TKVReport& report)
{
    QList<TBandType> types;
    for (const TKVXBand* band : report.Bands())
        types << band->BandType();
    return types;
}

TEST(ReportWizard, BlankReportIsTheThreeDefaultBands)
{
    Fixture f;
    f.report.AddBand(btReportSummary, true); // the old report goes
    GenerateWizardReport(f.report, f.Choices(TWizardReportType::Blank));
    EXPECT_EQ(BandTypes(f.report), (QList<TBandType>{btPageHeader, btDetail, btPageFooter}));
    for (const TKVXBand* band : f.report.Bands())
        EXPECT_EQ(band->ObjectCount(), 0);
}

TEST(ReportWizard, FieldListTicksTheVisibleFieldsOfTheFirstDataSet)
{
    Fixture f;
    f.data->FieldByName(QStringLiteral("Region"))->SetVisible(false);
    auto* other = new TMemoryDataSet(&f.report);
    other->setObjectName(QStringLiteral("Other"));
    other->AddFieldDef(QStringLiteral("Code"), ftInteger);
    other->Open();
    TKVXDataset* item = f.report.DataManager()->Datasets()->Add();
    item->SetDataset(other);
    const QList<TWizardField> fields = WizardFieldList(f.report.DataManager());
    ASSERT_EQ(fields.size(), 4);
    EXPECT_TRUE(fields[0].Ticked && fields[1].Ticked);
    EXPECT_FALSE(fields[2].Ticked); // hidden
    EXPECT_FALSE(fields[3].Ticked); // second data set
    EXPECT_EQ(fields[3].Reference(), QStringLiteral("Other.Code"));
    EXPECT_EQ(fields[0].Length, 8);
}

TEST(ReportWizard, FieldWidthIsLengthLettersWInBoldItalic)
{
    Fixture f;
    TFont bold;
    bold.Assign(f.report.Font());
    bold.SetStyle(fsBold | fsItalic);
    const int w = TTextMeasurer::Face(bold)->TextWidth(u"W");
    TWizardField field;
    field.Length = 8;
    EXPECT_EQ(WizardFieldWidth(f.report, field), 8 * w);
    field.Length = 0; // no length: ten letters
    EXPECT_EQ(WizardFieldWidth(f.report, field), 10 * w);
}

TEST(ReportWizard, FormatFollowsTheFieldType)
{
    const struct {
        TFieldType Type;
        const char* Format;
    } rows[] = {
        {ftString, "@C "},          {ftWideMemo, "@C "},          {ftInteger, "@N @ND0 @NR1 "},
        {ftBCD, "@N @ND2 @NR0.01 "}, {ftCurrency, "@N @CT "},      {ftDate, "@D @DS "},
        {ftTime, "@T @TS "},        {ftDateTime, "@D @DS @T @TS "}, {ftBlob, ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(WizardFieldFormat(row.Type), QString::fromLatin1(row.Format)) << FieldTypeName(row.Type).toStdString();
}

TEST(ReportWizard, ColumnarScalesEveryWidthByOneFactorWhenTheFieldsAreTooWide)
{
    Fixture f;
    TWizardChoices choices = f.Choices(TWizardReportType::Columnar);
    choices.Fields[2].Ticked = true;
    choices.Fields[0].Length = 40;
    choices.Fields[1].Length = 20;
    choices.Fields[2].Length = 30;
    choices.VisibleWidth = 430;
    double sum = 0;
    for (const TWizardField& field : choices.Fields)
        sum += WizardFieldWidth(f.report, field) + 10;
    const double scale = 400 / sum;
    ASSERT_LT(scale, 1);
    GenerateWizardReport(f.report, choices);
    const QList<TKVXExpression*> values = Expressions(f.Band(btDetail));
    const TKVXBand* header = f.Band(btPageHeader);
    ASSERT_EQ(values.size(), 3);
    ASSERT_EQ(header->ObjectCount(), 3);
    int p = 0;
    for (int i = 0; i < 3; ++i) {
        const int expected = int(WizardFieldWidth(f.report, choices.Fields[i]) * scale);
        EXPECT_EQ(values[i]->Width(), expected) << i;
        EXPECT_EQ(header->Object(i)->Width(), expected) << i;
        EXPECT_EQ(values[i]->Left(), p + 5);
        EXPECT_EQ(header->Object(i)->Left(), p + 5);
        p += expected + 5;
    }
    EXPECT_LE(p, choices.VisibleWidth); // the fields end inside the design area
    // Fields that fit keep their measured widths.
    choices.VisibleWidth = 2000;
    GenerateWizardReport(f.report, choices);
    EXPECT_EQ(Expressions(f.Band(btDetail))[0]->Width(), WizardFieldWidth(f.report, choices.Fields[0]));
}

TEST(ReportWizard, LabelsAcrossSetTheColumnsAndNothingElse)
{
    const struct {
        const char* Across;
        int Columns;
    } rows[] = {{"3", 3}, {"1", 1}, {"0", 2}, {"-4", 2}, {"x", 2}, {"", 2}};
    for (const auto& row : rows) {
        Fixture f;
        TWizardChoices choices = f.Choices(TWizardReportType::Labels, TWizardStyle::Executive);
        choices.LabelsAcross = QString::fromLatin1(row.Across);
        choices.LabelShape = TWizardLabelShape::RoundRect;
        choices.Groups[0] = {true, 0};
        choices.Calculations.append({QStringLiteral("Data.Amount"), true, ctSum, TWizardReset::EndOfReport, {}});
        GenerateWizardReport(f.report, choices);
        EXPECT_EQ(f.report.ColumnNumber(), row.Columns) << row.Across;
        // No title, groups or totals; captions and page data neither.
        EXPECT_EQ(BandTypes(f.report), (QList<TBandType>{btPageHeader, btDetail, btPageFooter})) << row.Across;
        EXPECT_EQ(f.Band(btPageHeader)->ObjectCount(), 0);
        EXPECT_EQ(f.Band(btPageFooter)->ObjectCount(), 0);
        EXPECT_EQ(f.Band(btPageFooter)->Height(), 5);
        TKVXBand* detail = f.Band(btDetail);
        int frames = 0;
        for (TKVXControl* control : detail->Objects()) {
            EXPECT_EQ(control->AsLabel() && !control->AsExpression(), false) << "a caption in a label";
            if (auto* frame = qobject_cast<TKVXRectangle*>(control)) {
                ++frames;
                EXPECT_EQ(frame->RectangleType(), rtRoundRect);
                EXPECT_EQ(frame->Width(), detail->GetColumnWidth() - 24);
                EXPECT_EQ(frame->Height() + 2, detail->Height());
            }
        }
        EXPECT_EQ(frames, 1);
        // Values are one under the other at x 60, each its unscaled width.
        const QList<TKVXExpression*> values = Expressions(detail);
        ASSERT_EQ(values.size(), 3);
        EXPECT_EQ(values[0]->Left(), 60);
        // Each value stands below the rule under the one before.
        for (TKVXControl* control : detail->Objects()) {
            if (!qobject_cast<TKVXLine*>(control))
                continue;
            for (const TKVXExpression* value : values) {
                EXPECT_TRUE(control->Top() >= value->Top() + value->Height() || control->Top() + 2 <= value->Top())
                    << "a rule over " << value->Expression().toStdString();
            }
        }
        EXPECT_EQ(values[1]->Top(), values[0]->Top() + values[0]->Height() + 10);
        EXPECT_EQ(values[0]->Width(), WizardFieldWidth(f.report, choices.Fields[0]));
    }
}

TEST(ReportWizard, GroupOnTheFirstFieldOfTheList)
{
    Fixture f;
    TWizardChoices choices = f.Choices(TWizardReportType::Columnar);
    choices.Groups[0] = {true, 0};
    choices.Groups[1] = {false, 2}; // not ticked: no group
    choices.Groups[2] = {true, 2};
    GenerateWizardReport(f.report, choices);
    EXPECT_EQ(BandTypes(f.report), (QList<TBandType>{btReportTitle, btPageHeader, btGroupHeader, btGroupHeader, btDetail,
                                                    btGroupFooter, btGroupFooter, btPageFooter}));
    EXPECT_EQ(f.report.GetBand(2)->Expression(), QStringLiteral("Data.Name"));
    EXPECT_EQ(f.report.GetBand(3)->Expression(), QStringLiteral("Data.Region"));
    const TKVXBand* header = f.report.GetBand(2);
    ASSERT_EQ(header->ObjectCount(), 2);
    EXPECT_EQ(header->Object(0)->DisplayName(), QStringLiteral("Expression:"));
    EXPECT_EQ(Expressions(header)[0]->Expression(), QStringLiteral("Data.Name"));
    EXPECT_EQ(header->Height(), 37);
}

TEST(ReportWizard, CalculatedValuesLandWhereTheirResetSays)
{
    Fixture f;
    TWizardChoices choices = f.Choices(TWizardReportType::Tabular, TWizardStyle::Corporative);
    choices.Groups[0] = {true, 2};
    const QString group = QStringLiteral("Data.Region");
    choices.Calculations = {
        {QStringLiteral("Data.Amount"), true, ctSum, TWizardReset::Group, group},
        {QStringLiteral("Data.Amount"), true, ctCount, TWizardReset::EndOfPage, {}},
        {QStringLiteral("Data.Amount"), true, ctHighest, TWizardReset::EndOfReport, {}},
        {QStringLiteral("Data.Amount"), true, ctLowest, TWizardReset::Unset, {}},
        {QStringLiteral("Data.Amount"), true, ctAverage, TWizardReset::Group, QStringLiteral("Data.Nothing")},
        {}, // all empty: skipped
    };
    GenerateWizardReport(f.report, choices);
    const struct {
        TBandType Band;
        int Index;
        TCalcType Type;
        TResetType Reset;
        QString ResetGroup;
    } rows[] = {
        {btGroupFooter, 0, ctSum, rtEndGroup, group},
        {btPageFooter, 0, ctCount, rtEndPage, {}},
        {btReportSummary, 0, ctHighest, rtEndReport, {}},
        {btReportSummary, 1, ctLowest, rtEndReport, {}},
        // A group without a footer: the report's total.
        {btReportSummary, 2, ctAverage, rtEndReport, {}},
    };
    for (const auto& row : rows) {
        const QList<TKVXExpression*> totals = Expressions(f.Band(row.Band));
        ASSERT_GT(totals.size(), row.Index) << int(row.Band);
        const TKVXCalculation* calc = totals[row.Index]->Calculation();
        EXPECT_EQ(calc->CalcType(), row.Type);
        EXPECT_EQ(calc->ResetType(), row.Reset);
        EXPECT_EQ(calc->ResetGroup(), row.ResetGroup);
    }
    EXPECT_EQ(Expressions(f.Band(btReportSummary)).size(), 3);
    // Totals of one band stand side by side, not over each other.
    const QList<TKVXExpression*> summary = Expressions(f.Band(btReportSummary));
    EXPECT_EQ(summary[0]->Left(), 10);
    EXPECT_EQ(summary[1]->Left(), summary[0]->Left() + summary[0]->Width() + 10);
    EXPECT_EQ(f.Band(btReportSummary)->Height(), 37);
    // The page total stands below the page data.
    const TKVXBand* footer = f.Band(btPageFooter);
    EXPECT_GT(Expressions(footer)[0]->Top(), footer->Object(0)->Top() + footer->Object(0)->Height());

    // A total that would cross the page's right edge starts a second line.
    for (int i = 0; i < 3; ++i)
        choices.Calculations.append({QStringLiteral("Data.Amount"), true, ctSum, TWizardReset::EndOfReport, {}});
    GenerateWizardReport(f.report, choices);
    const QList<TKVXExpression*> six = Expressions(f.Band(btReportSummary));
    ASSERT_EQ(six.size(), 6);
    for (const TKVXExpression* total : six)
        EXPECT_LE(total->Left() + total->Width(), choices.PrintableWidth);
    EXPECT_EQ(six[4]->Left(), 10);
    EXPECT_EQ(six[4]->Top(), 37);
    EXPECT_EQ(f.Band(btReportSummary)->Height(), 37 + 36);
}

// The totals printed in a size-14 font (role 0), page by page, and the
// number of detail rows on each page.
struct PageTotals {
    QList<int> Totals;
    QList<int> Rows;
};

PageTotals ReadPages(const TKVReport& report)
{
    PageTotals result;
    static const QRegularExpression number(QStringLiteral("^\\d+$"));
    for (int i = 0; i < report.Pages().Count(); ++i) {
        int rows = 0;
        for (const PageItem& item : Texts(*report.Pages().Items(i))) {
            if (item.Text.startsWith(u'R'))
                ++rows;
            else if (item.Font.contains(QStringLiteral("/-19/")) && number.match(item.Text).hasMatch())
                result.Totals << item.Text.toInt();
        }
        result.Rows << rows;
    }
    return result;
}

TEST(ReportWizard, PageTotalStartsAgainOnEveryPage)
{
    Fixture f(150, 1);
    TWizardChoices choices = f.Choices(TWizardReportType::Columnar);
    choices.Fields[2].Ticked = false;
    choices.Calculations.append({QStringLiteral("Data.Amount"), true, ctSum, TWizardReset::EndOfPage, {}});
    GenerateWizardReport(f.report, choices);
    f.report.Prepare();
    ASSERT_GE(f.report.Pages().Count(), 3);
    const PageTotals pages = ReadPages(f.report);
    ASSERT_EQ(pages.Totals.size(), pages.Rows.size());
    int all = 0;
    for (int i = 0; i < pages.Rows.size(); ++i) {
        EXPECT_EQ(pages.Totals[i], pages.Rows[i]) << "page " << i + 1;
        all += pages.Rows[i];
    }
    EXPECT_EQ(all, 150);
}

TEST(ReportWizard, GroupAndReportTotalsPrintTheirSums)
{
    Fixture f(35, 2); // groups G0 (rows 1-9), G1 (10-19), G2 (20-29), G3 (30-35)
    TWizardChoices choices = f.Choices(TWizardReportType::Columnar, TWizardStyle::Presentative);
    choices.Groups[0] = {true, 2};
    choices.Calculations = {
        {QStringLiteral("Data.Amount"), true, ctSum, TWizardReset::Group, QStringLiteral("Data.Region")},
        {QStringLiteral("Data.Amount"), true, ctSum, TWizardReset::EndOfReport, {}},
    };
    GenerateWizardReport(f.report, choices);
    f.report.Prepare();
    EXPECT_EQ(ReadPages(f.report).Totals, (QList<int>{18, 20, 20, 12, 70}));
}

} // namespace
} // namespace vorel
