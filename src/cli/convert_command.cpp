// vorel convert IN OUT [--text|--binary]: turns a report form into its
// other form. The conversion works on the component tree alone, so a form
// converts whether or not its classes are known here, and every property
// travels unchanged; binary -> text -> binary gives the same bytes for any
// form Vorel wrote.

#include "cli/commands.h"

#include "export/export_file.h"
#include "foundation/values/errors.h"
#include "model/report_file.h"

#include <QFile>
#include <optional>

namespace vorel::cli {

const char* const kConvertUsage = "  convert IN OUT [--text|--binary]\n"
                                  "                       turn a report form (.kvx) into its readable text form\n"
                                  "                       or back; without an option, into the other form\n";

int RunConvert(const QStringList& args, Streams io)
{
    QStringList files;
    std::optional<TReportFormFormat> wanted;
    for (const QString& arg : args) {
        if (arg == QLatin1String("--text") || arg == QLatin1String("--binary")) {
            const TReportFormFormat format = arg == QLatin1String("--text") ? TReportFormFormat::Text
                                                                            : TReportFormFormat::Binary;
            if (wanted && *wanted != format) {
                io.Err << "vorel convert: --text and --binary exclude each other\n";
                return kExitUsage;
            }
            wanted = format;
        } else if (arg.startsWith(u'-') && arg.size() > 1) {
            io.Err << "vorel convert: unknown option \"" << arg << "\"\n";
            return kExitUsage;
        } else {
            files << arg;
        }
    }
    if (files.size() != 2) {
        io.Err << "vorel convert: expected an input and an output file\nUsage:\n" << kConvertUsage;
        return kExitUsage;
    }
    const QString& inName = files[0];
    const QString& outName = files[1];

    QFile in(inName);
    if (!in.open(QIODevice::ReadOnly)) {
        io.Err << "vorel convert: cannot open \"" << inName << "\": " << in.errorString() << "\n";
        return kExitBadInput;
    }
    const QByteArray bytes = in.readAll();
    in.close();

    FormComponent tree;
    QByteArray converted;
    try {
        ReadReportForm(bytes, tree);
        const TReportFormFormat source = DetectReportFormFormat(bytes);
        const TReportFormFormat target = wanted ? *wanted
                                                : (source == TReportFormFormat::Text ? TReportFormFormat::Binary
                                                                                      : TReportFormFormat::Text);
        converted = WriteReportForm(tree, target);
    } catch (const EKVXError& e) {
        io.Err << "vorel convert: " << inName << ": " << e.Message() << "\n";
        return kExitBadInput;
    }

    // Written aside and renamed (a device or pipe is written into), so a
    // failed write, a full disk too, never leaves half a form.
    try {
        TExportFile out(outName);
        out.Write(converted);
        out.Commit();
    } catch (const EKVXError& e) {
        io.Err << "vorel convert: " << e.Message() << "\n";
        return kExitBadInput;
    }
    return kExitOk;
}

} // namespace vorel::cli
