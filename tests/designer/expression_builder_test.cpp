// The expression builder checks as the author types, with the language's
// own messages and the character where the parse stopped.

#include "designer/expression_builder.h"
#include "model/report.h"

#include <gtest/gtest.h>

namespace vorel {
namespace {

TEST(ExpressionBuilder, ChecksAsTheAuthorTypes)
{
    TKVReport report;
    report.Variables()->Add()->SetName("Total");
    struct Row {
        const char* text;
        const char* problem; // a part of the message; "" when valid
    } rows[] = {
        {"", ""},
        {"1 + 2 * 3", ""},
        {"UPPER('a') + 'b'", ""},
        {"Total", ""},
        {"1 +* 2", "at character 4"},
        {"NoSuchField + 1", "NoSuchField"},
        {"UPPER(", "at character 7"},
    };
    TExpressionBuilder builder(&report, QString());
    for (const Row& row : rows) {
        builder.SetExpression(QString::fromUtf8(row.text));
        const QString problem = builder.Problem();
        if (*row.problem == 0)
            EXPECT_TRUE(problem.isEmpty()) << row.text << ": " << problem.toStdString();
        else
            EXPECT_TRUE(problem.contains(QString::fromUtf8(row.problem))) << row.text << ": " << problem.toStdString();
        EXPECT_EQ(problem, TExpressionBuilder::Check(&report, QString::fromUtf8(row.text)));
    }
}

} // namespace
} // namespace vorel
