#include "foundation/values/file_write.h"

#include "foundation/values/errors.h"
#include "foundation/values/text_utils.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace vorel {

bool WriteFully(QIODevice& device, QByteArrayView bytes)
{
    const char* data = bytes.data();
    qint64 left = bytes.size();
    // A short count is no failure yet: the next call either goes on or
    // fails with the system's reason.
    while (left > 0) {
        const qint64 written = device.write(data, left);
        if (written <= 0)
            return false;
        data += written;
        left -= written;
    }
    return true;
}

QString FinishWriting(QFileDevice& file)
{
    while (file.bytesToWrite() > 0) {
        const qint64 before = file.bytesToWrite();
        const bool flushed = file.flush();
        if (file.bytesToWrite() < before)
            continue; // progress: a later flush tells why it stops, if it does
        if (!flushed)
            return file.errorString();
        break;
    }
    const int handle = file.handle();
    // fdatasync, as QSaveFile itself syncs; a device or pipe answers EINVAL.
    if (handle >= 0 && ::fdatasync(handle) != 0 && errno != EINVAL && errno != ENOTSUP)
        return QString::fromLocal8Bit(std::strerror(errno));
    return {};
}

QString CommitSaveFile(QSaveFile& file)
{
    const QString reason = FinishWriting(file);
    if (!reason.isEmpty()) {
        file.cancelWriting();
        file.commit(); // removes the written file; the target stays
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

bool WriteWholeFile(const QString& fileName, const std::function<bool(QFileDevice& file)>& write)
{
    const bool inPlace = IsSpecialFile(fileName);
    QSaveFile saved(fileName);
    QFile direct(fileName);
    QFileDevice& file = inPlace ? static_cast<QFileDevice&>(direct) : saved;
    saved.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw EStreamError(FormatText(QStringLiteral("Cannot create file \"%s\". %s"), {fileName, file.errorString()}));
    // An error raised by `write` leaves the save file uncommitted, which
    // discards it.
    if (!write(file)) {
        if (!inPlace)
            saved.cancelWriting();
        return false;
    }
    if (const QString reason = inPlace ? FinishWriting(direct) : CommitSaveFile(saved); !reason.isEmpty())
        throw EStreamError(FormatText(QStringLiteral("Cannot write file \"%s\". %s"), {fileName, reason}));
    return true;
}

void SaveBytesToFile(const QString& fileName, QByteArrayView bytes)
{
    WriteWholeFile(fileName, [&](QFileDevice& file) {
        if (!WriteFully(file, bytes))
            throw EStreamError(
                FormatText(QStringLiteral("Cannot write file \"%s\". %s"), {fileName, file.errorString()}));
        return true;
    });
}

} // namespace vorel
