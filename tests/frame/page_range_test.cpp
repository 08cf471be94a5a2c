// Page-range texts as the print and save dialogs and the command line take them.

#include "foundation/components/component.h"
#include "foundation/values/errors.h"
#include "frame/page_range.h"

#include <gtest/gtest.h>

namespace vorel {
namespace {

TEST(PageRange, ParsesListsRangesAndOddSpellings)
{
    const struct {
        const char16_t* Text;
        QList<int> Pages;
    } cases[] = {
        {u"1,3,5-12", {1, 3, 5, 6, 7, 8, 9, 10, 11, 12}},
        {u"", {}},
        {u"7", {7}},
        {u"3 ; 1 2", {1, 2, 3}},            // any non-digit separates
        {u"2 - 4", {2, 3, 4}},              // blanks around the hyphen
        {u"5-3", {3, 5}},                   // backwards: only its two ends
        {u"4-", {4}},                       // a trailing hyphen adds nothing
        {u"-4", {4}},                       // a leading one opens nothing
        {u"1-3-5", {1, 2, 3, 5}},           // the second hyphen is a separator
        {u"2,2,1-3,3", {1, 2, 3}},          // each page once, sorted
        {u"0,100000", {0, 100000}},         // not compared with a page count
        {u"007-9", {7, 8, 9}},
        {u"1,-3", {1, 2, 3}},               // a remembered start survives a separator
    };
    for (const auto& c : cases)
        EXPECT_EQ(GetValidPageNumbers(QStringView(c.Text)), c.Pages) << QString::fromUtf16(c.Text).toStdString();
}

TEST(PageRange, TheClassicListHoldsSortedDecimalTexts)
{
    TStringList list;
    list.Add(QStringLiteral("stale"));
    GetValidPages(u"10,9,1-2", &list);
    EXPECT_EQ(list.List(), (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("9"), QStringLiteral("10")}));

    EXPECT_THROW(GetValidPages(u"2,99999999999", &list), EConvertError);
    EXPECT_EQ(list.Count(), 0) << "a text that raises leaves the list empty";
}

TEST(PageRange, HugeRangesRaiseInsteadOfFillingTheMemory)
{
    EXPECT_THROW(GetValidPageNumbers(u"1-2000000000"), EConvertError);
    // The bound counts distinct pages: a range given twice is fine.
    EXPECT_EQ(GetValidPageNumbers(u"1-600000,1-600000").size(), 600000);
    EXPECT_EQ(GetValidPageNumbers(u"2147483647").first(), 2147483647);
}

} // namespace
} // namespace vorel
