#pragma once
// A generic check that every stored property of a registered component
// class survives saving and loading: it creates the class by name, gives
// every stored Q_PROPERTY (nested objects, one new item in each collection,
// one line in each string list, references to the root) a value that is not
// its default, saves in the binary and the text form, loads into a fresh
// object and compares property by property. A second save of the loaded
// object must give the same bytes.
//
//     const QStringList faults = vorel::testsupport::PropertyRoundTrip("TKVXBand");
//     EXPECT_TRUE(faults.isEmpty()) << faults.join('\n').toStdString();
//
// Properties a class stores itself (TFiler) are not known here; test those
// with the class.

#include "foundation/forms/form_objects.h"
#include "foundation/values/variant.h"

#include <QMetaEnum>
#include <QMetaProperty>
#include <cstring>
#include <memory>

namespace vorel::testsupport {

struct RoundTripOptions {
    FormWriteOptions Write;
    FormReadOptions Read;
    // Called after the generic values are set, for what a class needs
    // beyond them (consistent pairs of values, children).
    std::function<void(TComponent*)> Prepare;
    // Properties of the root left at their defaults (a data set's Active,
    // which would open a source that does not exist); still compared.
    QStringList Keep;
};

namespace detail {

inline std::int64_t RawInt(const QVariant& v)
{
    std::int64_t x = 0;
    const int size = int(v.metaType().sizeOf());
    if (size == 1)
        x = *static_cast<const std::int8_t*>(v.constData());
    else if (size == 2)
        x = *static_cast<const std::int16_t*>(v.constData());
    else if (size == 4)
        x = *static_cast<const std::int32_t*>(v.constData());
    else if (size == 8)
        std::memcpy(&x, v.constData(), 8);
    return x;
}

inline QVariant FromRawInt(QMetaType type, std::int64_t value)
{
    const std::int8_t i8 = std::int8_t(value);
    const std::int16_t i16 = std::int16_t(value);
    const std::int32_t i32 = std::int32_t(value);
    switch (type.sizeOf()) {
    case 1:
        return QVariant(type, &i8);
    case 2:
        return QVariant(type, &i16);
    case 4:
        return QVariant(type, &i32);
    default:
        return QVariant(type, &value);
    }
}

// A value of the property's type that differs from `current`.
inline QVariant Different(const QMetaProperty& prop, const QVariant& current)
{
    const QMetaType type = prop.metaType();
    if (prop.isFlagType()) {
        const QMetaEnum e = prop.enumerator();
        std::int64_t all = 0;
        for (int k = 0; k < e.keyCount(); ++k) {
            const std::int64_t kv = std::uint32_t(e.value(k));
            if (kv != 0 && (kv & (kv - 1)) == 0)
                all |= kv;
        }
        return FromRawInt(type, RawInt(current) ^ all);
    }
    if (prop.isEnumType()) {
        const QMetaEnum e = prop.enumerator();
        const std::int64_t now = RawInt(current);
        for (int k = 0; k < e.keyCount(); ++k)
            if (e.value(k) != now)
                return FromRawInt(type, e.value(k));
        return current;
    }
    const bool charset = QLatin1String(prop.name()) == QLatin1String("Charset");
    switch (type.id()) {
    case QMetaType::Bool:
        return QVariant(!current.toBool());
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::LongLong:
        if (charset) // a named character set, so the identifier path is taken
            return FromRawInt(type, current.toInt() == 204 ? 238 : 204);
        return FromRawInt(type, current.toLongLong() + 7);
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::UChar:
    case QMetaType::SChar:
    case QMetaType::Char:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        return FromRawInt(type, (current.toLongLong() + 7) & 0x7F);
    case QMetaType::Double:
        return QVariant(current.toDouble() + 1.25);
    case QMetaType::Float:
        return QVariant(current.toFloat() + 0.5f);
    case QMetaType::QString:
        return QVariant(current.toString() + QString::fromUtf8("ü€x'\r\n"));
    case QMetaType::QByteArray:
        return QVariant(current.toByteArray() + QByteArray("\x00\xFF", 2));
    case QMetaType::QStringList:
        return QVariant(current.toStringList() << QStringLiteral("x"));
    default:
        break;
    }
    if (type == QMetaType::fromType<Variant>()) {
        const Variant v = current.value<Variant>();
        return QVariant::fromValue(v.IsString() ? Variant(42) : Variant(QString::fromUtf8("vé")));
    }
    if (type.flags() & QMetaType::IsEnumeration)
        return FromRawInt(type, RawInt(current) + 7);
    return current;
}

inline void SetNonDefault(QObject* object, TComponent* root, int depth, const QStringList& keep = {})
{
    const QMetaObject* meta = object->metaObject();
    const bool isComponent = qobject_cast<TComponent*>(object) != nullptr;
    for (int i = QObject::staticMetaObject.propertyCount(); i < meta->propertyCount(); ++i) {
        const QMetaProperty prop = meta->property(i);
        if (!prop.isReadable() || !prop.isStored() || (isComponent && QLatin1String(prop.name()) == QLatin1String("Name")))
            continue;
        if (object == root && keep.contains(QLatin1String(prop.name())))
            continue;
        const QVariant current = prop.read(object);
        if (prop.metaType().flags() & QMetaType::PointerToQObject) {
            QObject* value = current.value<QObject*>();
            const QMetaObject* declared = prop.metaType().metaObject();
            if (declared && declared->inherits(&TComponent::staticMetaObject)) {
                QObject* target = root;
                if (prop.isWritable() && root->metaObject()->inherits(declared))
                    prop.write(object, QVariant(prop.metaType(), &target));
            } else if (auto* collection = qobject_cast<TCollection*>(value)) {
                SetNonDefault(collection->Add(), root, depth + 1);
            } else if (auto* list = qobject_cast<TStringList*>(value)) {
                list->Add(QString::fromUtf8("line ü"));
                list->Add(QString());
            } else if (value && depth < 8) {
                SetNonDefault(value, root, depth + 1);
            }
            continue;
        }
        if (prop.isWritable())
            prop.write(object, Different(prop, current));
    }
}

inline bool SameValue(const QVariant& a, const QVariant& b)
{
    if (a.metaType() == QMetaType::fromType<Variant>() && b.metaType() == a.metaType())
        return a.value<Variant>().Identical(b.value<Variant>());
    if (a.metaType().sizeOf() <= 8 && (a.metaType().flags() & QMetaType::IsEnumeration))
        return RawInt(a) == RawInt(b);
    return a == b;
}

inline QString Show(const QVariant& v)
{
    if (v.metaType() == QMetaType::fromType<Variant>())
        return v.value<Variant>().ToString() + QStringLiteral(" (") + Variant::TypeName(v.value<Variant>().Type()) + u')';
    const QString text = v.toString();
    return text.isEmpty() && v.metaType().sizeOf() <= 8 ? QString::number(RawInt(v)) : text;
}

inline void Compare(const QObject* expected, const QObject* actual, const QString& path, QStringList& faults, int depth)
{
    const QMetaObject* meta = expected->metaObject();
    if (actual->metaObject() != meta) {
        faults << QStringLiteral("%1: class %2 instead of %3").arg(path, QLatin1String(actual->metaObject()->className()),
                                                                    QLatin1String(meta->className()));
        return;
    }
    for (int i = QObject::staticMetaObject.propertyCount(); i < meta->propertyCount(); ++i) {
        const QMetaProperty prop = meta->property(i);
        if (!prop.isReadable() || !prop.isStored())
            continue;
        const QString name = path + QLatin1String(prop.name());
        const QVariant a = prop.read(expected);
        const QVariant b = prop.read(actual);
        if (prop.metaType().flags() & QMetaType::PointerToQObject) {
            const QObject* x = a.value<QObject*>();
            const QObject* y = b.value<QObject*>();
            const QMetaObject* declared = prop.metaType().metaObject();
            if (declared && declared->inherits(&TComponent::staticMetaObject)) {
                if (!x != !y || (x && x->objectName() != y->objectName()))
                    faults << QStringLiteral("%1: refers to %2 instead of %3")
                                  .arg(name, y ? y->objectName() : QStringLiteral("nil"),
                                       x ? x->objectName() : QStringLiteral("nil"));
            } else if (auto* cx = qobject_cast<const TCollection*>(x)) {
                auto* cy = qobject_cast<const TCollection*>(y);
                if (!cy || cy->Count() != cx->Count()) {
                    faults << QStringLiteral("%1: %2 items instead of %3").arg(name).arg(cy ? cy->Count() : -1).arg(cx->Count());
                    continue;
                }
                for (int k = 0; k < cx->Count(); ++k)
                    Compare(cx->Items(k), cy->Items(k), QStringLiteral("%1[%2].").arg(name).arg(k), faults, depth + 1);
            } else if (auto* lx = qobject_cast<const TStringList*>(x)) {
                auto* ly = qobject_cast<const TStringList*>(y);
                if (!ly || ly->List() != lx->List())
                    faults << QStringLiteral("%1: lines [%2] instead of [%3]")
                                  .arg(name, ly ? ly->List().join(u'|') : QString(), lx->List().join(u'|'));
            } else if (x && y && depth < 8) {
                Compare(x, y, name + u'.', faults, depth + 1);
            } else if (!x != !y) {
                faults << QStringLiteral("%1: object missing").arg(name);
            }
            continue;
        }
        if (!SameValue(a, b))
            faults << QStringLiteral("%1: %2 instead of %3").arg(name, Show(b), Show(a));
    }
}

} // namespace detail

// Returns one line per fault; empty when every property survived both forms.
inline QStringList PropertyRoundTrip(const QString& className, const RoundTripOptions& options = {})
{
    QStringList faults;
    std::unique_ptr<QObject> original(CreateObject(className, nullptr));
    auto* source = qobject_cast<TComponent*>(original.get());
    if (!source)
        return {QStringLiteral("%1 is not a component class").arg(className)};
    source->SetName(QStringLiteral("RoundTrip"));
    detail::SetNonDefault(source, source, 0, options.Keep);
    if (options.Prepare)
        options.Prepare(source);
    for (const bool text : {false, true}) {
        const QString form = text ? QStringLiteral("text") : QStringLiteral("binary");
        try {
            const QByteArray saved = text ? SaveComponentText(source, options.Write) : SaveComponentBinary(source, options.Write);
            std::unique_ptr<QObject> copy(CreateObject(className, nullptr));
            auto* target = static_cast<TComponent*>(copy.get());
            target->SetName(source->Name()); // references to the root resolve by its name
            const FormReadResult result = LoadComponent(saved, target, options.Read);
            for (const FormUnresolvedReference& r : result.Unresolved)
                faults << QStringLiteral("%1 form: %2 = %3 unresolved").arg(form, r.Property, r.Name);
            QStringList differences;
            detail::Compare(source, target, QString(), differences, 0);
            for (const QString& d : differences)
                faults << form + QStringLiteral(" form: ") + d;
            const QByteArray again = text ? SaveComponentText(target, options.Write) : SaveComponentBinary(target, options.Write);
            if (again != saved)
                faults << QStringLiteral("%1 form: saving the loaded object gives other bytes").arg(form);
        } catch (const EKVXError& e) {
            faults << form + QStringLiteral(" form: ") + e.Message();
        }
    }
    return faults;
}

} // namespace vorel::testsupport
