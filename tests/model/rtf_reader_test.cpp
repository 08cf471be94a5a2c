// The RTF reader: what a document holds after reading RTF, plain text and
// HTML, and that damaged or hostile input never crashes, hangs or grows.
#include "model/rtf_reader.h"

#include <QBuffer>
#include <QImage>
#include <QRandomGenerator>
#include <QTextBlock>
#include <QTextDocument>
#include <QUrl>
#include <gtest/gtest.h>

namespace vorel {
namespace {

struct TextRun {
    QString Text;
    QTextCharFormat Format;
};

QTextDocument* Read(QTextDocument& doc, const QByteArray& rtf)
{
    ReadRtf(doc, rtf, TRichTextDefaults());
    return &doc;
}

std::vector<TextRun> Runs(const QTextDocument& doc)
{
    std::vector<TextRun> runs;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            runs.push_back({it.fragment().text(), it.fragment().charFormat()});
    return runs;
}

QStringList Blocks(const QTextDocument& doc)
{
    QStringList blocks;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        blocks << b.text();
    return blocks;
}

QString Family(const QTextCharFormat& f) { return f.property(QTextFormat::FontFamilies).toStringList().value(0); }

const TextRun* FindRun(const std::vector<TextRun>& runs, const QString& text)
{
    for (const TextRun& r : runs)
        if (r.Text == text)
            return &r;
    return nullptr;
}

// Silences the image decoders' warnings about the broken pictures a test
// feeds on purpose, for the test's duration.
class QuietWarnings {
public:
    QuietWarnings() : FPrevious(qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {})) {}
    ~QuietWarnings() { qInstallMessageHandler(FPrevious); }

private:
    QtMessageHandler FPrevious;
};

// --- character formatting ---------------------------------------------------------

TEST(RtfReader, GroupsScopeCharacterFormatting)
{
    QTextDocument doc;
    Read(doc, "{\\rtf1 plain {\\b bold {\\i both}} \\ul under\\ulnone  \\strike gone\\strike0  \\fs30 big\\plain  reset}");
    const auto runs = Runs(doc);
    struct Row {
        const char* text;
        bool bold, italic, underline, strike;
        qreal points;
    };
    // \fs counts half points; \plain returns to 12 points, no style.
    const Row rows[] = {
        {"plain ", false, false, false, false, 12},
        {"bold ", true, false, false, false, 12},
        {"both", true, true, false, false, 12},
        {" ", false, false, false, false, 12},
        {"under", false, false, true, false, 12},
        {" ", false, false, false, false, 12},
        {"gone", false, false, false, true, 12},
        {" ", false, false, false, false, 12},
        {"big", false, false, false, false, 15},
        {" reset", false, false, false, false, 12}, // \\plain takes one delimiting blank
    };
    ASSERT_EQ(runs.size(), std::size(rows)) << Blocks(doc).join('|').toStdString();
    for (size_t i = 0; i < runs.size(); ++i) {
        SCOPED_TRACE(rows[i].text);
        EXPECT_EQ(runs[i].Text, QString::fromLatin1(rows[i].text));
        EXPECT_EQ(runs[i].Format.fontWeight() >= QFont::Bold, rows[i].bold);
        EXPECT_EQ(runs[i].Format.fontItalic(), rows[i].italic);
        EXPECT_EQ(runs[i].Format.fontUnderline(), rows[i].underline);
        EXPECT_EQ(runs[i].Format.fontStrikeOut(), rows[i].strike);
        EXPECT_DOUBLE_EQ(runs[i].Format.fontPointSize(), rows[i].points);
    }
}

TEST(RtfReader, FontAndColourTables)
{
    QTextDocument doc;
    Read(doc,
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}{\\f1\\froman\\fcharset204{\\*\\panose 0}"
        "Times New Roman;}{\\f2\\fmodern;}}"
        "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green128\\blue0;;}"
        "\\f1\\cf2 green times\\f0\\cf1  red arial\\f2\\cf0  auto mono\\f7\\cf3  unknown\\cf99  beyond}");
    const auto runs = Runs(doc);
    struct Row {
        const char* text;
        const char* family;
        int charset; // -1: none stored
        QColor color; // invalid: automatic (no foreground)
    };
    // A font without a name takes its family's face; an unknown font number
    // the default font (\deff); \cf0, an empty colour entry and an index
    // past the table are the automatic colour.
    const Row rows[] = {
        {"green times", "Times New Roman", 204, QColor(0, 128, 0)},
        {" red arial", "Arial", 0, QColor(255, 0, 0)},
        {" auto mono", "Courier New", -1, QColor()},
        {" unknown beyond", "Arial", 0, QColor()}, // the same formatting: one run
    };
    ASSERT_EQ(runs.size(), std::size(rows));
    for (size_t i = 0; i < runs.size(); ++i) {
        SCOPED_TRACE(rows[i].text);
        const QTextCharFormat& f = runs[i].Format;
        EXPECT_EQ(runs[i].Text, QString::fromLatin1(rows[i].text));
        EXPECT_EQ(Family(f), QString::fromLatin1(rows[i].family));
        EXPECT_EQ(f.hasProperty(kRichTextCharsetProperty) ? f.intProperty(kRichTextCharsetProperty) : -1, rows[i].charset);
        if (rows[i].color.isValid())
            EXPECT_EQ(f.foreground().color(), rows[i].color);
        else
            EXPECT_EQ(f.foreground().style(), Qt::NoBrush);
    }
}

TEST(RtfReader, ColourTableEntryWithoutItsSemicolonCounts)
{
    QTextDocument doc;
    Read(doc, "{\\rtf1{\\colortbl;\\red0\\green0\\blue255}{\\cf1 x}}");
    const auto runs = Runs(doc);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].Format.foreground().color(), QColor(0, 0, 255));
}

TEST(RtfReader, HiddenTextAndBackgrounds)
{
    QTextDocument doc;
    Read(doc, "{\\rtf1{\\colortbl;\\red255\\green255\\blue0;}shown{\\v  hidden} {\\highlight1 marked}}");
    EXPECT_EQ(Blocks(doc), QStringList{"shown marked"});
    const TextRun* marked = FindRun(Runs(doc), "marked");
    ASSERT_NE(marked, nullptr);
    EXPECT_EQ(marked->Format.background().color(), QColor(255, 255, 0));
}

// --- paragraphs -------------------------------------------------------------------

TEST(RtfReader, ParagraphsTakeTheFormattingInForceAtTheirMark)
{
    QTextDocument doc;
    Read(doc,
        "{\\rtf1\\pard\\qc centred\\par\\pard\\qr right\\par\\qj\\li720\\ri360\\fi-360\\sb120\\sa240 justified"
        "\\par\\pard plain {\\qc centred in a group, left at the mark}\\par last}");
    ASSERT_EQ(Blocks(doc), (QStringList{"centred", "right", "justified", "plain centred in a group, left at the mark", "last"}));
    struct Row {
        Qt::Alignment align;
        qreal left, right, indent, before, after; // report pixels: twips / 15
    };
    const Row rows[] = {
        {Qt::AlignHCenter, 0, 0, 0, 0, 0},
        {Qt::AlignRight, 0, 0, 0, 0, 0},
        {Qt::AlignJustify, 48, 24, -24, 8, 16},
        {Qt::AlignLeft, 0, 0, 0, 0, 0},
        {Qt::AlignLeft, 0, 0, 0, 0, 0},
    };
    int i = 0;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next(), ++i) {
        SCOPED_TRACE(b.text().toStdString());
        const QTextBlockFormat f = b.blockFormat();
        EXPECT_EQ(f.alignment() & Qt::AlignHorizontal_Mask, rows[i].align);
        EXPECT_DOUBLE_EQ(f.leftMargin(), rows[i].left);
        EXPECT_DOUBLE_EQ(f.rightMargin(), rows[i].right);
        EXPECT_DOUBLE_EQ(f.textIndent(), rows[i].indent);
        EXPECT_DOUBLE_EQ(f.topMargin(), rows[i].before);
        EXPECT_DOUBLE_EQ(f.bottomMargin(), rows[i].after);
    }
}

TEST(RtfReader, ParagraphMarksLineBreaksAndTabs)
{
    struct Row {
        const char* rtf;
        QStringList blocks;
    };
    const Row rows[] = {
        // The document's last paragraph mark adds no empty paragraph.
        {"{\\rtf1 one\\par two\\par}", {"one", "two"}},
        {"{\\rtf1 one\\par\\par two}", {"one", "", "two"}},
        {"{\\rtf1 one\\line two\\tab three}", {QString("one") + QChar(0x2028) + "two\tthree"}},
        // A backslash before a line end is a paragraph mark; bare line ends are nothing.
        {"{\\rtf1 one\\\ntwo\r\nthree}", {"one", "twothree"}},
        // Table rows end paragraphs, cells are tab-separated.
        {"{\\rtf1\\trowd\\cellx1000\\cellx2000 a\\cell b\\cell\\row\\trowd c\\cell\\row}", {"a\tb\t", "c\t"}},
        {"{\\rtf1}", {""}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.rtf);
        QTextDocument doc;
        Read(doc, row.rtf);
        EXPECT_EQ(Blocks(doc), row.blocks);
    }
}

TEST(RtfReader, EmptyParagraphKeepsTheSizeOfItsMark)
{
    QTextDocument doc;
    Read(doc, "{\\rtf1 small\\par\\fs48\\par\\fs20 last}");
    ASSERT_EQ(Blocks(doc), (QStringList{"small", "", "last"}));
    EXPECT_DOUBLE_EQ(doc.findBlockByNumber(1).charFormat().fontPointSize(), 24);
}

TEST(RtfReader, TabStopsAndLineSpacing)
{
    QTextDocument doc;
    Read(doc, "{\\rtf1\\deftab360\\tx2880\\tx1440\\sl-360 a\\tab b}");
    const QTextBlockFormat f = doc.begin().blockFormat();
    ASSERT_EQ(f.tabPositions().size(), 2);
    EXPECT_DOUBLE_EQ(f.tabPositions()[0].position, 96);
    EXPECT_DOUBLE_EQ(f.tabPositions()[1].position, 192);
    EXPECT_EQ(f.lineHeightType(), QTextBlockFormat::FixedHeight);
    EXPECT_DOUBLE_EQ(f.lineHeight(), 24);
    EXPECT_DOUBLE_EQ(doc.defaultTextOption().tabStopDistance(), 24);
}

// --- characters -------------------------------------------------------------------

TEST(RtfReader, CharactersFromEscapesAndCodePages)
{
    struct Row {
        const char* rtf;
        QString text;
    };
    const Row rows[] = {
        // \uN with the \ucN count of fallback characters skipped.
        {"{\\rtf1 \\u1046?x}", QString::fromUtf8("Жx")},
        {"{\\rtf1\\uc2 \\u1046??x}", QString::fromUtf8("Жx")},
        {"{\\rtf1\\uc0 \\u1046 x}", QString::fromUtf8("Жx")},
        {"{\\rtf1 \\u8364\\'80 euro}", QString::fromUtf8("€ euro")}, // the fallback \'hh is skipped
        {"{\\rtf1 \\u-3913?}", QString(QChar(0xF0B7))}, // negative: the upper half of 16 bits
        {"{\\rtf1 \\u55357?\\u56832?}", QString::fromUtf8("😀")}, // a surrogate pair
        {"{\\rtf1 {\\uc3 \\u1046?}x}", QString::fromUtf8("Жx")}, // a group end stops skipping
        {"{\\rtf1 \\u56832?}", QString(QChar(0xFFFD))}, // an unpaired surrogate
        // \'hh in the document's code page: 1252 by default.
        {"{\\rtf1\\ansi caf\\'e9 \\'80}", QString::fromUtf8("café €")},
        {"{\\rtf1\\ansi\\ansicpg1251 \\'c0\\'e1\\'e2}", QString::fromUtf8("Абв")},
        {"{\\rtf1\\ansi\\ansicpg1250 \\'9a\\'e8}", QString::fromUtf8("šč")},
        // A font's character set names its own code page; ANSI fonts take the document's.
        {"{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset204 Arial;}}\\f1\\'c0\\f0\\'c0}", QString::fromUtf8("АÀ")},
        {"{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fcharset0 Arial;}}\\f0\\'c0}", QString::fromUtf8("А")},
        // Double-byte code pages: an ASCII letter may be a trail byte.
        {"{\\rtf1\\ansi\\ansicpg932 \\'82\\'a0\\'88\\'9f\\'83A}", QString::fromUtf8("あ亜ア")},
        // Raw bytes above 0x7F are code page bytes too.
        {"{\\rtf1\\ansi\\ansicpg1251 \xc0\xe1}", QString::fromUtf8("Аб")},
        // Control symbols.
        {"{\\rtf1 a\\~b\\-c\\_d\\{\\}\\\\}", QString("a") + QChar(0xA0) + "b" + QChar(0xAD) + "c" + QChar(0x2011) + "d{}\\"},
        {"{\\rtf1 \\emdash\\endash\\bullet\\lquote\\rquote\\ldblquote\\rdblquote}", QString::fromUtf8("—–•‘’“”")},
        // Decoded control characters do not split the paragraph.
        {"{\\rtf1 a\\'0ab\\u13?c}", "abc"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.rtf);
        QTextDocument doc;
        Read(doc, row.rtf);
        EXPECT_EQ(Blocks(doc).join('|'), row.text);
    }
}

TEST(RtfReader, FieldTextFromAStringKeepsItsCharacters)
{
    // A field holds text, not bytes: characters above 0x7F are themselves.
    QTextDocument doc;
    EXPECT_EQ(LoadRichText(doc, QString::fromUtf8("{\\rtf1\\ansi\\ansicpg1252 Grüße \\'e9}"), TRichTextDefaults()),
        TRichTextKind::Rtf);
    EXPECT_EQ(doc.toPlainText(), QString::fromUtf8("Grüße é"));
}

// --- destinations -----------------------------------------------------------------

TEST(RtfReader, DestinationsThatAreNotShownAreSkipped)
{
    QTextDocument doc;
    Read(doc,
        "{\\rtf1{\\*\\generator Writer;}{\\info{\\title Title}{\\author Me}}{\\stylesheet{\\s0 Normal;}}"
        "{\\header Head\\par}{\\footer Foot\\par}{\\*\\unknowndest hidden {nested}}"
        "{\\*\\pn\\pnlvlblt{\\pntxtb x}}{\\pntext\\'b7\\tab}Item "
        "{\\field{\\*\\fldinst HYPERLINK \"http://a\"}{\\fldrslt link}} "
        "{\\*\\bkmkstart b}{\\footnote note}{\\pict\\wmetafile8 0102}"
        "bin{\\*\\data\\bin4 }}{x}end}");
    EXPECT_EQ(doc.toPlainText(), QString::fromUtf8("·\tItem link binend"));
}

// --- pictures ---------------------------------------------------------------------

QByteArray ImageBytes(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QImage TestImage()
{
    QImage image(4, 3, QImage::Format_RGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            image.setPixel(x, y, qRgb(x * 60, y * 100, 200));
    return image;
}

struct Picture {
    QImage Image;
    qreal Width = 0, Height = 0;
};

std::vector<Picture> Pictures(const QTextDocument& doc)
{
    std::vector<Picture> pictures;
    for (const TextRun& r : Runs(doc)) {
        if (!r.Format.isImageFormat())
            continue;
        const QTextImageFormat f = r.Format.toImageFormat();
        pictures.push_back({doc.resource(QTextDocument::ImageResource, QUrl(f.name())).value<QImage>(), f.width(), f.height()});
    }
    return pictures;
}

TEST(RtfReader, PngAndJpegPicturesWithTheirSizes)
{
    const QImage image = TestImage();
    const QByteArray png = ImageBytes(image, "PNG").toHex();
    const QByteArray jpeg = ImageBytes(image, "JPEG").toHex();
    struct Row {
        QByteArray rtf;
        qreal width, height; // report pixels
    };
    const Row rows[] = {
        // The goal size in twips (/ 15), else the picture's pixels.
        {"{\\rtf1 a{\\pict\\pngblip\\picw4\\pich3\\picwgoal600\\pichgoal450\n" + png + "}b}", 40, 30},
        {"{\\rtf1 a{\\pict\\pngblip " + png + "}b}", 4, 3},
        {"{\\rtf1 a{\\pict\\pngblip\\picwgoal600\\pichgoal450\\picscalex50\\picscaley200 " + png + "}b}", 20, 60},
        {"{\\rtf1 a{\\*\\shppict{\\pict\\jpegblip " + jpeg + "}}{\\nonshppict{\\pict\\wmetafile8 0000}}b}", 4, 3},
        // No blip word: the bytes say what they are.
        {"{\\rtf1 a{\\pict " + png + "}b}", 4, 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.rtf.left(80).toStdString());
        QTextDocument doc;
        Read(doc, row.rtf);
        EXPECT_EQ(doc.toPlainText(), QString("a") + QChar(0xFFFC) + "b");
        const auto pictures = Pictures(doc);
        ASSERT_EQ(pictures.size(), 1u);
        EXPECT_EQ(pictures[0].Image.size(), QSize(4, 3));
        EXPECT_DOUBLE_EQ(pictures[0].Width, row.width);
        EXPECT_DOUBLE_EQ(pictures[0].Height, row.height);
    }
    QTextDocument doc;
    Read(doc, "{\\rtf1{\\pict\\pngblip " + png + "}}");
    const auto pictures = Pictures(doc);
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures[0].Image.convertToFormat(QImage::Format_RGB32), image); // PNG is lossless
}

TEST(RtfReader, BrokenPicturesAreLeftOut)
{
    QuietWarnings quiet;
    QByteArray png = ImageBytes(TestImage(), "PNG");
    const QByteArray cut = png.left(png.size() / 2).toHex();
    png[20] = char(png[20] ^ 0x55); // the header's CRC no longer matches
    const QByteArray rows[] = {
        "{\\rtf1 a{\\pict\\pngblip " + cut + "}b}",
        "{\\rtf1 a{\\pict\\pngblip " + png.toHex() + "}b}",
        "{\\rtf1 a{\\pict\\jpegblip zz 12 3}b}",
        "{\\rtf1 a{\\pict\\emfblip 0100000000}b}",
        "{\\rtf1 a{\\pict\\pngblip}b}",
    };
    for (const QByteArray& rtf : rows) {
        SCOPED_TRACE(rtf.left(60).toStdString());
        QTextDocument doc;
        Read(doc, rtf);
        EXPECT_EQ(doc.toPlainText(), "ab");
        EXPECT_TRUE(Pictures(doc).empty());
    }
}

// --- other content ----------------------------------------------------------------

TEST(RichTextContent, KindIsDetectedFromTheBytes)
{
    EXPECT_EQ(DetectRichTextKind("{\\rtf1 x}"), TRichTextKind::Rtf);
    EXPECT_EQ(DetectRichTextKind("\xEF\xBB\xBF \r\n{\\rtf1 x}"), TRichTextKind::Rtf);
    EXPECT_EQ(DetectRichTextKind("  <html><b>x</b></html>"), TRichTextKind::Html);
    EXPECT_EQ(DetectRichTextKind("{\\rt"), TRichTextKind::PlainText);
    EXPECT_EQ(DetectRichTextKind("plain {\\rtf1}"), TRichTextKind::PlainText);
    EXPECT_EQ(DetectRichTextKind(""), TRichTextKind::PlainText);
}

TEST(RichTextContent, PlainTextTakesTheDefaultsFontAndAlignment)
{
    TRichTextDefaults defaults;
    defaults.FontName = QStringLiteral("Courier New");
    defaults.PointSize = 9;
    defaults.Style = fsBold;
    defaults.Alignment = taCenter;
    struct Row {
        QByteArray bytes;
        QStringList blocks;
    };
    const Row rows[] = {
        {"one\r\ntwo\rthree\nfour\n", {"one", "two", "three", "four"}}, // a final line break adds nothing
        {"caf\xe9", {QString::fromUtf8("café")}}, // not UTF-8: the code page
        {"caf\xc3\xa9", {QString::fromUtf8("café")}},
        {"\xEF\xBB\xBFx\n\ny", {"x", "", "y"}},
        {QByteArray("\xFF\xFEx\0\n\0y\0", 8), {"x", "y"}},
        {"", {""}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.bytes.toStdString());
        QTextDocument doc;
        EXPECT_EQ(LoadRichText(doc, row.bytes, defaults), TRichTextKind::PlainText);
        EXPECT_EQ(Blocks(doc), row.blocks);
        for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
            EXPECT_EQ(b.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
            EXPECT_EQ(Family(b.charFormat()), "Courier New");
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                EXPECT_EQ(Family(it.fragment().charFormat()), "Courier New");
                EXPECT_DOUBLE_EQ(it.fragment().charFormat().fontPointSize(), 9);
                EXPECT_EQ(it.fragment().charFormat().fontWeight(), QFont::Bold);
            }
        }
    }
}

TEST(RichTextContent, HtmlIsAccepted)
{
    QTextDocument doc;
    EXPECT_EQ(LoadRichText(doc, QByteArray("<p>plain <b>bold</b></p>"), TRichTextDefaults()), TRichTextKind::Html);
    EXPECT_EQ(doc.toPlainText(), "plain bold");
    const TextRun* bold = FindRun(Runs(doc), "bold");
    ASSERT_NE(bold, nullptr);
    EXPECT_EQ(bold->Format.fontWeight(), QFont::Bold);
}

TEST(RichTextContent, MissingFileLeavesTheDocumentAlone)
{
    QTextDocument doc;
    SetPlainRichText(doc, "kept", TRichTextDefaults());
    EXPECT_FALSE(LoadRichTextFile(doc, "/nonexistent/rich.rtf", TRichTextDefaults()));
    EXPECT_EQ(doc.toPlainText(), "kept");
}

// --- bad input --------------------------------------------------------------------

TEST(RtfReader, DamagedInputKeepsWhatWasRead)
{
    struct Row {
        QByteArray rtf;
        QString text; // the plain text read
    };
    const QByteArray deep = QByteArray(100000, '{') + "deep" + QByteArray(100000, '}');
    const Row rows[] = {
        {"{\\rtf1 {\\b abc", "abc"}, // truncated inside a group
        {"{\\rtf1 abc\\", "abc"}, // truncated after a backslash
        {"{\\rtf1 abc\\'e", "abc"}, // truncated inside \'hh (the half byte is dropped)
        {"{\\rtf1 a}}}}b{{{", "a"}, // text after the document's group is not the document's
        {"}}}{\\rtf1 x}", "x"}, // closing braces before any group
        // Numbers saturate; \uN out of range is a replacement character (and d its fallback).
        {"{\\rtf1 a\\fs99999999999999999999 b\\li-99999999999999 c\\u99999999999 d}", QString("abc") + QChar(0xFFFD)},
        {"{\\rtf1 before " + deep + " after}", "before  after"}, // groups past the depth limit are dropped
        {"{\\rtf1 x" + QByteArray(100000, '{'), "x"}, // never closed
        {"{\\rtf1 x\\bin999999999 abc}", "x"}, // \bin longer than the input
        {"{\\rtf1 " + QByteArray(40, 'a').prepend('\\') + " y}", "y"}, // an over-long control word
        {"{\\rtf1 a{\\*b}\\foo c}", "abc"}, // \* before text marks nothing: \foo later skips no group
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.rtf.left(60).toStdString());
        QTextDocument doc;
        Read(doc, row.rtf);
        EXPECT_EQ(doc.toPlainText(), row.text);
    }
}

TEST(RtfReader, RandomBytesNeverCrash)
{
    QuietWarnings quiet;
    // Random bytes, and random mutations of a real document: reading must
    // end, and the document must hold no more characters than the input
    // had bytes.
    const QByteArray seed = "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fcharset204 Arial;}}{\\colortbl;\\red1\\green2\\blue3;}"
                            "\\pard\\qc\\li100 \\f0\\fs24\\cf1 text \\'c0 \\u1046? {\\b bold}\\par{\\pict\\pngblip 89504e47}"
                            "\\tab\\line{\\*\\x y}}";
    QRandomGenerator random(20240611);
    const char alphabet[] = "{}\\'*0123456789abcdefuxrtfplainbinpict -;\r\n";
    for (int round = 0; round < 400; ++round) {
        QByteArray bytes;
        if (round % 2 == 0) {
            const int n = random.bounded(1, 3000);
            for (int i = 0; i < n; ++i)
                bytes.append(round % 4 == 0 ? char(random.bounded(256)) : alphabet[random.bounded(int(sizeof alphabet) - 1)]);
        } else {
            bytes = seed;
            for (int i = 0; i < 8; ++i)
                bytes[random.bounded(int(bytes.size()))] = char(random.bounded(256));
        }
        QTextDocument doc;
        ReadRtf(doc, bytes, TRichTextDefaults());
        EXPECT_LE(doc.characterCount(), bytes.size() + 1) << "round " << round;
    }
}

} // namespace
} // namespace vorel
