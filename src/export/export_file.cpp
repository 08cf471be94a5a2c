#include "export/export_file.h"

#include "foundation/values/errors.h"
#include "foundation/values/file_write.h"
#include "foundation/values/text_utils.h"

namespace vorel {

namespace {
constexpr qsizetype kBlockBytes = 64 * 1024;
}

TExportFile::TExportFile(const QString& fileName)
    : FFileName(fileName), FInPlace(IsSpecialFile(fileName)), FFile(fileName), FDirect(fileName)
{
    // A target that cannot have a temporary file beside it (a folder
    // without write permission but a writable file) is written directly.
    FFile.setDirectWriteFallback(true);
    // Unbuffered: the blocks are gathered here, and a failure must show at
    // the write that meets it, not vanish in a flush while closing.
    if (!Device().open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw EStreamError(FormatText(QStringLiteral("Cannot create file \"%s\". %s"), {fileName, Device().errorString()}));
    FBuffer.reserve(kBlockBytes);
}

TExportFile::~TExportFile()
{
    if (!FCommitted && !FInPlace)
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
    if (!WriteFully(Device(), FBuffer))
        RaiseWriteError();
    FBuffer.clear();
}

void TExportFile::RaiseWriteError()
{
    const QString reason = Device().errorString();
    if (!FInPlace)
        FFile.cancelWriting();
    throw EStreamError(FormatText(QStringLiteral("Cannot write file \"%s\". %s"), {FFileName, reason}));
}

void TExportFile::Commit()
{
    Flush();
    FCommitted = true; // committed or cancelled: nothing left to discard
    if (const QString reason = FInPlace ? FinishWriting(FDirect) : CommitSaveFile(FFile); !reason.isEmpty())
        throw EStreamError(FormatText(QStringLiteral("Cannot write file \"%s\". %s"), {FFileName, reason}));
}

} // namespace vorel
