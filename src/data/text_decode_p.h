#pragma once
// Decoding the bytes of a text file in a named encoding, with the byte
// offset of the first invalid sequence when the bytes do not fit it.

#include <QByteArray>
#include <QString>

namespace vorel {

struct TDecodeResult {
    QString Text;
    bool Ok = true;
    qint64 ErrorOffset = -1; // bytes from the start of the file
    QString ErrorMessage;    // "not valid UTF-8", "unknown encoding 'x'"
};

// A byte order mark (UTF-8, UTF-16 LE/BE) wins over `encoding` and is dropped.
TDecodeResult DecodeText(const QByteArray& bytes, const QString& encoding);

} // namespace vorel
