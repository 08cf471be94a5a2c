#pragma once
// The expression language's entry points for the rest of Vorel:
//   EvaluateValue      the value of an expression (conditions, groups, outlines)
//   ValueIsField       whether an expression is a bare field reference
//   GetCalculatedValue evaluate, render as text and fold into a running calculation
//
// Each call behaves as if the expression were parsed afresh: fields are read
// from the data sets' current records, variables are looked up through the
// callback and the types are checked at the moment of the call. Parsed trees
// are cached per thread (keyed by the text and the data manager) and re-used
// only after checking that every name still resolves the same way, so a
// report pays for one parse per expression rather than one per record.

#include "expr/expr_nodes.h"
#include "foundation/values/errors.h"
#include "foundation/records/records.h"

#include <QObject>

namespace vorel {

// A floating-point function given an argument outside its domain
// ("Invalid floating point operation") or a result too large for a double
// ("Floating point overflow"). Poles (LN(0), 1 / 0) raise EZeroDivide.
class EMathError : public EKVXError {
public:
    using EKVXError::EKVXError;
};

// The value of the expression; Null for an empty expression. Parse and
// evaluation errors reach the caller.
Variant EvaluateValue(TKVXDataManager* dataManager, const QString& expression,
                      const TGetVariableEvent& variableEvent = {});

// True when the expression (parsed; parse errors reach the caller) is a
// field reference alone; false for an empty expression and for a name that
// resolved to a variable.
bool ValueIsField(TKVXDataManager* dataManager, const QString& expression,
                  const TGetVariableEvent& variableEvent = {});
// The same, and whether the answer holds for good: an expression whose root
// is no single name (an operator, a function call, a literal) is never a
// field, whatever the data sets and variables hold later; a single name may
// become a field or stop being one.
bool ValueIsField(TKVXDataManager* dataManager, const QString& expression, const TGetVariableEvent& variableEvent,
                  bool& settled);

// Whether the expression reads a field of the data set (an expression that
// does not parse reads none).
bool ExpressionReadsDataSet(TKVXDataManager* dataManager, const QString& expression, const TDataSet* dataSet,
                            const TGetVariableEvent& variableEvent = {});

// Whether the expression names one of the variables or system data items
// (compared without regard to case; an expression that does not parse
// names none).
bool ExpressionNamesVariable(TKVXDataManager* dataManager, const QString& expression, const QStringList& names,
                             const TGetVariableEvent& variableEvent = {});

// Evaluates the expression, turns the value into text through the format
// descriptor (GetValueStr) and folds it into the running calculation:
//   ctNothing  the text itself
//   ctCount    current + 1
//   ctSum      current + value
//   ctAverage  the mean of every value seen since the last reset (their sum
//              over their count, kept in running)
//   ctLowest   value first, then the lesser
//   ctHighest  value first, then the greater
// where current is the text of currentValue as a number and "first" means
// currentValue is Null (or Empty): the running value itself, not the value
// the owner printed last, says whether the aggregate has begun. Average,
// lowest and highest pass over a Null value. Without a running state an
// average can only take the mean of current and value. The result is text.
// Parse errors reach the caller; an evaluation error returns currentValue
// unchanged, or, without a calculation, an empty text: a value that cannot
// be computed for this record prints nothing (the previous record's value
// would print a wrong one). The error's message goes to failure when given.
Variant GetCalculatedValue(TKVXDataManager* dataManager, const QString& expression, const QString& format,
                           TCalcType calcType, const Variant& previousValue, const Variant& currentValue,
                           const TGetVariableEvent& variableEvent = {},
                           TKVXCalculation::TRunning* running = nullptr, QString* failure = nullptr);

// The parse cache of the calling thread: entries in use, and counters of
// parses and of evaluations served from a cached tree (for tests and the
// benchmark).
struct TExprCacheStats {
    int Entries = 0;
    qint64 Parses = 0;
    qint64 Hits = 0;
};
TExprCacheStats ExprCacheStats();
void ClearExprCache();

} // namespace vorel
