// Language tables: the id scheme and English fallback, the table files and
// their translations, language detection and the system data names.
#include "foundation/language/language.h"

#include <QMetaEnum>
#include <QMetaProperty>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <ostream>

// Readable failure output; static, so that other test files may have their own.
static void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

using namespace vorel;

namespace {

// Every id whose English text other modules quote, with their dialogs,
// messages and tables built on it. Each must be present in English.
const int kQuotedIds[] = {
    1013, 1014, 1015, 1016, 1017, 1018, 1019, 1020, 1021,                         // control names
    1030, 1031, 1032, 1033, 1034, 1035, 1036, 1037, 1038, 1039, 1040, 1041, 1042, // system data
    1043, 1044,
    1049, 1050, 1051, 1052, 1053, 1054, 1055, 1056, 1057, 1058, 1059, 1060,       // bands
    1103, 1104, 1161, 1202,
    1500, 1501, 1502, 1503, 1504, 1505, 1506, 1507, 1508, 1509, 1510,             // print-when
    1790, 1805, 1807, 1808, 1809, 1828, 1830, 1831,                               // preview
    1840, 1841, 1842, 1843, 1844, 1845, 1846, 1847, 1848, 1849,                   // find
    1911, 1912, 1913, 1914, 1915, 1916, 1917, 1918, 1919,                         // palette hints
    1950, 1951, 1952, 1953, 1954, 1955, 1956, 1957, 1958, 1959, 1960, 1961, 1962, // paper sizes
    1963, 1964, 1965, 1966, 1967, 1968, 1969, 1970, 1971, 1972, 1973, 1974, 1975,
    1976, 1977, 1978, 1979, 1980,
    2051, 2052, 2053, 2054, 2055, 2056, 2066, 2067, 2074, 2075, 2076, 2077,       // progress, errors
    2150, 2151, 2152, 2153, 2154, 2155, 2156, 2157, 2158, 2159, 2160, 2161, 2162, // print dialog
    2163, 2164,
    2170, 2171, 2172, 2173, 2174, 2175, 2176, 2177, 2178, 2179, 2180, 2181, 2182, // export filters
    2183, 2184, 2185, 2186, 2187, 2188, 2189, 2190, 2191, 2192, 2193, 2194, 2195,
    2196, 2197,
};

// The %s / %d / %% sequence of a format text: Format fills its arguments in
// order, so a translation must keep both the kinds and their order.
QStringList placeholders(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("%[-.0-9]*[a-zA-Z%]"));
    QStringList out;
    for (auto it = re.globalMatch(text); it.hasNext();)
        out.append(it.next().captured());
    return out;
}

// Number of accelerator marks ("&" before a character, "&&" being a literal).
int accelerators(const QString& text)
{
    int n = 0;
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != u'&')
            continue;
        if (text[i + 1] == u'&') {
            ++i;
            continue;
        }
        if (!text[i + 1].isSpace())
            ++n;
    }
    return n;
}

class LanguageDetection : public ::testing::Test {
protected:
    void TearDown() override { TKVXLanguage::ResetUserLocale(); }
};

} // namespace

TEST(LanguageTables, BuiltInTablesParseWithoutProblems)
{
    for (int lang = 0; lang < KVX_LANGUAGE_COUNT; ++lang)
        EXPECT_EQ(LanguageTableErrors(lang), QStringList()) << LanguageFileCode(lang).toStdString();
}

TEST(LanguageTables, EveryQuotedIdHasAnEnglishText)
{
    for (int id : kQuotedIds)
        EXPECT_FALSE(GetString(lnEnglish, id).isEmpty()) << id;
}

TEST(LanguageTables, QuotedEnglishTextsAreExact)
{
    const struct {
        int id;
        const char16_t* text;
    } cases[] = {
        {1790, u"Report parameters"},
        {1103, u"&OK"},
        {1104, u"&Cancel"},
        {1013, u"NewKVXControl"},
        {1049, u"Band"},
        {1060, u"SubDetail"},
        {1161, u"Expression:"},
        {1501, u" Print repeated values "}, // blanks at both ends are part of the text
        {1805, u"Scale: "},
        {1830, u"of "},
        {1842, u" Options "},
        {1841, u"&Text to find:"},
        {1845, u"Exactly coincidence"},
        {1913, u"Add system data/variable"},
        {1961, u"A4 210 x 297 mm"},
        {1973, u"Envelope #10 4 1/8 x 9 1/2"},
        {1980, u"Custom Size"},
        {2051, u"Preparing page %d on the bar %d..."},
        {2052, u"Printing page %d on the bar %d (copy #%d)..."},
        {2055, u"Input a file name for save of then page"},
        {2056, u"All files (*.*)|*.*"},
        {2066, u"First pass: "},
        {2075, u"Exporting %d page on the %dst bar..."},
        {2076, u"Property %s wasn't specified."},
        {2077, u"Dataset is not active."},
        {2161, u"Enter page numbers and/or page ranges separated by commas. %sFor example, 1,3,5-12."},
        {2164, u"Vorel generated"},
        {2185, u"Lotus 1-2-3 spreadsheet (*.wk1)"},
        {2194, u"TIFF (fax picture) filter"},
        // Texts quoted without an id; other modules use them under these ids.
        {1230, u"Bring To Front"},
        {1259, u"Align bottoms"},
        {1285, u"Vorel file (*.kvx)|*.kvx"},
        {1289, u"X:%d,Y:%d     %s"},
        {2029, u"KVXWizard is not complete. If you quit the KVXWizard now, the new report will not be created. Abort wizard?"},
        {2078, u"No printer installed"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GetString(lnEnglish, c.id), QString::fromUtf16(c.text)) << c.id;
}

TEST(LanguageTables, ResourceNumbersFollowTheBlockScheme)
{
    // English 1790 is resource 11790; German (3) 1790 is 17790.
    EXPECT_EQ(GetResourceString(11790), QStringLiteral("Report parameters"));
    EXPECT_EQ(GetResourceString(1790 + 10000 + 2000 * lnGerman), GetString(lnGerman, 1790));
    EXPECT_NE(GetString(lnGerman, 1790), GetString(lnEnglish, 1790));
    // Between two blocks and beyond the last one there is nothing.
    for (int n : {0, 11000, 12198, 13000, 27000, 28198, 29001, -5})
        EXPECT_EQ(GetResourceString(n), QString()) << n;
    // Every language's first and last resource maps back to its id.
    for (int lang = 0; lang < KVX_LANGUAGE_COUNT; ++lang) {
        for (int id : {KVX_FIRST_TEXT_ID, 1104, KVX_LAST_TEXT_ID}) {
            const QString own = GetResourceString(id + 10000 + 2000 * lang);
            if (!own.isEmpty()) {
                EXPECT_EQ(GetString(lang, id), own) << lang << ' ' << id;
            }
        }
    }
}

TEST(LanguageTables, MissingTranslationFallsBackToEnglish)
{
    const QList<int> english = LanguageTextIds(lnEnglish);
    for (int lang = 1; lang < KVX_LANGUAGE_COUNT; ++lang) {
        const QList<int> own = LanguageTextIds(lang);
        int missing = 0;
        for (int id : english) {
            const QString stored = GetResourceString(id + 10000 + 2000 * lang);
            if (own.contains(id)) {
                EXPECT_EQ(GetString(lang, id), stored);
            } else {
                EXPECT_TRUE(stored.isEmpty());
                EXPECT_EQ(GetString(lang, id), GetString(lnEnglish, id)) << lang << ' ' << id;
                ++missing;
            }
        }
        if (lang == lnSpanish) {
            EXPECT_GT(missing, 0);
        }
    }
    // A concrete case: the Spanish block has no export filter names.
    EXPECT_EQ(GetString(lnSpanish, 2185), QStringLiteral("Lotus 1-2-3 spreadsheet (*.wk1)"));
    // A language index without a block of its own reads English too.
    EXPECT_EQ(GetString(42, 1104), QStringLiteral("&Cancel"));
}

TEST(LanguageTables, IdMissingInEnglishIsEmptyInEveryLanguage)
{
    const QList<int> english = LanguageTextIds(lnEnglish);
    ASSERT_FALSE(english.contains(1022));
    ASSERT_FALSE(english.contains(1100));
    for (int lang = 0; lang < KVX_LANGUAGE_COUNT; ++lang) {
        for (int id : {1022, 1100, 1000, 2198, 0, -1})
            EXPECT_EQ(GetString(lang, id), QString()) << lang << ' ' << id;
    }
    // 3001 in English would be resource 13001, the Russian 1001: no aliasing.
    ASSERT_FALSE(GetResourceString(13001).isEmpty());
    EXPECT_EQ(GetString(lnEnglish, 3001), QString());
    EXPECT_EQ(GetString(-1, 1104), QString());
}

TEST(LanguageTables, SpanishBlockHoldsExactly94Texts)
{
    EXPECT_EQ(LanguageTextIds(lnSpanish).size(), 94);
}

TEST(LanguageTables, TranslationsCoverTheEnglishIdsOnly)
{
    const QList<int> english = LanguageTextIds(lnEnglish);
    EXPECT_GT(english.size(), 300);
    for (int lang = 1; lang < KVX_LANGUAGE_COUNT; ++lang) {
        const QList<int> own = LanguageTextIds(lang);
        for (int id : own)
            EXPECT_TRUE(english.contains(id)) << LanguageFileCode(lang).toStdString() << " has " << id;
        // Every full translation covers the quoted texts except file-format
        // names that stay English.
        if (lang != lnSpanish) {
            EXPECT_GE(own.size() * 10, english.size() * 8) << LanguageFileCode(lang).toStdString();
        }
    }
}

TEST(LanguageTables, TranslationsKeepPlaceholdersAcceleratorsAndEdgeBlanks)
{
    for (int lang = 1; lang < KVX_LANGUAGE_COUNT; ++lang) {
        const std::string code = LanguageFileCode(lang).toStdString();
        for (int id : LanguageTextIds(lang)) {
            const QString en = GetString(lnEnglish, id);
            const QString tr = GetString(lang, id);
            EXPECT_EQ(placeholders(tr), placeholders(en)) << code << ' ' << id << ": " << tr.toStdString();
            EXPECT_EQ(accelerators(tr), accelerators(en)) << code << ' ' << id << ": " << tr.toStdString();
            // Captions are joined with numbers and group titles carry their
            // blanks; a lost blank shows as "of12" or a frame touching its text.
            EXPECT_EQ(tr.startsWith(u' '), en.startsWith(u' ')) << code << ' ' << id;
            EXPECT_EQ(tr.endsWith(u' '), en.endsWith(u' ')) << code << ' ' << id;
            // File-dialog filters keep their "|pattern" pairs.
            EXPECT_EQ(tr.count(u'|'), en.count(u'|')) << code << ' ' << id;
        }
    }
}

TEST(LanguageTables, ParserReadsEscapesCommentsAndBlanks)
{
    const QString content = QStringLiteral(
        "\xFEFF# comment\r\n"
        "\n"
        "   # indented comment\n"
        "1001=plain\r\n"
        " 1002 =  trimmed at both ends  \t\n"
        "1003=\\sKept blanks\\s\n"
        "1004=two\\nlines\\tand a tab \\\\ backslash\n"
        "1005=a = sign inside\n"
        "1006=\n"
        "1007=50% #not a comment");
    QStringList errors;
    const QMap<int, QString> table = ParseLanguageTable(content, QStringLiteral("t.txt"), &errors);
    EXPECT_EQ(errors, QStringList());
    EXPECT_EQ(table.value(1001), QStringLiteral("plain"));
    EXPECT_EQ(table.value(1002), QStringLiteral("trimmed at both ends"));
    EXPECT_EQ(table.value(1003), QStringLiteral(" Kept blanks "));
    EXPECT_EQ(table.value(1004), QStringLiteral("two\nlines\tand a tab \\ backslash"));
    EXPECT_EQ(table.value(1005), QStringLiteral("a = sign inside"));
    EXPECT_FALSE(table.contains(1006)); // empty is the same as missing
    EXPECT_EQ(table.value(1007), QStringLiteral("50% #not a comment"));
    EXPECT_EQ(table.size(), 6);
}

TEST(LanguageTables, ParserReportsBadLinesWithFileAndLine)
{
    const QString content = QStringLiteral(
        "1001=first\n"
        "no equals sign\n"
        "1001=again\n"
        "999=too small\n"
        "2198=too large\n"
        "x12=not a number\n"
        "1002=bad \\q escape\n"
        "1003=ends in \\\n"
        "1004=good");
    QStringList errors;
    const QMap<int, QString> table = ParseLanguageTable(content, QStringLiteral("xx.txt"), &errors);
    EXPECT_EQ(table.keys(), (QList<int>{1001, 1004}));
    EXPECT_EQ(table.value(1001), QStringLiteral("first"));
    ASSERT_EQ(errors.size(), 7);
    EXPECT_TRUE(errors[0].startsWith(QStringLiteral("xx.txt:2: ")));
    EXPECT_TRUE(errors[1].startsWith(QStringLiteral("xx.txt:3: ")));
    EXPECT_TRUE(errors[1].contains(QStringLiteral("twice")));
    EXPECT_TRUE(errors[4].contains(QStringLiteral("'x12'")));
    EXPECT_TRUE(errors[5].contains(QStringLiteral("\\q")));
    EXPECT_TRUE(errors[6].startsWith(QStringLiteral("xx.txt:8: ")));
}

TEST(LanguageTables, SystemDataNamesAndFormats)
{
    const char* const names[KVX_SYSDATA_COUNT] = {"Date",      "Time",    "DateTime",  "Author",   "ReportTitle",
                                                  "Subject",   "Keywords", "PageNo",   "PageCount", "BarNo",
                                                  "BarCount",  "ColumnNo", "ColumnCount", "DetailNo", "BandLineNo"};
    const char* const formats[KVX_SYSDATA_COUNT] = {
        "@D @DS ",       "@T @TS ",       "@D @DS @T @TS ", "@C ",           "@C ",
        "@C ",           "@C ",           "@N @ND0 @NR1 ",  "@N @ND0 @NR1 ", "@N @ND0 @NR1 ",
        "@N @ND0 @NR1 ", "@N @ND0 @NR1 ", "@N @ND0 @NR1 ",  "@N @ND0 @NR1 ", "@N @ND0 @NR1 "};
    for (int t = 0; t < KVX_SYSDATA_COUNT; ++t) {
        const auto type = TKVXSysDataType(t);
        EXPECT_EQ(GetSysDataName(lnEnglish, type), QLatin1StringView(names[t])) << t;
        EXPECT_EQ(arrSysDataFormat[size_t(t)], QLatin1StringView(formats[t])) << t;
        // The designer shows the names in the chosen language.
        EXPECT_EQ(GetSysDataName(lnGerman, type), GetString(lnGerman, 1030 + t));
    }
    EXPECT_EQ(GetSysDataName(lnGerman, sdDate), QStringLiteral("Datum"));
    // The enumeration is known by name to the meta-object system (forms store it so).
    const QMetaEnum e = QMetaEnum::fromType<TKVXSysDataType>();
    EXPECT_EQ(e.keyToValue("sdBandLineNo"), 14);
}

TEST(LanguageTables, PrimaryLanguageMapping)
{
    const struct {
        int primary;
        TKVXLangID expected;
    } cases[] = {
        {5, lnCzech},     {7, lnGerman},   {12, lnFrench},  {19, lnDutch},   {25, lnRussian},
        {29, lnSwedish},  {34, lnUkrainian}, {10, lnEnglish}, // Spanish has a block but is not detected
        {9, lnEnglish},   {0, lnEnglish},  {0x1a, lnEnglish}, {0x409, lnEnglish},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LangIDFromPrimaryLanguage(c.primary), c.expected) << c.primary;

    const struct {
        QLocale::Language language;
        int primary;
    } qt[] = {
        {QLocale::C, 9},         {QLocale::English, 9},   {QLocale::Spanish, 10},   {QLocale::German, 7},
        {QLocale::SwissGerman, 7}, {QLocale::Czech, 5},    {QLocale::French, 12},    {QLocale::Dutch, 19},
        {QLocale::Russian, 25},  {QLocale::Swedish, 29},  {QLocale::Ukrainian, 34}, {QLocale::Italian, 16},
        {QLocale::Polish, 21},   {QLocale::Japanese, 17}, {QLocale::Chinese, 4},    {QLocale::NorwegianBokmal, 20},
        {QLocale::Serbian, 26},  {QLocale::Croatian, 26}, {QLocale::Esperanto, 0},
    };
    for (const auto& c : qt)
        EXPECT_EQ(PrimaryLanguageIdOf(c.language), c.primary) << QLocale::languageToString(c.language).toStdString();
}

TEST_F(LanguageDetection, SpanishLocaleYieldsEnglishWhileSpanishCanBeChosen)
{
    TKVXLanguage language;
    language.SetLanguageID(lnSpanish);
    language.SetAutoDetect(true);
    TKVXLanguage::SetUserLocale(QLocale(QLocale::Spanish, QLocale::Spain));
    EXPECT_EQ(TKVXLanguage::UserPrimaryLanguageId(), 10);
    EXPECT_EQ(language.GetLangID(), lnEnglish);
    EXPECT_EQ(GetString(language.GetLangID(), 1104), QStringLiteral("&Cancel"));

    language.SetAutoDetect(false);
    EXPECT_EQ(language.GetLangID(), lnSpanish);
    const QString spanishCancel = GetString(language.GetLangID(), 1104);
    EXPECT_FALSE(spanishCancel.isEmpty());
    EXPECT_NE(spanishCancel, QStringLiteral("&Cancel"));
    EXPECT_EQ(spanishCancel, GetResourceString(1104 + 10000 + 2000 * lnSpanish));
}

TEST_F(LanguageDetection, LocaleIsReadOnEveryCall)
{
    TKVXLanguage language;
    language.SetAutoDetect(true);
    const struct {
        QLocale locale;
        TKVXLangID expected;
    } cases[] = {
        {QLocale(QLocale::German, QLocale::Germany), lnGerman},
        {QLocale(QLocale::German, QLocale::Switzerland), lnGerman},
        {QLocale(QLocale::French, QLocale::Canada), lnFrench},
        {QLocale(QLocale::Dutch, QLocale::Belgium), lnDutch},
        {QLocale(QLocale::Czech), lnCzech},
        {QLocale(QLocale::Russian), lnRussian},
        {QLocale(QLocale::Ukrainian), lnUkrainian},
        {QLocale(QLocale::Swedish, QLocale::Finland), lnSwedish},
        {QLocale(QLocale::Italian), lnEnglish},
        {QLocale(QLocale::English, QLocale::UnitedKingdom), lnEnglish},
        {QLocale::c(), lnEnglish},
    };
    for (const auto& c : cases) {
        TKVXLanguage::SetUserLocale(c.locale);
        EXPECT_EQ(language.GetLangID(), c.expected) << c.locale.name().toStdString();
    }
    TKVXLanguage::SetUserLocale(QLocale(QLocale::German));
    EXPECT_EQ(GetString(language.GetLangID(), 1104), GetResourceString(1104 + 10000 + 2000 * lnGerman));
    EXPECT_NE(GetString(language.GetLangID(), 1104), QStringLiteral("&Cancel"));
}

TEST(LanguageObject, DefaultsAssignAndStreamableEnum)
{
    TKVXLanguage a;
    EXPECT_FALSE(a.AutoDetect());
    EXPECT_EQ(a.LanguageID(), lnEnglish);

    TKVXLanguage b;
    b.SetAutoDetect(true);
    b.SetLanguageID(lnCzech);
    a.Assign(&b);
    EXPECT_TRUE(a.AutoDetect());
    EXPECT_EQ(a.LanguageID(), lnCzech);

    TStringList notALanguage;
    EXPECT_THROW(a.Assign(&notALanguage), EKVXError);
    EXPECT_EQ(a.LanguageID(), lnCzech);

    // Forms store the language by name, so the property's enum must know them.
    const QMetaObject* mo = a.metaObject();
    const QMetaProperty prop = mo->property(mo->indexOfProperty("LanguageID"));
    ASSERT_TRUE(prop.isValid());
    ASSERT_TRUE(prop.isEnumType());
    EXPECT_EQ(prop.enumerator().keyToValue("lnDutch"), int(lnDutch));
    EXPECT_TRUE(prop.write(&a, QVariant::fromValue(lnRussian)));
    EXPECT_EQ(a.LanguageID(), lnRussian);
}
