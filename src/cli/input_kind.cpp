#include "cli/input_kind.h"

#include <QFile>
#include <QFileInfo>

namespace vorel::cli {

namespace {
constexpr qint64 kSniffBytes = 64;
constexpr qsizetype kSignatureOffset = 4; // after the string's 32-bit length
} // namespace

TInputKind SniffInput(const QString& fileName)
{
    // A pipe or a device is not read twice.
    if (!QFileInfo(fileName).isFile())
        return TInputKind::Unknown;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return TInputKind::Unknown;
    QByteArray head = file.read(kSniffBytes);
    if (head.mid(kSignatureOffset, 4) == "KVXP")
        return TInputKind::Prepared;
    if (head.startsWith("TPF0"))
        return TInputKind::Form;
    if (head.startsWith("\xEF\xBB\xBF"))
        head = head.mid(3);
    head = head.trimmed().toLower();
    for (const char* word : {"object", "inherited", "inline"})
        if (head.startsWith(word))
            return TInputKind::Form;
    return TInputKind::Unknown;
}

TInputKind InputKind(const QString& fileName)
{
    const TInputKind sniffed = SniffInput(fileName);
    if (sniffed != TInputKind::Unknown)
        return sniffed;
    return QFileInfo(fileName).suffix().compare(u"zpg", Qt::CaseInsensitive) == 0 ? TInputKind::Prepared
                                                                                  : TInputKind::Form;
}

} // namespace vorel::cli
