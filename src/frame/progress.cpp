// The progress operations: the interface's silent defaults, the headless
// one-line terminal display, and the free functions the core calls.

#include "frame/user_interface.h"
#include "foundation/values/text_utils.h"

#include <algorithm>
#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

namespace vorel {

// --- defaults: no dialog ----------------------------------------------------------------

bool TKVXUserInterface::CreateProgressDlg(int, const QString&, const QString&, const QString&, int, int, int)
{
    return false;
}

bool TKVXUserInterface::UpdateProgressDlg(const QString&, int)
{
    return false;
}

bool TKVXUserInterface::DestroyProgressDlg()
{
    return false;
}

bool TKVXUserInterface::ProgressCanceled()
{
    return false;
}

void TKVXUserInterface::ShowModalCallBack(const TKVXCallBack& callback)
{
    if (callback)
        callback();
}

void TKVXUserInterface::SetBusyCursor(bool) {}

// --- headless: one line on a terminal ----------------------------------------------------

namespace {

void WriteToStderr(const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

int StderrColumns()
{
    winsize ws{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0)
        return ws.ws_col;
    return 80;
}

} // namespace

QString THeadlessUserInterface::ProgressLine(const TProgressState& state)
{
    QString line = state.Caption.isEmpty() ? state.Status : state.Caption + QStringLiteral(": ") + state.Status;
    // The bar is shown only when a range was given; a percentage stands in
    // for it. A position outside the range is clamped as a bar would show it.
    if ((state.Min != 0 || state.Max != 0) && state.Max > state.Min) {
        const qint64 span = qint64(state.Max) - state.Min;
        const qint64 done = std::clamp<qint64>(qint64(state.Position) - state.Min, 0, span);
        line += QStringLiteral(" %1%").arg(done * 100 / span);
    }
    return line;
}

bool THeadlessUserInterface::OutputIsTerminal() const
{
    if (FWriter)
        return FWriterIsTerminal;
    return isatty(STDERR_FILENO) == 1;
}

void THeadlessUserInterface::SetProgressOutput(std::function<void(const QByteArray&)> writer, bool isTerminal, int columns)
{
    FWriter = std::move(writer);
    FWriterIsTerminal = isTerminal;
    FWriterColumns = columns;
}

void THeadlessUserInterface::ResetProgressOutput()
{
    FWriter = nullptr;
    FWriterIsTerminal = false;
    FWriterColumns = 0;
}

void THeadlessUserInterface::WriteLine(bool force)
{
    if (!FTerminal || !FProgress.Visible)
        return;
    if (!force && FIntervalMs > 0 && FLastWrite.isValid() && FLastWrite.elapsed() < FIntervalMs)
        return;
    FLastWrite.start();
    QString line = ProgressLine(FProgress);
    line.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    // A caption from a form is shown, never obeyed by the terminal.
    line = EscapeControlCharacters(line);
    // One line only: a line longer than the terminal would wrap, and the
    // carriage return would then rewrite just its last part.
    const int columns = FWriter ? FWriterColumns : StderrColumns();
    if (columns > 1 && line.size() > columns - 1)
        line.truncate(columns - 1);
    // CR to the line start, the text, then erase what an earlier, longer line left.
    QByteArray bytes = "\r" + line.toUtf8() + "\x1b[K";
    FLineShown = true;
    if (FWriter)
        FWriter(bytes);
    else
        WriteToStderr(bytes);
}

void THeadlessUserInterface::ClearLine()
{
    if (!FLineShown)
        return;
    FLineShown = false;
    const QByteArray bytes = "\r\x1b[K";
    if (FWriter)
        FWriter(bytes);
    else
        WriteToStderr(bytes);
}

bool THeadlessUserInterface::CreateProgressDlg(int lang, const QString& caption, const QString& status,
                                               const QString& cancelCaption, int min, int max, int position)
{
    DestroyProgressDlg();
    FProgress = TProgressState{true, true, lang, caption, status, cancelCaption, min, max, position};
    FCancelRequested.store(false, std::memory_order_relaxed);
    FTerminal = OutputIsTerminal();
    FLastWrite.invalidate();
    WriteLine(true);
    return true;
}

bool THeadlessUserInterface::UpdateProgressDlg(const QString& status, int position)
{
    if (!FProgress.Exists)
        return false;
    const bool wasHidden = !FProgress.Visible;
    FProgress.Visible = true;
    FProgress.Status = status;
    FProgress.Position = position;
    WriteLine(wasHidden);
    return true;
}

bool THeadlessUserInterface::DestroyProgressDlg()
{
    if (!FProgress.Exists)
        return false;
    ClearLine();
    FProgress = TProgressState{};
    FCancelRequested.store(false, std::memory_order_relaxed);
    return true;
}

bool THeadlessUserInterface::ProgressCanceled()
{
    return FProgress.Exists && FCancelRequested.load(std::memory_order_relaxed);
}

void THeadlessUserInterface::ShowModalCallBack(const TKVXCallBack& callback)
{
    // Without a terminal there is no window to be modal in: the callback
    // runs, and afterwards the dialog counts as closed (hidden, still
    // existing, as a closed modal form is) until it is updated or destroyed.
    if (FProgress.Exists && !FProgress.Visible) {
        FProgress.Visible = true;
        WriteLine(true);
    }
    struct Close {
        THeadlessUserInterface* ui;
        ~Close()
        {
            if (ui->FProgress.Exists) {
                ui->ClearLine();
                ui->FProgress.Visible = false;
            }
        }
    } close{this};
    if (callback)
        callback();
}

// --- free functions -----------------------------------------------------------------------

bool CreateProgressDlg(int lang, const QString& caption, const QString& status, const QString& cancelCaption,
                       int min, int max, int position)
{
    return UserInterface()->CreateProgressDlg(lang, caption, status, cancelCaption, min, max, position);
}

bool UpdateProgressDlg(const QString& status, int position)
{
    return UserInterface()->UpdateProgressDlg(status, position);
}

bool DestroyProgressDlg()
{
    return UserInterface()->DestroyProgressDlg();
}

bool ProgressCanceled()
{
    return UserInterface()->ProgressCanceled();
}

void ShowModalCallBack(const TKVXCallBack& callback)
{
    UserInterface()->ShowModalCallBack(callback);
}

} // namespace vorel
