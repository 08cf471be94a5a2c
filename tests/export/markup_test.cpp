// The spreadsheet walk and the HTML and XML writers.

#include "export/html_export.h"
#include "export/markup_text.h"
#include "export/xml_export.h"
#include "export_test_support.h"

namespace vorel::test {
namespace {

// Records the writer operations the walk calls.
class TWalkRecorder : public TKVXExportToSpreadsheet {
public:
    QStringList Calls;
    void WriteFileBegin() override { Calls << QStringLiteral("begin"); }
    void WriteFileEnd() override { Calls << QStringLiteral("end"); }
    void WriteDimensions(quint16 rows, quint16 cols) override { Calls << QStringLiteral("dim %1x%2").arg(rows).arg(cols); }
    void WriteRowStart() override { Calls << QStringLiteral("row"); }
    void WriteRowEnd() override { Calls << QStringLiteral("/row"); }
    void WriteData(TSpreadsheetCellType type, const TKVXMFERecord* rec, int row, int col, const QString& value,
                   TAlignment, TColor) override
    {
        Calls << QStringLiteral("%1 %2,%3 %4%5")
                     .arg(type == ctString ? QStringLiteral("str") : QStringLiteral("blank"))
                     .arg(row)
                     .arg(col)
                     .arg(value)
                     .arg(rec ? QString() : QStringLiteral("(no item)"));
    }
};

class Markup : public ExportTest {};

TEST_F(Markup, TheWalkCompletesTheLastRowWithBlanksWithoutItems)
{
    auto page = MakePage(400, 300, [](TCanvas& c) {
        Text(c, 10, 20, QStringLiteral("a1"));
        Text(c, 150, 20, QStringLiteral("b1"));
        Text(c, 10, 60, QStringLiteral("a2"));
    });
    TWalkRecorder walk;
    ExportPages(walk, {page.get()}, Path(QStringLiteral("walk.bin")));
    EXPECT_EQ(walk.Calls, QStringList({"begin", "dim 2x2", "row", "str 0,0 a1", "str 0,1 b1", "/row", "row",
                                       "str 1,0 a2", "blank 1,1 (no item)", "/row", "end"}));
}

TEST_F(Markup, AWalkWithNoTextItemsMakesEachItemARowAndStaysBalanced)
{
    // Pictures only: no columns. Each item is a row of its own, and no row
    // is closed before one was opened.
    auto page = MakePage(400, 300, [](TCanvas& c) {
        QImage image(4, 4, QImage::Format_RGB888);
        image.fill(Qt::green);
        c.StretchImage({10, 10, 14, 14}, image, {0, 0, 4, 4});
        c.StretchImage({10, 100, 14, 104}, image, {0, 0, 4, 4});
    });
    TWalkRecorder walk;
    walk.RecordKinds = {rkText, rkPicture};
    ExportPages(walk, {page.get()}, Path(QStringLiteral("walk.bin")));
    EXPECT_EQ(walk.Calls, QStringList({"begin", "dim 2x0", "row", "blank 0,0 ", "/row", "row", "blank 1,0 ", "/row",
                                       "end"}));
}

TEST_F(Markup, ACellTextIsCutTo255CharactersWithoutSplittingACharacter)
{
    EXPECT_EQ(CutCellText(QString(300, u'x')).size(), 255);
    const QString emoji = QStringLiteral("\U0001F600");
    const QString text = QString(254, u'x') + emoji; // the pair would straddle the cut
    EXPECT_EQ(CutCellText(text), QString(254, u'x'));
}

TEST_F(Markup, XmlEscapingUsesOnlyTheFiveXmlEntities)
{
    EXPECT_EQ(XmlEscape(u"a<b & 'c' \"d\" >"), QStringLiteral("a&lt;b &amp; &apos;c&apos; &quot;d&quot; &gt;"));
    EXPECT_EQ(XmlEscape(u"25° | ±1 ©"), QStringLiteral("25° | ±1 ©")); // no HTML names
    EXPECT_EQ(XmlEscape(u"tab\there\nnew"), QStringLiteral("tab&#9;here&#10;new"));
    EXPECT_EQ(XmlEscape(QStringView(u"form\ffeed")), QStringLiteral("form\uFFFDfeed"));
    const QChar lone[] = {QChar(u'a'), QChar(0xD800), QChar(u'b')};
    EXPECT_EQ(XmlEscape(QStringView(lone, 3)), QStringLiteral("a\uFFFDb"));
}

TEST_F(Markup, HtmlEscapingClosesEveryReference)
{
    EXPECT_EQ(HtmlEscape(u"a<b & 'c'"), QStringLiteral("a&lt;b &amp; &#39;c&#39;"));
    EXPECT_EQ(HtmlEscape(u"25° ±1 ¶ ™ ©"), QStringLiteral("25&deg; &plusmn;1 &para; &trade; &copy;"));
    EXPECT_EQ(HtmlEscape(u"a|b"), QStringLiteral("a|b"));
}

TEST_F(Markup, HtmlColoursAndFontSizes)
{
    EXPECT_EQ(TKVXExportToHTML::GetHTMLColor(clBlack, true), QString());
    EXPECT_EQ(TKVXExportToHTML::GetHTMLColor(clRed, false), QStringLiteral("color=\"#FF0000\""));
    EXPECT_EQ(TKVXExportToHTML::GetHTMLColor(TColor(0x00336699), true), QStringLiteral("bgcolor=\"#996633\""));
    EXPECT_EQ(TKVXExportToHTML::GetHTMLColor(clWindowText, false), QString()); // resolves to black
    struct Case {
        int points;
        const char* size;
    };
    for (const Case& c : {Case{5, "-1"}, Case{6, "1"}, Case{7, "1"}, Case{8, "2"}, Case{10, "3"}, Case{12, "3"},
                          Case{13, "3"}, Case{14, "4"}, Case{18, "5"}, Case{24, "6"}, Case{35, "6"}, Case{36, "-1"}})
        EXPECT_EQ(TKVXExportToHTML::GetHTMLFontSize(c.points), QString::fromLatin1(c.size)) << c.points;
}

TEST_F(Markup, HtmlFontMarkupPutsBoldOutermostAndSkipsTheDefaultFace)
{
    TFont font;
    font.SetName(QStringLiteral("Arial"));
    font.SetSize(12);
    font.SetColor(clBlack);
    font.SetStyle(fsBold | fsItalic | fsUnderline);
    EXPECT_EQ(TKVXExportToHTML::GetHTMLTextWithFont(QStringLiteral("t"), font),
              QStringLiteral("<font face=\"Arial\" size=3><b><i><u>t</u></i></b></font>"));
    font.SetName(QStringLiteral("MS Sans Serif"));
    font.SetSize(5);
    font.SetStyle({});
    font.SetColor(clBlue);
    EXPECT_EQ(TKVXExportToHTML::GetHTMLTextWithFont(QStringLiteral("t"), font),
              QStringLiteral("<font  color=\"#0000FF\">t</font>"));
}

TEST_F(Markup, HtmlCellsBlackOnWhiteBlankCellsAndEscapedProperties)
{
    auto page = MakePage(400, 300, [](TCanvas& c) {
        Text(c, 10, 20, QStringLiteral("Fish & Chips"));
        Text(c, 150, 20, QStringLiteral("b1"));
        Text(c, 10, 60, QStringLiteral("a2"));
    });
    TKVXExportToHTML filter;
    filter.Properties()->SetTitle(QStringLiteral("Q&A <draft>"));
    filter.Properties()->SetAuthor(QStringLiteral("O\"Brien"));
    ExportPages(filter, {page.get()}, Path(QStringLiteral("out.htm")));
    const QString html = ReadUtf8(Path(QStringLiteral("out.htm")));
    EXPECT_TRUE(html.contains(QStringLiteral("charset=utf-8")));
    EXPECT_TRUE(html.contains(QStringLiteral("<title>Q&amp;A &lt;draft&gt;</title>")));
    EXPECT_TRUE(html.contains(QStringLiteral("<meta name=\"AUTHOR\" content=\"O&quot;Brien\">")));
    EXPECT_TRUE(html.contains(QStringLiteral("<body bgcolor=\"#FFFFFF\">")));
    // Black text on the white page: neither bgcolor nor color on the cell.
    EXPECT_TRUE(html.contains(QStringLiteral("    <TD><font face=\"Arial\" size=3>Fish &amp; Chips</font></TD>\r\n")));
    EXPECT_TRUE(html.contains(QStringLiteral("    <TD>&nbsp;</TD>\r\n")));
}

TEST_F(Markup, HtmlPicturesAreSavedBesideTheFileAndReferencedByName)
{
    auto page = MakePage(400, 300, [](TCanvas& c) {
        Text(c, 10, 20, QStringLiteral("Logo"));
        QImage image(20, 10, QImage::Format_RGB888);
        image.fill(Qt::darkCyan);
        c.StretchImage({150, 20, 170, 30}, image, {0, 0, 20, 10});
    });
    QDir().mkpath(Path(QStringLiteral("site")));
    TKVXExportToHTML filter;
    ExportPages(filter, {page.get()}, Path(QStringLiteral("site/index.html")));
    ASSERT_EQ(filter.PictureFiles().size(), 1);
    const QFileInfo picture(filter.PictureFiles()[0]);
    EXPECT_EQ(picture.absolutePath(), QFileInfo(Path(QStringLiteral("site"))).absoluteFilePath());
    EXPECT_EQ(picture.suffix(), QStringLiteral("jpg"));
    EXPECT_TRUE(picture.exists());
    QImage saved(picture.absoluteFilePath());
    EXPECT_EQ(saved.size(), QSize(20, 10));
    const QString html = ReadUtf8(Path(QStringLiteral("site/index.html")));
    EXPECT_TRUE(html.contains(QStringLiteral("<img src=\"%1\" width=\"20\" height=\"10\">").arg(picture.fileName())))
        << html.toStdString();
}

TEST_F(Markup, XmlRowsListOnlyTheirFilledColumnsFromColumn1)
{
    auto page = MakePage(400, 300, [](TCanvas& c) {
        Text(c, 10, 20, QStringLiteral("a1"));
        Text(c, 150, 20, QStringLiteral("b1"));
        Text(c, 300, 20, QStringLiteral("c1"));
        Text(c, 10, 60, QStringLiteral("a2 & \"b\""));
        Text(c, 300, 60, QStringLiteral("25°"));
    });
    TKVXExportToXML filter;
    ExportPages(filter, {page.get()}, Path(QStringLiteral("out.xml")));
    const QString xml = ReadUtf8(Path(QStringLiteral("out.xml")));
    EXPECT_TRUE(xml.startsWith(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>")));
    EXPECT_TRUE(xml.contains(QStringLiteral("<!-- Generated by Tarnwick Metafile export engine 1.96-->")));
    EXPECT_TRUE(xml.contains(QStringLiteral("  <RECORD>\r\n    <ROW\r\n     Column1=\"a2 &amp; &quot;b&quot;\"\r\n"
                                            "     Column3=\"25°\"\r\n    />\r\n  </RECORD>\r\n")))
        << xml.toStdString();
    EXPECT_TRUE(xml.endsWith(QStringLiteral("\r\n</RECORDS>")));
}

TEST_F(Markup, XmlCutsALongCellBeforeEscapingIt)
{
    // 254 letters and an ampersand: cutting after the escaping would leave
    // "&am" at the end.
    auto page = MakePage(4000, 300, [](TCanvas& c) {
        c.Font()->SetSize(1);
        Text(c, 10, 20, QString(254, u'x') + QStringLiteral("&tail"));
    });
    TKVXExportToXML filter;
    ExportPages(filter, {page.get()}, Path(QStringLiteral("long.xml")));
    const QString xml = ReadUtf8(Path(QStringLiteral("long.xml")));
    EXPECT_TRUE(xml.contains(QString(254, u'x') + QStringLiteral("&amp;\"")));
}

TEST_F(Markup, HtmlCellsKeepAlignmentAndLinesAndOnlyOpaqueTextsColourTheirCell)
{
    auto page = MakePage(600, 300, [](TCanvas& c) {
        c.Brush()->SetColor(clYellow);
        c.Brush()->SetStyle(bsSolid);
        c.FillRect({10, 10, 150, 26}); // a label's background under its transparent text
        c.Brush()->SetStyle(bsClear);
        c.TextRect({10, 10, 150, 26}, 10, 10, QStringLiteral("left"));
        const int w = c.TextWidth(QStringLiteral("right"));
        c.TextRect({320 - w, 10, 320, 26}, 320 - w, 10, QStringLiteral("right"));
        c.SetTextAlign(TA_CENTER);
        c.TextOut(450, 10, QStringLiteral("centre"));
        c.SetTextAlign(TA_LEFT);
        c.TextRect({10, 40, 150, 80}, 10, 40, QStringLiteral("one"));
        c.TextRect({10, 40, 150, 80}, 10, 56, QStringLiteral("two"));
        c.Brush()->SetColor(clAqua);
        c.Brush()->SetStyle(bsSolid);
        c.TextOut(200, 100, QStringLiteral("opaque"));
    });
    TKVXExportToHTML html;
    ExportPages(html, {page.get()}, Path(QStringLiteral("cells.htm")));
    const QString out = ReadUtf8(Path(QStringLiteral("cells.htm")));
    EXPECT_TRUE(out.contains(QStringLiteral("<body bgcolor=\"#FFFFFF\">"))) << out.toStdString();
    EXPECT_FALSE(out.contains(QStringLiteral("#FFFF00"))) << out.toStdString();
    for (const char* cell : {"<TD><font face=\"Arial\" size=3>left</font>", "<TD align=\"right\"><font",
                             "<TD align=\"center\"><font", ">one<br>two</font>", "<TD bgcolor=\"#00FFFF\"><font"})
        EXPECT_TRUE(out.contains(QString::fromUtf8(cell))) << cell << "\n" << out.toStdString();
}

} // namespace
} // namespace vorel::test
