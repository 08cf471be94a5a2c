// The framework services the report model stands on: ownership and free
// notification, collections, string lists and creation by class name.

#include "foundation/components/component.h"

#include <gtest/gtest.h>

using namespace vorel;

namespace {

class Watcher : public TComponent {
public:
    using TComponent::TComponent;
    TComponent* Watched = nullptr;
    int Removals = 0;

protected:
    void Notification(TComponent* component, TOperation op) override
    {
        if (op == opRemove && component == Watched) {
            Watched = nullptr;
            ++Removals;
        }
    }
};

TEST(ComponentFramework, FreedComponentIsDroppedByThoseWhoAsked)
{
    Watcher watcher;
    auto* dataSet = new TComponent;
    watcher.Watched = dataSet;
    watcher.FreeNotification(dataSet);
    delete dataSet;
    EXPECT_EQ(watcher.Watched, nullptr);
    EXPECT_EQ(watcher.Removals, 1);
}

TEST(ComponentFramework, NotificationIsSymmetricAndNotRepeatedAfterRemoval)
{
    auto* a = new Watcher;
    Watcher b;
    b.Watched = a;
    a->Watched = &b;
    a->FreeNotification(&b);
    b.RemoveFreeNotification(a);
    delete a; // b no longer listens: it keeps its (now stale) pointer untouched
    EXPECT_EQ(b.Removals, 0);
}

TEST(ComponentFramework, OwnerFreesAndFindsItsComponents)
{
    auto* owner = new TComponent;
    auto* child = new Watcher(owner);
    child->SetName(QStringLiteral("Orders"));
    new QObject(owner); // not a component: not counted
    EXPECT_EQ(owner->ComponentCount(), 1);
    EXPECT_EQ(owner->Components(0), child);
    EXPECT_EQ(owner->Components(1), nullptr);
    EXPECT_EQ(owner->FindComponent(QStringLiteral("ORDERS")), child);
    EXPECT_EQ(child->Owner(), owner);
    Watcher outside;
    outside.Watched = child;
    outside.FreeNotification(child);
    delete owner;
    EXPECT_EQ(outside.Watched, nullptr) << "freeing the owner frees and notifies its components";
}

class Item : public TCollectionItem {
    Q_OBJECT
public:
    Q_INVOKABLE explicit Item(vorel::TCollection* c = nullptr) : TCollectionItem(c) {}
    QString Value;
    void Assign(const TPersistent* source) override
    {
        if (auto* other = qobject_cast<const Item*>(source))
            Value = other->Value;
        else
            TCollectionItem::Assign(source);
    }
};

TEST(ComponentFramework, CollectionAddDeleteMoveAndAssign)
{
    TCollection list(&Item::staticMetaObject, nullptr);
    int updates = 0;
    list.OnUpdate = [&](TCollectionItem*) { ++updates; };
    auto* a = static_cast<Item*>(list.Add());
    auto* b = static_cast<Item*>(list.Add());
    a->Value = QStringLiteral("a");
    b->Value = QStringLiteral("b");
    EXPECT_EQ(updates, 2);
    EXPECT_EQ(b->Index(), 1);
    b->SetIndex(0);
    EXPECT_EQ(list.Items(0), b);
    EXPECT_THROW(list.Items(2), EListError);

    TCollection copy(&Item::staticMetaObject, nullptr);
    int copyUpdates = 0;
    copy.OnUpdate = [&](TCollectionItem*) { ++copyUpdates; };
    copy.Add();
    copy.Assign(&list);
    EXPECT_EQ(copyUpdates, 2) << "one for the Add, one for the whole Assign";
    ASSERT_EQ(copy.Count(), 2);
    EXPECT_EQ(static_cast<Item*>(copy.Items(0))->Value, u"b");

    list.Delete(0);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(a->Index(), 0);
    delete a; // an item freed directly leaves its collection
    EXPECT_EQ(list.Count(), 0);
}

TEST(ComponentFramework, StringListText)
{
    TStringList list;
    list.SetText(QStringLiteral("one\r\ntwo\nthree\rfour"));
    ASSERT_EQ(list.Count(), 4);
    EXPECT_EQ(list.Strings(3), u"four");
    EXPECT_EQ(list.Text(), u"one\r\ntwo\r\nthree\r\nfour\r\n");
    list.SetText(QStringLiteral("a\r\n\r\n"));
    EXPECT_EQ(list.Count(), 2) << "an empty line in the middle stays, the final break adds none";
    EXPECT_EQ(list.IndexOf(QStringLiteral("A")), 0);
    list.SetText(QStringLiteral("Key=Value=2"));
    EXPECT_EQ(list.Values(QStringLiteral("key")), u"Value=2");
    EXPECT_THROW(list.Strings(-1), EListError);
}

TEST(ComponentFramework, ClassRegistry)
{
    RegisterClass(&Watcher::staticMetaObject);
    RegisterClass(&TComponent::staticMetaObject);
    EXPECT_EQ(GetClass(QStringLiteral("tcomponent")), &TComponent::staticMetaObject);
    EXPECT_EQ(GetClass(QStringLiteral("TNoSuchThing")), nullptr);
    try {
        FindClass(QStringLiteral("TNoSuchThing"));
        FAIL();
    } catch (const EClassNotFound& e) {
        EXPECT_EQ(e.Message(), u"Class TNoSuchThing not found");
    }
    TComponent owner;
    QObject* made = CreateObject(QStringLiteral("TComponent"), &owner);
    EXPECT_EQ(made->parent(), &owner);
    EXPECT_EQ(MetaClassName(made->metaObject()), u"TComponent");
}

TEST(ComponentFramework, AssignBetweenUnrelatedClassesRaises)
{
    TStringList list;
    TComponent component;
    try {
        list.Assign(&component);
        FAIL();
    } catch (const EKVXError& e) {
        EXPECT_EQ(e.Message(), u"Cannot assign a TComponent to a TStringList.");
    }
}

} // namespace

#include "component_test.moc"
