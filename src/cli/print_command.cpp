// vorel print: loads a report form (or a saved prepared report), binds its
// data, prepares it and prints the chosen pages on a printer, with copies
// and collation made by the report itself. vorel printers: the printers
// the system offers, the default one and their papers.

#include "cli/commands.h"
#include "cli/installed_interface.h"
#include "cli/input_kind.h"
#include "cli/interrupt.h"
#include "cli/render_options.h"

#include "foundation/values/errors.h"
#include "frame/page_range.h"
#include "frame/parameter_values.h"
#include "frame/user_interface.h"
#include "model/report.h"
#include "model/report_data.h"

#include <QPageSize>
#include <QPrinterInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <optional>

namespace vorel::cli {

const char* const kPrintUsage =
    "  print FORM.kvx|PREPARED.zpg [options]\n"
    "                       prepare a report and print it on a printer\n"
    "      --printer NAME         the printer (default: the system's default; see\n"
    "                             vorel printers)\n"
    "      --pages LIST           pages such as \"1,3,5-12\" (default: all)\n"
    "      --copies N             copies, made by the report itself (default: the\n"
    "                             form's, 1 when it has none)\n"
    "      --collate              whole sets (1, 2, 3, 1, 2, 3) instead of each\n"
    "                             page's copies together (1, 1, 2, 2, 3, 3)\n"
    "      --title TEXT           the job's title in the queue (default: the\n"
    "                             report's title)\n"
    "      --param, --data, --two-pass, --language, --quiet   as for render\n";

const char* const kPrintersUsage = "  printers             list the printers, the default one and their papers\n";

namespace {

const char kCancelledLine[] = "vorel print: cancelled; nothing printed\n";

struct TPrintOptions {
    TRenderOptions Form; // the options print shares with render
    std::optional<QString> Printer;
    std::optional<int> Copies;
    bool Collate = false;
    std::optional<QString> Title;
};

// The headless interface, whose progress counts as cancelled once Ctrl-C
// was pressed, so the job is dropped before its next sheet.
class TPrintInterface final : public THeadlessUserInterface {
public:
    bool ProgressCanceled() override
    {
        return THeadlessUserInterface::ProgressCanceled() || (Progress().Exists && Interrupted());
    }
};

// print's own options are taken out first; what remains are the options
// it shares with render, checked by render's parser.
TPrintOptions ParsePrintOptions(const QStringList& args)
{
    TPrintOptions options;
    QStringList rest;
    bool optionsEnded = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (optionsEnded || !arg.startsWith(u"--") || arg == u"--") {
            optionsEnded = optionsEnded || arg == u"--";
            rest << arg;
            continue;
        }
        const QString name = arg.section(u'=', 0, 0);
        const bool hasInline = arg.contains(u'=');
        const auto value = [&]() -> QString {
            QString text;
            if (hasInline)
                text = arg.section(u'=', 1);
            else if (i + 1 < args.size() && !args[i + 1].startsWith(u"--"))
                text = args[++i];
            if (text.trimmed().isEmpty())
                throw UsageError{QStringLiteral("%1 needs a value").arg(name)};
            return text;
        };
        if (name == u"--printer") {
            if (options.Printer)
                throw UsageError{QStringLiteral("--printer is given more than once")};
            options.Printer = value();
        } else if (name == u"--copies") {
            if (options.Copies)
                throw UsageError{QStringLiteral("--copies is given more than once")};
            const QString text = value();
            bool ok = false;
            const int copies = text.trimmed().toInt(&ok);
            if (!ok || copies < 1 || copies > 9999)
                throw UsageError{QStringLiteral("--copies \"%1\": expected a number from 1 to 9999").arg(text)};
            options.Copies = copies;
        } else if (name == u"--title") {
            if (options.Title)
                throw UsageError{QStringLiteral("--title is given more than once")};
            options.Title = value();
        } else if (name == u"--collate") {
            if (hasInline)
                throw UsageError{QStringLiteral("--collate takes no value (got \"%1\")").arg(arg)};
            options.Collate = true;
        } else if (name == u"--output" || name == u"--format" || name == u"--separate" || name == u"--option") {
            throw UsageError{QStringLiteral("%1 is an option of render, not of print").arg(name)};
        } else {
            rest << arg;
        }
    }
    for (const QString& arg : std::as_const(rest))
        if (arg == u"-o")
            throw UsageError{QStringLiteral("-o is an option of render, not of print")};
    // render's parser wants an output; print has none.
    options.Form = ParseRenderOptions(QStringList{QStringLiteral("--output"), QStringLiteral("-")} + rest);
    options.Form.Output.clear();
    return options;
}

int Usage(Streams io, const QString& message)
{
    io.Err << "vorel print: " << message << "\nUsage:\n" << kPrintUsage;
    return kExitUsage;
}

QString OneLine(QString message)
{
    static const QRegularExpression breaks(QStringLiteral("\\s*\r?\n\\s*"));
    return message.replace(breaks, QStringLiteral(" ")).trimmed();
}

// A prepared report carries its pages' size, not the paper it was made
// for: the printer is given that size (a named paper when it is one).
void UsePaperOfPages(TKVReport& report)
{
    const TPageInfo* first = report.Pages().Items(0);
    if (!first)
        return;
    TKVXPrinter* printer = report.PrinterSetting();
    printer->SetPaperSize(psCustom);
    // Report pixels (96 per inch) to 0.1 mm.
    printer->SetPaperSizeWidth(int(std::lround(first->PageWidth() * 254.0 / 96.0)));
    printer->SetPaperSizeHeight(int(std::lround(first->PageHeight() * 254.0 / 96.0)));
}

} // namespace

int RunPrint(const QStringList& args, Streams io)
{
    WatchInterrupts(kCancelledLine);
    TPrintOptions options;
    bool prepared = false;
    try {
        options = ParsePrintOptions(args);
        prepared = InputKind(options.Form.Input) == TInputKind::Prepared;
        const TRenderOptions& form = options.Form;
        if (prepared && (!form.Params.isEmpty() || !form.Data.isEmpty() || form.TwoPass || form.Language))
            throw UsageError{QStringLiteral("%1 is a prepared report: --param, --data, --two-pass and --language "
                                            "apply to report forms only")
                                 .arg(form.Input)};
    } catch (const UsageError& e) {
        return Usage(io, e.Message);
    }
    const TRenderOptions& form = options.Form;

    TPrintInterface ui;
    TInstalledInterface installed(&ui);
    if (form.Quiet)
        ui.SetProgressOutput([](const QByteArray&) {}, false);

    TPrinterService& service = TPrinterService::Instance();
    TKVReport report;
    int sheets = 0;
    QString printerName;
    try {
        if (!service.HasSystemPrinters())
            RaiseNoPrinter(0);
        // The printer first: a form on the printer's own paper (psDefault)
        // is prepared on it.
        if (options.Printer) {
            const QStringList printers = service.Printers();
            const int index = int(printers.indexOf(*options.Printer));
            if (index < 0)
                throw EKVXError(QStringLiteral("--printer \"%1\": no such printer (printers: %2)")
                                    .arg(*options.Printer, printers.join(QStringLiteral(", "))));
            service.SetPrinterIndex(index);
        }
        if (prepared) {
            report.LoadPreparedReport(form.Input);
            UsePaperOfPages(report);
        } else {
            TReportLoadOptions load;
            if (!form.Data.isEmpty())
                load.EditForm = [&](FormComponent& tree) { ApplyDataBindings(tree, form.Data, QStringLiteral("--data %1")); };
            report.LoadReport(form.Input, load);
            // The form's own printer stays unless one was named here.
            if (options.Printer)
                report.PrinterSetting()->SetPrinterName(*options.Printer);
            if (form.Language) {
                report.Language()->SetAutoDetect(false);
                report.Language()->SetLanguageID(*form.Language);
            }
            if (form.TwoPass)
                report.SetTwoPass(true);
            for (const auto& [name, text] : form.Params)
                SetParameterText(*report.Parameters(), name, text, QStringLiteral("--param %1"));
            OpenReportDataSets(report, [&](const TDataSet& dataSet) {
                for (const TDataBinding& binding : form.Data)
                    if (binding.Name.compare(dataSet.Name(), Qt::CaseInsensitive) == 0)
                        return QStringLiteral("--data %1").arg(binding.Name);
                return QString();
            });
        }
        // The progress line, and the Cancel that Ctrl-C presses.
        report.SetAnimatedStatus(true);
        if (!prepared) {
            report.Prepare();
            if (Interrupted() || report.Cancelled()) {
                io.Err << kCancelledLine;
                return kExitInterrupted;
            }
        }
        if (!report.Prepared())
            throw EKVXError(QStringLiteral("the report produced no pages; nothing printed"));

        QList<int> present;
        for (int i = 0; i < report.Pages().Count(); ++i)
            present.append(report.Pages().Items(i)->intNumPage + 1);
        std::sort(present.begin(), present.end());
        present.erase(std::unique(present.begin(), present.end()), present.end());
        QList<int> pages = present;
        if (form.Pages) {
            pages.clear();
            for (int number : GetValidPageNumbers(*form.Pages))
                if (std::binary_search(present.begin(), present.end(), number))
                    pages.append(number);
            if (pages.isEmpty())
                throw EKVXError(QStringLiteral("--pages \"%1\" selects none of the report's %2 page(s); nothing printed")
                                    .arg(*form.Pages)
                                    .arg(present.size()));
        }
        if (pages.isEmpty())
            throw EKVXError(QStringLiteral("the report has no pages; nothing printed"));
        if (options.Copies)
            report.PrinterSetting()->SetCopies(*options.Copies);
        if (options.Collate)
            report.PrinterSetting()->SetCollate(true);
        if (options.Title)
            report.KVProperty()->SetTitle(*options.Title);
        int records = 0;
        for (int i = 0; i < report.Pages().Count(); ++i)
            records += pages.contains(report.Pages().Items(i)->intNumPage + 1) ? 1 : 0;
        sheets = records * std::max(1, report.PrinterSetting()->Copies());
        printerName = service.PrinterName();
        report.PrintPages(pages);
        if (report.Cancelled()) {
            io.Err << kCancelledLine;
            return kExitInterrupted;
        }
    } catch (const EKVXError& e) {
        QString message = e.Message();
        const TErrorPlace& place = e.Place();
        if ((!place.Expression.isEmpty() || !place.Control.isEmpty() || !place.Band.isEmpty())
            && (place.Component.isEmpty() || !message.startsWith(place.Component + u':')))
            message = place.Describe() + QStringLiteral(": ") + message;
        if (!message.startsWith(form.Input) && !message.startsWith(QStringLiteral("--")))
            message = form.Input + QStringLiteral(": ") + message;
        io.Err << "vorel print: " << OneLine(message) << "\n";
        return kExitBadInput;
    } catch (const std::exception& e) {
        io.Err << "vorel print: " << form.Input << ": " << OneLine(QString::fromLocal8Bit(e.what())) << "\n";
        return kExitBadInput;
    }
    if (!form.Quiet)
        io.Out << form.Input << ": " << sheets << (sheets == 1 ? " sheet" : " sheets") << " sent to " << printerName
               << "\n";
    return kExitOk;
}

int RunPrinters(const QStringList& args, Streams io)
{
    if (!args.isEmpty()) {
        io.Err << "vorel printers: takes no arguments (got \"" << args.join(u' ') << "\")\nUsage:\n" << kPrintersUsage;
        return kExitUsage;
    }
    const QList<QPrinterInfo> printers = QPrinterInfo::availablePrinters();
    if (printers.isEmpty()) {
        io.Err << "vorel printers: No printer installed (reports still prepare and export on the built-in "
                  "virtual printer)\n";
        return kExitBadInput;
    }
    const QString defaultName = QPrinterInfo::defaultPrinterName();
    for (const QPrinterInfo& info : printers) {
        io.Out << info.printerName();
        if (info.printerName() == defaultName)
            io.Out << " (default)";
        if (info.state() == QPrinter::Error || info.state() == QPrinter::Aborted)
            io.Out << " (stopped)";
        io.Out << "\n";
        if (!info.description().isEmpty() && info.description() != info.printerName())
            io.Out << "    description: " << info.description() << "\n";
        const QPageSize paper = info.defaultPageSize();
        if (paper.isValid()) {
            const QSizeF mm = paper.size(QPageSize::Millimeter);
            io.Out << "    default paper: " << paper.name() << " (" << QString::number(mm.width(), 'f', 0) << " x "
                   << QString::number(mm.height(), 'f', 0) << " mm)\n";
        }
        QStringList names;
        for (const QPageSize& size : info.supportedPageSizes())
            names << size.name();
        if (!names.isEmpty())
            io.Out << "    papers: " << names.join(QStringLiteral(", ")) << "\n";
    }
    return kExitOk;
}

} // namespace vorel::cli
