#pragma once
// Reading prepared pages back for tests: every page metafile walked with the
// EMF enumerator into a readable listing of what it draws, one item a line:
//
//   text  x y  font  "text"      (EMR_EXTTEXTOUTW: reference point, logical font now selected)
//   line  x1 y1 x2 y2            (EMR_MOVETOEX + EMR_LINETO)
//   rect  left top right bottom  (EMR_RECTANGLE; also roundrect, ellipse)
//
// and the golden-file comparison the listings are checked with:
// tests/data/golden/<name>.expected.txt holds the expected text; a mismatch
// writes <name>.actual.txt beside it; VOREL_UPDATE_GOLDEN=1 rewrites the
// expected file instead (review the diff before committing it).

#include "frame/print_component.h"
#include "foundation/values/byte_io.h"
#include "graphics/emf_enumerator.h"
#include "graphics/metafile.h"
#include "support/golden.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

namespace vorel::testing {

struct PageItem {
    QString Kind; // "text", "line", "rect", "roundrect", "ellipse"
    int X = 0, Y = 0, X2 = 0, Y2 = 0;
    QString Font; // face/height/weight[/italic] for texts
    QString Text;
};

inline QString FontKey(const TLogFont& font)
{
    QString key = QStringLiteral("%1/%2/%3").arg(font.FaceName).arg(font.Height).arg(font.Weight);
    if (font.Italic)
        key += QStringLiteral("/i");
    return key;
}

// The items of one page, in drawing order.
inline std::vector<PageItem> PageItems(const TMetafile& metafile, bool withShapes = true)
{
    std::vector<PageItem> items;
    TEmfEnumerator e(metafile);
    while (e.Next()) {
        if (!e.RecordValid())
            continue;
        const ByteView& r = e.Record().Bytes;
        switch (e.Record().Type) {
        case EMR_EXTTEXTOUTW: {
            PageItem item;
            item.Kind = QStringLiteral("text");
            item.X = r.i32le(36);
            item.Y = r.i32le(40);
            const std::uint32_t count = r.u32le(44);
            const std::uint32_t offset = r.u32le(48);
            if (r.Fits(offset, std::uint64_t(count) * 2))
                for (std::uint32_t i = 0; i < count; ++i)
                    item.Text.append(QChar(char16_t(r.u16le(offset + 2 * i))));
            item.Font = FontKey(e.State().Font);
            items.push_back(item);
            break;
        }
        case EMR_LINETO:
            if (withShapes)
                items.push_back({QStringLiteral("line"), e.PositionBefore().X, e.PositionBefore().Y, r.i32le(8),
                                 r.i32le(12), {}, {}});
            break;
        case EMR_RECTANGLE:
        case EMR_ROUNDRECT:
        case EMR_ELLIPSE:
            if (withShapes) {
                const std::uint32_t type = e.Record().Type;
                const QString kind = type == EMR_RECTANGLE ? QStringLiteral("rect")
                                   : type == EMR_ROUNDRECT ? QStringLiteral("roundrect")
                                                           : QStringLiteral("ellipse");
                items.push_back({kind, r.i32le(8), r.i32le(12), r.i32le(16), r.i32le(20), {}, {}});
            }
            break;
        default: break;
        }
    }
    return items;
}

inline QString ItemLine(const PageItem& item)
{
    if (item.Kind == QStringLiteral("text"))
        return QStringLiteral("text %1 %2 %3 \"%4\"").arg(item.X).arg(item.Y).arg(item.Font, item.Text);
    return QStringLiteral("%1 %2 %3 %4 %5").arg(item.Kind).arg(item.X).arg(item.Y).arg(item.X2).arg(item.Y2);
}

// Every page of the component in page-list order, with a heading line per
// page ("page 1 bar 0 816x1056").
inline QString DumpPages(const TKVPrintBaseComponent& component, bool withShapes = true)
{
    QString out;
    const TPageList& pages = component.Pages();
    for (int i = 0; i < pages.Count(); ++i) {
        const TPageInfo* page = pages.Items(i);
        out += QStringLiteral("page %1 bar %2 %3x%4\n")
                   .arg(page->intNumPage + 1)
                   .arg(page->intNumBar)
                   .arg(page->PageWidth())
                   .arg(page->PageHeight());
        for (const PageItem& item : PageItems(*page->Data, withShapes))
            out += QStringLiteral("  ") + ItemLine(item) + u'\n';
    }
    return out;
}

// The texts of one page, in drawing order.
inline QStringList PageTexts(const TMetafile& metafile)
{
    QStringList texts;
    for (const PageItem& item : PageItems(metafile, false))
        texts << item.Text;
    return texts;
}

// Compares a page listing with its golden file (see support/golden.h).
inline void ExpectGoldenText(const QString& name, const QString& actual)
{
    ExpectGolden(name, actual);
}

} // namespace vorel::testing
