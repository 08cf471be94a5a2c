// Evaluation of a parsed tree: fields, constants and operators. Calls are
// in expr_functions.cpp.

#include "expr/expr_eval_p.h"

#include "expr/expr_parser.h"
#include "foundation/errors.h"

namespace vorel {

Variant TExprEvaluator::Eval(const TExprNode* node) const
{
    if (!node)
        return Variant::Null();
    switch (node->FKind) {
    case enField: {
        const size_t binding = size_t(node->FBinding);
        TField* field = FContext.Fields ? FContext.Fields[binding]
                                        : GetFieldByName(FContext.Filter->FDataManager, node->FData.ToString());
        // The data set may have lost the field since the parse; say so rather
        // than read nothing.
        if (!field)
            DatabaseErrorFmt(QStringLiteral("Field '%s' not found"), {node->FData.ToString()});
        return field->Value();
    }
    case enConst:
        if (FContext.Values && node->FBinding >= 0)
            return FContext.Values[node->FBinding];
        return node->FValue;
    case enOperator: return EvalOperator(node);
    case enFunc: return CallFunction(node);
    }
    return Variant::Null();
}

Variant TExprEvaluator::EvalOperator(const TExprNode* node) const
{
    switch (node->FOperator) {
    case canISBLANK: return Variant(Eval(node->FLeft).IsNull());
    case canNOTBLANK: return Variant(!Eval(node->FLeft).IsNull());
    case canEQ:
    case canNE: {
        const Variant left = Eval(node->FLeft);
        const Variant right = Eval(node->FRight);
        const bool equal = left.Equals(right);
        return Variant(node->FOperator == canEQ ? equal : !equal);
    }
    case canGT:
    case canLT:
    case canGE:
    case canLE: {
        const Variant left = Eval(node->FLeft);
        const Variant right = Eval(node->FRight);
        const int c = left.Compare(right);
        switch (node->FOperator) {
        case canGT: return Variant(c > 0);
        case canLT: return Variant(c < 0);
        case canGE: return Variant(c >= 0);
        default: return Variant(c <= 0);
        }
    }
    case canNOT: return Variant(!Eval(node->FLeft).ToBool());
    case canAND:
    case canOR: {
        // Both sides are always evaluated (no short cut), so an error on
        // either side surfaces.
        const bool left = Eval(node->FLeft).ToBool();
        const bool right = Eval(node->FRight).ToBool();
        return Variant(node->FOperator == canAND ? (left && right) : (left || right));
    }
    case canADD: {
        const Variant left = Eval(node->FLeft);
        return left + Eval(node->FRight);
    }
    case canSUB: {
        const Variant left = Eval(node->FLeft);
        return left - Eval(node->FRight);
    }
    case canMUL: {
        const Variant left = Eval(node->FLeft);
        return left * Eval(node->FRight);
    }
    case canDIV: {
        const Variant left = Eval(node->FLeft);
        return left / Eval(node->FRight);
    }
    default:
        // LIKE and IN make no comparison.
        return Variant::Null();
    }
}

Variant TExprEvaluator::Arg(const TExprNode* node, size_t index) const
{
    if (!node->FArgs || index >= node->FArgs->size())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index));
    return Eval((*node->FArgs)[index]);
}

void EvalNode(const TExprNode* node, Variant& result, const TFilterExpr& filter)
{
    TExprEvalContext context;
    context.Filter = &filter;
    result = TExprEvaluator(context).Eval(node);
}

void TExprParser::Evaluate(Variant& result) const
{
    EvalNode(FRoot, result, *FFilter);
}

} // namespace vorel
