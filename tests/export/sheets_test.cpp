// The spreadsheet writers: the Excel (XLS, BIFF2) file byte by byte for the
// edge cases of its Part, the XLSX cell values, and both files as real
// spreadsheet programs read them (LibreOffice, Gnumeric).

#include "export/excel_export.h"
#include "export/xlsx_export.h"
#include "export_test_support.h"
#include "foundation/locale/code_page.h"
#include "foundation/values/errors.h"
#include "support/delimited.h"

#include <QUrl>

namespace vorel::test {
namespace {

// The records before the dimensions record: beginning of file, code page
// (given), font 0 (Arial 10) and cell format 0.
QByteArray Prologue(int codePage = 1252)
{
    QByteArray b = QByteArray::fromHex("0908060000001000" "0000");
    b += QByteArray::fromHex("42000200");
    writeU16le(b, std::uint16_t(codePage));
    b += QByteArray::fromHex("31000a00" "c8000000" "05") + "Arial";
    b += QByteArray::fromHex("43000400" "00004000");
    return b;
}

QByteArray Dimensions(int rows, int cols)
{
    QByteArray b = QByteArray::fromHex("00020a00" "0000");
    writeU16le(b, std::uint16_t(rows));
    writeU16le(b, 0);
    writeU16le(b, std::uint16_t(cols));
    writeU16le(b, 0);
    return b;
}

const QByteArray kEof = QByteArray::fromHex("0a000000");

// Typed cells for the tests: a text "int:<n>" is passed as ctInteger,
// "num:<x>" as ctDouble, as a writer that converts numbers would.
class TTypedExcel : public TKVXExportToExcel {
public:
    void WriteData(TSpreadsheetCellType cellType, const TKVXMFERecord* rec, int row, int col, const QString& value,
                   TAlignment alignment, TColor color) override
    {
        if (value.startsWith(QStringLiteral("int:")))
            return TKVXExportToExcel::WriteData(ctInteger, rec, row, col, value.mid(4), alignment, color);
        if (value.startsWith(QStringLiteral("num:")))
            return TKVXExportToExcel::WriteData(ctDouble, rec, row, col, value.mid(4), alignment, color);
        TKVXExportToExcel::WriteData(cellType, rec, row, col, value, alignment, color);
    }
};

class Sheets : public ExportTest {
protected:
    QByteArray ExportOne(TKVXExport& filter, const TPageDrawer& draw, const QString& name = QStringLiteral("out.xls"),
                         int width = 400)
    {
        auto page = MakePage(width, 300, draw);
        ExportPages(filter, {page.get()}, Path(name));
        return ReadAll(Path(name));
    }
};

TEST_F(Sheets, PagesWithoutTextGiveTheRecordsAroundAnEmptyGrid)
{
    TKVXExportToExcel xls;
    const QByteArray file = ExportOne(xls, [](TCanvas& c) { c.Rectangle(10, 10, 50, 50); });
    // The classic 28 bytes (beginning of file 10, dimensions 14, end 4) and
    // the code page (6), font (14) and cell format (8) records.
    EXPECT_EQ(file.size(), 28 + 28);
    EXPECT_EQ(file, Prologue() + Dimensions(0, 0) + kEof);
}

TEST_F(Sheets, OneCharacterGivesTheLabelRecordOfThePart)
{
    TKVXExportToExcel xls;
    const QByteArray file = ExportOne(xls, [](TCanvas& c) { Text(c, 20, 20, QStringLiteral("A")); });
    EXPECT_EQ(file, Prologue() + Dimensions(1, 1) + QByteArray::fromHex("04000900" "0000" "0000" "000001" "01") + "A"
                        + kEof);
}

TEST_F(Sheets, LabelsHoldAtMost255CharactersOfTheCodePage)
{
    TKVXExportToExcel xls;
    const QString longText(300, u'x');
    const QByteArray file = ExportOne(xls, [&](TCanvas& c) { Text(c, 20, 20, longText); }, QStringLiteral("long.xls"),
                                      4000);
    const QByteArray label = file.mid(Prologue().size() + 14);
    EXPECT_EQ(label.left(4), QByteArray::fromHex("04000701")); // type 4, length 263
    EXPECT_EQ(quint8(label.at(11)), 255);
    EXPECT_EQ(label.mid(12, 255), QByteArray(255, 'x'));
    EXPECT_EQ(label.mid(12 + 255), kEof);

    // The code page: Cyrillic in 1251, "?" where the code page lacks a
    // character, one "?" for a character beyond U+FFFF, never half of one.
    EXPECT_EQ(TKVXExportToExcel::LabelBytes(QStringLiteral("Привет"), 1251), QByteArray("\xcf\xf0\xe8\xe2\xe5\xf2"));
    EXPECT_EQ(TKVXExportToExcel::LabelBytes(QStringLiteral("Привет"), 1252), QByteArray("??????"));
    EXPECT_EQ(TKVXExportToExcel::LabelBytes(QStringLiteral("a\U0001F600b"), 1252), QByteArray("a?b"));
    const QString pairs = QString(254, u'y') + QStringLiteral("\U0001F600\U0001F600");
    EXPECT_EQ(TKVXExportToExcel::LabelBytes(pairs, 1252), QByteArray(254, 'y') + '?');
}

TEST_F(Sheets, IntegersOutsideTheIntegerCellAreNumberCells)
{
    TTypedExcel xls;
    const QByteArray file = ExportOne(xls, [](TCanvas& c) {
        Text(c, 20, 20, QStringLiteral("int:200"));
        Text(c, 120, 20, QStringLiteral("int:300"));
        Text(c, 220, 20, QStringLiteral("int:-5"));
        Text(c, 320, 20, QStringLiteral("num:2.5"));
    });
    QByteArray expected = Prologue() + Dimensions(1, 4);
    expected += QByteArray::fromHex("02000900" "0000" "0000" "000001" "c800");
    QByteArray number = QByteArray::fromHex("03000f00" "0000" "0100" "000001");
    writeF64le(number, 300);
    expected += number;
    number = QByteArray::fromHex("03000f00" "0000" "0200" "000001");
    writeF64le(number, -5);
    expected += number;
    number = QByteArray::fromHex("03000f00" "0000" "0300" "000001");
    writeF64le(number, 2.5);
    expected += number;
    EXPECT_EQ(file.toHex(), (expected + kEof).toHex());

    // Not a number: the conversion error leaves the export and no file.
    TTypedExcel bad;
    EXPECT_THROW(ExportOne(bad, [](TCanvas& c) { Text(c, 20, 20, QStringLiteral("int:x1")); },
                           QStringLiteral("bad.xls")),
                 EConvertError);
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("bad.xls"))));
}

TEST_F(Sheets, GridsBeyondTheFormatsLimitsRaiseAndLeaveTheOldFile)
{
    QFile old(Path(QStringLiteral("wide.xls")));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    TKVXExportToExcel xls;
    try {
        ExportOne(xls, [](TCanvas& c) {
            for (int i = 0; i < 257; ++i)
                Text(c, 10 + 30 * i, 20, QStringLiteral("c"));
        }, QStringLiteral("wide.xls"), 8000);
        FAIL() << "257 columns were written";
    } catch (const EKVXError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("256 columns"))) << e.Message().toStdString();
        EXPECT_TRUE(e.Message().contains(QStringLiteral("257 columns"))) << e.Message().toStdString();
    }
    EXPECT_EQ(ReadAll(Path(QStringLiteral("wide.xls"))), QByteArray("old"));
}

TEST_F(Sheets, MoreRowsThanTheFormatAddressesRaiseAndWriteNoFile)
{
    // 65,536 rows of one text each, 10 pixels apart.
    QList<QByteArray> records;
    constexpr int kRows = TKVXExportToExcel::kMaxRows + 1;
    records.reserve(kRows);
    for (int i = 0; i < kRows; ++i)
        records << SmallTextOut(10, 10 * i, QStringLiteral("r"), 0);
    auto page = MetafileOf(records, 200, 10 * kRows + 10);
    TKVXExportToExcel xls;
    try {
        ExportPages(xls, {page.get()}, Path(QStringLiteral("tall.xls")));
        FAIL() << "65,536 rows were written";
    } catch (const EKVXError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("at most 65535 rows"))) << e.Message().toStdString();
        EXPECT_TRUE(e.Message().contains(QStringLiteral("65536 rows"))) << e.Message().toStdString();
    }
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("tall.xls"))));
}

TEST(XlsxCellValues, NumbersAndIsoDatesAreValuesEverythingElseText)
{
    using K = TXlsxCellValue;
    EXPECT_EQ(XlsxCellValue(u"-5").Kind, K::xkNumber);
    EXPECT_EQ(XlsxCellValue(u"-5").Number, -5);
    const TXlsxCellValue price = XlsxCellValue(u"12.50");
    EXPECT_EQ(price.Kind, K::xkNumber);
    EXPECT_EQ(price.Number, 12.5);
    EXPECT_EQ(price.Decimals, 2);
    EXPECT_EQ(XlsxCellValue(u"0.000000000000001").Kind, K::xkNumber);
    EXPECT_EQ(XlsxCellValue(u"123456789012345").Kind, K::xkNumber);
    for (const char16_t* text : {u"007", u"1,506.24", u"1234567890123456", u"1.", u".5", u"1e5", u"-", u"12 kg",
                                 u"12/03/2024", u"2024-02-30", u"1899-12-31", u"2024-01-03 25:00", u""})
        EXPECT_EQ(XlsxCellValue(text).Kind, K::xkText) << QString::fromUtf16(text).toStdString();
    const TXlsxCellValue day = XlsxCellValue(u"2024-01-03");
    EXPECT_EQ(day.Kind, K::xkDate);
    EXPECT_EQ(day.Hour, -1);
    const TXlsxCellValue moment = XlsxCellValue(u"2024-01-03 14:05:09");
    EXPECT_EQ(moment.Kind, K::xkDate);
    EXPECT_EQ(moment.Hour, 14);
    EXPECT_EQ(moment.Seconds, 9);
}

// The 3 x 3 grid both formats are read back with: a blank cell, a label of
// 255 characters, Cyrillic text, a negative integer and a number with decimals.
const QString kLong = QStringLiteral("L") + QString(253, u'o') + QStringLiteral("g");

void DrawGrid(TCanvas& c, bool typed)
{
    Text(c, 20, 20, QStringLiteral("Item"));
    Text(c, 3000, 20, QStringLiteral("Qty"));
    Text(c, 3200, 20, QStringLiteral("Price"));
    Text(c, 20, 60, QStringLiteral("Привет, мир"));
    Text(c, 3000, 60, typed ? QStringLiteral("int:-5") : QStringLiteral("-5"));
    Text(c, 3200, 60, typed ? QStringLiteral("num:3.25") : QStringLiteral("3.25"));
    Text(c, 20, 100, kLong);
    Text(c, 3200, 100, typed ? QStringLiteral("int:42") : QStringLiteral("42"));
}

const QList<QStringList> kGrid = {
    {"Item", "Qty", "Price"},
    {"Привет, мир", "-5", "3.25"},
    {kLong, "", "42"},
};

QList<QStringList> ParseCsv(const QString& text)
{
    return test::ParseDelimited(text);
}

class SheetsRead : public Sheets {
protected:
    void WriteGrids()
    {
        TTypedExcel xls;
        xls.CodePage = 1251; // Cyrillic is representable (in 1252 it would be "?")
        ExportOne(xls, [](TCanvas& c) { DrawGrid(c, true); }, QStringLiteral("grid.xls"), 3400);
        TKVXExportToXLSX xlsx;
        ExportOne(xlsx, [](TCanvas& c) { DrawGrid(c, false); }, QStringLiteral("gridx.xlsx"), 3400);
    }
};

TEST_F(SheetsRead, LibreOfficeReadsXlsAndXlsxCellsInTheirPlaces)
{
    const QString soffice = FindTool(QStringLiteral("soffice"));
    if (soffice.isEmpty())
        GTEST_SKIP() << "LibreOffice (soffice) is not installed (scripts/setup.sh installs it)";
    WriteGrids();
    // Both files in one run: comma separated, quotes, UTF-8 (76).
    const QString outDir = Path(QStringLiteral("lo"));
    const QString profile = QUrl::fromLocalFile(Path(QStringLiteral("lo-profile"))).toString();
    const TToolRun run =
        RunTool(soffice,
                {QStringLiteral("-env:UserInstallation=") + profile, QStringLiteral("--headless"),
                 QStringLiteral("--norestore"), QStringLiteral("--convert-to"),
                 QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76"), QStringLiteral("--outdir"), outDir,
                 Path(QStringLiteral("grid.xls")), Path(QStringLiteral("gridx.xlsx"))},
                240000);
    ASSERT_TRUE(run.Started);
    for (const char* name : {"grid.csv", "gridx.csv"}) {
        const QByteArray converted = ReadAll(outDir + u'/' + QLatin1String(name));
        ASSERT_FALSE(converted.isEmpty()) << name << ": LibreOffice wrote nothing (exit " << run.ExitCode
                                          << "): " << run.Err.toStdString();
        EXPECT_EQ(ParseCsv(QString::fromUtf8(converted)), kGrid) << name << "\n" << converted.toStdString();
    }
}

TEST_F(SheetsRead, GnumericReadsTheXlsCells)
{
    const QString ssconvert = FindTool(QStringLiteral("ssconvert"));
    if (ssconvert.isEmpty())
        GTEST_SKIP() << "Gnumeric's ssconvert is not installed (scripts/setup.sh installs gnumeric)";
    WriteGrids();
    const QString csv = Path(QStringLiteral("gnumeric.csv"));
    const TToolRun run = RunTool(ssconvert, {Path(QStringLiteral("grid.xls")), csv}, 120000);
    ASSERT_TRUE(run.Started);
    const QByteArray converted = ReadAll(csv);
    ASSERT_FALSE(converted.isEmpty()) << "exit " << run.ExitCode << ": " << run.Err.toStdString();
    // Every cell in its place. Gnumeric reads BIFF2 labels as code page 1252
    // whatever the CODEPAGE record says (LibreOffice follows it), so the
    // Cyrillic label comes back as its 1251 bytes read in 1252.
    QList<QStringList> expected = kGrid;
    expected[1][0] = DecodeCodePage(EncodeCodePage(kGrid[1][0], 1251), 1252);
    EXPECT_EQ(ParseCsv(QString::fromUtf8(converted)), expected) << converted.toStdString();
}

} // namespace
} // namespace vorel::test
