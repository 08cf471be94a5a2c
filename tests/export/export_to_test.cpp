// The registry, ExportTo and the save/export dialog of the print component.

#include "export/csv_export.h"
#include "export/html_export.h"
#include "export/text_export.h"
#include "export/xml_export.h"
#include "export_test_support.h"
#include "foundation/language/language.h"

namespace vorel::test {
namespace {

// Records what a filter is asked to do.
class TProbeExport : public TKVXExport {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TProbeExport(QObject* owner = nullptr) : TKVXExport(owner) {}
    static inline QStringList Calls;
    void StartExport() override
    {
        Calls << QStringLiteral("start %1x%2 total %3x%4").arg(PageWidth).arg(PageHeight).arg(TotalWidth).arg(TotalHeight);
    }
    void NewPage(int page, int bar) override { Calls << QStringLiteral("page %1,%2").arg(page).arg(bar); }
    bool ExportEMFRecord(const TEmfEnumerator&, const TEmfRecord& record) override
    {
        if (record.Type == EMR_HEADER)
            Calls << QStringLiteral("records at %1,%2").arg(OffsetX()).arg(OffsetY());
        return true;
    }
    void SaveToFile(const QString& fileName) override
    {
        Calls << QStringLiteral("save ") + QFileInfo(fileName).fileName();
        TKVXExport::SaveToFile(fileName);
    }
    void EndExport() override { Calls << QStringLiteral("end"); }
};

class ExportTo : public ExportTest {};

TEST_F(ExportTo, TheBuiltinFiltersAreRegisteredInTheirOrder)
{
    QStringList classes, extensions;
    for (const TKVXRegisterExport& e : KVXExports()) {
        classes << e.ClassName;
        extensions << e.Extension;
    }
    EXPECT_EQ(classes, QStringList({"TKVXExportToText", "TKVXExportToCSV", "TKVXExportToEMF", "TKVXExportToWMF",
                                     "TKVXExportToBMP", "TKVXExportToHTML", "TKVXExportToXML", "TKVXExportToExcel",
                                     "TKVXExportToLotus", "TKVXExportToQuattroPro", "TKVXExportToRTF",
                                     "TKVXExportToPDF", "TKVXExportToTIFF", "TKVXExportToJPEG", "TKVXExportToXLSX",
                                     "TKVXExportToPNG", "TKVXExportToSVG"}));
    EXPECT_EQ(extensions, QStringList({"TXT", "CSV", "EMF", "WMF", "BMP", "HTML", "XML", "XLS", "WK1", "WQ1", "RTF",
                                       "PDF", "TIFF", "JPG", "XLSX", "PNG", "SVG"}));
    EXPECT_EQ(ExportFormatName(KVXExports()[7], lnEnglish), QStringLiteral("MS Excel export filter"));
    EXPECT_EQ(ExportFileDescription(KVXExports()[7], lnRussian), GetString(lnRussian, 2183));
    EXPECT_EQ(ExportFormatName(KVXExports()[4], lnEnglish), QStringLiteral("Bitmap export filter"));
    EXPECT_EQ(ExportFileDescription(KVXExports()[13], lnEnglish), QStringLiteral("JPEG files (*.jpg)"));
    // Beyond the classic list: fixed English texts in every language.
    EXPECT_EQ(ExportFormatName(KVXExports()[14], lnGerman), QStringLiteral("Excel workbook export filter"));
    EXPECT_EQ(ExportFileDescription(KVXExports()[14], lnGerman), QStringLiteral("Excel workbook (*.xlsx)"));
    EXPECT_EQ(ExportFileDescription(KVXExports().back(), lnGerman), QStringLiteral("SVG picture (*.svg)"));
    EXPECT_EQ(ExportFormatName(KVXExports()[1], lnEnglish), QStringLiteral("CSV export filter"));
    EXPECT_EQ(ExportFileDescription(KVXExports()[5], lnEnglish), QStringLiteral("HTML file (*.htm)"));
    EXPECT_EQ(GetClass(QStringLiteral("TKVXExportToXML")), &TKVXExportToXML::staticMetaObject);
}

TEST_F(ExportTo, RegisteringAgainMovesAFilterToTheEndAndUnregisteringRemovesIt)
{
    const qsizetype builtins = KVXExports().size();
    RegisterKVXExport(&TProbeExport::staticMetaObject, QStringLiteral("PRB"), 0, QStringLiteral("Probe"), 0,
                      QStringLiteral("Probe files (*.prb)"));
    RegisterKVXExport(&TKVXExportToText::staticMetaObject, QStringLiteral("TXT"), 2170, QString(), 2171, QString());
    const qsizetype n = KVXExports().size();
    ASSERT_EQ(n, builtins + 1);
    EXPECT_EQ(KVXExports()[n - 2].ClassName, QStringLiteral("TProbeExport"));
    EXPECT_EQ(KVXExports()[n - 1].ClassName, QStringLiteral("TKVXExportToText"));
    EXPECT_EQ(ExportFormatName(KVXExports()[n - 2], lnGerman), QStringLiteral("Probe")); // no text id: the caption
    UnRegisterKVXExport(&TProbeExport::staticMetaObject);
    EXPECT_EQ(KVXExports().size(), builtins);
    EXPECT_EQ(GetClass(QStringLiteral("TProbeExport")), nullptr);
    EXPECT_THROW(RegisterKVXExport(&TKVXLanguage::staticMetaObject, QStringLiteral("X"), 0, QString(), 0, QString()),
                 EKVXError);
    RegisterBuiltinExports(); // back to the documented order
    EXPECT_EQ(KVXExports()[0].ClassName, QStringLiteral("TKVXExportToText"));
}

TEST_F(ExportTo, OneFilePerPageOfATwoPageReportToOutCsvWritesOut0_0AndOut1_0)
{
    TPagesReport report;
    NamePages(report, 2);
    report.Prepare();
    report.ExportTo(Path(QStringLiteral("out.csv")), true, &TKVXExportToCSV::staticMetaObject, {1, 2});
    EXPECT_EQ(ReadAll(Path(QStringLiteral("out0_0.csv"))), QByteArray("page 0 bar 0"));
    EXPECT_EQ(ReadAll(Path(QStringLiteral("out1_0.csv"))), QByteArray("page 1 bar 0"));
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("out.csv"))));
}

TEST_F(ExportTo, PageFileNamesLookOnlyAtTheFilesOwnName)
{
    struct Case {
        const char* name;
        const char* expected;
    };
    for (const Case& c : {Case{"out.csv", "out1_2.csv"}, Case{"out", "out1_2"}, Case{"a.b.c", "a1_2.b.c"},
                          Case{"/tmp/reports.2024/out.csv", "/tmp/reports.2024/out1_2.csv"},
                          Case{"./out.csv", "./out1_2.csv"}, Case{"dir.x/noext", "dir.x/noext1_2"}})
        EXPECT_EQ(PageFileName(QString::fromLatin1(c.name), 1, 2), QString::fromLatin1(c.expected)) << c.name;
}

TEST_F(ExportTo, APageListPassesOnlyItsPagesWithTheirIndexesAndNoGaps)
{
    TPagesReport report;
    NamePages(report, 5);
    report.Prepare();
    TProbeExport::Calls.clear();
    report.ExportTo(Path(QStringLiteral("probe.out")), false, &TProbeExport::staticMetaObject, {2, 4});
    // Pages 2 and 4 are page indexes 1 and 3; in one file they stand one
    // below the other, so the total height counts the two of them.
    EXPECT_EQ(TProbeExport::Calls,
              QStringList({"start 400x300 total 400x600", "page 1,0", "records at 0,0", "page 3,0", "records at 0,300",
                           "save probe.out", "end"}));
}

TEST_F(ExportTo, BarsStandSideBySideInOneFileAndApartInFilesPerPage)
{
    TPagesReport report;
    NamePages(report, 2, 2);
    report.Prepare();
    TProbeExport::Calls.clear();
    report.ExportTo(Path(QStringLiteral("bars.out")), false, &TProbeExport::staticMetaObject, {1, 2});
    EXPECT_EQ(TProbeExport::Calls,
              QStringList({"start 400x300 total 800x600", "page 0,0", "records at 0,0", "page 0,1", "records at 400,0",
                           "page 1,0", "records at 0,300", "page 1,1", "records at 400,300", "save bars.out", "end"}));
    TProbeExport::Calls.clear();
    report.ExportTo(Path(QStringLiteral("bars.out")), true, &TProbeExport::staticMetaObject, {2});
    EXPECT_EQ(TProbeExport::Calls, QStringList({"start 400x300 total 400x300", "page 1,0", "records at 0,0",
                                                "save bars1_0.out", "page 1,1", "records at 0,0", "save bars1_1.out",
                                                "end"}));
}

TEST_F(ExportTo, TheFilterGetsTheDocumentPropertiesAndTheProgressShowsEachPage)
{
    TRecordingProgress ui;
    SetUserInterface(&ui);
    TPagesReport report;
    NamePages(report, 2);
    report.KVProperty()->SetTitle(QStringLiteral("Quarter"));
    report.Prepare();
    report.SetAnimatedStatus(true);
    report.ExportTo(Path(QStringLiteral("props.htm")), false, &TKVXExportToHTML::staticMetaObject, {1, 2});
    SetUserInterface(nullptr);
    EXPECT_TRUE(ReadUtf8(Path(QStringLiteral("props.htm"))).contains(QStringLiteral("<title>Quarter</title>")));
    EXPECT_EQ(ui.Calls, QStringList({"create Quarter|Exporting...|&Cancel|0|2|0", "update Exporting 1 page on the 1st bar...|0",
                                     "update Exporting 2 page on the 1st bar...|1", "destroy"}));
}

TEST_F(ExportTo, ASaveDialogAnswerExportsThroughTheChosenFilter)
{
    THeadlessUserInterface ui;
    SetUserInterface(&ui);
    TPagesReport report;
    NamePages(report, 3);
    report.Prepare();
    ui.SetSaveExportChoice(QStringLiteral("csv"), Path(QStringLiteral("dialog.csv")), {1, 3});
    QString name = QStringLiteral("start.zpg");
    EXPECT_TRUE(report.SavePageToFile(name));
    EXPECT_EQ(name, Path(QStringLiteral("dialog.csv")));
    EXPECT_EQ(ReadAll(name), QByteArray("page 0 bar 0\r\npage 2 bar 0"));

    // The prepared format with every page (no list given), one file per page.
    ui.SetSaveExportChoice(QStringLiteral(".ZPG"), Path(QStringLiteral("saved.zpg")), {}, true);
    EXPECT_TRUE(report.SavePageToFile(name));
    for (int i = 0; i < 3; ++i) {
        TPagesReport loaded;
        loaded.LoadPreparedReport(Path(QStringLiteral("saved%1_0.zpg").arg(i)));
        ASSERT_EQ(loaded.Pages().Count(), 1);
        EXPECT_EQ(loaded.Pages().Items(0)->intNumPage, i);
    }

    ui.SetSaveExportChoice(QStringLiteral("DOCX"), Path(QStringLiteral("x.docx")));
    EXPECT_THROW(report.SavePageToFile(name), EKVXError); // no such format registered
    ui.ClearSaveExportChoice();
    EXPECT_FALSE(report.SavePageToFile(name)); // nothing answered: cancelled
    SetUserInterface(nullptr);
}

TEST_F(ExportTo, TheDialogIsOfferedEveryFormatWithItsFileFilter)
{
    struct TCapture : THeadlessUserInterface {
        TSaveExportRequest Seen;
        bool ShowSaveExportDialog(const TSaveExportRequest& request, TSaveExportChoice&) override
        {
            Seen = request;
            return false;
        }
    } ui;
    SetUserInterface(&ui);
    TPagesReport report;
    NamePages(report, 4);
    report.Prepare();
    report.intCurPage = 2;
    QString name = QStringLiteral("given.txt");
    EXPECT_FALSE(report.SavePageToFile(name));
    SetUserInterface(nullptr);
    EXPECT_EQ(name, QStringLiteral("given.txt"));
    EXPECT_EQ(ui.Seen.FileName, QStringLiteral("given.txt"));
    EXPECT_EQ(ui.Seen.NumPages, 4);
    EXPECT_EQ(ui.Seen.CurrentPage, 3);
    ASSERT_EQ(ui.Seen.Formats.size(), qsizetype(1 + KVXExports().size()));
    EXPECT_EQ(ui.Seen.Formats[0].Name, QStringLiteral("Vorel generated"));
    EXPECT_EQ(ui.Seen.Formats[0].FileFilter, QStringLiteral("Vorel generated (*.zpg)|*.ZPG|All files (*.*)|*.*"));
    EXPECT_EQ(ui.Seen.Formats[2].Name, QStringLiteral("CSV export filter"));
    EXPECT_EQ(ui.Seen.Formats[2].FileFilter, QStringLiteral("CSV file (*.csv)|*.CSV|All files (*.*)|*.*"));
    EXPECT_EQ(ui.Seen.Formats[15].FileFilter, QStringLiteral("Excel workbook (*.xlsx)|*.XLSX|All files (*.*)|*.*"));
    EXPECT_EQ(ui.Seen.Formats.back().FileFilter, QStringLiteral("SVG picture (*.svg)|*.SVG|All files (*.*)|*.*"));
}

TEST_F(ExportTo, SaveMetafileToFileExportsOneMetafileWithoutAComponent)
{
    auto page = MakePage(300, 200, [](TCanvas& c) {
        Text(c, 10, 10, QStringLiteral("alone"));
        Text(c, 150, 10, QStringLiteral("page"));
    });
    TKVXExportToCSV filter;
    filter.SaveMetafileToFile(page.get(), Path(QStringLiteral("single.csv")));
    EXPECT_EQ(ReadAll(Path(QStringLiteral("single.csv"))), QByteArray("alone;page"));
    EXPECT_EQ(filter.TotalWidth, 300);
    filter.SaveMetafileToFile(nullptr, Path(QStringLiteral("nothing.csv")));
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("nothing.csv"))));
}

// Found by UBSan: a prepared stream claiming 4,194,305 bars made the width
// of the single-file canvas (bars x page width) overflow int.
TEST_F(ExportTo, PagesTooWideForOneFileAreRefusedAndWrittenOnePerPage)
{
    class TFarBars : public TKVPrintBaseComponent {
    public:
        TFarBars() { SetAnimatedStatus(false); }
        void PrepareReport() override
        {
            TKVPrintBaseComponent::PrepareReport();
            BeginDoc();
            for (const int bar : {0, 4'194'304}) {
                auto page = std::make_unique<TPageInfo>();
                page->intNumBar = bar;
                page->SetPageWidth(794);
                page->SetPageHeight(1123);
                {
                    TMetafileCanvas canvas(*page->Data, QStringLiteral("tests"), QStringLiteral("bars"));
                    canvas.TextOut(10, 10, QStringLiteral("bar %1").arg(bar));
                }
                Pages().Add(std::move(page));
            }
            EndDoc();
        }
    } report;
    report.Prepare();
    ASSERT_EQ(report.GetNumBars(), 4'194'305);
    try {
        report.ExportTo(Path(QStringLiteral("wide.csv")), false, &TKVXExportToCSV::staticMetaObject, {1});
        FAIL() << "exported";
    } catch (const EKVXError& e) {
        EXPECT_TRUE(e.Message().contains(u"4194305 bars")) << e.Message().toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("wide.csv"))));
    report.ExportTo(Path(QStringLiteral("wide.csv")), true, &TKVXExportToCSV::staticMetaObject, {1});
    EXPECT_TRUE(QFileInfo::exists(Path(QStringLiteral("wide0_4194304.csv"))));
}

} // namespace
} // namespace vorel::test

#include "export_to_test.moc"
