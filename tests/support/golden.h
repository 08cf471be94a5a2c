#pragma once
// Golden files: readable expected outputs in tests/data/golden/.
// On a mismatch the actual output is written to <name>.actual.txt beside the
// expected file, so a failure says what changed; with VOREL_UPDATE_GOLDEN=1
// the expected file is rewritten instead (after an intended change).

#include <QDir>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>

namespace vorel::testing {

inline void ExpectGolden(const QString& name, const QString& actual)
{
    const QString dir = QStringLiteral(VOREL_TEST_DATA_DIR "/golden");
    const QString expectedPath = dir + u'/' + name + QStringLiteral(".expected.txt");
    const QString actualPath = dir + u'/' + name + QStringLiteral(".actual.txt");
    if (qgetenv("VOREL_UPDATE_GOLDEN") == "1") {
        QDir().mkpath(dir);
        QFile out(expectedPath);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly)) << expectedPath.toStdString();
        out.write(actual.toUtf8());
        QFile::remove(actualPath);
        return;
    }
    QFile in(expectedPath);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly))
        << "no golden file " << expectedPath.toStdString() << " (run with VOREL_UPDATE_GOLDEN=1 to create it)";
    const QString expected = QString::fromUtf8(in.readAll());
    if (expected == actual) {
        QFile::remove(actualPath);
        return;
    }
    QFile out(actualPath);
    if (out.open(QIODevice::WriteOnly))
        out.write(actual.toUtf8());
    ADD_FAILURE() << "output differs from " << expectedPath.toStdString() << "; the actual output is in "
                  << actualPath.toStdString() << " (diff them; VOREL_UPDATE_GOLDEN=1 accepts it)";
}

} // namespace vorel::testing
