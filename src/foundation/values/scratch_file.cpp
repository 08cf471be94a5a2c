#include "foundation/values/scratch_file.h"

#include "foundation/values/errors.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace vorel {

namespace {

// Writes all of data at the offset, through short writes and signals; 0,
// or the reason it stopped (a write of nothing counts as a full disk).
int WriteAll(int fd, const char* data, qint64 size, qint64 at)
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd, data + done, size_t(size - done), off_t(at + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : ENOSPC;
        done += n;
    }
    return 0;
}

constexpr qint64 kBlock = 1 << 20; // appends gathered up to this, copies in steps of it

std::mutex gFolderLock;
QString gFolder;

} // namespace

QString ScratchFolder()
{
    std::lock_guard<std::mutex> lock(gFolderLock);
    return gFolder.isEmpty() ? QDir::tempPath() : gFolder;
}

void SetScratchFolder(const QString& folder)
{
    std::lock_guard<std::mutex> lock(gFolderLock);
    gFolder = folder;
}

TScratchFile::TScratchFile(const QString& folder) : FFolder(folder.isEmpty() ? ScratchFolder() : folder)
{
    const QByteArray path = QFile::encodeName(FFolder);
#ifdef O_TMPFILE
    FFd = ::open(path.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
#endif
    if (FFd < 0) {
        // File systems without nameless files: a unique name, removed as
        // soon as it is open, so the window in which a crash leaves it is
        // that of one system call.
        QByteArray name = path + "/vorel-scratch-XXXXXX";
        FFd = ::mkostemp(name.data(), O_CLOEXEC);
        if (FFd < 0)
            Fail(QStringLiteral("Cannot create a temporary file in \"%1\"").arg(FFolder), errno);
        ::unlink(name.constData());
    }
    FBuffer.reserve(kBlock);
}

TScratchFile::~TScratchFile()
{
    if (FFd >= 0)
        ::close(FFd);
}

void TScratchFile::Fail(const QString& what, int error) const
{
    TErrorPlace place;
    place.File = FFolder;
    throw EStreamError(QStringLiteral("%1. %2").arg(what, QString::fromLocal8Bit(std::strerror(error))), place);
}

qint64 TScratchFile::Append(QByteArrayView bytes)
{
    const qint64 at = FSize;
    if (FBuffer.size() + bytes.size() > kBlock)
        Flush();
    if (bytes.size() >= kBlock) {
        // Large blocks go straight to the file.
        if (const int error = WriteAll(FFd, bytes.data(), bytes.size(), FWritten))
            Fail(QStringLiteral("Cannot write a temporary file in \"%1\"").arg(FFolder), error);
        FWritten += bytes.size();
    } else {
        FBuffer.append(bytes.data(), bytes.size());
    }
    FSize += bytes.size();
    return at;
}

void TScratchFile::Flush()
{
    if (const int error = WriteAll(FFd, FBuffer.constData(), FBuffer.size(), FWritten))
        Fail(QStringLiteral("Cannot write a temporary file in \"%1\"").arg(FFolder), error);
    FWritten += FBuffer.size();
    FBuffer.resize(0);
}

void TScratchFile::Read(qint64 position, qint64 size, QByteArray& out)
{
    if (position < 0 || size < 0 || position + size > FSize)
        Fail(QStringLiteral("A temporary file in \"%1\" holds %2 bytes, %3 asked at %4")
                 .arg(FFolder)
                 .arg(FSize)
                 .arg(size)
                 .arg(position),
             EINVAL);
    out.resize(qsizetype(size));
    qint64 done = 0;
    // The part still in the buffer is copied from there.
    while (done < size && position + done < FWritten) {
        const qint64 want = std::min(size - done, FWritten - (position + done));
        const ssize_t n = ::pread(FFd, out.data() + done, size_t(want), off_t(position + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            Fail(QStringLiteral("Cannot read back a temporary file in \"%1\"").arg(FFolder), n < 0 ? errno : EIO);
        done += n;
    }
    if (done < size)
        std::memcpy(out.data() + done, FBuffer.constData() + (position + done - FWritten), size_t(size - done));
}

void TScratchFile::CopyTo(const std::function<void(QByteArrayView)>& sink)
{
    Flush();
    QByteArray block;
    for (qint64 at = 0; at < FWritten; at += block.size()) {
        Read(at, std::min(kBlock, FWritten - at), block);
        sink(block);
    }
}

void TScratchFile::Truncate()
{
    FBuffer.resize(0);
    FSize = 0;
    FWritten = 0;
    if (::ftruncate(FFd, 0) != 0)
        Fail(QStringLiteral("Cannot empty a temporary file in \"%1\"").arg(FFolder), errno);
}

} // namespace vorel
