#pragma once
// The expression tree: tokens, operators, node kinds, the node record, the
// node store, and the expression data type codes the typing rules work on.

#include "data/data_manager.h"
#include "expr/variable_event.h"
#include "foundation/values/variant.h"

#include <QString>
#include <array>
#include <memory>
#include <span>
#include <vector>

namespace vorel {

enum TExprToken {
    etEnd,
    etSymbol,
    etName,
    etLiteral,
    etLParen,
    etRParen,
    etEQ,
    etNE,
    etGE,
    etLE,
    etGT,
    etLT,
    etADD,
    etSUB,
    etMUL,
    etDIV,
    etComma,
    etLIKE,
    etISNULL,
    etISNOTNULL,
    etIN
};

// Codes 0 to 29. The parser produces only canISBLANK, canNOTBLANK, canEQ to
// canLE, canNOT, canAND, canOR, canMINUS (unary), canADD, canSUB, canMUL,
// canDIV, canLIKE and canIN; the others keep their places so that stored
// codes stay meaningful.
enum KVCANOp {
    canNOTDEFINED,
    canISBLANK,
    canNOTBLANK,
    canEQ,
    canNE,
    canGT,
    canLT,
    canGE,
    canLE,
    canNOT,
    canAND,
    canOR,
    canFIELD2,
    canCONST2,
    canMINUS,
    canADD,
    canSUB,
    canMUL,
    canDIV,
    canMOD,
    canSUM,
    canCOUNT,
    canMIN,
    canMAX,
    canAVG,
    canLIKE,
    canIN,
    canFUNC2,
    canLISTELEM2,
    canASSIGN
};

enum TExprNodeKind { enField, enConst, enOperator, enFunc };

// Expression data type codes. Only the typing rules and the tree check look
// at them; evaluation works on the values.
enum TExprDataType : int {
    edtUnknown = 0,
    edtString = 1,
    edtDate = 2,
    edtBlob = 3, // blob and memo
    edtBoolean = 4,
    edtSmallint = 5, // 16-bit signed
    edtInteger = 6,  // 32-bit signed
    edtFloat = 7,
    edtBCD = 8,
    edtBytes = 9, // fixed bytes
    edtTime = 10,
    edtDateTime = 11,
    edtWord = 12, // 16-bit unsigned
    edtVarBytes = 15,
    edtCursor = 17,
    edtLargeint = 18, // 64-bit signed
    edtADT = 20,
    edtArray = 21,
    edtReference = 22,
    edtTable = 23,
    edtSQLTimeStamp = 24,
    edtFmtBCD = 25,
    edtWideText = 26, // fixed wide string, wide memo
    edtSingle = 27,
    edtTimeStampOffset = 36,
    edtOraTimeStamp = 39,
    edtOraInterval = 40
};

// Data set field type -> expression data type code.
extern const std::array<int, FieldTypeCount> FldTypeMap;
// FldTypeMap with a range check: codes outside the enumeration give 0.
int ExprTypeOfField(TFieldType type);

// The classes the typing rules test. 64-bit integers count as numeric: SQL
// sources make every integer column 64 bits wide, and `[Id] > 100` must work.
inline bool IsExprString(int t) { return t == edtString; }
inline bool IsExprDateLike(int t) { return t == edtDate || t == edtTime || t == edtDateTime; }
inline bool IsExprNumeric(int t)
{
    return t == edtSmallint || t == edtInteger || t == edtFloat || t == edtBCD || t == edtLargeint;
}
inline bool IsExprBlobLike(int t) { return t == edtBlob || t == edtBytes; }

// The function library, resolved from the name when a call is parsed so that
// evaluation dispatches without comparing names again.
enum TExprFunction {
    efNone,
    efUpper,
    efLower,
    efSubstring,
    efIif,
    efTrim,
    efTrimLeft,
    efTrimRight,
    efYear,
    efMonth,
    efDay,
    efHour,
    efMinute,
    efSecond,
    efGetDate,
    efDate,
    efStrToDate,
    efTime,
    efSum,
    efMin,
    efMax,
    efAvg,
    efCount,
    efSin,
    efArcSin,
    efCos,
    efArcCos,
    efTan,
    efArcTan,
    efExp,
    efFrac,
    efInt,
    efRound,
    efDiv,
    efLn,
    efLog,
    efSqr,
    efSqrt,
    efAbs,
    efPower,
    efRandom,
    efOrd,
    efChr,
    efStrToInt,
    efStrToFloat,
    efIntToStr,
    efDateToStr,
    efFloatToStr,
    efLeft,
    efRight,
    efLength,
    efReplace,
    efPos,
    efFormat,
    efFormatFloat,
    efCoalesce,
    efCountStar // COUNT(*)
};
constexpr int ExprFunctionNameCount = 55; // efUpper .. efCoalesce

// The function a name (ASCII case ignored) denotes, or efNone.
TExprFunction FindExprFunction(QStringView name);
// The canonical upper-case name ("COUNT(*)" for efCountStar).
QString ExprFunctionName(TExprFunction function);

// One function of the language with what report authors need to call it.
struct TExprFunctionInfo {
    const char16_t* Name;
    TExprFunction Function;
    const char* Arguments;   // "(s, start, count)"
    const char* Description; // one line for report authors
};
// The function table, in the order the language lists its functions.
std::span<const TExprFunctionInfo> ExprFunctionTable();

struct TExprNode {
    TExprNode() = default;
    TExprNode(const TExprNode&) = delete;
    TExprNode& operator=(const TExprNode&) = delete;

    TExprNode* FNext = nullptr; // next (older) node of the store
    TExprNodeKind FKind = enConst;
    KVCANOp FOperator = canNOTDEFINED;
    Variant FData; // field or function name; the value of a constant
    // The value evaluation uses for a constant: FData, or, for a string
    // constant that the typing gave a date, number or boolean type, the
    // value the tree check converted it to. So [ShipDate] > '1/31/2012'
    // compares dates, and [Price] > '2.5' reads "2.5" the same in every locale.
    Variant FValue;
    TExprNode* FLeft = nullptr;
    TExprNode* FRight = nullptr;
    int FDataType = edtUnknown;
    // Arguments of a call (null when called with "()"), the list of an IN.
    std::unique_ptr<std::vector<TExprNode*>> FArgs;

    // Resolved at parse time, so evaluation compares no names:
    TExprFunction FFunction = efNone; // enFunc
    int FBinding = -1; // enField and variable constants: index into TFilterExpr::FBindings
    int FDepth = 1;    // height of the subtree, bounded to keep recursion shallow
};

// How a name of the expression was resolved while parsing: to a field of a
// data set of the data manager, or through the variable callback to a
// constant. Evaluation from a cached tree re-checks these in order.
struct TExprBinding {
    QString Name; // as written
    TExprNode* Node = nullptr;
    bool IsField = false;
    TField* Field = nullptr;       // the field found while parsing
    TDataSet* DataSet = nullptr;   // the data set searched (field or not); may be null
    int TypeCode = edtUnknown;     // FldTypeMap of the field's or the variable's type
    TFieldKind Kind = fkData;      // of the field
    TExprNode* Parent = nullptr;   // variable constants: the node using it (tree check)
};

// The store of one expression's nodes: owns every node and frees them all at
// once; resolves names as field nodes are created.
class TFilterExpr {
public:
    TFilterExpr(TKVXDataManager* dataManager, TGetVariableEvent variableEvent);
    ~TFilterExpr();
    TFilterExpr(const TFilterExpr&) = delete;
    TFilterExpr& operator=(const TFilterExpr&) = delete;

    // A new node at the head of the list. An enField node's name (value) is
    // resolved at once: a field of the data manager, else a variable (the
    // node becomes a constant), else "Field '%s' not found".
    TExprNode* NewNode(TExprNodeKind kind, KVCANOp op, const Variant& value, TExprNode* left,
                       TExprNode* right);

    TKVXDataManager* FDataManager;
    TGetVariableEvent FVariableEvent;
    TExprNode* FNodes = nullptr;
    std::vector<TExprBinding> FBindings;
};

} // namespace vorel
