// The generated reference: docs/REFERENCE.md is exactly what `vorel
// reference` prints, nothing in it lacks an explanation, and nothing in it
// depends on the machine. Beside the tool's own walk, every registered class
// and every format tag the formatter reads is checked here directly.

#include "foundation/components/component.h"
#include "foundation/components/meta_doc.h"
#include "foundation/locale/value_format.h"

#include "support/tool_run.h"

#include <QMetaProperty>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace vorel {
namespace {

const char kRegenerate[] = "Regenerate it with: build/bin/vorel reference > docs/REFERENCE.md";

QString Normalised(QString text)
{
    return text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

// Where two texts part, for a failure message that says what changed.
std::string FirstDifference(const QString& a, const char* aName, const QString& b, const char* bName)
{
    const QStringList aLines = a.split(u'\n');
    const QStringList bLines = b.split(u'\n');
    for (qsizetype i = 0; i < std::max(aLines.size(), bLines.size()); ++i)
        if (aLines.value(i) != bLines.value(i))
            return QStringLiteral("line %1:\n  %2: %3\n  %4: %5\n")
                .arg(i + 1)
                .arg(QLatin1String(aName), aLines.value(i, QStringLiteral("(end)")), QLatin1String(bName),
                     bLines.value(i, QStringLiteral("(end)")))
                .toStdString();
    return {};
}

ToolRun ReferenceUnder(const char* locale)
{
    const QByteArray saved = qgetenv("LC_ALL");
    qputenv("LC_ALL", locale);
    ToolRun run = Vorel({QStringLiteral("reference")});
    qputenv("LC_ALL", saved);
    return run;
}

TEST(ReferenceTest, TheCommittedReferenceIsWhatTheBuildGenerates)
{
    const ToolRun run = Vorel({QStringLiteral("reference")});
    // Exit 1 names each class, property, value, function or tag without an explanation.
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_TRUE(run.Err.isEmpty()) << run.Err.toStdString();
    const QString committed = QString::fromUtf8(Read(QStringLiteral(VOREL_SOURCE_DIR "/docs/REFERENCE.md")));
    ASSERT_FALSE(committed.isEmpty()) << "docs/REFERENCE.md is missing. " << kRegenerate;
    EXPECT_TRUE(Normalised(committed) == Normalised(run.Out))
        << "docs/REFERENCE.md is not what the build generates, from "
        << FirstDifference(Normalised(committed), "committed", Normalised(run.Out), "generated") << kRegenerate;
}

TEST(ReferenceTest, TheReferenceIsTheSameInEveryLocale)
{
    // Without a printer the virtual one takes Letter paper in the United
    // States and A4 elsewhere: a default read from the machine would make
    // the committed file right on one machine only.
    const ToolRun us = ReferenceUnder("en_US.UTF-8");
    const ToolRun german = ReferenceUnder("de_DE.UTF-8");
    ASSERT_EQ(us.ExitCode, 0) << us.Err.toStdString();
    ASSERT_EQ(german.ExitCode, 0) << german.Err.toStdString();
    EXPECT_TRUE(us.Out == german.Out) << FirstDifference(us.Out, "en_US", german.Out, "de_DE");
}

TEST(ReferenceTest, EveryRegisteredClassPropertyAndValueIsExplained)
{
    QStringList missing;
    for (const QMetaObject* meta : RegisteredClasses()) {
        const QString name = MetaClassName(meta);
        if (ClassDoc(meta).isEmpty())
            missing.append(name);
        for (int i = QObject::staticMetaObject.propertyCount(); i < meta->propertyCount(); ++i) {
            const QMetaProperty property = meta->property(i);
            if (PropertyDoc(meta, property.name()).isEmpty())
                missing.append(name + u'.' + QLatin1String(property.name()));
            if (!property.isEnumType())
                continue;
            const QMetaEnum values = property.enumerator();
            for (int k = 0; k < values.keyCount(); ++k)
                if (EnumValueDoc(values, values.key(k)).isEmpty())
                    missing.append(QLatin1String(values.name()) + u'.' + QLatin1String(values.key(k)));
        }
    }
    missing.removeDuplicates();
    EXPECT_TRUE(missing.isEmpty()) << "without an explanation: " << missing.join(QLatin1String(", ")).toStdString();
}

TEST(ReferenceTest, EveryTagTheFormatterReadsIsInTheTagTable)
{
    // The descriptor reader finds tags by their literal text; a tag added
    // there without a row in the table would be missing from the reference.
    const QString source =
        QString::fromUtf8(Read(QStringLiteral(VOREL_SOURCE_DIR "/src/foundation/locale/value_format.cpp")));
    ASSERT_FALSE(source.isEmpty());
    QSet<QString> known;
    for (const TFormatTag& tag : FormatTags())
        known.insert(QLatin1String(tag.Tag));
    QStringList unknown;
    int read = 0;
    const QRegularExpression literal(QStringLiteral("u\"(@[^\"]*)\""));
    for (auto match = literal.globalMatch(source); match.hasNext();) {
        for (const QString& word : match.next().captured(1).split(u' ', Qt::SkipEmptyParts)) {
            if (word.size() < 2)
                continue; // "@" alone: the reader's own scan for tags
            ++read;
            if (!known.contains(word))
                unknown.append(word);
        }
    }
    EXPECT_GT(read, 30) << "the reader's tags were not found; has value_format.cpp moved?";
    EXPECT_TRUE(unknown.isEmpty()) << "tags missing from FormatTags(): " << unknown.join(u' ').toStdString();
}

} // namespace
} // namespace vorel
