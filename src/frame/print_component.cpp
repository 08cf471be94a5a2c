// The print component frame: construction, preparation and the page list.

#include "frame/print_component.h"

#include "frame/user_interface.h"
#include "foundation/version.h"
#include "graphics/metafile_canvas.h"

namespace vorel {

namespace {
// Text ids of the progress texts.
constexpr int kTextCancel = 1104;        // "&Cancel"
constexpr int kTextPreparingPage = 2051; // "Preparing page %d on the bar %d..."
constexpr int kTextPreparing = 2054;     // "Preparing..."
constexpr int kTextFirstPass = 2066;     // "First pass: "
constexpr int kTextSecondPass = 2067;    // "Second pass: "
} // namespace

QString ProductVersionText()
{
    return QStringLiteral("Vorel " VOREL_VERSION_STRING);
}

void RaiseNotAvailable(const QString& what)
{
    throw EKVXError(QStringLiteral("%1 is not available in this build").arg(what));
}

// --- construction -------------------------------------------------------------------------

TKVPrintBaseComponent::TKVPrintBaseComponent(QObject* owner)
    : TComponent(owner),
      FLanguage(new TKVXLanguage(this)),
      FKVProperty(new TKVProperty(this)),
      FFrame(new TKVXFrame(this)),
      FPrinterSetting(new TKVXPrinter(this)),
      FOldPrinterSetting(new TKVXPrinter(this)),
      FVariables(new TKVXVariables(this)),
      FOutlines(new TKVXOutlines(this))
{
}

TKVPrintBaseComponent::~TKVPrintBaseComponent()
{
    // The canvas refers to the last page's metafile: close it first.
    FMFCanvas.reset();
    FPages.Clear();
}

void TKVPrintBaseComponent::SetLanguage(const TKVXLanguage* value)
{
    if (value && value != FLanguage)
        FLanguage->Assign(value);
}

void TKVPrintBaseComponent::SetKVProperty(const TKVProperty* value)
{
    if (value && value != FKVProperty)
        FKVProperty->Assign(value);
}

void TKVPrintBaseComponent::SetFrame(const TKVXFrame* value)
{
    if (value && value != FFrame)
        FFrame->Assign(value);
}

void TKVPrintBaseComponent::SetPrinterSetting(const TKVXPrinter* value)
{
    if (value && value != FPrinterSetting)
        FPrinterSetting->Assign(value);
}

void TKVPrintBaseComponent::SetVariables(const TKVXVariables* value)
{
    if (value && value != FVariables)
        FVariables->Assign(value);
}

void TKVPrintBaseComponent::SetOutlines(const TKVXOutlines* value)
{
    if (value && value != FOutlines)
        FOutlines->Assign(value);
}

int TKVPrintBaseComponent::GetLanguageShift() const
{
    return int(FLanguage->GetLangID()) & 127;
}

// --- preparation --------------------------------------------------------------------------

void TKVPrintBaseComponent::RunPass()
{
    PrepareReport();
}

void TKVPrintBaseComponent::Prepare()
{
    TCancelScope cancel(*this);
    intCurPassNumber = 1;
    PrepareStart();
    try {
        FPagesOnlyCounted = FTwoPass;
        // The first pass's pages are only counted: their bytes are let go
        // of as each page closes, so a long report's first pass holds one
        // page at a time.
        FPages.Store().SetDiscarding(FTwoPass);
        if (FAnimatedStatus)
            ShowModalCallBack([this] { RunPass(); });
        else
            RunPass();
        FPagesOnlyCounted = false;
        FPages.Store().SetDiscarding(false);
        // A cancelled first pass makes the second pass pointless.
        if (FTwoPass && !cancel.Cancelled()) {
            intNumBars = GetNumBars();
            intNumPages = GetNumPages();
            intCurPassNumber = 2;
            PrepareStart();
            RunPass();
        }
    } catch (...) {
        // The system printer gets its settings back and the progress
        // display goes away also when the generation fails.
        FPagesOnlyCounted = false;
        FPages.Store().SetDiscarding(false);
        intCurPassNumber = 1;
        PrepareEnd();
        throw;
    }
    PrepareEnd();
    // The first pass's counts served the second pass only; from now on
    // the counts are those of the page list.
    intCurPassNumber = 1;
    // A cancelled preparation leaves nothing that could pass for the report.
    if (cancel.Cancelled())
        DiscardPages();
}

void TKVPrintBaseComponent::DiscardPages()
{
    FreePages();
    FOutlines->Clear();
    FPrepared = false;
}

bool TKVPrintBaseComponent::CancelPending(bool checkDialog)
{
    if (FCancelRequest.load(std::memory_order_relaxed))
        return true;
    if (!checkDialog || !ProgressCanceled())
        return false;
    RequestCancel();
    return true;
}

// --- cancel scopes ------------------------------------------------------------------------

TCancelScope::TCancelScope(TKVPrintBaseComponent& component)
    : FComponent(component), FOutermost(component.FCancelDepth == 0)
{
    ++component.FCancelDepth;
    if (FOutermost) {
        component.FCancelRequest.store(false, std::memory_order_relaxed);
        component.FCancelled = false;
    }
}

TCancelScope::~TCancelScope()
{
    --FComponent.FCancelDepth;
    if (FOutermost)
        FComponent.FCancelled = FComponent.FCancelRequest.exchange(false, std::memory_order_relaxed);
}

bool TCancelScope::Cancelled() const
{
    return FComponent.FCancelRequest.load(std::memory_order_relaxed);
}

void TKVPrintBaseComponent::PrepareStart()
{
    const int lang = GetLanguageShift();
    UserInterface()->SetBusyCursor(true);
    if (FAnimatedStatus) {
        const QString caption = FKVProperty->Title().isEmpty() ? ProductVersion() : FKVProperty->Title();
        const int max = (FTwoPass && intCurPassNumber > 1) ? FPages.Count() : 0;
        CreateProgressDlg(lang, caption, GetString(lang, kTextPreparing), GetString(lang, kTextCancel), 0, max, 100);
    }
    FOutlines->Clear();
    // Saved once per preparation: the second pass would otherwise save the
    // report's own settings, and the system printer would never get its
    // settings back.
    if (!FPrinterSaved)
        SavePrinter();
    FPrinterSetting->SetPrinterSettings();
}

void TKVPrintBaseComponent::PrepareEnd()
{
    RestorePrinter();
    if (FAnimatedStatus)
        DestroyProgressDlg();
    UserInterface()->SetBusyCursor(false);
}

void TKVPrintBaseComponent::SavePrinter()
{
    FOldPrinterSetting->GetPrinterSettings();
    FPrinterSaved = true;
}

void TKVPrintBaseComponent::RestorePrinter()
{
    FOldPrinterSetting->SetPrinterSettings();
    FPrinterSaved = false;
}

// --- virtual operations -------------------------------------------------------------------

void TKVPrintBaseComponent::PrepareReport()
{
    intCurPage = -1;
    intCurBar = 0;
}

int TKVPrintBaseComponent::GetPageNoCountBy()
{
    return 1;
}

int TKVPrintBaseComponent::GetPageNoStartAt()
{
    return 0;
}

int TKVPrintBaseComponent::GetCurColumn()
{
    return 0;
}

int TKVPrintBaseComponent::GetColumnNumber()
{
    return 1;
}

void TKVPrintBaseComponent::BeginDoc()
{
    FPrepared = false;
    if (OnBeginDoc)
        OnBeginDoc(this);
    FStatus = stPrinting;
    FreePages();
    if (FPageCompleted && !FPagesOnlyCounted)
        FPageCompleted(nullptr);
}

void TKVPrintBaseComponent::CompletePage()
{
    if (FOpenPage && FPageCompleted && !FPagesOnlyCounted)
        FPageCompleted(FOpenPage);
    FOpenPage = nullptr;
}

void TKVPrintBaseComponent::EndDoc()
{
    FMFCanvas.reset(); // completes the last page's metafile
    // A page that could not be spilled to disk as it closed.
    FPages.Store().RaiseDeferredFailure();
    CompletePage();
    FStatus = stPrinted;
    if (OnEndDoc)
        OnEndDoc(this);
    FPrepared = true;
}

void TKVPrintBaseComponent::NewPage(bool newBar)
{
    if (intCurPage > -1 && OnEndPage)
        OnEndPage(this, intCurPage + 1, intCurBar);
    if (newBar) {
        ++intCurBar;
        intCurPage = 0;
    } else {
        ++intCurPage;
    }

    if (FAnimatedStatus) {
        const int lang = GetLanguageShift();
        QString status;
        if (FTwoPass)
            status = GetString(lang, intCurPassNumber >= 2 ? kTextSecondPass : kTextFirstPass);
        status += FormatText(GetString(lang, kTextPreparingPage),
                             {QString::number(intCurPage + 1), QString::number(intCurBar + 1)});
        const int position = (FTwoPass && intCurPassNumber >= 2) ? GetNumPages() * intCurBar + intCurPage : 0;
        UpdateProgressDlg(status, position);
    }

    const TPageGeometry geometry = FPrinterSetting->GetPageGeometry();
    auto created = std::make_unique<TPageInfo>();
    created->intNumPage = intCurPage;
    created->intNumBar = intCurBar;
    created->SetPageWidth(geometry.Width);
    created->SetPageHeight(geometry.Height);
    created->OffsetLeft = geometry.OffsetLeft;
    created->OffsetRight = geometry.OffsetRight;
    created->OffsetTop = geometry.OffsetTop;
    created->OffsetBottom = geometry.OffsetBottom;
    TPageInfo* page = FPages.Add(std::move(created));

    intCurHeight = page->OffsetTop;
    intMaxPageHeight = page->PageHeight() - page->OffsetTop;

    FMFCanvas.reset(); // completes the previous page's metafile
    CompletePage();
    FOpenPage = page;
    FMFCanvas = std::make_unique<TMetafileCanvas>(*page->Data, ProductVersion(), QString::fromUtf16(kPageDescription));

    FFrame->DrawFrame(*FMFCanvas, Rect(page->OffsetLeft, page->OffsetTop, page->PageWidth() - page->OffsetRight,
                                       page->PageHeight() - page->OffsetBottom));

    if (OnBeginPage)
        OnBeginPage(this, intCurPage + 1, intCurBar);
}

// --- the page list ------------------------------------------------------------------------

int TKVPrintBaseComponent::GetNumPages() const
{
    // While the list is rebuilt in the second pass, page-of-total texts
    // need the totals of the first.
    if (FTwoPass && intCurPassNumber >= 2)
        return intNumPages;
    return FPages.BarCount() > 0 ? FPages.PageCount() : 0;
}

int TKVPrintBaseComponent::GetNumBars() const
{
    if (FTwoPass && intCurPassNumber >= 2)
        return intNumBars;
    return FPages.BarCount();
}

TPageInfo* TKVPrintBaseComponent::GetPage(int pageNo, int barNo) const
{
    return FPages.Find(pageNo, barNo);
}

void TKVPrintBaseComponent::FreePages()
{
    // A canvas still open (a generation that raised before EndDoc) refers
    // to a page about to go.
    FMFCanvas.reset();
    FOpenPage = nullptr;
    FPages.Clear();
}

// --- TKVPrintComponent --------------------------------------------------------------------

TKVPrintComponent::TKVPrintComponent(QObject* owner) : TKVPrintBaseComponent(owner), FFont(new TFont(this))
{
    FFont->SetName(QStringLiteral("Arial"));
}

void TKVPrintComponent::SetFont(const TFont* value)
{
    if (value && value != FFont)
        FFont->Assign(value);
}

// --- registration -------------------------------------------------------------------------

void RegisterFrameClasses()
{
    RegisterClass(&TKVXPageMargins::staticMetaObject);
    RegisterClass(&TKVXPrinter::staticMetaObject);
    RegisterClass(&TKVXFrame::staticMetaObject);
    RegisterClass(&TKVProperty::staticMetaObject);
    RegisterClass(&TKVPrintBaseComponent::staticMetaObject);
    RegisterClass(&TKVPrintComponent::staticMetaObject);
}

} // namespace vorel
