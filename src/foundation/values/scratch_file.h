#pragma once
// A scratch file: a temporary file that has no name from the moment it is
// opened (O_TMPFILE, or a unique name removed at once where the file system
// lacks it), so nothing is left behind however the process ends: success,
// an exception, a cancel, a crash or a kill. The page store spills page
// metafiles into one and the streaming writers gather their output in one.
//
// Positions and sizes are in bytes. Appends are gathered in memory and
// written in large blocks; reads see what was appended, buffered or not.
// Every failure raises EStreamError naming the folder and the reason.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>

namespace vorel {

// The folder scratch files go to when their user names none: set by the
// application (empty: the system's, $TMPDIR or /tmp). Thread-safe.
QString ScratchFolder();
void SetScratchFolder(const QString& folder);

class TScratchFile {
public:
    // Opens a nameless file in folder (empty: ScratchFolder()).
    explicit TScratchFile(const QString& folder = {});
    ~TScratchFile();
    TScratchFile(const TScratchFile&) = delete;
    TScratchFile& operator=(const TScratchFile&) = delete;

    // Appends bytes; returns the position they start at.
    qint64 Append(QByteArrayView bytes);
    // Reads size bytes at position into out (resized); raises when the
    // file holds fewer.
    void Read(qint64 position, qint64 size, QByteArray& out);
    // The bytes appended so far.
    qint64 Size() const { return FSize; }
    // Hands every byte from the start to sink, in blocks of at most 1 MB.
    void CopyTo(const std::function<void(QByteArrayView)>& sink);
    // Drops the content (the file stays open, empty).
    void Truncate();
    // The folder the file lives in.
    const QString& Folder() const { return FFolder; }

private:
    void Flush();
    [[noreturn]] void Fail(const QString& what, int error) const;

    QString FFolder;
    int FFd = -1;
    qint64 FSize = 0;    // bytes appended, buffered ones included
    qint64 FWritten = 0; // bytes in the file itself
    QByteArray FBuffer;
};

} // namespace vorel
