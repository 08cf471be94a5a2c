#include "foundation/language/language.h"

#include <QDebug>
#include <QFile>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

// vorel_core is a static library, so its compiled-in resources are only
// registered by an explicit call; the macro declares the registration
// function at global scope and therefore cannot be used inside a namespace.
static void initLanguageResources()
{
    Q_INIT_RESOURCE(language);
}

namespace vorel {

std::array<QString, KVX_SYSDATA_COUNT> arrSysDataFormat = {
    QStringLiteral("@D @DS "),        // sdDate
    QStringLiteral("@T @TS "),        // sdTime
    QStringLiteral("@D @DS @T @TS "), // sdDateTime
    QStringLiteral("@C "),            // sdAuthor
    QStringLiteral("@C "),            // sdReportTitle
    QStringLiteral("@C "),            // sdSubject
    QStringLiteral("@C "),            // sdKeywords
    QStringLiteral("@N @ND0 @NR1 "),  // sdPageNo
    QStringLiteral("@N @ND0 @NR1 "),  // sdPageCount
    QStringLiteral("@N @ND0 @NR1 "),  // sdBarNo
    QStringLiteral("@N @ND0 @NR1 "),  // sdBarCount
    QStringLiteral("@N @ND0 @NR1 "),  // sdColumnNo
    QStringLiteral("@N @ND0 @NR1 "),  // sdColumnCount
    QStringLiteral("@N @ND0 @NR1 "),  // sdDetailNo
    QStringLiteral("@N @ND0 @NR1 "),  // sdBandLineNo
};

namespace {

constexpr int kTextCount = KVX_LAST_TEXT_ID - KVX_FIRST_TEXT_ID + 1;

// One language's texts, indexed by id - KVX_FIRST_TEXT_ID; an empty string
// stands for a text the block does not have.
struct LanguageBlock {
    std::once_flag loaded;
    std::vector<QString> texts;
    QStringList errors;
};

const char* const kFileCodes[KVX_LANGUAGE_COUNT] = {"en", "ru", "uk", "de", "fr", "es", "sv", "cs", "nl"};

bool isAsciiDigits(QStringView s)
{
    if (s.isEmpty())
        return false;
    for (QChar c : s) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

// Undoes the escapes of a table file: \n, \r, \t, \s (a blank that the
// trimming of the line must keep) and \\. Returns false on anything else.
bool unescape(QStringView raw, QString& out, QString& problem)
{
    out.clear();
    out.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw[i];
        if (c != u'\\') {
            out += c;
            continue;
        }
        if (i + 1 >= raw.size()) {
            problem = QStringLiteral("backslash at the end of the text");
            return false;
        }
        const QChar e = raw[++i];
        switch (e.unicode()) {
        case u'n': out += u'\n'; break;
        case u'r': out += u'\r'; break;
        case u't': out += u'\t'; break;
        case u's': out += u' '; break;
        case u'\\': out += u'\\'; break;
        default:
            problem = QStringLiteral("unknown escape \\%1").arg(e);
            return false;
        }
    }
    return true;
}

void loadBlock(int lang, LanguageBlock& block)
{
    static std::once_flag resourcesRegistered;
    std::call_once(resourcesRegistered, initLanguageResources);

    block.texts.assign(kTextCount, QString());
    const QString name = QStringLiteral(":/vorel/lang/%1.txt").arg(QLatin1StringView(kFileCodes[lang]));
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        block.errors.append(QStringLiteral("%1: cannot open the table: %2").arg(name, file.errorString()));
    } else {
        const QString content = QString::fromUtf8(file.readAll());
        const QMap<int, QString> parsed = ParseLanguageTable(content, name, &block.errors);
        for (auto it = parsed.cbegin(); it != parsed.cend(); ++it)
            block.texts[size_t(it.key() - KVX_FIRST_TEXT_ID)] = it.value();
    }
    for (const QString& e : std::as_const(block.errors))
        qWarning().noquote() << "vorel language table:" << e;
}

LanguageBlock& block(int lang)
{
    static std::array<LanguageBlock, KVX_LANGUAGE_COUNT> blocks;
    LanguageBlock& b = blocks[size_t(lang)];
    std::call_once(b.loaded, [lang, &b] { loadBlock(lang, b); });
    return b;
}

// The text of a valid language and id as the block holds it ("" if absent).
const QString& blockText(int lang, int id)
{
    return block(lang).texts[size_t(id - KVX_FIRST_TEXT_ID)];
}

bool validId(int id)
{
    return id >= KVX_FIRST_TEXT_ID && id <= KVX_LAST_TEXT_ID;
}

std::optional<QLocale>& userLocaleOverride()
{
    static std::optional<QLocale> locale;
    return locale;
}

} // namespace

QString LanguageFileCode(int lang)
{
    if (lang < 0 || lang >= KVX_LANGUAGE_COUNT)
        return {};
    return QString::fromLatin1(kFileCodes[lang]);
}

QMap<int, QString> ParseLanguageTable(QStringView content, const QString& sourceName, QStringList* errors)
{
    QMap<int, QString> result;
    auto report = [&](int lineNo, const QString& what) {
        if (errors)
            errors->append(QStringLiteral("%1:%2: %3").arg(sourceName).arg(lineNo).arg(what));
    };
    if (content.startsWith(QChar(0xFEFF)))
        content = content.mid(1);

    int lineNo = 0;
    QString text;
    QString problem;
    while (!content.isEmpty()) {
        ++lineNo;
        const qsizetype end = content.indexOf(u'\n');
        QStringView line = end < 0 ? content : content.left(end);
        content = end < 0 ? QStringView() : content.mid(end + 1);

        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0) {
            report(lineNo, QStringLiteral("no '=' after the text id"));
            continue;
        }
        const QStringView key = line.left(eq).trimmed();
        if (!isAsciiDigits(key) || key.size() > 5) {
            report(lineNo, QStringLiteral("'%1' is not a text id").arg(key));
            continue;
        }
        const int id = key.toInt();
        if (!validId(id)) {
            report(lineNo, QStringLiteral("text id %1 is outside %2..%3").arg(id).arg(KVX_FIRST_TEXT_ID).arg(KVX_LAST_TEXT_ID));
            continue;
        }
        if (result.contains(id)) {
            report(lineNo, QStringLiteral("text id %1 appears twice").arg(id));
            continue;
        }
        if (!unescape(line.mid(eq + 1).trimmed(), text, problem)) {
            report(lineNo, QStringLiteral("text id %1: %2").arg(id).arg(problem));
            continue;
        }
        // An empty text is the same as a missing one (the lookup falls back).
        if (!text.isEmpty())
            result.insert(id, text);
    }
    return result;
}

QList<int> LanguageTextIds(int lang)
{
    QList<int> ids;
    if (lang < 0 || lang >= KVX_LANGUAGE_COUNT)
        return ids;
    const std::vector<QString>& texts = block(lang).texts;
    for (int i = 0; i < kTextCount; ++i) {
        if (!texts[size_t(i)].isEmpty())
            ids.append(KVX_FIRST_TEXT_ID + i);
    }
    return ids;
}

QStringList LanguageTableErrors(int lang)
{
    if (lang < 0 || lang >= KVX_LANGUAGE_COUNT)
        return {};
    return block(lang).errors;
}

QString GetResourceString(int resourceNumber)
{
    // Block L holds the resource numbers 11001 + 2000 L .. 12197 + 2000 L.
    const int offset = resourceNumber - KVX_RESOURCE_BASE - KVX_FIRST_TEXT_ID;
    if (offset < 0)
        return {};
    const int lang = offset / KVX_LANGUAGE_BLOCK;
    const int id = resourceNumber - KVX_RESOURCE_BASE - KVX_LANGUAGE_BLOCK * lang;
    if (lang >= KVX_LANGUAGE_COUNT || !validId(id))
        return {};
    return blockText(lang, id);
}

QString GetString(int lang, int id)
{
    // Resource arithmetic alone would let an id beyond 2197 (or below 1001)
    // reach into a neighbouring language's block; such ids have no text.
    if (!validId(id) || lang < 0)
        return {};
    if (lang > 0 && lang < KVX_LANGUAGE_COUNT) {
        const QString& own = blockText(lang, id);
        if (!own.isEmpty())
            return own;
    }
    // English: the language itself, the fallback of the others, and the
    // fallback of a language index without a block.
    return blockText(lnEnglish, id);
}

QString GetSysDataName(int lang, TKVXSysDataType type)
{
    return GetString(lang, KVX_SYSDATA_NAME_ID + int(type));
}

// --- TKVXLanguage ---------------------------------------------------------------

TKVXLanguage::TKVXLanguage(QObject* owner) : TPersistent(owner) {}

TKVXLangID TKVXLanguage::GetLangID() const
{
    if (!FAutoDetect)
        return FLanguageID;
    return LangIDFromPrimaryLanguage(UserPrimaryLanguageId());
}

void TKVXLanguage::Assign(const TPersistent* source)
{
    if (const auto* other = qobject_cast<const TKVXLanguage*>(source)) {
        FAutoDetect = other->FAutoDetect;
        FLanguageID = other->FLanguageID;
        return;
    }
    TPersistent::Assign(source);
}

int TKVXLanguage::UserPrimaryLanguageId()
{
    const std::optional<QLocale>& fixed = userLocaleOverride();
    return PrimaryLanguageIdOf(fixed ? fixed->language() : QLocale::system().language());
}

void TKVXLanguage::SetUserLocale(const QLocale& locale)
{
    userLocaleOverride() = locale;
}

void TKVXLanguage::ResetUserLocale()
{
    userLocaleOverride().reset();
}

TKVXLangID LangIDFromPrimaryLanguage(int primaryLanguageId)
{
    // Only these languages are detected; Spanish (10) has a block but is
    // deliberately left to English, like every other language.
    switch (primaryLanguageId) {
    case 0x05: return lnCzech;
    case 0x07: return lnGerman;
    case 0x0c: return lnFrench;
    case 0x13: return lnDutch;
    case 0x19: return lnRussian;
    case 0x1d: return lnSwedish;
    case 0x22: return lnUkrainian;
    default: return lnEnglish;
    }
}

int PrimaryLanguageIdOf(QLocale::Language language)
{
    // Windows primary language ids (the low 10 bits of a LANGID).
    struct Entry {
        QLocale::Language language;
        int primaryId;
    };
    static constexpr Entry kTable[] = {
        {QLocale::C, 0x09},
        {QLocale::Arabic, 0x01},
        {QLocale::Bulgarian, 0x02},
        {QLocale::Catalan, 0x03},
        {QLocale::Chinese, 0x04},
        {QLocale::Czech, 0x05},
        {QLocale::Danish, 0x06},
        {QLocale::German, 0x07},
        {QLocale::SwissGerman, 0x07},
        {QLocale::LowGerman, 0x07},
        {QLocale::Greek, 0x08},
        {QLocale::English, 0x09},
        {QLocale::Spanish, 0x0a},
        {QLocale::Finnish, 0x0b},
        {QLocale::French, 0x0c},
        {QLocale::Hebrew, 0x0d},
        {QLocale::Hungarian, 0x0e},
        {QLocale::Icelandic, 0x0f},
        {QLocale::Italian, 0x10},
        {QLocale::Japanese, 0x11},
        {QLocale::Korean, 0x12},
        {QLocale::Dutch, 0x13},
        {QLocale::NorwegianBokmal, 0x14},
        {QLocale::NorwegianNynorsk, 0x14},
        {QLocale::Polish, 0x15},
        {QLocale::Portuguese, 0x16},
        {QLocale::Romansh, 0x17},
        {QLocale::Romanian, 0x18},
        {QLocale::Russian, 0x19},
        {QLocale::Croatian, 0x1a},
        {QLocale::Serbian, 0x1a},
        {QLocale::Bosnian, 0x1a},
        {QLocale::Slovak, 0x1b},
        {QLocale::Albanian, 0x1c},
        {QLocale::Swedish, 0x1d},
        {QLocale::Thai, 0x1e},
        {QLocale::Turkish, 0x1f},
        {QLocale::Urdu, 0x20},
        {QLocale::Indonesian, 0x21},
        {QLocale::Ukrainian, 0x22},
        {QLocale::Belarusian, 0x23},
        {QLocale::Slovenian, 0x24},
        {QLocale::Estonian, 0x25},
        {QLocale::Latvian, 0x26},
        {QLocale::Lithuanian, 0x27},
        {QLocale::Tajik, 0x28},
        {QLocale::Persian, 0x29},
        {QLocale::Vietnamese, 0x2a},
        {QLocale::Armenian, 0x2b},
        {QLocale::Azerbaijani, 0x2c},
        {QLocale::Basque, 0x2d},
        {QLocale::UpperSorbian, 0x2e},
        {QLocale::LowerSorbian, 0x2e},
        {QLocale::Macedonian, 0x2f},
        {QLocale::Tswana, 0x32},
        {QLocale::Xhosa, 0x34},
        {QLocale::Zulu, 0x35},
        {QLocale::Afrikaans, 0x36},
        {QLocale::Georgian, 0x37},
        {QLocale::Faroese, 0x38},
        {QLocale::Hindi, 0x39},
        {QLocale::Maltese, 0x3a},
        {QLocale::NorthernSami, 0x3b},
        {QLocale::Irish, 0x3c},
        {QLocale::Malay, 0x3e},
        {QLocale::Kazakh, 0x3f},
        {QLocale::Kyrgyz, 0x40},
        {QLocale::Swahili, 0x41},
        {QLocale::Turkmen, 0x42},
        {QLocale::Uzbek, 0x43},
        {QLocale::Tatar, 0x44},
        {QLocale::Bengali, 0x45},
        {QLocale::Punjabi, 0x46},
        {QLocale::Gujarati, 0x47},
        {QLocale::Odia, 0x48},
        {QLocale::Tamil, 0x49},
        {QLocale::Telugu, 0x4a},
        {QLocale::Kannada, 0x4b},
        {QLocale::Malayalam, 0x4c},
        {QLocale::Assamese, 0x4d},
        {QLocale::Marathi, 0x4e},
        {QLocale::Sanskrit, 0x4f},
        {QLocale::Mongolian, 0x50},
        {QLocale::Tibetan, 0x51},
        {QLocale::Welsh, 0x52},
        {QLocale::Khmer, 0x53},
        {QLocale::Lao, 0x54},
        {QLocale::Galician, 0x56},
        {QLocale::Konkani, 0x57},
        {QLocale::Sindhi, 0x59},
        {QLocale::Syriac, 0x5a},
        {QLocale::Sinhala, 0x5b},
        {QLocale::Inuktitut, 0x5d},
        {QLocale::Amharic, 0x5e},
        {QLocale::CentralAtlasTamazight, 0x5f},
        {QLocale::Nepali, 0x61},
        {QLocale::WesternFrisian, 0x62},
        {QLocale::Pashto, 0x63},
        {QLocale::Filipino, 0x64},
        {QLocale::Divehi, 0x65},
        {QLocale::Hausa, 0x68},
        {QLocale::Yoruba, 0x6a},
        {QLocale::Quechua, 0x6b},
        {QLocale::NorthernSotho, 0x6c},
        {QLocale::Bashkir, 0x6d},
        {QLocale::Luxembourgish, 0x6e},
        {QLocale::Kalaallisut, 0x6f},
        {QLocale::Igbo, 0x70},
        {QLocale::Tigrinya, 0x73},
        {QLocale::Hawaiian, 0x75},
        {QLocale::SichuanYi, 0x78},
        {QLocale::Breton, 0x7e},
        {QLocale::Uyghur, 0x80},
        {QLocale::Maori, 0x81},
        {QLocale::Occitan, 0x82},
        {QLocale::Corsican, 0x83},
        {QLocale::Sakha, 0x85},
        {QLocale::Kinyarwanda, 0x87},
        {QLocale::Wolof, 0x88},
        {QLocale::Gaelic, 0x91},
    };
    for (const Entry& e : kTable) {
        if (e.language == language)
            return e.primaryId;
    }
    return 0; // LANG_NEUTRAL
}

} // namespace vorel
