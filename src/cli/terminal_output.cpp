#include "cli/terminal_output.h"

#include "foundation/values/text_utils.h"

#include <QString>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace vorel::cli {

namespace {

// 0 when every byte went out, else the error number.
int WriteBytes(int handle, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(handle, data, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        data += n;
        left -= n;
    }
    return 0;
}

void EscapingMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    WriteBytes(STDERR_FILENO, EscapeControlCharacters(qFormatLogMessage(type, context, message)).toUtf8() + '\n');
}

} // namespace

TEscapingOutput::TEscapingOutput(int fileDescriptor) : FHandle(fileDescriptor)
{
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

qint64 TEscapingOutput::writeData(const char* data, qint64 size)
{
    // The text stream above hands over whole encoded texts, so no UTF-8
    // sequence is split between two calls.
    if (FFailure.isEmpty()) {
        if (const int error = WriteBytes(FHandle, EscapeControlCharacters(QString::fromUtf8(data, size), true).toUtf8()))
            FFailure = QString::fromLocal8Bit(std::strerror(error));
    }
    return size;
}

void InstallEscapingMessageHandler()
{
    qInstallMessageHandler(EscapingMessageHandler);
}

} // namespace vorel::cli
