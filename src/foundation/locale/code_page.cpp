#include "foundation/locale/code_page.h"

#include "foundation/values/errors.h"
#include "foundation/language/language.h"

#include <QHash>
#include <array>
#include <iconv.h>
#include <map>
#include <memory>
#include <mutex>

namespace vorel {

namespace {

int gLibraryCodePage = 0;

// The 256 characters of one code page and the way back.
struct TCodePageTable {
    std::array<char16_t, 256> ToUnicode{};
    QHash<char16_t, std::uint8_t> FromUnicode; // only the bytes above 0x7F
};

// Decodes each byte on its own through iconv; nullptr when iconv does not
// know the code page.
std::unique_ptr<TCodePageTable> BuildTable(int codePage)
{
    const QByteArray name = "CP" + QByteArray::number(codePage);
    iconv_t cd = iconv_open("UTF-16LE", name.constData());
    if (cd == iconv_t(-1))
        return nullptr;
    auto table = std::make_unique<TCodePageTable>();
    for (int b = 0; b < 256; ++b) {
        char in = char(b);
        char out[8];
        char* inPtr = &in;
        char* outPtr = out;
        size_t inLeft = 1, outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr); // reset the shift state
        size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        // Code pages with combining marks (1255, 1258) hold a base letter
        // back, waiting for a mark that may follow: flush it out.
        if (rc != size_t(-1))
            rc = iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
        char16_t unit = char16_t(b);
        if (rc != size_t(-1) && outLeft == sizeof out - 2)
            unit = char16_t(std::uint8_t(out[0]) | (std::uint8_t(out[1]) << 8));
        table->ToUnicode[std::size_t(b)] = unit;
        if (b >= 0x80 && !table->FromUnicode.contains(unit))
            table->FromUnicode.insert(unit, std::uint8_t(b));
    }
    iconv_close(cd);
    // ASCII maps to itself in every Windows code page Vorel uses; a code
    // page where it does not is refused rather than half supported.
    for (int b = 0; b < 0x80; ++b)
        if (table->ToUnicode[std::size_t(b)] != char16_t(b))
            return nullptr;
    return table;
}

const TCodePageTable* Table(int codePage)
{
    static std::mutex lock;
    static std::map<int, std::unique_ptr<TCodePageTable>> tables;
    std::lock_guard guard(lock);
    auto it = tables.find(codePage);
    if (it == tables.end())
        it = tables.emplace(codePage, BuildTable(codePage)).first;
    return it->second.get();
}

const TCodePageTable& TableOrRaise(int codePage)
{
    const TCodePageTable* table = Table(codePage);
    if (!table)
        throw EKVXError(QStringLiteral("Code page %1 is not supported by this system").arg(codePage));
    return *table;
}

} // namespace

int LibraryCodePage()
{
    return gLibraryCodePage;
}

void SetLibraryCodePage(int codePage)
{
    if (codePage != 0)
        TableOrRaise(codePage);
    gLibraryCodePage = codePage;
}

int CodePageForLanguage(int lang)
{
    switch (lang) {
    case lnRussian:
    case lnUkrainian: return 1251;
    case lnCzech: return 1250;
    default: return 1252;
    }
}

int EffectiveCodePage(int lang)
{
    return gLibraryCodePage != 0 ? gLibraryCodePage : CodePageForLanguage(lang);
}

bool IsSupportedCodePage(int codePage)
{
    return Table(codePage) != nullptr;
}

namespace {

void EncodeInto(char* p, QStringView text, const TCodePageTable& table)
{
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80) {
            *p++ = char(u);
            continue;
        }
        const auto it = table.FromUnicode.constFind(u);
        *p++ = it != table.FromUnicode.cend() ? char(*it) : '?';
    }
}

} // namespace

QByteArray EncodeCodePage(QStringView text, int codePage)
{
    const TCodePageTable& table = TableOrRaise(codePage);
    QByteArray out(text.size(), Qt::Uninitialized);
    EncodeInto(out.data(), text, table);
    return out;
}

void AppendCodePage(QByteArray& out, QStringView text, int codePage)
{
    const TCodePageTable& table = TableOrRaise(codePage);
    const qsizetype at = out.size();
    out.resize(at + text.size());
    EncodeInto(out.data() + at, text, table);
}

QString DecodeCodePage(QByteArrayView bytes, int codePage)
{
    const TCodePageTable& table = TableOrRaise(codePage);
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* p = out.data();
    for (char b : bytes)
        *p++ = QChar(table.ToUnicode[std::uint8_t(b)]);
    return out;
}

} // namespace vorel
