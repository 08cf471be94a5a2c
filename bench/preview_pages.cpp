// Preview benchmark: a report of many table pages (as export_pages draws
// them) painted by the preview: one page at several zooms, every page as a
// thumbnail, a global search that walks every page, and the window opened
// with its thumbnail strip and painted once.
//
//   build/bin/preview_pages [pages]     (default 500 pages)

#include "frame/print_component.h"
#include "graphics/metafile_canvas.h"
#include "preview/page_paint.h"
#include "preview/preview_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
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
                c.TextOut(40, 30, QStringLiteral("Orders, page %1").arg(i + 1));
                for (int r = 0; r < 50; ++r, ++row) {
                    const int y = 70 + 20 * r;
                    c.TextOut(40, y, QString::number(100000 + row));
                    c.TextOut(140, y, QStringLiteral("Customer %1 & Sons").arg(row % 997));
                    c.TextOut(600, y, QString::number((row * 37 % 100000) / 100.0, 'f', 2));
                    c.MoveTo(40, y + 18);
                    c.LineTo(754, y + 18);
                }
                if (i == PageCount - 1)
                    c.TextOut(40, 1090, QStringLiteral("GRAND TOTAL:"));
            }
            Pages().Add(std::move(page));
        }
        EndDoc();
        intCurPage = 0;
        intCurBar = 0;
    }
};

double Ms(const QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TBenchReport report;
    report.SetAnimatedStatus(false);
    if (argc > 1)
        report.PageCount = std::max(1, atoi(argv[1]));
    report.Prepare();
    const TPageInfo& first = *report.GetPage(0, 0);

    for (int zoom : {100, 200, 400}) {
        const QSize size(794 * zoom / 100, 1123 * zoom / 100);
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        QElapsedTimer t;
        t.start();
        constexpr int kRepeat = 20;
        for (int i = 0; i < kRepeat; ++i) {
            QPainter p(&image);
            PaintPage(p, first, size, {});
        }
        std::printf("one page at %d%%: %.2f ms\n", zoom, Ms(t) / kRepeat);
    }
    {
        QImage thumb(47, 66, QImage::Format_ARGB32_Premultiplied);
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < report.PageCount; ++i) {
            QPainter p(&thumb);
            PaintPage(p, *report.GetPage(i, 0), thumb.size(), {});
        }
        std::printf("%d thumbnails: %.1f ms (%.3f ms each)\n", report.PageCount, Ms(t), Ms(t) / report.PageCount);
    }
    TfrmKVPreview window;
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    window.resize(1000, 760);
    QElapsedTimer t;
    t.start();
    window.SetReport(&report, false);
    window.show();
    window.actThumbnails->setChecked(true);
    const QImage shot = window.grab().toImage();
    std::printf("window opened with thumbnails and painted: %.1f ms\n", Ms(t));
    t.restart();
    window.grab();
    std::printf("window painted again: %.1f ms\n", Ms(t));
    t.restart();
    const bool found = window.Preview()->Search({QStringLiteral("grand total"), TFindMode::AnyPosition, false, true});
    std::printf("global search through %d pages (%s): %.1f ms\n", report.PageCount, found ? "found" : "not found",
                Ms(t));
    return shot.isNull() ? 1 : 0;
}
