// vorel design [FORM.kvx] [--snapshot OUT.png]: the report designer.

#include "cli/commands.h"
#include "designer/designer.h"
#include "dialogs/widget_install.h"
#include "designer/designer_window.h"
#include "model/report.h"

#include <QApplication>
#include <QGuiApplication>
#include <QFileInfo>
#include <QImage>
#include <memory>

namespace vorel::cli {

const char* const kDesignUsage =
    "  design [FORM.kvx] [--snapshot OUT.png]\n"
    "                       open the report designer on the form (a new report without one);\n"
    "                       --snapshot paints the window into a PNG picture and exits\n";

int RunDesign(const QStringList& args, Streams io)
{
    QString form, snapshot;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--snapshot")) {
            if (i + 1 >= args.size()) {
                io.Err << "vorel design: --snapshot needs a file name\n";
                return kExitUsage;
            }
            snapshot = args[++i];
        } else if (arg.startsWith(u'-')) {
            io.Err << "vorel design: unknown option " << arg << "\n";
            return kExitUsage;
        } else if (form.isEmpty()) {
            form = arg;
        } else {
            io.Err << "vorel design: one form at a time\n";
            return kExitUsage;
        }
    }
    TKVReport report;
    report.setObjectName(QStringLiteral("Report1"));
    if (!form.isEmpty()) {
        if (!QFileInfo::exists(form)) {
            // A new form of that name: the designer saves it there.
            report.SetFileName(form);
        } else {
            try {
                // References the form cannot answer (a data set the
                // application supplies) stay open for the author to fix.
                TReportLoadOptions options;
                options.AllowUnresolvedReferences = true;
                const TReportLoadResult result = report.LoadReport(form, options);
                for (const QString& warning : result.Warnings())
                    io.Err << "vorel design: " << form << ": " << warning << "\n";
            } catch (const std::exception& e) {
                io.Err << "vorel design: " << form << ": " << QString::fromUtf8(e.what()) << "\n";
                return kExitBadInput;
            }
        }
    }
    TKVXDesigner designer;
    designer.SetReport(&report);
    if (!snapshot.isEmpty()) {
        // A fixed layout, so that pictures compare between machines: no
        // stored preferences, the explorer and the inspector open.
        designer.Options().ShowExplorer = true;
        designer.Options().AutoSaveSeconds = 0;
        report.SetReportState(rsDesign);
        std::unique_ptr<TKVXDesignerWindow> window(designer.CreateWindow());
        window->resize(1280, 860);
        if (!window->Snapshot().save(snapshot, "PNG")) {
            io.Err << "vorel design: cannot write " << snapshot << "\n";
            return kExitBadInput;
        }
        io.Out << "Wrote " << snapshot << "\n";
        return kExitOk;
    }
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        // Nobody could see or close the window: it would wait for ever.
        io.Err << "vorel design: no display to open the designer on; use --snapshot OUT.png\n";
        return kExitUsage;
    }
    designer.Options().AutoSaveOptions = true;
    // Print-when, preview (F9) and their dialogs from the widget library.
    TWidgetUserInterfaceScope widgets;
    designer.Execute();
    return kExitOk;
}

} // namespace vorel::cli
