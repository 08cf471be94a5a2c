#include "designer/page_layout_dialog.h"

#include "frame/printer_settings.h"
#include "model/report.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

namespace vorel {

namespace {

// The paper sizes and margins are kept in 0.1 mm and shown in mm.
QDoubleSpinBox* MillimetreBox(QWidget* parent, double maximum)
{
    auto* box = new QDoubleSpinBox(parent);
    box->setDecimals(1);
    box->setRange(0, maximum);
    box->setSingleStep(1);
    box->setSuffix(QStringLiteral(" mm"));
    return box;
}

int Tenths(const QDoubleSpinBox* box)
{
    return int(std::lround(box->value() * 10));
}

} // namespace

TPageLayoutDialog::TPageLayoutDialog(TKVReport* report, QWidget* parent) : QDialog(parent), FReport(report)
{
    setWindowTitle(tr("Page layout"));
    setObjectName("PageLayoutDialog");
    const int lang = report->GetLanguageShift();
    TKVXPrinter* printer = report->PrinterSetting();
    auto* layout = new QVBoxLayout(this);

    auto* paperBox = new QGroupBox(tr("Paper"), this);
    auto* paper = new QFormLayout(paperBox);
    FPaper = new QComboBox(paperBox);
    for (int size = 0; size < KVX_PAPER_SIZE_COUNT; ++size)
        FPaper->addItem(PaperSizeName(lang, TKVXPaperSize(size)), size);
    FOrientation = new QComboBox(paperBox);
    FOrientation->addItem(tr("As the printer is set"), int(spoDefault));
    FOrientation->addItem(tr("Portrait"), int(spoPortrait));
    FOrientation->addItem(tr("Landscape"), int(spoLandscape));
    FWidth = MillimetreBox(paperBox, 5000);
    FHeight = MillimetreBox(paperBox, 5000);
    auto* size = new QHBoxLayout;
    size->addWidget(FWidth);
    size->addWidget(new QLabel(QStringLiteral("x"), paperBox));
    size->addWidget(FHeight);
    paper->addRow(tr("&Size:"), FPaper);
    paper->addRow(tr("&Orientation:"), FOrientation);
    paper->addRow(tr("Width x height:"), size);
    layout->addWidget(paperBox);

    auto* marginBox = new QGroupBox(tr("Margins"), this);
    auto* margins = new QGridLayout(marginBox);
    FByDefault = new QCheckBox(tr("The printer's &unprintable area"), marginBox);
    FByDefault->setToolTip(tr("Leave the margins to the printer: only what it cannot print is left free"));
    margins->addWidget(FByDefault, 0, 0, 1, 4);
    const QString sides[4] = {tr("&Left:"), tr("&Top:"), tr("&Right:"), tr("&Bottom:")};
    for (int side = 0; side < 4; ++side) {
        FMargins[side] = MillimetreBox(marginBox, 500);
        auto* label = new QLabel(sides[side], marginBox);
        label->setBuddy(FMargins[side]);
        margins->addWidget(label, 1 + side / 2, (side % 2) * 2);
        margins->addWidget(FMargins[side], 1 + side / 2, (side % 2) * 2 + 1);
    }
    layout->addWidget(marginBox);

    auto* printBox = new QGroupBox(tr("Printer"), this);
    auto* print = new QFormLayout(printBox);
    FBin = new QComboBox(printBox);
    for (int bin = 0; bin < KVX_BIN_COUNT; ++bin)
        FBin->addItem(BinName(lang, TKVXBin(bin)), bin);
    FDuplex = new QComboBox(printBox);
    for (int duplex = sdDefault; duplex <= sdVertical; ++duplex)
        FDuplex->addItem(DuplexName(lang, TKVXDuplex(duplex)), duplex);
    FCopies = new QSpinBox(printBox);
    FCopies->setRange(1, 999);
    FCollate = new QCheckBox(tr("&Collate"), printBox);
    auto* copies = new QHBoxLayout;
    copies->addWidget(FCopies);
    copies->addWidget(FCollate);
    copies->addStretch(1);
    print->addRow(tr("Paper &source:"), FBin);
    print->addRow(tr("&Duplex:"), FDuplex);
    print->addRow(tr("Co&pies:"), copies);
    layout->addWidget(printBox);

    auto* columnBox = new QGroupBox(tr("Columns and bars"), this);
    auto* columns = new QFormLayout(columnBox);
    FColumns = new QSpinBox(columnBox);
    FColumns->setRange(1, 100);
    FColumnSpace = new QSpinBox(columnBox);
    FColumnSpace->setRange(0, 10000);
    FColumnSpace->setSuffix(tr(" px"));
    FBars = new QSpinBox(columnBox);
    FBars->setRange(1, 100);
    FBars->setToolTip(tr("How many pages wide the report is"));
    columns->addRow(tr("Colu&mns:"), FColumns);
    columns->addRow(tr("Space between columns:"), FColumnSpace);
    columns->addRow(tr("B&ars (pages side by side):"), FBars);
    layout->addWidget(columnBox);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    // The report's values.
    FPaper->setCurrentIndex(FPaper->findData(int(printer->PaperSize())));
    FOrientation->setCurrentIndex(FOrientation->findData(int(printer->Orientation())));
    FWidth->setValue(printer->GetPaperSizeWidth() / 10.0);
    FHeight->setValue(printer->GetPaperSizeHeight() / 10.0);
    TKVXPageMargins* m = printer->Margins();
    FByDefault->setChecked(m->ByDefault());
    const int values[4] = {m->Left(), m->Top(), m->Right(), m->Bottom()};
    for (int side = 0; side < 4; ++side)
        FMargins[side]->setValue(values[side] / 10.0);
    FBin->setCurrentIndex(FBin->findData(int(printer->OutputBin())));
    FDuplex->setCurrentIndex(FDuplex->findData(int(printer->Duplex())));
    FCopies->setValue(printer->Copies());
    FCollate->setChecked(printer->Collate());
    FColumns->setValue(std::max(1, report->ColumnNumber()));
    FColumnSpace->setValue(report->ColumnSpace());
    FBars->setValue(std::max(1, report->BarNumber()));

    auto marginsEnabled = [this] {
        for (QDoubleSpinBox* box : FMargins)
            box->setEnabled(!FByDefault->isChecked());
    };
    marginsEnabled();
    connect(FByDefault, &QCheckBox::toggled, this, marginsEnabled);
    connect(FPaper, &QComboBox::currentIndexChanged, this, [this] { PaperChanged(); });
    connect(FOrientation, &QComboBox::currentIndexChanged, this, [this] { PaperChanged(); });
    FWidth->setEnabled(printer->PaperSize() == psCustom);
    FHeight->setEnabled(printer->PaperSize() == psCustom);
}

void TPageLayoutDialog::PaperChanged()
{
    // A named paper shows its size (turned for landscape); a custom size
    // is typed, starting from what was shown.
    const auto size = TKVXPaperSize(FPaper->currentData().toInt());
    const bool custom = size == psCustom;
    FWidth->setEnabled(custom);
    FHeight->setEnabled(custom);
    if (custom)
        return;
    TKVXPrinter probe; // the printer's own paper for psDefault
    probe.SetOrientation(TKVXPrinterOrientation(FOrientation->currentData().toInt()));
    probe.SetPaperSize(size);
    FWidth->setValue(probe.GetPaperSizeWidth() / 10.0);
    FHeight->setValue(probe.GetPaperSizeHeight() / 10.0);
}

void TPageLayoutDialog::ApplyTo(TKVReport* report) const
{
    TKVXPrinter* printer = report->PrinterSetting();
    // Only what differs is set: setting a paper size again re-reads it, and
    // an unchanged dialog must leave the form as it was.
    const auto orientation = TKVXPrinterOrientation(FOrientation->currentData().toInt());
    const auto size = TKVXPaperSize(FPaper->currentData().toInt());
    const bool orientationChanged = orientation != printer->Orientation();
    if (orientationChanged)
        printer->SetOrientation(orientation);
    // A change of orientation swaps the width and height; a new paper takes
    // its size turned as the orientation says.
    if (size != printer->PaperSize())
        printer->SetPaperSize(size);
    if (size == psCustom) {
        if (Tenths(FWidth) != printer->GetPaperSizeWidth())
            printer->SetPaperSizeWidth(std::max(1, Tenths(FWidth)));
        if (Tenths(FHeight) != printer->GetPaperSizeHeight())
            printer->SetPaperSizeHeight(std::max(1, Tenths(FHeight)));
    }
    TKVXPageMargins* m = printer->Margins();
    if (m->ByDefault() != FByDefault->isChecked())
        m->SetByDefault(FByDefault->isChecked());
    if (!FByDefault->isChecked()) {
        if (Tenths(FMargins[0]) != m->Left())
            m->SetLeft(Tenths(FMargins[0]));
        if (Tenths(FMargins[1]) != m->Top())
            m->SetTop(Tenths(FMargins[1]));
        if (Tenths(FMargins[2]) != m->Right())
            m->SetRight(Tenths(FMargins[2]));
        if (Tenths(FMargins[3]) != m->Bottom())
            m->SetBottom(Tenths(FMargins[3]));
    }
    if (const auto bin = TKVXBin(FBin->currentData().toInt()); bin != printer->OutputBin())
        printer->SetOutputBin(bin);
    if (const auto duplex = TKVXDuplex(FDuplex->currentData().toInt()); duplex != printer->Duplex())
        printer->SetDuplex(duplex);
    if (FCopies->value() != printer->Copies())
        printer->SetCopies(FCopies->value());
    if (FCollate->isChecked() != printer->Collate())
        printer->SetCollate(FCollate->isChecked());
    if (FColumns->value() != report->ColumnNumber())
        report->SetColumnNumber(FColumns->value());
    if (FColumnSpace->value() != report->ColumnSpace())
        report->SetColumnSpace(FColumnSpace->value());
    if (FBars->value() != report->BarNumber())
        report->SetBarNumber(FBars->value());
}

} // namespace vorel
