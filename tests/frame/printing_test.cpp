// Printing on fake printers: the sheet order of copies, collation and bars,
// which records print, where a page lies on the sheet, and what happens
// when the printer fails or the user cancels.

#include "frame_test_support.h"

#include "frame/page_range.h"
#include "frame/print_sheets.h"

#include <gtest/gtest.h>

using namespace vorel;
using namespace vorel::test;

namespace {

// Each page carries a black square whose place says which (page, bar) it
// is: at report pixels (40 + 60 x page, 40 + 60 x bar), 20 x 20.
class TMarkedReport : public TKVPrintComponent {
public:
    int PagesPerBar = 3;
    int BarsToMake = 1;
    int Passes = 0;
    void PrepareReport() override
    {
        TKVPrintComponent::PrepareReport();
        ++Passes;
        BeginDoc();
        for (int bar = 0; bar < BarsToMake; ++bar)
            for (int page = 0; page < PagesPerBar; ++page) {
                NewPage(bar > 0 && page == 0);
                MFCanvas()->Brush()->SetColor(clBlack);
                MFCanvas()->Brush()->SetStyle(bsSolid);
                MFCanvas()->FillRect(Rect(40 + 60 * page, 40 + 60 * bar, 60 + 60 * page, 60 + 60 * bar));
            }
        EndDoc();
    }
};

// A coarse Letter printer, so that the kept sheet images stay small: 120
// x 60 dpi (different on purpose, so an axis mix-up shows), with
// unprintable strips; its images have their origin at the printable
// area's corner (13, 7 printer pixels in).
TFakePrinterSetup CoarsePrinter()
{
    TFakePrinterSetup setup = FakeLetterPrinter();
    setup.PixelsPerInchX = 120;
    setup.PixelsPerInchY = 60;
    setup.MarginLeft = 13;
    setup.MarginTop = 7;
    setup.MarginRight = 20;
    setup.MarginBottom = 10;
    return setup;
}

// The second printer counts its sheets without keeping them.
TFakePrinterSetup CountingInkjet()
{
    TFakePrinterSetup setup = FakeInkjet();
    setup.KeepPageImages = false;
    return setup;
}

bool Dark(const QImage& sheet, int reportX, int reportY)
{
    const int x = reportX * 120 / 96 - 13;
    const int y = reportY * 60 / 96 - 7;
    return sheet.valid(x, y) && qGray(sheet.pixel(x, y)) < 100;
}

// "p.b" of each sheet (1-based page, bar) from its mark.
QString SheetsOf(const TFakeJob& job)
{
    QStringList sheets;
    for (const QImage& sheet : job.Pages) {
        QString found = QStringLiteral("?");
        for (int page = 0; page < 4; ++page)
            for (int bar = 0; bar < 3; ++bar)
                if (Dark(sheet, 50 + 60 * page, 50 + 60 * bar))
                    found = QStringLiteral("%1.%2").arg(page + 1).arg(bar + 1);
        sheets << found;
    }
    return sheets.join(u' ');
}

// A user interface whose Cancel is pressed at the n-th progress update.
class TCancellingUi : public THeadlessUserInterface {
public:
    int CancelAtUpdate = 2;
    int Updates = 0;
    bool CreateProgressDlg(int, const QString&, const QString&, const QString&, int, int, int) override { return true; }
    bool UpdateProgressDlg(const QString&, int) override
    {
        ++Updates;
        return true;
    }
    bool ProgressCanceled() override { return Updates >= CancelAtUpdate; }
};

class PrintingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TPrinterService::Instance().SetVirtualOutputFile({});
        report.OnBeforePrint = [this](QObject*) { events << QStringLiteral("before"); };
        report.OnAfterPrint = [this](QObject*) { events << QStringLiteral("after"); };
        report.SetAnimatedStatus(false);
    }
    QList<TFakeJob>& Jobs() { return TPrinterService::Instance().FakeJobs(); }

    ScopedFakePrinters printers{{CoarsePrinter(), CountingInkjet()}};
    TMarkedReport report;
    QStringList events;
};

} // namespace

TEST(PrintSheetOrder, CopiesCollationAndBars)
{
    // Three pages of two bars each, page-major as PagesInOrder lists them.
    std::vector<std::unique_ptr<TPageInfo>> owned;
    std::vector<TPageInfo*> records;
    for (int page = 0; page < 3; ++page)
        for (int bar = 0; bar < 2; ++bar) {
            owned.push_back(std::make_unique<TPageInfo>());
            owned.back()->intNumPage = page;
            owned.back()->intNumBar = bar;
            records.push_back(owned.back().get());
        }
    const auto order = [&](int copies, bool collate, std::size_t count) {
        const std::vector<TPageInfo*> some(records.begin(), records.begin() + std::ptrdiff_t(count));
        QStringList out;
        for (const TPrintSheet& s : PrintSheetOrder(some, copies, collate))
            out << QStringLiteral("%1.%2c%3").arg(s.Page->intNumPage + 1).arg(s.Page->intNumBar + 1).arg(s.Copy);
        return out.join(u' ').toStdString();
    };
    EXPECT_EQ(order(2, true, 6), "1.1c1 1.2c1 2.1c1 2.2c1 3.1c1 3.2c1 1.1c2 1.2c2 2.1c2 2.2c2 3.1c2 3.2c2");
    // Not collated: every copy of a page, bar 1 then bar 2, before the next page.
    EXPECT_EQ(order(2, false, 4), "1.1c1 1.2c1 1.1c2 1.2c2 2.1c1 2.2c1 2.1c2 2.2c2");
    // Copies of 0 or less print one copy, not none.
    EXPECT_EQ(order(0, false, 2), "1.1c1 1.2c1");
    EXPECT_EQ(order(-3, true, 2), "1.1c1 1.2c1");
}

TEST(SheetPlacement, ThePageIsTheWholeSheetAtItsOwnSize)
{
    TDeviceCaps caps;
    caps.PixelsPerInchX = 600;
    caps.PixelsPerInchY = 300;
    caps.PhysicalWidth = 5100; // Letter
    caps.PhysicalHeight = 3300;
    caps.PhysicalOffsetX = 103;
    caps.PhysicalOffsetY = 77;
    // A Letter page (816 x 1056 report pixels) covers the sheet from its
    // corner, not the printable area (which would shrink it and put the
    // margins in twice).
    const TRect letter = SheetPlacement(816, 1056, caps);
    EXPECT_EQ(letter, Rect(-103, -77, -103 + 5100, -77 + 3300));
    // A page larger than the sheet (A3 on Letter) is scaled down, both ways alike.
    const TRect a3 = SheetPlacement(1123, 1587, caps);
    EXPECT_EQ(a3.Top, -77);
    EXPECT_LE(a3.Height(), 3300);
    EXPECT_NEAR(double(a3.Width()) / 600 * 96 / (double(a3.Height()) / 300 * 96), 1123.0 / 1587, 0.002);
}

TEST(DialogPageList, AllCurrentEvenOddAndRange)
{
    EXPECT_EQ(DialogPageList(TPageRangeKind::All, {}, 5, 2), (QList<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(DialogPageList(TPageRangeKind::Current, {}, 5, 2), (QList<int>{2}));
    EXPECT_EQ(DialogPageList(TPageRangeKind::Even, {}, 5, 2), (QList<int>{2, 4}));
    EXPECT_EQ(DialogPageList(TPageRangeKind::Odd, {}, 5, 2), (QList<int>{1, 3, 5}));
    EXPECT_EQ(DialogPageList(TPageRangeKind::Range, u"12-10, 3", 5, 2), (QList<int>{3, 10, 12}));
    EXPECT_TRUE(DialogPageList(TPageRangeKind::Range, u"abc", 5, 2).isEmpty());
}

TEST_F(PrintingTest, SheetsComeInCopyAndCollateOrderWithNoBreakAfterTheLast)
{
    report.PagesPerBar = 3;
    report.PrinterSetting()->SetCopies(2);
    report.PrinterSetting()->SetCollate(true);
    report.PrintReport();
    ASSERT_EQ(Jobs().size(), 1);
    EXPECT_EQ(SheetsOf(Jobs()[0]), QStringLiteral("1.1 2.1 3.1 1.1 2.1 3.1"));
    EXPECT_TRUE(Jobs()[0].Ended);
    // The report makes the copies; the printer is asked for one.
    EXPECT_EQ(Jobs()[0].Copies, 1);
    EXPECT_EQ(events, (QStringList{QStringLiteral("before"), QStringLiteral("after")}));

    Jobs().clear();
    report.PrinterSetting()->SetCollate(false);
    report.PrintPages({1, 3});
    ASSERT_EQ(Jobs().size(), 1);
    EXPECT_EQ(SheetsOf(Jobs()[0]), QStringLiteral("1.1 1.1 3.1 3.1"));
}

TEST_F(PrintingTest, OnlyExistingRecordsPrintAndNothingQualifyingStartsNoJob)
{
    report.PagesPerBar = 2;
    report.BarsToMake = 2;
    // Page 5 does not exist: no sheet, and no blank sheet after page 2.
    report.PrintPages({2, 5});
    ASSERT_EQ(Jobs().size(), 1);
    EXPECT_EQ(SheetsOf(Jobs()[0]), QStringLiteral("2.1 2.2"));
    EXPECT_EQ(Jobs()[0].PageCount, 2);

    Jobs().clear();
    events.clear();
    report.PrintPages(GetValidPageNumbers(u"abc"));
    report.PrintPages({7});
    EXPECT_TRUE(Jobs().isEmpty());
    EXPECT_TRUE(events.isEmpty()) << "no job, no print events";
}

TEST_F(PrintingTest, AnUnpreparedReportIsPreparedAsForPreviewWithBothPasses)
{
    report.SetTwoPass(true);
    report.PrintReport();
    EXPECT_EQ(report.Passes, 2) << "prepared through Prepare, not PrepareReport alone";
    ASSERT_EQ(Jobs().size(), 1);
    EXPECT_EQ(Jobs()[0].PageCount, 3);
}

TEST_F(PrintingTest, ThePageLiesOnTheSheetAtItsOwnPlaceAndSize)
{
    report.PagesPerBar = 1;
    report.PrintReport();
    ASSERT_EQ(Jobs().size(), 1);
    const QImage& sheet = Jobs()[0].Pages.value(0);
    // The mark covers report pixels 40..60 both ways; its edges land where
    // a 1:1 page from the sheet's corner puts them (a page stretched over
    // the printable area would start 13 printer pixels further in).
    EXPECT_TRUE(Dark(sheet, 43, 43));
    EXPECT_TRUE(Dark(sheet, 57, 57));
    EXPECT_FALSE(Dark(sheet, 36, 50));
    EXPECT_FALSE(Dark(sheet, 64, 50));
    EXPECT_FALSE(Dark(sheet, 50, 36));
    EXPECT_FALSE(Dark(sheet, 50, 64));
}

TEST_F(PrintingTest, PrinterErrorEndsTheJobRestoresThePrinterAndReachesTheCaller)
{
    TFakePrinterSetup failing = CoarsePrinter();
    failing.FailOnPage = true;
    ScopedFakePrinters broken({failing});
    TPrinterService& service = TPrinterService::Instance();
    service.SetCopies(3);
    // The report's paper goes to the printer for the job only.
    report.PrinterSetting()->SetPaperSize(psA4);
    report.PrinterSetting()->SetOrientation(spoLandscape);
    report.Prepare();
    const TDeviceMode before = service.DeviceMode();
    EXPECT_THROW(report.PrintReport(), EPrinter);
    ASSERT_EQ(service.FakeJobs().size(), 1);
    EXPECT_TRUE(service.FakeJobs()[0].Aborted);
    EXPECT_FALSE(service.FakeJobs()[0].Ended);
    EXPECT_EQ(service.DeviceMode(), before) << "the printer's own settings are back";
    EXPECT_EQ(service.Copies(), 3);
    EXPECT_EQ(events, (QStringList{QStringLiteral("before")})) << "no OnAfterPrint after a failure";
}

TEST_F(PrintingTest, CancelBetweenSheetsDropsTheJob)
{
    TCancellingUi ui;
    ScopedUserInterface installed(&ui);
    report.SetAnimatedStatus(true);
    ui.CancelAtUpdate = 1000;
    report.Prepare();
    ui.Updates = 0;
    ui.CancelAtUpdate = 2; // while the second sheet is about to print
    report.PrintReport();
    ASSERT_EQ(Jobs().size(), 1);
    EXPECT_TRUE(Jobs()[0].Aborted);
    EXPECT_FALSE(Jobs()[0].Ended);
    EXPECT_TRUE(report.Cancelled());
    EXPECT_EQ(events, (QStringList{QStringLiteral("before")}));
}

TEST_F(PrintingTest, PrintTakesTheDialogsChoiceAndKeepsCopiesAndCollation)
{
    struct TChoosingUi : THeadlessUserInterface {
        TPrintRequest Seen;
        bool ShowPrintDialog(const TPrintRequest& request, TPrintChoice& choice) override
        {
            Seen = request;
            choice.Pages = {2, 3};
            choice.Copies = 2;
            choice.Collate = false;
            return true;
        }
    } ui;
    ScopedUserInterface installed(&ui);
    report.PrinterSetting()->SetPrinterName(QStringLiteral("Office Inkjet"));
    report.Print();
    EXPECT_EQ(ui.Seen.NumPages, 3) << "an unprepared report is prepared before the dialog counts its pages";
    EXPECT_EQ(ui.Seen.PrinterName, QStringLiteral("Office Inkjet"));
    ASSERT_EQ(Jobs().size(), 1);
    EXPECT_EQ(Jobs()[0].PageCount, 4);
    EXPECT_EQ(report.PrinterSetting()->Copies(), 2);
}

TEST_F(PrintingTest, WithoutARealPrinterPrintingSaysNoPrinterIsInstalled)
{
    ScopedFakePrinters none(QList<TFakePrinterSetup>{});
    if (TPrinterService::Instance().HasSystemPrinters())
        GTEST_SKIP() << "this machine has printers of its own";
    EXPECT_THROW(report.PrintReport(), EKVXNoPrinterError);
}
