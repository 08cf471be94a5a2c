// The parse cache behind the entry points must be invisible: every call
// behaves as a fresh parse would at that moment. These tests change what a
// parse depends on between calls (records, variables, fields, data sets,
// captions, the locale) and check that the result follows.

#include "expr_test_util.h"

using namespace vorel;
using namespace vorel::test;

namespace {

class ExprCacheTest : public OrdersFixture {};

TEST_F(ExprCacheTest, RepeatedCallsReuseTheTreeAndReadTheCurrentRecord)
{
    const QString text = S(u"IIF([Qty] > 0, [Price] * [Qty], 0)");
    EXPECT_EQ(Eval(text).ToDouble(), 7.5);
    const TExprCacheStats before = ExprCacheStats();
    Orders->Next();
    EXPECT_EQ(Eval(text).ToDouble(), 0.0);
    Orders->First();
    EXPECT_EQ(Eval(QString(text)).ToDouble(), 7.5) << "an equal text from another buffer";
    const TExprCacheStats after = ExprCacheStats();
    EXPECT_EQ(after.Parses, before.Parses);
    EXPECT_EQ(after.Hits, before.Hits + 2);
}

TEST_F(ExprCacheTest, VariablesAreAskedOnEveryCall)
{
    Vars[S(u"RATE")] = {ftFloat, Variant(2.0)};
    const QString text = S(u"[Qty] * Rate");
    EXPECT_EQ(Eval(text).ToDouble(), 6.0);
    CallbackCalls = 0;
    Vars[S(u"RATE")].second = Variant(3.0);
    EXPECT_EQ(Eval(text).ToDouble(), 9.0);
    EXPECT_EQ(CallbackCalls, 1) << "once per name per call, as a fresh parse";

    // A new type of the same expression class re-uses the tree; another
    // class re-parses and types again.
    Vars[S(u"RATE")] = {ftString, Variant(S(u"x"))};
    CallbackCalls = 0;
    EXPECT_EQ(ErrorOf(text), S(u"'x' is not a valid floating point value")) << "a text beside a number is a number";
    EXPECT_EQ(CallbackCalls, 1) << "the re-parse replays the answer already given";

    Vars.remove(S(u"RATE"));
    EXPECT_EQ(ErrorOf(text), S(u"Field 'Rate' not found"));
    Vars[S(u"RATE")] = {ftFloat, Variant(1.0)};
    EXPECT_EQ(Eval(text).ToDouble(), 3.0);
}

// Report variables hold their values as text (a running sum is "48"):
// beside a number such a text is the number, beside a text it stays text,
// and a variable with no value yet is no value.
TEST_F(ExprCacheTest, AVariablesTextIsANumberBesideANumber)
{
    Vars[S(u"SUBTOTAL")] = {ftString, Variant(S(u"48"))};
    EXPECT_DOUBLE_EQ(Eval(S(u"SubTotal * 0.5")).ToDouble(), 24.0);
    EXPECT_DOUBLE_EQ(Eval(S(u"2 + SubTotal")).ToDouble(), 50.0);
    EXPECT_EQ(Eval(S(u"'Total ' + SubTotal")).ToString(), S(u"Total 48"));
    Vars[S(u"SUBTOTAL")].second = Variant(QString());
    EXPECT_TRUE(Eval(S(u"SubTotal * 0.5")).IsNull());
}

TEST_F(ExprCacheTest, NewVariableValuesPassTheConstantCheckAgain)
{
    Vars[S(u"LIMIT")] = {ftInteger, Variant(2)};
    const QString text = S(u"[ShortQty] > Limit");
    EXPECT_TRUE(Eval(text).ToBool());
    Vars[S(u"LIMIT")].second = Variant(100000);
    EXPECT_EQ(ErrorOf(text), S(u"Constant out of range"));
    Vars[S(u"LIMIT")].second = Variant(S(u"20"));
    EXPECT_FALSE(Eval(text).ToBool()) << "the text is read as the number 20";
    Vars[S(u"LIMIT")].second = Variant::Null();
    EXPECT_TRUE(Eval(text).ToBool()) << "12 > Null: Null orders first";
    Vars[S(u"WHEN")] = {ftDate, Variant(S(u"2/1/2012"))};
    EXPECT_TRUE(Eval(S(u"[ShipDate] < When")).ToBool());
    Vars[S(u"WHEN")].second = Variant(S(u"1/1/2012"));
    EXPECT_FALSE(Eval(S(u"[ShipDate] < When")).ToBool());
}

TEST_F(ExprCacheTest, AFieldThatAppearsShadowsTheVariable)
{
    Vars[S(u"EXTRA")] = {ftInteger, Variant(5)};
    EXPECT_EQ(Eval(S(u"Extra + 1")).ToDouble(), 6.0);
    Orders->Close();
    Orders->EmptyTable();
    Orders->AddFieldDef(S(u"Extra"), ftInteger);
    Orders->AppendRecord({Variant(S(u"Carol")), Variant(1), Variant(1.0), Variant(qint64(1)), Variant(1),
                          Variant::Null(), Variant::Null(), Variant::Null(), Variant::Null(), Variant::Null(),
                          Variant::Null(), Variant::Null(), Variant(40)});
    Orders->Open();
    EXPECT_EQ(Eval(S(u"Extra + 1")).ToDouble(), 41.0);
    EXPECT_TRUE(ValueIsField(Manager, S(u"Extra"), Variables()));
}

TEST_F(ExprCacheTest, FieldsFollowTheirDataSet)
{
    EXPECT_EQ(Eval(S(u"[Qty] + 1")).ToDouble(), 4.0);

    // Re-opened with other field types: typed again.
    Orders->Close();
    Orders->ClearFieldDefs();
    Orders->AddFieldDef(S(u"Qty"), ftWideString, 10);
    Orders->AppendRecord({Variant(S(u"many"))});
    Orders->Open();
    EXPECT_EQ(ErrorOf(S(u"[Qty] + 1")), S(u"Type mismatch in expression"));
    EXPECT_EQ(Eval(S(u"[Qty] + 'x'")).ToString(), S(u"manyx"));

    // Closed data sets have no data fields.
    Orders->Close();
    EXPECT_EQ(ErrorOf(S(u"[Qty] + 'x'")), S(u"Field 'Qty' not found"));
}

TEST_F(ExprCacheTest, DataSetsOfTheManagerAreWatched)
{
    TMemoryDataSet other(&Owner);
    other.SetName(S(u"Other"));
    other.AddFieldDef(S(u"Qty"), ftFloat);
    other.AppendRecord({Variant(0.5)});
    other.Open();

    EXPECT_EQ(Eval(S(u"[Qty]")).ToInt(), 3);
    EXPECT_EQ(Eval(S(u"Orders.Qty")).ToInt(), 3);
    Manager->Datasets()->Items(0)->SetDataset(&other);
    EXPECT_EQ(Eval(S(u"[Qty]")).ToDouble(), 0.5);
    EXPECT_EQ(Eval(S(u"Orders.Qty")).ToDouble(), 0.5) << "the caption stayed";

    Manager->Datasets()->Items(0)->SetCaption(S(u"Renamed"));
    EXPECT_EQ(ErrorOf(S(u"Orders.Qty")), S(u"Field 'Orders.Qty' not found"));
    EXPECT_EQ(Eval(S(u"Renamed.Qty")).ToDouble(), 0.5);

    // A second item with the old caption now answers the qualifier.
    TKVXDataset* item = Manager->Datasets()->Add();
    item->SetDataset(Orders);
    item->SetCaption(S(u"Orders"));
    EXPECT_EQ(Eval(S(u"Orders.Qty")).ToInt(), 3);
    EXPECT_EQ(Eval(S(u"[Qty]")).ToDouble(), 0.5);
}

TEST_F(ExprCacheTest, AFreedDataSetIsNeverTouched)
{
    auto* temporary = new TMemoryDataSet(&Owner);
    temporary->AddFieldDef(S(u"Qty"), ftInteger);
    temporary->AppendRecord({Variant(9)});
    temporary->Open();
    Manager->Datasets()->Items(0)->SetDataset(temporary);
    EXPECT_EQ(Eval(S(u"[Qty] * 2")).ToDouble(), 18.0);
    delete temporary;
    EXPECT_EQ(ErrorOf(S(u"[Qty] * 2")), S(u"Field 'Qty' not found"));
}

TEST_F(ExprCacheTest, ManagersDoNotShareTrees)
{
    TMemoryDataSet other(&Owner);
    other.AddFieldDef(S(u"Qty"), ftWideString, 5);
    other.AppendRecord({Variant(S(u"x"))});
    other.Open();
    TKVXDataManager second(&Owner);
    second.Datasets()->Add()->SetDataset(&other);
    EXPECT_EQ(Eval(S(u"[Qty] + 1")).ToDouble(), 4.0);
    EXPECT_THROW(EvaluateValue(&second, S(u"[Qty] + 1")), EDatabaseError);
    EXPECT_EQ(EvaluateValue(&second, S(u"[Qty] + 'y'")).ToString(), S(u"xy"));
    EXPECT_EQ(Eval(S(u"[Qty] + 1")).ToDouble(), 4.0);
}

TEST_F(ExprCacheTest, LocaleChangesAreSeen)
{
    const QString german = S(u"[ShipDate] = '31.01.2012'");
    EXPECT_EQ(ErrorOf(german), S(u"'31.01.2012' is not a valid date"));
    SetFormatLocale(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_TRUE(Eval(german).ToBool());
    SetFormatLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(ErrorOf(german), S(u"'31.01.2012' is not a valid date"));
}

TEST_F(ExprCacheTest, ReentrantEvaluationIsSafe)
{
    // A callback that evaluates other expressions and empties the cache
    // while the outer call is using its tree.
    TGetVariableEvent nested = [this](QObject*, const QString& name, bool& accept, TFieldType& type,
                                      Variant& value) {
        if (name.compare(QStringLiteral("Inner"), Qt::CaseInsensitive) != 0)
            return;
        value = EvaluateValue(Manager, QStringLiteral("[Qty] * 10"));
        ClearExprCache();
        accept = true;
        type = ftFloat;
    };
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(EvaluateValue(Manager, S(u"[Price] + Inner"), nested).ToDouble(), 32.5);
}

TEST_F(ExprCacheTest, CachedAndFreshParsesAgree)
{
    Vars[S(u"RATE")] = {ftFloat, Variant(1.5)};
    const char16_t* texts[] = {u"IIF([Qty] > 0, [Price] * [Qty], 0)", u"UPPER([Name]) + ' ' + [Last Name]",
                               u"[ShipDate] + Rate", u"SUBSTRING([Notes], 2, 4)", u"[Id] * Rate",
                               u"[Flag] = True", u"[ShipDate] >= '1/31/2012'", u"MAX([Qty], [Price], Rate)"};
    for (int record = 0; record < 2; ++record) {
        for (const char16_t* text : texts) {
            TExprParser parser(Manager, S(text), Variables());
            Variant fresh;
            parser.Evaluate(fresh);
            for (int i = 0; i < 2; ++i) {
                const Variant cached = Eval(S(text));
                EXPECT_TRUE(cached.Identical(fresh)) << QString::fromUtf16(text).toStdString() << " record " << record;
            }
        }
        Orders->Next();
    }
}

TEST_F(ExprCacheTest, AParserWhoseFieldWentAwaySaysSo)
{
    // Without the cache a tree outliving its field looks the field up again
    // when evaluated, and reports it gone rather than reading nothing.
    TExprParser parser(Manager, S(u"[Qty] + 1"));
    Orders->Close();
    Variant v;
    try {
        parser.Evaluate(v);
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), S(u"Field 'Qty' not found"));
    }
}

TEST_F(ExprCacheTest, ErrorsAreRaisedOnEveryCall)
{
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(ErrorOf(S(u"[Qty] +")), S(u"Expression expected but nothing found"));
        EXPECT_EQ(ErrorOf(S(u"[Qty] / 0")), S(u"Division by zero"));
    }
}

TEST_F(ExprCacheTest, ManyDistinctExpressionsStayBounded)
{
    for (int i = 0; i < 3000; ++i)
        EXPECT_EQ(Eval(QStringLiteral("%1 + [Qty]").arg(i)).ToDouble(), i + 3.0);
    EXPECT_LE(ExprCacheStats().Entries, 1024);
}

} // namespace
