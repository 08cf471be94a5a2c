// The designer window's files: open, save with backups, ask before
// losing changes; the recovery file; the layout kept in the user's settings.

#include "designer/band_panel.h"
#include "designer/designer.h"
#include "designer/designer_window.h"
#include "foundation/values/errors.h"
#include "model/report.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCryptographicHash>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QSaveFile>
#include <QAction>
#include <QSettings>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUndoStack>

namespace vorel {

namespace {

QString& RecoveryDirectorySlot()
{
    static QString directory;
    return directory;
}

} // namespace

// --- files --------------------------------------------------------------------------------------

bool TKVXDesignerWindow::IsModified() const
{
    return FRecovered || !FHistory->Stack()->isClean();
}

void TKVXDesignerWindow::UpdateTitle()
{
    const QString name = Report() ? QFileInfo(Report()->GetFileName()).fileName() : QString();
    setWindowTitle(tr("Vorel designer - %1%2").arg(name, IsModified() ? QStringLiteral(" *") : QString()));
}

bool TKVXDesignerWindow::MaybeSave()
{
    if (!IsModified())
        return true;
    const QString question = tr("Save the changes to %1?").arg(Report()->GetFileName());
    const int answer = AskSaveChanges ? AskSaveChanges(question)
                                      : QMessageBox::question(this, windowTitle(), question,
                                                              QMessageBox::Save | QMessageBox::Discard
                                                                  | QMessageBox::Cancel);
    if (answer == QMessageBox::Cancel)
        return false;
    if (answer == QMessageBox::Save)
        return SaveFile(Report()->GetFileName());
    // Discarded: the recovery file has nothing left to recover.
    QFile::remove(RecoveryFileName());
    return true;
}

void TKVXDesignerWindow::NewReport()
{
    if (!Report())
        return;
    QFile::remove(RecoveryFileName());
    FDesigner->ClearSelected();
    Report()->NewReport();
    Report()->SetFileName(QString());
    Report()->SetReportState(rsDesign);
    FHistory->Clear();
    FRecovered = false;
    FCurrent = nullptr;
    RebuildBands();
    UpdateTitle();
}

bool TKVXDesignerWindow::OpenFile(const QString& fileName)
{
    TKVReport* report = Report();
    if (!report)
        return false;
    FDesigner->ClearSelected();
    bool ok = true;
    try {
        report->LoadReport(fileName);
    } catch (const std::exception& e) {
        ok = false;
        const QString message = tr("%1: %2").arg(fileName, QString::fromUtf8(e.what()));
        if (ShowError)
            ShowError(message);
        else
            QMessageBox::warning(this, tr("Open"), message);
    }
    report->SetReportState(rsDesign);
    FHistory->Clear();
    FRecovered = false;
    FCurrent = nullptr;
    RebuildBands();
    UpdateTitle();
    if (ok)
        OfferRecovery();
    return ok;
}

bool TKVXDesignerWindow::SaveFile(const QString& fileName)
{
    TKVReport* report = Report();
    if (!report || fileName.isEmpty())
        return false;
    const QString oldRecovery = RecoveryFileName();
    TReportFormFormat format = TReportFormFormat::Binary;
    QFile existing(fileName);
    if (existing.open(QIODevice::ReadOnly)) {
        format = DetectReportFormFormat(existing.read(64));
        existing.close();
    }
    try {
        if (FDesigner->Options().CreateBackup && QFile::exists(fileName)) {
            const QFileInfo info(fileName);
            const QString backup = info.dir().filePath(info.completeBaseName() + QStringLiteral(".~kvx"));
            QFile::remove(backup);
            if (!QFile::copy(fileName, backup))
                throw EKVXError(tr("Cannot write the backup %1").arg(backup));
        }
        report->SaveReport(fileName, format);
    } catch (const std::exception& e) {
        const QString message = tr("%1: %2").arg(fileName, QString::fromUtf8(e.what()));
        if (ShowError)
            ShowError(message);
        else
            QMessageBox::warning(this, tr("Save"), message);
        return false;
    }
    FHistory->Stack()->setClean();
    FRecovered = false;
    QFile::remove(oldRecovery);
    QFile::remove(RecoveryFileName());
    UpdateTitle();
    return true;
}

// --- autosave -----------------------------------------------------------------------------------

void TKVXDesignerWindow::SetRecoveryDirectory(const QString& directory)
{
    RecoveryDirectorySlot() = directory;
}

QString TKVXDesignerWindow::RecoveryDirectory()
{
    if (!RecoveryDirectorySlot().isEmpty())
        return RecoveryDirectorySlot();
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("vorel/recovery"));
}

QString TKVXDesignerWindow::RecoveryFileName() const
{
    const QString file = Report() ? Report()->GetFileName() : QString();
    const QFileInfo info(file);
    // One recovery file per form file: the name says which, the hash of the
    // full path keeps two folders' "Report.kvx" apart.
    const QByteArray hash =
        QCryptographicHash::hash(info.absoluteFilePath().toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    return QDir(RecoveryDirectory())
        .filePath(info.completeBaseName() + u'-' + QString::fromLatin1(hash) + QStringLiteral(".kvx"));
}

bool TKVXDesignerWindow::WriteRecoveryFile()
{
    TKVReport* report = Report();
    if (!report || !IsModified() || FHistory->InEdit())
        return false;
    const QString name = RecoveryFileName();
    QDir().mkpath(QFileInfo(name).path());
    try {
        const QByteArray bytes = report->SaveReportToBytes(TReportFormFormat::Text);
        QSaveFile file(name);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
            statusBar()->showMessage(tr("Autosave failed: %1").arg(name), 8000);
            return false;
        }
    } catch (const std::exception& e) {
        statusBar()->showMessage(tr("Autosave failed: %1").arg(QString::fromUtf8(e.what())), 8000);
        return false;
    }
    statusBar()->showMessage(tr("Autosaved to %1").arg(name), 4000);
    return true;
}

bool TKVXDesignerWindow::OfferRecovery()
{
    TKVReport* report = Report();
    const QString name = RecoveryFileName();
    if (!report || !QFile::exists(name))
        return false;
    const QString question =
        tr("The designer kept unsaved changes of %1 (%2). Recover them?").arg(report->GetFileName(), name);
    const bool yes = AskRecover ? AskRecover(name)
                                : QMessageBox::question(this, tr("Recover"), question) == QMessageBox::Yes;
    if (!yes) {
        QFile::remove(name);
        return false;
    }
    const QString fileName = report->GetFileName();
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    file.close();
    FDesigner->ClearSelected();
    try {
        report->LoadReportFromBytes(bytes);
    } catch (const std::exception& e) {
        const QString message = tr("%1: %2").arg(name, QString::fromUtf8(e.what()));
        if (ShowError)
            ShowError(message);
        else
            QMessageBox::warning(this, tr("Recover"), message);
        return false;
    }
    report->SetFileName(fileName);
    report->SetReportState(rsDesign);
    FHistory->Clear();
    // Kept until the recovered report is saved or discarded.
    FRecovered = true;
    RebuildBands();
    UpdateTitle();
    return true;
}

// --- layout persistence -------------------------------------------------------------------------

void TKVXDesignerWindow::SaveLayout()
{
    QSettings settings(DesignerSettingsOrganisation(), DesignerSettingsApplication());
    FDesigner->Options().Save(settings);
    for (QToolBar* bar : FToolbars) {
        const QString name = bar->objectName();
        settings.setValue(name + "Visible", bar->isVisible());
        settings.setValue(name + "Left", bar->x());
        settings.setValue(name + "Top", bar->y());
        settings.setValue(name + "Width", bar->width());
        settings.setValue(name + "Height", bar->height());
    }
    settings.setValue("WindowGeometry", saveGeometry());
    settings.setValue("WindowState", saveState());
}

void TKVXDesignerWindow::LoadLayout()
{
    QSettings settings(DesignerSettingsOrganisation(), DesignerSettingsApplication());
    FDesigner->Options().Load(settings);
    if (FDesigner->Options().AutoSaveSeconds > 0)
        FAutoSave->start(FDesigner->Options().AutoSaveSeconds * 1000);
    else
        FAutoSave->stop();
    if (settings.contains("WindowGeometry"))
        restoreGeometry(settings.value("WindowGeometry").toByteArray());
    if (settings.contains("WindowState"))
        restoreState(settings.value("WindowState").toByteArray());
    for (int i = 0; i < FToolbars.size(); ++i) {
        const QString key = FToolbars[i]->objectName() + "Visible";
        const bool visible = settings.contains(key) ? settings.value(key).toBool()
                                                    : bool(FDesigner->Options().Toolbars & (1 << i));
        FToolbars[i]->setVisible(visible);
    }
    if (auto* dock = findChild<QDockWidget*>("InspectorDock"))
        dock->setVisible(FDesigner->Options().ShowInspector);
    if (auto* dock = findChild<QDockWidget*>("ExplorerDock"))
        dock->setVisible(FDesigner->Options().ShowExplorer);
    if (auto* rulers = findChild<QAction*>("RulersAction")) {
        const QSignalBlocker block(rulers);
        rulers->setChecked(FDesigner->Options().ShowRulers);
    }
    if (auto* unit = findChild<QAction*>(QStringLiteral("RulerUnit%1").arg(FDesigner->Options().RulerUnit)))
        unit->setChecked(true); // the group unchecks the others
    RebuildBands();
}

QImage TKVXDesignerWindow::Snapshot()
{
    if (!isVisible())
        show();
    QApplication::processEvents();
    return grab().toImage();
}

void TKVXDesignerWindow::closeEvent(QCloseEvent* event)
{
    if (!MaybeSave()) {
        event->ignore();
        return;
    }
    FAutoSave->stop();
    event->accept();
    emit Closed();
}

} // namespace vorel
