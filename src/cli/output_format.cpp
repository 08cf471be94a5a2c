// Choosing the output format, and `vorel formats`, which lists them.

#include "cli/commands.h"
#include "cli/output_format.h"
#include "cli/render_options.h"

#include "export/export_base.h"
#include "export/export_options.h"
#include "export/export_registry.h"
#include "foundation/components/component.h"
#include "foundation/values/errors.h"
#include "foundation/language/language.h"

#include <QFileInfo>
#include <algorithm>
#include <memory>

namespace vorel::cli {

namespace {

constexpr int kEnglish = 0;

QString KnownExtensions()
{
    return OutputFormatNames().join(u", ");
}

} // namespace

TOutputFormat ChooseOutputFormat(const QString& name, const QString& outputFile)
{
    QString wanted = name.trimmed();
    if (wanted.startsWith(u'.'))
        wanted = wanted.mid(1);
    const bool fromExtension = wanted.isEmpty();
    if (fromExtension)
        wanted = QFileInfo(outputFile).suffix();
    if (const std::optional<TOutputFormat> format = FindOutputFormat(wanted, fromExtension))
        return *format;
    if (fromExtension)
        throw EKVXError(QStringLiteral("cannot tell the format of \"%1\" from its extension; name it with --format "
                                       "(one of %2)")
                            .arg(outputFile, KnownExtensions()));
    throw EKVXError(QStringLiteral("unknown format \"%1\" (one of %2; vorel formats lists them)")
                        .arg(name, KnownExtensions()));
}

TExportOptionList RenderExportOptions(const TOutputFormat& format, const TExportOptionList& given)
{
    if (format.Prepared || !format.ExportClass) {
        if (!given.isEmpty())
            throw UsageError{QStringLiteral("--option %1: a prepared report (zpg) has no options").arg(given.first().first)};
        return {};
    }
    std::unique_ptr<QObject> created(format.ExportClass->newInstance(Q_ARG(QObject*, nullptr)));
    auto* trial = qobject_cast<TKVXExport*>(created.get());
    for (const auto& [name, value] : given) {
        try {
            CheckExportOption(format, trial, name, value);
        } catch (const EKVXError& e) {
            throw UsageError{QStringLiteral("--option %1=%2: %3").arg(name, value, e.Message())};
        }
    }
    return WithDefaultExportOptions(format, given);
}

const char* const kFormatsUsage =
    "  formats [--options FORMAT]\n"
    "                       list the output formats render writes, or the options\n"
    "                       of one (render --option NAME=VALUE)\n";

namespace {

// What an option takes, for the listing.
QString AllowedText(const TKVXExportOption& option)
{
    if (!option.Values.isEmpty())
        return option.Values.join(u", ");
    if (option.Type == u"boolean")
        return QStringLiteral("true, false, yes, no, 1, 0");
    if (option.Type == u"integer")
        return QStringLiteral("a whole number");
    if (option.Type == u"number")
        return QStringLiteral("a number such as 2.5");
    if (option.Type == u"character")
        return QStringLiteral("one character (\\t: tab)");
    return QStringLiteral("any text");
}

int ListOptions(const QString& name, Streams io)
{
    TOutputFormat format;
    try {
        format = ChooseOutputFormat(name, QString());
    } catch (const EKVXError& e) {
        io.Err << "vorel formats: --options: " << e.Message() << "\nUsage:\n" << kFormatsUsage;
        return kExitUsage;
    }
    if (format.Prepared) {
        io.Out << "zpg (prepared report): no options\n";
        return kExitOk;
    }
    const QList<TKVXExportOption> options = OutputFormatOptions(format.ExportClass);
    if (options.isEmpty()) {
        io.Out << format.Name << ": no options\n";
        return kExitOk;
    }
    QList<QStringList> rows{{QStringLiteral("option"), QStringLiteral("type"), QStringLiteral("default"),
                             QStringLiteral("allowed")}};
    for (const TKVXExportOption& option : options)
        rows.append({option.Name, option.Type, option.Default.isEmpty() ? QStringLiteral("\"\"") : option.Default,
                     AllowedText(option)});
    QList<qsizetype> widths(3, 0);
    for (const QStringList& row : rows)
        for (int i = 0; i < 3; ++i)
            widths[i] = std::max(widths[i], row[i].size());
    for (const QStringList& row : rows)
        io.Out << row[0].leftJustified(widths[0]) << "  " << row[1].leftJustified(widths[1]) << "  "
               << row[2].leftJustified(widths[2]) << "  " << row[3] << "\n";
    return kExitOk;
}

} // namespace

int RunFormats(const QStringList& args, Streams io)
{
    QString wanted;
    if (args.size() == 2 && args[0] == u"--options")
        wanted = args[1];
    else if (args.size() == 1 && args[0].startsWith(u"--options="))
        wanted = args[0].section(u'=', 1);
    if (!wanted.trimmed().isEmpty())
        return ListOptions(wanted, io);
    if (!args.isEmpty()) {
        io.Err << "vorel formats: "
               << (args[0].startsWith(u"--options") ? QStringLiteral("--options needs a format")
                                                    : QStringLiteral("unknown argument \"%1\"").arg(args[0]))
               << "\nUsage:\n" << kFormatsUsage;
        return kExitUsage;
    }
    const auto row = [&](const QString& extension, const QString& className, const QString& name) {
        io.Out << extension.leftJustified(6) << ' ' << className.leftJustified(22) << ' ' << name << "\n";
    };
    row(QStringLiteral("zpg"), QStringLiteral("(prepared report)"), GetString(kEnglish, 2164));
    for (const TKVXRegisterExport& entry : KVXExports())
        row(entry.Extension.toLower(), entry.ClassName.section(QStringLiteral("::"), -1), ExportFormatName(entry, kEnglish));
    return kExitOk;
}

} // namespace vorel::cli
