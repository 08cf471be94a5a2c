// Printing prepared pages: the print dialog (through the user-interface
// interface), the sheets in copy and collate order, and the printer's own
// settings changed for the job only.
//
// Where the classic flow went wrong, this one does not (docs/PRINTING.md):
// a printer error ends the job and reaches the caller (no OnAfterPrint);
// the progress dialog's Cancel stops between sheets; only (page, bar)
// records that exist print, with no sheet break after the last; a job
// starts only when something qualifies; copies below 1 print one; each page
// is the whole sheet, placed on the printer's paper at its own size.

#include "frame/print_component.h"

#include "frame/page_range.h"
#include "frame/prepared_pages_p.h"
#include "frame/print_sheets.h"
#include "frame/user_interface.h"
#include "graphics/metafile.h"

#include <algorithm>

namespace vorel {

namespace {
constexpr int kTextCancel = 1104;       // "&Cancel"
constexpr int kTextPrintingPage = 2052; // "Printing page %d on the bar %d (copy #%d)..."
constexpr int kTextPrinting = 2053;     // "Printing..."
} // namespace

bool TKVXUserInterface::ShowPrintDialog(const TPrintRequest& request, TPrintChoice& choice)
{
    choice.Pages = DialogPageList(TPageRangeKind::All, {}, request.NumPages, request.CurrentPage);
    choice.Copies = request.Copies;
    choice.Collate = request.Collate;
    return true;
}

std::vector<TPrintSheet> PrintSheetOrder(const std::vector<TPageInfo*>& records, int copies, bool collate)
{
    copies = std::max(1, copies);
    std::vector<TPrintSheet> sheets;
    sheets.reserve(records.size() * std::size_t(copies));
    if (collate) {
        for (int c = 1; c <= copies; ++c)
            for (TPageInfo* page : records)
                sheets.push_back({page, c});
        return sheets;
    }
    // Not collated: every copy of a page (all its bars) before the next page.
    for (std::size_t first = 0; first < records.size();) {
        std::size_t end = first;
        while (end < records.size() && records[end]->intNumPage == records[first]->intNumPage)
            ++end;
        for (int c = 1; c <= copies; ++c)
            for (std::size_t k = first; k < end; ++k)
                sheets.push_back({records[k], c});
        first = end;
    }
    return sheets;
}

TRect SheetPlacement(int pageWidth, int pageHeight, const TDeviceCaps& caps)
{
    // The page is the whole sheet in report pixels (96 per inch); on the
    // printer it keeps its physical size. A page larger than the printer's
    // sheet (a paper the printer lacks) is scaled down to fit, both ways
    // alike, rather than cut off.
    double width = double(pageWidth) * caps.PixelsPerInchX / kScreenPixelsPerInch;   // printer pixels
    double height = double(pageHeight) * caps.PixelsPerInchY / kScreenPixelsPerInch; // printer pixels
    if (caps.PhysicalWidth > 0 && caps.PhysicalHeight > 0 && width > 0 && height > 0) {
        const double fit = std::min({1.0, caps.PhysicalWidth / width, caps.PhysicalHeight / height});
        width *= fit;
        height *= fit;
    }
    // The job's canvas has its origin at the printable area's corner.
    const int left = -caps.PhysicalOffsetX;
    const int top = -caps.PhysicalOffsetY;
    return Rect(left, top, left + int(std::lround(width)), top + int(std::lround(height)));
}

void TKVPrintBaseComponent::Print()
{
    // An unprepared report is prepared first, so that the dialog's "all",
    // "even" and "odd" count its pages.
    if (!FPrepared) {
        Prepare();
        if (!FPrepared)
            return;
    }
    TPrintRequest request;
    request.Lang = GetLanguageShift();
    request.HelpContext = HelpContext();
    request.PrinterName = FPrinterSetting->PrinterName();
    request.PrinterIndex = FPrinterSetting->PrinterIndex();
    request.NumPages = GetNumPages();
    request.CurrentPage = std::max(0, intCurPage) + 1;
    request.Copies = FPrinterSetting->Copies();
    request.Collate = FPrinterSetting->Collate();
    TPrintChoice choice;
    if (!UserInterface()->ShowPrintDialog(request, choice))
        return;
    // The dialog's answer stays with the report, as the classic dialog left it.
    FPrinterSetting->SetCopies(choice.Copies);
    FPrinterSetting->SetCollate(choice.Collate);
    PrintPages(choice.Pages);
}

void TKVPrintBaseComponent::PrintReport()
{
    if (!FPrepared) {
        Prepare();
        if (!FPrepared)
            return;
    }
    QList<int> pages;
    for (int n = 1; n <= GetNumPages(); ++n)
        pages.append(n);
    PrintPages(pages);
}

void TKVPrintBaseComponent::PrintPages(const QList<int>& pages)
{
    TCancelScope cancel(*this);
    // The same preparation as preview and export (paper, two passes,
    // outlines), so the printed pages are the previewed ones.
    if (!FPrepared) {
        Prepare();
        if (!FPrepared)
            return;
    }
    // Only pages that exist print: a list naming page 9 of a 3-page report
    // prints pages 1 to 3 of it and nothing for 9.
    const std::vector<TPageInfo*> records = PagesInOrder(FPages, &pages);
    if (records.empty())
        return;
    TPrinterService& service = TPrinterService::Instance();
    // The virtual printer prints only where the application named its file.
    if (service.VirtualOutputFile().isEmpty())
        FPrinterSetting->CheckInstalledPrinter();

    if (OnBeforePrint)
        OnBeforePrint(this);

    const int lang = GetLanguageShift();
    const int numBars = std::max(1, GetNumBars());
    const std::vector<TPrintSheet> sheets =
        PrintSheetOrder(records, FPrinterSetting->Copies(), FPrinterSetting->Collate());

    if (!PrintSheets(sheets, lang, numBars))
        return; // cancelled: the job was dropped, nothing printed
    if (OnAfterPrint)
        OnAfterPrint(this);
}

bool TKVPrintBaseComponent::PrintSheets(const std::vector<TPrintSheet>& sheets, int lang, int numBars)
{
    TPrinterService& service = TPrinterService::Instance();
    // The component makes the copies itself, so the printer makes one.
    const int oldCopies = service.Copies();
    service.SetCopies(1);
    std::unique_ptr<TPrintJob> job;
    // However the job ends, the printer gets its settings and copy count
    // back and the progress dialog goes away.
    struct Restore {
        TKVPrintBaseComponent& component;
        TPrinterService& service;
        int copies;
        bool started = false;
        ~Restore()
        {
            service.SetCopies(copies);
            if (started)
                component.PrintEnd();
        }
    } restore{*this, service, oldCopies};

    PrintStart();
    restore.started = true;
    const QString title = KVProperty()->Title().isEmpty() ? ProductVersion() : KVProperty()->Title();
    try {
        job = service.BeginJob(title);
        for (std::size_t k = 0; k < sheets.size(); ++k) {
            const TPageInfo& page = *sheets[k].Page;
            if (AnimatedStatus())
                UpdateProgressDlg(FormatText(GetString(lang, kTextPrintingPage),
                                             {QString::number(page.intNumPage + 1), QString::number(page.intNumBar + 1),
                                              QString::number(sheets[k].Copy)}),
                                  numBars * page.intNumPage + page.intNumBar);
            // Cancelled: nothing of the job reaches the printer.
            if (CancelPending(AnimatedStatus())) {
                job->Abort();
                return false;
            }
            // A break before every sheet but the first: none after the last.
            if (k > 0)
                job->NewPage();
            job->Canvas().PlayMetafile(SheetPlacement(page.PageWidth(), page.PageHeight(), job->Caps()), *page.Data);
        }
        job->End();
    } catch (...) {
        // A printer error ends the job and goes to the caller, as any other.
        if (job && job->Printing())
            job->Abort();
        throw;
    }
    return true;
}

void TKVPrintBaseComponent::PrintStart()
{
    if (AnimatedStatus()) {
        const int lang = GetLanguageShift();
        const QString caption = KVProperty()->Title().isEmpty() ? ProductVersion() : KVProperty()->Title();
        CreateProgressDlg(lang, caption, GetString(lang, kTextPrinting), GetString(lang, kTextCancel), 0,
                          FPages.Count(), 0);
    }
    SavePrinter();
    FPrinterSetting->SetPrinterSettings();
}

void TKVPrintBaseComponent::PrintEnd()
{
    RestorePrinter();
    if (AnimatedStatus())
        DestroyProgressDlg();
}

} // namespace vorel
