#pragma once
// The output file of a filter. It is written through a temporary file in
// the same folder and renamed over the target only when complete, so a
// failed export never leaves half a file in place of an existing one. A
// device or pipe (/dev/null, a FIFO) is written into directly instead.
// Writes are gathered in memory and handed to the file in large blocks.

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QSaveFile>
#include <QString>
#include <QStringView>

namespace vorel {

class TExportFile {
public:
    // Raises EStreamError "Cannot create file "<name>". <reason>".
    explicit TExportFile(const QString& fileName);
    // Discards everything unless Commit succeeded.
    ~TExportFile();
    TExportFile(const TExportFile&) = delete;
    TExportFile& operator=(const TExportFile&) = delete;

    void Write(QByteArrayView bytes);
    void WriteUtf8(QStringView text);
    // Raises EStreamError "Cannot write file "<name>". <reason>".
    void Commit();
    const QString& FileName() const { return FFileName; }

private:
    void Flush();
    [[noreturn]] void RaiseWriteError();

    QFileDevice& Device() { return FInPlace ? static_cast<QFileDevice&>(FDirect) : FFile; }

    QString FFileName;
    bool FInPlace = false; // a device or pipe: written into directly
    QSaveFile FFile;
    QFile FDirect;
    QByteArray FBuffer;
    bool FCommitted = false;
};

} // namespace vorel
