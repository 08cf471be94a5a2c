#include "export/pdf_code_pages.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <mutex>

namespace vorel {

namespace {

// The order in which a character's code page is looked for when its font's
// own code page lacks it: Western first, then the scripts by how often
// reports use them.
constexpr std::array<int, 8> kSearchOrder = {1252, 1251, 1250, 1253, 1254, 1257, 1255, 1256};

// The character of each byte of a code page, 0 where it has none. Each
// byte is decoded on its own and the converter flushed after it: the
// Hebrew and Vietnamese converters hold a letter back until they know
// whether a combining mark follows.
std::array<char16_t, 256> DecodeTable(int codePage)
{
    std::array<char16_t, 256> table{};
    const QByteArray name = "CP" + QByteArray::number(codePage);
    iconv_t cd = iconv_open("UTF-16LE", name.constData());
    if (cd == iconv_t(-1)) {
        for (int b = 0; b < 0x80; ++b)
            table[std::size_t(b)] = char16_t(b);
        return table;
    }
    for (int b = 0; b < 256; ++b) {
        char in = char(b);
        char out[16];
        char* inPtr = &in;
        char* outPtr = out;
        std::size_t inLeft = 1, outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        if (rc != std::size_t(-1))
            iconv(cd, nullptr, nullptr, &outPtr, &outLeft); // what the converter held back
        if (rc != std::size_t(-1) && sizeof out - outLeft == 2)
            table[std::size_t(b)] = char16_t(std::uint8_t(out[0]) | (std::uint8_t(out[1]) << 8));
    }
    iconv_close(cd);
    return table;
}

} // namespace

int CharsetCodePage(TFontCharset charset)
{
    switch (charset) {
    case SYMBOL_CHARSET:
        return 0;
    case EASTEUROPE_CHARSET:
        return 1250;
    case RUSSIAN_CHARSET:
        return 1251;
    case GREEK_CHARSET:
        return 1253;
    case TURKISH_CHARSET:
        return 1254;
    case HEBREW_CHARSET:
        return 1255;
    case ARABIC_CHARSET:
        return 1256;
    case BALTIC_CHARSET:
        return 1257;
    case VIETNAMESE_CHARSET:
        return 1258;
    case THAI_CHARSET:
        return 874;
    case SHIFTJIS_CHARSET:
        return 932;
    case GB2312_CHARSET:
        return 936;
    case HANGEUL_CHARSET:
        return 949;
    case CHINESEBIG5_CHARSET:
        return 950;
    default:
        return 1252;
    }
}

TFontCharset CodePageCharset(int codePage)
{
    switch (codePage) {
    case 874:
        return THAI_CHARSET;
    case 932:
        return SHIFTJIS_CHARSET;
    case 936:
        return GB2312_CHARSET;
    case 950:
        return CHINESEBIG5_CHARSET;
    case 1250:
        return EASTEUROPE_CHARSET;
    case 1251:
        return RUSSIAN_CHARSET;
    case 1253:
        return GREEK_CHARSET;
    case 1254:
        return TURKISH_CHARSET;
    case 1255:
        return HEBREW_CHARSET;
    case 1256:
        return ARABIC_CHARSET;
    case 1257:
        return BALTIC_CHARSET;
    case 1258:
        return VIETNAMESE_CHARSET;
    default:
        return ANSI_CHARSET;
    }
}

bool IsPdfCodePage(int codePage) { return std::find(kSearchOrder.begin(), kSearchOrder.end(), codePage) != kSearchOrder.end(); }

TPdfCodePage::TPdfCodePage(int codePage) : FCodePage(IsPdfCodePage(codePage) ? codePage : 1252)
{
    const std::array<char16_t, 256> chars = DecodeTable(FCodePage);
    for (int b = 0; b < 256; ++b) {
        const char16_t c = chars[std::size_t(b)];
        // Control codes draw nothing and hold no glyph.
        const bool undefined = c < 0x20 || (c >= 0x7F && c < 0xA0);
        FDecode[b] = undefined ? 0 : c;
        if (b >= 0x80 && !undefined)
            FHigh.emplace_back(c, std::uint8_t(b));
    }
    std::sort(FHigh.begin(), FHigh.end());
}

const TPdfCodePage& TPdfCodePage::Get(int codePage)
{
    static std::mutex lock;
    static std::map<int, std::unique_ptr<TPdfCodePage>> pages;
    const int key = IsPdfCodePage(codePage) ? codePage : 1252;
    std::lock_guard guard(lock);
    auto& slot = pages[key];
    if (!slot)
        slot.reset(new TPdfCodePage(key));
    return *slot;
}

int TPdfCodePage::EncodeHigh(char16_t c) const
{
    const auto it = std::lower_bound(FHigh.begin(), FHigh.end(), std::make_pair(c, std::uint8_t(0)));
    return it != FHigh.end() && it->first == c ? it->second : -1;
}

QList<TPdfTextRun> SplitIntoCodePageRuns(QStringView text, int preferredCodePage)
{
    QList<TPdfTextRun> runs;
    if (preferredCodePage == 0) {
        // Symbol fonts: the classic symbol area U+F020..U+F0FF and Latin-1
        // both come down to the low byte.
        TPdfTextRun run;
        run.CodePage = 0;
        run.Bytes.reserve(text.size());
        for (const QChar c : text)
            run.Bytes.append(char(c.unicode() & 0xFF));
        runs.append(run);
        return runs;
    }
    const int preferred = IsPdfCodePage(preferredCodePage) ? preferredCodePage : 1252;
    auto encodesAll = [&text](const TPdfCodePage& page) {
        return std::all_of(text.begin(), text.end(), [&page](QChar c) { return page.CanEncode(c.unicode()); });
    };
    // One run whenever one code page holds the whole text: the preferred
    // one, else the first that does.
    const TPdfCodePage* current = &TPdfCodePage::Get(preferred);
    if (!encodesAll(*current)) {
        for (const int cp : kSearchOrder) {
            if (encodesAll(TPdfCodePage::Get(cp))) {
                current = &TPdfCodePage::Get(cp);
                break;
            }
        }
    }
    TPdfTextRun run;
    run.CodePage = current->CodePage();
    run.Bytes.reserve(text.size());
    auto pageFor = [&](char16_t c) -> const TPdfCodePage* {
        const TPdfCodePage& first = TPdfCodePage::Get(preferred);
        if (first.CanEncode(c))
            return &first;
        for (const int cp : kSearchOrder) {
            const TPdfCodePage& page = TPdfCodePage::Get(cp);
            if (page.CanEncode(c))
                return &page;
        }
        return nullptr;
    };
    for (const QChar qc : text) {
        const char16_t c = qc.unicode();
        int byte = current->Encode(c);
        if (byte < 0) {
            const TPdfCodePage* other = pageFor(c);
            if (other && other != current) {
                if (!run.Bytes.isEmpty())
                    runs.append(run);
                run = TPdfTextRun();
                run.CodePage = other->CodePage();
                current = other;
            }
            byte = other ? current->Encode(c) : '?';
        }
        run.Bytes.append(char(byte));
    }
    if (!run.Bytes.isEmpty() || runs.isEmpty())
        runs.append(run);
    return runs;
}

} // namespace vorel
