#pragma once
// The static side of the expression language, used by the parser and by the
// evaluation cache: result types of calls, typing of arithmetic and
// comparisons, and the tree check run after a successful parse.

#include "expr/expr_nodes.h"

namespace vorel {

// Types a call node from its name and arguments. A call without arguments
// other than GETDATE() and COUNT(*) fails with "Type mismatch in expression".
void GetFuncResultInfo(TExprNode* node);
// Types a + - * / node from its operands (may retype a string constant
// operand), or fails with "Type mismatch in expression".
void TypeCheckArithOp(TExprNode* node);
// Types a unary minus node: a number keeps its type; anything else fails
// with "Type mismatch in expression".
void TypeCheckNegation(TExprNode* node);
// Types a comparison or LIKE node (may retype constant operands).
void TypeCheckComparison(TExprNode* node);

// Walks the tree from the root: fields must be data or internal calculated
// fields; every constant must convert to its data type. Records in each
// variable binding the node that uses the variable, so a cached tree can
// re-check a variable's new value with CheckVariableConstant. Sets
// localeSensitive when a string constant was parsed through the locale (dates,
// times, currency), i.e. when the outcome depends on the format settings.
void CheckExprTree(TExprNode* root, TFilterExpr& filter, bool& localeSensitive);

// The tree check of one constant node whose value is `value` (a variable's
// value of the moment), `parent` being the node that uses it (or nullptr).
// Returns the value evaluation uses: a string typed as a date, time, number
// or boolean converted to that type (read as the check read it), else value.
Variant CheckConstant(const TExprNode* node, const TExprNode* parent, const Variant& value, bool& localeSensitive);

// A date written as 'yyyy-mm-dd' or 'yyyy-mm-dd hh:nn:ss' (or with "T"
// before the time), which means the same on every machine.
bool TryIsoDateTime(const QString& text, double& value);
// The date a text stands for: ISO as above, else the locale's short date
// (raising EConvertError "'x' is not a valid date").
double ExprStrToDate(const QString& text);

// A float written with "." as the decimal separator whatever the locale
// (numeric literals, string constants typed as floats); raises EConvertError
// "'x' is not a valid floating point value".
double DotStrToFloat(const QString& text);

} // namespace vorel
