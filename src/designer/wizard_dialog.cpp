// The report wizard's dialog and the designer command around it.

#include "designer/wizard_dialog.h"

#include "designer/design_history.h"
#include "designer/designer.h"
#include "designer/designer_window.h"
#include "foundation/language/language.h"
#include "model/band.h"
#include "model/report.h"
#include "data/data_manager.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaEnum>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

namespace vorel {

namespace {

// Text ids of the wizard's texts in the language tables.
enum : int {
    kTextCommand = 2000,
    kTextCaption = 2001,
    kTextReportType = 2002,
    kTextFirstType = 2003, // four types
    kTextReportStyle = 2007,
    kTextFirstStyle = 2008, // four styles
    kTextFields = 2012,
    kTextFirstFieldColumn = 2013, // DataSet, FieldLabel, FieldName, Type, Length
    kTextGrouping = 2018,
    kTextGroupBy = 2019,
    kTextCalculated = 2020,
    kTextCalcMethod = 2021,
    kTextReset = 2022,
    kTextLabelSetup = 2023,
    kTextAcross = 2024,
    kTextShape = 2025,
    kTextFirstShape = 2026, // None, Rectangle, Rounded rectangle
    kTextAbort = 2029,
    kTextExpression = 1161,
    kTextEndOfReport = 1165,
    kTextEndOfPage = 1166,
};

constexpr int kCalcRowsAtStart = 4;

// A small picture of a style: a title in role 0, two captions in role 1 and
// a row of values, drawn as the style draws them.
QPixmap StylePreview(TWizardStyle style)
{
    QPixmap picture(150, 80);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    const QColor navy(0, 0, 128), maroon(128, 0, 0), teal(0, 128, 128), yellow(255, 255, 0);
    QFont title(QStringLiteral("Arial"));
    title.setPixelSize(16);
    title.setBold(true);
    QFont caption(QStringLiteral("Arial"));
    caption.setPixelSize(10);
    QFont value = caption;
    caption.setBold(style != TWizardStyle::Corporative);
    caption.setItalic(style == TWizardStyle::Corporative);
    QRect titleRect(4, 4, 142, 24);
    QColor titleColor = Qt::black, captionColor = Qt::black;
    switch (style) {
    case TWizardStyle::Standard:
        painter.fillRect(QRect(4, 27, 142, 2), Qt::black);
        break;
    case TWizardStyle::Executive:
        painter.fillRect(titleRect, teal);
        titleColor = yellow;
        captionColor = navy;
        break;
    case TWizardStyle::Presentative:
        painter.fillRect(QRect(4, 3, 142, 2), maroon);
        painter.fillRect(QRect(4, 27, 142, 2), maroon);
        titleColor = maroon;
        break;
    case TWizardStyle::Corporative:
        painter.fillRect(QRect(4, 3, 142, 3), navy);
        title.setItalic(true);
        titleColor = navy;
        captionColor = navy;
        break;
    }
    painter.setFont(title);
    painter.setPen(titleColor);
    painter.drawText(titleRect, style == TWizardStyle::Standard ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter,
                     QStringLiteral("Title"));
    painter.setFont(caption);
    painter.setPen(captionColor);
    painter.drawText(QPoint(8, 44), QStringLiteral("Name"));
    painter.drawText(QPoint(80, 44), QStringLiteral("Amount"));
    if (style == TWizardStyle::Presentative)
        painter.fillRect(QRect(8, 47, 130, 1), Qt::black);
    painter.setFont(value);
    painter.setPen(Qt::black);
    painter.drawText(QPoint(8, 60), QStringLiteral("Aster"));
    painter.drawText(QPoint(80, 60), QStringLiteral("12.50"));
    painter.drawText(QPoint(8, 74), QStringLiteral("Birch"));
    painter.drawText(QPoint(80, 74), QStringLiteral("7.25"));
    if (style != TWizardStyle::Standard)
        painter.fillRect(QRect(4, 63, 142, 1), Qt::black);
    painter.setPen(QColor(160, 160, 160));
    painter.drawRect(picture.rect().adjusted(0, 0, -1, -1));
    return picture;
}

QWizardPage* Page(const QString& title)
{
    auto* page = new QWizardPage;
    page->setTitle(title);
    return page;
}

} // namespace

TWizardDialog::TWizardDialog(TKVReport* report, QWidget* parent) : QWizard(parent), FReport(report)
{
    FLanguage = report ? report->GetLanguageShift() : 0;
    if (report) {
        // The field list needs the fields, which a data set has while open.
        if (TKVXDataManager* manager = report->GetDataManager()) {
            for (int i = 0; i < manager->Datasets()->Count(); ++i)
                if (TDataSet* dataSet = manager->Datasets()->Items(i)->Dataset(); dataSet && !dataSet->Active()) {
                    try {
                        dataSet->Open();
                    } catch (const std::exception&) {
                        // Listed without fields; the designer reports the
                        // data set's fault where it is edited.
                    }
                }
            FFields = WizardFieldList(manager);
        }
    }
    setWindowTitle(Text(kTextCaption));
    setWizardStyle(QWizard::ClassicStyle);
    setOption(QWizard::NoBackButtonOnStartPage);
    setPage(pgType, MakeTypePage());
    setPage(pgStyle, MakeStylePage());
    setPage(pgFields, MakeFieldsPage());
    setPage(pgGroups, MakeGroupsPage());
    setPage(pgCalculations, MakeCalculationsPage());
    setPage(pgLabels, MakeLabelsPage());
    setStartId(pgType);
    resize(640, 460);
}

QString TWizardDialog::Text(int id) const
{
    return GetString(FLanguage, id);
}

QWizardPage* TWizardDialog::MakeTypePage()
{
    QWizardPage* page = Page(Text(kTextReportType));
    auto* layout = new QVBoxLayout(page);
    FType = new QButtonGroup(page);
    for (int i = 0; i < 4; ++i) {
        auto* button = new QRadioButton(Text(kTextFirstType + i), page);
        FType->addButton(button, i);
        layout->addWidget(button);
    }
    FType->button(int(TWizardReportType::Columnar))->setChecked(true);
    layout->addStretch();
    return page;
}

QWizardPage* TWizardDialog::MakeStylePage()
{
    QWizardPage* page = Page(Text(kTextReportStyle));
    auto* layout = new QGridLayout(page);
    FStyle = new QButtonGroup(page);
    for (int i = 0; i < 4; ++i) {
        auto* button = new QRadioButton(Text(kTextFirstStyle + i), page);
        FStyle->addButton(button, i);
        auto* preview = new QLabel(page);
        preview->setPixmap(StylePreview(TWizardStyle(i)));
        layout->addWidget(button, (i / 2) * 2, i % 2);
        layout->addWidget(preview, (i / 2) * 2 + 1, i % 2);
    }
    FStyle->button(0)->setChecked(true);
    layout->setRowStretch(4, 1);
    return page;
}

QWizardPage* TWizardDialog::MakeFieldsPage()
{
    QWizardPage* page = Page(Text(kTextFields));
    auto* layout = new QVBoxLayout(page);
    FFieldTable = new QTableWidget(int(FFields.size()), 5, page);
    QStringList headers;
    for (int c = 0; c < 5; ++c)
        headers << Text(kTextFirstFieldColumn + c);
    FFieldTable->setHorizontalHeaderLabels(headers);
    FFieldTable->verticalHeader()->hide();
    FFieldTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    FFieldTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int r = 0; r < FFields.size(); ++r) {
        const TWizardField& field = FFields[r];
        const QString cells[5] = {field.DataSetCaption, field.DisplayName, field.FieldName,
                                  FieldTypeName(field.Type).mid(2), QString::number(field.Length)};
        for (int c = 0; c < 5; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c == 0) {
                item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
                item->setCheckState(field.Ticked ? Qt::Checked : Qt::Unchecked);
            }
            FFieldTable->setItem(r, c, item);
        }
    }
    FFieldTable->resizeColumnsToContents();
    FFieldTable->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(FFieldTable);
    return page;
}

QWizardPage* TWizardDialog::MakeGroupsPage()
{
    QWizardPage* page = Page(Text(kTextGrouping));
    auto* layout = new QGridLayout(page);
    QStringList entries;
    for (const TWizardField& field : FFields)
        entries << field.GroupEntry();
    for (int g = 0; g < 3; ++g) {
        FGroupTicks[g] = new QCheckBox(Text(kTextGroupBy), page);
        FGroupFields[g] = new QComboBox(page);
        FGroupFields[g]->addItems(entries);
        FGroupFields[g]->setEnabled(false);
        connect(FGroupTicks[g], &QCheckBox::toggled, FGroupFields[g], &QWidget::setEnabled);
        connect(FGroupTicks[g], &QCheckBox::toggled, this, [this] { RefreshResetChoices(); });
        connect(FGroupFields[g], &QComboBox::currentIndexChanged, this, [this] { RefreshResetChoices(); });
        layout->addWidget(FGroupTicks[g], g, 0);
        layout->addWidget(FGroupFields[g], g, 1);
    }
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(3, 1);
    return page;
}

QWizardPage* TWizardDialog::MakeCalculationsPage()
{
    QWizardPage* page = Page(Text(kTextCalculated));
    auto* layout = new QVBoxLayout(page);
    FCalcTable = new QTableWidget(0, 3, page);
    FCalcTable->setHorizontalHeaderLabels({Text(kTextExpression), Text(kTextCalcMethod), Text(kTextReset)});
    FCalcTable->verticalHeader()->hide();
    FCalcTable->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    FCalcTable->setColumnWidth(1, 130);
    FCalcTable->setColumnWidth(2, 170);
    layout->addWidget(FCalcTable);
    auto* add = new QPushButton(tr("Add a row"), page);
    connect(add, &QPushButton::clicked, this, [this] { AddCalculationRow(); });
    layout->addWidget(add, 0, Qt::AlignLeft);
    for (int r = 0; r < kCalcRowsAtStart; ++r)
        AddCalculationRow();
    return page;
}

void TWizardDialog::AddCalculationRow()
{
    const int row = FCalcTable->rowCount();
    FCalcTable->insertRow(row);
    FCalcTable->setItem(row, 0, new QTableWidgetItem);
    auto* method = new QComboBox(FCalcTable);
    method->addItem(QString());
    const QMetaEnum calcTypes = QMetaEnum::fromType<TKVXRecordEnums::TCalcType>();
    for (int k = 0; k < calcTypes.keyCount(); ++k)
        method->addItem(QString::fromLatin1(calcTypes.key(k)));
    FCalcTable->setCellWidget(row, 1, method);
    FCalcTable->setCellWidget(row, 2, new QComboBox(FCalcTable));
    RefreshResetChoices();
}

void TWizardDialog::RefreshResetChoices()
{
    if (!FCalcTable)
        return;
    QStringList groups;
    for (int g = 0; g < 3; ++g)
        if (FGroupTicks[g] && FGroupTicks[g]->isChecked() && FGroupFields[g]->currentIndex() >= 0)
            groups << FFields[FGroupFields[g]->currentIndex()].Reference();
    for (int r = 0; r < FCalcTable->rowCount(); ++r) {
        auto* reset = static_cast<QComboBox*>(FCalcTable->cellWidget(r, 2));
        const QString kept = reset->currentText();
        reset->clear();
        reset->addItems({QString(), Text(kTextEndOfReport), Text(kTextEndOfPage)});
        reset->addItems(groups);
        reset->setCurrentIndex(std::max(0, reset->findText(kept)));
    }
}

QWizardPage* TWizardDialog::MakeLabelsPage()
{
    QWizardPage* page = Page(Text(kTextLabelSetup));
    auto* layout = new QGridLayout(page);
    FAcross = new QLineEdit(QStringLiteral("2"), page);
    FShape = new QComboBox(page);
    for (int s = 0; s < 3; ++s)
        FShape->addItem(Text(kTextFirstShape + s));
    layout->addWidget(new QLabel(Text(kTextAcross), page), 0, 0);
    layout->addWidget(FAcross, 0, 1);
    layout->addWidget(new QLabel(Text(kTextShape), page), 1, 0);
    layout->addWidget(FShape, 1, 1);
    layout->setColumnStretch(2, 1);
    layout->setRowStretch(2, 1);
    return page;
}

int TWizardDialog::nextId() const
{
    const auto type = TWizardReportType(FType->checkedId());
    switch (currentId()) {
    case pgType:
        return type == TWizardReportType::Blank ? -1 : pgStyle;
    case pgStyle:
        return pgFields;
    case pgFields:
        return type == TWizardReportType::Labels ? pgLabels : pgGroups;
    case pgGroups:
        return pgCalculations;
    default:
        return -1;
    }
}

void TWizardDialog::reject()
{
    // On the last step, Cancel is an ordinary answer; before it the user
    // may not have meant to lose the choices made so far.
    if (nextId() != -1) {
        const QString question = Text(kTextAbort);
        const bool abort = AskAbort ? AskAbort(question)
                                    : QMessageBox::question(this, windowTitle(), question) == QMessageBox::Yes;
        if (!abort)
            return;
    }
    QWizard::reject();
}

TWizardChoices TWizardDialog::Choices() const
{
    TWizardChoices choices;
    choices.Type = TWizardReportType(FType->checkedId());
    choices.Style = TWizardStyle(FStyle->checkedId());
    choices.Fields = FFields;
    for (int r = 0; r < FFields.size(); ++r)
        choices.Fields[r].Ticked = FFieldTable->item(r, 0)->checkState() == Qt::Checked;
    for (int g = 0; g < 3; ++g) {
        choices.Groups[g].Ticked = FGroupTicks[g]->isChecked();
        choices.Groups[g].Field = FGroupFields[g]->currentIndex();
    }
    for (int r = 0; r < FCalcTable->rowCount(); ++r) {
        TWizardCalculation row;
        row.Expression = FCalcTable->item(r, 0) ? FCalcTable->item(r, 0)->text().trimmed() : QString();
        const auto* method = static_cast<QComboBox*>(FCalcTable->cellWidget(r, 1));
        row.HasMethod = method->currentIndex() > 0;
        row.Method = TCalcType(std::max(0, method->currentIndex() - 1));
        const auto* reset = static_cast<QComboBox*>(FCalcTable->cellWidget(r, 2));
        const int index = reset->currentIndex();
        if (index == 1)
            row.Reset = TWizardReset::EndOfReport;
        else if (index == 2)
            row.Reset = TWizardReset::EndOfPage;
        else if (index > 2) {
            row.Reset = TWizardReset::Group;
            row.Group = reset->currentText();
        }
        choices.Calculations.append(row);
    }
    choices.LabelsAcross = FAcross->text();
    choices.LabelShape = TWizardLabelShape(FShape->currentIndex());
    return choices;
}

void TWizardDialog::SetChoices(const TWizardChoices& choices)
{
    FType->button(int(choices.Type))->setChecked(true);
    FStyle->button(int(choices.Style))->setChecked(true);
    for (int r = 0; r < FFields.size() && r < choices.Fields.size(); ++r)
        FFieldTable->item(r, 0)->setCheckState(choices.Fields[r].Ticked ? Qt::Checked : Qt::Unchecked);
    for (int g = 0; g < 3; ++g) {
        FGroupTicks[g]->setChecked(choices.Groups[g].Ticked);
        FGroupFields[g]->setCurrentIndex(choices.Groups[g].Field);
    }
    while (FCalcTable->rowCount() < choices.Calculations.size())
        AddCalculationRow();
    for (int r = 0; r < choices.Calculations.size(); ++r) {
        const TWizardCalculation& row = choices.Calculations[r];
        FCalcTable->item(r, 0)->setText(row.Expression);
        static_cast<QComboBox*>(FCalcTable->cellWidget(r, 1))->setCurrentIndex(row.HasMethod ? int(row.Method) + 1 : 0);
        auto* reset = static_cast<QComboBox*>(FCalcTable->cellWidget(r, 2));
        switch (row.Reset) {
        case TWizardReset::Unset: reset->setCurrentIndex(0); break;
        case TWizardReset::EndOfReport: reset->setCurrentIndex(1); break;
        case TWizardReset::EndOfPage: reset->setCurrentIndex(2); break;
        case TWizardReset::Group: reset->setCurrentIndex(std::max(0, reset->findText(row.Group))); break;
        }
    }
    FAcross->setText(choices.LabelsAcross);
    FShape->setCurrentIndex(int(choices.LabelShape));
}

void ApplyWizardChoices(TKVXDesignerWindow& window, TWizardChoices choices)
{
    TKVReport* report = window.Report();
    if (!report)
        return;
    choices.PrintableWidth = PrintableWidth(report); // the horizontal ruler's margins
    const auto* scroll = window.findChild<QScrollArea*>();
    choices.VisibleWidth = scroll ? scroll->viewport()->width() : choices.PrintableWidth + 30;
    window.Designer()->ClearSelected();
    window.SetCurrentObject(nullptr);
    {
        TEditScope edit(window.History(), GetString(report->GetLanguageShift(), kTextCommand));
        // Every band goes: each is kept so that the undo brings it back.
        for (TKVXBand* band : report->Bands())
            window.History()->NoteDeleting(band);
        GenerateWizardReport(*report, choices);
        report->SetReportState(rsDesign);
    }
    window.RebuildBands();
    window.SelectionChanged();
}

void RunReportWizard(TKVXDesignerWindow& window)
{
    if (!window.Report())
        return;
    TWizardDialog dialog(window.Report(), &window);
    if (dialog.exec() == QDialog::Accepted)
        ApplyWizardChoices(window, dialog.Choices());
}

} // namespace vorel
