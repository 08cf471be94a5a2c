#pragma once
// The progress dialog: caption, status line, a bar shown only when a range
// was given, a busy indicator that moves while the work runs, and Cancel.
// Cancel or closing the window only sets a flag, which the generation,
// printing and export loops poll between records, sheets and pages.

#include <QDialog>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace vorel {

class TfrmKVXProcess : public QDialog {
    Q_OBJECT
public:
    explicit TfrmKVXProcess(QWidget* parent = nullptr);

    void SetTexts(const QString& caption, const QString& status, const QString& cancelCaption);
    void SetStatus(const QString& status);
    // The bar is shown only when min or max is non-zero.
    void SetRange(int min, int max);
    void SetPosition(int position);
    bool CancelPressed() const { return FCancelPressed; }

    // Shows the dialog modally and runs the callback once it is shown; the
    // dialog closes when the callback returns. An exception of the callback
    // is carried out of the event loop and raised again here.
    void RunModal(const std::function<void()>& callback);

    QLabel* StatusLabel() const { return FStatus; }
    QProgressBar* Bar() const { return FBar; }
    QPushButton* CancelButton() const { return FCancel; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    QLabel* FStatus;
    QProgressBar* FBusy; // the animation: moves while the dialog exists
    QProgressBar* FBar;
    QPushButton* FCancel;
    bool FCancelPressed = false;
    bool FRunning = false; // inside RunModal's callback: closing waits for it
};

} // namespace vorel
