// The lexer and the grammar: precedence, the minus rule, operator words
// beside plain names, names and qualifiers, literals, comments, IN lists, the
// variable callback, every parse error word for word, and hostile input.

#include "expr_test_util.h"

#include <QRandomGenerator>
#include <chrono>

using namespace vorel;
using namespace vorel::test;

namespace {

class ExprParserTest : public OrdersFixture {
protected:
    QString Tree(const QString& text, bool types = false)
    {
        TExprParser parser(Manager, text, Variables());
        return DumpTree(parser.Root(), types);
    }
    QString ParseError(const QString& text)
    {
        try {
            TExprParser parser(Manager, text, Variables());
        } catch (const EKVXError& e) {
            return e.Message();
        }
        return {};
    }
};

TEST_F(ExprParserTest, PrecedenceAndAssociativity)
{
    struct Row {
        const char16_t* Text;
        const char16_t* Tree;
    };
    const Row rows[] = {
        {u"2 + 3 * 4", u"(+ 2 (* 3 4))"},
        {u"[Price] * 2 > 10", u"(> (* [Price] 2) 10)"},
        {u"[Qty] - [Price] - 1", u"(- (- [Qty] [Price]) 1)"},
        {u"Qty - Price - 1", u"(- (- [Qty] [Price]) 1)"}, // plain names end before the minus
        {u"8 / 4 / 2", u"(/ (/ 8 4) 2)"},
        {u"(2 + 3) * 4", u"(* (+ 2 3) 4)"},
        {u"NOT ([Qty] > 1) OR ([Qty] < 0) AND ([Price] = 2)",
         u"(OR (NOT (> [Qty] 1)) (AND (< [Qty] 0) (= [Price] 2)))"},
        {u"[Name] LIKE 'A%'", u"(LIKE [Name] 'A%')"},
        {u"[Name] IS NULL", u"(ISNULL [Name])"},
        {u"[Name] is not null", u"(NOTNULL [Name])"},
        {u"[Qty] IN (1, 2 + 1)", u"(IN [Qty] 1 (+ 2 1))"},
        {u"2*-3", u"(* 2 -3)"},
        {u"1 - 2", u"(- 1 2)"},
        {u"1 -2", u"(- 1 2)"}, // a minus after an operand subtracts
        {u"IIF([Qty] > 0, 'yes', 'no')", u"IIF((> [Qty] 0), 'yes', 'no')"},
        {u"NULL", u"NULL"},
        {u"true", u"1"},
        {u"FALSE", u"0"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Tree(S(row.Text)), S(row.Tree)) << QString::fromUtf16(row.Text).toStdString();
}

TEST_F(ExprParserTest, ComparisonsDoNotChain)
{
    EXPECT_EQ(ParseError(S(u"1 < 2 < 3")), S(u"Expression incorrectly terminated"));
}

TEST_F(ExprParserTest, NumbersAndTheMinusRule)
{
    // "1-2" is read as one number, which is no number.
    EXPECT_EQ(ParseError(S(u"1-2")), S(u"'1-2' is not a valid floating point value"));
    EXPECT_EQ(ParseError(S(u"1+1")), S(u"'1+1' is not a valid floating point value"));
    // Before anything but a digit or a dot a minus is a sign.
    EXPECT_EQ(Tree(S(u"-[Qty] * 2")), S(u"(* (NEG [Qty]) 2)"));
    EXPECT_EQ(Tree(S(u"2 * -(1 + [Qty])")), S(u"(* 2 (NEG (+ 1 [Qty])))"));
    EXPECT_EQ(Tree(S(u"- -3")), S(u"(NEG -3)"));
    EXPECT_EQ(Tree(S(u"[Qty] - -ABS([Qty])")), S(u"(- [Qty] (NEG ABS([Qty])))"));
    EXPECT_EQ(ParseError(S(u"-")), S(u"Expression expected but nothing found"));
    EXPECT_EQ(Eval(S(u"1.5e2")).ToDouble(), 150.0);
    EXPECT_EQ(Eval(S(u"-2.5")).ToDouble(), -2.5);
    // A digit directly after an operand starts a number; it is not read as
    // a minus sign (which would make "[Qty] 52" mean [Qty] - 2).
    EXPECT_EQ(ParseError(S(u"[Qty] 52")), S(u"Expression incorrectly terminated"));
}

TEST_F(ExprParserTest, OperatorWordsEndPlainNames)
{
    struct Row {
        const char16_t* Text;
        const char16_t* Tree;
    };
    const Row rows[] = {
        {u"Qty > 5 AND Price < 3", u"(AND (> [Qty] 5) (< [Price] 3))"},
        {u"[Qty] > 0 AND [Price] < 5", u"(AND (> [Qty] 0) (< [Price] 5))"},
        {u"[Flag] and [Flag]", u"(AND [Flag] [Flag])"},
        {u"NOT [Qty] = 3", u"(NOT (= [Qty] 3))"},
        {u"NOT[Flag]", u"(NOT [Flag])"},
        {u"Qty = 1 OR Last Name = 'x'", u"(OR (= [Qty] 1) (= [Last Name] 'x'))"},
        {u"Last Name LIKE 'S%'", u"(LIKE [Last Name] 'S%')"},
        {u"Last Name IS NULL", u"(ISNULL [Last Name])"},
        {u"Qty is  not  null", u"(NOTNULL [Qty])"},
        {u"Qty IN (1, 2)", u"(IN [Qty] 1 2)"},
        {u"Orders.Qty", u"[Orders.Qty]"}, // a qualifier is no word of its own
    };
    for (const Row& row : rows)
        EXPECT_EQ(Tree(S(row.Text)), S(row.Tree)) << QString::fromUtf16(row.Text).toStdString();
    // Words that only begin like an operator belong to the name.
    Vars[S(u"INDEX NOTE")] = {ftString, Variant(S(u"n"))};
    Vars[S(u"IS")] = {ftString, Variant(S(u"i"))};
    EXPECT_EQ(Eval(S(u"Index Note")).ToString(), S(u"n"));
    EXPECT_EQ(Eval(S(u"Is")).ToString(), S(u"i")) << "IS alone is a name";
    EXPECT_EQ(ParseError(S(u"Price In Euro")), S(u"'(' expected but 'Euro' found"));
}

TEST_F(ExprParserTest, NamesAndQualifiers)
{
    EXPECT_EQ(Eval(S(u"[Last Name]")).ToString(), S(u"Smith"));
    EXPECT_EQ(Eval(S(u"Last Name")).ToString(), S(u"Smith")) << "blanks belong to a plain name";
    EXPECT_EQ(Eval(S(u"  Last Name  ")).ToString(), S(u"Smith"));
    EXPECT_EQ(Eval(S(u"Orders.Qty")).ToInt(), 3) << "by caption";
    EXPECT_EQ(Eval(S(u"OrdersTable.Qty")).ToInt(), 3) << "by data set name";
    EXPECT_EQ(Eval(S(u"Main.Orders.Qty")).ToInt(), 3) << "the first qualifier is dropped";
    EXPECT_EQ(Eval(S(u"[orders.qty]")).ToInt(), 3);
    EXPECT_EQ(ParseError(S(u"Nope.Qty")), S(u"Field 'Nope.Qty' not found"));
    EXPECT_EQ(ParseError(S(u"[No Such]")), S(u"Field 'No Such' not found"));
}

TEST_F(ExprParserTest, FunctionNamesNeedAParenthesis)
{
    EXPECT_EQ(Tree(S(u"upper([Name])")), S(u"upper([Name])")) << "the name is kept as written";
    EXPECT_EQ(Tree(S(u"UPPER  ([Name])")), S(u"UPPER([Name])"));
    EXPECT_EQ(ParseError(S(u"UPPER")), S(u"Field 'UPPER' not found"));
    EXPECT_EQ(ParseError(S(u"NOSUCH(1)")), S(u"Unknown function 'NOSUCH'"));
    EXPECT_EQ(ParseError(S(u"UPPER(LeftStr ([Name], 2))")), S(u"Unknown function 'LeftStr'"));
    EXPECT_EQ(ParseError(S(u"Qty (1)")), S(u"Unknown function 'Qty'")) << "even when the name is a field";
    EXPECT_EQ(Eval(S(u"left([Name], 1) + Right([Name], 1)")).ToString(), S(u"Ae"));
    EXPECT_EQ(Eval(S(u"upper([Name])")).ToString(), S(u"ALICE"));

    TExprParser parser(Manager, S(u"count(*)"));
    ASSERT_TRUE(parser.Root());
    EXPECT_EQ(parser.Root()->FKind, enFunc);
    EXPECT_EQ(parser.Root()->FData.ToString(), S(u"COUNT(*)"));
    EXPECT_EQ(parser.Root()->FArgs, nullptr);
    EXPECT_EQ(parser.Root()->FDataType, edtInteger);
}

TEST_F(ExprParserTest, QuotedLiterals)
{
    EXPECT_EQ(Eval(S(u"'It''s'")).ToString(), S(u"It's"));
    EXPECT_EQ(Eval(S(u"''")).ToString(), QString());
    const QString long600 = QString(600, u'x');
    const QString kept = Eval(u'\'' + long600 + u'\'').ToString();
    EXPECT_EQ(kept.size(), 512);
    // The rest of a long literal is still read: what follows parses.
    EXPECT_EQ(Eval(u'\'' + long600 + QStringLiteral("' + 'y'")).ToString().size(), 513);
    EXPECT_EQ(Eval(S(u"'/* not a comment */'")).ToString(), S(u"/* not a comment */"));
}

TEST_F(ExprParserTest, Comments)
{
    EXPECT_EQ(Eval(S(u"/* note */ [Qty]")).ToInt(), 3);
    EXPECT_EQ(Eval(S(u"[Qty] + /* two */ 2")).ToDouble(), 5.0);
    EXPECT_EQ(ParseError(S(u"/* a*b */ [Qty]")), S(u"Invalid expression character: '*'"));
    EXPECT_EQ(ParseError(S(u"[Qty] /* open")), S(u"Invalid expression character: ''"));
}

// The message, and the place as data: the text and the 0-based position
// where the parser stopped (the start of the token it was looking at).
TEST_F(ExprParserTest, ErrorMessagesNameTheTokenAndThePlaceItsPosition)
{
    struct Row {
        const char16_t* Text;
        const char16_t* Message;
        int Position;
    };
    const Row rows[] = {
        {u"[Qty] IN ()", u"IN predicate list may not be empty", 10},
        {u"[Qty] IN (1, 2", u"')' or ',' expected but nothing found", 14},
        {u"[Qty] IN (1 2)", u"')' or ',' expected but '2' found", 12},
        {u"[Qty] IN 'a'", u"'(' expected but ''a'' found", 9},
        {u"[Qty] IN 1", u"'(' expected but '1' found", 9},
        {u"SUBSTRING('abc', 1 2)", u"')' or ',' expected but '2' found", 19},
        {u"(1 + 2", u"')' expected but nothing found", 6},
        {u"(1 + 2 'x')", u"')' expected but ''x'' found", 7},
        {u"5 +", u"Expression expected but nothing found", 3},
        {u"5 + * 2", u"Expression expected but '*' found", 4},
        {u"", u"", -1},
        {u"   ", u"Expression expected but nothing found", 3},
        {u"'abc", u"Unterminated string constant", 0},
        {u"[Qty", u"Unterminated field name", 0},
        {u"[Qty] # 2", u"Invalid expression character: '#'", 6},
        {u"[Qty] ) ", u"Expression incorrectly terminated", 6},
        {u"UPPER()", u"Type mismatch in expression", 6},
        {u"[Qty] IN (1,)", u"Expression expected but ')' found", 12},
        {u"[Qty] + [Nope]", u"Field 'Nope' not found", 8},
    };
    for (const Row& row : rows) {
        const QString text = S(row.Text);
        SCOPED_TRACE(text.toStdString());
        TErrorPlace place;
        QString message;
        try {
            TExprParser parser(Manager, text, Variables());
        } catch (const EKVXError& e) {
            message = e.Message();
            place = e.Place();
        }
        EXPECT_EQ(message, S(row.Message));
        EXPECT_EQ(place.Expression, message.isEmpty() ? QString() : text);
        EXPECT_EQ(place.Position, row.Position);
    }
}

// An error of the evaluation names the expression, at no position; so does
// one raised again by a tree the cache kept.
TEST_F(ExprParserTest, EvaluationErrorsNameTheExpression)
{
    for (int call = 0; call < 2; ++call) {
        try {
            Eval(S(u"[Qty] / ([Qty] - 3)"));
            ADD_FAILURE() << "no error";
        } catch (const EKVXError& e) {
            EXPECT_EQ(e.Place().Expression, S(u"[Qty] / ([Qty] - 3)"));
            EXPECT_EQ(e.Place().Position, -1);
            EXPECT_TRUE(e.Place().Component.isEmpty());
        }
    }
}

TEST_F(ExprParserTest, ErrorsAreDatabaseErrors)
{
    EXPECT_THROW(TExprParser(Manager, S(u"[Qty] IN ()")), EDatabaseError);
    EXPECT_THROW(TExprParser(Manager, S(u"[Nope]")), EDatabaseError);
    EXPECT_THROW(TExprParser(Manager, S(u"1-2")), EConvertError);
}

TEST_F(ExprParserTest, EmptyTextHasNoRoot)
{
    TExprParser parser(Manager, QString());
    EXPECT_EQ(parser.Root(), nullptr);
    Variant v(1);
    parser.Evaluate(v);
    EXPECT_TRUE(v.IsNull());
    EXPECT_TRUE(EvaluateValue(Manager, QString()).IsNull());
}

TEST_F(ExprParserTest, TextEndsAtTheFirstNul)
{
    QString text = S(u"[Qty] + 1");
    text += QChar();
    text += S(u" garbage ((");
    EXPECT_EQ(Eval(text).ToDouble(), 4.0);
}

TEST_F(ExprParserTest, VariablesResolveThroughTheCallback)
{
    Vars[S(u"RATE")] = {ftFloat, Variant(1.5)};
    Vars[S(u"QTY")] = {ftFloat, Variant(100.0)};
    EXPECT_EQ(Eval(S(u"[Price] * Rate")).ToDouble(), 3.75);
    EXPECT_EQ(LastCallbackName, S(u"Rate")) << "the name as written";
    CallbackCalls = 0;
    EXPECT_EQ(Eval(S(u"[Qty]")).ToInt(), 3) << "a field wins over a variable of the same name";
    EXPECT_EQ(CallbackCalls, 0);
    EXPECT_EQ(ParseError(S(u"[Unknown Thing]")), S(u"Field 'Unknown Thing' not found"));
    EXPECT_EQ(LastCallbackName, S(u"Unknown Thing"));

    // The callback's starting values.
    bool seenAccept = true;
    TFieldType seenType = ftUnknown;
    Variant seenValue(5);
    TGetVariableEvent probe = [&](QObject* sender, const QString&, bool& accept, TFieldType& type, Variant& value) {
        EXPECT_EQ(sender, nullptr);
        seenAccept = accept;
        seenType = type;
        seenValue = value;
    };
    EXPECT_THROW(EvaluateValue(Manager, S(u"Nothing Here"), probe), EDatabaseError);
    EXPECT_FALSE(seenAccept);
    EXPECT_EQ(seenType, ftString);
    EXPECT_TRUE(seenValue.IsEmpty());
}

TEST_F(ExprParserTest, VariableNodesAreConstants)
{
    Vars[S(u"RATE")] = {ftFloat, Variant(1.5)};
    TExprParser parser(Manager, S(u"Rate"), Variables());
    EXPECT_EQ(parser.Root()->FKind, enConst);
    EXPECT_EQ(parser.Root()->FDataType, edtFloat);
    EXPECT_FALSE(ValueIsField(Manager, S(u"Rate"), Variables()));
}

TEST_F(ExprParserTest, NamesWithoutADataManager)
{
    EXPECT_EQ(EvaluateValue(nullptr, S(u"1 + 1")).ToDouble(), 2.0);
    try {
        EvaluateValue(nullptr, S(u"[Qty]"));
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), S(u"Field 'Qty' not found"));
    }
    TKVXDataManager empty;
    EXPECT_THROW(EvaluateValue(&empty, S(u"[Qty]")), EDatabaseError);
}

TEST_F(ExprParserTest, CyrillicNamesStartASymbolButNeedBrackets)
{
    Vars[S(u"ДАТА")] = {ftString, Variant(S(u"x"))};
    // "Дата" as a plain name stops after its first letter: the rest is no
    // symbol character.
    EXPECT_EQ(ParseError(S(u"Дата")), S(u"Field 'Д' not found"));
    Vars[S(u"Д")] = {ftString, Variant(S(u"y"))};
    // ... and the next Cyrillic letter starts another symbol.
    EXPECT_EQ(ParseError(S(u"Дата")), S(u"Expression incorrectly terminated"));
    EXPECT_EQ(Eval(S(u"[Дата]")).ToString(), S(u"x"));
}

TEST_F(ExprParserTest, FarEastLocaleScansWholeNames)
{
    SetFormatLocale(QLocale(QLocale::Japanese, QLocale::Japan));
    // U+30A2 (katakana A) has the low byte 0xA2: part of a Japanese symbol.
    Vars[S(u"Aア")] = {ftString, Variant(S(u"kana"))};
    EXPECT_EQ(Eval(S(u"Aア")).ToString(), S(u"kana"));
    SetFormatLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(ParseError(S(u"Aア")), S(u"Field 'A' not found"));
    EXPECT_EQ(ParseError(S(u"ア")), S(u"Invalid expression character: 'ア'"));
}

// --- hostile input --------------------------------------------------------------

TEST_F(ExprParserTest, DeepNestingFailsWithAClearError)
{
    const QString deep = QString(10000, u'(') + u'1' + QString(10000, u')');
    EXPECT_EQ(ParseError(deep), S(u"Expression nested too deeply"));
    const QString calls = QString(S(u"ABS(")).repeated(10000) + u'1' + QString(10000, u')');
    EXPECT_EQ(ParseError(calls), S(u"Expression nested too deeply"));
    EXPECT_EQ(ParseError(QString(S(u"- ")).repeated(100000) + u'1'), S(u"Expression nested too deeply"));
    // Within the limit, nesting works.
    const int ok = TExprParser::MaxNesting - 1;
    EXPECT_EQ(Eval(QString(ok, u'(') + u'7' + QString(ok, u')')).ToDouble(), 7.0);
}

TEST_F(ExprParserTest, LongChainsFailWithAClearError)
{
    // A left-deep chain is as tall as it is long: bounded like nesting.
    const QString chain = S(u"1") + QString(S(u" + 1")).repeated(5000);
    EXPECT_EQ(ParseError(chain), S(u"Expression nested too deeply"));
    const QString fine = S(u"1") + QString(S(u" + 1")).repeated(500);
    EXPECT_EQ(Eval(fine).ToDouble(), 501.0);
}

TEST_F(ExprParserTest, OneMegabyteExpressionsFinishQuickly)
{
    const auto start = std::chrono::steady_clock::now();
    const qsizetype size = 1 << 20; // characters
    // A huge literal, a huge name, a huge comment, blanks, an IN list.
    EXPECT_EQ(Eval(u'\'' + QString(size, u'a') + u'\'').ToString().size(), 512);
    EXPECT_EQ(ParseError(QString(size, u'a')).left(8), S(u"Field 'a"));
    EXPECT_EQ(Eval(S(u"/*") + QString(size, u' ') + S(u"*/ 3")).ToDouble(), 3.0);
    EXPECT_EQ(Eval(QString(size, u' ') + u'4').ToDouble(), 4.0);
    EXPECT_EQ(ParseError(QString(size, u'(')), S(u"Expression nested too deeply"));
    QString list = S(u"[Qty] IN (1");
    list += QString(S(u", 1")).repeated(size / 3);
    list += u')';
    EXPECT_FALSE(Eval(list).ToBool());
    EXPECT_FALSE(ParseError(QString(size, u'9')).isEmpty()) << "a number too large for a double";
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 30.0) << "linear work, not quadratic";
}

TEST_F(ExprParserTest, RandomBytesNeverCrash)
{
    QRandomGenerator rng(20240611);
    const char16_t alphabet[] = u"()[]'*/+-,=<>.0123456789 eEaAnNdDoOrRiIlLkKsStTuU_%#\x0414\x3042\x0000";
    int parsed = 0;
    for (int i = 0; i < 3000; ++i) {
        QString text;
        const int length = int(rng.bounded(40));
        for (int j = 0; j < length; ++j) {
            if (rng.bounded(4) == 0)
                text += QChar(char16_t(rng.bounded(0x10000)));
            else
                text += QChar(alphabet[rng.bounded(int(std::size(alphabet)) - 1)]);
        }
        try {
            Eval(text);
            ++parsed;
        } catch (const EKVXError&) {
        }
    }
    EXPECT_GT(parsed, 0);
}

} // namespace
