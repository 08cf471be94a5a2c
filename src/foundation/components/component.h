#pragma once
// The component framework Vorel builds on (what the classic VCL supplied):
// persistent objects with Assign, components with an owner, a name and free
// notification, collections, string lists and the class registry.
//
// Published properties are Q_PROPERTYs in declaration order; a property's
// declared default is the value a freshly constructed object has, and form
// streaming omits a property equal to it.
//
// Enumerations that forms store by name live in a Q_GADGET holder so that the
// meta-object system knows their value names, and are brought to namespace
// scope with `using enum`, e.g.
//     class TAlignments { Q_GADGET public: enum TAlignment {...}; Q_ENUM(TAlignment) };
//     using TAlignment = TAlignments::TAlignment;
//     using enum TAlignments::TAlignment;
// Q_PROPERTY declarations name the fully qualified type
// (vorel::TAlignments::TAlignment): without the namespace moc does not tie the
// property to its enumerator, and forms could not store the value by name.

#include "foundation/values/errors.h"

#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <algorithm>
#include <functional>
#include <utility>

namespace vorel {

class TPersistent : public QObject {
    Q_OBJECT
public:
    explicit TPersistent(QObject* parent = nullptr) : QObject(parent) {}
    ~TPersistent() override = default;

    // Copies the content of source. The default accepts only nullptr-free
    // sources of a class that overrides it and otherwise raises
    // "Cannot assign a X to a Y".
    virtual void Assign(const TPersistent* source);
    // The class name as the meta-object reports it, without namespace.
    QString ClassName() const;
    // Whether form streaming writes a published property at all (before the
    // comparison with its default). Qt 6 has no per-object STORED functions,
    // so classes that store a property conditionally override this.
    virtual bool IsPropertyStored(const char* name) const;

protected:
    [[noreturn]] void AssignError(const TPersistent* source) const;
};

enum TOperation { opInsert, opRemove };

class TComponent : public TPersistent {
    Q_OBJECT
    Q_CLASSINFO("Doc", "The base of every component a form holds (report, bands, controls, data sets, export "
                       "filters): a name and a tag.")
    Q_PROPERTY(QString Name READ Name WRITE SetName)
    Q_CLASSINFO("Doc.Name", "The component's name: forms refer to components by it (a band's Dataset, a detail's "
                            "Master), and expressions qualify fields with a data set's name.")
    Q_PROPERTY(int Tag READ Tag WRITE SetTag)
    Q_CLASSINFO("Doc.Tag", "A number for the application's own use; Vorel never reads it.")
public:
    Q_INVOKABLE explicit TComponent(QObject* owner = nullptr);
    // Tells every component that asked for free notification, before the
    // members of this object are destroyed.
    ~TComponent() override;

    QString Name() const { return objectName(); }
    virtual void SetName(const QString& name);
    int Tag() const { return FTag; }
    void SetTag(int value) { FTag = value; }

    // The owner frees its components (it is the QObject parent).
    TComponent* Owner() const;
    int ComponentCount() const;
    TComponent* Components(int index) const; // nullptr when out of range
    TComponent* FindComponent(const QString& name) const; // case-insensitive

    // Ask to be told (through Notification(this-or-other, opRemove)) when
    // `component` is freed. Symmetric, as in the classic framework.
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);

protected:
    // Called when a component this one asked about is being freed; the
    // override drops its references to it.
    virtual void Notification(TComponent* component, TOperation operation);

private:
    int FTag = 0;
    QList<TComponent*> FFreeNotifies;
};

class TCollection;

class TCollectionItem : public TPersistent {
    Q_OBJECT
public:
    // Items created by a collection are built with a null collection and then
    // inserted; the parameter type is spelt in full because newInstance matches
    // constructor signatures by their text.
    Q_INVOKABLE explicit TCollectionItem(vorel::TCollection* collection = nullptr);
    ~TCollectionItem() override;

    TCollection* Collection() const { return FCollection; }
    int Index() const;
    void SetIndex(int index);
    int ID() const { return FID; }
    virtual QString DisplayName() const;

protected:
    // Tells the collection an item's content changed (Update of the owner).
    void Changed();

private:
    friend class TCollection;
    TCollection* FCollection = nullptr;
    int FID = 0;
};

// Ordered, index-addressed items of one class, owned by the collection.
// The item class must have a Q_INVOKABLE constructor taking vorel::TCollection*.
class TCollection : public TPersistent {
    Q_OBJECT
public:
    TCollection(const QMetaObject* itemClass, QObject* owner);
    ~TCollection() override;

    TCollectionItem* Add();
    TCollectionItem* Insert(int index);
    int Count() const { return int(FItems.size()); }
    TCollectionItem* Items(int index) const; // raises EListError out of range
    void Delete(int index);
    void Clear();
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }
    QObject* Owner() const { return FOwner; }
    const QMetaObject* ItemClass() const { return FItemClass; }
    void Assign(const TPersistent* source) override;

    // Called after a change to one item (item != nullptr) or to the list.
    std::function<void(TCollectionItem*)> OnUpdate;

protected:
    virtual void Update(TCollectionItem* item);
    virtual TCollectionItem* CreateItem();

private:
    friend class TCollectionItem;
    void InsertItem(TCollectionItem* item, int index);
    void RemoveItem(TCollectionItem* item);
    void Changed();

    const QMetaObject* FItemClass;
    QPointer<QObject> FOwner;
    QList<TCollectionItem*> FItems;
    int FUpdateCount = 0;
    int FNextID = 0;
};

// An ordered list of strings with optional objects, as the classic TStringList.
class TStringList : public TPersistent {
    Q_OBJECT
public:
    explicit TStringList(QObject* parent = nullptr) : TPersistent(parent) {}

    int Count() const { return int(FStrings.size()); }
    QString Strings(int index) const; // raises EListError out of range
    void SetStrings(int index, const QString& value);
    QObject* Objects(int index) const;
    void SetObjects(int index, QObject* value);
    int Add(const QString& s, QObject* object = nullptr);
    void Insert(int index, const QString& s);
    void Delete(int index);
    void Clear();
    int IndexOf(const QString& s) const; // case-insensitive, as the classic list
    // Lines joined with CR LF, a final CR LF included; SetText splits at CR,
    // LF or CR LF.
    QString Text() const;
    void SetText(const QString& text);
    // The value after "name=" of the first line starting with it (case-insensitive).
    QString Values(const QString& name) const;
    const QStringList& List() const { return FStrings; }
    void SetList(const QStringList& list);
    void Assign(const TPersistent* source) override;
    bool Equals(const TStringList& other) const { return FStrings == other.FStrings; }

    std::function<void()> OnChange;

private:
    void Changed();
    QStringList FStrings;
    QList<QObject*> FObjects;
};

// --- class registry ------------------------------------------------------------
// Maps class names to meta-objects so that streaming can create objects by
// name. Names compare without regard to case, as in the classic framework.
void RegisterClass(const QMetaObject* metaObject);
void UnRegisterClass(const QMetaObject* metaObject);
// nullptr when the name was never registered.
const QMetaObject* GetClass(const QString& name);
// Every registered class, ordered by name (for tests, palettes and tools).
QList<const QMetaObject*> RegisteredClasses();
// Raises EClassNotFound "Class X not found" when never registered.
const QMetaObject* FindClass(const QString& name);
// Creates an object of a registered class through its Q_INVOKABLE
// constructor taking the owner (QObject*); raises when the class is unknown
// or has no such constructor.
QObject* CreateObject(const QString& className, QObject* owner);
// The unqualified class name of a meta-object ("TKVXBand", not "vorel::TKVXBand").
QString MetaClassName(const QMetaObject* metaObject);

// Frees the given children of parent (in their order among its children) in
// time linear in the parent's child count. QObject looks a dying child up in
// its parent's list from the front and closes the gap behind it, so freeing n
// children one by one costs n * n / 2 steps; here the parent's other children
// first move behind the doomed ones, so that each dies at the head of the
// list, which QObject drops in one step. Objects that are not children of
// parent are freed as they are. The others keep their relative order.
void DeleteChildrenOf(QObject* parent, const QList<QObject*>& doomed);

} // namespace vorel
