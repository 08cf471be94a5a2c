// Printer and paper settings: the tables, the page formulas with integer
// division, orientation and paper rules, and the transfer to and from the
// printer's device mode.

#include "frame_test_support.h"

#include "foundation/language/language.h"

#include <gtest/gtest.h>

using namespace vorel;
using namespace vorel::test;

TEST(PaperTables, NamedPapersHaveTheSizeThePrinterSheetHas)
{
    // The report page and the printer's sheet of the same paper agree, so
    // a page prints at its own size.
    for (int i = int(psLetter); i < int(psCustom); ++i) {
        const auto size = TKVXPaperSize(i);
        const QSize sheet = PaperCodeSize(constKVXPaperTranslate[size_t(i)]);
        EXPECT_EQ(constKVXPaperSizeMetrics[size_t(i)].Width, sheet.width()) << PaperSizeName(0, size).toStdString();
        EXPECT_EQ(constKVXPaperSizeMetrics[size_t(i)].Height, sheet.height()) << PaperSizeName(0, size).toStdString();
    }
    EXPECT_EQ(constKVXPaperTranslate[size_t(psDefault)], 0);
    EXPECT_EQ(constKVXPaperTranslate[size_t(psCustom)], 256);
    EXPECT_EQ(constKVXPaperSizeMetrics[size_t(psCustom)], (TPaperMetrics{0, 1}));
}

TEST(PaperTables, CodesReadBackAsTheFirstMatchingValue)
{
    EXPECT_EQ(PaperSizeFromCode(9), psA4) << "A4 Small has its own code";
    EXPECT_EQ(PaperSizeFromCode(66), psA2);
    EXPECT_EQ(PaperSizeFromCode(256), psCustom);
    EXPECT_EQ(PaperSizeFromCode(300), psDefault) << "a code missing from the table";
    EXPECT_EQ(BinFromCode(1), sbFirst) << "sbUpper shares code 1 and comes later";
    EXPECT_EQ(BinFromCode(2), sbLower);
    EXPECT_EQ(BinFromCode(14), sbCassette);
    EXPECT_EQ(BinFromCode(12), sbFirst) << "a source missing from the table";
    EXPECT_EQ(BinCode(sbDefault), 0);
    EXPECT_EQ(BinCode(sbLast), 15);
    EXPECT_EQ(PaperSizeName(lnEnglish, psA4), u"A4 210 x 297 mm");
    EXPECT_EQ(PaperSizeName(lnEnglish, psEnv12), u"Envelope #12 4 3/4 x 11");
    EXPECT_EQ(PaperSizeName(lnEnglish, psCustom), u"Custom Size");
    EXPECT_FALSE(DuplexName(lnEnglish, sdVertical).isEmpty());
    EXPECT_FALSE(BinName(lnEnglish, sbCassette).isEmpty());
}

TEST(PaperTables, TenthsOfAMillimetreToReportPixelsRound)
{
    EXPECT_EQ(TenthsOfMmToReportPixels(2100, 96), 794); // 793.70
    EXPECT_EQ(TenthsOfMmToReportPixels(2970, 96), 1123); // 1122.52
    EXPECT_EQ(TenthsOfMmToReportPixels(2159, 96), 816); // 816.00
    EXPECT_EQ(TenthsOfMmToReportPixels(0, 96), 0);
    EXPECT_EQ(DevicePixelsToTenthsOfMm(5100, 600), 2159);
    EXPECT_EQ(TenthsOfMmToDevicePixels(100, 600), 236); // 236.22, truncated
    EXPECT_EQ(MulDivTrunc(-7, 96, 600), -1) << "-1.12 truncates toward zero (flooring gives -2)";
    EXPECT_EQ(MulDivTrunc(5, 96, 0), 0) << "no resolution gives 0, not a crash";
}

namespace {
TDeviceCaps FakeCaps()
{
    TDeviceCaps m;
    m.PixelsPerInchX = 600;
    m.PixelsPerInchY = 300;
    m.PhysicalWidth = 5100;
    m.PhysicalHeight = 3300;
    m.PhysicalOffsetX = 103;
    m.PhysicalOffsetY = 77;
    m.PrintableWidth = 4797;
    m.PrintableHeight = 3140;
    return m;
}
} // namespace

TEST(PageFormulas, OffsetsInReportPixels)
{
    struct Row {
        const char* why;
        TDeviceCaps caps;
        TMarginValues margins;
        int left, top, right, bottom;
    };
    TDeviceCaps wide = FakeCaps();
    wide.PrintableWidth = 5100; // printable wider than what the left strip leaves
    TDeviceCaps broken = FakeCaps();
    broken.PixelsPerInchX = 0;
    const Row rows[] = {
        {"the printer's strips: 96*103/600 = 16.48, 96*77/300 = 24.64; right 816-16-767, bottom 1056-24-1004",
         FakeCaps(), {}, 16, 24, 33, 28},
        {"margins off and 0: left and top 0, right and bottom still cover the unprintable strips",
         FakeCaps(), {false, 0, 0, 0, 0}, 0, 0, 49, 52},
        {"10 mm left and top: 236 px at 600 dpi -> 37; 118 px at 300 dpi -> 37; right 20 mm: 472 px -> 75 beats "
         "816-37-767 = 12; bottom 5 mm: 59 px -> 18 beats 1056-37-1004 = 15",
         FakeCaps(), {false, 100, 100, 200, 50}, 37, 37, 75, 18},
        {"a negative strip becomes 0", wide, {}, 16, 24, 0, 28},
        {"no horizontal resolution: 0, not a crash", broken, {}, 0, 24, 0, 28},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(PageOffsetLeft(row.caps, row.margins, 96), row.left) << row.why;
        EXPECT_EQ(PageOffsetTop(row.caps, row.margins, 96), row.top) << row.why;
        EXPECT_EQ(PageOffsetRight(row.caps, row.margins, 96), row.right) << row.why;
        EXPECT_EQ(PageOffsetBottom(row.caps, row.margins, 96), row.bottom) << row.why;
    }
    EXPECT_EQ(PageWidthFromMetrics(FakeCaps(), 96), 816);
    EXPECT_EQ(PageHeightFromMetrics(FakeCaps(), 96), 1056);
}

class PrinterSettingsTest : public ::testing::Test {
protected:
    ScopedFakePrinters printers;
    TKVXPrinter settings;
};

TEST_F(PrinterSettingsTest, ConstructionTakesThePrintersPaper)
{
    EXPECT_EQ(settings.PaperSize(), psDefault);
    EXPECT_EQ(settings.GetPaperSizeWidth(), 2159);
    EXPECT_EQ(settings.GetPaperSizeHeight(), 2794);
    EXPECT_EQ(settings.GetPageWidth(), 816);
    EXPECT_EQ(settings.GetPageHeight(), 1056);
    EXPECT_EQ(settings.GetPageOffsetRight(), 33);
    EXPECT_EQ(settings.GetPixelsPerInchX(), 600);
    EXPECT_EQ(settings.GetPixelsPerInchY(), 300);
    EXPECT_EQ(settings.Copies(), 1);
    EXPECT_EQ(settings.PrinterIndex(), -1);
    EXPECT_TRUE(settings.Margins()->ByDefault());
    EXPECT_NO_THROW(settings.CheckInstalledPrinter());
}

// Landscape alone turns the sheet (a form storing only the orientation
// once printed portrait pages), and setting it again turns nothing back.
TEST_F(PrinterSettingsTest, OrientationTurnsTheSheetItsWay)
{
    settings.SetPaperSize(psA4);
    struct Step {
        TKVXPrinterOrientation to;
        int width, height;
    };
    const Step steps[] = {
        {spoLandscape, 2970, 2100}, // from default: turned
        {spoLandscape, 2970, 2100}, // again: stays
        {spoPortrait, 2100, 2970},  // landscape -> portrait turns back
        {spoLandscape, 2970, 2100}, // portrait -> landscape turns
        {spoDefault, 2970, 2100},   // to default: the sheet lies as it is
        {spoPortrait, 2100, 2970},  // from default: upright
    };
    for (const Step& step : steps) {
        settings.SetOrientation(step.to);
        EXPECT_EQ(settings.GetPaperSizeWidth(), step.width) << int(step.to);
        EXPECT_EQ(settings.GetPaperSizeHeight(), step.height) << int(step.to);
    }
}

TEST_F(PrinterSettingsTest, PaperSizeReappliedOnlyWhileBelowOne)
{
    settings.SetPaperSize(psA4);
    settings.SetPaperSizeWidth(0);
    EXPECT_EQ(settings.GetPaperSizeWidth(), 2100);

    settings.SetPaperSize(psCustom);
    EXPECT_EQ(settings.GetPaperSizeWidth(), 0) << "custom stays 0 until entered";
    EXPECT_EQ(settings.GetPaperSizeHeight(), 1);
    // Regression: reading the unset width re-applied the whole paper and
    // threw away a custom height entered first.
    settings.SetPaperSizeHeight(3000);
    EXPECT_EQ(settings.GetPaperSizeWidth(), 0);
    EXPECT_EQ(settings.GetPaperSizeHeight(), 3000);
}

TEST_F(PrinterSettingsTest, GetPrinterSettingsReadsTheDeviceModeAsItLies)
{
    TPrinterService& service = TPrinterService::Instance();
    TDeviceMode mode = service.DeviceMode();
    mode.PaperSize = 9;
    mode.DefaultSource = 1;
    mode.Orientation = 1;
    mode.Duplex = 3;
    mode.Fields |= TDeviceMode::DM_DUPLEX;
    service.SetDeviceMode(mode);
    settings.GetPrinterSettings();
    EXPECT_EQ(settings.PaperSize(), psA4);
    EXPECT_EQ(settings.OutputBin(), sbFirst);
    EXPECT_EQ(settings.Orientation(), spoPortrait);
    EXPECT_EQ(settings.Duplex(), sdVertical);
    EXPECT_EQ(settings.GetPaperSizeWidth(), 2100);
    EXPECT_EQ(settings.GetPaperSizeHeight(), 2970);
    // The unprintable strips, in 0.1 mm: 103 px at 600 dpi, 77 px at 300 dpi.
    EXPECT_EQ(settings.Margins()->Left(), 44);
    EXPECT_EQ(settings.Margins()->Top(), 65);
    EXPECT_EQ(settings.DeviceName(), u"Fake LaserJet");
    EXPECT_EQ(settings.DriverName(), u"fake");

    // Regression: turning the printer and reading again swapped the sizes
    // that were already read as the sheet lies.
    mode.Orientation = 2;
    mode.PaperSize = 300; // not in the table
    service.SetDeviceMode(mode);
    settings.GetPrinterSettings();
    EXPECT_EQ(settings.Orientation(), spoLandscape);
    EXPECT_EQ(settings.PaperSize(), psDefault);
    EXPECT_GT(settings.GetPaperSizeWidth(), settings.GetPaperSizeHeight());
}

TEST_F(PrinterSettingsTest, SetPrinterSettingsWritesWhatThePrinterSupports)
{
    settings.SetPaperSize(psA5);
    settings.SetOutputBin(sbManual);
    settings.SetOrientation(spoPortrait);
    settings.SetOrientation(spoLandscape);
    settings.SetDuplex(sdHorizontal);
    settings.SetCopies(3);
    settings.SetPrinterSettings();
    TDeviceMode mode = CurrentDeviceMode();
    EXPECT_EQ(mode.PaperSize, 11);
    EXPECT_EQ(mode.DefaultSource, 4);
    EXPECT_EQ(mode.Orientation, 2);
    EXPECT_EQ(mode.Duplex, 2);
    EXPECT_EQ(TPrinterService::Instance().Copies(), 1) << "copies are made by printing, not by the device";

    // A custom paper reaches the device in 0.1 mm and the printer's sheet follows.
    settings.SetOrientation(spoDefault);
    settings.SetPaperSize(psCustom);
    settings.SetPaperSizeWidth(1500);
    settings.SetPaperSizeHeight(2000);
    settings.SetOrientation(spoPortrait);
    settings.SetPrinterSettings();
    mode = CurrentDeviceMode();
    EXPECT_EQ(mode.PaperSize, 256);
    EXPECT_EQ(mode.PaperWidth, 1500);
    EXPECT_EQ(mode.PaperLength, 2000);
    EXPECT_EQ(TPrinterService::Instance().Capabilities().PhysicalWidth, 3543); // 150 mm at 600 dpi
}

TEST(PrinterSettingsUnsupported, FieldsThePrinterLacksStayAsTheyAre)
{
    TFakePrinterSetup setup = FakeLetterPrinter();
    setup.SupportedFields = TDeviceMode::DM_ORIENTATION;
    ScopedFakePrinters printers({setup});
    TKVXPrinter settings;
    settings.SetPaperSize(psA3);
    settings.SetOutputBin(sbManual);
    settings.SetOrientation(spoPortrait);
    settings.SetOrientation(spoLandscape);
    settings.SetPrinterSettings();
    const TDeviceMode mode = CurrentDeviceMode();
    EXPECT_EQ(mode.PaperSize, 1);
    EXPECT_EQ(mode.DefaultSource, 7);
    EXPECT_EQ(mode.Orientation, 2);
}

TEST_F(PrinterSettingsTest, PrinterNameSelectsByPosition)
{
    settings.SetPrinterName(QStringLiteral("Office Inkjet"));
    EXPECT_EQ(settings.PrinterIndex(), 1);
    EXPECT_EQ(TPrinterService::Instance().PrinterName(), u"Office Inkjet") << "selected at once";
    settings.SetPrinterName(QStringLiteral("Nowhere"));
    EXPECT_EQ(settings.PrinterIndex(), -1);
    EXPECT_EQ(TPrinterService::Instance().PrinterName(), u"Fake LaserJet") << "-1 is the default printer";
}

TEST(PrinterSettingsText, NoPrinterErrorKeepsItsTextIdInEveryLanguage)
{
    try {
        RaiseNoPrinter(lnGerman);
        FAIL();
    } catch (const EKVXNoPrinterError& e) {
        EXPECT_EQ(e.Message(), u"Kein Drucker installiert");
    }
    EXPECT_EQ(GetString(lnEnglish, KVX_NO_PRINTER_TEXT_ID), u"No printer installed");
    for (int lang = 0; lang < KVX_LANGUAGE_COUNT; ++lang)
        EXPECT_FALSE(GetString(lang, KVX_NO_PRINTER_TEXT_ID).contains(QStringLiteral("Windows"))) << lang;
    EXPECT_EQ(DriverFileName(QStringLiteral("/usr/share/ppd/") + QString(70, QLatin1Char('d'))), QString(63, QLatin1Char('d')));
}
