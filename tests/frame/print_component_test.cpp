// The print component frame: page list, page geometry, frame, events,
// two-pass preparation, system data and the variable lookup.

#include "frame_test_support.h"

#include "foundation/locale/format_settings.h"
#include "graphics/emf_enumerator.h"

#include <cmath>

#include <gtest/gtest.h>

using namespace vorel;
using namespace vorel::test;

namespace {

class PrintComponentTest : public ::testing::Test {
protected:
    ScopedFakePrinters printers;
    TRecordingUi ui;
    ScopedUserInterface uiInstalled{&ui};
    TTestReport report;
};

struct TLine {
    TPoint From;
    TPoint To;
    friend bool operator==(const TLine&, const TLine&) = default;
};

QList<TLine> LinesOf(const TMetafile& page)
{
    QList<TLine> lines;
    TEmfEnumerator e(page);
    while (e.Next()) {
        if (e.Record().Type == EMR_LINETO)
            lines.append({e.PositionBefore(), e.State().CurrentPosition});
    }
    return lines;
}

} // namespace

TEST_F(PrintComponentTest, PageListHoldsEveryPageOfEveryBarInCreationOrder)
{
    report.PagesPerBar = 3;
    report.BarsToMake = 2;
    report.Prepare();

    ASSERT_TRUE(report.Prepared());
    EXPECT_EQ(report.Status(), stPrinted);
    EXPECT_EQ(report.GetNumPages(), 3);
    EXPECT_EQ(report.GetNumBars(), 2);
    ASSERT_EQ(report.Pages().Count(), 6);
    // Bar by bar, page index within the bar from 0.
    const int expected[6][2] = {{0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {2, 1}};
    for (int i = 0; i < 6; ++i) {
        const TPageInfo* page = report.Pages().Items(i);
        EXPECT_EQ(page->intNumPage, expected[i][0]) << "record " << i;
        EXPECT_EQ(page->intNumBar, expected[i][1]) << "record " << i;
        EXPECT_EQ(report.GetPage(expected[i][0], expected[i][1]), page);
        EXPECT_FALSE(page->Data->Empty()) << "every page's metafile is complete after EndDoc";
    }
    EXPECT_EQ(report.GetPage(3, 0), nullptr);
    EXPECT_EQ(report.GetPage(0, 2), nullptr);
    EXPECT_EQ(report.MFCanvas(), nullptr);

    report.FreePages();
    EXPECT_EQ(report.GetNumPages(), 0);
    EXPECT_EQ(report.GetNumBars(), 0);
    EXPECT_EQ(report.GetPage(0, 0), nullptr);
}

TEST_F(PrintComponentTest, PageSizeComesFromThePaperAndOffsetsFromThePrinter)
{
    struct Row {
        const char* what;
        std::function<void(TKVXPrinter&)> set;
        int width, height; // report pixels
    };
    const Row rows[] = {
        {"A4: 2100 x 2970 tenths of a mm at 96 dpi, rounded", [](TKVXPrinter& p) { p.SetPaperSize(psA4); }, 794, 1123},
        {"Letter is exactly 8.5 x 11 in", [](TKVXPrinter& p) { p.SetPaperSize(psLetter); }, 816, 1056},
        {"A4 landscape turns the page",
         [](TKVXPrinter& p) {
             p.SetOrientation(spoPortrait);
             p.SetPaperSize(psA4);
             p.SetOrientation(spoLandscape);
         },
         1123, 794},
        {"landscape alone, after the paper, turns it",
         [](TKVXPrinter& p) {
             p.SetPaperSize(psA4);
             p.SetOrientation(spoLandscape);
         },
         1123, 794},
        {"landscape set before the paper still turns it",
         [](TKVXPrinter& p) {
             p.SetOrientation(spoLandscape);
             p.SetPaperSize(psA5);
         },
         794, 559},
        {"a form that stored A4's metric values", [](TKVXPrinter& p) {
             p.SetPaperSize(psA4);
             p.SetPaperSizeWidth(2100);
             p.SetPaperSizeHeight(2970);
         }, 794, 1123},
        {"custom 150 x 200 mm", [](TKVXPrinter& p) {
             p.SetPaperSize(psCustom);
             p.SetPaperSizeWidth(1500);
             p.SetPaperSizeHeight(2000);
         }, 567, 756},
        {"default: the printer's sheet, 5101 px at 600 dpi = 2159 tenths", [](TKVXPrinter& p) { p.SetPaperSize(psDefault); }, 816, 1056},
    };
    for (const Row& row : rows) {
        TTestReport r;
        r.SetAnimatedStatus(false);
        row.set(*r.PrinterSetting());
        r.PagesPerBar = 2;
        r.Prepare();
        for (int i = 0; i < r.Pages().Count(); ++i) {
            const TPageInfo* page = r.Pages().Items(i);
            EXPECT_EQ(page->PageWidth(), row.width) << row.what;
            EXPECT_EQ(page->PageHeight(), row.height) << row.what;
            EXPECT_EQ(page->Data->Width(), row.width) << row.what;
            EXPECT_EQ(page->Data->Height(), row.height) << row.what;
        }
    }
}

TEST_F(PrintComponentTest, NewPageCopiesTheOffsetsAndSetsTheLayoutCursor)
{
    report.SetAnimatedStatus(false);
    report.PrinterSetting()->SetPaperSize(psLetter);
    QList<std::pair<int, int>> cursors;
    report.OnPageMade = [&](TTestReport& r) { cursors.append({r.intCurHeight, r.intMaxPageHeight}); };
    report.Prepare();
    for (int i = 0; i < report.Pages().Count(); ++i) {
        const TPageInfo* page = report.Pages().Items(i);
        // The fake printer's strips (see FakePortraitMetrics).
        EXPECT_EQ(page->OffsetLeft, 16);
        EXPECT_EQ(page->OffsetTop, 24);
        EXPECT_EQ(page->OffsetRight, 33);
        EXPECT_EQ(page->OffsetBottom, 28);
        EXPECT_EQ(cursors[i].first, 24);
        EXPECT_EQ(cursors[i].second, 1056 - 24);
    }
}

TEST_F(PrintComponentTest, FrameIsDrawnOnEveryPageInsideTheOffsets)
{
    report.SetAnimatedStatus(false);
    report.PrinterSetting()->SetPaperSize(psLetter);
    report.Frame()->SetFrameType(ftTop | ftBottom | ftLeft | ftRight);
    report.PagesPerBar = 2;
    report.BarsToMake = 2;
    report.Prepare();
    // Rect (16, 24, 816 - 33, 1056 - 28): top, bottom, left, right.
    const QList<TLine> expected = {
        {{16, 24}, {783, 24}}, {{16, 1028}, {783, 1028}}, {{16, 24}, {16, 1028}}, {{783, 24}, {783, 1028}}};
    ASSERT_EQ(report.Pages().Count(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(LinesOf(*report.Pages().Items(i)->Data), expected) << "page record " << i;
}

TEST_F(PrintComponentTest, EventsComeInOrderWithPagesFromOneAndBarsFromZero)
{
    report.SetAnimatedStatus(false);
    report.PagesPerBar = 2;
    report.BarsToMake = 2;
    QStringList log;
    report.OnBeginDoc = [&](QObject* s) { log << QStringLiteral("BeginDoc") + (s == &report ? "" : "?"); };
    report.OnEndDoc = [&](QObject*) { log << QStringLiteral("EndDoc"); };
    report.OnBeginPage = [&](QObject*, int p, int b) { log << QStringLiteral("BeginPage %1,%2").arg(p).arg(b); };
    report.OnEndPage = [&](QObject*, int p, int b) { log << QStringLiteral("EndPage %1,%2").arg(p).arg(b); };
    report.Prepare();
    EXPECT_EQ(log, QStringList({"BeginDoc", "BeginPage 1,0", "EndPage 1,0", "BeginPage 2,0", "EndPage 2,0",
                                "BeginPage 1,1", "EndPage 1,1", "BeginPage 2,1", "EndDoc"}));
}

TEST_F(PrintComponentTest, TwoPassShowsFirstPassTotalsDuringTheSecondPass)
{
    report.PagesPerBar = 3;
    report.BarsToMake = 2;
    report.SetTwoPass(true);
    QStringList seen;
    report.OnPageMade = [&](TTestReport& r) {
        seen << QStringLiteral("pass %1 page %2: %3 of %4, bars %5")
                    .arg(r.intCurPassNumber)
                    .arg(r.GetSysDataValue(sdPageNo).ToInt())
                    .arg(r.GetSysDataValue(sdPageCount).ToInt())
                    .arg(r.GetNumPages())
                    .arg(r.GetSysDataValue(sdBarCount).ToInt());
    };
    report.Prepare();
    EXPECT_EQ(report.Passes, 2);
    ASSERT_EQ(seen.size(), 12);
    // First pass: the count grows with the list.
    EXPECT_EQ(seen[0], "pass 1 page 1: 1 of 1, bars 1");
    EXPECT_EQ(seen[3], "pass 1 page 1: 3 of 3, bars 2");
    // Second pass: the first pass's totals from its first page on.
    EXPECT_EQ(seen[6], "pass 2 page 1: 3 of 3, bars 2");
    EXPECT_EQ(seen[7], "pass 2 page 2: 3 of 3, bars 2");
    // The list holds only the second pass's pages.
    EXPECT_EQ(report.Pages().Count(), 6);
    EXPECT_EQ(report.GetNumPages(), 3);
}

TEST_F(PrintComponentTest, CountsFollowThePageListAfterATwoPassPreparation)
{
    // Regression: the pass number stayed 2, so every later count returned
    // the remembered first-pass totals even after the list changed.
    report.SetAnimatedStatus(false);
    report.SetTwoPass(true);
    report.PagesPerBar = 4;
    report.Prepare();
    ASSERT_EQ(report.GetNumPages(), 4);
    report.FreePages();
    EXPECT_EQ(report.GetNumPages(), 0);
    EXPECT_EQ(report.GetNumBars(), 0);
}

TEST_F(PrintComponentTest, ProgressFollowsThePreparation)
{
    report.PagesPerBar = 2;
    report.SetTwoPass(true);
    report.KVProperty()->SetTitle(QStringLiteral("Sales"));
    report.Prepare();
    EXPECT_EQ(ui.Calls, QStringList({
                            "create Sales|Preparing...|&Cancel|0|0|100",
                            "modal",
                            "update First pass: Preparing page 1 on the bar 1...|0 (modal)",
                            "update First pass: Preparing page 2 on the bar 1...|0 (modal)",
                            // The second pass has a bar: the page count of the first.
                            "create Sales|Preparing...|&Cancel|0|2|100",
                            "update Second pass: Preparing page 1 on the bar 1...|0",
                            "update Second pass: Preparing page 2 on the bar 1...|1",
                            "destroy",
                        }));

    ui.Calls.clear();
    TTestReport untitled;
    untitled.PagesPerBar = 1;
    untitled.Prepare();
    EXPECT_EQ(ui.Calls.value(0), "create " + ProductVersionText() + "|Preparing...|&Cancel|0|0|100");
    EXPECT_EQ(ui.Calls.value(2), "update Preparing page 1 on the bar 1...|0 (modal)");
}

TEST_F(PrintComponentTest, PageNumberUsesStartAndStep)
{
    report.SetAnimatedStatus(false);
    report.StartAt = 10;
    report.CountBy = 2;
    QList<int> numbers;
    report.OnPageMade = [&](TTestReport& r) { numbers << r.GetSysDataValue(sdPageNo).ToInt(); };
    report.Prepare();
    EXPECT_EQ(numbers, QList<int>({12, 14, 16}));
}

TEST_F(PrintComponentTest, SystemDataValues)
{
    report.SetAnimatedStatus(false);
    report.KVProperty()->SetAuthor(QStringLiteral("Ada"));
    report.KVProperty()->SetKeywords(QStringLiteral("k1 k2"));
    report.BarsToMake = 2;
    report.PagesPerBar = 2;
    report.BeforeEndDoc = [](TTestReport& r) {
        EXPECT_EQ(r.GetSysDataValue(sdBarNo).ToInt(), 2);
        EXPECT_EQ(r.GetSysDataValue(sdColumnNo).ToInt(), 1);
        EXPECT_EQ(r.GetSysDataValue(sdColumnCount).ToInt(), 1);
    };
    report.Prepare();
    EXPECT_EQ(report.GetSysDataValue(sdAuthor).ToString(), u"Ada");
    EXPECT_EQ(report.GetSysDataValue(sdKeywords).ToString(), u"k1 k2");
    EXPECT_EQ(report.GetSysDataValue(sdReportTitle).ToString(), u"");
    const Variant detail = report.GetSysDataValue(sdDetailNo);
    EXPECT_EQ(detail.Type(), varShortInt);
    EXPECT_EQ(detail.ToInt(), -1);
    EXPECT_TRUE(report.GetSysDataValue(sdBandLineNo).IsEmpty());
    const Variant date = report.GetSysDataValue(sdDate);
    const Variant time = report.GetSysDataValue(sdTime);
    EXPECT_EQ(date.Type(), varInteger);
    EXPECT_NEAR(date.ToDouble(), std::trunc(Now()), 1.0);
    EXPECT_GE(time.ToDouble(), 0.0);
    EXPECT_LT(time.ToDouble(), 1.0);
    EXPECT_EQ(report.GetSysDataValue(sdDateTime).Type(), varDate);
}

TEST_F(PrintComponentTest, VariableNamedLikeSystemDataNeverReachesVariables)
{
    report.SetAnimatedStatus(false);
    TKVXVariable* shadow = report.Variables()->Add();
    shadow->SetName(QStringLiteral("PageNo"));
    shadow->SetCurValue(Variant(QStringLiteral("from the variable")));
    TKVXVariable* plain = report.Variables()->Add();
    plain->SetName(QStringLiteral("Total"));
    plain->SetCurValue(Variant(42));
    TKVXVariable* empty = report.Variables()->Add();
    empty->SetName(QStringLiteral("Missing"));

    QStringList seen;
    report.OnGetVariable = [&](QObject*, const QString& name, bool& accept, TFieldType& type, Variant& value) {
        seen << QStringLiteral("[%1] %2 %3 %4").arg(name).arg(accept).arg(type).arg(value.ToString());
        if (name == QStringLiteral("override"))
            accept = true, type = ftString, value = Variant(QStringLiteral("mine"));
    };
    report.OnPageMade = [&](TTestReport& r) {
        if (r.intCurPage != 1)
            return;
        bool accept = false;
        TFieldType type = ftUnknown;
        Variant value;
        r.KVXGetVariable(nullptr, QStringLiteral("  pageno "), accept, type, value);
        EXPECT_TRUE(accept);
        EXPECT_EQ(type, ftInteger);
        EXPECT_EQ(value.ToInt(), 2);
    };
    report.Prepare();
    // The handler saw the system data value under the name as written.
    EXPECT_EQ(seen, QStringList({"[  pageno ] 1 3 2"}));

    auto lookup = [&](const QString& name, bool& accept, TFieldType& type) {
        accept = false;
        type = ftUnknown;
        Variant value;
        report.KVXGetVariable(nullptr, name, accept, type, value);
        return value;
    };
    bool accept;
    TFieldType type = ftUnknown;
    Variant v = lookup(QStringLiteral("total"), accept, type);
    EXPECT_TRUE(accept);
    EXPECT_EQ(type, ftString);
    EXPECT_EQ(v.ToInt(), 42) << "the value keeps its own type";
    v = lookup(QStringLiteral("Missing"), accept, type);
    EXPECT_TRUE(accept);
    EXPECT_EQ(v.Type(), varString) << "a null value becomes the empty string";
    EXPECT_EQ(v.ToString(), u"");
    v = lookup(QStringLiteral("nothing"), accept, type);
    EXPECT_FALSE(accept);
    v = lookup(QStringLiteral("override"), accept, type);
    EXPECT_TRUE(accept);
    EXPECT_EQ(v.ToString(), u"mine");
    v = lookup(QStringLiteral("ReportTitle"), accept, type);
    EXPECT_EQ(type, ftString);
    v = lookup(QStringLiteral("datetime"), accept, type);
    EXPECT_EQ(type, ftDateTime);
}

// Names match as their upper-case forms do; ASCII names take a shortcut
// that must agree with upper-casing, and the others upper-case in full.
TEST_F(PrintComponentTest, NamesMatchAsTheirUpperCaseForms)
{
    const struct {
        const char16_t* A;
        const char16_t* B;
        bool Same;
    } cases[] = {
        {u"pageno", u"PAGENO", true},   {u"Total_1", u"TOTAL_1", true}, {u"total", u"totals", false},
        {u"a[b]", u"A[B]", true},       {u"a@", u"A`", false}, // '@' and '`' are no letters
        {u"", u"", true},               {u"stra\u00DFe", u"STRASSE", true}, // upper-casing lengthens
        {u"\u0131d", u"ID", true}, // the dotless i upper-cases to ASCII
        {u"\u00E9t\u00E9", u"\u00C9T\u00C9", true}, {u"\u00E9", u"E", false},
        {u"strass", u"STRASSE", false}, {u"x", u"x\u00DF", false}, {u"ab\u00DF", u"AC", false},
    };
    for (const auto& c : cases) {
        const QString a = QString::fromUtf16(c.A), b = QString::fromUtf16(c.B);
        EXPECT_EQ(SameUpperCase(a, b), c.Same) << a.toStdString() << " / " << b.toStdString();
        EXPECT_EQ(SameUpperCase(a, b), a.toUpper() == b.toUpper()) << "as upper-casing says";
    }
    report.Variables()->Add()->SetName(QString::fromUtf16(u"Stra\u00DFe"));
    bool accept = false;
    TFieldType type = ftUnknown;
    Variant value;
    report.KVXGetVariable(nullptr, QStringLiteral(" STRASSE "), accept, type, value);
    EXPECT_TRUE(accept);
}

TEST_F(PrintComponentTest, SystemDataNamesMatchInEnglishWhateverTheLanguage)
{
    report.Language()->SetLanguageID(lnGerman);
    EXPECT_EQ(report.GetLanguageShift(), int(lnGerman));
    bool accept = false;
    TFieldType type = ftUnknown;
    Variant value;
    report.KVXGetVariable(nullptr, QStringLiteral("BarCount"), accept, type, value);
    EXPECT_TRUE(accept);
}

TEST_F(PrintComponentTest, PrepareAppliesThePaperToThePrinterAndRestoresIt)
{
    report.SetAnimatedStatus(false);
    report.SetTwoPass(true);
    report.PrinterSetting()->SetPaperSize(psA4);
    report.PrinterSetting()->SetOrientation(spoLandscape);
    report.PrinterSetting()->SetOutputBin(sbManual);
    const TDeviceMode before = CurrentDeviceMode();
    QList<TDeviceMode> during;
    report.OnPageMade = [&](TTestReport&) { during.append(CurrentDeviceMode()); };
    report.Prepare();
    ASSERT_FALSE(during.isEmpty());
    for (const TDeviceMode& mode : during) {
        EXPECT_EQ(mode.PaperSize, 9);
        EXPECT_EQ(mode.Orientation, 2);
        EXPECT_EQ(mode.DefaultSource, 4);
    }
    // Regression: the second pass saved the report's own settings as the
    // printer's, so the printer kept them afterwards.
    EXPECT_EQ(CurrentDeviceMode().PaperSize, before.PaperSize);
    EXPECT_EQ(CurrentDeviceMode().Orientation, before.Orientation);
    EXPECT_EQ(CurrentDeviceMode().DefaultSource, before.DefaultSource);
}

TEST_F(PrintComponentTest, FailingGenerationStillRestoresPrinterAndProgress)
{
    report.PrinterSetting()->SetPaperSize(psA4);
    report.BeforeEndDoc = [](TTestReport&) { throw EKVXError(QStringLiteral("boom")); };
    const int before = CurrentDeviceMode().PaperSize;
    EXPECT_THROW(report.Prepare(), EKVXError);
    EXPECT_EQ(CurrentDeviceMode().PaperSize, before);
    EXPECT_EQ(ui.Calls.last(), "destroy");
    EXPECT_FALSE(report.Prepared());

    // The canvas left open by the failed pass goes with the pages.
    report.BeforeEndDoc = nullptr;
    ASSERT_NE(report.MFCanvas(), nullptr);
    report.BeginDoc();
    EXPECT_EQ(report.MFCanvas(), nullptr);
    EXPECT_EQ(report.Pages().Count(), 0);
}

TEST_F(PrintComponentTest, PreviewShowsNothingWithoutEndDocAndHandsOverToOnPreview)
{
    report.SetAnimatedStatus(false);
    QStringList log;
    report.OnBeforePreview = [&](QObject*) { log << "before"; };
    report.OnPreview = [&](QObject*) { log << "preview " + QString::number(report.Pages().Count()); };
    report.OnAfterPreview = [&](QObject*) { log << "after"; };

    report.SkipEndDoc = true;
    report.Preview();
    EXPECT_TRUE(log.isEmpty());

    report.SkipEndDoc = false;
    report.Preview();
    EXPECT_EQ(log, QStringList({"before", "preview 3", "after"}));

    // Without a handler the built-in window is needed, which this build lacks.
    report.OnPreview = nullptr;
    log.clear();
    try {
        report.PreviewPreparedReport();
        FAIL() << "expected an error";
    } catch (const EKVXError& e) {
        EXPECT_EQ(e.Message(), u"The preview window is not available in this build");
    }
    EXPECT_EQ(log, QStringList({"before"}));
}

TEST(PrintComponentVirtualPrinter, ReportPreparesOnAMachineWithoutPrinters)
{
    // The system's printers; without one the virtual printer stands in.
    TPrinterService::Instance().InstallFakePrinters({});
    if (TPrinterService::Instance().HasSystemPrinters())
        GTEST_SKIP() << "this machine has a printer installed";
    TTestReport report;
    report.SetAnimatedStatus(false);
    report.PrinterSetting()->SetPaperSize(psA4);
    report.Prepare();
    ASSERT_EQ(report.Pages().Count(), 3);
    const TPageInfo* page = report.Pages().Items(0);
    EXPECT_EQ(page->PageWidth(), 794);
    EXPECT_EQ(page->PageHeight(), 1123);
    EXPECT_EQ(page->OffsetLeft, 0);
    EXPECT_EQ(page->OffsetRight, 0);
    EXPECT_EQ(page->OffsetTop, 0);
    EXPECT_EQ(page->OffsetBottom, 0);
    // Printing itself needs a real printer.
    EXPECT_THROW(report.PrinterSetting()->CheckInstalledPrinter(), EKVXNoPrinterError);
}

TEST_F(PrintComponentTest, SettersCopyAndRegistryCreatesByName)
{
    TKVXFrame frame;
    frame.SetFrameType(ftLeft);
    report.SetFrame(&frame);
    EXPECT_NE(report.Frame(), &frame);
    EXPECT_EQ(report.Frame()->FrameType(), TKVFrameType(ftLeft));

    EXPECT_EQ(report.Font()->Name(), u"Arial");
    EXPECT_TRUE(report.AnimatedStatus());
    EXPECT_EQ(report.Options(), TKVXOptions(roDisableControls));
    EXPECT_EQ(report.intCurPage, -1);
    EXPECT_EQ(report.intCurHeight, -1);

    RegisterFrameClasses();
    std::unique_ptr<QObject> created(CreateObject(QStringLiteral("TKVPrintComponent"), nullptr));
    ASSERT_NE(qobject_cast<TKVPrintComponent*>(created.get()), nullptr);
    std::unique_ptr<QObject> printer(CreateObject(QStringLiteral("TKVXPrinter"), nullptr));
    ASSERT_NE(qobject_cast<TKVXPrinter*>(printer.get()), nullptr);
}

