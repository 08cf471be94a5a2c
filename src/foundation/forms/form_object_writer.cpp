// Live components to form trees: published properties that differ from the
// class's defaults, nested objects, collections, references and the
// properties classes define themselves, then the children.

#include "foundation/forms/form_objects.h"
#include "foundation/forms/form_objects_p.h"

namespace vorel {

using namespace formio;

namespace {

// Nested objects deeper than this are taken for a cycle of properties.
constexpr int kMaxNesting = 64;

class ObjectWriter {
public:
    ObjectWriter(TComponent* root, const FormWriteOptions& options) : FRoot(root), FOptions(options) {}

    FormComponent WriteComponent(TComponent* component)
    {
        FormComponent entry;
        entry.ClassName = MetaClassName(component->metaObject());
        entry.Name = component->Name();
        entry.Complete = true;
        const QString outer = FComponent;
        FComponent = entry.Name.isEmpty() ? entry.ClassName : entry.Name;
        WriteProperties(component, FormPrototype(component->metaObject()), QString(), QString(), entry.Properties, 0);
        for (TComponent* child : Children(component))
            entry.Children.push_back(WriteComponent(child));
        FComponent = outer;
        return entry;
    }

private:
    [[noreturn]] void Fail(const QString& reason) const
    {
        QString what = FComponent;
        if (!FProperty.isEmpty())
            what += u'.' + FProperty;
        throw EStreamError(QStringLiteral("Error writing %1: %2").arg(what, reason));
    }

    template <typename F>
    auto Guarded(F&& f) -> decltype(f())
    {
        try {
            return f();
        } catch (const EStreamError&) {
            throw;
        } catch (const EKVXError& e) {
            Fail(e.Message());
        }
    }

    QList<TComponent*> Children(TComponent* parent) const
    {
        if (FOptions.GetChildren)
            return FOptions.GetChildren(parent);
        QList<TComponent*> children;
        for (QObject* child : parent->children())
            if (auto* component = qobject_cast<TComponent*>(child))
                children.append(component);
        return children;
    }

    // `namePrefix` goes into the stored names ("Font."), `displayPrefix`
    // into messages only ("Variables[2].").
    void WriteProperties(QObject* object, const QObject* ancestor, const QString& namePrefix,
                         const QString& displayPrefix, std::vector<FormProperty>& out, int depth)
    {
        if (depth > kMaxNesting)
            Fail(QStringLiteral("nested objects deeper than %1 levels (a cycle of properties?)").arg(kMaxNesting));
        if (!ancestor || ancestor->metaObject() != object->metaObject())
            ancestor = FormPrototype(object->metaObject());
        if (ancestor == object)
            ancestor = nullptr;
        const QMetaObject* meta = object->metaObject();
        const auto* persistent = qobject_cast<const TPersistent*>(object);
        const bool isComponent = qobject_cast<const TComponent*>(object) != nullptr;
        for (int i = FirstStoredProperty(); i < meta->propertyCount(); ++i) {
            const QMetaProperty prop = meta->property(i);
            if (!prop.isReadable() || !prop.isStored())
                continue;
            if (isComponent && qstrcmp(prop.name(), "Name") == 0)
                continue; // the entry header holds it
            if (persistent && !persistent->IsPropertyStored(prop.name()))
                continue;
            const QString name = namePrefix + QLatin1String(prop.name());
            FProperty = displayPrefix + name;
            QObject* value = ObjectValue(object, prop);
            switch (ClassifyProperty(prop, value)) {
            case PropKind::Scalar: {
                if (!prop.isWritable())
                    break;
                FormValue v = Guarded([&] { return ScalarToForm(prop, prop.read(object)); });
                if (ancestor && !IsAlwaysStored(meta, prop.name())
                    && Guarded([&] { return ScalarToForm(prop, prop.read(ancestor)); }) == v)
                    break;
                out.push_back({name, std::move(v)});
                break;
            }
            case PropKind::Reference: {
                if (!prop.isWritable())
                    break;
                QObject* fallback = ancestor ? ObjectValue(ancestor, prop) : nullptr;
                if (value == fallback)
                    break;
                out.push_back({name, value ? FormValue::Ident(ReferenceName(value)) : FormValue::Simple(vaNil)});
                break;
            }
            case PropKind::Collection: {
                auto* collection = qobject_cast<TCollection*>(value);
                if (!collection)
                    break;
                FormValue v = CollectionValue(collection, displayPrefix + name, depth);
                auto* fallback = ancestor ? qobject_cast<TCollection*>(ObjectValue(ancestor, prop)) : nullptr;
                const FormValue d = fallback ? CollectionValue(fallback, displayPrefix + name, depth)
                                             : FormValue::Collection({});
                FProperty = displayPrefix + name;
                if (v == d)
                    break;
                out.push_back({name, std::move(v)});
                break;
            }
            case PropKind::Nested: {
                if (!value)
                    break;
                const QObject* nestedAncestor = ancestor ? ObjectValue(ancestor, prop) : nullptr;
                if (FOptions.NestedDefault)
                    if (const QObject* context = FOptions.NestedDefault(object, prop))
                        nestedAncestor = context;
                WriteProperties(value, nestedAncestor, name + u'.', displayPrefix, out, depth + 1);
                break;
            }
            }
        }
        TFiler filer(ancestor);
        CallDefineProperties(object, filer);
        for (const TFiler::Entry& entry : filer.Entries()) {
            if (!entry.Write)
                continue;
            FProperty = displayPrefix + namePrefix + entry.Name;
            if (std::optional<FormValue> v = Guarded([&] { return entry.Write(); }))
                out.push_back({namePrefix + entry.Name, std::move(*v)});
        }
    }

    FormValue CollectionValue(TCollection* collection, const QString& displayName, int depth)
    {
        std::vector<FormCollectionItem> items;
        items.reserve(size_t(collection->Count()));
        for (int i = 0; i < collection->Count(); ++i) {
            TCollectionItem* item = collection->Items(i);
            FormCollectionItem entry;
            WriteProperties(item, FormPrototype(item->metaObject()), QString(),
                            QStringLiteral("%1[%2].").arg(displayName).arg(i), entry.Properties, depth + 1);
            items.push_back(std::move(entry));
        }
        return FormValue::Collection(std::move(items));
    }

    // Components of the form (the root and everything below it) by their
    // name, others as "Owner.Name" so they can be found in their own form.
    QString ReferenceName(QObject* value) const
    {
        auto* component = qobject_cast<TComponent*>(value);
        if (!component)
            Fail(QStringLiteral("the property refers to an object that is not a component"));
        if (component->Name().isEmpty())
            Fail(QStringLiteral("the property refers to a component without a name"));
        for (QObject* p = component; p; p = p->parent())
            if (p == FRoot)
                return component->Name();
        if (TComponent* owner = component->Owner(); owner && !owner->Name().isEmpty())
            return owner->Name() + u'.' + component->Name();
        return component->Name();
    }

    TComponent* FRoot;
    const FormWriteOptions& FOptions;
    QString FComponent;
    QString FProperty;
};

} // namespace

FormComponent ComponentToForm(TComponent* root, const FormWriteOptions& options)
{
    if (!root)
        throw EStreamError(QStringLiteral("Error writing form: no component"));
    return ObjectWriter(root, options).WriteComponent(root);
}

QByteArray SaveComponentBinary(TComponent* root, const FormWriteOptions& options)
{
    return WriteFormBinary(ComponentToForm(root, options));
}

QByteArray SaveComponentText(TComponent* root, const FormWriteOptions& options)
{
    return WriteFormText(ComponentToForm(root, options));
}

} // namespace vorel
