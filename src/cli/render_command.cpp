// vorel render: loads a report form (or a saved prepared report), binds its
// data, prepares it and writes the pages through an export filter or as a
// prepared report. One line of progress on a terminal, one line of summary.

#include "cli/commands.h"
#include "cli/data_binding.h"
#include "cli/diagnose.h"
#include "cli/interrupt.h"
#include "cli/output_format.h"

#include "data/sql_dataset.h"
#include "foundation/errors.h"
#include "foundation/parameter_dialog.h"
#include "foundation/user_interface.h"
#include "frame/page_range.h"
#include "model/report.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QMetaEnum>
#include <QSet>
#include <optional>

namespace vorel::cli {

const char* const kRenderUsage =
    "  render FORM.kvx -o OUT [options]\n"
    "  render PREPARED.zpg -o OUT [--format NAME] [--pages LIST] [--separate] [--quiet]\n"
    "                       prepare a report and write it; the format comes from\n"
    "                       --format or the output's extension (see vorel formats)\n"
    "      -o, --output OUT       the file to write\n"
    "      --format NAME          pdf, csv, txt, html, xml, zpg, ...\n"
    "      --pages LIST           pages such as \"1,3,5-12\" (default: all)\n"
    "      --separate             one file per page (OUT's name numbered)\n"
    "      --param NAME=VALUE     a report parameter (repeatable)\n"
    "      --data NAME=SOURCE     bind a data set: csv:PATH, sqlite:PATH[?sql=...],\n"
    "                             postgresql://USER@HOST/DB[?sql=...] (repeatable)\n"
    "      --two-pass             prepare twice (page counts known on every page)\n"
    "      --language ID          texts of the report's messages: 0..8 or a name\n"
    "                             (English, Russian, German, ...)\n"
    "      --quiet                no progress line, no summary\n";

namespace {

struct TRenderOptions {
    QString Input;
    QString Output;
    QString Format;
    std::optional<QString> Pages;
    bool Separate = false;
    QList<QPair<QString, QString>> Params;
    QList<TDataBinding> Data;
    bool TwoPass = false;
    std::optional<TKVXLangID> Language;
    bool Quiet = false;
};

// Thrown for wrong usage (exit 2), as opposed to bad input (EKVXError, exit 1).
struct UsageError {
    QString Message;
};

std::optional<TKVXLangID> ParseLanguage(const QString& text)
{
    bool isNumber = false;
    const int number = text.toInt(&isNumber);
    if (isNumber)
        return number >= 0 && number < KVX_LANGUAGE_COUNT ? std::optional(TKVXLangID(number)) : std::nullopt;
    const QMetaEnum meta = QMetaEnum::fromType<TKVXLangID>();
    for (int i = 0; i < meta.keyCount(); ++i) {
        const QString key = QString::fromLatin1(meta.key(i)); // "lnGerman"
        if (key.compare(text, Qt::CaseInsensitive) == 0 || key.mid(2).compare(text, Qt::CaseInsensitive) == 0)
            return TKVXLangID(meta.value(i));
    }
    return std::nullopt;
}

QString LanguageNames()
{
    QStringList names;
    const QMetaEnum meta = QMetaEnum::fromType<TKVXLangID>();
    for (int i = 0; i < meta.keyCount(); ++i)
        names << QString::fromLatin1(meta.key(i)).mid(2);
    return names.join(u", ");
}

TRenderOptions ParseRenderOptions(const QStringList& args)
{
    TRenderOptions options;
    QStringList positional;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        // "--name=value" and "--name value" alike.
        QString name = arg;
        std::optional<QString> inlineValue;
        if (arg.startsWith(u"--") && arg.contains(u'=')) {
            name = arg.section(u'=', 0, 0);
            inlineValue = arg.section(u'=', 1);
        }
        const auto value = [&]() -> QString {
            if (inlineValue)
                return *inlineValue;
            if (i + 1 >= args.size())
                throw UsageError{QStringLiteral("%1 needs a value").arg(name)};
            return args[++i];
        };
        if (name == u"-o" || name == u"--output") {
            options.Output = value();
        } else if (name == u"--format") {
            options.Format = value();
        } else if (name == u"--pages") {
            options.Pages = value();
        } else if (name == u"--separate") {
            options.Separate = true;
        } else if (name == u"--param") {
            const QString text = value();
            const qsizetype eq = text.indexOf(u'=');
            if (eq <= 0)
                throw UsageError{QStringLiteral("--param \"%1\": expected NAME=VALUE").arg(text)};
            options.Params.append({text.left(eq), text.mid(eq + 1)});
        } else if (name == u"--data") {
            TDataBinding binding;
            QString error;
            if (!ParseDataBinding(value(), binding, error))
                throw UsageError{error};
            options.Data.append(binding);
        } else if (name == u"--two-pass") {
            options.TwoPass = true;
        } else if (name == u"--language") {
            const QString text = value();
            options.Language = ParseLanguage(text);
            if (!options.Language)
                throw UsageError{QStringLiteral("--language \"%1\": expected 0..8 or one of %2").arg(text, LanguageNames())};
        } else if (name == u"--quiet" || name == u"-q") {
            options.Quiet = true;
        } else if (arg.startsWith(u'-') && arg.size() > 1) {
            throw UsageError{QStringLiteral("unknown option \"%1\"").arg(arg)};
        } else {
            positional << arg;
        }
    }
    if (positional.size() != 1)
        throw UsageError{positional.isEmpty() ? QStringLiteral("no report form named")
                                              : QStringLiteral("one report form at a time (got %1)").arg(positional.size())};
    options.Input = positional.first();
    if (options.Output.isEmpty())
        throw UsageError{QStringLiteral("no output file named (-o OUT)")};
    return options;
}

bool IsPreparedReport(const QString& fileName)
{
    return QFileInfo(fileName).suffix().compare(u"zpg", Qt::CaseInsensitive) == 0;
}

// Values from the command line: a parameter the dialog would ask for gets
// the text as its editor; every named parameter takes the value as its
// editor would write it back, so that parameters the report never asks for
// can be set too. Unknown names are bad input.
void ApplyParameters(TKVReport& report, const QList<QPair<QString, QString>>& params)
{
    THeadlessUserInterface* ui = HeadlessUserInterface();
    ui->ClearParameterTexts();
    TKVXParameters& parameters = *report.Parameters();
    for (const auto& [name, text] : params) {
        int index = -1;
        for (int i = 0; i < parameters.Count() && index < 0; ++i) {
            const TKVXParameter* p = parameters.GetParameter(i);
            if (p->Name() == name || p->DisplayLabel() == name)
                index = i;
        }
        if (index < 0) {
            QStringList names;
            for (int i = 0; i < parameters.Count(); ++i)
                names << parameters.GetParameter(i)->Name();
            throw EKVXError(QStringLiteral("--param %1: the report has no parameter named %1 (it has: %2)")
                                .arg(name, names.isEmpty() ? QStringLiteral("none") : names.join(u", ")));
        }
        const TKVXParameter* parameter = parameters.GetParameter(index);
        TParameterDialogModel model;
        TParameterPrompt prompt;
        prompt.ParamIndex = index;
        prompt.Name = parameter->Name();
        prompt.Editor = parameter->ParameterEditor();
        prompt.Items = parameter->ParamPromptValues()->List();
        if (!SetPromptFromText(prompt, text))
            throw EKVXError(QStringLiteral("--param %1: \"%2\" is not one of %3")
                                .arg(name, text, prompt.Items.join(QStringLiteral(", "))));
        model.Prompts.append(prompt);
        ApplyParameterDialog(parameters, model);
        ui->SetParameterText(parameter->Name(), text);
    }
}

// Opens what the report reads, masters before their details.
void OpenDataSets(TKVReport& report)
{
    QSet<TDataSet*> visiting;
    std::function<void(TDataSet*)> open = [&](TDataSet* dataSet) {
        if (!dataSet || dataSet->Active() || visiting.contains(dataSet))
            return;
        visiting.insert(dataSet);
        if (auto* sql = qobject_cast<TSqlDataSet*>(dataSet))
            open(sql->Master());
        dataSet->Open();
    };
    open(report.DataSet());
    for (TKVXBand* band : report.Bands())
        open(band->GetDataset());
    for (int i = 0; i < report.ComponentCount(); ++i)
        open(qobject_cast<TDataSet*>(report.Components(i)));
}

QString Seconds(qint64 nanoseconds)
{
    return QString::number(double(nanoseconds) / 1e9, 'f', 2) + QStringLiteral(" s");
}

} // namespace

int RunRender(const QStringList& args, Streams io)
{
    TRenderOptions options;
    TOutputFormat format;
    try {
        options = ParseRenderOptions(args);
        format = ChooseOutputFormat(options.Format, options.Output);
        if (IsPreparedReport(options.Input) &&
            (!options.Params.isEmpty() || !options.Data.isEmpty() || options.TwoPass || options.Language))
            throw UsageError{QStringLiteral("--param, --data, --two-pass and --language apply to report forms, "
                                            "not to a prepared report")};
    } catch (const UsageError& e) {
        io.Err << "vorel render: " << e.Message << "\nUsage:\n" << kRenderUsage;
        return kExitUsage;
    } catch (const EKVXError& e) {
        io.Err << "vorel render: " << e.Message() << "\n";
        return kExitUsage;
    }

    InstallInterruptHandler();
    THeadlessUserInterface* ui = HeadlessUserInterface();
    if (options.Quiet)
        ui->SetProgressOutput([](const QByteArray&) {}, false);

    QElapsedTimer clock;
    clock.start();
    qint64 loadNs = 0, prepareNs = 0, exportNs = 0;
    TKVReport report;
    int pageCount = 0;
    QList<int> pages;
    // The progress line is the frame's progress dialog; without it there
    // would be nothing for Ctrl-C to cancel.
    report.SetAnimatedStatus(true);
    try {
        if (IsPreparedReport(options.Input)) {
            report.LoadPreparedReport(options.Input);
            loadNs = clock.nsecsElapsed();
        } else {
            TReportLoadOptions load;
            if (!options.Data.isEmpty())
                load.EditForm = [&](FormComponent& tree) { ApplyDataBindings(tree, options.Data); };
            report.LoadReport(options.Input, load);
            if (options.Language) {
                report.Language()->SetAutoDetect(false);
                report.Language()->SetLanguageID(*options.Language);
            }
            if (options.TwoPass)
                report.SetTwoPass(true);
            ApplyParameters(report, options.Params);
            OpenDataSets(report);
            loadNs = clock.nsecsElapsed();
            if (Interrupted())
                return kExitInterrupted;
            report.Prepare();
            prepareNs = clock.nsecsElapsed() - loadNs;
        }
        if (Interrupted()) {
            io.Err << "vorel render: cancelled; nothing written\n";
            return kExitInterrupted;
        }
        pageCount = report.GetNumPages();
        if (options.Pages) {
            for (int number : GetValidPageNumbers(*options.Pages))
                if (number >= 1 && number <= pageCount)
                    pages.append(number);
            if (pages.isEmpty())
                throw EKVXError(QStringLiteral("--pages \"%1\" selects none of the report's %2 page(s)")
                                    .arg(*options.Pages)
                                    .arg(pageCount));
        } else {
            for (int number = 1; number <= pageCount; ++number)
                pages.append(number);
        }
        const qint64 exportStart = clock.nsecsElapsed();
        if (format.Prepared)
            report.SavePreparedPages(options.Output, options.Separate, pages);
        else
            report.ExportTo(options.Output, options.Separate, format.ExportClass, pages);
        exportNs = clock.nsecsElapsed() - exportStart;
    } catch (const EKVXError& e) {
        // Messages of the form loader name the file already; the others
        // (data, expressions, generation) get it here.
        QString message = e.Message();
        // An expression's error: say whose.
        try {
            const QString where = FindFailingExpression(report, message);
            if (!where.isEmpty())
                message = where + QStringLiteral(": ") + message;
        } catch (...) {
        }
        if (!message.startsWith(options.Input))
            message = options.Input + QStringLiteral(": ") + message;
        io.Err << "vorel render: " << message << "\n";
        return kExitBadInput;
    } catch (const std::exception& e) {
        io.Err << "vorel render: " << options.Input << ": " << e.what() << "\n";
        return kExitBadInput;
    }
    if (Interrupted()) {
        io.Err << "vorel render: cancelled; " << options.Output << " not written\n";
        return kExitInterrupted;
    }
    if (!options.Quiet) {
        io.Out << options.Output << ": " << pages.size() << (pages.size() == 1 ? " page" : " pages") << " in "
               << Seconds(clock.nsecsElapsed()) << " (load " << Seconds(loadNs) << ", prepare " << Seconds(prepareNs)
               << ", export " << Seconds(exportNs) << ")\n";
    }
    return kExitOk;
}

} // namespace vorel::cli
