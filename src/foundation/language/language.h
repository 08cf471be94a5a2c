#pragma once
// Language string tables and system data.
//
// Every user-visible text has a text id (1001..2197). The text with id n in
// language L is kept under the resource number n + 10000 + 2000 * L; a text
// missing from a non-English block falls back to English, one missing from
// the English block is the empty string.

#include "foundation/components/component.h"

#include <QLocale>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <array>

namespace vorel {

// Held in a gadget so that report forms can store the value by name
// ("lnRussian"); the names are brought to namespace scope below.
class TKVXLangIDs {
    Q_GADGET
public:
    enum TKVXLangID {
        lnEnglish,
        lnRussian,
        lnUkrainian,
        lnGerman,
        lnFrench,
        lnSpanish,
        lnSwedish,
        lnCzech,
        lnDutch
    };
    Q_ENUM(TKVXLangID)
    Q_CLASSINFO("Doc.lnEnglish", "English.")
    Q_CLASSINFO("Doc.lnRussian", "Russian.")
    Q_CLASSINFO("Doc.lnUkrainian", "Ukrainian.")
    Q_CLASSINFO("Doc.lnGerman", "German.")
    Q_CLASSINFO("Doc.lnFrench", "French.")
    Q_CLASSINFO("Doc.lnSpanish", "Spanish.")
    Q_CLASSINFO("Doc.lnSwedish", "Swedish.")
    Q_CLASSINFO("Doc.lnCzech", "Czech.")
    Q_CLASSINFO("Doc.lnDutch", "Dutch.")
};
using TKVXLangID = TKVXLangIDs::TKVXLangID;
using enum TKVXLangIDs::TKVXLangID;
constexpr int KVX_LANGUAGE_COUNT = 9;
// Text ids of the tables; each language owns 2000 resource numbers.
constexpr int KVX_FIRST_TEXT_ID = 1001;
constexpr int KVX_LAST_TEXT_ID = 2197;
constexpr int KVX_RESOURCE_BASE = 10000;
constexpr int KVX_LANGUAGE_BLOCK = 2000;

// GetString(language index, text id). Ids outside 1001..2197 give "" (they
// would otherwise address another language's block).
QString GetString(int lang, int id);
// The string stored under one resource number, without fallback ("" if none).
QString GetResourceString(int resourceNumber);

// --- the table files ----------------------------------------------------------
// Each language's texts live in one UTF-8 file "<code>.txt" compiled in as a
// Qt resource (docs/LANGUAGES.md describes the format). A file is parsed once,
// on the first lookup in its language.

// Short file code of a language ("en", "ru", ...); "" outside 0..8.
QString LanguageFileCode(int lang);
// Parses the content of a table file into id -> text. Every malformed line
// (no "=", a bad or out-of-range id, a duplicate id, an unknown escape) is
// skipped and reported in errors as "<sourceName>:<line>: <what>".
QMap<int, QString> ParseLanguageTable(QStringView content, const QString& sourceName, QStringList* errors);
// The ids present in one language's block, ascending (empty outside 0..8).
QList<int> LanguageTextIds(int lang);
// Problems found while parsing the built-in table of a language (normally none).
QStringList LanguageTableErrors(int lang);

class TKVXSysDataTypes {
    Q_GADGET
public:
    enum TKVXSysDataType {
        sdDate,
        sdTime,
        sdDateTime,
        sdAuthor,
        sdReportTitle,
        sdSubject,
        sdKeywords,
        sdPageNo,
        sdPageCount,
        sdBarNo,
        sdBarCount,
        sdColumnNo,
        sdColumnCount,
        sdDetailNo,
        sdBandLineNo
    };
    Q_ENUM(TKVXSysDataType)
    Q_CLASSINFO("Doc.sdDate", "Today's date, taken when the value is computed.")
    Q_CLASSINFO("Doc.sdTime", "The time of day, taken when the value is computed.")
    Q_CLASSINFO("Doc.sdDateTime", "Today's date and the time of day.")
    Q_CLASSINFO("Doc.sdAuthor", "The report's KVProperty.Author.")
    Q_CLASSINFO("Doc.sdReportTitle", "The report's KVProperty.Title.")
    Q_CLASSINFO("Doc.sdSubject", "The report's KVProperty.Subject.")
    Q_CLASSINFO("Doc.sdKeywords", "The report's KVProperty.Keywords.")
    Q_CLASSINFO("Doc.sdPageNo", "The number of the page being printed, after PageNoStartAt and PageNoCountBy.")
    Q_CLASSINFO("Doc.sdPageCount", "The number of pages; complete on every page only when the report prepares in two "
                                   "passes (TwoPass).")
    Q_CLASSINFO("Doc.sdBarNo", "The number of the bar being printed, from 1.")
    Q_CLASSINFO("Doc.sdBarCount", "The number of bars.")
    Q_CLASSINFO("Doc.sdColumnNo", "The number of the column being printed, from 1.")
    Q_CLASSINFO("Doc.sdColumnCount", "The number of columns a page has (ColumnNumber).")
    Q_CLASSINFO("Doc.sdDetailNo", "The detail band's line number: how many records it has printed, this one included.")
    Q_CLASSINFO("Doc.sdBandLineNo", "The line number of the band being printed: how many times it has printed, this "
                                    "time included.")
};
using TKVXSysDataType = TKVXSysDataTypes::TKVXSysDataType;
using enum TKVXSysDataTypes::TKVXSysDataType;
constexpr int KVX_SYSDATA_COUNT = 15;

// GetString(lang, 1030 + type): the name shown in the designer. Expressions
// always match the English names.
constexpr int KVX_SYSDATA_NAME_ID = 1030;
QString GetSysDataName(int lang, TKVXSysDataType type);
// Default display format per system data type; exported and writable.
extern std::array<QString, KVX_SYSDATA_COUNT> arrSysDataFormat;

class TKVXLanguage : public TPersistent {
    Q_OBJECT
    Q_CLASSINFO("Doc", "The language of a report's own texts: band names, dialogs, progress display and messages.")
    Q_PROPERTY(bool AutoDetect READ AutoDetect WRITE SetAutoDetect)
    Q_CLASSINFO("Doc.AutoDetect", "Takes the language of the user's locale instead of LanguageID; English for "
                                  "Spanish and every language without texts of its own.")
    Q_PROPERTY(vorel::TKVXLangIDs::TKVXLangID LanguageID READ LanguageID WRITE SetLanguageID)
    Q_CLASSINFO("Doc.LanguageID", "The language while AutoDetect is off.")
public:
    explicit TKVXLanguage(QObject* owner = nullptr);

    bool AutoDetect() const { return FAutoDetect; }
    void SetAutoDetect(bool value) { FAutoDetect = value; }
    TKVXLangID LanguageID() const { return FLanguageID; }
    void SetLanguageID(TKVXLangID value) { FLanguageID = value; }

    // With AutoDetect, the primary language of the user's locale, evaluated
    // on every call; otherwise LanguageID.
    TKVXLangID GetLangID() const;
    void Assign(const TPersistent* source) override;

    // The primary Windows language id of the user's locale (7 German,
    // 12 French, ...). SetUserLocale replaces the system locale for every
    // later call (tests fix the locale with it); ResetUserLocale returns to
    // the system's.
    static int UserPrimaryLanguageId();
    static void SetUserLocale(const QLocale& locale);
    static void ResetUserLocale();

private:
    bool FAutoDetect = false;
    TKVXLangID FLanguageID = lnEnglish;
};

// Maps a primary Windows language id to the language AutoDetect chooses.
TKVXLangID LangIDFromPrimaryLanguage(int primaryLanguageId);
// The primary Windows language id of a Qt language (LANG_NEUTRAL 0 when it
// has none); QLocale::C counts as English.
int PrimaryLanguageIdOf(QLocale::Language language);

} // namespace vorel
