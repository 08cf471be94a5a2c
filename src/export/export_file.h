#pragma once
// The output file of a filter. It is written through a temporary file in
// the same folder and renamed over the target only when complete, so a
// failed export never leaves half a file in place of an existing one.
// Writes are gathered in memory and handed to the file in large blocks.

#include <QByteArray>
#include <QByteArrayView>
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

    QString FFileName;
    QSaveFile FFile;
    QByteArray FBuffer;
    bool FCommitted = false;
};

} // namespace vorel
