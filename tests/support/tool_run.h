#pragma once
// Runs the vorel tool as a process, the way users and scripts run it, and
// keeps what it said. Shared by the command tests.

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace vorel {

struct ToolRun {
    int ExitCode = -1; // -2: the process crashed
    QString Out;
    QString Err;
};

inline QString VorelBinary()
{
    return QStringLiteral(VOREL_BINARY_DIR "/bin/vorel");
}

// Waits up to `timeoutMs` milliseconds for a started process and keeps what
// it printed; one that does not finish is killed and reported (exit -1).
inline ToolRun Collect(QProcess& process, int timeoutMs)
{
    ToolRun run;
    if (!process.waitForFinished(timeoutMs)) {
        run.Err = QStringLiteral("did not finish: ") + process.errorString();
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.ExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.Out = QString::fromUtf8(process.readAllStandardOutput());
    run.Err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// Waits up to `timeoutMs` milliseconds; a tool that does not finish is killed and reported.
inline ToolRun Vorel(const QStringList& args, const QString& workingDir = QString(), int timeoutMs = 120000)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    if (!workingDir.isEmpty())
        process.setWorkingDirectory(workingDir);
    process.start(VorelBinary(), args);
    return Collect(process, timeoutMs);
}

inline QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace vorel
