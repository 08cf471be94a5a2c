// The byte layer of the PDF writer: number, name and string spelling, the
// object writer's offsets and lengths, the stream encoders (checked by
// qpdf decoding them) and the split of texts into code-page runs.

#include "export/pdf_code_pages.h"
#include "export/pdf_filters.h"
#include "export/pdf_object_writer.h"
#include "pdf_test_support.h"

#include <QRandomGenerator>
#include <zlib.h>

namespace vorel {
namespace {

using namespace pdftest;

TEST(PdfSpelling, RealsHaveAtMostThreeDecimalsAndNoTrailingZeros)
{
    const struct {
        double Value;
        const char* Text;
    } cases[] = {
        {595.5, "595.5"}, // 794 pixels x 0.75
        {842.25, "842.25"}, // 1123 pixels x 0.75
        {12.0, "12"},
        {0.0, "0"},
        {-0.0001, "0"}, // rounds to zero: no "-0"
        {-0.25, "-0.25"},
        {1.0 / 3.0, "0.333"},
        {2.0 / 3.0, "0.667"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PdfReal(c.Value), QByteArray(c.Text)) << c.Value;
}

// The spelling is built from integer thousandths; it must agree with the
// C library's "%.3f" of the rounded value (trailing zeros and point
// dropped) everywhere, including halves of a thousandth, negatives, page
// coordinates and values too large for the integer path.
TEST(PdfSpelling, RealsAgreeWithThePrintfSpelling)
{
    auto printfSpelling = [](double value) {
        const double rounded = std::round(value * 1000.0) / 1000.0;
        if (rounded == 0)
            return QByteArray("0");
        char buffer[400];
        QByteArray text(buffer, std::snprintf(buffer, sizeof buffer, "%.3f", rounded));
        while (text.endsWith('0'))
            text.chop(1);
        if (text.endsWith('.'))
            text.chop(1);
        return text;
    };
    std::vector<double> values = {0.0005, -0.0005, 0.0015, 1.0005, 2.675, 999.9995, -999.9995, 1e12 + 0.5,
                                  -3e14, 1e15, 1.5e16, 123456789.125, 0.1, 0.7, 100.0, -100.001, 1e300,
                                  -1.7976931348623157e308};
    for (int pixels = -50; pixels < 4000; ++pixels) {
        values.push_back(pixels * 0.75); // report pixels to PDF units
        values.push_back(pixels * 0.75 + 8.25 / 3);
    }
    QRandomGenerator random(20240611);
    for (int i = 0; i < 20000; ++i)
        values.push_back((random.generateDouble() - 0.5) * std::pow(10.0, random.bounded(-4, 16)));
    for (const double value : values)
        ASSERT_EQ(PdfReal(value), printfSpelling(value)) << value;
}

TEST(PdfSpelling, ColourComponentsHaveExactlyThreeDecimals)
{
    EXPECT_EQ(PdfColorComponent(0), "0.000");
    EXPECT_EQ(PdfColorComponent(255), "1.000");
    EXPECT_EQ(PdfColorComponent(128), "0.502");
    EXPECT_EQ(PdfRgb(0x0000FF), "1.000 0.000 0.000"); // 0x00BBGGRR: red
    EXPECT_EQ(PdfRgb(0xFF0000), "0.000 0.000 1.000");
}

TEST(PdfSpelling, LiteralStringsEscapeParenthesesBackslashesAndControls)
{
    EXPECT_EQ(PdfLiteralString("Total (net)"), "(Total \\(net\\))");
    EXPECT_EQ(PdfLiteralString("C:\\reports\\"), "(C:\\\\reports\\\\)");
    EXPECT_EQ(PdfLiteralString(")("), "(\\)\\()");
    EXPECT_EQ(PdfLiteralString("a\r\nb\tc"), "(a\\r\\nb\\tc)");
    EXPECT_EQ(PdfLiteralString(QByteArray("\x01\x1F", 2)), "(\\001\\037)");
    EXPECT_EQ(PdfLiteralString("\xCF\xF0"), "(\xCF\xF0)"); // code-page bytes stand as they are
}

TEST(PdfSpelling, TextStringsUseUtf16WhenPdfDocEncodingLacksACharacter)
{
    EXPECT_EQ(PdfTextString(u"Sales (2024)"), "(Sales \\(2024\\))");
    EXPECT_EQ(PdfTextString(u"Caf\u00E9"), "(Caf\xE9)");
    EXPECT_EQ(PdfTextString(u"\u041E\u0442\u0447\u0451\u0442"), "<FEFF041E0442044704510442>");
    EXPECT_EQ(PdfTextString(u"\u20AC"), "<FEFF20AC>"); // the euro sign is not Latin-1
    EXPECT_EQ(PdfTextString(u""), "()");
}

TEST(PdfSpelling, NamesEscapeDelimitersAndSpaces)
{
    EXPECT_EQ(PdfName("Helvetica-Russian"), "/Helvetica-Russian");
    EXPECT_EQ(PdfName("Times New(Roman)"), "/Times#20New#28Roman#29");
}

// A file of one stream object through the writer, as a sink collects it.
QByteArray OneStreamFile(const QByteArray& dictEntries, const QByteArray& data)
{
    QByteArray file;
    TPdfWriter pdf([&file](QByteArrayView b) { file.append(b); });
    pdf.ReserveUpTo(3);
    pdf.WriteString("%PDF-1.2");
    pdf.BeginObject(1);
    pdf.WriteString("<< /Type /Catalog /Pages 3 0 R >>");
    pdf.EndObject();
    pdf.BeginObject(2);
    pdf.WriteString("<< >>");
    pdf.EndObject();
    pdf.BeginObject(3);
    pdf.WriteString("<< /Type /Pages /Kids [ ] /Count 0 >>");
    pdf.EndObject();
    const int stream = pdf.GetNextRefIndex();
    const int length = pdf.GetNextRefIndex();
    pdf.WriteStreamObject(stream, dictEntries, data, length);
    pdf.WriteXrefAndTrailer("/Root 1 0 R /Info 2 0 R");
    return file;
}

TEST(PdfObjectWriter, EveryOffsetPointsAtItsObjectAndLengthsAreExact)
{
    const QByteArray data = "BT\r\n(ends with a line break)\r\n";
    const QByteArray file = OneStreamFile({}, data);
    const QString dump = DumpObjects(file);
    // Each entry's offset starts its own "N 0 obj" line; the dump would
    // say "missing" otherwise.
    EXPECT_FALSE(dump.contains(QStringLiteral("missing"))) << dump.toStdString();
    const qsizetype xref = file.lastIndexOf("\nxref\r\n") + 1; // not the one in "startxref"
    const QList<QByteArray> lines = file.mid(xref).split('\n');
    for (int i = 1; i <= 5; ++i) {
        const qint64 offset = lines[2 + i].left(10).toLongLong();
        EXPECT_TRUE(file.mid(offset).startsWith(QByteArray::number(i) + " 0 obj\r\n")) << "object " << i;
        EXPECT_EQ(lines[2 + i].size(), 19) << "an entry is 20 bytes with its CR LF";
    }
    // The length object holds the data's size, the line end before
    // "endstream" being no part of it.
    const qsizetype at = file.indexOf("stream\r\n") + 8;
    EXPECT_EQ(file.mid(at, data.size()), data);
    EXPECT_TRUE(file.mid(at + data.size()).startsWith("\r\nendstream"));
    EXPECT_TRUE(file.contains("5 0 obj\r\n" + QByteArray::number(data.size()) + "\r\nendobj"));
    const qint64 startxref = file.mid(file.lastIndexOf("startxref") + 11).split('\r').first().toLongLong();
    EXPECT_EQ(startxref, xref);
    EXPECT_TRUE(file.endsWith("%%EOF\r\n"));

    VOREL_REQUIRE_TOOL("qpdf");
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("one.pdf"));
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(file);
    f.close();
    EXPECT_EQ(QpdfComplaint(name), QString());
}

TEST(PdfObjectWriter, RefusesObjectsNumberedButNotWrittenOrWrittenTwice)
{
    QByteArray file;
    TPdfWriter pdf([&file](QByteArrayView b) { file.append(b); });
    const int a = pdf.GetNextRefIndex();
    const int b = pdf.GetNextRefIndex();
    pdf.BeginObject(a);
    pdf.EndObject();
    EXPECT_THROW(pdf.BeginObject(a), EKVXError);
    EXPECT_THROW(pdf.WriteXrefAndTrailer({}), EKVXError); // b was never written
    pdf.BeginObject(b);
    pdf.EndObject();
    EXPECT_NO_THROW(pdf.WriteXrefAndTrailer({}));
    EXPECT_THROW(pdf.BeginObject(99), EKVXError); // never numbered
}

TEST(PdfObjectWriter, ContentLinesAreCountedApartFromTheFile)
{
    QByteArray file;
    TPdfWriter pdf([&file](QByteArrayView b) { file.append(b); });
    pdf.WriteString("%PDF-1.2");
    pdf.SetInContent(true);
    pdf.WriteString("BT");
    pdf.WriteString("ET");
    EXPECT_EQ(pdf.ContentCount(), 8);
    EXPECT_EQ(pdf.FileCount(), 10);
    EXPECT_EQ(pdf.TotalCount(), 18);
    EXPECT_THROW(pdf.AddRef(pdf.GetNextRefIndex()), EKVXError); // no object starts inside content
    pdf.SetInContent(false);
    EXPECT_EQ(pdf.TakeContent(), "BT\r\nET\r\n");
    EXPECT_EQ(pdf.ContentCount(), 0);
}

TEST(PdfFilters, AsciiEncodingsFollowTheirDefinitions)
{
    EXPECT_EQ(EncodeASCIIHex(QByteArray("\x00\x7F\xFF", 3)), "007FFF>");
    EXPECT_EQ(EncodeASCIIHex(QByteArray(40, '\x11')).count("\r\n"), 1); // 78 digits a line
    // The classic example of the base-85 definition.
    EXPECT_EQ(EncodeASCII85("Man "), "9jqo^~>");
    EXPECT_EQ(EncodeASCII85(QByteArray(8, '\0')), "zz~>");
    EXPECT_EQ(EncodeASCII85("M"), "9`~>"); // a last group of one byte gives two characters
    EXPECT_EQ(EncodeASCII85(""), "~>");
}

TEST(PdfFilters, FlateIsARealZlibStream)
{
    const QByteArray data = QByteArray("0.000 0.000 0.000 rg\r\n").repeated(500);
    const QByteArray packed = EncodeFlate(data);
    EXPECT_LT(packed.size(), data.size() / 10);
    QByteArray back(data.size(), '\0');
    uLongf size = uLongf(back.size());
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(back.data()), &size,
                  reinterpret_cast<const Bytef*>(packed.constData()), uLong(packed.size())),
        Z_OK);
    EXPECT_EQ(back, data);
}

// Data that fills the LZW table several times over: words from a small
// vocabulary with random bytes between them.
QByteArray MixedData(int size)
{
    QRandomGenerator random(42);
    const char* words[] = {"Total ", "Amount ", "Invoice ", "0.000 ", "BT ET ", "\r\n"};
    QByteArray data;
    while (data.size() < size) {
        data += words[random.bounded(6)];
        data += char(random.bounded(256));
    }
    return data;
}

TEST(PdfFilters, EveryEncodingDecodesBackThroughQpdf)
{
    VOREL_REQUIRE_TOOL("qpdf");
    QTemporaryDir dir;
    const QByteArray data = MixedData(300000);
    const struct {
        TKVXECompression Compression;
        const char* Name;
    } cases[] = {{seASCIIHex, "hex"}, {seASCII85, "a85"}, {seLZW, "lzw"}, {seFlate, "flate"}};
    for (const auto& c : cases) {
        const QByteArray encoded = EncodeStream(data, c.Compression, cmNormal);
        const QString name = dir.filePath(QString::fromLatin1(c.Name) + QStringLiteral(".pdf"));
        QFile f(name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(OneStreamFile("/Filter /" + PdfFilterName(c.Compression), encoded));
        f.close();
        EXPECT_EQ(QpdfComplaint(name), QString()) << c.Name;
        const auto decoded = DecodedStream(name, 4);
        ASSERT_TRUE(decoded.has_value()) << c.Name;
        EXPECT_EQ(decoded->size(), data.size()) << c.Name;
        EXPECT_TRUE(*decoded == data) << c.Name;
    }
}

TEST(PdfFilters, LzwOfShortInputsDecodes)
{
    VOREL_REQUIRE_TOOL("qpdf");
    QTemporaryDir dir;
    for (const QByteArray& data : {QByteArray(), QByteArray("A"), QByteArray("ABABABA"), QByteArray(5000, 'x')}) {
        const QString name = dir.filePath(QStringLiteral("short.pdf"));
        QFile f(name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(OneStreamFile("/Filter /LZWDecode", EncodeLZW(data)));
        f.close();
        const auto decoded = DecodedStream(name, 4);
        ASSERT_TRUE(decoded.has_value()) << data.size();
        EXPECT_EQ(*decoded, data) << data.size();
    }
}

TEST(PdfCodePages, TextsSplitIntoRunsOfOneCodePageEach)
{
    const struct {
        const char16_t* Text;
        int Preferred;
        QList<int> CodePages;
        const char* Note;
    } cases[] = {
        {u"Hello", 1252, {1252}, "Western text stays in one run"},
        {u"\u041F\u0440\u0438\u0432\u0435\u0442, \u043C\u0438\u0440", 1252, {1251}, "Russian text under a Western code page"},
        {u"\u041F\u0440\u0438\u0432\u0435\u0442", 1251, {1251}, "Russian text in a Russian font"},
        {u"Total: 5 \u20AC \u2014 \u0418\u0442\u043E\u0433\u043E", 1252, {1251}, "1251 has the euro and the dash too"},
        {u"Caf\u00E9 \u041C\u043E\u0441\u043A\u0432\u0430", 1252, {1252, 1251}, "no code page has both"},
        {u"\u0391\u03B8\u03AE\u03BD\u03B1 \u041C\u043E\u0441\u043A\u0432\u0430", 1252, {1253, 1251}, "Greek, then Cyrillic"},
        {u"\u017Dlu\u0165ou\u010Dk\u00FD k\u016F\u0148", 1252, {1250}, "Czech letters"},
    };
    for (const auto& c : cases) {
        const QList<TPdfTextRun> runs = SplitIntoCodePageRuns(QStringView(c.Text), c.Preferred);
        QList<int> pages;
        for (const TPdfTextRun& run : runs)
            pages.append(run.CodePage);
        EXPECT_EQ(pages, c.CodePages) << c.Note;
        // Every run decodes back to its part of the text.
        QString back;
        for (const TPdfTextRun& run : runs) {
            for (const char b : run.Bytes)
                back += QChar(TPdfCodePage::Get(run.CodePage).Decode(std::uint8_t(b)));
        }
        EXPECT_EQ(back, QString::fromUtf16(c.Text)) << c.Note;
    }
}

TEST(PdfCodePages, CharactersNoCodePageHasBecomeQuestionMarks)
{
    const QList<TPdfTextRun> runs = SplitIntoCodePageRuns(u"A\u6F22B", 1252);
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs[0].Bytes, "A?B");
}

TEST(PdfCodePages, UndefinedCodesHoldNoCharacter)
{
    EXPECT_EQ(TPdfCodePage::Get(1251).Decode(0x98), 0); // undefined in code page 1251
    EXPECT_EQ(TPdfCodePage::Get(1251).Decode(0xC0), u'\u0410');
    EXPECT_EQ(TPdfCodePage::Get(1251).Encode(u'\u0451'), 0xB8); // small io
    EXPECT_EQ(TPdfCodePage::Get(1252).Encode(u'\u0410'), -1);
    EXPECT_EQ(TPdfCodePage::Get(1252).Encode(u'\u20AC'), 0x80);
}

} // namespace
} // namespace vorel
