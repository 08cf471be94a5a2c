#pragma once
// The expression parser: one TExprParser per expression text. The
// constructor tokenises and parses the text, resolves every name (fields of
// the data manager first, then the variable callback), types the nodes and
// checks the finished tree; any failure raises EDatabaseError (or the
// conversion error of a malformed literal) out of the constructor.
//
// Language summary (docs/EXPRESSIONS.md has the full description):
//   OR < AND < NOT < comparisons, LIKE, IN, IS [NOT] NULL < + - < * / < primary
// Keywords and function names ignore ASCII case. Names: plain (words joined
// by blanks, ending before a word that is an operator), in square brackets,
// or qualified by a data set ("Orders.Amount").

#include "expr/expr_nodes.h"

#include <QString>
#include <memory>

namespace vorel {

struct TExprEvalContext;

class TExprParser {
public:
    // Deepest nesting of parentheses, calls and IN lists, and the tallest
    // tree, that a parse accepts. Both keep the recursive parser, checker and
    // evaluator far from the end of the stack; deeper input fails with
    // "Expression nested too deeply".
    static constexpr int MaxNesting = 256;
    static constexpr int MaxTreeDepth = 1000;

    TExprParser(TKVXDataManager* dataManager, const QString& text, TGetVariableEvent variableEvent = {});
    ~TExprParser();
    TExprParser(const TExprParser&) = delete;
    TExprParser& operator=(const TExprParser&) = delete;

    // Parses text (the constructor calls it for a non-empty text).
    void SetExprParams(const QString& text);

    // The root of the tree; nullptr for an empty text.
    TExprNode* Root() const { return FRoot; }
    TFilterExpr* Filter() const { return FFilter.get(); }
    const QString& Text() const { return FText; }
    // Whether the parse depended on the format settings: a string constant
    // read as a date, time or currency amount, or a non-ASCII character that
    // the far-east symbol scan treats differently.
    bool LocaleSensitive() const { return FLocaleSensitive; }

    // Evaluates the tree, reading fields afresh through the data manager.
    // A parser without a root gives Null.
    void Evaluate(Variant& result) const;

private:
    // Lexer.
    void NextToken();
    bool NextTokenIsLParen() const;
    QString TokenName() const;
    bool TokenSymbolIs(QStringView text) const;
    TExprFunction TokenSymbolIsFunc(QStringView text) const;
    QChar Ch(qsizetype pos) const { return pos < FText.size() ? FText[pos] : QChar(); }
    TExprToken ScanSymbol(qsizetype& p) const;
    qsizetype ScanWord(qsizetype p, bool first) const;
    QStringView OperatorWordAt(qsizetype p) const;

    // Grammar, lowest precedence first.
    TExprNode* ParseExpr();
    TExprNode* ParseExpr2();
    TExprNode* ParseExpr3();
    TExprNode* ParseExpr4();
    TExprNode* ParseExpr5();
    TExprNode* ParseExpr6();
    TExprNode* ParseExpr7();
    TExprNode* ParseFunctionCall(TExprFunction function);
    TExprNode* ParseInList(TExprNode* left);
    TExprNode* Binary(KVCANOp op, TExprNode* left, TExprNode* right);

    std::unique_ptr<TFilterExpr> FFilter;
    QString FText;
    qsizetype FSourcePtr = 0; // where the lexer continues (index into FText)
    qsizetype FTokenPtr = 0;  // start of the current token
    QString FTokenString;
    QString FStrTrue;
    QString FStrFalse;
    TExprToken FToken = etEnd;
    TExprToken FPrevToken = etEnd;
    bool FNumericLit = false;
    bool FFarEast = false;  // the symbol scan of Chinese, Japanese and Korean locales
    bool FJapanese = false;
    bool FLocaleSensitive = false;
    int FNesting = 0;
    TKVXDataManager* FDataManager;
    TExprNode* FRoot = nullptr;
};

// Evaluates a node of a parsed tree (the root for the whole expression).
// Fields are looked up again by name; the result of a missing node is Null.
void EvalNode(const TExprNode* node, Variant& result, const TFilterExpr& filter);

} // namespace vorel
