#pragma once
// A small order table behind a data manager, and helpers that run an
// expression and catch its error message.

#include "data/data_manager.h"
#include "data/memory_dataset.h"
#include "expr/expr_parser.h"
#include "expr/expressions.h"
#include "foundation/values/errors.h"
#include "foundation/locale/format_settings.h"

#include <gtest/gtest.h>
#include <QMap>
#include <memory>

#include <ostream>

// Readable QString values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace vorel::test {

inline QString S(const char16_t* s)
{
    return QString::fromUtf16(s);
}

// Orders: Name, Qty, Price, Id (64-bit), ShortQty (16-bit), Notes (memo),
// ShipDate, "Last Name", Amount (currency), Flag, WordQty (16-bit unsigned),
// Bytes (fixed bytes) and two calculated fields, one of each kind.
class OrdersFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetFormatLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        ClearExprCache();
        Orders = new TMemoryDataSet(&Owner);
        Orders->SetName(S(u"OrdersTable"));
        Orders->AddFieldDef(S(u"Name"), ftWideString, 30);
        Orders->AddFieldDef(S(u"Qty"), ftInteger);
        Orders->AddFieldDef(S(u"Price"), ftFloat);
        Orders->AddFieldDef(S(u"Id"), ftLargeint);
        Orders->AddFieldDef(S(u"ShortQty"), ftSmallint);
        Orders->AddFieldDef(S(u"Notes"), ftMemo);
        Orders->AddFieldDef(S(u"ShipDate"), ftDate);
        Orders->AddFieldDef(S(u"Last Name"), ftWideString, 30);
        Orders->AddFieldDef(S(u"Amount"), ftCurrency);
        Orders->AddFieldDef(S(u"Flag"), ftBoolean);
        Orders->AddFieldDef(S(u"WordQty"), ftWord);
        Orders->AddFieldDef(S(u"Bytes"), ftBytes, 4);
        Orders->AddCalcField(S(u"Calc"), ftInteger, 0, fkCalculated);
        Orders->AddCalcField(S(u"Internal"), ftInteger, 0, fkInternalCalc);
        Orders->OnCalcFields = [](TDataSet* ds) {
            ds->FindField(QStringLiteral("Calc"))->SetValue(Variant(7));
            ds->FindField(QStringLiteral("Internal"))->SetValue(Variant(8));
        };
        Orders->AppendRecord({Variant(S(u"Alice")), Variant(3), Variant(2.5), Variant(qint64(5000000000)),
                              Variant(12), Variant(S(u"first note")), Variant::FromDate(EncodeDate(2012, 1, 31)),
                              Variant(S(u"Smith")), Variant::FromCurrency(10.25), Variant(true), Variant(4),
                              Variant(S(u"ab"))});
        Orders->AppendRecord({Variant(S(u"bob")), Variant(0), Variant(4.0), Variant(qint64(7)), Variant(-3),
                              Variant::Null(), Variant::Null(), Variant::Null(), Variant::FromCurrency(1),
                              Variant(false), Variant(0), Variant::Null()});
        Orders->Open();

        Manager = new TKVXDataManager(&Owner);
        TKVXDataset* item = Manager->Datasets()->Add();
        item->SetDataset(Orders);
        item->SetCaption(S(u"Orders"));
    }
    void TearDown() override
    {
        ClearExprCache();
        SetFormatLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    // Variables known to the callback: name (upper case) -> (type, value).
    TGetVariableEvent Variables()
    {
        return [this](QObject*, const QString& name, bool& accept, TFieldType& type, Variant& value) {
            ++CallbackCalls;
            LastCallbackName = name;
            const auto it = Vars.find(name.toUpper());
            if (it == Vars.end())
                return;
            accept = true;
            type = it->first;
            value = it->second;
        };
    }

    Variant Eval(const QString& text) { return EvaluateValue(Manager, text, Variables()); }

    // The message of the error the expression raises on parse or evaluation;
    // "" when it raises none.
    QString ErrorOf(const QString& text)
    {
        try {
            Eval(text);
        } catch (const EKVXError& e) {
            return e.Message();
        }
        return {};
    }

    TComponent Owner;
    TMemoryDataSet* Orders = nullptr;
    TKVXDataManager* Manager = nullptr;
    QMap<QString, std::pair<TFieldType, Variant>> Vars;
    int CallbackCalls = 0;
    QString LastCallbackName;
};

// The tree as an S-expression: (+ 2 (* 3 4)), fields as [Name], calls as
// NAME(args), strings quoted, each node followed by :type when asked.
inline QString DumpTree(const TExprNode* node, bool types = false)
{
    if (!node)
        return QStringLiteral("nil");
    QString out;
    switch (node->FKind) {
    case enField: out = u'[' + node->FData.ToString() + u']'; break;
    case enConst:
        if (node->FData.IsNull())
            out = QStringLiteral("NULL");
        else if (node->FData.IsString())
            out = u'\'' + node->FData.ToString() + u'\'';
        else
            out = node->FData.ToString();
        break;
    case enOperator: {
        static const QMap<int, QString> names = {
            {canISBLANK, QStringLiteral("ISNULL")}, {canNOTBLANK, QStringLiteral("NOTNULL")},
            {canEQ, QStringLiteral("=")},           {canNE, QStringLiteral("<>")},
            {canGT, QStringLiteral(">")},           {canLT, QStringLiteral("<")},
            {canGE, QStringLiteral(">=")},          {canLE, QStringLiteral("<=")},
            {canNOT, QStringLiteral("NOT")},        {canAND, QStringLiteral("AND")},
            {canOR, QStringLiteral("OR")},          {canADD, QStringLiteral("+")},
            {canSUB, QStringLiteral("-")},          {canMUL, QStringLiteral("*")},
            {canDIV, QStringLiteral("/")},          {canLIKE, QStringLiteral("LIKE")},
            {canIN, QStringLiteral("IN")},          {canMINUS, QStringLiteral("NEG")}};
        out = u'(' + names.value(node->FOperator, QStringLiteral("?")) + u' ' + DumpTree(node->FLeft, types);
        if (node->FRight)
            out += u' ' + DumpTree(node->FRight, types);
        if (node->FArgs) {
            for (const TExprNode* arg : *node->FArgs)
                out += u' ' + DumpTree(arg, types);
        }
        out += u')';
        break;
    }
    case enFunc: {
        out = node->FData.ToString() + u'(';
        if (node->FArgs) {
            for (size_t i = 0; i < node->FArgs->size(); ++i)
                out += (i ? QStringLiteral(", ") : QString()) + DumpTree((*node->FArgs)[i], types);
        }
        out += u')';
        break;
    }
    }
    if (types)
        out += u':' + QString::number(node->FDataType);
    return out;
}

} // namespace vorel::test
