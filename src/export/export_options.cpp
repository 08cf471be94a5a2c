#include "export/export_options.h"

#include "export/export_base.h"
#include "foundation/components/component.h"

#include <QLocale>
#include <QMetaEnum>
#include <QMetaProperty>
#include <QVariant>
#include <cmath>
#include <memory>

namespace vorel {

namespace {

enum class TKind { None, Boolean, Integer, Number, Text, Character, Enumeration };

TKind KindOf(const QMetaProperty& property)
{
    if (!property.isWritable())
        return TKind::None;
    if (property.isEnumType())
        return property.isFlagType() ? TKind::None : TKind::Enumeration;
    switch (property.metaType().id()) {
    case QMetaType::Bool:
        return TKind::Boolean;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
        return TKind::Integer;
    case QMetaType::Double:
    case QMetaType::Float:
        return TKind::Number;
    case QMetaType::QString:
        return TKind::Text;
    case QMetaType::QChar:
        return TKind::Character;
    default:
        return TKind::None;
    }
}

QString TypeName(const QMetaProperty& property, TKind kind)
{
    switch (kind) {
    case TKind::Boolean:
        return QStringLiteral("boolean");
    case TKind::Integer:
        return QStringLiteral("integer");
    case TKind::Number:
        return QStringLiteral("number");
    case TKind::Text:
        return QStringLiteral("text");
    case TKind::Character:
        return QStringLiteral("character");
    case TKind::Enumeration:
        return QString::fromLatin1(property.enumerator().name());
    case TKind::None:
        break;
    }
    return {};
}

// The options' properties, in declaration order: from TKVXExport down, so
// the component's Name and Tag stay out.
QList<QMetaProperty> OptionProperties(const QMetaObject* exportClass)
{
    QList<QMetaProperty> properties;
    for (int i = TKVXExport::staticMetaObject.propertyOffset(); i < exportClass->propertyCount(); ++i)
        if (KindOf(exportClass->property(i)) != TKind::None)
            properties << exportClass->property(i);
    return properties;
}

// "se" of "seFlate": the lower-case letters before the first capital; none
// when the name has no capital after them ("ANSI_CHARSET", "none").
qsizetype PrefixLength(const QString& key)
{
    qsizetype n = 0;
    while (n < key.size() && key[n].isLower())
        ++n;
    return n < key.size() && key[n].isUpper() ? n : 0;
}

QString EnumNames(const QMetaEnum& meta)
{
    QStringList names;
    for (int i = 0; i < meta.keyCount(); ++i)
        names << QString::fromLatin1(meta.key(i));
    return names.join(u", ");
}

QString ValueText(const QMetaProperty& property, TKind kind, const QVariant& value)
{
    switch (kind) {
    case TKind::Boolean:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case TKind::Number:
        return QString::number(value.toDouble(), 'g', 15);
    case TKind::Character:
        return value.toChar() == u'\t' ? QStringLiteral("\\t") : QString(value.toChar());
    case TKind::Enumeration: {
        const char* key = property.enumerator().valueToKey(value.toInt());
        return key ? QString::fromLatin1(key) : QString::number(value.toInt());
    }
    default:
        return value.toString();
    }
}

} // namespace

QList<TKVXExportOption> KVXExportOptions(const QMetaObject* exportClass)
{
    if (!exportClass || !exportClass->inherits(&TKVXExport::staticMetaObject))
        throw EKVXError(QStringLiteral("%1 is not an export filter")
                            .arg(exportClass ? MetaClassName(exportClass) : QStringLiteral("(none)")));
    std::unique_ptr<QObject> fresh(exportClass->newInstance(Q_ARG(QObject*, nullptr)));
    if (!fresh)
        throw EKVXError(QStringLiteral("Cannot create the export filter %1").arg(MetaClassName(exportClass)));
    QList<TKVXExportOption> options;
    for (const QMetaProperty& property : OptionProperties(exportClass)) {
        const TKind kind = KindOf(property);
        TKVXExportOption option;
        option.Name = QString::fromLatin1(property.name());
        option.Type = TypeName(property, kind);
        option.Default = ValueText(property, kind, property.read(fresh.get()));
        if (kind == TKind::Enumeration)
            option.Values = EnumNames(property.enumerator()).split(QStringLiteral(", "));
        options << option;
    }
    return options;
}

void SetKVXExportOption(TKVXExport& filter, const QString& name, const QString& value)
{
    const QMetaObject* cls = filter.metaObject();
    const QString className = MetaClassName(cls);
    const QList<QMetaProperty> properties = OptionProperties(cls);
    const QMetaProperty* property = nullptr;
    for (const QMetaProperty& candidate : properties)
        if (QString::fromLatin1(candidate.name()).compare(name, Qt::CaseInsensitive) == 0)
            property = &candidate;
    if (!property) {
        QStringList names;
        for (const QMetaProperty& candidate : properties)
            names << QString::fromLatin1(candidate.name());
        throw EKVXExportOptionError(QStringLiteral("%1 has no option \"%2\" (its options: %3)")
                                        .arg(className, name, names.isEmpty() ? QStringLiteral("none") : names.join(u", ")));
    }
    const TKind kind = KindOf(*property);
    const QString where = className + u'.' + QString::fromLatin1(property->name());
    const auto refuse = [&](const QString& allowed) {
        throw EKVXExportOptionError(QStringLiteral("%1: \"%2\" is not %3").arg(where, value, allowed));
    };
    const QString text = value.trimmed();
    const QLocale c = QLocale::c();
    bool ok = false;
    QVariant converted;
    switch (kind) {
    case TKind::Boolean: {
        const QString t = text.toLower();
        if (t == u"true" || t == u"yes" || t == u"1")
            converted = true;
        else if (t == u"false" || t == u"no" || t == u"0")
            converted = false;
        else
            refuse(QStringLiteral("a boolean (true, false, yes, no, 1 or 0)"));
        break;
    }
    case TKind::Integer: {
        const qlonglong number = c.toLongLong(text, &ok);
        converted = number;
        // The property's own type says whether the number fits.
        if (!ok || !converted.convert(property->metaType()) || converted.toLongLong() != number)
            refuse(property->metaType().id() == QMetaType::Int    ? QStringLiteral("a whole number from -2147483648 to 2147483647")
                   : property->metaType().id() == QMetaType::UInt ? QStringLiteral("a whole number from 0 to 4294967295")
                                                                  : QStringLiteral("a whole number"));
        break;
    }
    case TKind::Number: {
        const double number = c.toDouble(text, &ok);
        if (!ok || !std::isfinite(number))
            refuse(QStringLiteral("a number (such as 2.5)"));
        converted = number;
        break;
    }
    case TKind::Text:
        converted = value; // blanks may matter in a text
        break;
    case TKind::Character:
        if (value == u"\\t")
            converted = QChar(u'\t');
        else if (value.size() == 1)
            converted = value[0];
        else
            refuse(QStringLiteral("one character (or \\t for a tab)"));
        break;
    case TKind::Enumeration: {
        const QMetaEnum meta = property->enumerator();
        int found = -1;
        for (int i = 0; i < meta.keyCount() && found < 0; ++i)
            if (QString::fromLatin1(meta.key(i)).compare(text, Qt::CaseInsensitive) == 0)
                found = i;
        for (int i = 0; i < meta.keyCount() && found < 0; ++i) {
            const QString key = QString::fromLatin1(meta.key(i));
            const qsizetype prefix = PrefixLength(key);
            if (prefix > 0 && key.mid(prefix).compare(text, Qt::CaseInsensitive) == 0)
                found = i;
        }
        if (found < 0)
            refuse(QStringLiteral("one of %1").arg(EnumNames(meta)));
        converted = meta.value(found);
        break;
    }
    case TKind::None:
        break;
    }
    if (kind == TKind::Enumeration && property->metaType().sizeOf() == sizeof(int)) {
        // An enumeration property takes a value of its own type: an int's bits.
        const int number = converted.toInt();
        converted = QVariant(property->metaType(), &number);
    }
    if (!property->write(&filter, converted))
        throw EKVXExportOptionError(QStringLiteral("%1: cannot set \"%2\"").arg(where, value));
}

} // namespace vorel
