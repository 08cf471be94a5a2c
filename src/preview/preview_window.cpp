#include "preview/preview_window.h"

#include "foundation/language/language.h"
#include "foundation/values/errors.h"
#include "frame/user_interface.h"
#include "preview/preview_icons.h"

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace vorel {

namespace {
// Text ids of the window.
enum : int {
    kTitle = 1800, kTitleOf = 1801, kPrint = 1802, kSave = 1803, kOpen = 1804, kScaleHint = 1805, kFind = 1806,
    kFitWidth = 1807, kFitPage = 1808, kCustom = 1809, kOnePage = 1810, kZoom100 = 1811, kPageWidth = 1812,
    kZoomIn = 1813, kZoomOut = 1814, kFirst = 1815, kPrior = 1816, kNext = 1817, kLast = 1818,
    kThumbnails = 1819, kOutlines = 1820, kMargins = 1821, kGrid = 1822, kClose = 1823, kPrinterSetup = 1824,
    kPageLabel = 1825, kOpenCaption = 1826, kNotFound = 1827, kOf = 1830, kSheet = 1831,
    kPreparedFiles = 2164, kAllFiles = 2056,
};

// "All files (*.*)|*.*" -> "All files (*.*)": the classic filter's shown part.
QString FilterName(const QString& classic)
{
    return classic.section(u'|', 0, 0);
}
} // namespace

TfrmKVPreview::TfrmKVPreview(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmKVPreview"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(900, 700);

    tbMain = new QToolBar(this);
    tbMain->setObjectName(QStringLiteral("tbMain"));
    tbMain->setIconSize(QSize(22, 22));
    tbMain->setToolButtonStyle(Qt::ToolButtonIconOnly);
    actPrint = AddAction(kPrint, TPreviewIcon::Print, "actPrint", false, &TfrmKVPreview::PrintReport);
    actPrinterSetup = AddAction(kPrinterSetup, TPreviewIcon::PrinterSetup, "actPrinterSetup", false,
                                &TfrmKVPreview::PrinterSetup);
    actSave = AddAction(kSave, TPreviewIcon::Save, "actSave", false, &TfrmKVPreview::SavePages);
    actOpen = AddAction(kOpen, TPreviewIcon::Open, "actOpen", false, &TfrmKVPreview::OpenPrepared);
    tbMain->addSeparator();
    actOnePage = AddAction(kOnePage, TPreviewIcon::OnePage, "actOnePage", true, nullptr);
    actZoom100 = AddAction(kZoom100, TPreviewIcon::Zoom100, "actZoom100", true, nullptr);
    actPageWidth = AddAction(kPageWidth, TPreviewIcon::PageWidth, "actPageWidth", true, nullptr);
    connect(actOnePage, &QAction::triggered, this, [this] { ZoomToFit(TFit::Page); });
    connect(actPageWidth, &QAction::triggered, this, [this] { ZoomToFit(TFit::Width); });
    connect(actZoom100, &QAction::triggered, this, [this] {
        FFit = TFit::None;
        FPreview->SetZoom(100);
        ZoomChanged();
    });
    actZoomIn = AddAction(kZoomIn, TPreviewIcon::ZoomIn, "actZoomIn", true, nullptr);
    actZoomOut = AddAction(kZoomOut, TPreviewIcon::ZoomOut, "actZoomOut", true, nullptr);
    // The two zoom modes release each other, so "only one down" is all a
    // user can reach.
    connect(actZoomIn, &QAction::toggled, this, [this](bool on) {
        if (on)
            actZoomOut->setChecked(false);
        ZoomModeToggled();
    });
    connect(actZoomOut, &QAction::toggled, this, [this](bool on) {
        if (on)
            actZoomIn->setChecked(false);
        ZoomModeToggled();
    });
    cbScale = new QComboBox;
    cbScale->setObjectName(QStringLiteral("cbScale"));
    for (int percent : kScalePercents)
        cbScale->addItem(QString::number(percent) + u'%');
    cbScale->addItems({QString(), QString(), QString()});
    cbScale->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(cbScale, &QComboBox::activated, this, &TfrmKVPreview::ChooseScale);
    tbMain->addWidget(cbScale);
    tbMain->addSeparator();
    actFirst = AddAction(kFirst, TPreviewIcon::FirstPage, "actFirst", false, &TfrmKVPreview::FirstPage);
    actPrior = AddAction(kPrior, TPreviewIcon::PriorPage, "actPrior", false, &TfrmKVPreview::PriorPage);
    FPageLabel = new QLabel;
    tbMain->addWidget(FPageLabel);
    edPage = new QLineEdit;
    edPage->setObjectName(QStringLiteral("edPage"));
    edPage->setMaximumWidth(60);
    edPage->setAlignment(Qt::AlignRight);
    connect(edPage, &QLineEdit::editingFinished, this, &TfrmKVPreview::PageEdited);
    tbMain->addWidget(edPage);
    lblPageCount = new QLabel;
    lblPageCount->setObjectName(QStringLiteral("lblPageCount"));
    lblPageCount->setContentsMargins(4, 0, 4, 0);
    tbMain->addWidget(lblPageCount);
    actNext = AddAction(kNext, TPreviewIcon::NextPage, "actNext", false, &TfrmKVPreview::NextPage);
    actLast = AddAction(kLast, TPreviewIcon::LastPage, "actLast", false, &TfrmKVPreview::LastPage);
    tbMain->addSeparator();
    actFind = AddAction(kFind, TPreviewIcon::Find, "actFind", false, &TfrmKVPreview::Find);
    actThumbnails = AddAction(kThumbnails, TPreviewIcon::Thumbnails, "actThumbnails", true, nullptr);
    actOutlines = AddAction(kOutlines, TPreviewIcon::Outlines, "actOutlines", true, nullptr);
    actMargins = AddAction(kMargins, TPreviewIcon::Margins, "actMargins", true, nullptr);
    actGrid = AddAction(kGrid, TPreviewIcon::Grid, "actGrid", true, nullptr);
    connect(actThumbnails, &QAction::toggled, this, [this](bool on) {
        FPreview->SetShowThumbnails(on);
        actThumbnails->setChecked(FPreview->ShowThumbnails());
    });
    connect(actOutlines, &QAction::toggled, this, [this](bool on) {
        FPreview->SetShowOutlines(on);
        actOutlines->setChecked(FPreview->ShowOutlines());
    });
    connect(actMargins, &QAction::toggled, this, [this](bool on) { FPreview->SetShowMargins(on); });
    connect(actGrid, &QAction::toggled, this, [this](bool on) { FPreview->SetShowGrid(on); });
    tbMain->addSeparator();
    actClose = AddAction(kClose, TPreviewIcon::Close, "actClose", false, nullptr);
    connect(actClose, &QAction::triggered, this, &QWidget::close);

    FPreview = new TKVXPreview;
    FPreview->setObjectName(QStringLiteral("Preview"));
    FPreview->setFocusPolicy(Qt::StrongFocus);
    FPreview->ZoomChangeEvent = [this](QObject*) { ZoomChanged(); };
    FPreview->PageNumberChangeEvent = [this](QObject*) { PageChangedInPreview(); };
    FPreview->BarNumberChangeEvent = [this](QObject*) { BarChangedInPreview(); };

    tsSheets = new QTabBar;
    tsSheets->setObjectName(QStringLiteral("tsSheets"));
    tsSheets->setShape(QTabBar::RoundedSouth);
    tsSheets->setDrawBase(false);
    tsSheets->setExpanding(false);
    tsSheets->hide();
    connect(tsSheets, &QTabBar::currentChanged, this, &TfrmKVPreview::SheetChosen);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(tbMain);
    layout->addWidget(FPreview, 1);
    layout->addWidget(tsSheets);

    for (QObject* keyed : {static_cast<QObject*>(FPreview), static_cast<QObject*>(cbScale),
                           static_cast<QObject*>(edPage), static_cast<QObject*>(tsSheets)})
        keyed->installEventFilter(this);
    ApplyLanguage();
    cbScale->setCurrentIndex(kScaleFitWidth);
    UpdateNavigation();
}

TfrmKVPreview::~TfrmKVPreview() = default;

QAction* TfrmKVPreview::AddAction(int textId, TPreviewIcon icon, const char* name, bool checkable,
                                  void (TfrmKVPreview::*slot)())
{
    QAction* action = tbMain->addAction(PreviewIcon(icon), QString());
    action->setObjectName(QLatin1String(name));
    action->setProperty("textId", textId);
    action->setCheckable(checkable);
    if (slot)
        connect(action, &QAction::triggered, this, slot);
    tbMain->widgetForAction(action)->setObjectName(QLatin1String(name) + QStringLiteral("Button"));
    return action;
}

int TfrmKVPreview::Lang() const
{
    return FReport ? FReport->GetLanguageShift() : 0;
}

void TfrmKVPreview::ApplyLanguage()
{
    const int lang = Lang();
    const QHash<QAction*, QString> keys = {{actPrint, QStringLiteral("Ctrl+P")}, {actSave, QStringLiteral("Ctrl+S")},
                                           {actOpen, QStringLiteral("Ctrl+O")}, {actFind, QStringLiteral("Ctrl+F")},
                                           {actFirst, QStringLiteral("Home")}, {actPrior, QStringLiteral("PgUp")},
                                           {actNext, QStringLiteral("PgDown")}, {actLast, QStringLiteral("End")},
                                           {actClose, QStringLiteral("Esc")}};
    for (QAction* action : tbMain->actions()) {
        const int id = action->property("textId").toInt();
        if (id == 0)
            continue;
        action->setText(GetString(lang, id));
        const QString key = keys.value(action);
        action->setToolTip(key.isEmpty() ? GetString(lang, id) : QStringLiteral("%1 (%2)").arg(GetString(lang, id), key));
    }
    cbScale->setItemText(kScaleFitWidth, GetString(lang, kFitWidth));
    cbScale->setItemText(kScaleFitPage, GetString(lang, kFitPage));
    cbScale->setItemText(kScaleCustom, GetString(lang, kCustom));
    FPageLabel->setText(GetString(lang, kPageLabel) + u' ');
    const QString title = FReport ? FReport->KVProperty()->Title() : QString();
    setWindowTitle(title.isEmpty() ? GetString(lang, kTitle)
                                   : GetString(lang, kTitleOf).replace(QStringLiteral("%s"), title));
}

void TfrmKVPreview::SetReport(TKVPrintBaseComponent* report, bool enableOutlines)
{
    if (FReport)
        disconnect(FReport, nullptr, this, nullptr);
    FReport = report;
    if (report)
        connect(report, &QObject::destroyed, this, [this] {
            FReport.clear();
            AttachPages();
        });
    FPreview->SetEnableOutlines(enableOutlines);
    actOutlines->setEnabled(enableOutlines);
    FPreview->SetReport(report);
    ApplyLanguage();
    AttachPages();
}

void TfrmKVPreview::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!FActivated)
        Activate();
}

void TfrmKVPreview::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    Q_EMIT Closed();
}

void TfrmKVPreview::Activate()
{
    FActivated = true;
    FPreview->SetBarNumber(1);
    FPreview->SetPageNumber(1);
    ZoomToFit(TFit::Width);
    AttachPages();
    FPreview->setFocus();
}

void TfrmKVPreview::AttachPages()
{
    const int pages = FReport ? FReport->GetNumPages() : 0;
    lblPageCount->setText(GetString(Lang(), kOf) + QString::number(pages));
    UpdateSheets();
    UpdateNavigation();
    ZoomChanged();
    for (QAction* needsReport : {actPrint, actPrinterSetup, actSave, actFind, actOnePage, actZoom100, actPageWidth})
        needsReport->setEnabled(FReport != nullptr);
}

void TfrmKVPreview::UpdateSheets()
{
    FSyncing = true;
    while (tsSheets->count() > 0)
        tsSheets->removeTab(0);
    const int bars = FReport ? FReport->GetNumBars() : 0;
    if (bars >= 2) {
        for (int k = 1; k <= bars; ++k)
            tsSheets->addTab(GetString(Lang(), kSheet) + u' ' + QString::number(k));
        tsSheets->setCurrentIndex(FPreview->BarNumber() - 1);
    }
    tsSheets->setVisible(bars >= 2);
    FSyncing = false;
}

void TfrmKVPreview::UpdateNavigation()
{
    const int pages = FReport ? FReport->GetNumPages() : 0;
    const int page = FPreview->PageNumber();
    actFirst->setEnabled(pages > 0 && page > 1);
    actPrior->setEnabled(pages > 0 && page > 1);
    actNext->setEnabled(page < pages);
    actLast->setEnabled(page < pages);
    edPage->setText(pages > 0 ? QString::number(page) : QString());
    edPage->setEnabled(pages > 0);
}

void TfrmKVPreview::PageChangedInPreview()
{
    UpdateNavigation();
}

void TfrmKVPreview::BarChangedInPreview()
{
    FSyncing = true;
    if (tsSheets->count() >= FPreview->BarNumber())
        tsSheets->setCurrentIndex(FPreview->BarNumber() - 1);
    FSyncing = false;
}

void TfrmKVPreview::SheetChosen(int index)
{
    if (FSyncing || !FReport || index < 0)
        return;
    FReport->intCurBar = index;
    FPreview->SetBarNumber(index + 1);
}

void TfrmKVPreview::PageEdited()
{
    bool ok = false;
    int number = edPage->text().trimmed().toInt(&ok);
    if (!ok)
        number = 1;
    FPreview->SetPageNumber(number);
    UpdateNavigation(); // a number beyond the pages shows the current one again
}

void TfrmKVPreview::FirstPage()
{
    FPreview->SetPageNumber(1);
}

void TfrmKVPreview::PriorPage()
{
    if (FPreview->PageNumber() > 1)
        FPreview->SetPageNumber(FPreview->PageNumber() - 1);
}

void TfrmKVPreview::NextPage()
{
    if (FReport && FPreview->PageNumber() < FReport->GetNumPages())
        FPreview->SetPageNumber(FPreview->PageNumber() + 1);
}

void TfrmKVPreview::LastPage()
{
    if (FReport)
        FPreview->SetPageNumber(FReport->GetNumPages());
}

// --- zoom -------------------------------------------------------------------------------------

void TfrmKVPreview::ChooseScale(int index)
{
    if (index >= 0 && index < int(std::size(kScalePercents))) {
        FFit = TFit::None;
        FPreview->SetZoom(kScalePercents[index]);
    } else if (index == kScaleFitWidth) {
        ZoomToFit(TFit::Width);
    } else if (index == kScaleFitPage) {
        ZoomToFit(TFit::Page);
    }
    ZoomChanged();
}

void TfrmKVPreview::ZoomToFit(TFit fit)
{
    FFit = fit;
    if (fit == TFit::Width)
        FPreview->SetZoom(FPreview->GetZoomFitToWidth());
    else if (fit == TFit::Page)
        FPreview->SetZoom(FPreview->GetZoomFitToPage());
    ZoomChanged();
}

void TfrmKVPreview::ZoomChanged()
{
    const int zoom = FPreview->Zoom();
    const int fitWidth = FPreview->GetZoomFitToWidth();
    const int fitPage = FPreview->GetZoomFitToPage();
    // A zoom set some other way ends following the window's size.
    if ((FFit == TFit::Width && zoom != fitWidth) || (FFit == TFit::Page && zoom != fitPage))
        FFit = TFit::None;
    cbScale->setToolTip(GetString(Lang(), kScaleHint) + QString::number(zoom) + u'%');
    int index = kScaleCustom;
    for (int i = 0; i < int(std::size(kScalePercents)); ++i)
        if (kScalePercents[i] == zoom)
            index = i;
    if (index == kScaleCustom && zoom == fitWidth)
        index = kScaleFitWidth;
    else if (index == kScaleCustom && zoom == fitPage)
        index = kScaleFitPage;
    cbScale->setCurrentIndex(index);
    actZoom100->setChecked(zoom == 100);
    actPageWidth->setChecked(FReport && zoom == fitWidth);
    actOnePage->setChecked(FReport && zoom == fitPage);
}

void TfrmKVPreview::ZoomModeToggled()
{
    const bool in = actZoomIn->isChecked(), out = actZoomOut->isChecked();
    FPreview->SetZoomByClick(in && !out ? zcInc : out && !in ? zcDec : zcNone);
}

// --- find -------------------------------------------------------------------------------------

void TfrmKVPreview::Find()
{
    if (!FReport)
        return;
    if (FPreview->FindText() && !FPreview->LastSearchFound())
        ShowMessage(GetString(Lang(), kNotFound));
}

void TfrmKVPreview::FindNext()
{
    if (!FReport)
        return;
    if (!FPreview->FindNext())
        ShowMessage(GetString(Lang(), kNotFound));
}

// --- print, save, open ------------------------------------------------------------------------

void TfrmKVPreview::PrintReport()
{
    if (!FReport)
        return;
    try {
        FReport->Print();
    } catch (const EKVXError& e) {
        ShowMessage(e.Message());
    }
}

void TfrmKVPreview::PrinterSetup()
{
    if (!FReport)
        return;
    try {
        if (!UserInterface()->ShowPrinterSetupDialog(Lang(), FReport->HelpContext()))
            return;
        FReport->PrinterSetting()->GetPrinterSettings();
        FReport->Prepare();
    } catch (const EKVXError& e) {
        ShowMessage(e.Message());
    }
    if (FReport) {
        FPreview->PagesChanged();
        if (FFit != TFit::None)
            ZoomToFit(FFit);
        AttachPages();
    }
}

void TfrmKVPreview::SavePages()
{
    if (!FReport)
        return;
    QString name = FLastFileName.isEmpty() ? FReport->KVProperty()->Title() : FLastFileName;
    try {
        if (FReport->SavePageToFile(name))
            FLastFileName = name;
    } catch (const EKVXError& e) {
        ShowMessage(e.Message());
    }
}

void TfrmKVPreview::OpenPrepared()
{
    if (!FReport)
        return;
    const int lang = Lang();
    QFileDialog dialog(this, GetString(lang, kOpenCaption));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({GetString(lang, kPreparedFiles) + QStringLiteral(" (*.zpg)"),
                           FilterName(GetString(lang, kAllFiles))});
    dialog.setDefaultSuffix(QStringLiteral("zpg"));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        OpenPreparedFile(dialog.selectedFiles().first());
}

bool TfrmKVPreview::OpenPreparedFile(const QString& name)
{
    if (!FReport)
        return false;
    bool ok = true;
    try {
        FReport->LoadPreparedReport(name);
    } catch (const EKVXError& e) {
        ShowMessage(e.Message());
        ok = false;
    }
    // Re-attached either way: a failed load may have emptied the page list.
    const bool outlines = FReport->Outlines()->Count() > 0;
    FPreview->SetEnableOutlines(outlines);
    actOutlines->setEnabled(outlines);
    actOutlines->setChecked(FPreview->ShowOutlines());
    FPreview->PagesChanged();
    if (FFit != TFit::None)
        ZoomToFit(FFit);
    AttachPages();
    return ok;
}

void TfrmKVPreview::ShowMessage(const QString& text)
{
    FLastMessage = text;
    // Not modal to the caller: the message waits on screen while the
    // window goes on (and tests are never blocked by it).
    auto* box = new QMessageBox(QMessageBox::Information, windowTitle(), text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

// --- keys -------------------------------------------------------------------------------------

bool TfrmKVPreview::HandleKey(QKeyEvent* event, QObject* receiver)
{
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    if (ctrl) {
        switch (event->key()) {
        case Qt::Key_O: OpenPrepared(); return true;
        case Qt::Key_P: PrintReport(); return true;
        case Qt::Key_S: SavePages(); return true;
        case Qt::Key_F: Find(); return true;
        default: return false;
        }
    }
    // Home and End keep their meaning inside the page number.
    const bool inPageEdit = receiver == edPage;
    switch (event->key()) {
    case Qt::Key_Escape: close(); return true;
    case Qt::Key_PageUp: PriorPage(); return true;
    case Qt::Key_PageDown: NextPage(); return true;
    case Qt::Key_Home:
        if (inPageEdit)
            return false;
        FirstPage();
        return true;
    case Qt::Key_End:
        if (inPageEdit)
            return false;
        LastPage();
        return true;
    case Qt::Key_F3: FindNext(); return true;
    default: return false;
    }
}

void TfrmKVPreview::keyPressEvent(QKeyEvent* event)
{
    if (HandleKey(event, this))
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

bool TfrmKVPreview::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && HandleKey(static_cast<QKeyEvent*>(event), watched))
        return true;
    // A fitted zoom follows the window's size.
    if (watched == FPreview && event->type() == QEvent::Resize && FActivated && FFit != TFit::None)
        ZoomToFit(FFit);
    return QWidget::eventFilter(watched, event);
}

} // namespace vorel
