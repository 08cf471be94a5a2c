#pragma once
// Shared helpers of the PDF writer tests (beside those of all export tests):
// pages drawn with the recording canvas, the export calling contract with
// any number of pages, the real consumers (qpdf and the poppler tools,
// skipped with a message when absent) and a readable dump of a file's
// objects for the golden test.

#include "export/pdf_export.h"
#include "export_test_support.h"
#include "graphics/metafile.h"
#include "graphics/metafile_canvas.h"

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <vector>

namespace vorel::pdftest {

// A4 in report pixels (1/96 inch): 210 x 297 mm rounded up to whole pixels.
constexpr int kA4Width = 794;
constexpr int kA4Height = 1123;

inline TMetafile MakePage(const std::function<void(TCanvas&)>& draw, int width = kA4Width, int height = kA4Height)
{
    TMetafile page;
    page.SetWidth(width);
    page.SetHeight(height);
    TMetafileCanvas canvas(page, QStringLiteral("Vorel"), QStringLiteral("test page"));
    canvas.Brush()->SetStyle(bsClear); // text without a background cell
    draw(canvas);
    canvas.Close();
    return page;
}

inline void SetFont(TCanvas& canvas, const QString& name, int points, TFontStyles style = {},
    TFontCharset charset = DEFAULT_CHARSET, TColor color = clBlack)
{
    TFont font;
    font.SetName(name);
    font.SetSize(points);
    font.SetStyle(style);
    font.SetCharset(charset);
    font.SetColor(color);
    canvas.SetFont(&font);
}

// The print component's export loop for one bar: page size, StartExport,
// per page NewPage, offsets, the records, PageProcessed; SaveToFile; EndExport.
inline void ExportPages(TKVXExportToPDF& filter, const std::vector<TMetafile>& pages, const QString& fileName)
{
    const int width = pages.empty() ? kA4Width : pages.front().Width();
    const int height = pages.empty() ? kA4Height : pages.front().Height();
    filter.PageWidth = width;
    filter.PageHeight = height;
    filter.TotalWidth = width;
    filter.TotalHeight = height * int(pages.size());
    filter.StartExport();
    for (std::size_t i = 0; i < pages.size(); ++i) {
        filter.NewPage(int(i), 0);
        filter.SetOffsetX(0);
        filter.SetOffsetY(height * int(i));
        filter.EnumerateMetafile(pages[i]);
        filter.PageProcessed(pages[i]);
    }
    filter.SaveToFile(fileName);
    filter.EndExport();
}

using test::ExpectGolden;
using test::ReadAll;
using test::RunTool;

inline bool HaveTool(const QString& program) { return !test::FindTool(program).isEmpty(); }

#define VOREL_REQUIRE_TOOL(program)                                                                       \
    do {                                                                                                  \
        if (!::vorel::pdftest::HaveTool(QStringLiteral(program)))                                          \
            GTEST_SKIP() << program " is not installed (Debian: qpdf, poppler-utils); consumer check skipped"; \
    } while (0)

// qpdf --check: the structure, every cross-reference offset and every
// stream length. Returns the tool's complaint, empty when it passes.
inline QString QpdfComplaint(const QString& fileName)
{
    const test::TToolRun r = RunTool(QStringLiteral("qpdf"), {QStringLiteral("--check"), fileName});
    if (r.ExitCode == 0 && !r.Out.contains("WARNING") && !r.Err.contains("WARNING"))
        return {};
    return QString::fromUtf8(r.Out + r.Err);
}

// The text poppler reads from the file, in reading order (-layout keeps
// the lines of a page as they stand).
inline QString PdfText(const QString& fileName, bool layout = false)
{
    QStringList args;
    if (layout)
        args << QStringLiteral("-layout");
    args << QStringLiteral("-enc") << QStringLiteral("UTF-8") << fileName << QStringLiteral("-");
    return QString::fromUtf8(RunTool(QStringLiteral("pdftotext"), args).Out);
}

inline QString PdfInfo(const QString& fileName)
{
    return QString::fromUtf8(RunTool(QStringLiteral("pdfinfo"), {fileName}).Out);
}

// One value line of pdfinfo ("Pages", "Page size", "Title", ...).
inline QString PdfInfoValue(const QString& info, const QString& key)
{
    const QRegularExpression re(QStringLiteral("^%1:\\s*(.*)$").arg(QRegularExpression::escape(key)),
        QRegularExpression::MultilineOption);
    const auto m = re.match(info);
    return m.hasMatch() ? m.captured(1).trimmed() : QString();
}

// A stream's data after its filters, as qpdf decodes it.
inline std::optional<QByteArray> DecodedStream(const QString& fileName, int object)
{
    const test::TToolRun r = RunTool(QStringLiteral("qpdf"),
        {QStringLiteral("--show-object=%1").arg(object), QStringLiteral("--filtered-stream-data"), fileName});
    if (r.ExitCode != 0)
        return std::nullopt;
    return r.Out;
}

// Every object of a file (found through its cross-reference table) as
// text: its number, then its lines up to "endobj", stream data shown as
// it stands when it is page content and as a byte count otherwise. The
// dates are masked, so the dump stays the same from run to run.
QString DumpObjects(const QByteArray& pdf);

} // namespace vorel::pdftest
