#include "frame/output_staging.h"

#include "foundation/values/errors.h"
#include "foundation/values/file_write.h"
#include "foundation/values/text_utils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace vorel {

namespace {

QString SystemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool CanCreateFilesIn(const QString& folder)
{
    return ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}

constexpr qint64 kCopyBlockBytes = 64 * 1024;

} // namespace

void TOutputStaging::RemoveFolderUnderWriter(const std::string& path)
{
    std::error_code error;
    std::string doomed = path + ".removed";
    std::filesystem::rename(path, doomed, error);
    if (error)
        doomed = path;
    for (int attempt = 0; attempt < 200; ++attempt) {
        std::filesystem::remove_all(doomed, error);
        if (!std::filesystem::exists(doomed, error) && !std::filesystem::exists(path, error))
            return;
        std::filesystem::remove_all(path, error);
        ::usleep(1000);
    }
}

TOutputStaging::TOutputStaging(const QString& output, bool separateFiles, const QString& tag)
{
    if (output.endsWith(u'/'))
        throw EKVXError(QStringLiteral("%1: the output names a folder, not a file").arg(output));
    const QFileInfo given(output);
    QString target = given.absoluteFilePath();
    // A link to the output keeps being a link: the file it points to is written.
    if (!separateFiles && given.isSymLink()) {
        const QString resolved = given.exists() ? given.canonicalFilePath() : given.symLinkTarget();
        if (!resolved.isEmpty())
            target = resolved;
    }
    const QFileInfo targetInfo(target);
    if (targetInfo.isDir())
        throw EKVXError(QStringLiteral("%1: the output is a folder").arg(output));
    FTargetFolder = targetInfo.absolutePath();
    FFileName = targetInfo.fileName();
    const QFileInfo folderInfo(FTargetFolder);
    const QString shownFolder = given.path();
    if (!folderInfo.exists())
        throw EKVXError(QStringLiteral("%1: the folder %2 does not exist").arg(output, shownFolder));
    if (!folderInfo.isDir())
        throw EKVXError(QStringLiteral("%1: %2 is not a folder").arg(output, shownFolder));

    const bool exists = targetInfo.exists();
    const bool special = IsSpecialFile(target); // a device, a pipe, a socket
    bool copy = false;
    if (!separateFiles && special) {
        copy = true;
        FSpecialTarget = true;
    } else if (!CanCreateFilesIn(FTargetFolder)) {
        const int error = errno;
        if (separateFiles || !exists || ::access(QFile::encodeName(target).constData(), W_OK) != 0)
            throw EKVXError(QStringLiteral("%1: cannot create files in the folder %2: %3")
                                .arg(output, shownFolder, SystemError(error)));
        copy = true; // a writable file in a folder that is not
    }
    if (copy)
        FCopyTarget = target;
    const QString pattern = copy ? QDir(QDir::tempPath()).filePath(tag + QStringLiteral("-XXXXXX"))
                                 : QDir(FTargetFolder).filePath(u'.' + tag + QStringLiteral("-XXXXXX"));
    FDir = std::make_unique<QTemporaryDir>(pattern);
    if (!FDir->isValid())
        throw EKVXError(QStringLiteral("%1: cannot create files in the folder %2: %3")
                            .arg(output, copy ? QDir::tempPath() : shownFolder, FDir->errorString()));
    FStagedFile = QDir(FDir->path()).filePath(FFileName);
    if (!copy)
        ReserveNames();
}

QString TOutputStaging::StagingFolder() const
{
    return FDir->path();
}

void TOutputStaging::ReserveNames()
{
    // The files an HTML page refers to get short generated names ("KVX" and
    // a number) chosen to be new in the page's folder, which is the private
    // one here: it gets an empty stand-in for each such name the target
    // folder has, so that the new files take other names.
    const QDir staged(FDir->path());
    const QStringList present =
        QDir(FTargetFolder).entryList({QStringLiteral("KVX*")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : present) {
        QFile standIn(staged.filePath(name));
        if (standIn.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            FReserved << name;
    }
}

TOutputStaging::~TOutputStaging() = default;

void TOutputStaging::Publish(const QStringList& outputs)
{
    const QDir staged(FDir->path());
    const QDir folder(FTargetFolder);
    QStringList others;
    QStringList mains;
    for (const QString& name : staged.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name)) {
        if (outputs.contains(name))
            mains.append(name);
        else if (FReserved.contains(name))
            QFile::remove(staged.filePath(name)); // a stand-in, not written
        else
            others.append(name);
    }

    if (!FCopyTarget.isEmpty()) {
        if (!others.isEmpty())
            throw EKVXError(QStringLiteral("%1: the output needs %2 more file(s) beside it (%3...), which cannot be "
                                           "written in %4; write it to a file in a folder of yours")
                                .arg(FCopyTarget)
                                .arg(others.size())
                                .arg(others.first(), FTargetFolder));
        if (mains.isEmpty())
            return;
        QFile in(staged.filePath(mains.first()));
        QFile out(FCopyTarget);
        if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            throw EKVXError(QStringLiteral("cannot write %1: %2").arg(FCopyTarget, out.errorString()));
        QByteArray block;
        while (!(block = in.read(kCopyBlockBytes)).isEmpty())
            if (!WriteFully(out, block))
                throw EKVXError(QStringLiteral("cannot write %1: %2").arg(FCopyTarget, out.errorString()));
        if (const QString reason = FinishWriting(out); !reason.isEmpty())
            throw EKVXError(QStringLiteral("cannot write %1: %2").arg(FCopyTarget, reason));
        return;
    }

    // Files that go with the output never replace the user's files.
    for (const QString& name : others) {
        const QFileInfo present(folder.filePath(name));
        if (present.exists() || present.isSymLink())
            throw EKVXError(QStringLiteral("%1 is in the way of a file the output needs; nothing written")
                                .arg(folder.filePath(name)));
    }
    for (const QStringList* group : {&others, &mains}) {
        for (const QString& name : *group) {
            const QString from = staged.filePath(name);
            const QString to = folder.filePath(name);
            // An output written again keeps the permissions it was given.
            const QFileInfo old(to);
            if (old.exists() && old.isFile())
                QFile::setPermissions(from, old.permissions());
            if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
                throw EKVXError(QStringLiteral("cannot put %1 in place: %2").arg(to, SystemError(errno)));
        }
    }
}

QString TOutputStaging::Translate(QString message) const
{
    if (!FCopyTarget.isEmpty())
        message.replace(FStagedFile, FCopyTarget);
    return message.replace(FDir->path(), FTargetFolder);
}

} // namespace vorel
