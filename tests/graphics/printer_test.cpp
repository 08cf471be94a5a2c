// Printer services: fake printers with chosen capabilities, device modes
// read and written, print jobs, and the virtual printer writing a PDF.
#include "graphics/metafile.h"
#include "graphics/metafile_canvas.h"
#include "graphics/printer.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vorel {
namespace {

class PrinterTest : public ::testing::Test {
protected:
    void TearDown() override { TPrinterService::Instance().InstallFakePrinters({}); }
};

TFakePrinterSetup FakePrinter(const QString& name, int dpi, int margin)
{
    TFakePrinterSetup s;
    s.Name = name;
    s.PixelsPerInchX = s.PixelsPerInchY = dpi;
    s.MarginLeft = s.MarginTop = margin;
    s.MarginRight = margin / 2;
    s.MarginBottom = margin * 2;
    return s;
}

TEST_F(PrinterTest, CapabilitiesFollowTheChosenPrinterAndItsPaper)
{
    TPrinterService& ps = TPrinterService::Instance();
    ps.InstallFakePrinters({FakePrinter(QStringLiteral("Office"), 300, 30), FakePrinter(QStringLiteral("Plotter"), 100, 0)});
    EXPECT_EQ(ps.Printers(), (QStringList{"Office", "Plotter"}));
    EXPECT_EQ(ps.PrinterIndex(), 0);
    // A4 at 300 dpi: 210 mm = 2480 px, 297 mm = 3508 px.
    const TDeviceCaps a4 = ps.Capabilities();
    EXPECT_EQ(a4.PixelsPerInchX, 300);
    EXPECT_EQ(a4.PhysicalWidth, 2480);
    EXPECT_EQ(a4.PhysicalHeight, 3508);
    EXPECT_EQ(a4.PhysicalOffsetX, 30);
    EXPECT_EQ(a4.PhysicalOffsetY, 30);
    EXPECT_EQ(a4.PrintableWidth, 2480 - 30 - 15);
    EXPECT_EQ(a4.PrintableHeight, 3508 - 30 - 60);

    TDeviceMode mode = ps.DeviceMode();
    mode.Orientation = 2;
    mode.PaperSize = 1; // Letter
    mode.Fields |= TDeviceMode::DM_ORIENTATION | TDeviceMode::DM_PAPERSIZE;
    ps.SetDeviceMode(mode);
    const TDeviceCaps letter = ps.Capabilities();
    EXPECT_EQ(letter.PhysicalWidth, 3300); // 11 in landscape
    EXPECT_EQ(letter.PhysicalHeight, 2550);

    ps.SetPrinterIndex(1);
    EXPECT_EQ(ps.PrinterName(), QStringLiteral("Plotter"));
    EXPECT_EQ(ps.Capabilities().PixelsPerInchX, 100);
    EXPECT_EQ(ps.DeviceMode().PaperSize, 9) << "each printer keeps its own device mode";
    ps.SetPrinterIndex(7);
    EXPECT_EQ(ps.PrinterIndex(), 0) << "an index out of range selects the default printer";
}

TEST_F(PrinterTest, UnsupportedDeviceModeFieldsKeepTheirValues)
{
    TFakePrinterSetup setup = FakePrinter(QStringLiteral("Simplex"), 300, 0);
    setup.SupportedFields = TDeviceMode::DM_PAPERSIZE | TDeviceMode::DM_ORIENTATION;
    TPrinterService& ps = TPrinterService::Instance();
    ps.InstallFakePrinters({setup});
    TDeviceMode mode = ps.DeviceMode();
    mode.Duplex = 3;
    mode.DefaultSource = 4;
    mode.PaperSize = 11;
    mode.Fields = TDeviceMode::DM_DUPLEX | TDeviceMode::DM_DEFAULTSOURCE | TDeviceMode::DM_PAPERSIZE;
    ps.SetDeviceMode(mode);
    const TDeviceMode read = ps.DeviceMode();
    EXPECT_EQ(read.Duplex, 1);
    EXPECT_EQ(read.DefaultSource, 7);
    EXPECT_EQ(read.PaperSize, 11);
    EXPECT_FALSE(read.Fields & TDeviceMode::DM_DUPLEX);
}

TEST_F(PrinterTest, PaperCodesAndSizes)
{
    EXPECT_EQ(PaperCodeSize(9), QSize(2100, 2970));
    EXPECT_EQ(PaperCodeSize(1), QSize(2159, 2794));
    EXPECT_EQ(PaperCodeSize(999), QSize(0, 0));
    EXPECT_EQ(PaperCodeForSize({2100, 2970}), 9);
    EXPECT_EQ(PaperCodeForSize({2105, 2965}), 9) << "within a millimetre";
    EXPECT_EQ(PaperCodeForSize({1234, 2345}), 256);
}

TEST_F(PrinterTest, JobPrintsPagesOnTheCanvasAndEnds)
{
    TFakePrinterSetup setup = FakePrinter(QStringLiteral("Fake"), 96, 0);
    TPrinterService& ps = TPrinterService::Instance();
    ps.InstallFakePrinters({setup});
    ps.SetCopies(2);
    {
        std::unique_ptr<TPrintJob> job = ps.BeginJob(QStringLiteral("Invoices"));
        job->Canvas().Brush()->SetColor(clBlack);
        job->Canvas().FillRect({0, 0, 10, 10});
        job->NewPage();
        // A page metafile stretched over the printable area, as printing does.
        TMetafile page;
        page.SetWidth(100);
        page.SetHeight(100);
        {
            TMetafileCanvas c(page, {}, {});
            c.Brush()->SetColor(clRed);
            c.FillRect({0, 0, 50, 50});
        }
        job->Canvas().PlayMetafile({0, 0, 200, 200}, page);
        EXPECT_EQ(job->PageNumber(), 2);
        job->End();
        EXPECT_FALSE(job->Printing());
    }
    ASSERT_EQ(ps.FakeJobs().size(), 1);
    const TFakeJob& job = ps.FakeJobs()[0];
    EXPECT_EQ(job.Title, QStringLiteral("Invoices"));
    EXPECT_EQ(job.Copies, 2);
    EXPECT_TRUE(job.Ended);
    ASSERT_EQ(job.Pages.size(), 2);
    EXPECT_EQ(job.Pages[0].pixel(5, 5) & 0xFFFFFF, 0u);
    EXPECT_EQ(job.Pages[1].pixel(90, 90) & 0xFFFFFF, 0xFF0000u) << "the page is stretched twice its size";
    EXPECT_EQ(job.Pages[1].pixel(110, 110) & 0xFFFFFF, 0xFFFFFFu);
}

TEST_F(PrinterTest, PrinterErrorsAreTheirOwnException)
{
    TFakePrinterSetup setup = FakePrinter(QStringLiteral("Broken"), 96, 0);
    setup.FailOnPage = true;
    TPrinterService& ps = TPrinterService::Instance();
    ps.InstallFakePrinters({setup});
    std::unique_ptr<TPrintJob> job = ps.BeginJob(QStringLiteral("x"));
    EXPECT_THROW(job->NewPage(), EPrinter);
    job->Abort();
    EXPECT_TRUE(ps.FakeJobs()[0].Aborted);
}

TEST_F(PrinterTest, VirtualPrinterStandsInAndWritesAPdf)
{
    TPrinterService& ps = TPrinterService::Instance();
    if (ps.HasSystemPrinters())
        GTEST_SKIP() << "this machine has printers; the virtual printer only stands in without them";
    ASSERT_EQ(ps.Printers(), QStringList{QStringLiteral("Vorel PDF printer")});
    const TDeviceCaps caps = ps.Capabilities();
    EXPECT_EQ(caps.PixelsPerInchX, 600);
    EXPECT_EQ(caps.PhysicalOffsetX, 0);
    EXPECT_EQ(caps.PrintableWidth, caps.PhysicalWidth);
    EXPECT_TRUE(caps.PhysicalWidth == 4961 || caps.PhysicalWidth == 5100) << "A4 or Letter at 600 dpi";
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("out.pdf"));
    ps.SetVirtualOutputFile(file);
    {
        std::unique_ptr<TPrintJob> job = ps.BeginJob(QStringLiteral("Report"));
        job->Canvas().Font()->SetSize(40);
        job->Canvas().TextOut(100, 100, QStringLiteral("Printed"));
        job->End();
    }
    ps.SetVirtualOutputFile({});
    QFile pdf(file);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5) == "%PDF-");
}

} // namespace
} // namespace vorel
