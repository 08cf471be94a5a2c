// vorel render: loads a report form (or a saved prepared report), binds its
// data, prepares it and writes the pages through an export filter or as a
// prepared report. One line of progress on a terminal, one line of summary.

#include "cli/commands.h"
#include "cli/installed_interface.h"
#include "cli/input_kind.h"
#include "cli/interrupt.h"
#include "cli/output_format.h"
#include "cli/render_options.h"

#include "data/data_binding.h"
#include "data/sql_dataset.h"
#include "export/export_base.h"
#include "foundation/values/errors.h"
#include "frame/output_staging.h"
#include "frame/parameter_values.h"
#include "frame/user_interface.h"
#include "frame/page_range.h"
#include "model/report.h"
#include "model/report_data.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <memory>
#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

namespace vorel::cli {

const char* const kRenderUsage =
    "  render FORM.kvx -o OUT [options]\n"
    "  render PREPARED.zpg -o OUT [--format NAME] [--pages LIST] [--separate] [--option NAME=VALUE] [--quiet]\n"
    "                       prepare a report and write it; the format comes from\n"
    "                       --format or the output's extension (see vorel formats)\n"
    "      -o, --output OUT       the file to write\n"
    "      --format NAME          pdf, csv, txt, html, xml, zpg, ...\n"
    "      --pages LIST           pages such as \"1,3,5-12\" (default: all)\n"
    "      --separate             one file per page (OUT's name numbered)\n"
    "      --option NAME=VALUE    an option of the format's filter (repeatable; see\n"
    "                             vorel formats --options FORMAT); PDF: Flate-compressed\n"
    "                             unless Compression is given\n"
    "      --param NAME=VALUE     a report parameter (repeatable)\n"
    "      --data NAME=SOURCE     bind a data set: csv:PATH, sqlite:PATH[?sql=...],\n"
    "                             postgresql://USER@HOST/DB[?sql=...] (repeatable)\n"
    "      --two-pass             prepare twice (page counts known on every page)\n"
    "      --language ID          texts of the report's messages: 0..8 or a name\n"
    "                             (English, Russian, German, ...)\n"
    "      --memory-limit SIZE    prepared pages kept in memory (200M, 1G; default 32M);\n"
    "                             beyond it pages wait in a nameless file in $TMPDIR\n"
    "      --threads N            1: everything on one thread (default: the export\n"
    "                             runs beside the preparation, and SQL rows are\n"
    "                             read ahead on a thread of their own)\n"
    "      --quiet, -q            no progress line, no summary\n"
    "      --                     what follows is the form, even if it starts with -\n";

namespace {

const char kCancelledLine[] = "vorel render: cancelled; nothing written\n";

// The headless interface, whose progress dialog also counts as cancelled
// once Ctrl-C was pressed: a dialog created after the signal (the second
// pass, the export) would otherwise start uncancelled.
class TRenderInterface final : public THeadlessUserInterface {
public:
    bool ProgressCanceled() override
    {
        return THeadlessUserInterface::ProgressCanceled() || (Progress().Exists && Interrupted());
    }
};

// An output that is the form or a data file would destroy what the report
// is made from.
void CheckOutputIsNoInput(const QString& output, const QString& input, const QStringList& dataFiles)
{
    if (const QString why = OutputOverwritesInput(output, input, dataFiles); !why.isEmpty())
        throw UsageError{why};
}

// Values from the command line take effect as the parameter dialog would
// write them back. No text is left for the dialog itself: asked during
// preparation it is skipped, so the values given here stand and parameters
// not given keep theirs. Unknown names and values are bad input.
void ApplyParameters(TKVReport& report, const QList<QPair<QString, QString>>& params)
{
    for (const auto& [name, text] : params)
        SetParameterText(*report.Parameters(), name, text, QStringLiteral("--param %1"));
}

// Opens what the report reads, masters before their details. A data set
// bound on the command line says so in its error.
void OpenDataSets(TKVReport& report, const QList<TDataBinding>& bindings)
{
    OpenReportDataSets(report, [&](const TDataSet& dataSet) {
        for (const TDataBinding& binding : bindings)
            if (binding.Name.compare(dataSet.Name(), Qt::CaseInsensitive) == 0)
                return QStringLiteral("--data %1").arg(binding.Name);
        return QString();
    });
}

// The names the writers give the files of the selected pages.
QStringList OutputNames(const QString& fileName, bool separate, const QList<int>& pages, int numBars)
{
    if (!separate)
        return {fileName};
    QStringList names;
    for (int page : pages)
        for (int bar = 0; bar < std::max(1, numBars); ++bar)
            names << QFileInfo(PageFileName(fileName, page - 1, bar)).fileName();
    return names;
}

// "3-4, 7": the numbers in ascending runs.
QString PageRanges(const QSet<int>& numbers)
{
    QList<int> sorted = numbers.values();
    std::sort(sorted.begin(), sorted.end());
    QStringList runs;
    for (qsizetype i = 0; i < sorted.size();) {
        qsizetype j = i;
        while (j + 1 < sorted.size() && sorted[j + 1] == sorted[j] + 1)
            ++j;
        runs << (j == i ? QString::number(sorted[i]) : QStringLiteral("%1-%2").arg(sorted[i]).arg(sorted[j]));
        i = j + 1;
    }
    return runs.join(QStringLiteral(", "));
}

// Whether the file is this process's standard output (-o /dev/stdout):
// the summary would then land in the middle of the output.
bool IsStandardOutput(const QString& fileName)
{
    struct stat out {};
    struct stat file {};
    return fstat(STDOUT_FILENO, &out) == 0 && stat(QFile::encodeName(fileName).constData(), &file) == 0 &&
           out.st_dev == file.st_dev && out.st_ino == file.st_ino;
}

// Messages are one line: a database may answer in several.
QString OneLine(QString message)
{
    message.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    static const QRegularExpression breaks(QStringLiteral("\\s*\n\\s*"));
    return message.replace(breaks, QStringLiteral(" ")).trimmed();
}

QString Seconds(qint64 nanoseconds)
{
    return QString::number(double(nanoseconds) / 1e9, 'f', 2) + QStringLiteral(" s");
}

int Usage(Streams io, const QString& message)
{
    io.Err << "vorel render: " << message << "\nUsage:\n" << kRenderUsage;
    return kExitUsage;
}

} // namespace

int RunRender(const QStringList& args, Streams io)
{
    WatchInterrupts(kCancelledLine);
    TRenderOptions options;
    TOutputFormat format;
    TExportOptionList exportOptions;
    bool prepared = false;
    try {
        options = ParseRenderOptions(args);
        format = ChooseOutputFormat(options.Format, options.Output);
        exportOptions = RenderExportOptions(format, options.ExportOptions);
        prepared = InputKind(options.Input) == TInputKind::Prepared;
        if (prepared && (!options.Params.isEmpty() || !options.Data.isEmpty() || options.TwoPass || options.Language))
            throw UsageError{QStringLiteral("%1 is a prepared report: --param, --data, --two-pass and --language "
                                            "apply to report forms only")
                                 .arg(options.Input)};
        CheckOutputIsNoInput(options.Output, options.Input, {});
        SetSqlReadAhead(options.Threads != 1);
    } catch (const UsageError& e) {
        return Usage(io, e.Message);
    } catch (const EKVXError& e) {
        return Usage(io, e.Message());
    }

    // The output's folder is checked before the work starts. What was
    // staged is removed by whoever comes first, the run on its way out or a
    // second signal, and never by neither: the run removes it through the
    // signal's own cleanup, under its lock, before the staging is dropped
    // (clearing the cleanup first let a second signal end the process
    // while the folder was half removed).
    std::unique_ptr<TOutputStaging> staging;
    struct TStagingCleanup {
        ~TStagingCleanup() { RunInterruptCleanup(); }
    } stagingCleanup;
    try {
        staging = std::make_unique<TOutputStaging>(options.Output, options.Separate, QStringLiteral("vorel-render"));
    } catch (const EKVXError& e) {
        io.Err << "vorel render: " << e.Message() << "\n";
        return kExitBadInput;
    }
    SetInterruptCleanup([path = QFile::encodeName(staging->StagingFolder()).toStdString()] {
        TOutputStaging::RemoveFolderUnderWriter(path);
    });

    TRenderInterface ui;
    TInstalledInterface installed(&ui);
    if (options.Quiet)
        ui.SetProgressOutput([](const QByteArray&) {}, false);

    QElapsedTimer clock;
    clock.start();
    qint64 loadNs = 0, prepareNs = 0, exportNs = 0;
    TKVReport report;
    bool exportedWhilePreparing = false;
    if (options.MemoryLimit) {
        TPageStoreSettings store = report.PageStoreSettings();
        store.MemoryLimit = *options.MemoryLimit;
        report.SetPageStoreSettings(store);
    }
    QList<int> pages;
    // The progress line is the frame's progress dialog; without it there
    // would be nothing for Ctrl-C to cancel. Set again after a form is read:
    // forms made for applications often turn it off.
    report.SetAnimatedStatus(true);
    try {
        if (prepared) {
            report.LoadPreparedReport(options.Input);
            loadNs = clock.nsecsElapsed();
        } else {
            TReportLoadOptions load;
            if (!options.Data.isEmpty())
                load.EditForm = [&](FormComponent& tree) { ApplyDataBindings(tree, options.Data, QStringLiteral("--data %1")); };
            report.LoadReport(options.Input, load);
            report.SetAnimatedStatus(true);
            CheckOutputIsNoInput(options.Output, options.Input, ReportDataFiles(report));
            if (options.Language) {
                report.Language()->SetAutoDetect(false);
                report.Language()->SetLanguageID(*options.Language);
            }
            if (options.TwoPass)
                report.SetTwoPass(true);
            ApplyParameters(report, options.Params);
            OpenDataSets(report, options.Data);
            loadNs = clock.nsecsElapsed();
            if (Interrupted()) {
                io.Err << kCancelledLine;
                return kExitInterrupted;
            }
            // A data export reads the data the preparation records beside
            // the pages; nothing else pays for recording it.
            report.SetDataRecords(ExportWantsDataRecords(format, exportOptions));
            // A whole report into one file: the export runs beside the
            // preparation (the same file; --threads 1 keeps one thread).
            if (!format.Prepared && !options.Separate && !options.Pages) {
                report.OnExportFilter = [&exportOptions](QObject*, TKVXExport& filter) {
                    SetExportOptions(filter, exportOptions);
                };
                report.PrepareAndExport(staging->StagedFile(), format.ExportClass, options.Threads);
                exportedWhilePreparing = true;
            } else {
                report.Prepare();
            }
            prepareNs = clock.nsecsElapsed() - loadNs;
            // Values that could not be computed (or barcodes that could not
            // encode theirs) for some records printed nothing there: one
            // line each, so the output is not trusted blindly.
            for (const TKVReport::TEvaluationWarning& warning : report.EvaluationWarnings()) {
                io.Err << "vorel render: " << options.Input << ": warning: " << warning.Where;
                if (!warning.Expression.isEmpty())
                    io.Err << ", expression \"" << warning.Expression << "\"";
                io.Err << ": " << OneLine(warning.Message) << " (first at record " << warning.Record << ")\n";
            }
        }
        if (Interrupted()) {
            io.Err << kCancelledLine;
            return kExitInterrupted;
        }
        // The pages there are: a prepared report saved with a page list
        // holds those pages only, under their own numbers.
        QSet<int> present;
        for (int i = 0; i < report.Pages().Count(); ++i)
            present.insert(report.Pages().Items(i)->intNumPage + 1);
        const int pageCount = int(present.size());
        if (options.Pages) {
            for (int number : GetValidPageNumbers(*options.Pages))
                if (present.contains(number))
                    pages.append(number);
            if (pages.isEmpty())
                throw EKVXError(QStringLiteral("--pages \"%1\" selects none of the report's %2 page(s)%3")
                                    .arg(*options.Pages)
                                    .arg(pageCount)
                                    .arg(present.contains(1) && present.contains(pageCount)
                                             ? QString()
                                             : QStringLiteral(" (numbered %1)").arg(PageRanges(present))));
        } else {
            pages = present.values();
            std::sort(pages.begin(), pages.end());
        }
        if (pages.isEmpty())
            throw EKVXError(QStringLiteral("the report has no pages; nothing written"));
        const qint64 exportStart = clock.nsecsElapsed();
        if (exportedWhilePreparing) {
            // written already
        } else if (format.Prepared) {
            report.SavePreparedPages(staging->StagedFile(), options.Separate, pages);
        } else {
            // Checked on a trial filter already, so they hold for the real one.
            report.OnExportFilter = [&exportOptions](QObject*, TKVXExport& filter) {
                SetExportOptions(filter, exportOptions);
            };
            report.ExportTo(staging->StagedFile(), options.Separate, format.ExportClass, pages);
        }
        exportNs = clock.nsecsElapsed() - exportStart;
    } catch (const UsageError& e) {
        return Usage(io, e.Message);
    } catch (const EKVXError& e) {
        QString message = staging->Translate(e.Message());
        const bool aboutOutput = message != e.Message();
        // An error of the preparation: say whose, from the error's place
        // (`Detail.Amount.Expression "[amount] +* 2" at character 11`),
        // unless the message begins with it already.
        const TErrorPlace& place = e.Place();
        if (!aboutOutput && (!place.Expression.isEmpty() || !place.Control.isEmpty() || !place.Band.isEmpty())
            && (place.Component.isEmpty() || !message.startsWith(place.Component + u':')))
            message = place.Describe() + QStringLiteral(": ") + message;
        // Messages of the form loader name the file already, and so do
        // those about the output; the others (data, expressions,
        // generation) get the form's name.
        if (!message.startsWith(options.Input) && !aboutOutput)
            message = options.Input + QStringLiteral(": ") + message;
        io.Err << "vorel render: " << OneLine(message) << "\n";
        return kExitBadInput;
    } catch (const std::exception& e) {
        io.Err << "vorel render: " << options.Input << ": " << OneLine(QString::fromLocal8Bit(e.what())) << "\n";
        return kExitBadInput;
    }

    const QStringList outputs = OutputNames(staging->FileName(), options.Separate, pages, report.GetNumBars());
    try {
        if (staging->WritesIntoSpecialFile()) {
            // A pipe may wait for its reader: Ctrl-C must still end the run.
            if (Interrupted()) {
                io.Err << kCancelledLine;
                return kExitInterrupted;
            }
            staging->Publish(outputs);
        } else {
            // A second Ctrl-C waits until the files are in place (or
            // removes them all): never half of them.
            std::lock_guard<std::mutex> lock(InterruptLock());
            if (Interrupted()) {
                io.Err << kCancelledLine;
                return kExitInterrupted;
            }
            staging->Publish(outputs);
            InterruptsDone();
        }
    } catch (const EKVXError& e) {
        io.Err << "vorel render: " << OneLine(e.Message()) << "\n";
        return kExitBadInput;
    }
    if (!options.Quiet && !IsStandardOutput(options.Output)) {
        io.Out << options.Output << ": " << pages.size() << (pages.size() == 1 ? " page" : " pages") << " in "
               << Seconds(clock.nsecsElapsed()) << " (load " << Seconds(loadNs) << ", prepare " << Seconds(prepareNs)
               << ", export " << Seconds(exportNs) << ")\n";
    }
    return kExitOk;
}

} // namespace vorel::cli
