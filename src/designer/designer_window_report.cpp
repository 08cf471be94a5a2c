// The designer window's report-level commands: the data sets the report
// holds, and the page layout and report settings dialogs. Each change is
// one edit of the design history.

#include "designer/data_sources_dialog.h"
#include "designer/designer.h"
#include "designer/designer_window.h"
#include "designer/page_layout_dialog.h"
#include "designer/report_settings_dialog.h"
#include "data/data_manager.h"
#include "data/sql_dataset.h"
#include "model/report.h"

#include <QRegularExpression>

namespace vorel {

namespace {

// The data manager the report owns (a self-contained form's), or none.
TKVXDataManager* OwnedManager(const TKVReport* report)
{
    TKVXDataManager* manager = report->DataManager();
    return manager && manager->parent() == report ? manager : nullptr;
}

} // namespace

QList<TDataSet*> TKVXDesignerWindow::ReportDataSets() const
{
    QList<TDataSet*> dataSets;
    if (const TKVReport* report = Report())
        for (QObject* component : OwnedComponents(report))
            if (auto* dataSet = qobject_cast<TDataSet*>(component))
                dataSets.append(dataSet);
    return dataSets;
}

QString TKVXDesignerWindow::CheckDataSetName(const QString& name, const TDataSet* except) const
{
    // Expressions qualify fields with it ("Orders.Amount") and forms refer
    // to it by it: an identifier, and no other component of the report's.
    static const QRegularExpression identifier(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    if (name.isEmpty())
        return tr("A data set needs a name.");
    if (!identifier.match(name).hasMatch())
        return tr("The name '%1' is no identifier: letters, digits and '_', not starting with a digit.").arg(name);
    const TKVReport* report = Report();
    if (!report)
        return tr("No report.");
    if (TComponent* other = report->FindComponent(name); other && other != except)
        return tr("The report already has a component named '%1'.").arg(other->Name());
    return QString();
}

TSqlDataSet* TKVXDesignerWindow::AddSqlDataSet(const QString& name, const QString& connection, const QString& sql,
                                               QString* error)
{
    const QString problem = CheckDataSetName(name);
    if (error)
        *error = problem;
    if (!problem.isEmpty())
        return nullptr;
    TKVReport* report = Report();
    TSqlDataSet* dataSet = nullptr;
    {
        TEditScope edit(FHistory.get(), tr("Add data set"), {});
        dataSet = new TSqlDataSet(report);
        dataSet->SetName(name);
        if (!report->FormDirectory().isEmpty())
            dataSet->SetBaseDirectory(report->FormDirectory());
        dataSet->SetConnection(connection);
        dataSet->SetSQL(sql);
        if (TKVXDataManager* manager = OwnedManager(report)) {
            TKVXDataset* item = manager->Datasets()->Add();
            item->SetDataset(dataSet);
        }
        if (!report->DataSet())
            report->SetDataSet(dataSet);
    }
    return dataSet;
}

void TKVXDesignerWindow::RemoveDataSet(TDataSet* dataSet)
{
    TKVReport* report = Report();
    if (!report || !dataSet || dataSet->parent() != report)
        return;
    {
        TEditScope edit(FHistory.get(), tr("Remove data set"), {});
        if (TKVXDataManager* manager = OwnedManager(report)) {
            TKVXDatasets* items = manager->Datasets();
            for (int i = items->Count() - 1; i >= 0; --i)
                if (items->Items(i)->Dataset() == dataSet)
                    items->Delete(i);
        }
        FHistory->NoteDeleting(dataSet);
        // The report, its bands and other data sets drop their references
        // as it goes (free notification).
        delete dataSet;
    }
    SelectionChanged();
}

bool TKVXDesignerWindow::ChangeDataSet(TDataSet* dataSet, const QString& name, const QString* connection,
                                       const QString* sql, QString* error)
{
    TKVReport* report = Report();
    if (!report || !dataSet || dataSet->parent() != report)
        return false;
    const QString problem = name == dataSet->Name() ? QString() : CheckDataSetName(name, dataSet);
    if (error)
        *error = problem;
    if (!problem.isEmpty())
        return false;
    auto* sqlDataSet = qobject_cast<TSqlDataSet*>(dataSet);
    TEditScope edit(FHistory.get(), tr("Change data set"), {});
    if (name != dataSet->Name()) {
        const QString old = dataSet->Name();
        if (TKVXDataManager* manager = OwnedManager(report))
            for (int i = 0; i < manager->Datasets()->Count(); ++i)
                if (TKVXDataset* item = manager->Datasets()->Items(i);
                    item->Dataset() == dataSet && item->Caption() == old)
                    item->SetCaption(name);
        dataSet->SetName(name);
    }
    if (sqlDataSet && ((connection && *connection != sqlDataSet->Connection()) || (sql && *sql != sqlDataSet->SQL()))) {
        // The connection and the query change only while closed; an open
        // data set opens again with the new query (and says so when it fails).
        const bool wasActive = sqlDataSet->Active();
        sqlDataSet->Close();
        if (connection)
            sqlDataSet->SetConnection(*connection);
        if (sql)
            sqlDataSet->SetSQL(*sql);
        if (wasActive) {
            try {
                sqlDataSet->Open();
            } catch (const std::exception& e) {
                if (error)
                    *error = QString::fromUtf8(e.what());
            }
        }
    }
    return true;
}

void TKVXDesignerWindow::EditDataSources()
{
    if (!Report())
        return;
    TDataSourcesDialog dialog(this, this);
    dialog.exec();
    if (dialog.InspectorAsked() && dialog.Current()) {
        FDesigner->ClearSelected();
        SetCurrentObject(dialog.Current());
        EditProperties();
    }
}

void TKVXDesignerWindow::EditReport(const QString& text, const std::function<void(TKVReport*)>& change)
{
    if (!Report())
        return;
    {
        TEditScope edit(FHistory.get(), text, {});
        change(Report());
    }
    // The paper and columns decide the bands' width and the rulers.
    RebuildBands();
    SelectionChanged();
}

void TKVXDesignerWindow::EditPageLayout()
{
    if (!Report())
        return;
    TPageLayoutDialog dialog(Report(), this);
    if (dialog.exec() == QDialog::Accepted)
        EditReport(tr("Page layout"), [&dialog](TKVReport* report) { dialog.ApplyTo(report); });
}

void TKVXDesignerWindow::EditReportSettings()
{
    if (!Report())
        return;
    TReportSettingsDialog dialog(Report(), ReportDataSets(), this);
    const int result = dialog.exec();
    if (result == QDialog::Accepted)
        EditReport(tr("Report settings"), [&dialog](TKVReport* report) { dialog.ApplyTo(report); });
    if (dialog.InspectorAsked()) {
        FDesigner->ClearSelected();
        SetCurrentObject(Report());
        EditProperties();
    }
}

} // namespace vorel
