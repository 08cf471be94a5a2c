#pragma once
// Writing files so that no failure goes unreported. Measured with Qt 6.4 on
// a full file system: QSaveFile::commit() drops the failure of the flush it
// makes while closing, so a cut-short file is renamed over the old one and
// reported as written; and a write that stored only part of its bytes (the
// disk filled up in the middle) returns the part and leaves the reason as
// "Unknown error". Every writer of the library writes through these: files
// are opened with QIODevice::Unbuffered (nothing is held back for a close
// that cannot report), short writes are continued until the system says why
// it stops ("No space left on device"), and the data is synced before a
// file is committed, so that a late failure (quotas, network file systems)
// keeps the old file too.

#include <QByteArrayView>
#include <QFileDevice>
#include <QSaveFile>
#include <QString>
#include <functional>

namespace vorel {

// Writes all of `bytes`. False when the device stops taking them; the reason
// is then the device's errorString(). Meant for unbuffered devices (and
// memory buffers): a buffered QFileDevice may report a failure of an earlier
// write here, without its reason.
bool WriteFully(QIODevice& device, QByteArrayView bytes);

// Everything written reaches the file: Qt's buffer (if any) is flushed and
// the data synced to its device (not for devices and pipes, which have
// nothing to sync). The reason of a failure, or "" when all is there.
QString FinishWriting(QFileDevice& file);

// FinishWriting, then the file replaces its target. The reason of a failure
// (the target is then as it was and the written file is gone), or "".
QString CommitSaveFile(QSaveFile& file);

// Writes a file by the same rules through `write`, which gets the opened
// device: aside and renamed over the target (a device or pipe is written
// into). False from `write` abandons the file (the target stays as it was)
// and returns false; an error it raises does the same. Raises EStreamError
// "Cannot create file "<name>". <reason>" or "Cannot write file "<name>".
// <reason>" when the file cannot be opened or committed.
bool WriteWholeFile(const QString& fileName, const std::function<bool(QFileDevice& file)>& write);

// Writes a whole file at once by the same rules: aside and renamed over the
// target (a device or pipe is written into). Raises EStreamError "Cannot
// create file "<name>". <reason>" or "Cannot write file "<name>". <reason>";
// the target is then as it was.
void SaveBytesToFile(const QString& fileName, QByteArrayView bytes);

} // namespace vorel
