// Saving and exporting prepared pages: the save/export dialog (through the
// user-interface interface) and ExportTo, which drives an export filter over
// the chosen pages.

#include "export/export_base.h"
#include "export/export_registry.h"
#include "foundation/locale/code_page.h"
#include "foundation/values/limits.h"
#include "frame/user_interface.h"
#include "frame/prepared_pages_p.h"
#include "frame/print_component.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <limits>

namespace vorel {

namespace {
constexpr int kTextCancel = 1104;         // "&Cancel"
constexpr int kTextAllFiles = 2056;       // "All files (*.*)|*.*"
constexpr int kTextExporting = 2074;      // "Exporting..."
constexpr int kTextExportingPage = 2075;  // "Exporting %d page on the %dst bar..."
constexpr int kTextPreparedFormat = 2164; // "Vorel generated"
} // namespace

void TKVPrintBaseComponent::ExportTo(const QString& fileName, bool oneFilePerPage, const QMetaObject* exportClass,
                                     const QList<int>& pages)
{
    TCancelScope cancel(*this);
    if (!exportClass || !exportClass->inherits(&TKVXExport::staticMetaObject))
        throw EKVXError(QStringLiteral("%1 is not an export filter")
                            .arg(exportClass ? MetaClassName(exportClass) : QStringLiteral("(none)")));
    QObject* created = exportClass->newInstance(Q_ARG(QObject*, this));
    if (!created)
        throw EKVXError(QStringLiteral("Cannot create the export filter %1").arg(MetaClassName(exportClass)));
    std::unique_ptr<TKVXExport> filter(static_cast<TKVXExport*>(created));
    filter->Properties()->Assign(KVProperty());
    const int lang = GetLanguageShift();
    filter->CodePage = EffectiveCodePage(lang);
    // Before the application's handler, which may change them.
    for (int k = 0; k < Outlines()->Count(); ++k) {
        const TKVXOutline* outline = Outlines()->GetOutline(k);
        filter->Outlines.append({outline->Text(), outline->PageNo(), outline->BarNo(), outline->Top()});
    }
    if (OnExportFilter)
        OnExportFilter(this, *filter);

    const std::vector<TPageInfo*> listed = PagesInOrder(FPages, &pages);
    const int numBars = GetNumBars();
    // The progress position of a page: it runs over every page and bar
    // (in 64 bits: a prepared stream may claim millions of bars).
    const auto progressStep = [numBars](int page, int bar) {
        const std::int64_t step = std::int64_t(std::max(1, numBars)) * page + bar;
        return int(std::clamp<std::int64_t>(step, 0, std::numeric_limits<int>::max()));
    };

    // The progress dialog goes away also when the filter raises.
    struct Progress {
        bool shown = false;
        ~Progress()
        {
            if (shown)
                DestroyProgressDlg();
        }
    } progress;
    if (AnimatedStatus()) {
        const QString caption = KVProperty()->Title().isEmpty() ? ProductVersion() : KVProperty()->Title();
        // The position runs over every page and bar, so the bar's maximum does too.
        CreateProgressDlg(lang, caption, GetString(lang, kTextExporting), GetString(lang, kTextCancel), 0,
                          std::max(1, progressStep(GetNumPages(), 0)), 0);
        progress.shown = true;
    }

    // Page size: the current page's, else the first page's.
    const TPageInfo* sizePage = CurrentPage();
    if (!sizePage && FPages.Count() > 0)
        sizePage = FPages.Items(0);
    const int pageWidth = sizePage ? sizePage->Data->Width() : 0;
    const int pageHeight = sizePage ? sizePage->Data->Height() : 0;
    filter->PageWidth = pageWidth;
    filter->PageHeight = pageHeight;
    if (oneFilePerPage) {
        filter->TotalWidth = pageWidth;
        filter->TotalHeight = pageHeight;
    } else {
        // The pages stand side by side and one below the other on one
        // canvas whose coordinates the filters keep in int: a stream that
        // claims millions of bars is refused here, not wrapped around.
        std::int64_t listedPages = 0, totalHeight = 0, widest = pageWidth;
        for (std::size_t k = 0; k < listed.size(); ++k) {
            if (k == 0 || listed[k]->intNumPage != listed[k - 1]->intNumPage)
                ++listedPages;
            widest = std::max<std::int64_t>(widest, listed[k]->Data->Width());
            totalHeight += std::max(0, listed[k]->Data->Height());
        }
        const std::int64_t totalWidth = std::int64_t(std::max(1, numBars)) * widest;
        if (totalWidth > limits::kExportExtent || totalHeight > limits::kExportExtent
            || listedPages * pageHeight > limits::kExportExtent)
            throw EKVXError(QStringLiteral("Cannot export %1 pages of %2 bars into one file: the pages would cover "
                                           "%3 x %4 report pixels, more than the %5 an export may hold")
                                .arg(listedPages)
                                .arg(numBars)
                                .arg(totalWidth)
                                .arg(std::max(totalHeight, listedPages * pageHeight))
                                .arg(limits::kExportExtent));
        filter->TotalWidth = int(std::int64_t(numBars) * pageWidth);
        filter->TotalHeight = int(listedPages * pageHeight);
    }

    // The page files written so far, removed when the export is cancelled.
    QStringList written;
    const int total = int(listed.size());
    int done = 0;
    // In a single file the listed pages stand one below the other in list
    // order, so a list that skips pages leaves no gaps: the rows of a page
    // start where the previous listed page ended.
    int rowTop = 0;       // report pixels
    int rowHeight = 0;    // of the current page index
    int currentIndex = -1;
    const auto nextPage = [&](const TPageInfo& page) {
        if (page.intNumPage != currentIndex) {
            rowTop += rowHeight;
            rowHeight = 0;
            currentIndex = page.intNumPage;
        }
        rowHeight = std::max(rowHeight, page.Data->Height());
    };
    const auto walkPage = [&](const TPageInfo& page) {
        const TMetafile& metafile = *page.Data;
        filter->NewPage(page.intNumPage, page.intNumBar);
        if (!oneFilePerPage) {
            filter->SetOffsetX(
                int(std::clamp<std::int64_t>(std::int64_t(metafile.Width()) * page.intNumBar, 0, limits::kExportExtent)));
            filter->SetOffsetY(rowTop);
        }
        filter->EnumerateMetafile(metafile);
        filter->PageProcessed(metafile);
    };
    // A filter that builds its file over the whole page list (the grid's
    // columns) may walk the pages again while it writes instead of holding
    // their content: the same calls, offsets and order as the walk below.
    struct TWalkCancelled {};
    if (!oneFilePerPage) {
        filter->WalkPagesAgain = [&] {
            rowTop = rowHeight = 0;
            currentIndex = -1;
            for (const TPageInfo* page : listed) {
                if (CancelPending(AnimatedStatus()))
                    throw TWalkCancelled{};
                nextPage(*page);
                walkPage(*page);
            }
        };
    }
    filter->StartExport();
    for (TPageInfo* page : listed) {
        const int i = page->intNumPage;
        const int j = page->intNumBar;
        nextPage(*page);
        // Cancelled: the filter is dropped unsaved, so no partial file
        // appears; the files of the pages written one per page go too.
        if (CancelPending(AnimatedStatus())) {
            for (const QString& file : std::as_const(written))
                QFile::remove(file);
            return;
        }
        if (AnimatedStatus())
            UpdateProgressDlg(FormatText(GetString(lang, kTextExportingPage), {QString::number(i + 1), QString::number(j + 1)}),
                              progressStep(i, j));
        walkPage(*page);
        if (oneFilePerPage) {
            const QString pageFile = PageFileName(fileName, i, j);
            const bool existed = QFileInfo::exists(pageFile);
            filter->SaveToFile(pageFile);
            if (!existed)
                written.append(pageFile);
        }
        ++done;
        if (OnOutputProgress)
            OnOutputProgress(this, done, total);
    }
    // A cancel during the last page still leaves nothing.
    if (CancelPending(AnimatedStatus())) {
        for (const QString& file : std::as_const(written))
            QFile::remove(file);
        return;
    }
    if (!oneFilePerPage) {
        try {
            filter->SaveToFile(fileName);
        } catch (const TWalkCancelled&) {
            return; // the filter's file is dropped unwritten
        }
    }
    filter->EndExport();
}

bool TKVPrintBaseComponent::SavePageToFile(QString& fileName)
{
    const int lang = GetLanguageShift();
    const QString allFiles = GetString(lang, kTextAllFiles);
    TSaveExportRequest request;
    request.Lang = lang;
    request.HelpContext = HelpContext();
    request.FileName = fileName;
    request.NumPages = GetNumPages();
    request.CurrentPage = intCurPage + 1;
    TSaveExportFormat prepared;
    prepared.Extension = QStringLiteral("ZPG");
    prepared.Name = GetString(lang, kTextPreparedFormat);
    prepared.FileFilter = prepared.Name + QStringLiteral(" (*.zpg)|*.ZPG|") + allFiles;
    request.Formats.append(prepared);
    for (const TKVXRegisterExport& entry : KVXExports()) {
        TSaveExportFormat format;
        format.ClassName = entry.ClassName;
        format.Extension = entry.Extension;
        format.Name = ExportFormatName(entry, lang);
        format.FileFilter = ExportFileDescription(entry, lang) + QStringLiteral("|*.") + entry.Extension + u'|' + allFiles;
        format.IconName = entry.Icon;
        request.Formats.append(format);
    }

    TSaveExportChoice choice;
    if (!UserInterface()->ShowSaveExportDialog(request, choice))
        return false;
    if (choice.FormatIndex > 0 && choice.FormatIndex < request.Formats.size()) {
        // A name that resolves to no export filter class exports nothing.
        const QMetaObject* cls = GetClass(request.Formats[choice.FormatIndex].ClassName);
        if (cls && cls->inherits(&TKVXExport::staticMetaObject))
            ExportTo(choice.FileName, choice.SeparateFiles, cls, choice.Pages);
    } else {
        // The dialog's list is given as it stands: an empty one saves nothing.
        SavePreparedPageList(*this, choice.FileName, choice.SeparateFiles, &choice.Pages);
    }
    fileName = choice.FileName;
    return true;
}

} // namespace vorel
