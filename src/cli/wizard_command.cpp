// vorel wizard: the report wizard without its window. Makes a report form
// over one data source, in one of the wizard's layouts and styles, and
// writes it as a text form that holds its data set, so that it renders on
// its own.

#include "cli/commands.h"
#include "cli/component_output.h"
#include "cli/render_options.h"

#include "auto/report_wizard.h"
#include "designer/wizard_dialog.h"
#include "data/csv_dataset.h"
#include "data/data_binding.h"
#include "data/data_manager.h"
#include "data/sql_dataset.h"
#include "foundation/values/errors.h"
#include "frame/printer_settings.h"
#include "model/band.h"
#include "model/report.h"
#include "model/report_data.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <memory>

namespace vorel::cli {

const char* const kWizardUsage =
    "  wizard --type TYPE --style STYLE --data NAME=SOURCE --fields A,B,C -o FORM.kvx [options]\n"
    "                       make a report form as the designer's wizard does, holding\n"
    "                       its data set (it renders without --data)\n"
    "      --type TYPE            blank, columnar, tabular or labels\n"
    "      --style STYLE          standard, executive, presentative or corporative\n"
    "      --data NAME=SOURCE     the data set NAME reads: csv:PATH, sqlite:PATH?sql=SELECT ...,\n"
    "                             postgresql://USER@HOST/DB?sql=SELECT ...\n"
    "      --fields A,B,C         the fields printed, in that order\n"
    "      --title TEXT           the title printed over the report (default: <Report title>)\n"
    "      --group FIELD          a group on FIELD (the data must be sorted by it)\n"
    "      --sum A[,B...]         sums of the fields in every group footer and the summary\n"
    "      --across N             labels: labels side by side (default 2)\n"
    "      --shape SHAPE          labels: none, rectangle or rounded (default none)\n"
    "      --snapshot OUT.png     instead of a form, a picture of the wizard's dialog at the\n"
    "                             step --page N (from 1) with these choices\n";

namespace {

int Usage(Streams io, const QString& message)
{
    io.Err << "vorel wizard: " << message << "\nUsage:\n" << kWizardUsage;
    return kExitUsage;
}

template <class E>
E Choose(const QString& option, const QString& value, const QStringList& names)
{
    const int index = int(names.indexOf(value.toLower()));
    if (index < 0)
        throw UsageError{QStringLiteral("%1: unknown value \"%2\" (use %3)").arg(option, value, names.join(u", "))};
    return E(index);
}

// The source's place as the form stores it: a file beside the form is named
// from the form's folder, so the form and its data move together.
QString FormRelative(const QString& path, const QDir& formDir)
{
    return QDir::cleanPath(formDir.relativeFilePath(path));
}

// The data set the form holds, owned by the report and opened from the
// form's folder as `vorel render` will open it.
TDataSet* MakeDataSet(TKVReport& report, const TDataBinding& binding, const QDir& formDir)
{
    TDataSet* dataSet = nullptr;
    if (binding.Csv) {
        auto* csv = new TCsvDataSet(&report);
        csv->SetFileName(FormRelative(binding.Location, formDir));
        dataSet = csv;
    } else {
        if (binding.Sql.trimmed().isEmpty())
            throw UsageError{QStringLiteral("--data %1: the source names no query (add ?sql=SELECT ...)").arg(binding.Name)};
        auto* sql = new TSqlDataSet(&report);
        QString connection = binding.Location;
        const QString scheme = connection.section(u':', 0, 0);
        const QString path = connection.section(u':', 1);
        if (scheme.startsWith(u"sqlite", Qt::CaseInsensitive) && path != u":memory:")
            connection = scheme + u':' + FormRelative(path, formDir);
        sql->SetConnection(connection);
        sql->SetSQL(binding.Sql);
        dataSet = sql;
    }
    dataSet->setObjectName(binding.Name);
    dataSet->SetBaseDirectory(formDir.absolutePath());
    try {
        dataSet->Open();
    } catch (EKVXError& e) {
        // The data set's messages start with its name already.
        const QString message = e.Message().startsWith(binding.Name + u':') ? e.Message()
                                                                           : QStringLiteral("%1: %2").arg(binding.Name, e.Message());
        throw EKVXError(QStringLiteral("--data ") + message, e.Place());
    }
    return dataSet;
}

// The row of the field named `name` (field names are not case-sensitive).
int FieldIndex(const QList<TWizardField>& fields, const QString& name, const QString& option)
{
    QStringList names;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (fields[i].FieldName.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
        names << fields[i].FieldName;
    }
    throw EKVXError(QStringLiteral("%1: the data has no field \"%2\" (its fields: %3)")
                        .arg(option, name, names.join(QStringLiteral(", "))));
}

// The choices over the field list `all`: the fields named ticked, the others
// not. For a form the named fields come first, in the order given; for the
// dialog the list keeps its own order (its rows are the data's fields).
void ChooseFields(TWizardChoices& choices, const QList<TWizardField>& all, const QStringList& fieldNames,
                  const QString& group, const QStringList& sums, bool namedFirst)
{
    QList<bool> taken(all.size(), false);
    choices.Fields.clear();
    for (const QString& name : fieldNames) {
        const int index = FieldIndex(all, name.trimmed(), QStringLiteral("--fields"));
        if (namedFirst && !taken[index]) {
            choices.Fields.append(all[index]);
            choices.Fields.last().Ticked = true;
        }
        taken[index] = true;
    }
    for (qsizetype i = 0; i < all.size(); ++i)
        if (!namedFirst || !taken[i]) {
            choices.Fields.append(all[i]);
            choices.Fields.last().Ticked = namedFirst ? false : (fieldNames.isEmpty() ? all[i].Ticked : taken[i]);
        }
    QString groupExpression;
    if (!group.isEmpty()) {
        choices.Groups[0].Ticked = true;
        choices.Groups[0].Field = FieldIndex(choices.Fields, group, QStringLiteral("--group"));
        groupExpression = choices.Fields[choices.Groups[0].Field].Reference();
    }
    for (const QString& name : sums) {
        const QString reference = choices.Fields[FieldIndex(choices.Fields, name.trimmed(), QStringLiteral("--sum"))].Reference();
        if (!groupExpression.isEmpty())
            choices.Calculations.append({reference, true, ctSum, TWizardReset::Group, groupExpression});
        choices.Calculations.append({reference, true, ctSum, TWizardReset::EndOfReport, QString()});
    }
}

// A4 portrait with 10 mm margins: the same form on every machine (the
// virtual printer has no unprintable strip, and real printers cut what
// stands on the edge).
void UseSheet(TKVReport& report)
{
    TKVXPrinter* printer = report.PrinterSetting();
    printer->SetPaperSize(psA4);
    printer->SetOrientation(spoPortrait);
    TKVXPageMargins* margins = printer->Margins();
    margins->SetByDefault(false);
    margins->SetLeft(100);
    margins->SetTop(100);
    margins->SetRight(100);
    margins->SetBottom(100);
}

// The report's data: the data set and a data manager captioning it NAME.
TKVXDataManager* UseData(TKVReport& report, const TDataBinding& binding, const QDir& formDir)
{
    TDataSet* dataSet = MakeDataSet(report, binding, formDir);
    auto* manager = new TKVXDataManager(&report);
    manager->setObjectName(binding.Name.compare(u"Data", Qt::CaseInsensitive) == 0 ? QStringLiteral("DataList")
                                                                                   : QStringLiteral("Data"));
    TKVXDataset* item = manager->Datasets()->Add();
    item->SetDataset(dataSet);
    item->SetCaption(binding.Name);
    report.SetDataManager(manager);
    report.SetDataSet(dataSet);
    return manager;
}

// A picture of the wizard's dialog at its page-th step (from 1) with the
// choices made, painted offscreen.
int WriteSnapshot(TKVReport& report, const TWizardChoices& choices, int page, const QString& file, Streams io)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        io.Err << "vorel wizard: --snapshot needs the widget library\n";
        return kExitUsage;
    }
    TWizardDialog dialog(&report);
    dialog.SetChoices(choices);
    dialog.restart();
    for (int step = 1; step < page; ++step) {
        if (dialog.nextId() < 0) {
            io.Err << "vorel wizard: --page " << page << ": this report type has " << step << " steps\n";
            return kExitUsage;
        }
        dialog.next();
    }
    dialog.show();
    QApplication::processEvents();
    if (!dialog.grab().save(file, "PNG")) {
        io.Err << "vorel wizard: cannot write " << file << "\n";
        return kExitBadInput;
    }
    io.Out << "Wrote " << file << "\n";
    return kExitOk;
}

} // namespace

int RunWizard(const QStringList& args, Streams io)
{
    TWizardChoices choices;
    QString dataArgument, output, group, title, snapshot;
    QStringList fieldNames, sums;
    int page = 1;
    bool typeGiven = false, styleGiven = false;
    static const QStringList kTypes = {"blank", "columnar", "tabular", "labels"};
    static const QStringList kStyles = {"standard", "executive", "presentative", "corporative"};
    static const QStringList kShapes = {"none", "rectangle", "rounded"};
    try {
        for (qsizetype i = 0; i < args.size(); ++i) {
            const QString& arg = args[i];
            const auto is = [&](const char* name) {
                return arg == QLatin1String(name) || arg.startsWith(QLatin1String(name) + u'=');
            };
            const auto value = [&](const char* name) { return TakeValue(args, i, QLatin1String(name)); };
            if (is("--type")) {
                choices.Type = Choose<TWizardReportType>(QStringLiteral("--type"), value("--type"), kTypes);
                typeGiven = true;
            } else if (is("--style")) {
                choices.Style = Choose<TWizardStyle>(QStringLiteral("--style"), value("--style"), kStyles);
                styleGiven = true;
            } else if (is("--data")) {
                if (!dataArgument.isEmpty())
                    throw UsageError{QStringLiteral("one --data only")};
                dataArgument = value("--data");
            } else if (is("--fields")) {
                fieldNames += value("--fields").split(u',', Qt::SkipEmptyParts);
            } else if (is("--title")) {
                title = value("--title");
            } else if (is("--group")) {
                group = value("--group").trimmed();
            } else if (is("--sum")) {
                sums += value("--sum").split(u',', Qt::SkipEmptyParts);
            } else if (is("--across")) {
                choices.LabelsAcross = value("--across");
                bool ok = false;
                if (choices.LabelsAcross.toInt(&ok) < 1 || !ok)
                    throw UsageError{QStringLiteral("--across: \"%1\" is not a number of labels of 1 or more").arg(choices.LabelsAcross)};
            } else if (is("--shape")) {
                choices.LabelShape = Choose<TWizardLabelShape>(QStringLiteral("--shape"), value("--shape"), kShapes);
            } else if (is("--snapshot")) {
                snapshot = value("--snapshot");
            } else if (is("--page")) {
                bool ok = false;
                page = value("--page").toInt(&ok);
                if (!ok || page < 1)
                    throw UsageError{QStringLiteral("--page: a step number from 1")};
            } else if (is("-o") || is("--output")) {
                output = TakeValue(args, i, arg.startsWith(u"--") ? QStringLiteral("--output") : QStringLiteral("-o"));
            } else {
                throw UsageError{QStringLiteral("unknown argument %1").arg(arg)};
            }
        }
        const bool tableLike = choices.Type == TWizardReportType::Columnar || choices.Type == TWizardReportType::Tabular;
        if ((!group.isEmpty() || !sums.isEmpty() || !title.isEmpty()) && !tableLike)
            throw UsageError{QStringLiteral("--title, --group and --sum need a columnar or tabular report")};
        if (!snapshot.isEmpty()) {
            if (!output.isEmpty())
                throw UsageError{QStringLiteral("--snapshot writes a picture, not a form: no -o")};
        } else {
            if (!typeGiven)
                throw UsageError{QStringLiteral("no --type given")};
            if (!styleGiven)
                throw UsageError{QStringLiteral("no --style given")};
            if (dataArgument.isEmpty())
                throw UsageError{QStringLiteral("no --data NAME=SOURCE given")};
            if (output.isEmpty())
                throw UsageError{QStringLiteral("no output given (-o FORM.kvx)")};
            if (fieldNames.isEmpty() && choices.Type != TWizardReportType::Blank)
                throw UsageError{QStringLiteral("no --fields given")};
        }
    } catch (const UsageError& e) {
        return Usage(io, e.Message);
    }

    TDataBinding binding;
    if (!dataArgument.isEmpty()) {
        const qsizetype eq = dataArgument.indexOf(u'=');
        binding.Name = dataArgument.left(eq).trimmed();
        QString problem;
        // The name becomes a component name in the form: an identifier.
        static const QRegularExpression identifier(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
        if (eq <= 0 || !identifier.match(binding.Name).hasMatch())
            return Usage(io, QStringLiteral("--data \"%1\": expected NAME=SOURCE with NAME a name of letters, digits "
                                            "and _").arg(dataArgument));
        const QString name = binding.Name;
        if (!ParseDataSource(dataArgument.mid(eq + 1), binding, problem))
            return Usage(io, QStringLiteral("--data \"%1\": %2").arg(dataArgument, problem));
        binding.Name = name;
    }

    const QFileInfo outputInfo(snapshot.isEmpty() ? output : snapshot);
    const QDir formDir(outputInfo.absolutePath());
    if (!formDir.exists()) {
        io.Err << "vorel wizard: " << outputInfo.filePath() << ": the folder does not exist\n";
        return kExitBadInput;
    }
    QString dataFile = binding.Csv ? binding.Location : QString();
    if (binding.Location.startsWith(u"sqlite", Qt::CaseInsensitive))
        dataFile = binding.Location.section(u':', 1);
    if (const QString why = OutputOverwritesInput(outputInfo.filePath(), QString(), {dataFile}); !why.isEmpty()) {
        io.Err << "vorel wizard: " << outputInfo.filePath() << ": " << why << "\n";
        return kExitBadInput;
    }

    try {
        TKVReport report;
        report.setObjectName(QStringLiteral("WizardReport"));
        UseSheet(report);
        const QList<TWizardField> all =
            dataArgument.isEmpty() ? QList<TWizardField>() : WizardFieldList(UseData(report, binding, formDir));
        ChooseFields(choices, all, fieldNames, group, sums, snapshot.isEmpty());
        if (!snapshot.isEmpty())
            return WriteSnapshot(report, choices, page, snapshot, io);

        choices.PrintableWidth = ReportPrintableWidth(report);
        // Without a window the fields share the printable width (the
        // design area is 30 pixels wider than what the fields may take).
        choices.VisibleWidth = choices.PrintableWidth + 30;
        GenerateWizardReport(report, choices);
        if (!title.isEmpty()) {
            // The generated title is the first control of the title band.
            if (TKVXBand* band = report.GetBand(report.GetIndexBand(btReportTitle)); band && band->Object(0))
                band->Object(0)->SetDisplayName(title);
            report.KVProperty()->SetTitle(title);
        }
        report.SaveReport(output, TReportFormFormat::Text);
    } catch (const UsageError& e) {
        return Usage(io, e.Message);
    } catch (const EKVXError& e) {
        io.Err << "vorel wizard: " << e.Message() << "\n";
        return kExitBadInput;
    } catch (const std::exception& e) {
        io.Err << "vorel wizard: " << output << ": " << QString::fromUtf8(e.what()) << "\n";
        return kExitBadInput;
    }
    io.Out << "Wrote " << output << "\n";
    return kExitOk;
}

} // namespace vorel::cli
