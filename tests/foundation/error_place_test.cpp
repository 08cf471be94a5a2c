// The place of an error as words (TErrorPlace::Describe) and how layers
// that catch and rethrow add what they know (Fill).

#include "foundation/values/errors.h"

#include <gtest/gtest.h>

using namespace vorel;

namespace {

TEST(ErrorPlace, DescribeSaysWhatIsKnown)
{
    auto place = [](auto fill) {
        TErrorPlace p;
        fill(p);
        return p;
    };
    struct Row {
        TErrorPlace Place;
        const char* Text;
    };
    const Row rows[] = {
        {{}, ""},
        {place([](TErrorPlace& p) {
             p.Component = QStringLiteral("Detail1.Amount");
             p.Band = QStringLiteral("Detail1");
             p.Control = QStringLiteral("Amount");
             p.Property = QStringLiteral("Expression");
             p.Expression = QStringLiteral("[amount] +* 2");
             p.Position = 10;
         }),
         "Detail1.Amount.Expression \"[amount] +* 2\" at character 11"},
        {place([](TErrorPlace& p) {
             p.Band = QStringLiteral("Detail1");
             p.Control = QStringLiteral("Amount");
         }),
         "Detail1.Amount"},
        {place([](TErrorPlace& p) {
             p.Component = QStringLiteral("Variables[Total]");
             p.Property = QStringLiteral("Expression");
             p.Expression = QStringLiteral("SUM([amount])");
         }),
         "Variables[Total].Expression \"SUM([amount])\""},
        {place([](TErrorPlace& p) { p.Expression = QStringLiteral("1 +"); }), "expression \"1 +\""},
        {place([](TErrorPlace& p) {
             p.File = QStringLiteral("orders.csv");
             p.Line = 12;
         }),
         "orders.csv, line 12"},
        {place([](TErrorPlace& p) {
             p.File = QStringLiteral("report.kvx");
             p.Offset = 418;
             p.Component = QStringLiteral("SalesReport.Detail1");
             p.Property = QStringLiteral("Font.Height");
         }),
         "report.kvx, offset 418, SalesReport.Detail1.Font.Height"},
        {place([](TErrorPlace& p) {
             p.Line = 7;
             p.Offset = 123;
         }),
         "line 7 (offset 123)"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.Place.Describe().toStdString(), row.Text);
}

TEST(ErrorPlace, FillKeepsWhatTheInnerLayerKnew)
{
    TErrorPlace inner;
    inner.Expression = QStringLiteral("1 +");
    inner.Position = 3;
    TErrorPlace outer;
    outer.Band = QStringLiteral("Detail");
    outer.Expression = QStringLiteral("[a] + 1");
    outer.Position = 0;
    inner.Fill(outer);
    EXPECT_EQ(inner.Band, "Detail");
    EXPECT_EQ(inner.Expression, "1 +");
    EXPECT_EQ(inner.Position, 3);

    TErrorPlace bare;
    bare.Fill(outer);
    EXPECT_EQ(bare.Expression, "[a] + 1");
    EXPECT_EQ(bare.Position, 0);

    const EKVXError plain(QStringLiteral("Stream read error"));
    EXPECT_TRUE(plain.Place().IsEmpty());
    EXPECT_EQ(plain.Message(), "Stream read error");
}

} // namespace
