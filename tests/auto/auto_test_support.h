#pragma once
// Shared pieces of the automatic report tests: A4 pages with known margins,
// a memory data set, and the texts and lines of the pages.

#include "auto/print_data.h"
#include "data/memory_dataset.h"
#include "support/page_dump.h"

#include <gtest/gtest.h>

namespace vorel::autotest {

using vorel::testing::PageItem;
using vorel::testing::PageItems;

// A4 with margins in 0.1 mm; no progress display.
inline void UsePage(TKVPrintBaseComponent& report, int left = 100, int top = 100, int right = 100, int bottom = 100)
{
    report.SetAnimatedStatus(false);
    report.PrinterSetting()->SetPaperSize(psA4);
    TKVXPageMargins* margins = report.PrinterSetting()->Margins();
    margins->SetByDefault(false);
    margins->SetLeft(left);
    margins->SetTop(top);
    margins->SetRight(right);
    margins->SetBottom(bottom);
}

inline std::vector<PageItem> Texts(const TPageInfo& page)
{
    return PageItems(*page.Data, false);
}

inline QStringList TextsOf(const TPageInfo& page)
{
    QStringList texts;
    for (const PageItem& item : Texts(page))
        texts << item.Text;
    return texts;
}

inline std::vector<PageItem> Lines(const TPageInfo& page)
{
    std::vector<PageItem> lines;
    for (const PageItem& item : PageItems(*page.Data, true))
        if (item.Kind == QStringLiteral("line"))
            lines.push_back(item);
    return lines;
}

// Every text of every page, in page-list order.
inline QStringList AllTexts(const TKVPrintBaseComponent& report)
{
    QStringList texts;
    for (int i = 0; i < report.Pages().Count(); ++i)
        texts += TextsOf(*report.Pages().Items(i));
    return texts;
}

} // namespace vorel::autotest
