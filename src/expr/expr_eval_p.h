#pragma once
// The tree evaluator shared by TExprParser::Evaluate and the cached entry
// points, and the value conversions of the function library.

#include "expr/expr_nodes.h"

namespace vorel {

// What one evaluation reads besides the tree. Without the per-binding
// arrays, fields are looked up again by name and variables keep the values
// bound while parsing; the cache passes the fields it has just re-resolved
// and the variables' values of the moment.
struct TExprEvalContext {
    const TFilterExpr* Filter = nullptr;
    TField* const* Fields = nullptr; // per binding (null entries for variables)
    const Variant* Values = nullptr; // per binding (variables only)
};

class TExprEvaluator {
public:
    explicit TExprEvaluator(const TExprEvalContext& context) : FContext(context) {}
    Variant Eval(const TExprNode* node) const;

private:
    Variant EvalOperator(const TExprNode* node) const;
    Variant EvalAddChain(const TExprNode* node) const;
    Variant CallFunction(const TExprNode* node) const; // expr_functions.cpp
    // The argument with that 0-based index, evaluated; a call with fewer
    // arguments raises the list index error.
    Variant Arg(const TExprNode* node, size_t index) const;

    const TExprEvalContext& FContext;
};

// The four conversions of the function library.
// Text: Null gives "".
QString ExprText(const Variant& value);
// Strict text: the variant's strict conversion; Null gives "" (a null field
// must not make UPPER([Name]) fail, which inside a running calculation would
// print the previous record's value).
QString ExprStrictText(const Variant& value);
// Number: the strict conversion to a float (a date-time gives its day
// number); Null gives 0.
double ExprNumber(const Variant& value);
// Safe integer: Null gives 0; floats round to the nearest integer (halves to
// even); any failure, or a value outside 32 bits, gives 0.
int ExprSafeInt(const Variant& value);
// The same over 64 bits (INTTOSTR prints identifiers beyond 32 bits).
qint64 ExprSafeInt64(const Variant& value);

// Whether the text matches a LIKE pattern: '%' any run of characters, '_'
// one character, every other character itself (case counts, as with "=").
bool ExprLike(QStringView text, QStringView pattern);

// POWER(b, e): e = 0 gives 1; b = 0 with e > 0 gives 0; whole exponents up to
// 2147483647 in magnitude by repeated squaring; otherwise exp(e * ln b).
double ExprPower(double base, double exponent);

} // namespace vorel
