// Expression typing and the tree check.

#include "expr/expr_typing_p.h"

#include "data/dataset.h"
#include "foundation/values/errors.h"
#include "foundation/locale/format_settings.h"

#include <cmath>

namespace vorel {

// Indexed by the classic field type order of TFieldType.
const std::array<int, FieldTypeCount> FldTypeMap = {
    edtUnknown,         // ftUnknown
    edtString,          // ftString
    edtSmallint,        // ftSmallint
    edtInteger,         // ftInteger
    edtWord,            // ftWord
    edtBoolean,         // ftBoolean
    edtFloat,           // ftFloat
    edtFloat,           // ftCurrency
    edtBCD,             // ftBCD
    edtDate,            // ftDate
    edtTime,            // ftTime
    edtDateTime,        // ftDateTime
    edtBytes,           // ftBytes
    edtVarBytes,        // ftVarBytes
    edtInteger,         // ftAutoInc
    edtBlob,            // ftBlob
    edtBlob,            // ftMemo
    edtBlob,            // ftGraphic
    edtBlob,            // ftFmtMemo
    edtBlob,            // ftParadoxOle
    edtBlob,            // ftDBaseOle
    edtBlob,            // ftTypedBinary
    edtCursor,          // ftCursor
    edtString,          // ftFixedChar
    edtString,          // ftWideString
    edtLargeint,        // ftLargeint
    edtADT,             // ftADT
    edtArray,           // ftArray
    edtReference,       // ftReference
    edtTable,           // ftDataSet
    edtBlob,            // ftOraBlob
    edtBlob,            // ftOraClob
    edtString,          // ftVariant
    edtString,          // ftInterface
    edtString,          // ftIDispatch
    edtString,          // ftGuid
    edtSQLTimeStamp,    // ftTimeStamp
    edtFmtBCD,          // ftFMTBcd
    edtWideText,        // ftFixedWideChar
    edtWideText,        // ftWideMemo
    edtOraTimeStamp,    // ftOraTimeStamp
    edtOraInterval,     // ftOraInterval
    edtInteger,         // ftLongWord
    edtUnknown,         // ftShortint
    edtUnknown,         // ftByte
    edtFloat,           // ftExtended
    edtUnknown,         // ftConnection
    edtUnknown,         // ftParams
    edtUnknown,         // ftStream
    edtTimeStampOffset, // ftTimeStampOffset
    edtUnknown,         // ftObject
    edtSingle,          // ftSingle
};

int ExprTypeOfField(TFieldType type)
{
    const int index = int(type);
    return index >= 0 && index < FieldTypeCount ? FldTypeMap[index] : edtUnknown;
}

namespace {

[[noreturn]] void TypeMismatch()
{
    DatabaseError(QStringLiteral("Type mismatch in expression"));
}

} // namespace

double DotStrToFloat(const QString& text)
{
    static const TFormatSettings dot = [] {
        TFormatSettings fs;
        fs.DecimalSeparator = u'.';
        fs.ThousandSeparator = u',';
        return fs;
    }();
    double value = 0;
    if (!TryStrToFloat(text, value, dot) || !std::isfinite(value))
        throw EConvertError(FormatText(QStringLiteral("'%s' is not a valid floating point value"), {text}));
    return value;
}

bool TryIsoDateTime(const QString& text, double& value)
{
    // The forms a form writes: yyyy-mm-dd, optionally with hh:nn:ss after a
    // blank or "T"; read as the data sets read ISO texts.
    const QString t = text.trimmed();
    if ((t.size() != 10 && t.size() != 19) || t[4] != u'-')
        return false;
    return ParseIsoDateTime(t, ftDateTime, value);
}

double ExprStrToDate(const QString& text)
{
    double value = 0;
    if (TryIsoDateTime(text, value))
        return value;
    return StrToDate(text);
}

// --- result types of calls ---------------------------------------------------------

void GetFuncResultInfo(TExprNode* node)
{
    const TExprFunction f = node->FFunction;
    if (!node->FArgs && f != efCountStar && f != efGetDate)
        TypeMismatch();
    switch (f) {
    case efSum:
    case efAvg: node->FDataType = edtFloat; break;
    case efMin:
    case efMax: node->FDataType = node->FArgs->at(0)->FDataType; break;
    case efCount:
    case efCountStar:
    case efYear:
    case efMonth:
    case efDay:
    case efHour:
    case efMinute:
    case efSecond:
    case efInt:
    case efStrToInt:
    case efRound:
    case efDiv: node->FDataType = edtInteger; break;
    case efGetDate: node->FDataType = edtDateTime; break;
    case efStrToDate:
    case efDate: node->FDataType = edtDate; break;
    case efTime: node->FDataType = edtTime; break;
    case efUpper:
    case efLower:
    case efSubstring:
    case efTrim:
    case efTrimLeft:
    case efTrimRight:
    case efIntToStr:
    case efFloatToStr:
    case efDateToStr:
    case efChr: node->FDataType = edtString; break;
    case efSin:
    case efArcSin:
    case efCos:
    case efArcCos:
    case efTan:
    case efArcTan:
    case efFrac:
    case efExp:
    case efLn:
    case efLog:
    case efSqr:
    case efSqrt:
    case efAbs:
    case efPower:
    case efRandom:
    case efStrToFloat:
    case efOrd: node->FDataType = edtFloat; break;
    case efLeft:
    case efRight:
    case efReplace:
    case efFormat:
    case efFormatFloat: node->FDataType = edtString; break;
    case efLength:
    case efPos: node->FDataType = edtInteger; break;
    case efCoalesce:
        // The first argument with a type: COALESCE(NULL, [Qty]) is a number.
        for (const TExprNode* arg : *node->FArgs) {
            if (arg->FDataType != edtUnknown) {
                node->FDataType = arg->FDataType;
                break;
            }
        }
        break;
    case efIif:
        if (node->FArgs->size() < 2)
            throw EListError(QStringLiteral("List index out of bounds (1)"));
        node->FDataType = (*node->FArgs)[1]->FDataType;
        break;
    case efNone: break;
    }
}

// --- arithmetic ------------------------------------------------------------------------

// A text answered by the variable lookup (a report variable, a parameter
// or system data that is text), as opposed to a text written in the
// expression.
bool IsVariableText(const TExprNode* node, int type)
{
    return type == edtString && node->FKind == enConst && node->FBinding >= 0;
}

void TypeCheckArithOp(TExprNode* node)
{
    TExprNode* left = node->FLeft;
    TExprNode* right = node->FRight;
    const int lt = left->FDataType;
    const int rt = right->FDataType;
    const KVCANOp op = node->FOperator;
    if (IsExprNumeric(lt) && IsExprNumeric(rt)) {
        node->FDataType = edtFloat;
    } else if (lt == edtString && rt == edtString && op == canADD) {
        node->FDataType = edtString;
    } else if (IsExprDateLike(lt) && IsExprNumeric(rt) && op == canADD) {
        node->FDataType = edtDateTime;
    } else if (IsExprDateLike(lt) && IsExprNumeric(rt) && op == canSUB) {
        node->FDataType = lt;
    } else if (IsExprDateLike(lt) && IsExprDateLike(rt) && op == canSUB) {
        node->FDataType = edtFloat;
    } else if (lt == edtString && IsExprDateLike(rt) && op == canSUB) {
        // '2012-01-31' - [ShipDate]: the string is read as a date.
        node->FDataType = edtFloat;
        left->FDataType = rt;
    } else if (IsVariableText(left, lt) && IsExprNumeric(rt)) {
        // A report variable holds its value as text (a running sum is kept
        // as "48"): beside a number it is the number, so SubTotal * 0.2
        // computes. Beside a text it stays text ('Total ' + SubTotal).
        left->FDataType = edtFloat;
        node->FDataType = edtFloat;
    } else if (IsExprNumeric(lt) && IsVariableText(right, rt)) {
        right->FDataType = edtFloat;
        node->FDataType = edtFloat;
    } else if (lt == edtString && left->FKind == enConst && IsExprNumeric(rt)) {
        // A string constant before a number is read as a date-time; the
        // result is a date-time for + and -, a number otherwise.
        left->FDataType = edtDateTime;
        node->FDataType = (op == canADD || op == canSUB) ? edtDateTime : edtFloat;
    } else {
        TypeMismatch();
    }
}

void TypeCheckNegation(TExprNode* node)
{
    if (!IsExprNumeric(node->FLeft->FDataType))
        TypeMismatch();
    node->FDataType = node->FLeft->FDataType;
}

// --- comparisons -----------------------------------------------------------------------

void TypeCheckComparison(TExprNode* node)
{
    TExprNode* left = node->FLeft;
    TExprNode* right = node->FRight;
    node->FDataType = edtBoolean;
    if (node->FOperator == canLIKE) {
        // A pattern is text whatever it is matched against: [Qty] LIKE '1%'
        // matches the digits rather than reading '1%' as a number. Memos
        // match as text; binary fields have none.
        if (left->FDataType == edtBytes || right->FDataType == edtBytes)
            TypeMismatch();
        if (right->FKind == enConst && right->FBinding < 0)
            right->FDataType = edtString;
        return;
    }
    if (left->FKind == enField && right->FKind == enConst)
        right->FDataType = left->FDataType;
    else if (right->FKind == enField && left->FKind == enConst)
        left->FDataType = right->FDataType;

    if (IsExprBlobLike(left->FDataType) || IsExprBlobLike(right->FDataType))
        TypeMismatch();

    if (IsExprDateLike(left->FDataType) && right->FDataType == edtString)
        right->FDataType = left->FDataType;
    else if (IsExprDateLike(right->FDataType) && left->FDataType == edtString)
        left->FDataType = right->FDataType;
}

// --- tree check --------------------------------------------------------------------------

namespace {

bool IsNullComparedWithField(const TExprNode* node, const TExprNode* parent)
{
    if (!parent || parent->FKind != enOperator)
        return false;
    const KVCANOp op = parent->FOperator;
    if (op != canEQ && op != canNE && op != canLIKE)
        return false;
    const TExprNode* other = parent->FLeft == node ? parent->FRight : parent->FLeft;
    return other && other->FKind == enField;
}

double TimeOrDateTime(const QString& text, const char16_t* what)
{
    double value = 0;
    if (!TryIsoDateTime(text, value) && !TryStrToDateTime(text, value))
        throw EConvertError(FormatText(QStringLiteral("'%s' is not a valid %s"), {text, QString::fromUtf16(what)}));
    return value;
}

qint64 IntegerConstant(const Variant& value)
{
    // Integer texts are read without the locale: "40000", or a float with ".".
    if (value.IsString()) {
        qint64 i = 0;
        if (TryStrToInt64(value.ToString(), i))
            return i;
        return Variant(DotStrToFloat(value.ToString())).ToInt64();
    }
    return value.ToInt64();
}

void CheckTree(TExprNode* node, const TExprNode* parent, TFilterExpr& filter, bool& localeSensitive)
{
    if (!node)
        return;
    switch (node->FKind) {
    case enField: {
        const TExprBinding& binding = filter.FBindings[size_t(node->FBinding)];
        const TFieldKind kind = binding.Kind;
        if (kind == fkCalculated || kind == fkLookup || kind == fkAggregate)
            DatabaseErrorFmt(QStringLiteral("Field '%s' cannot be used in an expression"),
                             {binding.Field->FieldName()});
        break;
    }
    case enConst:
        if (node->FBinding >= 0)
            filter.FBindings[size_t(node->FBinding)].Parent = const_cast<TExprNode*>(parent);
        node->FValue = CheckConstant(node, parent, node->FData, localeSensitive);
        break;
    case enOperator:
    case enFunc:
        CheckTree(node->FLeft, node, filter, localeSensitive);
        CheckTree(node->FRight, node, filter, localeSensitive);
        if (node->FArgs) {
            for (TExprNode* arg : *node->FArgs)
                CheckTree(arg, node, filter, localeSensitive);
        }
        break;
    }
}

} // namespace

Variant CheckConstant(const TExprNode* node, const TExprNode* parent, const Variant& value, bool& localeSensitive)
{
    if (value.IsNull()) {
        if (IsNullComparedWithField(node, parent)) {
            // "= NULL" and "<> NULL" against a field mean IS [NOT] NULL.
            if (parent->FOperator == canLIKE && parent->FRight == node)
                DatabaseError(QStringLiteral("NULL only allowed with '=' and '<>'"));
            return value;
        }
        // Elsewhere a null constant is a valid value of every type
        // (IIF([A] > 0, [A], NULL)).
        return value;
    }
    const bool text = value.IsString();
    switch (node->FDataType) {
    case edtString: return value;
    case edtDate:
        if (text) {
            localeSensitive = true;
            return Variant::FromDate(ExprStrToDate(value.ToString()));
        }
        value.ToDouble();
        return value;
    case edtTime:
    case edtDateTime:
        if (text) {
            localeSensitive = true;
            return Variant::FromDate(
                TimeOrDateTime(value.ToString(), node->FDataType == edtTime ? u"time" : u"date and time"));
        }
        value.ToDouble();
        return value;
    case edtBoolean:
        // A real boolean, so [Flag] = True compares true with true (the
        // variant orders a boolean true as -1 against numbers, which would
        // make it differ from the literal's 1).
        return Variant(value.ToBool());
    case edtSmallint:
    case edtInteger:
    case edtLargeint: {
        const qint64 v = IntegerConstant(value);
        if (node->FDataType == edtSmallint && (v < -32768 || v > 32767))
            DatabaseError(QStringLiteral("Constant out of range"));
        if (node->FDataType == edtInteger)
            Variant(v).ToInt();
        if (!text)
            return value;
        // The number the text stands for, unrounded: [Qty] = '2.5' is false.
        qint64 exact = 0;
        if (TryStrToInt64(value.ToString(), exact))
            return Variant(exact);
        return Variant(DotStrToFloat(value.ToString()));
    }
    case edtFloat:
        if (text && node->FBinding >= 0) {
            // A variable's number kept as text, written with the decimal
            // separator of the settings it was made with; none yet is no
            // value.
            const QString number = value.ToString().trimmed();
            double parsed = 0;
            if (number.isEmpty())
                return Variant::Null();
            if (TryStrToFloat(number, parsed))
                return Variant(parsed);
            return Variant(DotStrToFloat(number));
        }
        if (text)
            return Variant(DotStrToFloat(value.ToString()));
        value.ToDouble();
        return value;
    case edtBCD:
        if (text) {
            // Currency texts follow the locale's decimal separator.
            localeSensitive = true;
            return Variant::FromCurrency(StrToFloat(value.ToString()));
        }
        value.CurrencyRaw();
        return value;
    default: DatabaseErrorFmt(QStringLiteral("Constant is not correct type %s"), {value.ToString()});
    }
}

void CheckExprTree(TExprNode* root, TFilterExpr& filter, bool& localeSensitive)
{
    CheckTree(root, nullptr, filter, localeSensitive);
}

} // namespace vorel
