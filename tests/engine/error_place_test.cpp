// An error of a preparation carries its place as data: the band, the
// control, the property and the expression it arose in, filled by the
// layers it passed through (the expression language, the control, the
// band), with the message unchanged.
#include "engine/engine_test_support.h"

#include <functional>

namespace vorel {
namespace {

using testing::EngineTest;

class ErrorPlaceTest : public EngineTest {};

TEST_F(ErrorPlaceTest, TheErrorNamesBandControlPropertyAndExpression)
{
    struct Case {
        const char* What;
        // Builds the report's bands on the numbered rows.
        std::function<void()> Build;
        const char* Message;
        const char* Band;
        const char* Control;
        const char* Component;
        const char* Property;
        const char* Expression;
        int Position;
    };
    // A detail band "Lines" holding the control "Amount".
    auto lines = [this](const QString& expression) {
        TKVXBand* band = Band(btDetail, 20);
        band->SetName(QStringLiteral("Lines"));
        TKVXExpression* amount = Expr(band, expression);
        amount->SetName(QStringLiteral("Amount"));
        return amount;
    };
    const Case cases[] = {
        {"a control's expression does not parse",
         [&] { lines(QStringLiteral("[Val] +* 2")); },
         "Expression expected but '*' found", "Lines", "Amount", "Lines.Amount", "Expression", "[Val] +* 2", 7},
        {"a print-when condition cannot be computed",
         [&] {
             lines(QStringLiteral("[Val]"))->KVPrintWhen()->SetShowIf(QStringLiteral("6 / ([Id] - 3) > 1"));
         },
         "Division by zero", "Lines", "Amount", "Lines.Amount", "KVPrintWhen.ShowIf", "6 / ([Id] - 3) > 1", -1},
        {"a print-when condition gives no Boolean (the message names the control too)",
         [&] { lines(QStringLiteral("[Val]"))->KVPrintWhen()->SetHideWhen(QStringLiteral("[Grp]")); },
         "Lines.Amount: the print-when condition HideWhen \"[Grp]\" gives G1, not True or False", "Lines", "Amount",
         "Lines.Amount", "KVPrintWhen.HideWhen", "[Grp]", -1},
        {"a group expression names no field",
         [&] {
             lines(QStringLiteral("[Val]"));
             Group(QStringLiteral("[Nope]"), 20, 20)->SetName(QStringLiteral("ByGroup"));
         },
         "Field 'Nope' not found", "ByGroup", "", "ByGroup", "Expression", "[Nope]", 0},
        {"an outline expression does not parse",
         [&] { lines(QStringLiteral("[Val]"))->GetParentBand()->SetOutlineExpression(QStringLiteral("1 +")); },
         "Expression expected but nothing found", "Lines", "", "Lines", "OutlineExpression", "1 +", 3},
        {"a variable's expression does not parse",
         [&] {
             lines(QStringLiteral("[Val]"));
             TKVXVariable* total = report->Variables()->Add();
             total->SetName(QStringLiteral("Total"));
             total->SetExpression(QStringLiteral("[Val] * * 2"));
         },
         "Expression expected but '*' found", "", "", "Variables[Total]", "Expression", "[Val] * * 2", 8},
        {"a band and a control without names",
         [&] {
             TKVXExpression* amount = lines(QStringLiteral("[Val]"));
             amount->GetParentBand()->SetName(QString());
             Expr(amount->GetParentBand(), QStringLiteral("[Nope]"))->SetName(QString());
         },
         "Field 'Nope' not found", "band 1", "TKVXExpression #2", "band 1.TKVXExpression #2", "Expression", "[Nope]",
         0},
        {"an event handler fails: no property, no expression",
         [&] {
             lines(QStringLiteral("[Val]"));
             report->BeforeControlPrint = [](QObject*, TKVXControl*, bool) {
                 throw EKVXError(QStringLiteral("handler failed"));
             };
         },
         "handler failed", "Lines", "Amount", "Lines.Amount", "", "", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        MakeReport();
        NumberedRows(5);
        c.Build();
        try {
            Prepare();
            ADD_FAILURE() << "no error";
        } catch (const EKVXError& e) {
            EXPECT_EQ(e.Message(), QString::fromUtf8(c.Message));
            const TErrorPlace& place = e.Place();
            EXPECT_EQ(place.Band, QString::fromUtf8(c.Band));
            EXPECT_EQ(place.Control, QString::fromUtf8(c.Control));
            EXPECT_EQ(place.Component, QString::fromUtf8(c.Component));
            EXPECT_EQ(place.Property, QString::fromUtf8(c.Property));
            EXPECT_EQ(place.Expression, QString::fromUtf8(c.Expression));
            EXPECT_EQ(place.Position, c.Position);
            EXPECT_TRUE(place.File.isEmpty());
        }
    }
}

} // namespace
} // namespace vorel
