// Export benchmark: a report of many pages, each a table of 50 rows by 4
// columns drawn through the page canvas, exported whole into one file by
// every text writer, and saved and loaded as a prepared report.
//
//   build/bin/export_pages [pages] [folder]     (default 500 pages, /tmp)

#include "export/csv_export.h"
#include "export/html_export.h"
#include "export/text_export.h"
#include "export/xml_export.h"
#include "frame/print_component.h"
#include "graphics/metafile_canvas.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <cstdio>

using namespace vorel;

namespace {

class TBenchReport : public TKVPrintBaseComponent {
public:
    int PageCount = 500;
    void PrepareReport() override
    {
        TKVPrintBaseComponent::PrepareReport();
        BeginDoc();
        int row = 0;
        for (int i = 0; i < PageCount; ++i) {
            auto page = std::make_unique<TPageInfo>();
            page->intNumPage = i;
            page->SetPageWidth(794); // A4 at 96 dpi
            page->SetPageHeight(1123);
            {
                TMetafileCanvas c(*page->Data, QStringLiteral("bench"), QStringLiteral("page"));
                c.Font()->SetName(QStringLiteral("Arial"));
                c.Font()->SetSize(10);
                c.Brush()->SetStyle(bsClear);
                c.Font()->SetStyle(fsBold);
                c.TextOut(40, 30, QStringLiteral("Orders, page %1").arg(i + 1));
                c.Font()->SetStyle({});
                for (int r = 0; r < 50; ++r, ++row) {
                    const int y = 70 + 20 * r;
                    c.TextOut(40, y, QStringLiteral("%1").arg(100000 + row));
                    c.TextOut(140, y, QStringLiteral("Customer %1 & Sons").arg(row % 997));
                    c.TextOut(420, y, QStringLiteral("2024-%1-%2").arg(1 + row % 12, 2, 10, QLatin1Char('0')).arg(1 + row % 28, 2, 10, QLatin1Char('0')));
                    c.TextOut(600, y, QString::number((row * 37 % 100000) / 100.0, 'f', 2));
                }
            }
            Pages().Add(std::move(page));
        }
        EndDoc();
        intCurPage = 0;
    }
};

double Seconds(QElapsedTimer& t)
{
    return t.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    TBenchReport report;
    report.SetAnimatedStatus(false);
    report.PageCount = argc > 1 ? std::max(1, atoi(argv[1])) : 500;
    const QString folder = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("/tmp");
    QElapsedTimer t;
    t.start();
    report.PrepareReport();
    std::printf("pages: %d (201 texts each), drawing them: %.2f s\n", report.PageCount, Seconds(t));
    QList<int> all;
    for (int n = 1; n <= report.PageCount; ++n)
        all << n;
    struct Writer {
        const char* name;
        const QMetaObject* cls;
        const char* ext;
    };
    const Writer writers[] = {{"text", &TKVXExportToText::staticMetaObject, "txt"},
                              {"csv", &TKVXExportToCSV::staticMetaObject, "csv"},
                              {"html", &TKVXExportToHTML::staticMetaObject, "htm"},
                              {"xml", &TKVXExportToXML::staticMetaObject, "xml"}};
    for (const Writer& w : writers) {
        const QString file = folder + QStringLiteral("/vorel_bench.") + QString::fromLatin1(w.ext);
        t.restart();
        report.ExportTo(file, false, w.cls, all);
        const double s = Seconds(t);
        std::printf("%-5s one file: %.2f s (%.1f us a text)\n", w.name, s, s * 1e6 / (report.PageCount * 201.0));
        QFile::remove(file);
    }
    const QString zpg = folder + QStringLiteral("/vorel_bench.zpg");
    t.restart();
    report.SavePreparedReport(zpg);
    std::printf("save .zpg: %.2f s (%lld bytes)\n", Seconds(t), QFileInfo(zpg).size());
    TBenchReport loaded;
    t.restart();
    loaded.LoadPreparedReport(zpg);
    std::printf("load .zpg: %.2f s\n", Seconds(t));
    QFile::remove(zpg);
    return 0;
}
