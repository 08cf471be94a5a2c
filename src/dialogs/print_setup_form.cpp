#include "dialogs/print_setup_form.h"

#include "foundation/language/language.h"
#include "foundation/values/errors.h"
#include "graphics/printer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace vorel {

namespace {
// Text ids.
constexpr int kTextOk = 1103;
constexpr int kTextCancel = 1104;
constexpr int kTextFile = 1202;
constexpr int kTextFileDialogTitle = 2055; // "Input a file name for save of then page"
constexpr int kTextPrintCaption = 2150;
constexpr int kTextExportCaption = 2151;
constexpr int kTextProperty = 2152;
constexpr int kTextCopies = 2153;
constexpr int kTextCollate = 2154;
constexpr int kTextPageRange = 2155;
constexpr int kTextAll = 2156;
constexpr int kTextCurrent = 2157;
constexpr int kTextEven = 2158;
constexpr int kTextOdd = 2159;
constexpr int kTextPages = 2160;
constexpr int kTextHint = 2161;
constexpr int kTextSaveAs = 2162;
constexpr int kTextSeparate = 2163;
constexpr int kTextPrinter = 2165;
constexpr int kTextName = 2166;
constexpr int kTextFormat = 2167;

// A small printer drawn for the printer list (themes without a printer
// icon are common on servers and in containers).
QIcon PrinterIcon()
{
    const QIcon themed = QIcon::fromTheme(QStringLiteral("printer"));
    if (!themed.isNull())
        return themed;
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setPen(QColor(60, 60, 60));
    p.setBrush(Qt::white);
    p.drawRect(4, 1, 7, 5);  // paper going in
    p.setBrush(QColor(150, 150, 160));
    p.drawRect(1, 6, 13, 6); // body
    p.setBrush(Qt::white);
    p.drawRect(4, 10, 7, 4); // paper coming out
    p.setPen(QColor(40, 160, 40));
    p.drawPoint(12, 8);
    return QIcon(pixmap);
}

} // namespace

bool RunQtPrinterSetup(QWidget* parent, int& printerIndex)
{
    TPrinterService& service = TPrinterService::Instance();
    const QStringList names = service.Printers();
    if (!service.HasSystemPrinters() || printerIndex < 0 || printerIndex >= names.size())
        return false;
    QPrinter printer(QPrinterInfo::printerInfo(names[printerIndex]));
    QPrintDialog dialog(&printer, parent);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const int chosen = int(names.indexOf(printer.printerName()));
    if (chosen >= 0)
        printerIndex = chosen;
    return true;
}

QString QtFileFilter(const QString& classicFilter)
{
    const QStringList parts = classicFilter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        QString patterns = QString(parts[i + 1]).replace(u';', u' ');
        // Linux names are case-sensitive: "*.CSV" finds "out.csv" only in lower case.
        if (patterns != patterns.toLower())
            patterns = patterns.toLower() + u' ' + patterns;
        // "All files (*.*)" names its pattern already.
        if (!description.contains(u'('))
            description += QStringLiteral(" (") + patterns + u')';
        filters << description;
    }
    return filters.join(QStringLiteral(";;"));
}

QString ReplaceExtension(const QString& fileName, const QString& ext)
{
    const qsizetype slash = fileName.lastIndexOf(u'/');
    const qsizetype dot = fileName.lastIndexOf(u'.');
    const QString stem = dot > slash + 1 ? fileName.left(dot) : fileName;
    if (stem.isEmpty() || stem.endsWith(u'/'))
        return fileName;
    return stem + u'.' + ext.toLower();
}

TfrmPrintSetup::TfrmPrintSetup(const TPrintRequest& request, QWidget* parent)
    : QDialog(parent), FMode(TMode::Print), FLang(request.Lang), FNumPages(request.NumPages),
      FCurrentPage(request.CurrentPage)
{
    TPrinterService& service = TPrinterService::Instance();
    FOldPrinterIndex = service.PrinterIndex();
    Build(request.Lang);
    const QStringList names = service.Printers();
    const QIcon icon = PrinterIcon();
    for (const QString& name : names)
        cbPrinterName->addItem(icon, name);
    int index = request.PrinterName.isEmpty() ? request.PrinterIndex : int(names.indexOf(request.PrinterName));
    if (index < 0 || index >= names.size())
        index = FOldPrinterIndex;
    cbPrinterName->setCurrentIndex(index);
    SystemPrinterSetup = [this](int& printerIndex) { return RunQtPrinterSetup(this, printerIndex); };
}

TfrmPrintSetup::TfrmPrintSetup(const TSaveExportRequest& request, QWidget* parent)
    : QDialog(parent), FMode(TMode::File), FLang(request.Lang), FNumPages(request.NumPages),
      FCurrentPage(request.CurrentPage), FFormats(request.Formats)
{
    Build(request.Lang);
    for (const TSaveExportFormat& format : request.Formats)
        cbExportType->addItem(format.IconName.isEmpty() ? QIcon() : QIcon::fromTheme(format.IconName), format.Name);
    if (!request.FileName.isEmpty())
        edFileName->setText(request.FileName);
    // The first format is selected; the name is not changed for it.
    QSignalBlocker block(cbExportType);
    cbExportType->setCurrentIndex(request.Formats.isEmpty() ? -1 : 0);
}

TfrmPrintSetup::~TfrmPrintSetup() = default;

void TfrmPrintSetup::Build(int lang)
{
    setObjectName(QStringLiteral("frmPrintSetup"));
    setWindowTitle(GetString(lang, FMode == TMode::Print ? kTextPrintCaption : kTextExportCaption));
    auto* layout = new QVBoxLayout(this);

    // --- printer panel
    auto* printerBox = new QGroupBox(GetString(lang, kTextPrinter), this);
    pnlPrinter = printerBox;
    pnlPrinter->setObjectName(QStringLiteral("pnlPrinter"));
    auto* printerGrid = new QGridLayout(printerBox);
    cbPrinterName = new QComboBox(printerBox);
    cbPrinterName->setObjectName(QStringLiteral("cbPrinterName"));
    cbPrinterName->setMinimumWidth(220);
    btnPrinter = new QPushButton(GetString(lang, kTextProperty), printerBox);
    btnPrinter->setObjectName(QStringLiteral("btnPrinter"));
    edCopy = new QLineEdit(QStringLiteral("1"), printerBox);
    edCopy->setObjectName(QStringLiteral("edCopy"));
    edCopy->setMaximumWidth(60);
    cbCollate = new QCheckBox(GetString(lang, kTextCollate), printerBox);
    cbCollate->setObjectName(QStringLiteral("cbCollate"));
    auto* nameLabel = new QLabel(GetString(lang, kTextName), printerBox);
    nameLabel->setBuddy(cbPrinterName);
    auto* copiesLabel = new QLabel(GetString(lang, kTextCopies), printerBox);
    copiesLabel->setBuddy(edCopy);
    printerGrid->addWidget(nameLabel, 0, 0);
    printerGrid->addWidget(cbPrinterName, 0, 1, 1, 2);
    printerGrid->addWidget(btnPrinter, 0, 3);
    printerGrid->addWidget(copiesLabel, 1, 0);
    printerGrid->addWidget(edCopy, 1, 1);
    printerGrid->addWidget(cbCollate, 1, 2);
    layout->addWidget(pnlPrinter);
    connect(btnPrinter, &QPushButton::clicked, this, &TfrmPrintSetup::RunPrinterSetup);

    // --- export panel
    auto* exportBox = new QGroupBox(GetString(lang, kTextFile), this);
    pnlExport = exportBox;
    pnlExport->setObjectName(QStringLiteral("pnlExport"));
    auto* exportGrid = new QGridLayout(exportBox);
    edFileName = new QLineEdit(exportBox);
    edFileName->setObjectName(QStringLiteral("edFileName"));
    edFileName->setMinimumWidth(260);
    pnlFileName = new QPushButton(QStringLiteral("..."), exportBox);
    pnlFileName->setObjectName(QStringLiteral("pnlFileName"));
    pnlFileName->setMaximumWidth(32);
    cbExportType = new QComboBox(exportBox);
    cbExportType->setObjectName(QStringLiteral("cbExportType"));
    cbSeparateFile = new QCheckBox(GetString(lang, kTextSeparate), exportBox);
    cbSeparateFile->setObjectName(QStringLiteral("cbSeparateFile"));
    auto* saveAsLabel = new QLabel(GetString(lang, kTextSaveAs), exportBox);
    saveAsLabel->setBuddy(edFileName);
    auto* formatLabel = new QLabel(GetString(lang, kTextFormat), exportBox);
    formatLabel->setBuddy(cbExportType);
    exportGrid->addWidget(saveAsLabel, 0, 0);
    exportGrid->addWidget(edFileName, 0, 1);
    exportGrid->addWidget(pnlFileName, 0, 2);
    exportGrid->addWidget(formatLabel, 1, 0);
    exportGrid->addWidget(cbExportType, 1, 1, 1, 2);
    exportGrid->addWidget(cbSeparateFile, 2, 1, 1, 2);
    layout->addWidget(pnlExport);
    connect(pnlFileName, &QPushButton::clicked, this, &TfrmPrintSetup::ChooseFile);
    connect(cbExportType, &QComboBox::currentIndexChanged, this, &TfrmPrintSetup::FormatChanged);

    pnlPrinter->setVisible(FMode == TMode::Print);
    pnlExport->setVisible(FMode == TMode::File);

    // --- page range
    gbPageRange = new QGroupBox(GetString(lang, kTextPageRange).trimmed(), this);
    gbPageRange->setObjectName(QStringLiteral("gbPageRange"));
    auto* rangeGrid = new QGridLayout(gbPageRange);
    rbAll = new QRadioButton(GetString(lang, kTextAll), gbPageRange);
    rbCurrent = new QRadioButton(GetString(lang, kTextCurrent), gbPageRange);
    rbEven = new QRadioButton(GetString(lang, kTextEven), gbPageRange);
    rbOdd = new QRadioButton(GetString(lang, kTextOdd), gbPageRange);
    rbRange = new QRadioButton(GetString(lang, kTextPages), gbPageRange);
    edPages = new QLineEdit(gbPageRange);
    lblHint = new QLabel(FormatText(GetString(lang, kTextHint), {QStringLiteral("\n")}), gbPageRange);
    lblHint->setWordWrap(true);
    lblError = new QLabel(gbPageRange);
    lblError->setStyleSheet(QStringLiteral("color: #b00000"));
    lblError->setWordWrap(true);
    lblError->hide();
    rbAll->setObjectName(QStringLiteral("rbAll"));
    rbCurrent->setObjectName(QStringLiteral("rbCurrent"));
    rbEven->setObjectName(QStringLiteral("rbEven"));
    rbOdd->setObjectName(QStringLiteral("rbOdd"));
    rbRange->setObjectName(QStringLiteral("rbRange"));
    edPages->setObjectName(QStringLiteral("edPages"));
    rangeGrid->addWidget(rbAll, 0, 0);
    rangeGrid->addWidget(rbEven, 0, 1);
    rangeGrid->addWidget(rbCurrent, 1, 0);
    rangeGrid->addWidget(rbOdd, 1, 1);
    rangeGrid->addWidget(rbRange, 2, 0);
    rangeGrid->addWidget(edPages, 2, 1);
    rangeGrid->addWidget(lblHint, 3, 0, 1, 2);
    rangeGrid->addWidget(lblError, 4, 0, 1, 2);
    rbAll->setChecked(true);
    layout->addWidget(gbPageRange);
    // Clicking into the range edit chooses the range; choosing the range
    // puts the cursor into the edit.
    edPages->installEventFilter(this);
    connect(rbRange, &QRadioButton::clicked, edPages, [this] { edPages->setFocus(Qt::OtherFocusReason); });
    connect(edPages, &QLineEdit::textEdited, lblError, &QLabel::hide);

    // --- buttons
    auto* buttons = new QHBoxLayout;
    btnOK = new QPushButton(GetString(lang, kTextOk), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(GetString(lang, kTextCancel), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

bool TfrmPrintSetup::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == edPages && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::FocusIn))
        rbRange->setChecked(true);
    return QDialog::eventFilter(watched, event);
}

TPageRangeKind TfrmPrintSetup::PageRangeKind() const
{
    if (rbRange->isChecked())
        return TPageRangeKind::Range;
    if (rbCurrent->isChecked())
        return TPageRangeKind::Current;
    if (rbEven->isChecked())
        return TPageRangeKind::Even;
    if (rbOdd->isChecked())
        return TPageRangeKind::Odd;
    return TPageRangeKind::All;
}

QList<int> TfrmPrintSetup::PageList() const
{
    return DialogPageList(PageRangeKind(), edPages->text(), FNumPages, FCurrentPage);
}

TPrintChoice TfrmPrintSetup::PrintChoice() const
{
    TPrintChoice choice;
    choice.Pages = PageList();
    bool ok = false;
    const int copies = edCopy->text().trimmed().toInt(&ok);
    choice.Copies = ok ? copies : 1;
    choice.Collate = cbCollate->isChecked();
    return choice;
}

TSaveExportChoice TfrmPrintSetup::SaveChoice() const
{
    TSaveExportChoice choice;
    choice.FormatIndex = std::max(0, cbExportType->currentIndex());
    choice.FileName = edFileName->text();
    choice.Pages = PageList();
    choice.SeparateFiles = cbSeparateFile->isChecked();
    return choice;
}

void TfrmPrintSetup::accept()
{
    // A range that names no page (or a number beyond 32 bits) would print
    // or save nothing: say so and let the user correct it.
    if (rbRange->isChecked()) {
        QString problem;
        try {
            if (PageList().isEmpty())
                problem = QStringLiteral("The page range \"%1\" names no page.").arg(edPages->text());
        } catch (const EKVXError& e) {
            problem = e.Message();
        }
        if (!problem.isEmpty()) {
            lblError->setText(problem);
            lblError->show();
            edPages->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
    if (FMode == TMode::File && edFileName->text().trimmed().isEmpty()) {
        edFileName->setFocus(Qt::OtherFocusReason);
        return;
    }
    // The printer chosen in the list is the one the job goes to.
    if (FMode == TMode::Print && cbPrinterName->currentIndex() >= 0)
        TPrinterService::Instance().SetPrinterIndex(cbPrinterName->currentIndex());
    QDialog::accept();
}

void TfrmPrintSetup::reject()
{
    // The printer set-up may have changed the system printer: back to the one
    // the dialog found.
    if (FMode == TMode::Print)
        TPrinterService::Instance().SetPrinterIndex(FOldPrinterIndex);
    QDialog::reject();
}

void TfrmPrintSetup::RunPrinterSetup()
{
    int index = cbPrinterName->currentIndex();
    if (!SystemPrinterSetup || !SystemPrinterSetup(index))
        return;
    TPrinterService& service = TPrinterService::Instance();
    service.SetPrinterIndex(index);
    cbPrinterName->setCurrentIndex(service.PrinterIndex());
}

void TfrmPrintSetup::FormatChanged(int index)
{
    if (index < 0 || index >= FFormats.size() || edFileName->text().isEmpty())
        return;
    edFileName->setText(ReplaceExtension(edFileName->text(), FFormats[index].Extension));
}

void TfrmPrintSetup::ChooseFile()
{
    const int index = cbExportType->currentIndex();
    const TSaveExportFormat format = index >= 0 && index < FFormats.size() ? FFormats[index] : TSaveExportFormat{};
    QFileDialog dialog(this, GetString(FLang, kTextFileDialogTitle));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(QtFileFilter(format.FileFilter));
    dialog.setDefaultSuffix(format.Extension.toLower());
    if (!edFileName->text().isEmpty())
        dialog.selectFile(edFileName->text());
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        edFileName->setText(dialog.selectedFiles().constFirst());
}

} // namespace vorel
