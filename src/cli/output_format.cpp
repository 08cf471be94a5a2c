// Choosing the output format, and `vorel formats`, which lists them.

#include "cli/commands.h"
#include "cli/output_format.h"

#include "export/export_registry.h"
#include "foundation/component.h"
#include "foundation/errors.h"
#include "foundation/language.h"

#include <QFileInfo>

namespace vorel::cli {

namespace {

constexpr int kEnglish = 0;

bool IsPreparedName(const QString& name)
{
    return name.compare(u"zpg", Qt::CaseInsensitive) == 0 || name.compare(u"prepared", Qt::CaseInsensitive) == 0;
}

const TKVXRegisterExport* FindExport(const QString& name, bool extensionOnly)
{
    for (const TKVXRegisterExport& entry : KVXExports()) {
        if (entry.Extension.compare(name, Qt::CaseInsensitive) == 0)
            return &entry;
        if (extensionOnly)
            continue;
        const QString shortClass = entry.ClassName.section(QStringLiteral("::"), -1);
        if (shortClass.compare(name, Qt::CaseInsensitive) == 0 ||
            ExportFormatName(entry, kEnglish).compare(name, Qt::CaseInsensitive) == 0)
            return &entry;
    }
    return nullptr;
}

QString KnownExtensions()
{
    QStringList names{QStringLiteral("zpg")};
    for (const TKVXRegisterExport& entry : KVXExports())
        names << entry.Extension.toLower();
    return names.join(u", ");
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
    TOutputFormat format;
    if (IsPreparedName(wanted)) {
        format.Prepared = true;
        return format;
    }
    if (const TKVXRegisterExport* entry = FindExport(wanted, fromExtension)) {
        format.ExportClass = GetClass(entry->ClassName);
        if (format.ExportClass)
            return format;
    }
    if (fromExtension)
        throw EKVXError(QStringLiteral("cannot tell the format of \"%1\" from its extension; name it with --format "
                                       "(one of %2)")
                            .arg(outputFile, KnownExtensions()));
    throw EKVXError(QStringLiteral("unknown format \"%1\" (one of %2; vorel formats lists them)")
                        .arg(name, KnownExtensions()));
}

const char* const kFormatsUsage = "  formats              list the output formats render writes\n";

int RunFormats(const QStringList& args, Streams io)
{
    if (!args.isEmpty()) {
        io.Err << "vorel formats: takes no arguments\n";
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
