#pragma once
// Shared by the engine tests: a report on a square custom page of 960 x 960
// report pixels with 48-pixel margins (so the body runs from y = 48 to
// y = 912, 864 pixels, and is 864 pixels wide), bound to an in-memory data
// set, with helpers that add bands and controls and read the generated
// pages back as the texts each page draws.
//
// Page geometry: 2540 x 2540 tenths of a millimetre (10 x 10 inches) is
// 960 x 960 pixels at 96 per inch; a 127-tenth margin is 300 pixels of the
// 600-dpi virtual printer, 48 report pixels.

#include "data/data_manager.h"
#include "data/memory_dataset.h"
#include "frame/user_interface.h"
#include "model/model_test_support.h"
#include "model/report.h"
#include "model/text_controls.h"
#include "support/locale_fixture.h"
#include "support/page_dump.h"

#include <memory>
#include <ostream>

// Failures show texts as texts.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace vorel::testing {

constexpr int kPageSize = 960;   // report pixels
constexpr int kMargin = 48;      // report pixels
constexpr int kBodyTop = kMargin;
constexpr int kBodyBottom = kPageSize - kMargin; // 912
constexpr int kBodyWidth = kPageSize - 2 * kMargin; // 864
// Controls draw their content inside their frame, whose width is 1 even
// when no frame line is shown: a text stands 1 pixel right of and below
// its control's corner.
constexpr int kInset = 1;

class EngineTest : public EnglishUsLocaleTest {
protected:
    void SetUp() override
    {
        EnglishUsLocaleTest::SetUp();
        EnsureModelRegistered();
        MakeReport();
    }

    void TearDown() override
    {
        report.reset();
        EnglishUsLocaleTest::TearDown();
    }

    // A fresh report and data set (table-driven tests start each row with it).
    void MakeReport()
    {
        report.reset();
        report = std::make_unique<TKVReport>();
        report->SetName(QStringLiteral("Report"));
        report->SetAnimatedStatus(false);
        TKVXPrinter* printer = report->PrinterSetting();
        printer->SetPaperSize(psCustom);
        printer->SetPaperSizeWidth(2540);
        printer->SetPaperSizeHeight(2540);
        printer->Margins()->SetByDefault(false);
        printer->Margins()->SetLeft(127);
        printer->Margins()->SetTop(127);
        printer->Margins()->SetRight(127);
        printer->Margins()->SetBottom(127);
        report->DeleteAllBands();

        data = new TMemoryDataSet(report.get());
        data->SetName(QStringLiteral("Data"));
        data->AddFieldDef(QStringLiteral("Id"), ftInteger);
        data->AddFieldDef(QStringLiteral("Grp"), ftWideString, 20);
        data->AddFieldDef(QStringLiteral("Sub"), ftWideString, 20);
        data->AddFieldDef(QStringLiteral("Val"), ftFloat);
        manager = new TKVXDataManager(report.get());
        manager->Datasets()->Add()->SetDataset(data);
        report->SetDataSet(data);
        report->SetDataManager(manager);
    }

    // Rows of (Id, Grp, Sub, Val); the data set is opened.
    void Rows(const QList<QList<Variant>>& rows)
    {
        for (const QList<Variant>& row : rows)
            data->AppendRecord(row);
        data->Open();
    }
    // Rows 1..count with Val = Id and groups of groupSize ("G1", "G2" ...).
    void NumberedRows(int count, int groupSize = 1000000)
    {
        for (int i = 1; i <= count; ++i)
            data->AppendRecord({i, QStringLiteral("G%1").arg((i - 1) / groupSize + 1), QString(), double(i)});
        data->Open();
    }

    // A second data set of one field (a sub-detail band's rows), opened and
    // known to the data manager.
    TMemoryDataSet* RowsOf(const QString& name, const QString& field, TFieldType type, const QList<Variant>& values)
    {
        auto* rows = new TMemoryDataSet(report.get());
        rows->SetName(name);
        rows->AddFieldDef(field, type, type == ftWideString ? 10 : 0);
        for (const Variant& value : values)
            rows->AppendRecord({value});
        rows->Open();
        manager->Datasets()->Add()->SetDataset(rows);
        return rows;
    }

    TKVXBand* Band(TBandType type, int height)
    {
        TKVXBand* band = report->GetBand(report->AddBand(type, true));
        band->SetHeight(height);
        band->SetLeft(0);
        band->SetWidth(kBodyWidth);
        return band;
    }
    // A detail band showing "D<Id>", 100 pixels high unless asked: eight
    // fit an empty page.
    TKVXBand* Detail(int height = 100)
    {
        TKVXBand* detail = Band(btDetail, height);
        Expr(detail, QStringLiteral("'D' + INTTOSTR([Id])"));
        return detail;
    }
    TKVXBand* Group(const QString& expression, int headerHeight, int footerHeight)
    {
        int header = 0, footer = 0;
        report->AddGroup(header, footer, false, false, false, 0, expression);
        report->GetBand(header)->SetHeight(headerHeight);
        report->GetBand(footer)->SetHeight(footerHeight);
        return report->GetBand(header);
    }
    TKVXBand* FooterOf(TKVXBand* header) { return report->GetBand(header->GetLinkedFooterIndex()); }

    template <typename T>
    T* Add(TKVXBand* band, int left, int top, int width, int height)
    {
        auto* control = static_cast<T*>(band->Object(band->AddElement(&T::staticMetaObject)));
        control->SetLeft(left);
        control->SetTop(top);
        control->SetWidth(width);
        control->SetHeight(height);
        return control;
    }
    TKVXLabel* Label(TKVXBand* band, const QString& text, int left = 0, int top = 0, int width = 300, int height = 15)
    {
        auto* label = Add<TKVXLabel>(band, left, top, width, height);
        label->SetDisplayName(text);
        return label;
    }
    TKVXExpression* Expr(TKVXBand* band, const QString& expression, int left = 0, int top = 0, int width = 300,
                         int height = 15)
    {
        auto* control = Add<TKVXExpression>(band, left, top, width, height);
        control->SetExpression(expression);
        return control;
    }
    TKVXExpression* Aggregate(TKVXBand* band, const QString& expression, TCalcType calc, TResetType reset,
                              const QString& resetGroup = QString(), int left = 400)
    {
        TKVXExpression* control = Expr(band, expression, left);
        control->Calculation()->SetCalcType(calc);
        control->Calculation()->SetResetType(reset);
        control->Calculation()->SetResetGroup(resetGroup);
        return control;
    }

    void Prepare() { report->Prepare(); }

    // The texts of every page, one string per page in page-list order, the
    // texts of a page joined by blanks in drawing order.
    QStringList PageTexts() const
    {
        QStringList out;
        const TPageList& pages = report->Pages();
        for (int i = 0; i < pages.Count(); ++i)
            out << testing::PageTexts(*pages.Items(i)->Data).join(u' ');
        return out;
    }
    // The text items of one page (0-based index in the page list).
    std::vector<PageItem> Texts(int pageIndex) const
    {
        return PageItems(*report->Pages().Items(pageIndex)->Data, false);
    }
    // The y of the first text on the page that equals text, or -1.
    int YOf(int pageIndex, const QString& text) const
    {
        for (const PageItem& item : Texts(pageIndex))
            if (item.Text == text)
                return item.Y;
        return -1;
    }
    int XOf(int pageIndex, const QString& text) const
    {
        for (const PageItem& item : Texts(pageIndex))
            if (item.Text == text)
                return item.X;
        return -1;
    }

    std::unique_ptr<TKVReport> report;
    TMemoryDataSet* data = nullptr;
    TKVXDataManager* manager = nullptr;
};

} // namespace vorel::testing
