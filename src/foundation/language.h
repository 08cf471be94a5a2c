#pragma once
// Language string tables and system data.
//
// Every user-visible text has a text id (1001..2197). The text with id n in
// language L is kept under the resource number n + 10000 + 2000 * L; a text
// missing from a non-English block falls back to English, one missing from
// the English block is the empty string.

#include "foundation/component.h"

#include <QString>
#include <array>

namespace vorel {

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
constexpr int KVX_LANGUAGE_COUNT = 9;

// GetString(language index, text id).
QString GetString(int lang, int id);
// The string stored under one resource number, without fallback ("" if none).
QString GetResourceString(int resourceNumber);

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
constexpr int KVX_SYSDATA_COUNT = 15;

QString GetSysDataName(int lang, TKVXSysDataType type);
// Default display format per system data type; exported and writable.
extern std::array<QString, KVX_SYSDATA_COUNT> arrSysDataFormat;

class TKVXLanguage : public TPersistent {
    Q_OBJECT
    Q_PROPERTY(bool AutoDetect READ AutoDetect WRITE SetAutoDetect)
    Q_PROPERTY(TKVXLangID LanguageID READ LanguageID WRITE SetLanguageID)
public:
    Q_ENUM(TKVXLangID)
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
    // 12 French, ...). Tests replace the locale with SetUserLocaleForTesting.
    static int UserPrimaryLanguageId();
    static void SetUserLocale(const QLocale& locale);

private:
    bool FAutoDetect = false;
    TKVXLangID FLanguageID = lnEnglish;
};

// Maps a primary Windows language id to the language AutoDetect chooses.
TKVXLangID LangIDFromPrimaryLanguage(int primaryLanguageId);

} // namespace vorel
