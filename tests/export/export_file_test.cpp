// Output files: written aside and renamed for plain files, written into for
// devices and pipes (renaming over a pipe or device would replace it with a
// plain file, and as root would replace /dev/null itself).

#include "export/export_file.h"
#include "foundation/values/errors.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

namespace vorel {
namespace {

bool IsFifo(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode);
}

TEST(ExportFile, APipeIsWrittenIntoAndStaysAPipe)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString pipe = dir.filePath(QStringLiteral("out.fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    QByteArray received;
    std::thread reader([&] {
        QFile in(pipe);
        if (in.open(QIODevice::ReadOnly))
            received = in.readAll();
    });
    {
        TExportFile out(pipe);
        out.Write("hello ");
        out.WriteUtf8(u"world");
        out.Commit();
    }
    reader.join();
    EXPECT_EQ(received, QByteArray("hello world"));
    EXPECT_TRUE(IsFifo(pipe)) << "the pipe was replaced by a plain file";
}

TEST(ExportFile, APlainFileIsReplacedOnlyWhenComplete)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.txt"));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    {
        TExportFile out(path);
        out.Write("new");
        // No commit: the export failed.
    }
    QFile in(path);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    EXPECT_EQ(in.readAll(), QByteArray("old"));
}

// /dev/full takes nothing: every write fails with ENOSPC, as a full disk.
// Small outputs stay in a buffer until the commit; large ones fail at a
// block write. Both must raise with the system's reason, not report
// success or "Unknown error".
TEST(ExportFile, AFullDeviceFailsWithItsReasonWhateverTheSize)
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "this system has no /dev/full";
    for (const qsizetype size : {qsizetype(10), qsizetype(1) << 20}) {
        SCOPED_TRACE(size);
        try {
            TExportFile out(QStringLiteral("/dev/full"));
            out.Write(QByteArray(size, 'x'));
            out.Commit();
            ADD_FAILURE() << "a write to a full device was reported as done";
        } catch (const EStreamError& e) {
            EXPECT_TRUE(e.Message().contains(QStringLiteral("No space left on device"))) << e.Message().toStdString();
            EXPECT_TRUE(e.Message().contains(QStringLiteral("/dev/full"))) << e.Message().toStdString();
        }
    }
}

} // namespace
} // namespace vorel
