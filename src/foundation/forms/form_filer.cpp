// Registries and value conversions shared by the object writer and reader:
// defined properties, integer identifiers, prototypes for defaults, and the
// mapping between property values and stored values.

#include "foundation/records/font.h"
#include "foundation/forms/form_objects.h"
#include "foundation/forms/form_objects_p.h"
#include "foundation/values/variant.h"

#include <QHash>
#include <QMetaEnum>
#include <cstring>
#include <limits>
#include <memory>
#include <unordered_map>

namespace vorel {

// --- TFiler ---------------------------------------------------------------------------------

void TFiler::DefineProperty(const QString& name, ReadFn read, WriteFn write)
{
    FEntries.push_back({name, std::move(read), std::move(write)});
}

void TFiler::DefineBinaryProperty(const QString& name, std::function<void(const QByteArray&)> read,
                                  std::function<std::optional<QByteArray>()> write)
{
    DefineProperty(
        name,
        [read = std::move(read)](const FormValue& v) {
            if (v.Kind != vaBinary)
                throw EKVXError(QStringLiteral("Invalid property value (%1 where binary data was expected)")
                                    .arg(ValueTypeName(v.Kind)));
            read(v.Bytes);
        },
        [write = std::move(write)]() -> std::optional<FormValue> {
            if (auto bytes = write())
                return FormValue::Binary(*bytes);
            return std::nullopt;
        });
}

void TFiler::DefineEvent(const QString& name, std::function<QString()> get, std::function<void(const QString&)> set)
{
    DefineProperty(
        name,
        [set = std::move(set)](const FormValue& v) {
            if (v.Kind == vaNil) {
                set(QString());
                return;
            }
            if (v.Kind != vaIdent)
                throw EKVXError(QStringLiteral("Invalid property value (%1 where a method name was expected)")
                                    .arg(ValueTypeName(v.Kind)));
            set(v.Text);
        },
        [get = std::move(get)]() -> std::optional<FormValue> {
            const QString method = get();
            if (method.isEmpty())
                return std::nullopt;
            return FormValue::Ident(method);
        });
}

const TFiler::Entry* TFiler::Find(const QString& name) const
{
    for (const Entry& e : FEntries)
        if (e.Name.compare(name, Qt::CaseInsensitive) == 0)
            return &e;
    return nullptr;
}

// --- registries -------------------------------------------------------------------------------

namespace {

struct Registries {
    QHash<const QMetaObject*, TDefinePropertiesFn> Define;
    QHash<int, TIntegerIdents> TypeIdents; // by meta-type id
    QHash<QString, TIntegerIdents> PropertyIdents; // by upper-case property name
    std::unordered_map<const QMetaObject*, std::unique_ptr<QObject>> Prototypes;
};

void DefineStringList(QObject* instance, TFiler& filer)
{
    auto* list = static_cast<TStringList*>(instance);
    auto* ancestor = qobject_cast<const TStringList*>(filer.Ancestor());
    filer.DefineProperty(
        QStringLiteral("Strings"),
        [list](const FormValue& v) {
            if (v.Kind != vaList)
                throw EKVXError(QStringLiteral("Invalid property value (%1 where a list of strings was expected)")
                                    .arg(ValueTypeName(v.Kind)));
            QStringList lines;
            lines.reserve(qsizetype(v.List.size()));
            for (const FormValue& item : v.List) {
                if (!item.IsString())
                    throw EKVXError(QStringLiteral("Invalid property value (%1 in a list of strings)")
                                        .arg(ValueTypeName(item.Kind)));
                lines.append(item.Text);
            }
            list->SetList(lines);
        },
        [list, ancestor]() -> std::optional<FormValue> {
            if (ancestor ? list->List() == ancestor->List() : list->Count() == 0)
                return std::nullopt;
            std::vector<FormValue> items;
            items.reserve(size_t(list->Count()));
            for (const QString& s : list->List())
                items.push_back(FormValue::String(s));
            return FormValue::ListOf(std::move(items));
        });
}

Registries& Reg()
{
    static Registries registries = [] {
        Registries r;
        r.Define.insert(&TStringList::staticMetaObject, DefineStringList);
        r.TypeIdents.insert(QMetaType::fromType<TColor>().id(),
            TIntegerIdents{[](std::int64_t v) { return ColorToIdent(TColor(std::int32_t(v))); },
                [](const QString& ident, std::int64_t& v) {
                    TColor c;
                    if (!IdentToColor(ident, c))
                        return false;
                    v = std::int32_t(c);
                    return true;
                }});
        r.PropertyIdents.insert(QStringLiteral("CHARSET"),
            TIntegerIdents{[](std::int64_t v) {
                               return v >= 0 && v <= 255 ? CharsetToIdent(TFontCharset(v)) : QString();
                           },
                [](const QString& ident, std::int64_t& v) {
                    TFontCharset c;
                    if (!IdentToCharset(ident, c))
                        return false;
                    v = c;
                    return true;
                }});
        return r;
    }();
    return registries;
}

} // namespace

void RegisterDefineProperties(const QMetaObject* metaObject, TDefinePropertiesFn define)
{
    if (metaObject && define)
        Reg().Define.insert(metaObject, std::move(define));
}

void UnRegisterDefineProperties(const QMetaObject* metaObject)
{
    Reg().Define.remove(metaObject);
}

void RegisterIntegerIdents(QMetaType type, TIntegerIdents idents)
{
    Reg().TypeIdents.insert(type.id(), std::move(idents));
}

void RegisterIntegerIdentsForProperty(const QString& propertyName, TIntegerIdents idents)
{
    Reg().PropertyIdents.insert(propertyName.toUpper(), std::move(idents));
}

const QStringList& InheritedFrameworkProperties()
{
    static const QStringList names = {
        QStringLiteral("Tag"), QStringLiteral("Visible"), QStringLiteral("Hint"), QStringLiteral("ShowHint"),
        QStringLiteral("ParentShowHint"), QStringLiteral("ParentFont"), QStringLiteral("ParentColor"),
        QStringLiteral("ParentBiDiMode"), QStringLiteral("BiDiMode"), QStringLiteral("Cursor"),
        QStringLiteral("Enabled"), QStringLiteral("PopupMenu"), QStringLiteral("DragMode"),
        QStringLiteral("DragCursor"), QStringLiteral("DragKind"), QStringLiteral("HelpContext"),
        QStringLiteral("HelpKeyword"), QStringLiteral("HelpType"), QStringLiteral("Constraints"),
        QStringLiteral("Anchors"), QStringLiteral("OnClick"), QStringLiteral("OnDblClick"),
        QStringLiteral("OnMouseDown"), QStringLiteral("OnMouseMove"), QStringLiteral("OnMouseUp"),
        QStringLiteral("OnMouseEnter"), QStringLiteral("OnMouseLeave"), QStringLiteral("OnMouseWheel"),
        QStringLiteral("OnMouseWheelDown"), QStringLiteral("OnMouseWheelUp"), QStringLiteral("OnDragDrop"),
        QStringLiteral("OnDragOver"), QStringLiteral("OnEndDrag"), QStringLiteral("OnStartDrag"),
        QStringLiteral("OnEndDock"), QStringLiteral("OnStartDock"), QStringLiteral("OnContextPopup"),
        QStringLiteral("OnResize"), QStringLiteral("OnCanResize"), QStringLiteral("OnConstrainedResize"),
    };
    return names;
}

// --- prototypes -------------------------------------------------------------------------------

const QObject* FormPrototype(const QMetaObject* metaObject)
{
    if (!metaObject)
        return nullptr;
    auto& prototypes = Reg().Prototypes;
    auto it = prototypes.find(metaObject);
    if (it != prototypes.end())
        return it->second.get();
    QObject* object = nullptr;
    try {
        if (metaObject->inherits(&TCollectionItem::staticMetaObject))
            object = metaObject->newInstance(Q_ARG(vorel::TCollection*, nullptr));
        else
            object = metaObject->newInstance(Q_ARG(QObject*, nullptr));
    } catch (...) {
        object = nullptr; // a constructor that cannot run alone: no defaults
    }
    return prototypes.emplace(metaObject, std::unique_ptr<QObject>(object)).first->second.get();
}

void ClearFormPrototypes()
{
    Reg().Prototypes.clear();
}

namespace formio {

int FirstStoredProperty()
{
    return QObject::staticMetaObject.propertyCount();
}

QMetaProperty FindProperty(const QMetaObject* metaObject, const QString& name)
{
    const int first = FirstStoredProperty();
    const int exact = metaObject->indexOfProperty(name.toUtf8().constData());
    if (exact >= first)
        return metaObject->property(exact);
    for (int i = first; i < metaObject->propertyCount(); ++i) {
        const QMetaProperty p = metaObject->property(i);
        if (QString::fromLatin1(p.name()).compare(name, Qt::CaseInsensitive) == 0)
            return p;
    }
    return {};
}

void CallDefineProperties(QObject* instance, TFiler& filer)
{
    const auto& table = Reg().Define;
    if (table.isEmpty())
        return;
    std::vector<const QMetaObject*> chain;
    for (const QMetaObject* mo = instance->metaObject(); mo; mo = mo->superClass())
        chain.push_back(mo);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        auto found = table.constFind(*it);
        if (found != table.constEnd())
            (*found)(instance, filer);
    }
}

bool IsAlwaysStored(const QMetaObject* metaObject, const char* propertyName)
{
    // classInfo() covers the base classes too; several classes of a chain
    // may each name their own properties under the same key.
    const QLatin1StringView wanted(propertyName);
    for (int i = 0; i < metaObject->classInfoCount(); ++i) {
        const QMetaClassInfo info = metaObject->classInfo(i);
        if (qstrcmp(info.name(), "AlwaysStored") != 0)
            continue;
        for (const QByteArray& name : QByteArray(info.value()).split(','))
            if (QLatin1StringView(name.trimmed()) == wanted)
                return true;
    }
    return false;
}

bool IsInheritedFrameworkName(const QString& path)
{
    const QString first = path.section(u'.', 0, 0);
    for (const QString& name : InheritedFrameworkProperties())
        if (name.compare(first, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QObject* ObjectValue(const QObject* instance, const QMetaProperty& prop)
{
    if (!(prop.metaType().flags() & QMetaType::PointerToQObject))
        return nullptr;
    return prop.read(instance).value<QObject*>();
}

PropKind ClassifyProperty(const QMetaProperty& prop, const QObject* value)
{
    const QMetaType type = prop.metaType();
    if (!(type.flags() & QMetaType::PointerToQObject))
        return PropKind::Scalar;
    const QMetaObject* declared = type.metaObject();
    if ((declared && declared->inherits(&TComponent::staticMetaObject)) || qobject_cast<const TComponent*>(value))
        return PropKind::Reference;
    if ((declared && declared->inherits(&TCollection::staticMetaObject)) || qobject_cast<const TCollection*>(value))
        return PropKind::Collection;
    return PropKind::Nested;
}

// --- plain values ------------------------------------------------------------------------------

namespace {

[[noreturn]] void WrongKind(const FormValue& v, const char* expected)
{
    throw EKVXError(QStringLiteral("Invalid property value (%1 where %2 was expected)")
                        .arg(ValueTypeName(v.Kind), QLatin1String(expected)));
}

std::int64_t RawInt(const QVariant& v)
{
    const void* data = v.constData();
    switch (v.metaType().sizeOf()) {
    case 1: {
        std::int8_t x;
        std::memcpy(&x, data, 1);
        return x;
    }
    case 2: {
        std::int16_t x;
        std::memcpy(&x, data, 2);
        return x;
    }
    case 4: {
        std::int32_t x;
        std::memcpy(&x, data, 4);
        return x;
    }
    case 8: {
        std::int64_t x;
        std::memcpy(&x, data, 8);
        return x;
    }
    default:
        throw EKVXError(QStringLiteral("a value of type %1 cannot be stored").arg(QLatin1String(v.metaType().name())));
    }
}

QVariant FromRawInt(QMetaType type, std::int64_t value)
{
    switch (type.sizeOf()) {
    case 1: {
        const std::int8_t x = std::int8_t(value);
        return QVariant(type, &x);
    }
    case 2: {
        const std::int16_t x = std::int16_t(value);
        return QVariant(type, &x);
    }
    case 4: {
        const std::int32_t x = std::int32_t(value);
        return QVariant(type, &x);
    }
    default:
        return QVariant(type, &value);
    }
}

const TIntegerIdents* IdentsFor(const QMetaProperty& prop)
{
    const Registries& r = Reg();
    auto byType = r.TypeIdents.constFind(prop.metaType().id());
    if (byType != r.TypeIdents.constEnd())
        return &*byType;
    auto byName = r.PropertyIdents.constFind(QString::fromLatin1(prop.name()).toUpper());
    return byName != r.PropertyIdents.constEnd() ? &*byName : nullptr;
}

FormValue IntegerToForm(const QMetaProperty& prop, std::int64_t value)
{
    if (const TIntegerIdents* idents = IdentsFor(prop); idents && idents->ToIdent) {
        const QString ident = idents->ToIdent(value);
        if (!ident.isEmpty())
            return FormValue::Ident(ident);
    }
    return FormValue::Integer(value);
}

std::int64_t FormToInteger(const QMetaProperty& prop, const FormValue& v)
{
    if (v.IsInteger())
        return v.Int;
    if (v.Kind == vaIdent) {
        std::int64_t value = 0;
        if (const TIntegerIdents* idents = IdentsFor(prop); idents && idents->FromIdent && idents->FromIdent(v.Text, value))
            return value;
        throw EKVXError(QStringLiteral("Invalid property value (%1 is no known identifier)").arg(v.Text));
    }
    WrongKind(v, "an integer");
}

FormValue VariantToForm(const Variant& v)
{
    switch (v.Type()) {
    case varEmpty:
        return FormValue::Simple(vaNil);
    case varNull:
        return FormValue::Simple(vaNull);
    case varSmallint:
    case varInteger:
    case varShortInt:
    case varByte:
    case varWord:
    case varLongWord:
    case varInt64:
        return FormValue::Integer(v.ToInt64());
    case varSingle:
        return FormValue::Single(float(v.ToDouble()));
    case varDouble:
        return FormValue::Float(v.ToDouble());
    case varCurrency:
        return FormValue::CurrencyRaw(v.CurrencyRaw());
    case varDate:
        return FormValue::Date(v.ToDouble());
    case varBoolean:
        return FormValue::Boolean(v.ToBool());
    case varString:
        return FormValue::String(v.ToString());
    }
    throw EKVXError(QStringLiteral("a variant of type %1 cannot be stored").arg(Variant::TypeName(v.Type())));
}

Variant FormToVariant(const FormValue& v)
{
    switch (v.Kind) {
    case vaNil:
        return Variant();
    case vaNull:
        return Variant::Null();
    case vaFalse:
    case vaTrue:
        return Variant(v.Kind == vaTrue);
    case vaInt8:
    case vaInt16:
    case vaInt32:
        return Variant(int(v.Int));
    case vaInt64:
        return Variant(qint64(v.Int));
    case vaExtended:
    case vaDouble:
        return Variant(v.ToDouble());
    case vaSingle:
        return Variant::FromSingle(float(v.ToDouble()));
    case vaCurrency:
        return Variant::FromCurrencyRaw(v.Int);
    case vaDate:
        return Variant::FromDate(v.ToDouble());
    case vaString:
    case vaLString:
    case vaWString:
    case vaUTF8String:
        return Variant(v.Text);
    default:
        WrongKind(v, "a variant value");
    }
}

template <typename T>
QVariant CheckedInteger(std::int64_t value)
{
    if (value < std::int64_t(std::numeric_limits<T>::min())
        || (std::uint64_t(std::numeric_limits<T>::max()) <= std::uint64_t(INT64_MAX)
            && value > std::int64_t(std::numeric_limits<T>::max())))
        throw EKVXError(QStringLiteral("Invalid property value (%1 is out of range)").arg(value));
    return QVariant::fromValue(T(value));
}

} // namespace

FormValue ScalarToForm(const QMetaProperty& prop, const QVariant& value)
{
    const QMetaType type = prop.metaType();
    if (prop.isFlagType()) {
        const QMetaEnum e = prop.enumerator();
        const std::int64_t bits = RawInt(value);
        std::vector<std::pair<std::int64_t, const char*>> elements;
        std::int64_t covered = 0;
        for (int k = 0; k < e.keyCount(); ++k) {
            const std::int64_t kv = std::uint32_t(e.value(k));
            if (kv != 0 && (kv & (kv - 1)) == 0 && (bits & kv) && !(covered & kv)) {
                elements.emplace_back(kv, e.key(k));
                covered |= kv;
            }
        }
        if (bits & ~covered)
            throw EKVXError(QStringLiteral("the set value 0x%1 has elements without names").arg(bits, 0, 16));
        std::sort(elements.begin(), elements.end());
        QStringList names;
        for (const auto& element : elements)
            names.append(QLatin1String(element.second));
        return FormValue::SetOf(names);
    }
    if (prop.isEnumType()) {
        const std::int64_t v = RawInt(value);
        if (const char* key = prop.enumerator().valueToKey(int(v)))
            return FormValue::Ident(QLatin1String(key));
        return FormValue::Integer(v);
    }
    switch (type.id()) {
    case QMetaType::Bool:
        return FormValue::Boolean(value.toBool());
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::SChar:
    case QMetaType::Char:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::UChar:
        return IntegerToForm(prop, value.toLongLong());
    case QMetaType::ULong:
    case QMetaType::ULongLong: {
        const qulonglong v = value.toULongLong();
        if (v > qulonglong(INT64_MAX))
            throw EKVXError(QStringLiteral("the value %1 does not fit a 64-bit signed integer").arg(v));
        return IntegerToForm(prop, std::int64_t(v));
    }
    case QMetaType::Double:
        return FormValue::Float(value.toDouble());
    case QMetaType::Float:
        return FormValue::Single(value.toFloat());
    case QMetaType::QString:
        return FormValue::String(value.toString());
    case QMetaType::QByteArray:
        return FormValue::Binary(value.toByteArray());
    case QMetaType::QStringList: {
        std::vector<FormValue> items;
        for (const QString& s : value.toStringList())
            items.push_back(FormValue::String(s));
        return FormValue::ListOf(std::move(items));
    }
    default:
        break;
    }
    if (type == QMetaType::fromType<Variant>())
        return VariantToForm(value.value<Variant>());
    if (type.flags() & QMetaType::IsEnumeration)
        return IntegerToForm(prop, RawInt(value));
    throw EKVXError(QStringLiteral("a property of type %1 cannot be stored").arg(QLatin1String(type.name())));
}

QVariant FormToScalar(const QMetaProperty& prop, const FormValue& v)
{
    const QMetaType type = prop.metaType();
    if (prop.isFlagType()) {
        if (v.IsInteger())
            return FromRawInt(type, v.Int);
        if (v.Kind != vaSet)
            WrongKind(v, "a set");
        const QMetaEnum e = prop.enumerator();
        std::int64_t bits = 0;
        for (const QString& name : v.Set) {
            int k = 0;
            while (k < e.keyCount() && QString::fromLatin1(e.key(k)).compare(name, Qt::CaseInsensitive) != 0)
                ++k;
            if (k == e.keyCount())
                throw EKVXError(QStringLiteral("Invalid property value (%1 is no element of %2)")
                                    .arg(name, QLatin1String(e.name())));
            bits |= std::uint32_t(e.value(k));
        }
        return FromRawInt(type, bits);
    }
    if (prop.isEnumType()) {
        const QMetaEnum e = prop.enumerator();
        if (v.IsInteger()) {
            if (v.Int < INT32_MIN || v.Int > INT32_MAX || !e.valueToKey(int(v.Int)))
                throw EKVXError(QStringLiteral("Invalid property value (%1 is no value of %2)")
                                    .arg(v.Int)
                                    .arg(QLatin1String(e.name())));
            return FromRawInt(type, v.Int);
        }
        if (v.Kind != vaIdent && v.Kind != vaFalse && v.Kind != vaTrue)
            WrongKind(v, "an identifier");
        const QString name = v.Kind == vaIdent ? v.Text : QLatin1String(v.Kind == vaTrue ? "True" : "False");
        for (int k = 0; k < e.keyCount(); ++k)
            if (QString::fromLatin1(e.key(k)).compare(name, Qt::CaseInsensitive) == 0)
                return FromRawInt(type, e.value(k));
        throw EKVXError(QStringLiteral("Invalid property value (%1 is no value of %2)").arg(name, QLatin1String(e.name())));
    }
    switch (type.id()) {
    case QMetaType::Bool:
        if (v.Kind == vaTrue || v.Kind == vaFalse)
            return QVariant(v.Kind == vaTrue);
        if (v.Kind == vaIdent && (v.Text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0
                                  || v.Text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0))
            return QVariant(v.Text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0);
        WrongKind(v, "True or False");
    case QMetaType::Int:
        return CheckedInteger<int>(FormToInteger(prop, v));
    case QMetaType::Short:
        return CheckedInteger<short>(FormToInteger(prop, v));
    case QMetaType::SChar:
        return CheckedInteger<signed char>(FormToInteger(prop, v));
    case QMetaType::Char:
        return CheckedInteger<char>(FormToInteger(prop, v));
    case QMetaType::Long:
        return CheckedInteger<long>(FormToInteger(prop, v));
    case QMetaType::LongLong:
        return CheckedInteger<qlonglong>(FormToInteger(prop, v));
    case QMetaType::UInt:
        return CheckedInteger<uint>(FormToInteger(prop, v));
    case QMetaType::UShort:
        return CheckedInteger<ushort>(FormToInteger(prop, v));
    case QMetaType::UChar:
        return CheckedInteger<uchar>(FormToInteger(prop, v));
    case QMetaType::ULong:
        return CheckedInteger<ulong>(FormToInteger(prop, v));
    case QMetaType::ULongLong:
        return CheckedInteger<qulonglong>(FormToInteger(prop, v));
    case QMetaType::Double:
        if (v.IsFloat() || v.IsInteger())
            return QVariant(v.ToDouble());
        WrongKind(v, "a number");
    case QMetaType::Float:
        if (v.IsFloat() || v.IsInteger())
            return QVariant(float(v.ToLongDouble()));
        WrongKind(v, "a number");
    case QMetaType::QString:
        if (v.IsString())
            return QVariant(v.Text);
        WrongKind(v, "a string");
    case QMetaType::QByteArray:
        if (v.Kind == vaBinary)
            return QVariant(v.Bytes);
        WrongKind(v, "binary data");
    case QMetaType::QStringList: {
        if (v.Kind != vaList)
            WrongKind(v, "a list of strings");
        QStringList list;
        for (const FormValue& item : v.List) {
            if (!item.IsString())
                WrongKind(item, "a string");
            list.append(item.Text);
        }
        return QVariant(list);
    }
    default:
        break;
    }
    if (type == QMetaType::fromType<Variant>())
        return QVariant::fromValue(FormToVariant(v));
    if (type.flags() & QMetaType::IsEnumeration) {
        const std::int64_t value = FormToInteger(prop, v);
        if (type.sizeOf() == 4 && (value < INT32_MIN || value > UINT32_MAX))
            throw EKVXError(QStringLiteral("Invalid property value (%1 is out of range)").arg(value));
        return FromRawInt(type, value);
    }
    throw EKVXError(QStringLiteral("a property of type %1 cannot be read").arg(QLatin1String(type.name())));
}

} // namespace formio

} // namespace vorel
