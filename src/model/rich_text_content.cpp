// Loading rich text content: which kind bytes hold, plain text and HTML into
// the document, files, and the Windows code pages of RTF and plain text.
#include "model/rtf_reader.h"

#include <QFile>
#include <QStringConverter>
#include <QTextCursor>
#include <QTextDocument>
#include <array>
#include <cerrno>
#include <iconv.h>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace vorel {

// --- code pages --------------------------------------------------------------------

namespace {

constexpr char16_t kReplacement = 0xFFFD;

QByteArray IconvName(int cp)
{
    switch (cp) {
    case 10000: return QByteArrayLiteral("MACINTOSH");
    case 1361: return QByteArrayLiteral("JOHAB");
    case 20866: return QByteArrayLiteral("KOI8-R");
    case 21866: return QByteArrayLiteral("KOI8-U");
    case 65001: return QByteArrayLiteral("UTF-8");
    default:
        if (cp >= 28591 && cp <= 28605)
            return "ISO-8859-" + QByteArray::number(cp - 28590);
        return "CP" + QByteArray::number(cp);
    }
}

using ByteTable = std::array<char16_t, 256>;

// The 256 characters of a single-byte code page, built once through iconv;
// null when iconv does not know the code page.
const ByteTable* SingleByteTable(int cp)
{
    static std::mutex mutex;
    static std::unordered_map<int, std::unique_ptr<ByteTable>> tables;
    const std::lock_guard lock(mutex);
    auto it = tables.find(cp);
    if (it != tables.end())
        return it->second.get();
    std::unique_ptr<ByteTable> table;
    iconv_t cd = iconv_open("UTF-16LE", IconvName(cp).constData());
    if (cd != iconv_t(-1)) {
        table = std::make_unique<ByteTable>();
        for (int b = 0; b < 256; ++b) {
            char in[1] = {char(b)};
            char out[8];
            char* inPtr = in;
            char* outPtr = out;
            size_t inLeft = 1, outLeft = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            const size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
            (*table)[b] = (rc != size_t(-1) && outLeft == sizeof out - 2)
                ? char16_t(uchar(out[0]) | (uchar(out[1]) << 8))
                : kReplacement;
        }
        iconv_close(cd);
    }
    return tables.emplace(cp, std::move(table)).first->second.get();
}

QString DecodeMultiByte(int cp, const char* bytes, qsizetype length)
{
    iconv_t cd = iconv_open("UTF-16LE", IconvName(cp).constData());
    if (cd == iconv_t(-1))
        return DecodeCodePage(1252, bytes, length);
    QString result;
    result.reserve(length);
    std::vector<char> out(size_t(length) * 2 + 8);
    char* in = const_cast<char*>(bytes);
    size_t inLeft = size_t(length);
    while (inLeft > 0) {
        char* outPtr = out.data();
        size_t outLeft = out.size();
        const size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        result.append(reinterpret_cast<const QChar*>(out.data()), qsizetype((out.size() - outLeft) / 2));
        if (rc != size_t(-1))
            break;
        // A byte the code page does not define, or a lead byte cut off at
        // the end: one replacement character, then go on after it.
        result.append(QChar(kReplacement));
        if (errno == EINVAL)
            break;
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return result;
}

} // namespace

bool IsMultiByteCodePage(int cp)
{
    return cp == 932 || cp == 936 || cp == 949 || cp == 950 || cp == 1361 || cp == 65001;
}

int CharsetCodePage(int charset)
{
    switch (charset) {
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 255: return 437;
    default: return 0; // ANSI, default and symbol fonts use the document's code page
    }
}

void SetRichTextDefaultTab(QTextDocument& doc, int twips)
{
    QTextOption option = doc.defaultTextOption();
    option.setTabStopDistance(twips / 15.0); // 1440 twips per inch, 96 report pixels per inch
    doc.setDefaultTextOption(option);
}

QString DecodeCodePage(int codePage, const char* bytes, qsizetype length)
{
    if (length <= 0)
        return {};
    if (IsMultiByteCodePage(codePage))
        return DecodeMultiByte(codePage, bytes, length);
    const ByteTable* table = SingleByteTable(codePage);
    if (!table)
        table = SingleByteTable(1252);
    QString result(length, Qt::Uninitialized);
    QChar* out = result.data();
    for (qsizetype i = 0; i < length; ++i)
        out[i] = QChar(table ? (*table)[uchar(bytes[i])] : char16_t(uchar(bytes[i])));
    return result;
}

// --- entry points -----------------------------------------------------------------

TRichTextDefaults TRichTextDefaults::FromFont(const TFont& font, TAlignment alignment, int codePage)
{
    TRichTextDefaults d;
    d.FontName = font.Name();
    d.PointSize = -font.Height() * 72.0 / kScreenPixelsPerInch;
    if (d.PointSize <= 0)
        d.PointSize = font.Height() > 0 ? font.Height() * 72.0 / kScreenPixelsPerInch : 8;
    d.Style = font.Style();
    d.Alignment = alignment;
    d.CodePage = codePage;
    return d;
}

namespace {

qsizetype SkipLeadingBlanks(const QByteArray& b)
{
    qsizetype i = b.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (i < b.size() && (b[i] == ' ' || b[i] == '\t' || b[i] == '\r' || b[i] == '\n'))
        ++i;
    return i;
}

void SetHtml(QTextDocument& doc, const QString& html, const TRichTextDefaults& defaults)
{
    doc.clear();
    doc.setUndoRedoEnabled(false);
    QFont font(defaults.FontName);
    font.setPointSizeF(defaults.PointSize);
    doc.setDefaultFont(font);
    SetRichTextDefaultTab(doc, 720);
    doc.setHtml(html);
}

} // namespace

TRichTextKind DetectRichTextKind(const QByteArray& bytes)
{
    const qsizetype i = SkipLeadingBlanks(bytes);
    if (QByteArrayView(bytes).sliced(i).startsWith("{\\rtf"))
        return TRichTextKind::Rtf;
    if (i < bytes.size() && bytes[i] == '<')
        return TRichTextKind::Html;
    return TRichTextKind::PlainText;
}

void SetPlainRichText(QTextDocument& doc, const QString& text, const TRichTextDefaults& defaults)
{
    doc.clear();
    doc.setUndoRedoEnabled(false);
    QFont font(defaults.FontName);
    font.setPointSizeF(defaults.PointSize);
    doc.setDefaultFont(font);
    SetRichTextDefaultTab(doc, 720);
    QTextCharFormat cf;
    cf.setFontFamilies(QStringList{defaults.FontName});
    cf.setFontPointSize(defaults.PointSize);
    cf.setFontWeight(defaults.Style.testFlag(fsBold) ? QFont::Bold : QFont::Normal);
    cf.setFontItalic(defaults.Style.testFlag(fsItalic));
    cf.setFontUnderline(defaults.Style.testFlag(fsUnderline));
    cf.setFontStrikeOut(defaults.Style.testFlag(fsStrikeOut));
    QTextBlockFormat bf;
    bf.setAlignment(defaults.Alignment == taRightJustify ? Qt::AlignRight
            : defaults.Alignment == taCenter             ? Qt::AlignHCenter
                                                         : Qt::AlignLeft);
    QTextCursor cursor(&doc);
    cursor.setBlockFormat(bf);
    cursor.setBlockCharFormat(cf);
    qsizetype n = text.size();
    if (text.endsWith(u"\r\n"))
        n -= 2;
    else if (text.endsWith(u'\n') || text.endsWith(u'\r'))
        n -= 1;
    qsizetype start = 0;
    QString line;
    for (qsizetype i = 0; i <= n; ++i) {
        const bool end = i == n;
        const QChar ch = end ? QChar() : text[i];
        if (!end && ch != u'\r' && ch != u'\n')
            continue;
        line = text.mid(start, i - start);
        // Control characters other than tabs are not text a paragraph holds.
        line.removeIf([](QChar c) { return (c.unicode() < 0x20 && c != u'\t') || c.unicode() == 0x2029; });
        if (!line.isEmpty())
            cursor.insertText(line, cf);
        if (end)
            break;
        if (ch == u'\r' && i + 1 < n && text[i + 1] == u'\n')
            ++i;
        cursor.insertBlock(bf, cf);
        start = i + 1;
    }
}

TRichTextKind LoadRichText(QTextDocument& doc, const QByteArray& bytes, const TRichTextDefaults& defaults)
{
    const TRichTextKind kind = DetectRichTextKind(bytes);
    switch (kind) {
    case TRichTextKind::Rtf:
        ReadRtf(doc, bytes, defaults, false);
        break;
    case TRichTextKind::Html: {
        QStringDecoder decoder(QStringConverter::encodingForHtml(bytes).value_or(QStringConverter::Utf8));
        SetHtml(doc, decoder(bytes), defaults);
        break;
    }
    case TRichTextKind::PlainText: {
        QString text;
        if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
            QStringDecoder decoder(bytes.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
            text = decoder(QByteArrayView(bytes).sliced(2));
        } else {
            const QByteArrayView body = QByteArrayView(bytes).sliced(bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0);
            QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
            text = utf8(body);
            if (utf8.hasError())
                text = DecodeCodePage(defaults.CodePage, body.data(), body.size());
        }
        SetPlainRichText(doc, text, defaults);
        break;
    }
    }
    return kind;
}

TRichTextKind LoadRichText(QTextDocument& doc, const QString& text, const TRichTextDefaults& defaults)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\r' || text[i] == u'\n'
               || text[i] == QChar(0xFEFF)))
        ++i;
    if (QStringView(text).mid(i).startsWith(u"{\\rtf")) {
        ReadRtf(doc, text.toUtf8(), defaults, true);
        return TRichTextKind::Rtf;
    }
    if (i < text.size() && text[i] == u'<') {
        SetHtml(doc, text, defaults);
        return TRichTextKind::Html;
    }
    SetPlainRichText(doc, text, defaults);
    return TRichTextKind::PlainText;
}

bool LoadRichTextFile(QTextDocument& doc, const QString& fileName, const TRichTextDefaults& defaults)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxRichTextFileBytes)
        return false;
    const QByteArray bytes = file.read(kMaxRichTextFileBytes + 1);
    if (bytes.size() > kMaxRichTextFileBytes || file.error() != QFileDevice::NoError)
        return false;
    LoadRichText(doc, bytes, defaults);
    return true;
}

} // namespace vorel
