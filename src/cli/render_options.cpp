#include "cli/render_options.h"

#include "frame/page_store.h"

#include <QMetaEnum>
#include <QStringList>

namespace vorel::cli {

namespace {

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

// "--data NAME=SOURCE": false and a message naming the argument when malformed.
bool ParseDataBinding(const QString& argument, TDataBinding& binding, QString& error)
{
    binding = TDataBinding();
    const qsizetype eq = argument.indexOf(u'=');
    binding.Name = argument.left(eq).trimmed();
    const QString source = eq >= 0 ? argument.mid(eq + 1).trimmed() : QString();
    if (eq <= 0 || binding.Name.isEmpty() || source.isEmpty()) {
        error = QStringLiteral("--data \"%1\": expected NAME=SOURCE (csv:PATH, sqlite:PATH?sql=SELECT ..., "
                               "postgresql://USER@HOST/DB?sql=SELECT ...)")
                    .arg(argument);
        return false;
    }
    QString problem;
    if (!ParseDataSource(source, binding, problem)) {
        error = QStringLiteral("--data \"%1\": %2").arg(argument, problem);
        return false;
    }
    return true;
}

bool IsFlag(const QString& name)
{
    for (const char* flag : {"--separate", "--two-pass", "--quiet", "-q"})
        if (name == QLatin1String(flag))
            return true;
    return false;
}

// Options that take one value, and their long names for messages.
const char* SingleValueName(const QString& name)
{
    if (name == u"-o" || name == u"--output")
        return "-o/--output";
    for (const char* option : {"--format", "--pages", "--language", "--memory-limit", "--threads"})
        if (name == QLatin1String(option))
            return option;
    return nullptr;
}

} // namespace

TRenderOptions ParseRenderOptions(const QStringList& args)
{
    TRenderOptions options;
    QStringList positional;
    QStringList seen; // single-value options given so far
    bool optionsEnded = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (optionsEnded || arg == u"-" || !arg.startsWith(u'-')) {
            positional << arg;
            continue;
        }
        if (arg == u"--") {
            optionsEnded = true;
            continue;
        }
        QString name = arg;
        std::optional<QString> inlineValue;
        if (arg.startsWith(u"--") && arg.contains(u'=')) {
            name = arg.section(u'=', 0, 0);
            inlineValue = arg.section(u'=', 1);
        }
        if (IsFlag(name)) {
            if (inlineValue)
                throw UsageError{QStringLiteral("%1 takes no value (got \"%2\")").arg(name, arg)};
            if (name == u"--separate")
                options.Separate = true;
            else if (name == u"--two-pass")
                options.TwoPass = true;
            else
                options.Quiet = true;
            continue;
        }
        if (const char* single = SingleValueName(name)) {
            if (seen.contains(QLatin1String(single)))
                throw UsageError{QStringLiteral("%1 is given more than once").arg(QLatin1String(single))};
            seen << QLatin1String(single);
        }
        const auto value = [&]() -> QString {
            QString text;
            if (inlineValue) {
                text = *inlineValue;
            } else {
                // "-o --quiet" forgot the file name; it does not name a file "--quiet".
                if (i + 1 >= args.size() || args[i + 1].startsWith(u"--"))
                    throw UsageError{QStringLiteral("%1 needs a value").arg(name)};
                text = args[++i];
            }
            if (text.trimmed().isEmpty())
                throw UsageError{QStringLiteral("%1 needs a value (got an empty one)").arg(name)};
            return text;
        };
        if (name == u"-o" || name == u"--output") {
            options.Output = value();
        } else if (name == u"--format") {
            options.Format = value();
        } else if (name == u"--pages") {
            options.Pages = value();
        } else if (name == u"--param") {
            const QString text = value();
            const qsizetype eq = text.indexOf(u'=');
            if (eq <= 0)
                throw UsageError{QStringLiteral("--param \"%1\": expected NAME=VALUE").arg(text)};
            const QString paramName = text.left(eq);
            for (const auto& [given, unused] : options.Params)
                if (given == paramName)
                    throw UsageError{QStringLiteral("--param %1 is given more than once").arg(paramName)};
            options.Params.append({paramName, text.mid(eq + 1)});
        } else if (name == u"--option") {
            const QString text = value();
            const qsizetype eq = text.indexOf(u'=');
            if (eq <= 0 || text.left(eq).trimmed().isEmpty())
                throw UsageError{QStringLiteral("--option \"%1\": expected NAME=VALUE").arg(text)};
            const QString optionName = text.left(eq).trimmed();
            // Option names are not case-sensitive, so "compression" repeats "Compression".
            for (const auto& [given, unused] : options.ExportOptions)
                if (given.compare(optionName, Qt::CaseInsensitive) == 0)
                    throw UsageError{QStringLiteral("--option %1 is given more than once").arg(optionName)};
            options.ExportOptions.append({optionName, text.mid(eq + 1)});
        } else if (name == u"--data") {
            TDataBinding binding;
            QString error;
            if (!ParseDataBinding(value(), binding, error))
                throw UsageError{error};
            for (const TDataBinding& given : options.Data)
                if (given.Name.compare(binding.Name, Qt::CaseInsensitive) == 0)
                    throw UsageError{QStringLiteral("--data %1 is given more than once").arg(binding.Name)};
            options.Data.append(binding);
        } else if (name == u"--memory-limit") {
            const QString text = value();
            const qint64 bytes = ParseByteSize(text);
            if (bytes < 0)
                throw UsageError{QStringLiteral("--memory-limit \"%1\": expected a size such as 200M or 1G").arg(text)};
            options.MemoryLimit = bytes;
        } else if (name == u"--threads") {
            const QString text = value();
            bool ok = false;
            const int threads = text.toInt(&ok);
            if (!ok || threads < 1 || threads > 64)
                throw UsageError{QStringLiteral("--threads \"%1\": expected 1..64").arg(text)};
            options.Threads = threads;
        } else if (name == u"--language") {
            const QString text = value();
            options.Language = ParseLanguage(text);
            if (!options.Language)
                throw UsageError{QStringLiteral("--language \"%1\": expected 0..%2 or one of %3")
                                     .arg(text)
                                     .arg(KVX_LANGUAGE_COUNT - 1)
                                     .arg(LanguageNames())};
        } else {
            throw UsageError{QStringLiteral("unknown option \"%1\"").arg(arg)};
        }
    }
    if (positional.size() != 1)
        throw UsageError{positional.isEmpty() ? QStringLiteral("no report form named")
                                              : QStringLiteral("one report form at a time (got %1: %2)")
                                                    .arg(positional.size())
                                                    .arg(positional.join(QStringLiteral(", ")))};
    options.Input = positional.first();
    if (options.Output.isEmpty())
        throw UsageError{QStringLiteral("no output file named (-o OUT)")};
    return options;
}

} // namespace vorel::cli
