#include "foundation/locale/format_settings.h"
#include "foundation/values/text_utils.h"

#include <QFile>
#include <QFileInfo>
#include <QDir>
#include "support/locale_fixture.h"

#include <gtest/gtest.h>

using namespace vorel;

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

using TextUtilsTest = vorel::testing::EnglishUsLocaleTest;

TEST_F(TextUtilsTest, StrToFloatDef)
{
    EXPECT_EQ(StrToFloatDef(QStringLiteral("  "), 7), 7);
    EXPECT_EQ(StrToFloatDef(QStringLiteral("\t\r\n"), 7), 7);
    EXPECT_EQ(StrToFloatDef(QStringLiteral("1x"), 7), 7);
    EXPECT_EQ(StrToFloatDef(QStringLiteral(" 2.5 "), 7), 2.5);
    EXPECT_EQ(StrToFloatDef(QStringLiteral("2,5"), 0), 0);
    SetFormatLocale(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(StrToFloatDef(QStringLiteral("2,5"), 0), 2.5);
    EXPECT_EQ(StrToFloatDef(QStringLiteral("2.5"), 0), 0);
}

TEST_F(TextUtilsTest, Padding)
{
    EXPECT_EQ(PadLSpace(QStringLiteral("ab"), 5), u"   ab");
    EXPECT_EQ(PadRSpace(QStringLiteral("ab"), 5), u"ab   ");
    EXPECT_EQ(PadLSpace(QStringLiteral("abcdef"), 3), u"abcdef");
    EXPECT_EQ(PadRSpace(QStringLiteral("abcdef"), 3), u"abcdef");
    EXPECT_EQ(PadLSpace(QStringLiteral("ab"), -1), u"ab");
    EXPECT_EQ(ReplaceChr(QStringLiteral("a.b.c"), u'.', u','), u"a,b,c");
}

TEST_F(TextUtilsTest, QualifiedFieldNames)
{
    EXPECT_EQ(GetFieldName(QStringLiteral("Orders.Amount")), u"Amount");
    EXPECT_EQ(GetFieldName(QStringLiteral("Amount")), u"");
    EXPECT_EQ(GetFieldName(QStringLiteral("A.B.C")), u"B.C");
    EXPECT_EQ(SetDSExpression(QStringLiteral("Orders"), QStringLiteral("Amount")), u"Orders.Amount");
    EXPECT_EQ(SetDSExpression(QString(), QStringLiteral("Amount")), u"Amount");
    EXPECT_EQ(SetDSExpression(QStringLiteral("Orders"), QString()), u"Orders");
}

TEST_F(TextUtilsTest, ReplaceSystemChars)
{
    EXPECT_EQ(ReplaceSystemChars(QStringLiteral("a<b & 'c'")), u"a&lt;b &amp; &apos;c&apos;");
    EXPECT_EQ(ReplaceSystemChars(QStringLiteral("25°")), u"25&deg");
    EXPECT_EQ(ReplaceSystemChars(QString::fromUtf16(u"\"x\">|©±¶™é")),
              u"&quot;x&quot;&gt;&brvbar&copy;&plusmn&para&trade;é");
}

// What would steer a terminal is written out; everything else, other
// scripts included, is left alone.
TEST_F(TextUtilsTest, ControlCharactersAreWrittenOutAndTextIsLeftAlone)
{
    const struct {
        QString Text;
        QString Shown;
    } cases[] = {
        {QStringLiteral("\x1b[2Jgone"), QStringLiteral("\\x1b[2Jgone")},
        {QString(QChar(0)) + QStringLiteral("nul"), QStringLiteral("\\x00nul")},
        {QStringLiteral("over\rwrite"), QStringLiteral("over\\x0dwrite")},
        {QStringLiteral("tab\tkept"), QStringLiteral("tab\tkept")},
        {QStringLiteral("del\x7f c1\u009b"), QStringLiteral("del\\x7f c1\\x9b")},
        {QStringLiteral("abc\u202egnp.exe"), QStringLiteral("abc\\u202egnp.exe")},
        {QString::fromUtf8("Grüße, Σ, 日本"), QString::fromUtf8("Grüße, Σ, 日本")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EscapeControlCharacters(c.Text), c.Shown) << c.Shown.toStdString();
    EXPECT_EQ(EscapeControlCharacters(u"two\nlines", false), QStringLiteral("two\\x0alines"));
    EXPECT_EQ(EscapeControlCharacters(u"two\nlines", true), QStringLiteral("two\nlines"));
}

TEST_F(TextUtilsTest, UniqueFileNameIsFreeAndTemporary)
{
    const QString a = GetUniqueFileName(QStringLiteral(".pdf"));
    const QString b = GetUniqueFileName(QStringLiteral("xls"));
    const QFileInfo fa(a);
    EXPECT_EQ(QDir(fa.absolutePath()).canonicalPath(), QDir(QDir::tempPath()).canonicalPath());
    EXPECT_TRUE(fa.fileName().startsWith(u"KVX"));
    EXPECT_TRUE(a.endsWith(u".pdf"));
    EXPECT_TRUE(b.endsWith(u".xls"));
    EXPECT_FALSE(b.endsWith(u"..xls"));
    EXPECT_FALSE(QFile::exists(a));
    EXPECT_FALSE(QFile::exists(QFileInfo(a).path() + u'/' + fa.completeBaseName() + QStringLiteral(".tmp")));
    EXPECT_NE(a.chopped(4), b.chopped(4));
}

} // namespace
