#include "dialogs/progress_form.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <exception>

namespace vorel {

TfrmKVXProcess::TfrmKVXProcess(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmKVXProcess"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto* layout = new QVBoxLayout(this);
    FStatus = new QLabel(this);
    FStatus->setObjectName(QStringLiteral("lblStatus"));
    FStatus->setMinimumWidth(320);
    // A range of 0..0 makes Qt's bar an endless busy indicator.
    FBusy = new QProgressBar(this);
    FBusy->setObjectName(QStringLiteral("pbAnimation"));
    FBusy->setRange(0, 0);
    FBusy->setTextVisible(false);
    FBusy->setMaximumHeight(8);
    FBar = new QProgressBar(this);
    FBar->setObjectName(QStringLiteral("pbProgress"));
    FBar->hide();
    FCancel = new QPushButton(this);
    FCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(FCancel, &QPushButton::clicked, this, [this] { FCancelPressed = true; });
    layout->addWidget(FStatus);
    layout->addWidget(FBusy);
    layout->addWidget(FBar);
    layout->addWidget(FCancel, 0, Qt::AlignHCenter);
}

void TfrmKVXProcess::SetTexts(const QString& caption, const QString& status, const QString& cancelCaption)
{
    setWindowTitle(caption);
    FStatus->setText(status);
    FCancel->setText(cancelCaption);
}

void TfrmKVXProcess::SetStatus(const QString& status)
{
    FStatus->setText(status);
}

void TfrmKVXProcess::SetRange(int min, int max)
{
    FBar->setRange(min, std::max(min, max));
    FBar->setVisible(min != 0 || max != 0);
}

void TfrmKVXProcess::SetPosition(int position)
{
    FBar->setValue(std::clamp(position, FBar->minimum(), FBar->maximum()));
}

void TfrmKVXProcess::closeEvent(QCloseEvent* event)
{
    // Closing asks to cancel; the work itself ends the dialog.
    FCancelPressed = true;
    if (FRunning)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void TfrmKVXProcess::reject()
{
    // Escape counts as Cancel.
    FCancelPressed = true;
    if (!FRunning)
        QDialog::reject();
}

void TfrmKVXProcess::RunModal(const std::function<void()>& callback)
{
    std::exception_ptr failure;
    QTimer::singleShot(0, this, [&] {
        FRunning = true;
        try {
            if (callback)
                callback();
        } catch (...) {
            failure = std::current_exception();
        }
        FRunning = false;
        done(QDialog::Accepted);
    });
    exec();
    // Closed (hidden) now; the dialog itself lives on until destroyed.
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace vorel
