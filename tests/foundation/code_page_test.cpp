// The library-wide Windows code page.

#include "foundation/locale/code_page.h"
#include "foundation/values/errors.h"
#include "foundation/language/language.h"

#include <gtest/gtest.h>

namespace vorel {
namespace {

TEST(CodePage, TheDefaultFollowsTheReportLanguage)
{
    ASSERT_EQ(LibraryCodePage(), 0);
    EXPECT_EQ(EffectiveCodePage(lnEnglish), 1252);
    EXPECT_EQ(EffectiveCodePage(lnGerman), 1252);
    EXPECT_EQ(EffectiveCodePage(lnRussian), 1251);
    EXPECT_EQ(EffectiveCodePage(lnUkrainian), 1251);
    EXPECT_EQ(EffectiveCodePage(lnCzech), 1250);
    SetLibraryCodePage(1250);
    EXPECT_EQ(EffectiveCodePage(lnRussian), 1250); // an application's choice wins
    SetLibraryCodePage(0);
    EXPECT_THROW(SetLibraryCodePage(99999), EKVXError);
    EXPECT_EQ(LibraryCodePage(), 0);
}

TEST(CodePage, EncodingIsOneBytePerCharacterWithQuestionMarksForTheRest)
{
    struct Case {
        int codePage;
        QString text;
        QByteArray bytes;
    };
    const Case cases[] = {
        {1252, QStringLiteral("Café €5"), QByteArray("Caf\xE9 \x80" "5")},
        {1252, QStringLiteral("Да"), QByteArray("??")},
        {1251, QStringLiteral("Да ё"), QByteArray("\xC4\xE0 \xB8")},
        {1250, QStringLiteral("Žluť"), QByteArray("\x8Elu\x9D")},
        {1252, QStringLiteral("\U0001F600"), QByteArray("??")}, // each surrogate half
        // Code pages with combining marks: their letters decode one by one too.
        {1255, QStringLiteral("\u05D0\u05D1 \u20AA"), QByteArray("\xE0\xE1 \xA4")},
        {1258, QStringLiteral("\u00E0\u0103\u20AB"), QByteArray("\xE0\xE3\xFE")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EncodeCodePage(c.text, c.codePage), c.bytes) << c.codePage << " " << c.text.toStdString();
        if (!c.bytes.contains('?'))
            EXPECT_EQ(DecodeCodePage(c.bytes, c.codePage), c.text);
    }
}

TEST(CodePage, EveryByteSurvivesARoundTrip)
{
    QByteArray all(256, '\0');
    for (int b = 0; b < 256; ++b)
        all[b] = char(b);
    for (int codePage : {1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258})
        EXPECT_EQ(EncodeCodePage(DecodeCodePage(all, codePage), codePage), all) << codePage;
}

} // namespace
} // namespace vorel
