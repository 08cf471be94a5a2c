// Barcodes read back by real readers: a form (text form, so the stored
// property names are what a user writes) with every symbology is rendered
// to PDF by the vorel tool, rasterised by pdftoppm at 300 dpi (a 2 px
// module is 6 image pixels) and decoded by zbarimg, and by dmtxread for Data
// Matrix (PDF417, which zbar cannot decode, is checked by its rows in
// tests/model/barcode_test.cpp). Data a symbology cannot hold draws nothing and is named in the
// tool's warning lines. Skips when a reader is not installed
// (scripts/setup.sh installs them).

#include "support/tool_run.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vorel {
namespace {

struct Symbol {
    const char* name;
    const char* type;
    const char* value;   // Value, or empty when Expression names the field
    const char* extra;   // further properties, text form lines
    const char* decoded; // what the reader reports: "TYPE:data"
};

// Two columns of symbols in the title band; the field-driven one in the
// detail band reads the CSV's only row.
const Symbol kSymbols[] = {
    {"Code39", "bcCode39", "abc-1", "WideWidth = 5", "CODE-39:ABC-1"},
    {"I25", "bcInterleaved2of5", "12345", "WideWidth = 5", "I2/5:012345"},
    {"UpcA", "bcUPCA", "03600029145", "ShowText = True", "UPC-A:036000291452"},
    {"Code128", "bcCode128", "Vorel 128/x", "", "CODE-128:Vorel 128/x"},
    {"Gs1", "bcGS1128", "(01)09501101530003", "", "CODE-128:0109501101530003"},
    {"Ean13", "bcEAN13", "590123412345", "ShowText = True", "EAN-13:5901234123457"},
    {"Ean8", "bcEAN8", "9638507", "", "EAN-8:96385074"},
    // zbar reports a UPC-E as the UPC-A it stands for once UPC-A is enabled.
    {"UpcE", "bcUPCE", "0123456", "", "UPC-A:012345000065"},
    {"Qr", "bcQRCode", "https://example.org/vorel – Grüße", "QRLevel = qlH", "QR-Code:https://example.org/vorel – Grüße"},
    // zbar finds PDF417 symbols but cannot decode them; tests/model checks its rows.
    {"Pdf", "bcPDF417", "Vorel PDF417", "", nullptr},
    {"Vertical", "bcCode128", "TURNED", "Vertical = True", "CODE-128:TURNED"},
    {"Dm", "bcDataMatrix", "Vorel Data Matrix", "", nullptr}, // dmtxread
    // Refused: nothing drawn, a warning each.
    {"BadEan", "bcEAN13", "5901234123458", "", nullptr},
    {"LongQr", "bcQRCode", nullptr, "QRLevel = qlH", nullptr},
};

// A text-form string: printable ASCII quoted, every other character as #code.
QString Quoted(const QString& text)
{
    QString out;
    bool open = false;
    for (QChar c : text) {
        const bool plain = c.unicode() >= 32 && c.unicode() < 127 && c != u'\'';
        if (plain != open)
            out += u'\'';
        open = plain;
        out += plain ? QString(c) : QStringLiteral("#%1").arg(c.unicode());
    }
    return open ? out + u'\'' : out;
}

QString FormText()
{
    QString form = QStringLiteral("object Labels: TKVReport\n  DataSet = Rows\n  DataManager = Data\n"
                                  "  object Title: TKVXBand\n    BandType = btReportTitle\n    Left = 0\n"
                                  "    Width = 720\n    Height = 960\n");
    int i = 0;
    for (const Symbol& s : kSymbols) {
        const bool vertical = QByteArray(s.extra).contains("Vertical");
        const QString value = s.value ? QString::fromUtf8(s.value) : QString(3000, u'x');
        form += QStringLiteral("    object %1: TKVBarCode\n      BarCodeType = %2\n      Value = %3\n"
                               "      NarrowWidth = 2\n      Left = %4\n      Top = %5\n      Width = %6\n"
                               "      Height = %7\n      %8\n    end\n")
                    .arg(QString::fromLatin1(s.name), QString::fromLatin1(s.type), Quoted(value))
                    .arg(i % 2 ? 380 : 20)
                    .arg(20 + (i / 2) * 120)
                    .arg(vertical ? 60 : 320)
                    .arg(vertical ? 300 : 90)
                    .arg(QString::fromLatin1(s.extra));
        ++i;
    }
    form += QStringLiteral("  end\n  object Detail: TKVXBand\n    BandType = btDetail\n    Left = 0\n    Width = 720\n"
                           "    Height = 120\n    object FromField: TKVBarCode\n      BarCodeType = bcCode128\n"
                           "      Expression = 'Rows.code'\n      NarrowWidth = 2\n      Left = 20\n"
                           "      Top = 10\n      Width = 400\n      Height = 90\n    end\n  end\n"
                           "  object Rows: TCsvDataSet\n    FileName = 'rows.csv'\n  end\n"
                           "  object Data: TKVXDataManager\n    Datasets = <\n      item\n        Dataset = Rows\n"
                           "        Caption = 'Rows'\n      end>\n  end\nend\n");
    return form;
}

QString RunProgram(const QString& program, const QStringList& args, int* exitCode = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, args);
    process.waitForFinished(120000);
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromUtf8(process.readAllStandardOutput());
}

TEST(BarCodeDecode, EverySymbologyReadsBackFromTheRenderedPdf)
{
    for (const char* tool : {"pdftoppm", "zbarimg", "dmtxread"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            GTEST_SKIP() << tool << " is not installed (scripts/setup.sh installs it)";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    {
        QFile form(dir.filePath(QStringLiteral("labels.kvx")));
        ASSERT_TRUE(form.open(QIODevice::WriteOnly));
        form.write(FormText().toUtf8());
        QFile csv(dir.filePath(QStringLiteral("rows.csv")));
        ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
        csv.write("code\nFIELD-4711\n");
    }
    const ToolRun render = Vorel({QStringLiteral("render"), dir.filePath(QStringLiteral("labels.kvx")),
                                  QStringLiteral("-o"), dir.filePath(QStringLiteral("labels.pdf"))});
    ASSERT_EQ(render.ExitCode, 0) << render.Err.toStdString();
    // One warning for each refused symbol, naming the control and the reason.
    EXPECT_TRUE(render.Err.contains(QStringLiteral("warning: Title.BadEan: EAN-13 \"5901234123458\" not drawn: "
                                                   "invalid check digit '8', expecting '7'")))
        << render.Err.toStdString();
    EXPECT_TRUE(render.Err.contains(QStringLiteral("warning: Title.LongQr: QR Code \"")))
        << render.Err.toStdString();
    EXPECT_EQ(render.Err.count(QStringLiteral("warning:")), 2) << render.Err.toStdString();

    int exitCode = -1;
    RunProgram(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("300"), QStringLiteral("-gray"),
                                     QStringLiteral("-png"), QStringLiteral("-f"), QStringLiteral("1"),
                                     QStringLiteral("-l"), QStringLiteral("1"),
                                     dir.filePath(QStringLiteral("labels.pdf")), dir.filePath(QStringLiteral("page"))},
        &exitCode);
    ASSERT_EQ(exitCode, 0);
    const QStringList pages = QDir(dir.path()).entryList({QStringLiteral("page*.png")});
    ASSERT_EQ(pages.size(), 1);
    const QString png = dir.filePath(pages.first());

    // UPC-A is reported as such only when asked for (else as EAN-13 with a leading 0).
    const QStringList decoded = RunProgram(QStringLiteral("zbarimg"), {QStringLiteral("-q"), QStringLiteral("-Supca.enable"),
                                                                QStringLiteral("-Si25.enable"), png})
                                    .split(u'\n', Qt::SkipEmptyParts);
    for (const Symbol& s : kSymbols) {
        if (s.decoded) {
            EXPECT_TRUE(decoded.contains(QString::fromUtf8(s.decoded)))
                << s.name << ": " << s.decoded << " not among\n" << decoded.join(u'\n').toStdString();
        }
    }
    EXPECT_TRUE(decoded.contains(QStringLiteral("CODE-128:FIELD-4711"))) << "the field's text";
    EXPECT_EQ(RunProgram(QStringLiteral("dmtxread"), {QStringLiteral("-n"), QStringLiteral("-N1"), png}).trimmed(),
              u"Vorel Data Matrix");
}

} // namespace
} // namespace vorel
