#include "data/text_decode_p.h"

#include <QStringDecoder>
#include <cerrno>
#include <iconv.h>
#include <vector>

namespace vorel {

namespace {

// Offset of the first byte that does not start or continue a well-formed
// UTF-8 sequence (overlong forms and surrogates included), or -1.
qint64 FirstInvalidUtf8(const QByteArray& bytes, qint64 start)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qint64 n = bytes.size();
    qint64 i = start;
    while (i < n) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int length = 0;
        unsigned int cp = 0, min = 0;
        if ((c & 0xE0) == 0xC0) {
            length = 2;
            cp = c & 0x1F;
            min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3;
            cp = c & 0x0F;
            min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4;
            cp = c & 0x07;
            min = 0x10000;
        } else {
            return i;
        }
        if (i + length > n)
            return i;
        for (int k = 1; k < length; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return i;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return i;
        i += length;
    }
    return -1;
}

TDecodeResult DecodeWithIconv(const QByteArray& bytes, qint64 start, const QString& encoding)
{
    TDecodeResult result;
    iconv_t cd = iconv_open("UTF-16LE", encoding.toLatin1().constData());
    if (cd == iconv_t(-1)) {
        result.Ok = false;
        result.ErrorMessage = QStringLiteral("unknown encoding '%1'").arg(encoding);
        return result;
    }
    // UTF-16 needs at most two bytes per input byte for single- and
    // multi-byte code pages alike, plus room for a final surrogate pair.
    std::vector<char> out(size_t(bytes.size() - start) * 2 + 8);
    char* in = const_cast<char*>(bytes.constData()) + start;
    size_t inLeft = size_t(bytes.size() - start);
    char* outPtr = out.data();
    size_t outLeft = out.size();
    const size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == size_t(-1)) {
        result.Ok = false;
        result.ErrorOffset = qint64(in - bytes.constData());
        result.ErrorMessage = QStringLiteral("not valid %1 text").arg(encoding);
        return result;
    }
    result.Text = QString(reinterpret_cast<const QChar*>(out.data()), qsizetype((out.size() - outLeft) / 2));
    return result;
}

} // namespace

TDecodeResult DecodeText(const QByteArray& bytes, const QString& encoding)
{
    TDecodeResult result;
    QString name = encoding.trimmed();
    qint64 start = 0;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        name = QStringLiteral("UTF-8");
        start = 3;
    } else if (bytes.startsWith("\xFF\xFE")) {
        name = QStringLiteral("UTF-16LE");
        start = 2;
    } else if (bytes.startsWith("\xFE\xFF")) {
        name = QStringLiteral("UTF-16BE");
        start = 2;
    }
    if (name.isEmpty() || name.compare(u"UTF-8", Qt::CaseInsensitive) == 0
        || name.compare(u"UTF8", Qt::CaseInsensitive) == 0) {
        const qint64 bad = FirstInvalidUtf8(bytes, start);
        if (bad >= 0) {
            result.Ok = false;
            result.ErrorOffset = bad;
            result.ErrorMessage = QStringLiteral("not valid UTF-8 text");
            return result;
        }
        result.Text = QString::fromUtf8(bytes.constData() + start, bytes.size() - start);
        return result;
    }
    // Qt knows the UTF family, Latin-1 and the system's encoding; iconv the
    // Windows and ISO code pages.
    const auto known = QStringConverter::encodingForName(name.toLatin1().constData());
    if (known && *known != QStringConverter::Utf8) {
        QStringDecoder decoder(*known, QStringConverter::Flag::Stateless);
        result.Text = decoder.decode(QByteArrayView(bytes.constData() + start, bytes.size() - start));
        if (decoder.hasError()) {
            result.Ok = false;
            result.ErrorMessage = QStringLiteral("not valid %1 text").arg(name);
        }
        return result;
    }
    return DecodeWithIconv(bytes, start, name);
}

} // namespace vorel
