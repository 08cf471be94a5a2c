// The Lotus 1-2-3 (WK1) and QuattroPro (WQ1) writers: their bytes at the
// edges of the format, the limits of the record fields, and LibreOffice
// reading the files into the right cells.

#include "export/lotus_export.h"
#include "export_test_support.h"
#include "foundation/values/errors.h"
#include "support/delimited.h"

#include <QFileInfo>
#include <QUrl>

namespace vorel::test {
namespace {

QByteArray Hex(const char* text)
{
    return QByteArray::fromHex(text);
}

// The records of a file without the fixed head (beginning of file,
// calculation mode and order: 16 bytes) and the range record (12).
QByteArray Cells(const QByteArray& file)
{
    return file.mid(28, file.size() - 28 - 4);
}

// Writes typed cells into an otherwise empty worksheet: the walk passes
// labels and blanks only, so numbers are written the way a writer that
// converts them would, through WriteData.
template <class Writer>
class TTypedCells : public Writer {
public:
    struct Cell {
        TSpreadsheetCellType Type;
        int Row, Col;
        QString Value;
        TAlignment Alignment = taLeftJustify;
    };
    std::vector<Cell> Typed;
    void WriteDimensions(quint16 rows, quint16 columns) override
    {
        Writer::WriteDimensions(rows, columns);
        for (const Cell& c : Typed)
            this->WriteData(c.Type, nullptr, c.Row, c.Col, c.Value, c.Alignment, clBlack);
    }
};

class Worksheets : public ExportTest {
protected:
    template <class Writer>
    QByteArray Typed(const std::vector<typename TTypedCells<Writer>::Cell>& cells, int codePage = 1252)
    {
        TTypedCells<Writer> writer;
        writer.Typed = cells;
        writer.CodePage = codePage;
        auto page = MakePage(400, 300, nullptr);
        const QString file = Path(QStringLiteral("typed.wks"));
        ExportPages(writer, {page.get()}, file);
        return ReadAll(file);
    }
};

TEST_F(Worksheets, PagesWithoutTextGiveTheSmallestFileThatReadersStillOpen)
{
    auto page = MakePage(400, 300, nullptr);
    TKVXExportToLotus lotus;
    ExportPages(lotus, {page.get()}, Path(QStringLiteral("empty.wk1")));
    TKVXExportToQuattroPro quattro;
    ExportPages(quattro, {page.get()}, Path(QStringLiteral("empty.wq1")));
    // Beginning of file with the version, calculation mode automatic,
    // order natural, the range of an empty grid (-1, -1), end of file.
    EXPECT_EQ(ReadAll(Path(QStringLiteral("empty.wk1"))).toHex(' '),
              Hex("000002000404 02000100ff 0300010000 060008000000 0000ffffffff 01000000").toHex(' '));
    EXPECT_EQ(ReadAll(Path(QStringLiteral("empty.wq1"))).toHex(' '),
              Hex("000002002051 02000100ff 0300010000 060008000000 0000ffffffff 01000000").toHex(' '));
}

TEST_F(Worksheets, LabelRecordsOfBothFormats)
{
    auto page = MakePage(400, 300, [](TCanvas& c) {
        Text(c, 20, 20, QStringLiteral("ab"));
        Text(c, 200, 20, QStringLiteral("x"));
        Text(c, 200, 60, QStringLiteral("Да"));
    });
    struct Case {
        const char* name;
        std::unique_ptr<TKVXExportToLotus> writer;
        const char* range;
        const char* cells;
    };
    Case cases[] = {
        // Lotus: format byte, column, row, prefix, the text, a zero byte.
        {"wk1", std::make_unique<TKVXExportToLotus>(), "0600080000000000 01000100",
         "0f000900f1000000002761620 0" "0f000800f101000000277800"
         "0c00050022000001 00" "0f000900f10100010027c4e000"},
        // QuattroPro: format 0, column, row, prefix, length, the text.
        {"wq1", std::make_unique<TKVXExportToQuattroPro>(), "0600080000000000 01000100",
         "0f000900000000000027026162" "0f000800000100000027 0178"
         "0c0005000000000100" "0f00090000010001002702c4e0"},
    };
    for (Case& c : cases) {
        c.writer->CodePage = 1251; // the Cyrillic letters are c4 e0 there
        const QString file = Path(QStringLiteral("labels.") + QLatin1String(c.name));
        ExportPages(*c.writer, {page.get()}, file);
        const QByteArray bytes = ReadAll(file);
        EXPECT_EQ(bytes.mid(16, 12).toHex(), QByteArray(c.range).replace(' ', "")) << c.name;
        EXPECT_EQ(Cells(bytes).toHex(), QByteArray(c.cells).replace(' ', "")) << c.name;
    }
}

TEST_F(Worksheets, TypedCellsAreNumbersOnlyWhenTheirValueIsOne)
{
    using Cell = TTypedCells<TKVXExportToLotus>::Cell;
    struct Case {
        Cell cell;
        const char* record; // hex, Lotus
    };
    const Case cases[] = {
        {{ctInteger, 0, 1, QStringLiteral("-42")}, "0d000700820100 0000d6ff"},
        {{ctInteger, 2, 0, QStringLiteral("32767")}, "0d00070082000002 00ff7f"},
        // Outside the 16-bit integer cell (-32768 too): a number cell.
        {{ctInteger, 0, 0, QStringLiteral("40000")}, "0e000d00f1000000000000000000 88e340"},
        {{ctInteger, 0, 0, QStringLiteral("-32768")}, "0e000d00f10000000000000000 0000e0c0"},
        {{ctDouble, 0, 0, QStringLiteral("3.25")}, "0e000d00f10000000000000000 00000a40"},
        // No number of its type: the label it is, never an invented 0.
        {{ctInteger, 0, 0, QStringLiteral("abc")}, "0f000a00f100000000 2761626300"},
        {{ctInteger, 0, 0, QStringLiteral("1.5")}, "0f000a00f100000000 27312e3500"},
        {{ctDouble, 0, 0, QStringLiteral("1,5")}, "0f000a00f100000000 27312c3500"},
        {{ctCurrency, 0, 0, QStringLiteral("inf")}, "0f000a00f100000000 27696e6600"},
        {{ctDouble, 0, 0, QStringLiteral(" ")}, "0c00050022 00000000"},
        {{ctString, 0, 0, QStringLiteral("r"), taRightJustify}, "0f000800f100000000 227200"},
        {{ctDateTime, 0, 0, QStringLiteral("c"), taCenter}, "0f000800f100000000 5e6300"},
        // A label is one line.
        {{ctString, 0, 0, QStringLiteral("a\nb")}, "0f000a00f100000000 2761206200"},
    };
    for (const Case& c : cases) {
        const QByteArray cells = Cells(Typed<TKVXExportToLotus>({c.cell}));
        EXPECT_EQ(cells.toHex(), QByteArray(c.record).replace(' ', "")) << c.cell.Value.toStdString();
    }
}

TEST_F(Worksheets, ALabelHoldsAtMost255BytesAndNeverHalfACharacter)
{
    using Cell = TTypedCells<TKVXExportToQuattroPro>::Cell;
    const QString long300(300, u'x');
    const QString emojiAtTheCut = QString(254, u'y') + QStringLiteral("\U0001F600");
    const QByteArray cells = Cells(Typed<TKVXExportToQuattroPro>(
        {Cell{ctString, 0, 0, long300}, Cell{ctString, 1, 0, emojiAtTheCut}, Cell{ctString, 2, 0, QStringLiteral("Жук日")}},
        1251));
    // 300 x: 255 of them, length field 7 + 255.
    ASSERT_GE(cells.size(), 4 + 262);
    EXPECT_EQ(cells.left(4).toHex(), QByteArray("0f000601"));
    EXPECT_EQ(std::uint8_t(cells[10]), 255);
    EXPECT_EQ(cells.mid(11, 255), QByteArray(255, 'x'));
    // 254 y and a character of two UTF-16 units: the character is dropped whole.
    const QByteArray second = cells.mid(4 + 262);
    EXPECT_EQ(second.left(4).toHex(), QByteArray("0f000501"));
    EXPECT_EQ(std::uint8_t(second[10]), 254);
    // The code page's letters, and "?" for what it lacks.
    EXPECT_EQ(cells.right(4 + 7 + 4).mid(11).toHex(), QByteArray("c6f3ea3f"));
}

TEST_F(Worksheets, CellsBeyondTheRecordFieldsAreRefusedNamingTheLimit)
{
    using Lotus = TTypedCells<TKVXExportToLotus>;
    using Quattro = TTypedCells<TKVXExportToQuattroPro>;
    EXPECT_NO_THROW(Typed<TKVXExportToLotus>({Lotus::Cell{ctString, 65535, 255, QStringLiteral("last")}}));
    EXPECT_NO_THROW(Typed<TKVXExportToQuattroPro>({Quattro::Cell{ctString, 32767, 0, QStringLiteral("last")}}));
    const struct {
        std::function<void()> write;
        const char* limit;
    } cases[] = {
        {[&] { Typed<TKVXExportToLotus>({Lotus::Cell{ctBlank, 0, 256, QString()}}); }, "at most 256"},
        {[&] { Typed<TKVXExportToLotus>({Lotus::Cell{ctBlank, 65536, 0, QString()}}); }, "at most 65536"},
        {[&] { Typed<TKVXExportToQuattroPro>({Quattro::Cell{ctBlank, 32768, 0, QString()}}); }, "at most 32768"},
    };
    for (const auto& c : cases) {
        try {
            c.write();
            ADD_FAILURE() << "no error for " << c.limit;
        } catch (const EKVXError& e) {
            EXPECT_TRUE(e.Message().contains(QLatin1String(c.limit))) << e.Message().toStdString();
            EXPECT_TRUE(e.Message().contains(QStringLiteral("typed.wks"))) << e.Message().toStdString();
        }
    }
}

// By the format's own rule column 300 would be stored as column 44 and
// overwrite it: a grid wider than 256 columns fails and leaves the file
// that was there.
TEST_F(Worksheets, AGridOf300ColumnsFailsAndLeavesTheFileAsItWas)
{
    auto page = MakePage(12100, 100, [](TCanvas& c) {
        for (int k = 0; k < 300; ++k)
            Text(c, 20 + 40 * k, 20, QString::number(k));
    });
    for (const char* ext : {"wk1", "wq1"}) {
        const QString file = Path(QStringLiteral("wide.") + QLatin1String(ext));
        {
            QFile old(file);
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            old.write("the user's file");
        }
        std::unique_ptr<TKVXExportToLotus> writer = QLatin1String(ext) == u"wk1"
            ? std::make_unique<TKVXExportToLotus>()
            : std::make_unique<TKVXExportToQuattroPro>();
        try {
            ExportPages(*writer, {page.get()}, file);
            ADD_FAILURE() << ext << ": no error";
        } catch (const EKVXError& e) {
            EXPECT_TRUE(e.Message().contains(QStringLiteral("300 columns"))) << e.Message().toStdString();
            EXPECT_TRUE(e.Message().contains(QStringLiteral("at most 256"))) << e.Message().toStdString();
        }
        EXPECT_EQ(ReadAll(file), QByteArray("the user's file")) << ext;
        EXPECT_EQ(QDir(Path(QString())).entryList(QDir::Files).size(), 1) << ext << ": a temporary file was left";
        QFile::remove(file);
    }
}

// --- LibreOffice ------------------------------------------------------------------------

// Rows of LibreOffice's CSV (comma separated, quoted where needed, UTF-8).
QList<QStringList> CsvRows(const QByteArray& bytes)
{
    return test::ParseDelimited(QString::fromUtf8(bytes));
}

// Converts the files to CSV in one LibreOffice run; infilter as --infilter
// takes it (empty: LibreOffice's own detection). Skips without LibreOffice.
QList<QByteArray> ConvertToCsv(const QString& dir, const QStringList& files, const QString& infilter)
{
    const QString soffice = FindTool(QStringLiteral("soffice"));
    if (soffice.isEmpty())
        return {};
    QStringList args{QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(dir + QStringLiteral("/lo-profile")).toString(),
                     QStringLiteral("--headless"), QStringLiteral("--norestore")};
    if (!infilter.isEmpty())
        args << QStringLiteral("--infilter=") + infilter;
    // Comma (44) separated, quotes (34), UTF-8 (76).
    args << QStringLiteral("--convert-to") << QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76")
         << QStringLiteral("--outdir") << dir + QStringLiteral("/csv") << files;
    RunTool(soffice, args, 180000);
    QList<QByteArray> out;
    for (const QString& f : files)
        out << ReadAll(dir + QStringLiteral("/csv/") + QFileInfo(f).completeBaseName() + QStringLiteral(".csv"));
    return out;
}

// A 3 x 3 grid with a blank cell, a negative integer, a number with
// decimals and a label of 255 characters (from a text of 300).
void DrawGrid(TCanvas& c, const QString& greeting)
{
    Text(c, 20, 20, QStringLiteral("Name"));
    Text(c, 300, 20, QStringLiteral("Qty"));
    Text(c, 500, 20, QStringLiteral("Note"));
    Text(c, 20, 60, greeting);
    Text(c, 300, 60, QStringLiteral("-42"));
    Text(c, 20, 100, QStringLiteral("x"));
    Text(c, 300, 100, QStringLiteral("3.25"));
    Text(c, 500, 100, QString(300, u'L'));
}

TEST_F(Worksheets, LibreOfficeReadsTheCellsOfBothFormatsWhereTheyWereWritten)
{
    if (FindTool(QStringLiteral("soffice")).isEmpty())
        GTEST_SKIP() << "LibreOffice (soffice) is not installed; the worksheets are not read back";
    // Lotus labels in code page 1251; LibreOffice reads a WK1 in a DOS
    // code page unless told the character set (34: windows-1251).
    auto cyrillic = MakePage(3000, 200, [](TCanvas& c) { DrawGrid(c, QStringLiteral("Привет мир")); });
    TKVXExportToLotus lotus;
    lotus.CodePage = 1251;
    ExportPages(lotus, {cyrillic.get()}, Path(QStringLiteral("grid.wk1")));
    const QList<QByteArray> wk1 = ConvertToCsv(Path(QString()), {Path(QStringLiteral("grid.wk1"))}, QStringLiteral("Lotus:34"));
    // QuattroPro files take no character set: ASCII only. The empty files
    // of both formats must open too.
    auto latin = MakePage(3000, 200, [](TCanvas& c) { DrawGrid(c, QStringLiteral("Hello")); });
    TKVXExportToQuattroPro quattro;
    ExportPages(quattro, {latin.get()}, Path(QStringLiteral("grid.wq1")));
    auto empty = MakePage(400, 300, nullptr);
    TKVXExportToQuattroPro emptyQuattro;
    ExportPages(emptyQuattro, {empty.get()}, Path(QStringLiteral("emptyq.wq1")));
    TKVXExportToLotus emptyLotus;
    ExportPages(emptyLotus, {empty.get()}, Path(QStringLiteral("emptyl.wk1")));
    const QList<QByteArray> others = ConvertToCsv(
        Path(QString()), {Path(QStringLiteral("grid.wq1")), Path(QStringLiteral("emptyq.wq1")), Path(QStringLiteral("emptyl.wk1"))},
        QString());

    const QString longLabel(255, u'L');
    const auto expectGrid = [&](const QByteArray& csv, const QString& greeting, const char* what) {
        const QList<QStringList> rows = CsvRows(csv);
        ASSERT_EQ(rows.size(), 3) << what << ":\n" << csv.toStdString();
        EXPECT_EQ(rows[0], QStringList({"Name", "Qty", "Note"})) << what;
        EXPECT_EQ(rows[1], QStringList({greeting, "-42", ""})) << what;
        EXPECT_EQ(rows[2], QStringList({"x", "3.25", longLabel})) << what;
    };
    expectGrid(wk1.value(0), QStringLiteral("Привет мир"), "wk1");
    expectGrid(others.value(0), QStringLiteral("Hello"), "wq1");
    // An empty sheet converts to an empty CSV; a file LibreOffice refuses gives none.
    EXPECT_TRUE(QFile::exists(Path(QStringLiteral("csv/emptyq.csv")))) << "LibreOffice refused the empty WQ1";
    EXPECT_TRUE(QFile::exists(Path(QStringLiteral("csv/emptyl.csv")))) << "LibreOffice refused the empty WK1";
}

} // namespace
} // namespace vorel::test
