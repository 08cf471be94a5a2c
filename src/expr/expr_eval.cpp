// Evaluation of a parsed tree: fields, constants and operators. Calls are
// in expr_functions.cpp.

#include "expr/expr_eval_p.h"

#include "expr/expr_parser.h"
#include "foundation/values/errors.h"

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
    case canADD: return EvalAddChain(node);
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
    case canLIKE: {
        const Variant left = Eval(node->FLeft);
        const Variant right = Eval(node->FRight);
        // A missing value or pattern compares as "=" does, so that a
        // condition on a record with a missing value is false, not an error.
        if (left.IsNull() || right.IsNull())
            return Variant(left.IsNull() && right.IsNull());
        return Variant(ExprLike(ExprText(left), ExprText(right)));
    }
    case canIN: {
        // Every element is evaluated, as both sides of AND are, so an error
        // in the list surfaces whatever the value.
        const Variant left = Eval(node->FLeft);
        bool found = false;
        for (const TExprNode* element : *node->FArgs) {
            if (left.Equals(Eval(element)))
                found = true;
        }
        return Variant(found);
    }
    case canMINUS: return Eval(node->FLeft).Negate();
    default: return Variant::Null();
    }
}

bool ExprLike(QStringView text, QStringView pattern)
{
    // Greedy match with one point to come back to: the last '%' seen and the
    // text position it has swallowed up to. Linear in practice, at worst
    // text length times pattern length.
    qsizetype t = 0;
    qsizetype p = 0;
    qsizetype starP = -1;
    qsizetype starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == u'_' || pattern[p] == text[t])) {
            ++t;
            ++p;
        } else if (p < pattern.size() && pattern[p] == u'%') {
            starP = p++;
            starT = t;
        } else if (starP >= 0) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'%')
        ++p;
    return p == pattern.size();
}

// A + B + C parses as ((A + B) + C). Evaluated step by step, each string
// step would copy the whole text so far; here the operands are evaluated in
// the same order and the strings appended to one growing buffer while every
// step so far joins two strings. Any other step is the variant addition,
// so results and errors are those of the step-by-step evaluation.
Variant TExprEvaluator::EvalAddChain(const TExprNode* node) const
{
    // A chain longer than the buffer continues through recursion (Eval of
    // the head below is itself a chain).
    const TExprNode* operands[16];
    int count = 0;
    const TExprNode* head = node;
    while (head->FKind == enOperator && head->FOperator == canADD && count < 16) {
        operands[count++] = head->FRight;
        head = head->FLeft;
    }
    Variant sum = Eval(head);
    QString text;            // the running string while joining strings
    bool inText = false;     // sum lives in text
    for (int i = count - 1; i >= 0; --i) {
        Variant next = Eval(operands[i]);
        if (next.IsString() && (inText || sum.IsString())) {
            if (!inText) {
                text.reserve(sum.ToString().size() + next.ToString().size() + 32);
                text.append(sum.ToString());
                inText = true;
            }
            text.append(next.ToString());
            continue;
        }
        if (inText) {
            sum = Variant(std::move(text));
            text = QString();
            inText = false;
        }
        sum = sum + next;
    }
    if (inText)
        return Variant(std::move(text));
    return sum;
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
