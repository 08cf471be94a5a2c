// Form trees into live components: properties by (dotted) name, children
// created by class name, references resolved once everything is read.

#include "foundation/forms/form_objects.h"
#include "foundation/forms/form_objects_p.h"
#include "foundation/forms/form_stream_p.h"

#include <QHash>
#include <exception>

namespace vorel {

using namespace formio;

namespace {

// An error that already names its component, property and offset.
class EFormContextError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

struct Deferred {
    QPointer<QObject> Instance;
    QString Component; // for messages
    QString ComponentPath; // for the error's place: from the form's root
    QString Path; // for messages: with the prefix of a collection item
    FormProperty Property; // the name relative to the instance
    bool ComponentLevel = false;
};

struct Fixup {
    QPointer<QObject> Instance;
    QMetaProperty Property;
    QString Path;
    QString Name;
};

class ObjectReader {
public:
    ObjectReader(TComponent* root, const FormReadOptions& options) : FRoot(root), FOptions(options) {}

    FormReadResult Read(const FormComponent& tree)
    {
        FComponent = tree.Name.isEmpty() ? tree.ClassName : tree.Name;
        FComponentPath = FComponent;
        if (!FOptions.KeepRootName && !tree.Name.isEmpty())
            FRoot->SetName(tree.Name);
        ReadProperties(FRoot, tree.Properties, QString(), true);
        ReadChildren(FRoot, tree);
        FormReadResult result = Resolve();
        ApplyDeferred();
        return result;
    }

private:
    // The place is the form's, also when the reason came from elsewhere (a
    // data set opening on its file): the message says where it was read.
    [[noreturn]] void Fail(const QString& reason) const
    {
        throw EFormContextError(FormErrorMessage(FComponent, FPath, FOffset, FLine, reason),
                                FormErrorPlace(FComponentPath, FPath, FOffset, FLine));
    }

    void ReadProperties(QObject* object, const std::vector<FormProperty>& properties, const QString& displayPrefix,
                        bool componentLevel)
    {
        for (const FormProperty& p : properties) {
            FPath = displayPrefix + p.Name;
            FOffset = p.Offset;
            FLine = p.Line;
            if (FOptions.DeferProperty && FOptions.DeferProperty(object, p.Name)) {
                FDeferred.push_back({object, FComponent, FComponentPath, FPath, p, componentLevel});
                continue;
            }
            try {
                ReadProperty(object, p.Name, p.Value, componentLevel);
            } catch (const EFormContextError&) {
                throw;
            } catch (const EKVXError& e) {
                Fail(e.Message());
            } catch (const std::exception& e) {
                Fail(QString::fromUtf8(e.what()));
            }
        }
    }

    void ReadProperty(QObject* object, const QString& path, const FormValue& value, bool componentLevel)
    {
        const QStringList parts = path.split(u'.');
        QObject* target = object;
        for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
            const QMetaProperty prop = FindProperty(target->metaObject(), parts[i]);
            QObject* next = prop.isValid() ? ObjectValue(target, prop) : nullptr;
            if (!next || ClassifyProperty(prop, next) == PropKind::Reference) {
                if (componentLevel && IsInheritedFrameworkName(path))
                    return;
                throw EKVXError(QStringLiteral("Property %1 does not exist").arg(path));
            }
            target = next;
        }
        const QString& last = parts.last();
        const QMetaProperty prop = FindProperty(target->metaObject(), last);
        if (prop.isValid()) {
            SetProperty(target, prop, value);
            return;
        }
        TFiler filer(nullptr);
        CallDefineProperties(target, filer);
        if (const TFiler::Entry* entry = filer.Find(last); entry && entry->Read) {
            entry->Read(value);
            return;
        }
        if (componentLevel && IsInheritedFrameworkName(path))
            return; // a framework property this class does without
        throw EKVXError(QStringLiteral("Property %1 does not exist").arg(path));
    }

    void SetProperty(QObject* target, const QMetaProperty& prop, const FormValue& value)
    {
        QObject* current = ObjectValue(target, prop);
        switch (ClassifyProperty(prop, current)) {
        case PropKind::Scalar:
            if (!prop.isWritable())
                throw EKVXError(QStringLiteral("Property %1 is read-only").arg(QLatin1String(prop.name())));
            if (!prop.write(target, FormToScalar(prop, value)))
                throw EKVXError(QStringLiteral("Invalid property value"));
            return;
        case PropKind::Reference:
            if (!prop.isWritable())
                throw EKVXError(QStringLiteral("Property %1 is read-only").arg(QLatin1String(prop.name())));
            if (value.Kind == vaNil) {
                WritePointer(target, prop, nullptr);
            } else if (value.Kind == vaIdent) {
                FFixups.push_back({target, prop, FPath, value.Text});
            } else {
                throw EKVXError(QStringLiteral("Invalid property value (%1 where a component name was expected)")
                                    .arg(ValueTypeName(value.Kind)));
            }
            return;
        case PropKind::Collection: {
            auto* collection = qobject_cast<TCollection*>(current);
            if (!collection)
                throw EKVXError(QStringLiteral("Property %1 holds no collection").arg(QLatin1String(prop.name())));
            if (value.Kind != vaCollection)
                throw EKVXError(QStringLiteral("Invalid property value (%1 where a collection was expected)")
                                    .arg(ValueTypeName(value.Kind)));
            ReadCollection(collection, value);
            return;
        }
        case PropKind::Nested:
            throw EKVXError(QStringLiteral("Invalid property value (%1 where the properties of %2 were expected)")
                                .arg(ValueTypeName(value.Kind), QLatin1String(prop.name())));
        }
    }

    static void WritePointer(QObject* target, const QMetaProperty& prop, QObject* pointer)
    {
        // Pointers to QObject classes share their address with the QObject
        // base (single inheritance), so the value can go in as it is.
        if (!prop.write(target, QVariant(prop.metaType(), &pointer)))
            throw EKVXError(QStringLiteral("Invalid property value"));
    }

    void ReadCollection(TCollection* collection, const FormValue& value)
    {
        const QString path = FPath;
        const std::int64_t offset = FOffset;
        const int line = FLine;
        collection->BeginUpdate();
        struct EndUpdate {
            TCollection* c;
            ~EndUpdate() { c->EndUpdate(); }
        } endUpdate{collection};
        collection->Clear();
        for (size_t i = 0; i < value.Items.size(); ++i) {
            const FormCollectionItem& item = value.Items[i];
            TCollectionItem* created = collection->Add();
            ReadProperties(created, item.Properties, QStringLiteral("%1[%2].").arg(path).arg(i), false);
        }
        FPath = path;
        FOffset = offset;
        FLine = line;
    }

    void ReadChildren(TComponent* parent, const FormComponent& entry)
    {
        for (const FormComponent& child : entry.Children) {
            if (!child.Complete)
                return; // the reader failed inside it: the caller raises that error
            ReadChild(parent, child);
        }
    }

    void ReadChild(TComponent* parent, const FormComponent& entry)
    {
        const QString outer = FComponent;
        const QString outerPath = FComponentPath;
        FComponent = entry.Name.isEmpty() ? entry.ClassName : entry.Name;
        FComponentPath = FormChildPath(outerPath, FComponent);
        FPath.clear();
        FOffset = entry.Offset;
        FLine = entry.Line;
        TComponent* component = nullptr;
        bool created = false;
        if (entry.Flags & ffInherited) {
            component = parent->FindComponent(entry.Name);
            if (!component)
                Fail(QStringLiteral("Ancestor for '%1' not found").arg(entry.Name));
        } else {
            const QMetaObject* meta = GetClass(entry.ClassName);
            if (!meta)
                Fail(QStringLiteral("Class %1 not found").arg(entry.ClassName));
            if (!meta->inherits(&TComponent::staticMetaObject))
                Fail(QStringLiteral("Class %1 is not a component").arg(entry.ClassName));
            try {
                component = FOptions.CreateChild ? FOptions.CreateChild(parent, entry, meta)
                                                 : qobject_cast<TComponent*>(CreateObject(entry.ClassName, parent));
            } catch (const EKVXError& e) {
                Fail(e.Message());
            }
            if (!component)
                Fail(QStringLiteral("Class %1 could not be created").arg(entry.ClassName));
            created = true;
        }
        QPointer<TComponent> guard(component);
        try {
            if (!entry.Name.isEmpty())
                component->SetName(entry.Name);
            ReadProperties(component, entry.Properties, QString(), true);
            ReadChildren(component, entry);
        } catch (...) {
            if (created)
                delete guard.data(); // a half-read child does not stay
            throw;
        }
        FComponent = entry.Name.isEmpty() ? entry.ClassName : entry.Name;
        FComponentPath = FormChildPath(outerPath, FComponent);
        FPath.clear();
        if (FOptions.ChildLoaded) {
            try {
                FOptions.ChildLoaded(parent, component);
            } catch (const EKVXError& e) {
                FOffset = entry.Offset;
                FLine = entry.Line;
                Fail(e.Message());
            }
        }
        FComponent = outer;
        FComponentPath = outerPath;
    }

    // Properties held back until the references were resolved, in form order.
    void ApplyDeferred()
    {
        for (const Deferred& d : FDeferred) {
            if (!d.Instance)
                continue; // freed with a child that failed
            FComponent = d.Component;
            FComponentPath = d.ComponentPath;
            FPath = d.Path;
            FOffset = d.Property.Offset;
            FLine = d.Property.Line;
            try {
                ReadProperty(d.Instance, d.Property.Name, d.Property.Value, d.ComponentLevel);
            } catch (const EFormContextError&) {
                throw;
            } catch (const EKVXError& e) {
                Fail(e.Message());
            } catch (const std::exception& e) {
                Fail(QString::fromUtf8(e.what()));
            }
        }
    }

    // --- references ---------------------------------------------------------------------------

    void IndexNames(TComponent* component)
    {
        if (!component->Name().isEmpty())
            FNames.insert(component->Name().toUpper(), component); // the first of a name wins
        for (QObject* child : component->children())
            if (auto* c = qobject_cast<TComponent*>(child))
                IndexNames(c);
    }

    QObject* Lookup(const QString& name)
    {
        if (name.contains(u'.')) {
            // "Owner.Name": the owner among the form's components, then the name inside it.
            const QStringList parts = name.split(u'.');
            QObject* found = FNames.value(parts.first().toUpper());
            for (qsizetype i = 1; found && i < parts.size(); ++i) {
                auto* owner = qobject_cast<TComponent*>(found);
                found = owner ? owner->FindComponent(parts[i]) : nullptr;
            }
            if (found)
                return found;
        } else if (QObject* found = FNames.value(name.toUpper())) {
            return found;
        }
        return FOptions.ResolveReference ? FOptions.ResolveReference(name) : nullptr;
    }

    FormReadResult Resolve()
    {
        FormReadResult result;
        if (FFixups.empty())
            return result;
        IndexNames(FRoot);
        for (const Fixup& f : FFixups) {
            if (!f.Instance)
                continue; // freed with a child that failed
            QObject* target = Lookup(f.Name);
            const QMetaObject* declared = f.Property.metaType().metaObject();
            if (target && declared && !target->metaObject()->inherits(declared))
                target = nullptr; // a component of another class by that name
            if (target && f.Property.write(f.Instance, QVariant(f.Property.metaType(), &target)))
                continue;
            result.Unresolved.push_back({f.Instance, f.Path, f.Name});
        }
        return result;
    }

    TComponent* FRoot;
    const FormReadOptions& FOptions;
    QString FComponent;
    QString FComponentPath;
    QString FPath;
    std::int64_t FOffset = -1;
    int FLine = 0;
    std::vector<Fixup> FFixups;
    std::vector<Deferred> FDeferred;
    QHash<QString, QObject*> FNames;
};

} // namespace

FormReadResult FormToComponent(const FormComponent& tree, TComponent* root, const FormReadOptions& options)
{
    if (!root)
        throw EStreamError(QStringLiteral("Error reading form: no component to read into"));
    return ObjectReader(root, options).Read(tree);
}

FormReadResult LoadComponent(QByteArrayView bytes, TComponent* root, const FormReadOptions& options)
{
    FormComponent tree;
    std::exception_ptr streamError;
    try {
        ReadFormAny(bytes, tree, options.Parse);
    } catch (const EStreamError&) {
        streamError = std::current_exception();
    }
    if (streamError && tree.ClassName.isEmpty())
        std::rethrow_exception(streamError);
    FormReadResult result = FormToComponent(tree, root, options);
    if (streamError)
        std::rethrow_exception(streamError);
    return result;
}

} // namespace vorel
