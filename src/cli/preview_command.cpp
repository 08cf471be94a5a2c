// vorel preview: prepares a report form (or reads a prepared report) and
// opens the preview window on it, or, with --snapshot, renders the window
// offscreen into a PNG file and exits.

#include "cli/commands.h"
#include "cli/input_kind.h"

#include "data/data_binding.h"
#include "data/dataset.h"
#include "foundation/values/errors.h"
#include "frame/parameter_values.h"
#include "model/report.h"
#include "model/report_data.h"
#include "dialogs/widget_install.h"
#include "preview/preview_window.h"

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QRegularExpression>
#include <optional>

namespace vorel::cli {

const char* const kPreviewUsage =
    "  preview FORM.kvx|PREPARED.zpg [options]\n"
    "                       open the preview window on a report\n"
    "      --param NAME=VALUE     a report parameter (repeatable)\n"
    "      --data NAME=SOURCE     bind a data set, as for render (repeatable)\n"
    "      --two-pass             prepare twice (page counts known on every page)\n"
    "      --snapshot OUT.png     render the window offscreen into a PNG and exit\n"
    "      --page N, --bar N      the page and bar shown (from 1)\n"
    "      --zoom Z               percent (10..2000), width or page (default: width)\n"
    "      --size WxH             the window's size in pixels (default 1000x760)\n"
    "      --thumbnails, --outlines, --margins, --grid\n"
    "                             show the thumbnails, outlines, margins, inch grid\n"
    "      --find TEXT            find TEXT from the shown page on and highlight it\n"
    "      --find-mode MODE       any (default), begin or exact\n"
    "      --case-sensitive       the search respects case\n";

namespace {

struct TPreviewOptions {
    QString Input;
    QList<QPair<QString, QString>> Params;
    QList<TDataBinding> Data;
    bool TwoPass = false;
    QString Snapshot;
    int Page = 0; // 0: as the window opens
    int Bar = 0;
    QString Zoom;
    QSize Size{1000, 760};
    bool SizeGiven = false;
    bool Thumbnails = false, Outlines = false, Margins = false, Grid = false;
    std::optional<TKVXFindOptions> Find;
};

struct TUsage {
    QString Message;
};

int PositiveNumber(const QString& option, const QString& text)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < 1)
        throw TUsage{QStringLiteral("%1 \"%2\": expected a number from 1").arg(option, text)};
    return n;
}

QPair<QString, QString> NameValue(const QString& option, const QString& text)
{
    const qsizetype eq = text.indexOf(u'=');
    if (eq <= 0)
        throw TUsage{QStringLiteral("%1 \"%2\": expected NAME=VALUE").arg(option, text)};
    return {text.left(eq).trimmed(), text.mid(eq + 1)};
}

TPreviewOptions ParseOptions(const QStringList& args)
{
    TPreviewOptions options;
    TKVXFindOptions find;
    bool findGiven = false, modeGiven = false;
    bool endOfOptions = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString arg = args[i];
        if (endOfOptions || !arg.startsWith(u'-') || arg == u"-") {
            if (!options.Input.isEmpty())
                throw TUsage{QStringLiteral("more than one report given (\"%1\", \"%2\")").arg(options.Input, arg)};
            options.Input = arg;
            continue;
        }
        if (arg == u"--") {
            endOfOptions = true;
            continue;
        }
        QString value;
        bool inlineValue = false;
        if (const qsizetype eq = arg.indexOf(u'='); arg.startsWith(u"--") && eq > 0) {
            value = arg.mid(eq + 1);
            arg = arg.left(eq);
            inlineValue = true;
        }
        const auto takeValue = [&]() {
            if (!inlineValue) {
                if (i + 1 >= args.size() || args[i + 1].startsWith(u"--"))
                    throw TUsage{QStringLiteral("%1 needs a value").arg(arg)};
                value = args[++i];
            }
            if (value.isEmpty())
                throw TUsage{QStringLiteral("%1 needs a value").arg(arg)};
            return value;
        };
        const auto flag = [&](bool& target) {
            if (inlineValue)
                throw TUsage{QStringLiteral("%1 takes no value").arg(arg)};
            target = true;
        };
        if (arg == u"--param") {
            options.Params << NameValue(arg, takeValue());
        } else if (arg == u"--data") {
            const auto [name, source] = NameValue(arg, takeValue());
            TDataBinding binding;
            QString problem;
            if (!ParseDataSource(source.trimmed(), binding, problem))
                throw TUsage{QStringLiteral("--data \"%1\": %2").arg(value, problem)};
            binding.Name = name;
            options.Data << binding;
        } else if (arg == u"--two-pass") {
            flag(options.TwoPass);
        } else if (arg == u"--snapshot") {
            options.Snapshot = takeValue();
        } else if (arg == u"--page") {
            options.Page = PositiveNumber(arg, takeValue());
        } else if (arg == u"--bar") {
            options.Bar = PositiveNumber(arg, takeValue());
        } else if (arg == u"--zoom") {
            options.Zoom = takeValue().toLower();
            bool ok = false;
            const int z = options.Zoom.toInt(&ok);
            if (!(options.Zoom == u"width" || options.Zoom == u"page" || (ok && z >= kMinZoom && z <= kMaxZoom)))
                throw TUsage{QStringLiteral("--zoom \"%1\": expected a percentage from %2 to %3, width or page")
                                 .arg(value)
                                 .arg(kMinZoom)
                                 .arg(kMaxZoom)};
        } else if (arg == u"--size") {
            static const QRegularExpression pattern(QStringLiteral("^(\\d{1,5})x(\\d{1,5})$"));
            const QRegularExpressionMatch m = pattern.match(takeValue());
            const int w = m.hasMatch() ? m.captured(1).toInt() : 0, h = m.hasMatch() ? m.captured(2).toInt() : 0;
            if (w < 200 || h < 150 || w > 8000 || h > 8000)
                throw TUsage{QStringLiteral("--size \"%1\": expected WIDTHxHEIGHT in pixels, from 200x150 to "
                                            "8000x8000")
                                 .arg(value)};
            options.Size = QSize(w, h);
            options.SizeGiven = true;
        } else if (arg == u"--thumbnails") {
            flag(options.Thumbnails);
        } else if (arg == u"--outlines") {
            flag(options.Outlines);
        } else if (arg == u"--margins") {
            flag(options.Margins);
        } else if (arg == u"--grid") {
            flag(options.Grid);
        } else if (arg == u"--find") {
            find.Text = takeValue();
            findGiven = true;
        } else if (arg == u"--find-mode") {
            const QString mode = takeValue().toLower();
            modeGiven = true;
            if (mode == u"any")
                find.Mode = TFindMode::AnyPosition;
            else if (mode == u"begin")
                find.Mode = TFindMode::Beginning;
            else if (mode == u"exact")
                find.Mode = TFindMode::Exact;
            else
                throw TUsage{QStringLiteral("--find-mode \"%1\": expected any, begin or exact").arg(value)};
        } else if (arg == u"--case-sensitive") {
            flag(find.CaseSensitive);
        } else {
            throw TUsage{QStringLiteral("unknown option \"%1\"").arg(args[i])};
        }
    }
    if (options.Input.isEmpty())
        throw TUsage{QStringLiteral("no report given")};
    if ((modeGiven || find.CaseSensitive) && !findGiven)
        throw TUsage{QStringLiteral("--find-mode and --case-sensitive go with --find")};
    if (findGiven)
        options.Find = find;
    return options;
}

int Usage(Streams io, const QString& message)
{
    io.Err << "vorel preview: " << message << "\nUsage:\n" << kPreviewUsage;
    return kExitUsage;
}

// Loads and prepares as render does: bindings edit the form before it is
// read, parameters given here are not asked again.
void LoadReport(TKVReport& report, const TPreviewOptions& options)
{
    report.SetAnimatedStatus(true);
    if (InputKind(options.Input) == TInputKind::Prepared) {
        report.LoadPreparedReport(options.Input);
        return;
    }
    TReportLoadOptions load;
    if (!options.Data.isEmpty())
        load.EditForm = [&](FormComponent& tree) { ApplyDataBindings(tree, options.Data, QStringLiteral("--data %1")); };
    report.LoadReport(options.Input, load);
    report.SetAnimatedStatus(true);
    if (options.TwoPass)
        report.SetTwoPass(true);
    for (const auto& [name, text] : options.Params)
        SetParameterText(*report.Parameters(), name, text, QStringLiteral("--param %1"));
    OpenReportDataSets(report, [&](const TDataSet& dataSet) {
        for (const TDataBinding& binding : options.Data)
            if (binding.Name.compare(dataSet.Name(), Qt::CaseInsensitive) == 0)
                return QStringLiteral("--data %1").arg(binding.Name);
        return QString();
    });
    report.Prepare();
}

QtMessageHandler gPreviousHandler = nullptr;

// The offscreen platform notes on every window that it cannot pass size
// hints on to a window system it does not have: true, and nothing a user
// of --snapshot can act on.
void QuietOffscreenNotes(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("This plugin does not support")))
        return;
    if (gPreviousHandler)
        gPreviousHandler(type, context, message);
}

// Shows the window offscreen as the options ask and writes its picture.
int Snapshot(TKVReport& report, const TPreviewOptions& options, Streams io)
{
    gPreviousHandler = qInstallMessageHandler(QuietOffscreenNotes);
    struct TRestoreHandler {
        ~TRestoreHandler() { qInstallMessageHandler(gPreviousHandler); }
    } restoreHandler;
    TfrmKVPreview window;
    window.setAttribute(Qt::WA_DeleteOnClose, false); // on the stack
    window.resize(options.Size);
    window.SetReport(&report, report.Outlines()->Count() > 0);
    window.show();
    QCoreApplication::processEvents();
    TKVXPreview* preview = window.Preview();
    if (options.Bar > report.GetNumBars() || options.Page > report.GetNumPages()) {
        io.Err << "vorel preview: " << options.Input << ": "
               << (options.Bar > report.GetNumBars()
                       ? QStringLiteral("--bar %1: the report has %2 bar(s)").arg(options.Bar).arg(report.GetNumBars())
                       : QStringLiteral("--page %1: the report has %2 page(s)").arg(options.Page).arg(report.GetNumPages()))
               << "\n";
        return kExitBadInput;
    }
    if (options.Outlines && report.Outlines()->Count() == 0)
        io.Err << "vorel preview: " << options.Input << ": note: the report has no outline entries\n";
    window.actThumbnails->setChecked(options.Thumbnails);
    window.actOutlines->setChecked(options.Outlines);
    window.actMargins->setChecked(options.Margins);
    window.actGrid->setChecked(options.Grid);
    if (options.Zoom == u"page")
        window.ChooseScale(TfrmKVPreview::kScaleFitPage);
    else if (!options.Zoom.isEmpty() && options.Zoom != u"width")
        preview->SetZoom(options.Zoom.toInt());
    else
        window.ChooseScale(TfrmKVPreview::kScaleFitWidth);
    if (options.Bar > 0)
        preview->SetBarNumber(options.Bar);
    if (options.Page > 0)
        preview->SetPageNumber(options.Page);
    if (options.Find && !preview->Search(*options.Find))
        io.Err << "vorel preview: " << options.Input << ": \"" << options.Find->Text << "\" not found\n";
    QCoreApplication::processEvents();
    const QImage picture = window.grab().toImage();
    if (!picture.save(options.Snapshot, "PNG")) {
        io.Err << "vorel preview: " << options.Snapshot << ": cannot write the picture\n";
        return kExitBadInput;
    }
    io.Out << options.Snapshot << ": page " << preview->PageNumber() << " of " << report.GetNumPages() << " at "
           << preview->Zoom() << "%\n";
    return kExitOk;
}

} // namespace

int RunPreview(const QStringList& args, Streams io)
{
    TPreviewOptions options;
    try {
        options = ParseOptions(args);
        if (InputKind(options.Input) == TInputKind::Prepared
            && (!options.Params.isEmpty() || !options.Data.isEmpty() || options.TwoPass))
            throw TUsage{QStringLiteral("%1 is a prepared report: --param, --data and --two-pass apply to report "
                                        "forms only")
                             .arg(options.Input)};
        if (options.Snapshot.isEmpty()) {
            const QString platform = QGuiApplication::platformName();
            if (platform == u"offscreen" || platform == u"minimal")
                throw TUsage{QStringLiteral("no display to open the window on (set DISPLAY or WAYLAND_DISPLAY, "
                                            "or write a picture with --snapshot OUT.png)")};
            if (options.Page || options.Bar || !options.Zoom.isEmpty() || options.SizeGiven || options.Find || options.Thumbnails
                || options.Outlines || options.Margins || options.Grid)
                throw TUsage{QStringLiteral("--page, --bar, --zoom, --size, --find and the view options go with "
                                            "--snapshot")};
        }
    } catch (const TUsage& e) {
        return Usage(io, e.Message);
    }

    TKVReport report;
    try {
        LoadReport(report, options);
        if (!report.Prepared() || report.GetNumPages() == 0)
            throw EKVXError(QStringLiteral("the report has no pages"));
        if (!options.Snapshot.isEmpty())
            return Snapshot(report, options, io);
        // The window's print, save and printer set-up buttons open the
        // widget dialogs.
        TWidgetUserInterfaceScope widgets;
        report.PreviewPreparedReport();
    } catch (const EKVXError& e) {
        QString message = e.Message();
        const TErrorPlace& place = e.Place();
        if (!place.Expression.isEmpty() || !place.Control.isEmpty() || !place.Band.isEmpty())
            if (place.Component.isEmpty() || !message.startsWith(place.Component + u':'))
                message = place.Describe() + QStringLiteral(": ") + message;
        if (!message.startsWith(options.Input))
            message = options.Input + QStringLiteral(": ") + message;
        io.Err << "vorel preview: " << message.simplified() << "\n";
        return kExitBadInput;
    }
    return kExitOk;
}

} // namespace vorel::cli
