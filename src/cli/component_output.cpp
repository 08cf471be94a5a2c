#include "cli/component_output.h"
#include "cli/installed_interface.h"

#include "cli/interrupt.h"
#include "cli/output_format.h"
#include "cli/render_options.h"

#include "export/export_base.h"
#include "foundation/values/errors.h"
#include "frame/output_staging.h"
#include "frame/print_component.h"
#include "frame/user_interface.h"
#include "model/report_data.h"

#include <QElapsedTimer>
#include <QRegularExpression>

namespace vorel::cli {

namespace {

// The headless interface, whose progress dialog also counts as cancelled
// once Ctrl-C was pressed (a dialog made after the signal would otherwise
// start uncancelled).
class TInterruptibleInterface final : public THeadlessUserInterface {
public:
    bool ProgressCanceled() override
    {
        return THeadlessUserInterface::ProgressCanceled() || (Progress().Exists && Interrupted());
    }
};

QString OneLine(QString message)
{
    message.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    static const QRegularExpression breaks(QStringLiteral("\\s*\n\\s*"));
    return message.replace(breaks, QStringLiteral(" ")).trimmed();
}

} // namespace

QString TakeValue(const QStringList& args, qsizetype& i, const QString& name)
{
    const QString& arg = args[i];
    QString value;
    if (arg.startsWith(name + u'=')) {
        value = arg.mid(name.size() + 1);
    } else {
        if (i + 1 >= args.size())
            throw UsageError{QStringLiteral("%1 needs a value").arg(name)};
        value = args[++i];
    }
    if (value.isEmpty())
        throw UsageError{QStringLiteral("%1 needs a value").arg(name)};
    return value;
}

bool TakeOutputOption(const QStringList& args, qsizetype& i, TComponentOutput& run)
{
    const QString& arg = args[i];
    const auto is = [&](const char* name) { return arg == QLatin1String(name) || arg.startsWith(QLatin1String(name) + u'='); };
    if (is("-o") || is("--output")) {
        run.Output = TakeValue(args, i, arg.startsWith(u"--") ? QStringLiteral("--output") : QStringLiteral("-o"));
    } else if (is("--format")) {
        run.Format = TakeValue(args, i, QStringLiteral("--format"));
    } else if (is("--option")) {
        const QString option = TakeValue(args, i, QStringLiteral("--option"));
        const qsizetype eq = option.indexOf(u'=');
        if (eq <= 0)
            throw UsageError{QStringLiteral("--option \"%1\": expected NAME=VALUE").arg(option)};
        run.ExportOptions.append({option.left(eq).trimmed(), option.mid(eq + 1)});
    } else if (arg == u"--quiet" || arg == u"-q") {
        run.Quiet = true;
    } else {
        return false;
    }
    ++i;
    return true;
}

int WriteComponent(const TComponentOutput& run, TKVPrintBaseComponent& component, const std::function<void()>& build,
                   Streams io)
{
    const QString prefix = QStringLiteral("vorel %1: ").arg(run.Command);
    const QString cancelled = prefix + QStringLiteral("cancelled; nothing written\n");
    // The watcher keeps the text for the life of the process (one command a process).
    static QByteArray cancelledLine;
    cancelledLine = cancelled.toLocal8Bit();
    WatchInterrupts(cancelledLine.constData());
    TOutputFormat format;
    TExportOptionList options;
    try {
        format = ChooseOutputFormat(run.Format, run.Output);
        options = RenderExportOptions(format, run.ExportOptions);
        for (const QString& input : run.InputFiles)
            if (const QString why = OutputOverwritesInput(run.Output, input, {}); !why.isEmpty())
                throw UsageError{why};
    } catch (const UsageError& e) {
        io.Err << prefix << e.Message << "\n";
        return kExitUsage;
    } catch (const EKVXError& e) {
        io.Err << prefix << e.Message() << "\n";
        return kExitUsage;
    }

    std::unique_ptr<TOutputStaging> staging;
    struct TStagingCleanup {
        ~TStagingCleanup() { SetInterruptCleanup({}); }
    } stagingCleanup;
    try {
        staging = std::make_unique<TOutputStaging>(run.Output, false, QStringLiteral("vorel-") + run.Command);
    } catch (const EKVXError& e) {
        io.Err << prefix << e.Message() << "\n";
        return kExitBadInput;
    }
    SetInterruptCleanup([path = QFile::encodeName(staging->StagingFolder()).toStdString()] {
        TOutputStaging::RemoveFolderUnderWriter(path);
    });

    TInterruptibleInterface ui;
    TInstalledInterface installed(&ui);
    if (run.Quiet)
        ui.SetProgressOutput([](const QByteArray&) {}, false);

    QElapsedTimer clock;
    clock.start();
    QList<int> pages;
    try {
        build();
        if (Interrupted()) {
            io.Err << cancelled;
            return kExitInterrupted;
        }
        component.SetDataRecords(ExportWantsDataRecords(format, options));
        component.Prepare();
        if (component.Cancelled() || Interrupted()) {
            io.Err << cancelled;
            return kExitInterrupted;
        }
        const int count = component.GetNumPages();
        for (int page = 1; page <= count; ++page)
            pages.append(page);
        if (pages.isEmpty())
            throw EKVXError(QStringLiteral("the report has no pages; nothing written"));
        if (format.Prepared) {
            component.SavePreparedPages(staging->StagedFile(), false, pages);
        } else {
            component.OnExportFilter = [&options](QObject*, TKVXExport& filter) { SetExportOptions(filter, options); };
            component.ExportTo(staging->StagedFile(), false, format.ExportClass, pages);
        }
        if (component.Cancelled() || Interrupted()) {
            io.Err << cancelled;
            return kExitInterrupted;
        }
    } catch (const UsageError& e) {
        io.Err << prefix << e.Message << "\n";
        return kExitUsage;
    } catch (const EKVXError& e) {
        QString message = staging->Translate(e.Message());
        const TErrorPlace& place = e.Place();
        if (message == e.Message() && !place.Expression.isEmpty())
            message = place.Describe() + QStringLiteral(": ") + message;
        if (!run.Input.isEmpty() && !message.startsWith(run.Input) && message == staging->Translate(message))
            message = run.Input + QStringLiteral(": ") + message;
        io.Err << prefix << OneLine(message) << "\n";
        return kExitBadInput;
    } catch (const std::exception& e) {
        io.Err << prefix << run.Input << ": " << OneLine(QString::fromLocal8Bit(e.what())) << "\n";
        return kExitBadInput;
    }

    try {
        std::lock_guard<std::mutex> lock(InterruptLock());
        if (Interrupted()) {
            io.Err << cancelled;
            return kExitInterrupted;
        }
        staging->Publish({staging->FileName()});
        InterruptsDone();
    } catch (const EKVXError& e) {
        io.Err << prefix << OneLine(e.Message()) << "\n";
        return kExitBadInput;
    }
    if (!run.Quiet)
        io.Out << run.Output << ": " << pages.size() << (pages.size() == 1 ? " page" : " pages") << " in "
               << QString::number(double(clock.nsecsElapsed()) / 1e9, 'f', 2) << " s\n";
    return kExitOk;
}

} // namespace vorel::cli
