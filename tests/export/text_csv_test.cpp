// The text and CSV filters.

#include "export/csv_export.h"
#include "export/text_export.h"
#include "graphics/emf_enumerator.h"
#include "export_test_support.h"

namespace vorel::test {
namespace {

class TextExport : public ExportTest {
protected:
    // The lines of a text export of the pages (CR LF split, last one empty).
    QStringList Export(const std::vector<const TMetafile*>& pages)
    {
        TKVXExportToText filter;
        ExportPages(filter, pages, Path(QStringLiteral("out.txt")));
        return ReadUtf8(Path(QStringLiteral("out.txt"))).split(QStringLiteral("\r\n"));
    }
};

TEST_F(TextExport, AnItemWhoseEnlargedLeftIsAt51StartsInColumn10)
{
    // Bounds at 52 are enlarged to 51; 51 / 5.1 = 10: nine blanks before the text.
    auto page = MakePage(400, 300, [](TCanvas& c) { Text(c, 52, 17, QStringLiteral("ten")); });
    const QStringList lines = Export({page.get()});
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[1], QStringLiteral("         ten")); // row (17 - 1) / 16 = 1
}

TEST_F(TextExport, RowsAndColumnsRoundHalvesToEven)
{
    // Enlarged tops of 24 and 40 are 1.5 and 2.5 lines: both go to line 2.
    TKVXExportToText filter;
    filter.StartExport();
    filter.PlaceText(int(std::nearbyint(24 / 16.0)), 1, QStringLiteral("a"));
    filter.PlaceText(int(std::nearbyint(40 / 16.0)), 3, QStringLiteral("b"));
    EXPECT_EQ(filter.Lines.size(), 3);
    EXPECT_EQ(filter.Lines[2], QStringLiteral("a b"));
}

TEST_F(TextExport, ALaterTextOverwritesAnEarlierOneFromItsStartColumn)
{
    struct Case {
        const char* name;
        int secondCol;
        const char* second;
        const char* expected;
    };
    const Case cases[] = {
        {"overlap in the middle", 3, "XY", "abXYefgh"},
        {"past the end", 12, "Z", "abcdefgh   Z"},
        {"longer than the rest", 7, "WXYZ", "abcdefWXYZ"},
        {"column 0 inserts in front", 0, "<<", "<<abcdefgh"},
        {"column 1 overwrites from the start", 1, "zz", "zzcdefgh"},
    };
    for (const Case& c : cases) {
        TKVXExportToText filter;
        filter.StartExport();
        filter.PlaceText(0, 1, QStringLiteral("abcdefgh"));
        filter.PlaceText(0, c.secondCol, QString::fromLatin1(c.second));
        EXPECT_EQ(filter.Lines[0], QString::fromLatin1(c.expected)) << c.name;
    }
}

TEST_F(TextExport, ATwoPageExportEndsTheLastLineOfPageOneWithAFormFeed)
{
    auto first = MakePage(400, 320, [](TCanvas& c) {
        Text(c, 10, 1, QStringLiteral("first top"));
        Text(c, 10, 49, QStringLiteral("first end"));
    });
    auto second = MakePage(400, 320, [](TCanvas& c) { Text(c, 10, 1, QStringLiteral("second top")); });
    const QStringList lines = Export({first.get(), second.get()});
    // Page 2 sits 320 pixels further down: 320 / 16 = 20 lines.
    ASSERT_GE(lines.size(), 21);
    EXPECT_EQ(lines[3], QStringLiteral(" first end\f")); // 9 / 5.1 rounds to column 2
    EXPECT_EQ(lines[20], QStringLiteral(" second top"));
    EXPECT_EQ(lines.last(), QString()); // every line ends with CR LF
}

TEST_F(TextExport, AFormFeedNeedsTwoLinesSoFarAndTheFirstBar)
{
    TKVXExportToText filter;
    filter.StartExport();
    filter.PlaceText(0, 1, QStringLiteral("only line"));
    filter.NewPage(1, 0);
    EXPECT_EQ(filter.Lines[0], QStringLiteral("only line"));
    filter.PlaceText(1, 1, QStringLiteral("second line"));
    filter.NewPage(1, 1); // another bar of the same page
    EXPECT_EQ(filter.Lines[1], QStringLiteral("second line"));
    filter.NewPage(2, 0);
    EXPECT_EQ(filter.Lines[1], QStringLiteral("second line\f"));
}

TEST_F(TextExport, PagesWithoutTextGiveOneEmptyLineOrAnEmptyFile)
{
    auto blank = MakePage(400, 300, {});
    {
        TKVXExportToText filter;
        ExportPages(filter, {blank.get()}, Path(QStringLiteral("none.txt")));
        EXPECT_EQ(ReadAll(Path(QStringLiteral("none.txt"))), QByteArray()); // no line was ever made
    }
    {
        // A text at line 3 that is later overwritten by blanks: lines were
        // made, all blank; the first stays.
        TKVXExportToText filter;
        filter.StartExport();
        filter.PlaceText(3, 1, QStringLiteral("x"));
        filter.PlaceText(3, 1, QStringLiteral(" "));
        filter.SaveToFile(Path(QStringLiteral("blank.txt")));
        EXPECT_EQ(ReadAll(Path(QStringLiteral("blank.txt"))), QByteArray("\r\n"));
        EXPECT_TRUE(filter.Lines.isEmpty()); // emptied for the next file
    }
}

TEST_F(TextExport, TextIsWrittenAsUtf8)
{
    auto page = MakePage(400, 300, [](TCanvas& c) { Text(c, 1, 1, QStringLiteral("Grüße € Привет")); });
    const QStringList lines = Export({page.get()});
    EXPECT_EQ(lines[0], QStringLiteral("Grüße € Привет"));
}

TEST_F(TextExport, AHostileCoordinateDoesNotMakeMillionsOfLines)
{
    auto page = MetafileOf({ExtTextOutA(Bounds(0, 2000000000, 10, 2000000010), "far")});
    TKVXExportToText filter;
    ExportPages(filter, {page.get()}, Path(QStringLiteral("far.txt")));
    EXPECT_LT(ReadAll(Path(QStringLiteral("far.txt"))).size(), 20000);
}

// --- CSV ------------------------------------------------------------------------------------

class CsvExport : public ExportTest {
protected:
    QByteArray Export(const TPageDrawer& draw)
    {
        auto page = MakePage(400, 300, draw);
        TKVXExportToCSV filter;
        ExportPages(filter, {page.get()}, Path(QStringLiteral("out.csv")));
        return ReadAll(Path(QStringLiteral("out.csv")));
    }
};

TEST_F(CsvExport, TwoRowsOfThreeGiveTwoLinesAndABlankCellAnEmptyField)
{
    const QByteArray csv = Export([](TCanvas& c) {
        Text(c, 10, 20, QStringLiteral("a1"));
        Text(c, 150, 20, QStringLiteral("b1"));
        Text(c, 300, 20, QStringLiteral("c1"));
        Text(c, 10, 60, QStringLiteral("a2"));
        Text(c, 300, 60, QStringLiteral("c2"));
    });
    EXPECT_EQ(csv, QByteArray("a1;b1;c1\r\na2;;c2")); // no line break after the last cell
}

TEST_F(CsvExport, FieldsHoldingTheSeparatorAQuoteOrALineBreakAreQuoted)
{
    struct Case {
        QString text;
        QString field;
    };
    const Case cases[] = {
        {QStringLiteral("plain"), QStringLiteral("plain")},
        {QStringLiteral("semi;colon"), QStringLiteral("\"semi;colon\"")},
        {QStringLiteral("say \"hi\""), QStringLiteral("\"say \"\"hi\"\"\"")},
        {QStringLiteral("two\r\nlines"), QStringLiteral("\"two\r\nlines\"")},
        {QStringLiteral("lf\nonly"), QStringLiteral("\"lf\nonly\"")},
        {QStringLiteral("comma, fine"), QStringLiteral("comma, fine")},
        {QStringLiteral(" spaced "), QStringLiteral(" spaced ")},
        {QString(), QString()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CsvField(c.text), c.field) << c.text.toStdString();
}

// What a spreadsheet would run gets an apostrophe (and then the quoting it
// needs); what it would read as a number stays as it is.
TEST_F(CsvExport, FormulaCellsGetAnApostropheAndNumbersNever)
{
    const struct {
        const char* Text;
        const char* Guarded;
    } cases[] = {
        {"=1+2", "'=1+2"},
        {"@SUM(A1:A9)", "'@SUM(A1:A9)"},
        {"+cmd|' /C calc'!A0", "'+cmd|' /C calc'!A0"},
        {"-2+3", "'-2+3"},
        {"=HYPERLINK(\"http://x\";\"y\")", "\"'=HYPERLINK(\"\"http://x\"\";\"\"y\"\")\""},
        {"-12.5", "-12.5"},
        {"+3", "+3"},
        {"-1,234.50", "-1,234.50"},
        {"-1.5E+10", "-1.5E+10"},
        {"-5%", "-5%"},
        {"-", "-"},
        {"a=b", "a=b"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CsvField(QString::fromUtf8(c.Text), u';', u'"', true), QString::fromUtf8(c.Guarded)) << c.Text;
        EXPECT_EQ(CsvField(QString::fromUtf8(c.Text), u';', u'"', false), CsvField(QString::fromUtf8(c.Text)));
    }
    // On by default for the data, off for the pages' cells.
    TKVXExportToCSV filter;
    EXPECT_FALSE(filter.GuardsFormulas());
    filter.SetMode(dmData);
    EXPECT_TRUE(filter.GuardsFormulas());
    filter.SetFormulaGuard(fgOff);
    EXPECT_FALSE(filter.GuardsFormulas());
}

// The data-only CSV lets the rows of each page go to a scratch file as the
// page is done: what it holds stays one row however many pages there are,
// and the file is the one it wrote when it held them all.
TEST_F(CsvExport, DataRowsWaitInAScratchFilePageByPage)
{
    const auto dataPage = [](int first, bool captions) {
        return MakePage(400, 300, [first, captions](TCanvas& c) {
            if (captions) {
                c.Comment("VorelData\tband\theader");
                c.Comment("VorelData\tcell\t10\t100\t0\tId");
                c.Comment("VorelData\tcell\t120\t100\t0\tName");
            }
            for (int id = first; id < first + 3; ++id) {
                c.Comment("VorelData\tband\tdetail");
                c.Comment("VorelData\tcell\t120\t100\t0\t=name " + QByteArray::number(id));
                c.Comment("VorelData\tcell\t10\t100\t0\t" + QByteArray::number(id));
            }
        });
    };
    std::vector<std::unique_ptr<TMetafile>> pages;
    for (int p = 0; p < 40; ++p)
        pages.push_back(dataPage(1 + 3 * p, p == 0));
    std::vector<const TMetafile*> list;
    for (const auto& page : pages)
        list.push_back(page.get());
    TKVXExportToCSV filter;
    filter.SetMode(dmData);
    ExportPages(filter, list, Path(QStringLiteral("data.csv")));
    const QByteArray csv = ReadAll(Path(QStringLiteral("data.csv")));
    QByteArray expected = "Id;Name\r\n";
    for (int id = 1; id <= 120; ++id)
        expected += QByteArray::number(id) + ";'=name " + QByteArray::number(id) + "\r\n";
    EXPECT_EQ(csv, expected);

    // The records themselves: every row but the last goes to the scratch
    // file as its page is done, and comes back in order.
    TKVXDataRecords records;
    for (const auto& page : pages) {
        TEmfEnumerator dc(*page);
        while (dc.Next())
            records.Read(dc.Record());
        records.LetFinishedRowsGo();
        EXPECT_EQ(records.HeldRowCount(), 1U);
    }
    EXPECT_EQ(records.RowCount(), 120U);
    int seen = 0;
    records.ForEachRow(records.Columns(), [&seen](const std::vector<QString>& fields) {
        ++seen;
        ASSERT_EQ(fields.size(), 2U);
        EXPECT_EQ(fields[0], QString::number(seen));
        EXPECT_EQ(fields[1], QStringLiteral("=name %1").arg(seen));
    });
    EXPECT_EQ(seen, 120);
}

TEST_F(CsvExport, ARowAtTheVeryTopIsFollowedByALineBreak)
{
    // Text drawn at y = 1 is enlarged to a top of 0. A row there still ends
    // with a line break (the classic writer ran it into the next row).
    const QByteArray csv = Export([](TCanvas& c) {
        Text(c, 10, 1, QStringLiteral("top"));
        Text(c, 10, 40, QStringLiteral("next"));
    });
    EXPECT_EQ(csv, QByteArray("top\r\nnext"));
}

TEST_F(CsvExport, AFileThatCannotBeCreatedRaisesAnErrorNamingIt)
{
    const QString target = Path(QStringLiteral("missing-folder/out.csv"));
    auto page = MakePage(400, 300, [](TCanvas& c) { Text(c, 10, 10, QStringLiteral("x")); });
    TKVXExportToCSV filter;
    try {
        ExportPages(filter, {page.get()}, target);
        ADD_FAILURE() << "no error for a folder that does not exist";
    } catch (const EStreamError& e) {
        EXPECT_TRUE(e.Message().contains(target)) << e.Message().toStdString();
    }
}

TEST_F(CsvExport, SeparatorAndQuoteArePublishedSingleCharacters)
{
    TKVXExportToCSV filter;
    const QMetaObject* meta = filter.metaObject();
    const int first = meta->indexOfProperty("Separator");
    EXPECT_EQ(meta->indexOfProperty("Quote"), first + 1);
    EXPECT_EQ(filter.property("Separator").toString(), QStringLiteral(";"));
    EXPECT_EQ(filter.property("Quote").toString(), QStringLiteral("\""));
    for (const QString& bad : {QString(), QStringLiteral(",,"), QStringLiteral("\n")})
        EXPECT_THROW(filter.SetSeparator(bad), EConvertError) << bad.toStdString();
    EXPECT_EQ(filter.Separator(), QStringLiteral(";"));

    auto page = MakePage(400, 300, [](TCanvas& c) {
        Text(c, 10, 20, QStringLiteral("a,1"));
        Text(c, 150, 20, QStringLiteral("it's"));
        Text(c, 300, 20, QStringLiteral("x;y"));
    });
    filter.setProperty("Separator", QStringLiteral(","));
    filter.setProperty("Quote", QStringLiteral("'"));
    ExportPages(filter, {page.get()}, Path(QStringLiteral("props.csv")));
    EXPECT_EQ(ReadAll(Path(QStringLiteral("props.csv"))), QByteArray("'a,1','it''s',x;y"));
}

} // namespace
} // namespace vorel::test
