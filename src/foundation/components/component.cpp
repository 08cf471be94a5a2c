#include "foundation/components/component.h"

#include <QHash>
#include <QPointer>
#include <QSet>
#include <QMetaObject>

namespace vorel {

QString MetaClassName(const QMetaObject* metaObject)
{
    if (!metaObject)
        return {};
    QString name = QString::fromLatin1(metaObject->className());
    const qsizetype colon = name.lastIndexOf(u':');
    return colon >= 0 ? name.mid(colon + 1) : name;
}

// --- TPersistent ---------------------------------------------------------------

QString TPersistent::ClassName() const
{
    return MetaClassName(metaObject());
}

bool TPersistent::IsPropertyStored(const char*) const
{
    return true;
}

void TPersistent::Assign(const TPersistent* source)
{
    AssignError(source);
}

void TPersistent::AssignError(const TPersistent* source) const
{
    const QString from = source ? source->ClassName() : QStringLiteral("nil");
    throw EKVXError(QStringLiteral("Cannot assign a %1 to a %2.").arg(from, ClassName()));
}

// --- TComponent ------------------------------------------------------------------

TComponent::TComponent(QObject* owner) : TPersistent(owner) {}

TComponent::~TComponent()
{
    // Tell the others while this object is still whole: their Notification
    // may look at it (its name, its class) before dropping the reference.
    const QList<TComponent*> others = std::exchange(FFreeNotifies, {});
    for (TComponent* other : others) {
        other->FFreeNotifies.removeAll(this);
        other->Notification(this, opRemove);
    }
}

void TComponent::SetName(const QString& name)
{
    setObjectName(name);
}

TComponent* TComponent::Owner() const
{
    return qobject_cast<TComponent*>(parent());
}

int TComponent::ComponentCount() const
{
    int n = 0;
    for (QObject* child : children())
        if (qobject_cast<TComponent*>(child))
            ++n;
    return n;
}

TComponent* TComponent::Components(int index) const
{
    if (index < 0)
        return nullptr;
    for (QObject* child : children()) {
        if (auto* c = qobject_cast<TComponent*>(child)) {
            if (index == 0)
                return c;
            --index;
        }
    }
    return nullptr;
}

void DeleteChildrenOf(QObject* parent, const QList<QObject*>& doomed)
{
    if (doomed.isEmpty())
        return;
    QSet<QObject*> set;
    set.reserve(doomed.size());
    QList<QPointer<QObject>> strays; // not children of parent
    for (QObject* object : doomed) {
        if (object && object->parent() == parent)
            set.insert(object);
        else if (object)
            strays.append(object);
    }
    if (parent && !set.isEmpty()) {
        QList<QObject*> others;
        for (QObject* child : parent->children())
            if (!set.contains(child))
                others.append(child);
        // Each move costs one search of the list: worth it while the others
        // are fewer than the doomed (a band's frame, font and lists before
        // its controls).
        if (others.size() < set.size()) {
            QObject shelf;
            for (QObject* child : std::as_const(others))
                child->setParent(&shelf);
            for (QObject* child : std::as_const(others))
                child->setParent(parent);
        }
        // Guarded: a destructor may free a sibling of the list itself.
        QList<QPointer<QObject>> order;
        order.reserve(set.size());
        for (QObject* child : parent->children())
            if (set.contains(child))
                order.append(child);
        for (const QPointer<QObject>& child : std::as_const(order))
            delete child.data();
    }
    for (const QPointer<QObject>& object : std::as_const(strays))
        delete object.data();
}

TComponent* TComponent::FindComponent(const QString& name) const
{
    if (name.isEmpty())
        return nullptr;
    for (QObject* child : children())
        if (auto* c = qobject_cast<TComponent*>(child); c && c->Name().compare(name, Qt::CaseInsensitive) == 0)
            return c;
    return nullptr;
}

void TComponent::FreeNotification(TComponent* component)
{
    if (!component || component == this)
        return;
    if (!FFreeNotifies.contains(component))
        FFreeNotifies.append(component);
    if (!component->FFreeNotifies.contains(this))
        component->FFreeNotifies.append(this);
}

void TComponent::RemoveFreeNotification(TComponent* component)
{
    if (!component)
        return;
    FFreeNotifies.removeAll(component);
    component->FFreeNotifies.removeAll(this);
}

void TComponent::Notification(TComponent*, TOperation) {}

// --- TCollectionItem / TCollection ------------------------------------------------

TCollectionItem::TCollectionItem(TCollection* collection) : TPersistent(nullptr)
{
    if (collection)
        collection->InsertItem(this, collection->Count());
}

TCollectionItem::~TCollectionItem()
{
    if (FCollection)
        FCollection->RemoveItem(this);
}

int TCollectionItem::Index() const
{
    return FCollection ? int(FCollection->FItems.indexOf(const_cast<TCollectionItem*>(this))) : -1;
}

void TCollectionItem::SetIndex(int index)
{
    if (!FCollection)
        return;
    const int current = Index();
    if (index < 0)
        index = 0;
    if (index >= FCollection->Count())
        index = FCollection->Count() - 1;
    if (current >= 0 && current != index) {
        FCollection->FItems.move(current, index);
        FCollection->Changed();
    }
}

QString TCollectionItem::DisplayName() const
{
    return ClassName();
}

void TCollectionItem::Changed()
{
    if (FCollection && FCollection->FUpdateCount == 0)
        FCollection->Update(this);
}

TCollection::TCollection(const QMetaObject* itemClass, QObject* owner)
    : TPersistent(owner), FItemClass(itemClass), FOwner(owner)
{
}

TCollection::~TCollection()
{
    FUpdateCount = 1; // no Update calls while tearing down
    Clear();
}

TCollectionItem* TCollection::CreateItem()
{
    QObject* object = FItemClass->newInstance(Q_ARG(vorel::TCollection*, nullptr));
    auto* item = qobject_cast<TCollectionItem*>(object);
    if (!item) {
        delete object;
        throw EClassNotFound(QStringLiteral("Class %1 cannot be created as a collection item")
                                 .arg(MetaClassName(FItemClass)));
    }
    return item;
}

TCollectionItem* TCollection::Add()
{
    return Insert(Count());
}

TCollectionItem* TCollection::Insert(int index)
{
    TCollectionItem* item = CreateItem();
    InsertItem(item, std::clamp(index, 0, Count()));
    Changed();
    return item;
}

TCollectionItem* TCollection::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index));
    return FItems[index];
}

void TCollection::Delete(int index)
{
    delete Items(index);
}

void TCollection::Clear()
{
    if (FItems.isEmpty())
        return;
    BeginUpdate();
    while (!FItems.isEmpty())
        delete FItems.last();
    EndUpdate();
}

void TCollection::BeginUpdate()
{
    ++FUpdateCount;
}

void TCollection::EndUpdate()
{
    if (FUpdateCount > 0 && --FUpdateCount == 0)
        Changed();
}

void TCollection::Assign(const TPersistent* source)
{
    auto* other = qobject_cast<const TCollection*>(source);
    if (!other) {
        TPersistent::Assign(source);
        return;
    }
    if (other == this)
        return;
    BeginUpdate();
    try {
        Clear();
        for (TCollectionItem* item : other->FItems)
            Add()->Assign(item);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TCollection::Update(TCollectionItem* item)
{
    if (OnUpdate)
        OnUpdate(item);
}

void TCollection::InsertItem(TCollectionItem* item, int index)
{
    item->FCollection = this;
    item->FID = FNextID++;
    FItems.insert(index, item);
}

void TCollection::RemoveItem(TCollectionItem* item)
{
    FItems.removeAll(item);
    item->FCollection = nullptr;
    Changed();
}

void TCollection::Changed()
{
    if (FUpdateCount == 0)
        Update(nullptr);
}

// --- TStringList ------------------------------------------------------------------

static void CheckIndex(int index, int count)
{
    if (index < 0 || index >= count)
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index));
}

QString TStringList::Strings(int index) const
{
    CheckIndex(index, Count());
    return FStrings[index];
}

void TStringList::SetStrings(int index, const QString& value)
{
    CheckIndex(index, Count());
    FStrings[index] = value;
    Changed();
}

QObject* TStringList::Objects(int index) const
{
    CheckIndex(index, Count());
    return FObjects[index];
}

void TStringList::SetObjects(int index, QObject* value)
{
    CheckIndex(index, Count());
    FObjects[index] = value;
}

int TStringList::Add(const QString& s, QObject* object)
{
    FStrings.append(s);
    FObjects.append(object);
    Changed();
    return Count() - 1;
}

void TStringList::Insert(int index, const QString& s)
{
    if (index < 0 || index > Count())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index));
    FStrings.insert(index, s);
    FObjects.insert(index, nullptr);
    Changed();
}

void TStringList::Delete(int index)
{
    CheckIndex(index, Count());
    FStrings.removeAt(index);
    FObjects.removeAt(index);
    Changed();
}

void TStringList::Clear()
{
    if (FStrings.isEmpty())
        return;
    FStrings.clear();
    FObjects.clear();
    Changed();
}

int TStringList::IndexOf(const QString& s) const
{
    for (int i = 0; i < Count(); ++i)
        if (FStrings[i].compare(s, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString TStringList::Text() const
{
    QString out;
    for (const QString& s : FStrings) {
        out += s;
        out += QLatin1String("\r\n");
    }
    return out;
}

void TStringList::SetText(const QString& text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            lines.append(text.mid(start, i - start));
            if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
                ++i;
            start = i + 1;
        }
        ++i;
    }
    if (start < n)
        lines.append(text.mid(start));
    SetList(lines);
}

QString TStringList::Values(const QString& name) const
{
    const QString prefix = name + u'=';
    for (const QString& s : FStrings)
        if (s.startsWith(prefix, Qt::CaseInsensitive))
            return s.mid(prefix.size());
    return {};
}

void TStringList::SetList(const QStringList& list)
{
    FStrings = list;
    FObjects = QList<QObject*>(list.size(), nullptr);
    Changed();
}

void TStringList::Assign(const TPersistent* source)
{
    auto* other = qobject_cast<const TStringList*>(source);
    if (!other) {
        TPersistent::Assign(source);
        return;
    }
    if (other == this)
        return;
    FStrings = other->FStrings;
    FObjects = other->FObjects;
    Changed();
}

void TStringList::Changed()
{
    if (OnChange)
        OnChange();
}

// --- class registry ------------------------------------------------------------------

static QHash<QString, const QMetaObject*>& ClassTable()
{
    static QHash<QString, const QMetaObject*> table;
    return table;
}

void RegisterClass(const QMetaObject* metaObject)
{
    if (metaObject)
        ClassTable().insert(MetaClassName(metaObject).toUpper(), metaObject);
}

void UnRegisterClass(const QMetaObject* metaObject)
{
    if (!metaObject)
        return;
    auto& table = ClassTable();
    const QString key = MetaClassName(metaObject).toUpper();
    if (table.value(key) == metaObject)
        table.remove(key);
}

const QMetaObject* GetClass(const QString& name)
{
    return ClassTable().value(name.toUpper(), nullptr);
}

QList<const QMetaObject*> RegisteredClasses()
{
    QList<const QMetaObject*> classes;
    const auto& table = ClassTable();
    QStringList names = table.keys();
    names.sort();
    for (const QString& name : names)
        classes.append(table.value(name));
    return classes;
}

const QMetaObject* FindClass(const QString& name)
{
    const QMetaObject* meta = GetClass(name);
    if (!meta)
        throw EClassNotFound(QStringLiteral("Class %1 not found").arg(name));
    return meta;
}

QObject* CreateObject(const QString& className, QObject* owner)
{
    const QMetaObject* meta = FindClass(className);
    QObject* object = meta->newInstance(Q_ARG(QObject*, owner));
    if (!object)
        throw EClassNotFound(QStringLiteral("Class %1 cannot be created: it has no constructor taking its owner")
                                 .arg(className));
    return object;
}

} // namespace vorel
