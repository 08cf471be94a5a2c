// The base of the automatic reports: header and footer macros, the page
// start with its header and footer, highlights.

#include "auto_test_support.h"

#include "support/locale_fixture.h"

using namespace vorel;
using namespace vorel::autotest;

namespace {

class AutoPrintTest : public vorel::testing::EnglishUsLocaleTest {
protected:
    void SetUp() override
    {
        EnglishUsLocaleTest::SetUp();
        UsePage(report);
        data.AddFieldDef(QStringLiteral("Name"), ftWideString, 10);
        data.AddFieldDef(QStringLiteral("Amount"), ftFloat);
        for (int i = 1; i <= 120; ++i)
            data.AppendRecord({QStringLiteral("N%1").arg(i), double(i)});
        data.Open();
        report.SetColumnSource(csDataSet);
        report.SetDataSet(&data);
    }
    TMemoryDataSet data;
    TKVPrintData report;
};

} // namespace

TEST_F(AutoPrintTest, MacrosExpandAsTheTableSays)
{
    report.BeginDoc();
    report.NewPage(false);
    struct Case {
        const char* Line;
        bool EveryPage;
        const char* Text; // expanded
        bool Prints;
    };
    const Case cases[] = {
        {"%%", false, "%", true},                 // two macro characters: one
        {"a%Xb", false, "aXb", true},             // unknown code: the letter stays
        {"Page %P", false, "Page 1", true},        // P at the end prints the number, reads nothing more
        {"%PNof%PC", false, "1of1", true},
        {"%PXyz", false, "1yz", true},            // P takes any next character
        {"%BN/%BC", false, "1/1", true},
        {"end%", false, "end", true},             // a lone macro character at the end stands for nothing
        {"%Aevery", true, "every", true},
        {"%Aevery", false, "every", false},
        {"once", true, "once", false},
        {"%Oonce", false, "once", true},
        {"%R%Cmid", false, "mid", true},
    };
    for (const Case& c : cases) {
        QString text = QString::fromUtf8(c.Line);
        TAlignment alignment;
        TBevels rule;
        QString picture;
        TImageAlign pictureAlign = iaWholePage;
        EXPECT_EQ(report.EvaluateMacro(text, alignment, rule, picture, pictureAlign, c.EveryPage), c.Prints) << c.Line;
        EXPECT_EQ(text, QString::fromUtf8(c.Text)) << c.Line;
    }
    QString text = QStringLiteral("%C%FB%FTx%IB logo.png ");
    TAlignment alignment;
    TBevels rule;
    QString picture;
    TImageAlign pictureAlign = iaWholePage;
    report.EvaluateMacro(text, alignment, rule, picture, pictureAlign, false);
    EXPECT_EQ(alignment, taCenter);
    EXPECT_EQ(rule, TBevels(bvBottomLine | bvTopLine));
    EXPECT_EQ(picture, QStringLiteral("logo.png"));
    EXPECT_EQ(pictureAlign, iaBottomPage);
    report.EndDoc();
}

TEST_F(AutoPrintTest, SettingTheMacroCharacterRewritesHeaderAndFooter)
{
    report.SetMacroChar(QStringLiteral("#"));
    EXPECT_EQ(report.Header()->Strings(0), QStringLiteral("#A#L#DT#FB"));
    EXPECT_TRUE(report.Footer()->Strings(0).startsWith(QStringLiteral("#A#R")));
    EXPECT_THROW(report.SetMacroChar(QStringLiteral("##")), EKVXError);
}

TEST_F(AutoPrintTest, DefaultHeaderAndFooterOnEveryPageFooterAboveTheBottomOffset)
{
    // A bottom margin much larger than the top one: the footer must stand
    // above the bottom margin, not above the top margin's mirror.
    UsePage(report, 100, 50, 100, 400);
    report.Prepare();
    ASSERT_GE(report.GetNumPages(), 2);
    const QString dateTime = DateToStr(Now()).left(4);
    for (int p = 0; p < report.Pages().Count(); ++p) {
        const TPageInfo& page = *report.Pages().Items(p);
        const std::vector<PageItem> texts = Texts(page);
        ASSERT_FALSE(texts.empty());
        // The date and time first, at the left margin, under it a rule.
        EXPECT_TRUE(texts.front().Text.startsWith(dateTime)) << texts.front().Text.toStdString();
        EXPECT_EQ(texts.front().X, page.OffsetLeft);
        bool ruled = false;
        for (const PageItem& line : Lines(page))
            ruled = ruled || (line.Y == line.Y2 && line.X == page.OffsetLeft && line.Y < 100);
        EXPECT_TRUE(ruled) << "page " << p;
        // The footer: page and sheet, right aligned, ending above the bottom offset.
        const PageItem* footer = nullptr;
        for (const PageItem& item : texts)
            if (item.Text.startsWith(QStringLiteral("page #")))
                footer = &item;
        ASSERT_NE(footer, nullptr) << "page " << p;
        EXPECT_EQ(footer->Text, QStringLiteral("page #%1/Sheet1").arg(p + 1));
        const int bottomLimit = page.PageHeight() - page.OffsetBottom;
        EXPECT_LE(footer->Y + 16, bottomLimit);
        EXPECT_GT(footer->Y, bottomLimit - 40);
        for (const PageItem& item : texts) {
            if (&item != footer) {
                EXPECT_LT(item.Y, footer->Y) << item.Text.toStdString();
            }
        }
    }
}

TEST_F(AutoPrintTest, HighlightThatIsNoBooleanCountsAsFalse)
{
    TKVXHighLight* text = report.HighLights()->Add();
    text->SetExpression(QStringLiteral("'yes'")); // a text, not a Boolean
    text->Font()->SetStyle(fsBold);
    TKVXHighLight* big = report.HighLights()->Add();
    big->SetExpression(QStringLiteral("[Amount] > 118"));
    big->Font()->SetStyle(fsItalic);
    report.Prepare();
    int italic = 0, bold = 0;
    for (int p = 0; p < report.Pages().Count(); ++p)
        for (const PageItem& item : Texts(*report.Pages().Items(p))) {
            bold += item.Font.split(u'/').value(2) == QStringLiteral("700");
            italic += item.Font.endsWith(QStringLiteral("/i"));
        }
    EXPECT_EQ(bold, 0);
    EXPECT_GE(italic, 2); // the cells of records 119 and 120
}
