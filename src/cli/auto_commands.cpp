// vorel table, vorel text, vorel join: reports without a form of their own
// (a data set as a table, a text file) and several forms as one report.

#include "cli/commands.h"
#include "cli/component_output.h"
#include "cli/render_options.h"

#include "auto/composite_report.h"
#include "auto/print_data.h"
#include "auto/print_text.h"
#include "data/csv_dataset.h"
#include "data/data_binding.h"
#include "data/sql_dataset.h"
#include "foundation/values/errors.h"
#include "frame/parameter_values.h"
#include "model/report.h"
#include "model/report_data.h"

#include <QFileInfo>

namespace vorel::cli {

const char* const kTableUsage =
    "  table SOURCE -o OUT [--title T] [--group FIELD] [--sum FIELD[,FIELD...]] [--autofit]\n"
    "                       print a data set as a table: SOURCE as in --data (csv:PATH,\n"
    "                       sqlite:PATH?sql=SELECT ..., postgresql://...?sql=...)\n"
    "      --title T              a title over the table on every page\n"
    "      --group FIELD          totals at each end of a group of equal FIELD values\n"
    "                             (the data must be sorted by it)\n"
    "      --sum FIELDS           the fields summed at group ends and in the grand total\n"
    "      --autofit              scale the columns to the page width\n"
    "      --format, --option, --quiet as for render\n";

const char* const kTextUsage =
    "  text FILE.txt -o OUT [--wrap] [--oem] [--title T]\n"
    "                       print a text file; wide lines continue on pages to the right\n"
    "      --wrap                 wrap long lines instead\n"
    "      --oem                  the file is in the DOS code page (437, 866, 852)\n";

const char* const kJoinUsage =
    "  join A.kvx B.kvx ... -o OUT [--data NAME=SOURCE]... [--param NAME=VALUE]...\n"
    "                       prepare several forms and write them as one report; a\n"
    "                       binding or parameter applies to every form that has it\n";

namespace {

int Usage(Streams io, const char* command, const QString& message, const char* usage)
{
    io.Err << "vorel " << command << ": " << message << "\nUsage:\n" << usage;
    return kExitUsage;
}

// The data set SOURCE names, open. Raises EKVXError naming the source.
std::unique_ptr<TDataSet> OpenSource(const QString& source)
{
    TDataBinding binding;
    QString problem;
    if (!ParseDataSource(source, binding, problem))
        throw UsageError{QStringLiteral("\"%1\": %2").arg(source, problem)};
    std::unique_ptr<TDataSet> dataSet;
    if (binding.Csv) {
        auto csv = std::make_unique<TCsvDataSet>();
        csv->SetFileName(binding.Location);
        dataSet = std::move(csv);
    } else {
        if (binding.Sql.trimmed().isEmpty())
            throw UsageError{QStringLiteral("\"%1\": the source names no query (add ?sql=SELECT ...)").arg(source)};
        auto sql = std::make_unique<TSqlDataSet>();
        sql->SetConnection(binding.Location);
        sql->SetSQL(binding.Sql);
        dataSet = std::move(sql);
    }
    dataSet->setObjectName(QStringLiteral("Data"));
    try {
        dataSet->Open();
    } catch (EKVXError& e) {
        if (!e.Message().contains(binding.Location))
            throw EKVXError(QStringLiteral("%1: %2").arg(source, e.Message()), e.Place());
        throw;
    }
    return dataSet;
}

// The column of each field the table prints, as TKVPrintData numbers them.
int ColumnOf(const TDataSet& dataSet, const QString& name, const QString& option)
{
    int column = 0;
    QStringList names;
    for (int i = 0; i < dataSet.FieldCount(); ++i) {
        const TField* field = dataSet.Fields(i);
        if (!IsPrintableField(field) || !field->Visible())
            continue;
        if (field->FieldName().compare(name, Qt::CaseInsensitive) == 0)
            return column;
        names << field->FieldName();
        ++column;
    }
    throw UsageError{QStringLiteral("%1: the data has no column \"%2\" (its columns: %3)")
                         .arg(option, name, names.join(QStringLiteral(", ")))};
}

// A text printed as it stands in a header line: its macro characters doubled.
QString Literal(QString text)
{
    return text.replace(QStringLiteral("%"), QStringLiteral("%%"));
}

// 10 mm on every side: the virtual printer has no unprintable strip, and a
// table on the paper's edge is cut by real printers.
void UseMargins(TKVAutoPrint& report)
{
    TKVXPageMargins* margins = report.PrinterSetting()->Margins();
    margins->SetByDefault(false);
    margins->SetLeft(100);
    margins->SetTop(100);
    margins->SetRight(100);
    margins->SetBottom(100);
}

void AddTitle(TKVAutoPrint& report, const QString& title)
{
    UseMargins(report);
    if (title.isEmpty())
        return;
    report.KVProperty()->SetTitle(title);
    report.HeaderFont()->SetStyle(fsBold);
    QStringList header = report.Header()->List();
    header.prepend(QStringLiteral("%A%C") + Literal(title));
    report.Header()->SetList(header);
}

} // namespace

int RunTable(const QStringList& args, Streams io)
{
    TComponentOutput run;
    run.Command = QStringLiteral("table");
    QString source, title, group;
    QStringList sums;
    bool autoFit = false;
    try {
        for (qsizetype i = 0; i < args.size();) {
            const QString& arg = args[i];
            if (TakeOutputOption(args, i, run))
                continue;
            if (arg == u"--title" || arg.startsWith(u"--title="))
                title = TakeValue(args, i, QStringLiteral("--title"));
            else if (arg == u"--group" || arg.startsWith(u"--group="))
                group = TakeValue(args, i, QStringLiteral("--group"));
            else if (arg == u"--sum" || arg.startsWith(u"--sum="))
                sums += TakeValue(args, i, QStringLiteral("--sum")).split(u',', Qt::SkipEmptyParts);
            else if (arg == u"--autofit")
                autoFit = true;
            else if (arg.startsWith(u'-') && arg.size() > 1)
                throw UsageError{QStringLiteral("unknown option %1").arg(arg)};
            else if (source.isEmpty())
                source = arg;
            else
                throw UsageError{QStringLiteral("one SOURCE only (\"%1\" follows \"%2\")").arg(arg, source)};
            ++i;
        }
        if (source.isEmpty())
            throw UsageError{QStringLiteral("no SOURCE given")};
        if (run.Output.isEmpty())
            throw UsageError{QStringLiteral("no output given (-o OUT)")};
        if (!group.isEmpty() && sums.isEmpty())
            throw UsageError{QStringLiteral("--group needs --sum: the group ends show sums")};
    } catch (const UsageError& e) {
        return Usage(io, "table", e.Message, kTableUsage);
    }
    run.Input = source;
    TDataBinding binding;
    QString ignored;
    if (ParseDataSource(source, binding, ignored))
        run.InputFiles << (binding.Location.contains(u':') ? binding.Location.section(u':', 1) : binding.Location);

    TKVPrintData report;
    std::unique_ptr<TDataSet> dataSet;
    return WriteComponent(run, report, [&] {
        dataSet = OpenSource(source);
        report.SetColumnSource(csDataSet);
        report.SetDataSet(dataSet.get());
        report.SetAutoFitColumnWidth(true);
        report.SetAutoFit(autoFit);
        report.SetGapHorizontal(4);
        report.SetGapVertical(2);
        report.SetAnimatedStatus(true);
        AddTitle(report, title);
        const int captionColumn = 0;
        const auto addTotals = [&](TResetType reset, const QString& caption) {
            bool first = true;
            for (const QString& name : sums) {
                TKVXACalculation* calc = report.Calculations()->Add();
                calc->SetFieldName(QStringLiteral("[%1]").arg(name.trimmed()));
                calc->Calculation()->SetCalcType(ctSum);
                calc->Calculation()->SetResetType(reset);
                if (reset == rtEndGroup)
                    calc->Calculation()->SetResetGroup(group);
                calc->SetFieldColNum(ColumnOf(*dataSet, name.trimmed(), QStringLiteral("--sum")));
                calc->SetAlignment(taRightJustify);
                calc->Font()->SetStyle(fsBold);
                // One caption a row, in the first column (before the value
                // when the first column is summed itself).
                calc->SetCaptionColNum(first ? captionColumn : -1);
                if (first)
                    calc->SetCaption(caption);
                first = false;
            }
        };
        if (!group.isEmpty()) {
            ColumnOf(*dataSet, group, QStringLiteral("--group"));
            addTotals(rtEndGroup, QStringLiteral("Total "));
        }
        addTotals(rtEndReport, QStringLiteral("Grand total "));
    }, io);
}

int RunText(const QStringList& args, Streams io)
{
    TComponentOutput run;
    run.Command = QStringLiteral("text");
    QString file, title;
    bool wrap = false, oem = false;
    try {
        for (qsizetype i = 0; i < args.size();) {
            const QString& arg = args[i];
            if (TakeOutputOption(args, i, run))
                continue;
            if (arg == u"--title" || arg.startsWith(u"--title="))
                title = TakeValue(args, i, QStringLiteral("--title"));
            else if (arg == u"--wrap")
                wrap = true;
            else if (arg == u"--oem")
                oem = true;
            else if (arg.startsWith(u'-') && arg.size() > 1)
                throw UsageError{QStringLiteral("unknown option %1").arg(arg)};
            else if (file.isEmpty())
                file = arg;
            else
                throw UsageError{QStringLiteral("one FILE only (\"%1\" follows \"%2\")").arg(arg, file)};
            ++i;
        }
        if (file.isEmpty())
            throw UsageError{QStringLiteral("no FILE given")};
        if (run.Output.isEmpty())
            throw UsageError{QStringLiteral("no output given (-o OUT)")};
    } catch (const UsageError& e) {
        return Usage(io, "text", e.Message, kTextUsage);
    }
    run.Input = file;
    run.InputFiles << file;
    TKVPrintText report;
    return WriteComponent(run, report, [&] {
        report.SetFileName(file);
        report.SetWordWrap(wrap);
        report.SetCodePage(oem ? cpASCII : cpANSI);
        report.SetAnimatedStatus(true);
        AddTitle(report, title);
    }, io);
}

int RunJoin(const QStringList& args, Streams io)
{
    TComponentOutput run;
    run.Command = QStringLiteral("join");
    QStringList forms;
    QList<TDataBinding> bindings;
    QList<QPair<QString, QString>> params;
    try {
        for (qsizetype i = 0; i < args.size();) {
            const QString& arg = args[i];
            if (TakeOutputOption(args, i, run))
                continue;
            if (arg == u"--data" || arg.startsWith(u"--data=")) {
                const QString value = TakeValue(args, i, QStringLiteral("--data"));
                const qsizetype eq = value.indexOf(u'=');
                TDataBinding binding;
                QString problem;
                if (eq <= 0 || !ParseDataSource(value.mid(eq + 1).trimmed(), binding, problem))
                    throw UsageError{QStringLiteral("--data \"%1\": %2")
                                         .arg(value, problem.isEmpty() ? QStringLiteral("expected NAME=SOURCE") : problem)};
                binding.Name = value.left(eq).trimmed();
                bindings.append(binding);
            } else if (arg == u"--param" || arg.startsWith(u"--param=")) {
                const QString value = TakeValue(args, i, QStringLiteral("--param"));
                const qsizetype eq = value.indexOf(u'=');
                if (eq <= 0)
                    throw UsageError{QStringLiteral("--param \"%1\": expected NAME=VALUE").arg(value)};
                params.append({value.left(eq).trimmed(), value.mid(eq + 1)});
            } else if (arg.startsWith(u'-') && arg.size() > 1) {
                throw UsageError{QStringLiteral("unknown option %1").arg(arg)};
            } else {
                forms << arg;
            }
            ++i;
        }
        if (forms.isEmpty())
            throw UsageError{QStringLiteral("no report forms given")};
        if (run.Output.isEmpty())
            throw UsageError{QStringLiteral("no output given (-o OUT)")};
    } catch (const UsageError& e) {
        return Usage(io, "join", e.Message, kJoinUsage);
    }
    run.Input = forms.join(QStringLiteral(" + "));
    run.InputFiles = forms;

    TKVXCompositeReport composite;
    std::vector<std::unique_ptr<TKVReport>> members;
    return WriteComponent(run, composite, [&] {
        QList<bool> bindingUsed(bindings.size(), false);
        QList<bool> paramUsed(params.size(), false);
        for (const QString& form : forms) {
            auto report = std::make_unique<TKVReport>();
            report->setObjectName(QFileInfo(form).completeBaseName());
            TReportLoadOptions load;
            load.EditForm = [&](FormComponent& tree) {
                // A binding applies to the forms that hold or name its data set.
                QList<TDataBinding> own;
                for (qsizetype b = 0; b < bindings.size(); ++b) {
                    try {
                        FindDataSetEntries(tree, bindings[b].Name, QStringLiteral("--data %1"));
                    } catch (const EKVXError&) {
                        continue;
                    }
                    own.append(bindings[b]);
                    bindingUsed[b] = true;
                }
                ApplyDataBindings(tree, own, QStringLiteral("--data %1"));
            };
            try {
                report->LoadReport(form, load);
                report->SetAnimatedStatus(true);
                for (qsizetype p = 0; p < params.size(); ++p) {
                    if (!report->Parameters()->ParamByName(params[p].first))
                        continue;
                    SetParameterText(*report->Parameters(), params[p].first, params[p].second,
                                     QStringLiteral("--param %1"));
                    paramUsed[p] = true;
                }
                OpenReportDataSets(*report);
                for (const QString& file : ReportDataFiles(*report))
                    if (const QString why = OutputOverwritesInput(run.Output, form, {file}); !why.isEmpty())
                        throw UsageError{why};
            } catch (EKVXError& e) {
                if (!e.Message().startsWith(form))
                    throw EKVXError(form + QStringLiteral(": ") + e.Message(), e.Place());
                throw;
            }
            composite.AddReport(report.get());
            members.push_back(std::move(report));
        }
        for (qsizetype b = 0; b < bindings.size(); ++b)
            if (!bindingUsed[b])
                throw UsageError{QStringLiteral("--data %1: none of the forms holds or names that data set")
                                     .arg(bindings[b].Name)};
        for (qsizetype p = 0; p < params.size(); ++p)
            if (!paramUsed[p])
                throw UsageError{QStringLiteral("--param %1: none of the forms has that parameter").arg(params[p].first)};
    }, io);
}

} // namespace vorel::cli
