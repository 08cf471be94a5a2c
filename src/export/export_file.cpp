#include "export/export_file.h"

#include "foundation/errors.h"

namespace vorel {

namespace {
constexpr qsizetype kBlockBytes = 64 * 1024;
}

TExportFile::TExportFile(const QString& fileName) : FFileName(fileName), FFile(fileName)
{
    // A target that cannot have a temporary file beside it (a device, a
    // folder without write permission but a writable file) is written directly.
    FFile.setDirectWriteFallback(true);
    if (!FFile.open(QIODevice::WriteOnly))
        throw EStreamError(FormatText(QStringLiteral("Cannot create file \"%s\". %s"), {fileName, FFile.errorString()}));
    FBuffer.reserve(kBlockBytes);
}

TExportFile::~TExportFile()
{
    if (!FCommitted)
        FFile.cancelWriting();
}

void TExportFile::Write(QByteArrayView bytes)
{
    FBuffer.append(bytes);
    if (FBuffer.size() >= kBlockBytes)
        Flush();
}

void TExportFile::WriteUtf8(QStringView text)
{
    FBuffer.append(text.toUtf8());
    if (FBuffer.size() >= kBlockBytes)
        Flush();
}

void TExportFile::Flush()
{
    if (FBuffer.isEmpty())
        return;
    if (FFile.write(FBuffer) != FBuffer.size())
        RaiseWriteError();
    FBuffer.clear();
}

void TExportFile::RaiseWriteError()
{
    const QString reason = FFile.errorString();
    FFile.cancelWriting();
    throw EStreamError(FormatText(QStringLiteral("Cannot write file \"%s\". %s"), {FFileName, reason}));
}

void TExportFile::Commit()
{
    Flush();
    if (!FFile.commit()) {
        const QString reason = FFile.errorString();
        throw EStreamError(FormatText(QStringLiteral("Cannot write file \"%s\". %s"), {FFileName, reason}));
    }
    FCommitted = true;
}

} // namespace vorel
