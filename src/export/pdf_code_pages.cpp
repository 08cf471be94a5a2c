#include "export/pdf_code_pages.h"

#include "foundation/code_page.h"

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
    QByteArray all(256, Qt::Uninitialized);
    for (int b = 0; b < 256; ++b)
        all[b] = char(b);
    const QString chars = DecodeCodePage(all, FCodePage);
    for (int b = 0; b < 256 && b < chars.size(); ++b) {
        const char16_t c = chars[b].unicode();
        // Bytes a code page leaves undefined decode to the C1 control of
        // the same number; they hold no character.
        const bool undefined = (b < 0x20 && b != 0) || (b >= 0x7F && b < 0xA0 && c == char16_t(b));
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
    const TPdfCodePage* current = &TPdfCodePage::Get(preferred);
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
