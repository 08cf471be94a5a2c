#pragma once
// Shared pieces of the export tests: pages drawn with the page canvas,
// hand-made EMF records for the record kinds the canvas never writes, a
// print component that serves given pages, golden files, and external tools.

#include "export/export_registry.h"
#include "frame/user_interface.h"
#include "frame/print_component.h"
#include "foundation/values/byte_io.h"
#include "graphics/metafile.h"
#include "graphics/metafile_canvas.h"
#include "support/golden.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace vorel::test {

using TPageDrawer = std::function<void(TCanvas&)>;

// A page recorded through the page canvas, as the print frame records them.
inline std::unique_ptr<TMetafile> MakePage(int widthPx, int heightPx, const TPageDrawer& draw)
{
    auto page = std::make_unique<TMetafile>();
    page->SetWidth(widthPx);
    page->SetHeight(heightPx);
    {
        TMetafileCanvas canvas(*page, QStringLiteral("Vorel tests"), QStringLiteral("export"));
        canvas.Font()->SetName(QStringLiteral("Arial"));
        canvas.Font()->SetSize(10);
        canvas.Font()->SetColor(clBlack);
        canvas.Brush()->SetStyle(bsClear);
        if (draw)
            draw(canvas);
    }
    return page;
}

// Text whose record bounds start at (x, y): the filters see them enlarged
// by one pixel, so the item's left and top are x - 1 and y - 1.
inline void Text(TCanvas& c, int x, int y, const QString& text)
{
    c.TextOut(x, y, text);
}

// --- hand-made records -------------------------------------------------------------

inline QByteArray Record(std::uint32_t type, const QByteArray& payload)
{
    QByteArray r;
    writeU32le(r, type);
    writeU32le(r, std::uint32_t(8 + payload.size()));
    r += payload;
    return r;
}

inline QByteArray Bounds(int left, int top, int right, int bottom)
{
    QByteArray b;
    writeU32le(b, std::uint32_t(left));
    writeU32le(b, std::uint32_t(top));
    writeU32le(b, std::uint32_t(right));
    writeU32le(b, std::uint32_t(bottom));
    return b;
}

// EMR_SMALLTEXTOUT at (x, y) without a clipping rectangle.
inline QByteArray SmallTextOut(int x, int y, const QString& text, unsigned options)
{
    constexpr unsigned kNoRect = 0x100, kSmallChars = 0x200;
    QByteArray p;
    writeU32le(p, std::uint32_t(x));
    writeU32le(p, std::uint32_t(y));
    writeU32le(p, std::uint32_t(text.size()));
    writeU32le(p, options | kNoRect);
    writeU32le(p, 1); // graphics mode
    writeF32le(p, 1);
    writeF32le(p, 1);
    for (QChar ch : text) {
        if (options & kSmallChars)
            writeU8(p, std::uint8_t(ch.unicode()));
        else
            writeU16le(p, ch.unicode());
    }
    while (p.size() % 4)
        writeU8(p, 0);
    return Record(EMR_SMALLTEXTOUT, p);
}

// EMR_EXTTEXTOUTA with the given bounds and 8-bit text.
inline QByteArray ExtTextOutA(const QByteArray& bounds, const QByteArray& text8)
{
    QByteArray p = bounds;
    writeU32le(p, 1); // graphics mode
    writeF32le(p, 1);
    writeF32le(p, 1);
    writeU32le(p, 0); // reference x, y
    writeU32le(p, 0);
    writeU32le(p, std::uint32_t(text8.size()));
    writeU32le(p, 76); // string offset from the record start
    writeU32le(p, 0); // options
    p += Bounds(0, 0, -1, -1);
    writeU32le(p, 0); // no dx
    p += text8;
    while (p.size() % 4)
        writeU8(p, 0);
    return Record(EMR_EXTTEXTOUTA, p);
}

inline QByteArray Simple(std::uint32_t type, std::uint32_t value)
{
    QByteArray p;
    writeU32le(p, value);
    return Record(type, p);
}

// A metafile of the given records (after the header, before EMR_EOF).
inline std::unique_ptr<TMetafile> MetafileOf(const QList<QByteArray>& records, int widthPx = 400, int heightPx = 300)
{
    TEmfWriter writer;
    for (const QByteArray& r : records)
        writer.Raw(r);
    const int w = widthPx * 2540 / 96, h = heightPx * 2540 / 96;
    auto m = std::make_unique<TMetafile>();
    m->LoadFromBytes(writer.Finish(TEmfBounds::Of(0, 0, widthPx - 1, heightPx - 1), {0, 0, w, h}, 4,
                                   QStringLiteral("test"), QStringLiteral("records")),
                     QStringLiteral("test records"));
    return m;
}

// --- a print component serving given pages ---------------------------------------------

class TPagesReport : public TKVPrintBaseComponent {
public:
    explicit TPagesReport(QObject* owner = nullptr) : TKVPrintBaseComponent(owner) { SetAnimatedStatus(false); }

    int PageWidth = 400; // report pixels
    int PageHeight = 300;
    int Bars = 1;
    // One drawer per page index; called with (page index, bar index).
    std::vector<std::function<void(TCanvas&, int page, int bar)>> Drawers;
    int Preparations = 0;

    void PrepareReport() override
    {
        TKVPrintBaseComponent::PrepareReport();
        ++Preparations;
        BeginDoc();
        for (int i = 0; i < int(Drawers.size()); ++i) {
            for (int j = 0; j < Bars; ++j) {
                auto page = std::make_unique<TPageInfo>();
                page->intNumPage = i;
                page->intNumBar = j;
                page->SetPageWidth(PageWidth);
                page->SetPageHeight(PageHeight);
                page->OffsetLeft = 10 + i;
                page->OffsetTop = 20 + j;
                page->OffsetRight = 30;
                page->OffsetBottom = 40;
                {
                    TMetafileCanvas canvas(*page->Data, QStringLiteral("Vorel tests"), QStringLiteral("page"));
                    canvas.Font()->SetName(QStringLiteral("Arial"));
                    canvas.Font()->SetSize(10);
                    canvas.Brush()->SetStyle(bsClear);
                    Drawers[std::size_t(i)](canvas, i, j);
                }
                Pages().Add(std::move(page));
            }
        }
        EndDoc();
        intCurPage = 0;
        intCurBar = 0;
    }
};

// Pages whose only text names them: "page <i> bar <j>".
inline void NamePages(TPagesReport& report, int pages, int bars = 1)
{
    report.Bars = bars;
    report.Drawers.clear();
    for (int i = 0; i < pages; ++i)
        report.Drawers.push_back([](TCanvas& c, int page, int bar) {
            Text(c, 40, 40, QStringLiteral("page %1 bar %2").arg(page).arg(bar));
        });
}

// Records the progress calls, without any output.
class TRecordingProgress : public THeadlessUserInterface {
public:
    QStringList Calls;
    bool CreateProgressDlg(int, const QString& caption, const QString& status, const QString& cancelCaption, int min,
                           int max, int position) override
    {
        Calls << QStringLiteral("create %1|%2|%3|%4|%5|%6").arg(caption, status, cancelCaption).arg(min).arg(max).arg(position);
        return true;
    }
    bool UpdateProgressDlg(const QString& status, int position) override
    {
        Calls << QStringLiteral("update %1|%2").arg(status).arg(position);
        return true;
    }
    bool DestroyProgressDlg() override
    {
        Calls << QStringLiteral("destroy");
        return true;
    }
};

// --- files --------------------------------------------------------------------------------

inline QByteArray ReadAll(const QString& fileName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

inline QString ReadUtf8(const QString& fileName)
{
    return QString::fromUtf8(ReadAll(fileName));
}

// Runs one filter over metafiles as ExportTo would, into one file.
inline void ExportPages(TKVXExport& filter, const std::vector<const TMetafile*>& pages, const QString& fileName)
{
    if (pages.empty())
        return;
    filter.PageWidth = pages.front()->Width();
    filter.PageHeight = pages.front()->Height();
    filter.TotalWidth = filter.PageWidth;
    filter.TotalHeight = filter.PageHeight * int(pages.size());
    filter.StartExport();
    for (int i = 0; i < int(pages.size()); ++i) {
        filter.NewPage(i, 0);
        filter.SetOffsetX(0);
        filter.SetOffsetY(pages[std::size_t(i)]->Height() * i);
        filter.EnumerateMetafile(*pages[std::size_t(i)]);
        filter.PageProcessed(*pages[std::size_t(i)]);
    }
    filter.SaveToFile(fileName);
    filter.EndExport();
}

using vorel::testing::ExpectGolden;

// An external program's result: exit code and both outputs.
struct TToolRun {
    bool Started = false;
    int ExitCode = -1;
    QByteArray Out;
    QByteArray Err;
};

inline TToolRun RunTool(const QString& program, const QStringList& args, int timeoutMs = 120000)
{
    TToolRun run;
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted())
        return run;
    run.Started = true;
    p.waitForFinished(timeoutMs);
    run.ExitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.Out = p.readAllStandardOutput();
    run.Err = p.readAllStandardError();
    return run;
}

inline QString FindTool(const QString& name)
{
    return QStandardPaths::findExecutable(name);
}

// Registers the built-in filters (library start-up does so once it calls
// RegisterBuiltinExports; doing it again only re-registers them in order).
class ExportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterBuiltinExports();
        ASSERT_TRUE(FDir.isValid());
    }
    QString Path(const QString& name) const { return FDir.filePath(name); }
    QTemporaryDir FDir;
};

} // namespace vorel::test
