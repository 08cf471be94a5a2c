#include "cli/reference_classes.h"

#include "data/data_manager.h"
#include "data/dataset.h"
#include "export/export_base.h"
#include "foundation/components/component.h"
#include "foundation/components/meta_doc.h"
#include "foundation/records/font.h"
#include "foundation/values/variant.h"
#include "frame/print_component.h"
#include "graphics/picture.h"
#include "model/control.h"

#include <QMetaMethod>

#include <algorithm>
#include <cstring>

namespace vorel::cli {

namespace {

// The groups the class sections stand in. A class goes into the first group
// whose test it passes; the sections follow Rank.
struct Group {
    const char* Title;
    int Rank;
    bool (*Holds)(const QMetaObject* meta);
};

const Group kGroups[] = {
    {"Report", 1, [](const QMetaObject* m) { return m->inherits(&TKVPrintBaseComponent::staticMetaObject); }},
    {"Bands and controls", 2, [](const QMetaObject* m) { return m->inherits(&TKVXControl::staticMetaObject); }},
    {"Data", 3,
     [](const QMetaObject* m) {
         return m->inherits(&TDataSet::staticMetaObject) || m == &TField::staticMetaObject
             || m->inherits(&TKVXDataManager::staticMetaObject) || m->inherits(&TKVXDataset::staticMetaObject);
     }},
    {"Export filters", 6, [](const QMetaObject* m) { return m->inherits(&TKVXExport::staticMetaObject); }},
    {"Collection items", 4, [](const QMetaObject* m) { return m->inherits(&TCollectionItem::staticMetaObject); }},
    {"Nested objects", 5, [](const QMetaObject* m) { return !m->inherits(&TComponent::staticMetaObject); }},
    {"Components", 0, [](const QMetaObject*) { return true; }},
};

const Group& GroupOf(const QMetaObject* meta)
{
    for (const Group& group : kGroups)
        if (group.Holds(meta))
            return group;
    return kGroups[std::size(kGroups) - 1];
}

// The first property below QObject's own (objectName is never published).
int FirstProperty()
{
    return QObject::staticMetaObject.propertyCount();
}

// "TComponent/TKVXControl/TKVXLabel": sorting by it puts a base class
// before the classes derived from it, and siblings in name order.
QString InheritancePath(const QMetaObject* meta)
{
    QStringList names;
    for (const QMetaObject* m = meta; m && m != &QObject::staticMetaObject; m = m->superClass())
        names.prepend(MetaClassName(m));
    return names.join(u'/');
}

// The class that declares the property at index (a base class's index
// lies below its subclasses' property offsets).
const QMetaObject* DeclaringClass(const QMetaObject* meta, int index)
{
    while (meta->superClass() && index < meta->propertyOffset())
        meta = meta->superClass();
    return meta;
}

QString Anchor(const QString& heading)
{
    return heading.toLower();
}

QString Code(const QString& text)
{
    return u'`' + text + u'`';
}

QString Cell(QString text)
{
    return text.replace(u'|', QLatin1String("\\|"));
}

// A fresh object through the Q_INVOKABLE constructor forms use: the owner
// (components and persistent objects) or the collection (collection items).
QObject* MakeFresh(const QMetaObject* meta)
{
    for (int i = 0; i < meta->constructorCount(); ++i) {
        const QMetaMethod constructor = meta->constructor(i);
        if (constructor.parameterCount() != 1)
            continue;
        const QByteArray type = constructor.parameterTypes().value(0);
        if (type == "QObject*")
            return meta->newInstance(Q_ARG(QObject*, nullptr));
        if (type == "vorel::TCollection*")
            return meta->newInstance(Q_ARG(vorel::TCollection*, nullptr));
    }
    return nullptr;
}

QObject* ObjectValue(const QObject* instance, const QMetaProperty& property)
{
    if (!instance || !(property.metaType().flags() & QMetaType::PointerToQObject))
        return nullptr;
    return qvariant_cast<QObject*>(property.read(instance));
}

// The integer inside an enumeration's variant, whatever its size.
qint64 RawInt(const QVariant& value)
{
    qint64 result = 0;
    const int size = value.metaType().sizeOf();
    if (size == 1) {
        qint8 x;
        std::memcpy(&x, value.constData(), 1);
        result = x;
    } else if (size == 2) {
        qint16 x;
        std::memcpy(&x, value.constData(), 2);
        result = x;
    } else if (size == 4) {
        qint32 x;
        std::memcpy(&x, value.constData(), 4);
        result = x;
    } else if (size == 8) {
        std::memcpy(&result, value.constData(), 8);
    }
    return result;
}

bool IsCharset(const QMetaProperty& property)
{
    // Forms write integer properties of this name as character set
    // identifiers; the reference says what forms say.
    return property.metaType().id() == QMetaType::Int && qstrcmp(property.name(), "Charset") == 0;
}

QString SetText(const QMetaEnum& enumerator, qint64 bits)
{
    QStringList names;
    for (int k = 0; k < enumerator.keyCount(); ++k) {
        const qint64 value = std::uint32_t(enumerator.value(k));
        if (value != 0 && (bits & value) == value)
            names.append(QLatin1String(enumerator.key(k)));
    }
    return u'[' + names.join(QLatin1String(", ")) + u']';
}

} // namespace

ReferenceClasses::ReferenceClasses()
{
    for (const QMetaObject* meta : RegisteredClasses())
        Add(meta, nullptr);
    // Fields are made by their data sets, never named in a form, but every
    // expression reads them and applications set their display settings.
    Add(&TField::staticMetaObject, nullptr);
    while (!FQueue.isEmpty()) {
        const QMetaObject* meta = FQueue.takeFirst();
        for (qsizetype i = 0; i < FEntries.size(); ++i)
            if (FEntries[i].Meta == meta)
                Walk(i);
    }
    std::sort(FEntries.begin(), FEntries.end(), [](const Entry& a, const Entry& b) {
        const int ra = GroupOf(a.Meta).Rank, rb = GroupOf(b.Meta).Rank;
        return ra != rb ? ra < rb : a.SortKey < b.SortKey;
    });
    for (const Entry& entry : FEntries) {
        for (int i = entry.Meta->propertyOffset(); i < entry.Meta->propertyCount(); ++i) {
            const QMetaProperty property = entry.Meta->property(i);
            if (!property.isEnumType())
                continue;
            const QMetaEnum enumerator = property.enumerator();
            const QString name = QLatin1String(enumerator.name());
            FEnums.insert(name, enumerator);
            FEnumUsers[name].insert(MetaClassName(entry.Meta) + u'.' + QLatin1String(property.name()));
        }
    }
}

ReferenceClasses::~ReferenceClasses() = default;

const QObject* ReferenceClasses::InstanceOf(const QMetaObject* meta)
{
    if (const QObject* known = FInstances.value(meta))
        return known;
    QObject* made = MakeFresh(meta);
    if (!made)
        return nullptr;
    FOwned.emplace_back(made);
    FInstances.insert(meta, made);
    return made;
}

void ReferenceClasses::Add(const QMetaObject* meta, const QObject* found)
{
    if (!meta || Find(meta))
        return;
    Entry entry;
    entry.Meta = meta;
    entry.Instance = InstanceOf(meta);
    if (!entry.Instance && found) {
        // No constructor forms could call (a report's language settings):
        // the object a freshly made owner holds shows the defaults.
        entry.Instance = found;
        FInstances.insert(meta, found);
    }
    entry.Group = QLatin1String(GroupOf(meta).Title);
    // Components first within a group (the data sets before their fields).
    entry.SortKey = (meta->inherits(&TComponent::staticMetaObject) ? u'0' : u'1') + InheritancePath(meta);
    FEntries.append(entry);
    FQueue.append(meta);
}

void ReferenceClasses::Walk(qsizetype index)
{
    const QMetaObject* meta = FEntries[index].Meta;
    const QObject* instance = FEntries[index].Instance;
    // Base classes that publish properties of their own get their own
    // section: a subclass's section then repeats only what it changes.
    for (const QMetaObject* base = meta->superClass(); base && base != &QObject::staticMetaObject;
         base = base->superClass())
        if (base->propertyOffset() < base->propertyCount())
            Add(base, nullptr);
    if (!instance)
        return;
    for (int i = FirstProperty(); i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        QObject* value = ObjectValue(instance, property);
        if (!value || qobject_cast<TComponent*>(value) || qobject_cast<TStringList*>(value)
            || qobject_cast<TPicture*>(value))
            continue; // references by name, and values of their own kind
        const QString holder = MetaClassName(DeclaringClass(meta, i)) + u'.' + QLatin1String(property.name());
        const QMetaObject* held = value->metaObject();
        if (const auto* collection = qobject_cast<TCollection*>(value)) {
            held = collection->ItemClass();
            value = nullptr;
        }
        Add(held, value);
        for (Entry& entry : FEntries)
            if (entry.Meta == held)
                entry.HeldBy.insert(holder);
    }
}

const ReferenceClasses::Entry* ReferenceClasses::Find(const QMetaObject* meta) const
{
    for (const Entry& entry : FEntries)
        if (entry.Meta == meta)
            return &entry;
    return nullptr;
}

QString ReferenceClasses::Link(const QMetaObject* meta) const
{
    const QString name = MetaClassName(meta);
    return Find(meta) ? QStringLiteral("[%1](#%2)").arg(name, Anchor(name)) : Code(name);
}

QString ReferenceClasses::TypeText(const QMetaProperty& property, const QString& holder) const
{
    QString text;
    const QMetaType type = property.metaType();
    if (type.flags() & QMetaType::PointerToQObject) {
        const QMetaObject* target = type.metaObject();
        if (target->inherits(&TCollection::staticMetaObject)) {
            // The item class is known only from an object; the walk found it.
            text = QStringLiteral("collection");
            for (const Entry& entry : FEntries)
                if (entry.HeldBy.contains(holder))
                    text += QStringLiteral(" of ") + Link(entry.Meta);
        } else if (target->inherits(&TStringList::staticMetaObject)) {
            text = QStringLiteral("lines of text");
        } else if (target->inherits(&TPicture::staticMetaObject)) {
            text = QStringLiteral("picture");
        } else if (target->inherits(&TComponent::staticMetaObject)) {
            text = QStringLiteral("reference to a ") + Link(target);
        } else {
            text = Link(target);
        }
    } else if (property.isEnumType()) {
        const QString name = QLatin1String(property.enumerator().name());
        text = QStringLiteral("[%1](#%2)").arg(name, Anchor(name));
        if (property.isFlagType())
            text += QStringLiteral(" (set)");
    } else if (type == QMetaType::fromType<TColor>()) {
        text = QStringLiteral("[colour](#colours)");
    } else if (IsCharset(property)) {
        text = QStringLiteral("[character set](#character-sets)");
    } else if (type == QMetaType::fromType<Variant>()) {
        text = QStringLiteral("value");
    } else {
        switch (type.id()) {
        case QMetaType::Bool: text = QStringLiteral("Boolean"); break;
        case QMetaType::Int:
        case QMetaType::LongLong: text = QStringLiteral("integer"); break;
        case QMetaType::Double: text = QStringLiteral("number"); break;
        case QMetaType::QString: text = QStringLiteral("text"); break;
        default: text = QLatin1String(type.name()); break;
        }
    }
    if (!property.isWritable())
        text += QStringLiteral(", read-only");
    else if (!property.isStored())
        text += QStringLiteral(", not stored");
    return text;
}

QString ReferenceClasses::DefaultText(const QMetaObject* meta, const QObject* instance, const QMetaProperty& property,
                                      int depth) const
{
    if (!instance)
        return QStringLiteral("-");
    const QString words = DefaultDoc(meta, property.name());
    if (!words.isEmpty())
        return words;
    const QMetaType type = property.metaType();
    if (type.flags() & QMetaType::PointerToQObject) {
        const QObject* value = ObjectValue(instance, property);
        if (!value)
            return QStringLiteral("none");
        if (const auto* collection = qobject_cast<const TCollection*>(value))
            return collection->Count() == 0 ? QStringLiteral("empty") : QStringLiteral("%1 items").arg(collection->Count());
        if (const auto* list = qobject_cast<const TStringList*>(value)) {
            QStringList lines;
            for (const QString& line : list->List())
                lines.append(Code(u'\'' + line + u'\''));
            return lines.isEmpty() ? QStringLiteral("empty") : lines.join(QLatin1String(", "));
        }
        if (const auto* picture = qobject_cast<const TPicture*>(value))
            return picture->Empty() ? QStringLiteral("empty") : QStringLiteral("a picture");
        if (const auto* component = qobject_cast<const TComponent*>(value))
            return Code(component->Name());
        const QString differences = NestedDifferences(value, depth + 1);
        return differences.isEmpty() ? QStringLiteral("its class's defaults") : differences;
    }
    const QVariant value = property.read(instance);
    if (property.isFlagType())
        return Code(SetText(property.enumerator(), RawInt(value)));
    if (property.isEnumType()) {
        const char* key = property.enumerator().valueToKey(int(RawInt(value)));
        return Code(key ? QString::fromLatin1(key) : QString::number(RawInt(value)));
    }
    if (type == QMetaType::fromType<TColor>()) {
        const auto color = TColor(std::int32_t(RawInt(value)));
        const QString ident = ColorToIdent(color);
        return Code(ident.isEmpty() ? QString::number(std::int32_t(color)) : ident);
    }
    if (IsCharset(property)) {
        const int charset = value.toInt();
        const QString ident = charset >= 0 && charset <= 255 ? CharsetToIdent(TFontCharset(charset)) : QString();
        return Code(ident.isEmpty() ? QString::number(charset) : ident);
    }
    if (type == QMetaType::fromType<Variant>()) {
        const Variant v = value.value<Variant>();
        return Code(v.IsNull() ? QStringLiteral("Null") : v.IsEmpty() ? QStringLiteral("Unassigned") : v.ToString());
    }
    switch (type.id()) {
    case QMetaType::Bool: return Code(value.toBool() ? QStringLiteral("True") : QStringLiteral("False"));
    case QMetaType::Int:
    case QMetaType::LongLong: return Code(QString::number(value.toLongLong()));
    // Numbers as forms write them, never in the machine's locale.
    case QMetaType::Double: return Code(QString::number(value.toDouble(), 'g', 15));
    case QMetaType::QString: return Code(u'\'' + value.toString() + u'\'');
    default: return Code(value.toString());
    }
}

QString ReferenceClasses::NestedDifferences(const QObject* object, int depth) const
{
    // A nested object's defaults are those of its class's section, except
    // what its owner's constructor changed (a report's font is Arial).
    const QMetaObject* meta = object->metaObject();
    const QObject* reference = FInstances.value(meta);
    if (!reference || reference == object || depth > 4)
        return {};
    QStringList differences;
    for (int i = FirstProperty(); i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        if (!property.isStored())
            continue; // derived from what is stored (a font's Size)
        const QString own = DefaultText(meta, object, property, depth);
        if (own != DefaultText(meta, reference, property, depth))
            differences.append(QLatin1String(property.name()) + QStringLiteral(": ") + own);
    }
    if (differences.isEmpty())
        return {};
    const QString text = differences.join(QLatin1String("; "));
    return depth > 1 ? u'(' + text + u')' : text;
}

void ReferenceClasses::WriteClass(QTextStream& out, const Entry& entry)
{
    const QMetaObject* meta = entry.Meta;
    const QString name = MetaClassName(meta);
    out << "#### " << name << "\n\n";
    QString doc = ClassDoc(meta);
    if (doc.isEmpty()) {
        FMissing.append(name);
        doc = QStringLiteral("**(no explanation)**");
    }
    out << doc << "\n\n";

    QStringList facts;
    if (GetClass(name) == meta)
        facts.append(QStringLiteral("Forms name it %1.").arg(Code(name)));
    QStringList bases;
    for (const QMetaObject* base = meta->superClass(); base; base = base->superClass())
        if (Find(base))
            bases.append(Link(base));
    if (!bases.isEmpty())
        facts.append(QStringLiteral("Inherits the properties of %1.").arg(bases.join(QLatin1String(", "))));
    if (!entry.HeldBy.isEmpty()) {
        QStringList holders(entry.HeldBy.begin(), entry.HeldBy.end());
        std::sort(holders.begin(), holders.end());
        for (QString& holder : holders)
            holder = Code(holder);
        facts.append(QStringLiteral("Held by %1.").arg(holders.join(QLatin1String(", "))));
    }
    if (!entry.Instance)
        facts.append(QStringLiteral("No object of it stands alone, so no defaults are shown."));
    if (!facts.isEmpty())
        out << facts.join(u' ') << "\n\n";

    // The nearest base class an object could be made of: an inherited
    // property is repeated only where this class changes its default or
    // its explanation.
    const QMetaObject* baseMeta = nullptr;
    const QObject* baseInstance = nullptr;
    for (const QMetaObject* base = meta->superClass(); base && !baseInstance; base = base->superClass()) {
        baseMeta = base;
        baseInstance = InstanceOf(base);
    }

    QStringList rows;
    for (int i = FirstProperty(); i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        const QString propertyName = QLatin1String(property.name());
        const QMetaObject* declaring = DeclaringClass(meta, i);
        QString explanation = PropertyDoc(meta, property.name());
        const QString defaultText = DefaultText(meta, entry.Instance, property);
        QString label = Code(propertyName);
        if (declaring != meta) {
            const bool sameAsBase = baseInstance && i < baseMeta->propertyCount()
                && explanation == PropertyDoc(baseMeta, property.name())
                && defaultText == DefaultText(baseMeta, baseInstance, property);
            if (sameAsBase)
                continue;
            label += QStringLiteral(" (inherited)");
        }
        if (explanation.isEmpty()) {
            FMissing.append(name + u'.' + propertyName);
            explanation = QStringLiteral("**(no explanation)**");
        }
        const QString holder = MetaClassName(declaring) + u'.' + propertyName;
        rows.append(QStringLiteral("| %1 | %2 | %3 | %4 |")
                        .arg(label, Cell(TypeText(property, holder)), Cell(defaultText), Cell(explanation)));
    }
    if (rows.isEmpty()) {
        out << "It publishes nothing beyond what it inherits.\n\n";
        return;
    }
    out << "| Property | Type | Default | Explanation |\n|---|---|---|---|\n" << rows.join(u'\n') << "\n\n";
}

void ReferenceClasses::WriteClasses(QTextStream& out)
{
    out << "## Classes\n\n"
           "Every class a report form can hold or an application configures, with the properties it "
           "publishes. A form stores a property by its name; a property equal to its default is left out.\n\n"
           "- **Default** is the value a freshly made object holds. A nested object (a font, a frame) shows "
           "only what differs from its own class's defaults; a collection or list of lines is empty and a "
           "reference to another component is none unless said otherwise.\n"
           "- A class lists the properties it declares; an inherited property appears again, marked "
           "*(inherited)*, only where this class changes its default or its meaning.\n"
           "- Lengths are in report pixels (1/96 inch) unless the explanation names another unit.\n\n";
    QString group;
    for (const Entry& entry : FEntries) {
        if (entry.Group != group) {
            group = entry.Group;
            out << "### " << group << "\n\n";
        }
        WriteClass(out, entry);
    }
}

void ReferenceClasses::WriteEnumerations(QTextStream& out, const QHash<QString, QString>& explainedElsewhere)
{
    out << "## Enumerations\n\n"
           "The values of every enumeration a property takes, by the names forms write. A set takes any "
           "combination of its values, written `[fsBold, fsItalic]`, and `[]` for none.\n\n";
    QStringList names = FEnums.keys();
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    for (const QString& name : names) {
        const QMetaEnum enumerator = FEnums.value(name);
        const QSet<QString> usedBy = FEnumUsers.value(name);
        QStringList users(usedBy.begin(), usedBy.end());
        std::sort(users.begin(), users.end());
        for (QString& user : users)
            user = Code(user);
        out << "### " << name << "\n\n"
            << (enumerator.isFlag() ? "A set, used by " : "Used by ") << users.join(QLatin1String(", ")) << ".";
        QStringList rows;
        for (int k = 0; k < enumerator.keyCount(); ++k) {
            const char* key = enumerator.key(k);
            QString explanation = EnumValueDoc(enumerator, key);
            if (explanation.isEmpty()) {
                FMissing.append(name + u'.' + QLatin1String(key));
                explanation = QStringLiteral("**(no explanation)**");
            }
            rows.append(QStringLiteral("| %1 | %2 |").arg(Code(QLatin1String(key)), Cell(explanation)));
        }
        if (explainedElsewhere.contains(name)) {
            out << " The values are explained under " << explainedElsewhere.value(name) << ".\n\n";
            continue;
        }
        out << "\n\n| Value | Explanation |\n|---|---|\n" << rows.join(u'\n') << "\n\n";
    }
}

} // namespace vorel::cli
