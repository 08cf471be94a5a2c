// The recursive-descent parser and the node store with its name resolution.

#include "expr/expr_parser.h"

#include "expr/expr_typing_p.h"
#include "foundation/values/errors.h"
#include "foundation/locale/format_settings.h"

#include <algorithm>
#include <limits>

namespace vorel {

namespace {

[[noreturn]] void NestedTooDeeply()
{
    DatabaseError(QStringLiteral("Expression nested too deeply"));
}

void UpdateDepth(TExprNode* node)
{
    int depth = 0;
    if (node->FLeft)
        depth = node->FLeft->FDepth;
    if (node->FRight)
        depth = std::max(depth, node->FRight->FDepth);
    if (node->FArgs) {
        for (const TExprNode* arg : *node->FArgs)
            depth = std::max(depth, arg->FDepth);
    }
    node->FDepth = depth + 1;
    if (node->FDepth > TExprParser::MaxTreeDepth)
        NestedTooDeeply();
}

// The data set that the lookup of `name` searches (for the cache to watch),
// following the qualifier rules of the field lookup.
TDataSet* SearchedDataSet(const TKVXDataManager* dm, const QString& name)
{
    if (!dm || dm->Datasets()->Count() == 0)
        return nullptr;
    const qsizetype dot = name.indexOf(u'.');
    if (dot < 0)
        return dm->Datasets()->Items(0)->Dataset();
    QString qualifier = name.left(dot);
    const QString rest = name.mid(dot + 1, 255);
    const qsizetype dot2 = rest.indexOf(u'.');
    if (dot2 >= 0)
        qualifier = rest.left(dot2);
    return FindDatasetByQualifier(dm, qualifier);
}

// A numeric literal: "-?digits" within 64 bits is an integer, anything else
// a float written with "." whatever the locale.
Variant NumericLiteral(const QString& text)
{
    const qsizetype start = text.startsWith(u'-') ? 1 : 0;
    bool digits = text.size() > start;
    for (qsizetype i = start; digits && i < text.size(); ++i)
        digits = text[i].unicode() >= u'0' && text[i].unicode() <= u'9';
    if (digits) {
        bool ok = false;
        const qint64 v = text.toLongLong(&ok);
        if (ok)
            return v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max() ? Variant(int(v))
                                                                                             : Variant(v);
    }
    return Variant(DotStrToFloat(text));
}

} // namespace

// --- node store -------------------------------------------------------------------

TFilterExpr::TFilterExpr(TKVXDataManager* dataManager, TGetVariableEvent variableEvent)
    : FDataManager(dataManager), FVariableEvent(std::move(variableEvent))
{
}

TFilterExpr::~TFilterExpr()
{
    // The list, not the tree, owns the nodes: freeing walks it without recursion.
    TExprNode* node = FNodes;
    while (node) {
        TExprNode* next = node->FNext;
        delete node;
        node = next;
    }
}

TExprNode* TFilterExpr::NewNode(TExprNodeKind kind, KVCANOp op, const Variant& value, TExprNode* left,
                                TExprNode* right)
{
    auto* node = new TExprNode;
    node->FNext = FNodes;
    FNodes = node;
    node->FKind = kind;
    node->FOperator = op;
    node->FData = value;
    node->FValue = value;
    node->FLeft = left;
    node->FRight = right;
    UpdateDepth(node);
    if (kind != enField)
        return node;

    // Fields take precedence over variables of the same name.
    const QString name = value.ToString();
    TExprBinding binding;
    binding.Name = name;
    binding.Node = node;
    if (TField* field = GetFieldByName(FDataManager, name)) {
        binding.IsField = true;
        binding.Field = field;
        binding.DataSet = field->DataSet();
        binding.TypeCode = ExprTypeOfField(field->DataType());
        binding.Kind = field->FieldKind();
        node->FDataType = binding.TypeCode;
    } else {
        bool found = false;
        TFieldType type = ftString;
        Variant variable;
        if (FVariableEvent)
            FVariableEvent(nullptr, name, found, type, variable);
        if (!found)
            DatabaseErrorFmt(QStringLiteral("Field '%s' not found"), {name});
        binding.DataSet = SearchedDataSet(FDataManager, name);
        binding.TypeCode = ExprTypeOfField(type);
        node->FKind = enConst;
        node->FData = variable;
        node->FValue = variable;
        node->FDataType = binding.TypeCode;
    }
    node->FBinding = int(FBindings.size());
    FBindings.push_back(std::move(binding));
    return node;
}

// --- parser ------------------------------------------------------------------------

TExprParser::TExprParser(TKVXDataManager* dataManager, const QString& text, TGetVariableEvent variableEvent)
    : FFilter(std::make_unique<TFilterExpr>(dataManager, std::move(variableEvent))),
      FStrTrue(QStringLiteral("True")),
      FStrFalse(QStringLiteral("False")),
      FDataManager(dataManager)
{
    if (!text.isEmpty())
        SetExprParams(text);
}

TExprParser::~TExprParser() = default;

void TExprParser::SetExprParams(const QString& text)
{
    // The text ends at its first NUL.
    const qsizetype nul = text.indexOf(QChar());
    FText = nul < 0 ? text : text.left(nul);
    FSourcePtr = 0;
    FTokenPtr = 0;
    FToken = etEnd;
    FPrevToken = etEnd;
    FNesting = 0;
    const QLocale::Language language = FormatSettings().Locale.language();
    FJapanese = language == QLocale::Japanese;
    FFarEast = FJapanese || language == QLocale::Chinese || language == QLocale::Korean;

    // An error says in which text and, for one of the syntax (the tokens,
    // the grammar, the names), where the parser stopped: the start of the
    // token it was looking at. What an inner parse (a variable evaluated by
    // the callback) filled stays.
    try {
        NextToken();
        FRoot = ParseExpr();
        if (FToken != etEnd)
            DatabaseError(QStringLiteral("Expression incorrectly terminated"));
    } catch (EKVXError& e) {
        TErrorPlace& place = e.Place();
        if (place.Expression.isEmpty()) {
            place.Expression = FText;
            place.Position = int(std::min<qsizetype>(FTokenPtr, std::numeric_limits<int>::max()));
        }
        throw;
    }
    bool localeSensitive = false;
    try {
        CheckExprTree(FRoot, *FFilter, localeSensitive);
    } catch (EKVXError& e) {
        if (e.Place().Expression.isEmpty())
            e.Place().Expression = FText;
        throw;
    }
    FLocaleSensitive = localeSensitive;
    for (const QChar c : FText) {
        if (c.unicode() >= 0x80) {
            FLocaleSensitive = true;
            break;
        }
    }
}

TExprNode* TExprParser::Binary(KVCANOp op, TExprNode* left, TExprNode* right)
{
    TExprNode* node = FFilter->NewNode(enOperator, op, Variant::Null(), left, right);
    node->FDataType = edtBoolean;
    return node;
}

TExprNode* TExprParser::ParseExpr()
{
    // Parentheses, calls and IN lists come back here; bound the nesting so a
    // hostile text cannot exhaust the stack.
    if (++FNesting > MaxNesting)
        NestedTooDeeply();
    TExprNode* left = ParseExpr2();
    while (TokenSymbolIs(u"OR")) {
        NextToken();
        TExprNode* right = ParseExpr2();
        left = Binary(canOR, left, right);
    }
    --FNesting;
    return left;
}

TExprNode* TExprParser::ParseExpr2()
{
    TExprNode* left = ParseExpr3();
    while (TokenSymbolIs(u"AND")) {
        NextToken();
        TExprNode* right = ParseExpr3();
        left = Binary(canAND, left, right);
    }
    return left;
}

TExprNode* TExprParser::ParseExpr3()
{
    if (TokenSymbolIs(u"NOT")) {
        NextToken();
        TExprNode* operand = ParseExpr4();
        return Binary(canNOT, operand, nullptr);
    }
    return ParseExpr4();
}

TExprNode* TExprParser::ParseExpr4()
{
    TExprNode* left = ParseExpr5();
    KVCANOp op = canNOTDEFINED;
    switch (FToken) {
    case etEQ: op = canEQ; break;
    case etNE: op = canNE; break;
    case etGE: op = canGE; break;
    case etLE: op = canLE; break;
    case etGT: op = canGT; break;
    case etLT: op = canLT; break;
    case etLIKE: op = canLIKE; break;
    case etISNULL:
        NextToken();
        return Binary(canISBLANK, left, nullptr);
    case etISNOTNULL:
        NextToken();
        return Binary(canNOTBLANK, left, nullptr);
    case etIN: return ParseInList(left);
    default: return left; // comparisons do not chain
    }
    NextToken();
    TExprNode* right = ParseExpr5();
    TExprNode* node = Binary(op, left, right);
    TypeCheckComparison(node);
    return node;
}

TExprNode* TExprParser::ParseInList(TExprNode* left)
{
    NextToken();
    if (FToken != etLParen)
        DatabaseErrorFmt(QStringLiteral("'(' expected but %s found"), {TokenName()});
    TExprNode* node = Binary(canIN, left, nullptr);
    NextToken();
    if (FToken == etRParen)
        DatabaseError(QStringLiteral("IN predicate list may not be empty"));
    node->FArgs = std::make_unique<std::vector<TExprNode*>>();
    for (;;) {
        TExprNode* element = ParseExpr();
        // A list compared with a date takes the date's type, so the tree
        // check reads its strings as dates.
        if (IsExprDateLike(left->FDataType))
            element->FDataType = left->FDataType;
        node->FArgs->push_back(element);
        if (FToken == etComma) {
            NextToken();
            continue;
        }
        if (FToken == etRParen)
            break;
        DatabaseErrorFmt(QStringLiteral("')' or ',' expected but %s found"), {TokenName()});
    }
    if (FToken != etRParen)
        DatabaseErrorFmt(QStringLiteral("')' expected but %s found"), {TokenName()});
    UpdateDepth(node);
    NextToken();
    return node;
}

TExprNode* TExprParser::ParseExpr5()
{
    TExprNode* left = ParseExpr6();
    while (FToken == etADD || FToken == etSUB) {
        const KVCANOp op = FToken == etADD ? canADD : canSUB;
        NextToken();
        TExprNode* right = ParseExpr6();
        left = FFilter->NewNode(enOperator, op, Variant::Null(), left, right);
        TypeCheckArithOp(left);
    }
    return left;
}

TExprNode* TExprParser::ParseExpr6()
{
    TExprNode* left = ParseExpr7();
    while (FToken == etMUL || FToken == etDIV) {
        const KVCANOp op = FToken == etMUL ? canMUL : canDIV;
        NextToken();
        TExprNode* right = ParseExpr7();
        left = FFilter->NewNode(enOperator, op, Variant::Null(), left, right);
        TypeCheckArithOp(left);
    }
    return left;
}

TExprNode* TExprParser::ParseFunctionCall(TExprFunction function)
{
    QString name = FTokenString;
    NextToken(); // "("
    NextToken();
    if (function == efCount && FToken == etMUL) {
        name = QStringLiteral("COUNT(*)");
        function = efCountStar;
        NextToken();
    }
    TExprNode* node = FFilter->NewNode(enFunc, canNOTDEFINED, Variant(name), nullptr, nullptr);
    node->FFunction = function;
    if (FToken != etRParen) {
        node->FArgs = std::make_unique<std::vector<TExprNode*>>();
        for (;;) {
            node->FArgs->push_back(ParseExpr());
            if (FToken == etComma) {
                NextToken();
                continue;
            }
            if (FToken == etRParen)
                break;
            DatabaseErrorFmt(QStringLiteral("')' or ',' expected but %s found"), {TokenName()});
        }
        UpdateDepth(node);
    }
    GetFuncResultInfo(node);
    return node;
}

TExprNode* TExprParser::ParseExpr7()
{
    TExprNode* node = nullptr;
    switch (FToken) {
    case etSymbol: {
        TExprFunction function = efNone;
        if (NextTokenIsLParen())
            function = TokenSymbolIsFunc(FTokenString);
        if (function != efNone) {
            node = ParseFunctionCall(function);
        } else if (NextTokenIsLParen() && !TokenSymbolIs(u"NULL") && !TokenSymbolIs(u"NOT") && !TokenSymbolIs(u"AND")
                   && !TokenSymbolIs(u"OR")) {
            // No name is ever followed by a parenthesis, so this was meant as
            // a call: say so rather than look for a field of that name.
            DatabaseErrorFmt(QStringLiteral("Unknown function '%s'"), {FTokenString});
        } else if (TokenSymbolIs(u"NULL")) {
            node = FFilter->NewNode(enConst, canNOTDEFINED, Variant::Null(), nullptr, nullptr);
        } else if (TokenSymbolIs(FStrTrue) || TokenSymbolIs(FStrFalse)) {
            const bool isTrue = TokenSymbolIs(FStrTrue);
            node = FFilter->NewNode(enConst, canNOTDEFINED, Variant::FromByte(isTrue ? 1 : 0), nullptr, nullptr);
            node->FDataType = edtBoolean;
        } else {
            node = FFilter->NewNode(enField, canNOTDEFINED, Variant(FTokenString), nullptr, nullptr);
        }
        break;
    }
    case etName:
        node = FFilter->NewNode(enField, canNOTDEFINED, Variant(FTokenString), nullptr, nullptr);
        break;
    case etLiteral:
        if (FNumericLit) {
            // Whole numbers stay integers (32 bits, else 64) so that large
            // identifiers compare and add exactly; the type class the checks
            // need is "number" either way.
            node = FFilter->NewNode(enConst, canNOTDEFINED, NumericLiteral(FTokenString), nullptr, nullptr);
            node->FDataType = edtFloat;
        } else {
            node = FFilter->NewNode(enConst, canNOTDEFINED, Variant(FTokenString), nullptr, nullptr);
            node->FDataType = edtString;
        }
        break;
    case etLParen:
        NextToken();
        node = ParseExpr();
        if (FToken != etRParen)
            DatabaseErrorFmt(QStringLiteral("')' expected but %s found"), {TokenName()});
        break;
    case etSUB: {
        // A sign before a name, a call or a parenthesis; it binds tighter
        // than * and /. Signs in a row recurse, so they count as nesting.
        if (++FNesting > MaxNesting)
            NestedTooDeeply();
        NextToken();
        TExprNode* operand = ParseExpr7();
        --FNesting;
        node = FFilter->NewNode(enOperator, canMINUS, Variant::Null(), operand, nullptr);
        TypeCheckNegation(node);
        return node; // the operand has read the token after it
    }
    default:
        DatabaseErrorFmt(QStringLiteral("Expression expected but %s found"), {TokenName()});
    }
    NextToken();
    return node;
}

} // namespace vorel
