#include "designer/report_settings_dialog.h"

#include "data/dataset.h"
#include "foundation/records/document_properties.h"
#include "model/report.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace vorel {

TReportSettingsDialog::TReportSettingsDialog(TKVReport* report, const QList<TDataSet*>& dataSets, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Report settings"));
    setObjectName("ReportSettingsDialog");
    auto* layout = new QVBoxLayout(this);

    auto* documentBox = new QGroupBox(tr("Document"), this);
    auto* document = new QFormLayout(documentBox);
    FTitle = new QLineEdit(documentBox);
    FAuthor = new QLineEdit(documentBox);
    FSubject = new QLineEdit(documentBox);
    FKeywords = new QLineEdit(documentBox);
    FComments = new QPlainTextEdit(documentBox);
    FComments->setTabChangesFocus(true);
    FComments->setMaximumHeight(70);
    document->addRow(tr("&Title:"), FTitle);
    document->addRow(tr("&Author:"), FAuthor);
    document->addRow(tr("&Subject:"), FSubject);
    document->addRow(tr("&Keywords:"), FKeywords);
    document->addRow(tr("Co&mments:"), FComments);
    layout->addWidget(documentBox);

    auto* dataBox = new QGroupBox(tr("Data and preparing"), this);
    auto* data = new QFormLayout(dataBox);
    FMaster = new QComboBox(dataBox);
    FMaster->addItem(tr("(none)"));
    QList<TDataSet*> choices = dataSets;
    // A master the application set (not one of the report's) stays a choice.
    if (report->DataSet() && !choices.contains(report->DataSet()))
        choices.prepend(report->DataSet());
    for (TDataSet* dataSet : choices) {
        FMaster->addItem(dataSet->DisplayedName());
        FDataSets.append(dataSet);
    }
    FMaster->setCurrentIndex(int(choices.indexOf(report->DataSet())) + 1);
    FMaster->setToolTip(tr("The detail band prints once for each record of this data set"));
    FTwoPass = new QCheckBox(tr("T&wo passes (the page count is known: \"page N of M\")"), dataBox);
    FProgress = new QCheckBox(tr("Show &progress while preparing"), dataBox);
    FDisableControls = new QCheckBox(tr("&Disable the data set's controls while preparing"), dataBox);
    data->addRow(tr("Master &data set:"), FMaster);
    data->addRow(FTwoPass);
    data->addRow(FProgress);
    data->addRow(FDisableControls);
    layout->addWidget(dataBox);

    auto* numberBox = new QGroupBox(tr("Page numbers"), this);
    auto* numbers = new QFormLayout(numberBox);
    FStartAt = new QSpinBox(numberBox);
    FStartAt->setRange(-1000000, 1000000);
    FStartAt->setToolTip(tr("Added to every page number"));
    FCountBy = new QSpinBox(numberBox);
    FCountBy->setRange(-1000, 1000);
    FCountBy->setToolTip(tr("The step between page numbers"));
    numbers->addRow(tr("Add to page numbers:"), FStartAt);
    numbers->addRow(tr("Count &by:"), FCountBy);
    layout->addWidget(numberBox);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* inspector = buttons->addButton(tr("Object &inspector..."), QDialogButtonBox::ResetRole);
    inspector->setToolTip(tr("Every property of the report, in the object inspector"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(inspector, &QPushButton::clicked, this, [this] {
        FInspectorAsked = true;
        reject();
    });

    const TKVProperty* properties = report->KVProperty();
    FTitle->setText(properties->Title());
    FAuthor->setText(properties->Author());
    FSubject->setText(properties->Subject());
    FKeywords->setText(properties->Keywords());
    FComments->setPlainText(properties->Comments()->List().join(u'\n'));
    FTwoPass->setChecked(report->TwoPass());
    FProgress->setChecked(report->AnimatedStatus());
    FDisableControls->setChecked(report->Options().testFlag(roDisableControls));
    FStartAt->setValue(report->PageNoStartAt());
    FCountBy->setValue(report->PageNoCountBy());
}

void TReportSettingsDialog::ApplyTo(TKVReport* report) const
{
    TKVProperty* properties = report->KVProperty();
    if (FTitle->text() != properties->Title())
        properties->SetTitle(FTitle->text());
    if (FAuthor->text() != properties->Author())
        properties->SetAuthor(FAuthor->text());
    if (FSubject->text() != properties->Subject())
        properties->SetSubject(FSubject->text());
    if (FKeywords->text() != properties->Keywords())
        properties->SetKeywords(FKeywords->text());
    QStringList comments = FComments->toPlainText().split(u'\n');
    if (comments == QStringList{QString()})
        comments.clear();
    if (comments != properties->Comments()->List())
        properties->Comments()->SetList(comments);
    const int master = FMaster->currentIndex() - 1;
    TDataSet* dataSet = master >= 0 && master < FDataSets.size() ? FDataSets[master].data() : nullptr;
    if (dataSet != report->DataSet())
        report->SetDataSet(dataSet);
    if (FTwoPass->isChecked() != report->TwoPass())
        report->SetTwoPass(FTwoPass->isChecked());
    if (FProgress->isChecked() != report->AnimatedStatus())
        report->SetAnimatedStatus(FProgress->isChecked());
    if (FDisableControls->isChecked() != report->Options().testFlag(roDisableControls)) {
        TKVXOptions options = report->Options();
        options.setFlag(roDisableControls, FDisableControls->isChecked());
        report->SetOptions(options);
    }
    if (FStartAt->value() != report->PageNoStartAt())
        report->SetPageNoStartAt(FStartAt->value());
    if (FCountBy->value() != report->PageNoCountBy())
        report->SetPageNoCountBy(FCountBy->value());
}

} // namespace vorel
