// The entry points and the parse cache behind them.
//
// Parsing per record would dominate report generation, so a parsed tree is
// kept and re-used, but only when a fresh parse would build the same tree
// and raise the same errors. What a parse depends on, and how a re-use
// checks it:
//   - the text and the data manager: the cache key;
//   - which data set each name searched and what it found: a snapshot of the
//     manager's items (data set, caption, name); for a name that found a
//     field, that field at its position (object, name, type, kind); for a
//     name that found none, every field of the data set it searched. The
//     snapshot is compared with the live objects before every use. Only
//     pointers read from live objects are ever dereferenced, so a freed data
//     set or field cannot be touched. (Field names are taken to be unique
//     within a data set: a field found at position j is not searched for
//     again among positions 0..j-1.)
//   - the variable callback's answers: called again, in parse order, for every
//     variable; the same answer types re-use the tree, and each new value is
//     run through the constant check again;
//   - the format settings, for trees that read string constants as dates or
//     currency or hold non-ASCII names: a snapshot of the relevant settings.
// Anything different re-parses (replaying the callback answers already
// obtained, so the callback is asked once per name per call, as before).
// The cache is per thread; entries are shared pointers, so an evaluation that
// re-enters (a variable callback evaluating expressions) cannot free the
// tree in use.

#include "expr/expressions.h"

#include "expr/expr_eval_p.h"
#include "expr/expr_parser.h"
#include "expr/expr_typing_p.h"
#include "foundation/locale/format_settings.h"
#include "foundation/values/text_utils.h"
#include "foundation/locale/value_format.h"

#include <QHash>
#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace vorel {

namespace {

struct TFieldSnapshot {
    TField* Field;
    QString Name;
    TFieldType Type;
    TFieldKind Kind;
};

struct TDataSetSnapshot {
    TDataSet* DataSet;
    std::vector<TFieldSnapshot> Fields;
};

// A field a name found: still at its position with the same name and type?
struct TFieldCheck {
    TDataSet* DataSet;
    int Index;
    TFieldSnapshot Field;
};

struct TItemSnapshot {
    TDataSet* DataSet;
    QString Caption;
    QString Name;
};

struct TLocaleSnapshot {
    QChar DecimalSeparator;
    QChar DateSeparator;
    QChar TimeSeparator;
    QString ShortDateFormat;
    QString TimeAMString;
    QString TimePMString;
    QLocale::Language Language = QLocale::AnyLanguage;

    static TLocaleSnapshot Take()
    {
        const TFormatSettings& fs = FormatSettings();
        return {fs.DecimalSeparator, fs.DateSeparator, fs.TimeSeparator, fs.ShortDateFormat,
                fs.TimeAMString,     fs.TimePMString,  fs.Locale.language()};
    }
    bool Matches() const
    {
        const TFormatSettings& fs = FormatSettings();
        return DecimalSeparator == fs.DecimalSeparator && DateSeparator == fs.DateSeparator
            && TimeSeparator == fs.TimeSeparator && ShortDateFormat == fs.ShortDateFormat
            && TimeAMString == fs.TimeAMString && TimePMString == fs.TimePMString
            && Language == fs.Locale.language();
    }
};

struct TCachedExpr {
    QString Text;
    const TKVXDataManager* DataManager = nullptr;
    std::unique_ptr<TExprParser> Parser;
    int ItemCount = 0;
    bool AllItems = false; // a qualified name: every caption and name matters
    std::vector<TItemSnapshot> Items;
    std::vector<TFieldCheck> FieldChecks;   // the fields names found
    std::vector<TDataSetSnapshot> DataSets; // the data sets names searched in vain
    bool LocaleSensitive = false;
    TLocaleSnapshot Locale;
    std::vector<TField*> Fields; // per binding: the field (nullptr for variables)
    bool HasVariables = false;
};

// The answers the variable callback gave during one call, in order.
struct TVariableAnswer {
    QString Name;
    bool Found;
    TFieldType Type;
    Variant Value;
};

int DatasetCount(const TKVXDataManager* dm)
{
    return dm ? dm->Datasets()->Count() : 0;
}

void TakeSnapshot(TCachedExpr& entry)
{
    const TKVXDataManager* dm = entry.DataManager;
    const TFilterExpr& filter = *entry.Parser->Filter();
    entry.ItemCount = DatasetCount(dm);
    entry.Fields.assign(filter.FBindings.size(), nullptr);
    std::vector<TDataSet*> searched; // by names that found no field
    for (size_t i = 0; i < filter.FBindings.size(); ++i) {
        const TExprBinding& b = filter.FBindings[i];
        if (b.Name.contains(u'.'))
            entry.AllItems = true;
        if (b.IsField) {
            entry.Fields[i] = b.Field;
            const bool known = std::any_of(entry.FieldChecks.begin(), entry.FieldChecks.end(),
                                           [&](const TFieldCheck& c) { return c.Field.Field == b.Field; });
            if (!known)
                entry.FieldChecks.push_back({b.DataSet, b.Field->Index(),
                                             {b.Field, b.Field->FieldName(), b.Field->DataType(), b.Field->FieldKind()}});
        } else {
            entry.HasVariables = true;
            if (b.DataSet && std::find(searched.begin(), searched.end(), b.DataSet) == searched.end())
                searched.push_back(b.DataSet);
        }
    }
    for (int k = 0; k < entry.ItemCount; ++k) {
        const TKVXDataset* item = dm->Datasets()->Items(k);
        TDataSet* ds = item->Dataset();
        entry.Items.push_back({ds, item->Caption(), ds ? ds->Name() : QString()});
        if (!entry.AllItems)
            break; // plain names search the first data set only
    }
    for (TDataSet* ds : searched) {
        TDataSetSnapshot snap{ds, {}};
        snap.Fields.reserve(size_t(ds->FieldCount()));
        for (int j = 0; j < ds->FieldCount(); ++j) {
            TField* f = ds->Fields(j);
            snap.Fields.push_back({f, f->FieldName(), f->DataType(), f->FieldKind()});
        }
        entry.DataSets.push_back(std::move(snap));
    }
    entry.LocaleSensitive = entry.Parser->LocaleSensitive();
    if (entry.LocaleSensitive)
        entry.Locale = TLocaleSnapshot::Take();
}

// True when the data manager and the searched data sets look as they did
// when the entry was parsed. Reads only live objects.
bool StructureUnchanged(const TCachedExpr& entry, const TKVXDataManager* dm)
{
    if (DatasetCount(dm) != entry.ItemCount)
        return false;
    for (size_t k = 0; k < entry.Items.size(); ++k) {
        const TKVXDataset* item = dm->Datasets()->Items(int(k));
        const TItemSnapshot& snap = entry.Items[k];
        TDataSet* ds = item->Dataset();
        if (ds != snap.DataSet)
            return false;
        if (entry.AllItems && (!SameString(item->Caption(), snap.Caption) || !SameString(ds ? ds->Name() : QString(), snap.Name)))
            return false;
    }
    // Every data set below is the data set of a live item checked above, so
    // the pointers are safe to follow.
    for (const TFieldCheck& check : entry.FieldChecks) {
        const TField* f = check.DataSet->Fields(check.Index);
        const TFieldSnapshot& fs = check.Field;
        if (f != fs.Field || f->DataType() != fs.Type || f->FieldKind() != fs.Kind || !SameString(f->FieldName(), fs.Name))
            return false;
    }
    for (const TDataSetSnapshot& snap : entry.DataSets) {
        const TDataSet* ds = snap.DataSet;
        if (ds->FieldCount() != int(snap.Fields.size()))
            return false;
        for (size_t j = 0; j < snap.Fields.size(); ++j) {
            const TField* f = ds->Fields(int(j));
            const TFieldSnapshot& fs = snap.Fields[j];
            if (f != fs.Field || f->DataType() != fs.Type || f->FieldKind() != fs.Kind
                || !SameString(f->FieldName(), fs.Name))
                return false;
        }
    }
    return true;
}

struct TExprCache {
    static constexpr int MaxEntries = 1024;
    static constexpr int SlotCount = 64; // direct-mapped by the text's buffer address

    QMultiHash<QString, std::shared_ptr<TCachedExpr>> Map;
    std::array<std::shared_ptr<TCachedExpr>, SlotCount> Slots;
    qint64 Parses = 0;
    qint64 Hits = 0;

    static size_t SlotOf(const QString& text)
    {
        const auto address = reinterpret_cast<quintptr>(text.constData());
        return size_t((address >> 4) ^ (address >> 12)) % SlotCount;
    }

    std::shared_ptr<TCachedExpr> Find(const QString& text, const TKVXDataManager* dm)
    {
        std::shared_ptr<TCachedExpr>& slot = Slots[SlotOf(text)];
        if (slot && slot->DataManager == dm && SameString(slot->Text, text))
            return slot;
        for (auto it = Map.find(text); it != Map.end() && it.key() == text; ++it) {
            if ((*it)->DataManager == dm) {
                slot = *it;
                return slot;
            }
        }
        return nullptr;
    }

    void Remove(const std::shared_ptr<TCachedExpr>& entry)
    {
        for (auto it = Map.find(entry->Text); it != Map.end() && it.key() == entry->Text; ++it) {
            if (*it == entry) {
                Map.erase(it);
                break;
            }
        }
        for (auto& slot : Slots) {
            if (slot == entry)
                slot.reset();
        }
    }

    void Insert(const std::shared_ptr<TCachedExpr>& entry)
    {
        if (Map.size() >= MaxEntries) {
            Map.clear();
            Slots.fill(nullptr);
        }
        Map.insert(entry->Text, entry);
        Slots[SlotOf(entry->Text)] = entry;
    }
};

TExprCache& Cache()
{
    thread_local TExprCache cache;
    return cache;
}

// A parsed, checked tree ready for one evaluation, with the variables'
// values of this call.
class TPreparedExpr {
public:
    TPreparedExpr(TKVXDataManager* dm, const QString& text, const TGetVariableEvent& variableEvent);

    const TExprNode* Root() const { return FEntry->Parser->Root(); }
    const std::vector<TField*>& Fields() const { return FEntry->Fields; }
    const std::vector<TExprBinding>& Bindings() const { return FEntry->Parser->Filter()->FBindings; }
    Variant Evaluate() const
    {
        TExprEvalContext context;
        context.Filter = FEntry->Parser->Filter();
        context.Fields = FEntry->Fields.data();
        context.Values = FValues.empty() ? nullptr : FValues.data();
        return TExprEvaluator(context).Eval(Root());
    }

private:
    bool ReuseVariables(const TGetVariableEvent& variableEvent);
    void Parse(TKVXDataManager* dm, const QString& text, const TGetVariableEvent& variableEvent);

    std::shared_ptr<TCachedExpr> FEntry;
    std::vector<TVariableAnswer> FAnswers;
    std::vector<Variant> FValues; // per binding
};

TPreparedExpr::TPreparedExpr(TKVXDataManager* dm, const QString& text, const TGetVariableEvent& variableEvent)
{
    TExprCache& cache = Cache();
    FEntry = cache.Find(text, dm);
    if (FEntry && (!FEntry->LocaleSensitive || FEntry->Locale.Matches()) && StructureUnchanged(*FEntry, dm)
        && ReuseVariables(variableEvent)) {
        ++cache.Hits;
        return;
    }
    if (FEntry) {
        cache.Remove(FEntry);
        FEntry.reset();
    }
    Parse(dm, text, variableEvent);
}

// Asks the callback again for every variable, in parse order. The tree is
// re-usable when every name is still known with a type of the same
// expression type; the new values then pass the constant check again.
bool TPreparedExpr::ReuseVariables(const TGetVariableEvent& variableEvent)
{
    if (!FEntry->HasVariables)
        return true;
    const TFilterExpr& filter = *FEntry->Parser->Filter();
    FValues.assign(filter.FBindings.size(), Variant());
    bool same = true;
    for (size_t i = 0; i < filter.FBindings.size(); ++i) {
        const TExprBinding& b = filter.FBindings[i];
        if (b.IsField)
            continue;
        TVariableAnswer answer{b.Name, false, ftString, Variant()};
        if (variableEvent)
            variableEvent(nullptr, answer.Name, answer.Found, answer.Type, answer.Value);
        FAnswers.push_back(answer);
        if (!answer.Found || ExprTypeOfField(answer.Type) != b.TypeCode) {
            same = false;
            break;
        }
        FValues[i] = answer.Value;
    }
    if (!same) {
        FValues.clear();
        return false;
    }
    bool localeSensitive = false;
    for (size_t i = 0; i < filter.FBindings.size(); ++i) {
        const TExprBinding& b = filter.FBindings[i];
        if (!b.IsField)
            FValues[i] = CheckConstant(b.Node, b.Parent, FValues[i], localeSensitive);
    }
    return true;
}

void TPreparedExpr::Parse(TKVXDataManager* dm, const QString& text, const TGetVariableEvent& variableEvent)
{
    // Replay the answers this call already obtained, so that the callback
    // sees each name once per call.
    TGetVariableEvent replay = variableEvent;
    if (!FAnswers.empty()) {
        replay = [this, &variableEvent, next = size_t(0)](QObject* sender, const QString& name, bool& accept,
                                                          TFieldType& type, Variant& value) mutable {
            if (next < FAnswers.size() && FAnswers[next].Name == name) {
                const TVariableAnswer& a = FAnswers[next++];
                accept = a.Found;
                type = a.Type;
                value = a.Value;
                return;
            }
            next = FAnswers.size();
            if (variableEvent)
                variableEvent(sender, name, accept, type, value);
        };
    }
    auto entry = std::make_shared<TCachedExpr>();
    entry->Text = text;
    entry->DataManager = dm;
    entry->Parser = std::make_unique<TExprParser>(dm, text, replay);
    // The cached parser must not keep the callback: the replay refers to
    // this call, and a user's callback may hold on to objects.
    entry->Parser->Filter()->FVariableEvent = nullptr;
    TakeSnapshot(*entry);
    FValues.clear();
    FAnswers.clear();
    TExprCache& cache = Cache();
    ++cache.Parses;
    cache.Insert(entry);
    FEntry = std::move(entry);
}

// An error of the parse or the evaluation names the expression's text
// (the parser has named it already, with the position, for a syntax error).
void NoteExpression(EKVXError& e, const QString& expression)
{
    if (e.Place().Expression.isEmpty())
        e.Place().Expression = expression;
}

} // namespace

Variant EvaluateValue(TKVXDataManager* dataManager, const QString& expression, const TGetVariableEvent& variableEvent)
{
    if (expression.isEmpty())
        return Variant::Null();
    try {
        const TPreparedExpr prepared(dataManager, expression, variableEvent);
        return prepared.Evaluate();
    } catch (EKVXError& e) {
        NoteExpression(e, expression);
        throw;
    }
}

bool ExpressionReadsDataSet(TKVXDataManager* dataManager, const QString& expression, const TDataSet* dataSet,
                            const TGetVariableEvent& variableEvent)
{
    if (expression.isEmpty() || !dataSet)
        return false;
    try {
        const TPreparedExpr prepared(dataManager, expression, variableEvent);
        for (const TField* field : prepared.Fields())
            if (field && field->DataSet() == dataSet)
                return true;
    } catch (const std::exception&) {
        // An expression that does not parse reads nothing; evaluating it
        // reports the error where it is used.
    }
    return false;
}

bool ExpressionNamesVariable(TKVXDataManager* dataManager, const QString& expression, const QStringList& names,
                             const TGetVariableEvent& variableEvent)
{
    if (expression.isEmpty())
        return false;
    try {
        const TPreparedExpr prepared(dataManager, expression, variableEvent);
        for (const TExprBinding& binding : prepared.Bindings())
            if (!binding.IsField && names.contains(binding.Name.trimmed(), Qt::CaseInsensitive))
                return true;
    } catch (const std::exception&) {
        // An expression that does not parse names nothing; evaluating it
        // reports the error where it is used.
    }
    return false;
}

bool ValueIsField(TKVXDataManager* dataManager, const QString& expression, const TGetVariableEvent& variableEvent)
{
    bool settled = false;
    return ValueIsField(dataManager, expression, variableEvent, settled);
}

bool ValueIsField(TKVXDataManager* dataManager, const QString& expression, const TGetVariableEvent& variableEvent,
                  bool& settled)
{
    settled = false;
    if (expression.isEmpty())
        return false;
    std::optional<TPreparedExpr> prepared;
    try {
        prepared.emplace(dataManager, expression, variableEvent);
    } catch (EKVXError& e) {
        NoteExpression(e, expression);
        throw;
    }
    const TExprNode* root = prepared->Root();
    // A root bound to a name (a field, or a variable's value) answers for
    // this call only.
    settled = !root || root->FBinding < 0;
    return root && root->FKind == enField;
}

Variant GetCalculatedValue(TKVXDataManager* dataManager, const QString& expression, const QString& format,
                           TCalcType calcType, const Variant& /*previousValue*/, const Variant& currentValue,
                           const TGetVariableEvent& variableEvent, TKVXCalculation::TRunning* running,
                           QString* failure)
{
    // Parse errors reach the caller; evaluation errors leave the running
    // value as it was.
    std::optional<TPreparedExpr> prepared;
    try {
        if (!expression.isEmpty())
            prepared.emplace(dataManager, expression, variableEvent);
    } catch (EKVXError& e) {
        NoteExpression(e, expression);
        throw;
    }
    try {
        const Variant value = prepared ? prepared->Evaluate() : Variant::Null();
        // A count takes every step whatever the value: its text is not made.
        const QString text = value.IsNull() || calcType == ctCount ? QString() : GetValueStr(value, format);
        if (calcType == ctNothing)
            return Variant(text);
        // The running value says whether the aggregate has begun: the value
        // its owner printed last changes only when it paints, so a footer's
        // lowest would otherwise restart at every record.
        const bool first = currentValue.IsEmptyOrNull();
        if (first && running)
            *running = {};
        const bool skipsNull = calcType == ctAverage || calcType == ctLowest || calcType == ctHighest;
        if (skipsNull && value.IsEmptyOrNull())
            return currentValue;
        const double a = first ? 0 : StrToFloatDef(currentValue.ToString(), 0);
        const double b = calcType == ctCount ? 0 : StrToFloatDef(text, 0);
        double r = 0;
        switch (calcType) {
        case ctCount: r = a + 1; break;
        case ctSum: r = a + b; break;
        case ctAverage:
            if (running) {
                ++running->Count;
                running->Sum += b;
                r = running->Sum / double(running->Count);
            } else {
                r = first ? b : (a + b) / 2;
            }
            break;
        case ctLowest: r = first ? b : (b <= a ? b : a); break;
        case ctHighest: r = first ? b : (b <= a ? a : b); break;
        case ctNothing: break;
        }
        return Variant(FloatToStrG(r));
    } catch (const EKVXError& e) {
        if (failure)
            *failure = e.Message();
    } catch (const std::exception& e) {
        if (failure)
            *failure = QString::fromLocal8Bit(e.what());
    }
    return calcType == ctNothing ? Variant(QString()) : currentValue;
}

TExprCacheStats ExprCacheStats()
{
    const TExprCache& cache = Cache();
    return {int(cache.Map.size()), cache.Parses, cache.Hits};
}

void ClearExprCache()
{
    TExprCache& cache = Cache();
    cache.Map.clear();
    cache.Slots.fill(nullptr);
}

} // namespace vorel
