#pragma once
// Shared pieces of the preview tests: a component serving pages drawn by
// the tests (from the export tests' support), the pages' texts, and small
// helpers to look at what a widget painted.

#include "export/export_base.h" // the export support header expects it
#include "export/export_test_support.h"

#include <QImage>
#include <QWidget>

namespace vorel::test {

// Page i of bar j says "page i bar j"; page 2 (index) also says "SUBTOTAL:".
inline void SearchablePages(TPagesReport& report, int pages, int bars = 1)
{
    report.PageWidth = 400;
    report.PageHeight = 600;
    report.Bars = bars;
    report.Drawers.clear();
    for (int i = 0; i < pages; ++i)
        report.Drawers.push_back([](TCanvas& c, int page, int bar) {
            Text(c, 40, 40, QStringLiteral("page %1 bar %2").arg(page).arg(bar));
            if (page == 2)
                Text(c, 40, 300, QStringLiteral("SUBTOTAL:"));
        });
}

// The share of dark pixels (all channels below 100) in a part of an image.
inline double DarkShare(const QImage& image, const QRect& part)
{
    const QRect r = part.intersected(image.rect());
    if (r.isEmpty())
        return 0;
    int dark = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            dark += c.red() < 100 && c.green() < 100 && c.blue() < 100;
        }
    return double(dark) / (r.width() * r.height());
}

} // namespace vorel::test
