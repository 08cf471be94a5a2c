#pragma once
// The bridge between form trees (form_stream.h) and live objects: writing a
// component with its published properties and children, and reading a form
// into an existing component, through Qt's meta-object system.
//
// What is stored of an object:
// - its Q_PROPERTYs declared below QObject, in declaration order (base class
//   first), that are readable, STORED, accepted by TPersistent::IsPropertyStored
//   and, for plain values, writable; a component's Name goes in the entry
//   header instead;
// - a property equal to its default is left out. The default is the value a
//   freshly constructed object of the class has (one prototype per class,
//   built once through its Q_INVOKABLE constructor and kept); a class
//   without such a constructor has every stored property written. A plain
//   value named in the class's Q_CLASSINFO("AlwaysStored", "A,B") (or a base
//   class's) is written even when it equals its default;
// - nested objects as dotted names ("Font.Name"), collections as collection
//   values, component-typed properties as references by name;
// - then the properties the class defines itself (RegisterDefineProperties:
//   string lists' "Strings", pictures' "Data", event handler names).
//
// Reading sets what the form holds and leaves everything else as the
// constructor made it. Child entries create components by class name from
// the class registry; references are resolved after the whole form is read.

#include "foundation/components/component.h"
#include "foundation/forms/form_stream.h"

#include <QMetaProperty>
#include <QMetaType>
#include <QPointer>
#include <functional>
#include <optional>
#include <vector>

namespace vorel {

// --- properties a class stores itself (the classic DefineProperties) -------------------------

class TFiler {
public:
    // Takes a value from the form; raise EKVXError (any message) for a value
    // it cannot take: the reader adds the property name and the offset.
    using ReadFn = std::function<void(const FormValue&)>;
    // The value to store, or nothing to leave the property out.
    using WriteFn = std::function<std::optional<FormValue>()>;
    struct Entry {
        QString Name;
        ReadFn Read;
        WriteFn Write;
    };

    explicit TFiler(const QObject* ancestor) : FAncestor(ancestor) {}
    // The matching object of a freshly constructed owner (what the defaults
    // are compared with), or nullptr; always nullptr while reading.
    const QObject* Ancestor() const { return FAncestor; }

    void DefineProperty(const QString& name, ReadFn read, WriteFn write);
    // Binary data (vaBinary), e.g. a picture: its class name, then its bytes.
    void DefineBinaryProperty(const QString& name, std::function<void(const QByteArray&)> read,
                              std::function<std::optional<QByteArray>()> write);
    // An event handler stored by method name (an identifier); an empty name is not written.
    void DefineEvent(const QString& name, std::function<QString()> get, std::function<void(const QString&)> set);

    const std::vector<Entry>& Entries() const { return FEntries; }
    const Entry* Find(const QString& name) const; // without regard to case

private:
    const QObject* FAncestor;
    std::vector<Entry> FEntries;
};

// Called for every instance of the class and of its descendants (base class
// first) when it is written or read; one function per class, a second
// registration replaces the first. TStringList's "Strings" is built in.
using TDefinePropertiesFn = std::function<void(QObject* instance, TFiler& filer)>;
void RegisterDefineProperties(const QMetaObject* metaObject, TDefinePropertiesFn define);
void UnRegisterDefineProperties(const QMetaObject* metaObject);

// --- integers stored as identifiers (colours, character sets) --------------------------------

struct TIntegerIdents {
    std::function<QString(std::int64_t)> ToIdent; // empty: no identifier, written as an integer
    std::function<bool(const QString&, std::int64_t&)> FromIdent;
};
// For every property of a type (TColor is built in).
void RegisterIntegerIdents(QMetaType type, TIntegerIdents idents);
// For integer properties of a name on any class ("Charset" is built in).
void RegisterIntegerIdentsForProperty(const QString& propertyName, TIntegerIdents idents);

// The properties every classic control and component carried (Tag, Visible,
// Hint, ShowHint, Cursor, PopupMenu, DragMode, mouse and drag events ...).
// A component that has such a property (a Q_PROPERTY or a defined one)
// reads it; one that has not skips it without error.
const QStringList& InheritedFrameworkProperties();

// --- writing -----------------------------------------------------------------------------------

struct FormWriteOptions {
    // The child entries of a component, in order. Default: the TComponent
    // objects it owns (its QObject children), in creation order.
    std::function<QList<TComponent*>(TComponent* parent)> GetChildren;
    // The object a nested object's properties are compared with instead of
    // the prototype's, or nullptr for the prototype's: what the owner's
    // constructor gives in its context (a control created in a report takes
    // the report's font, so its font is compared with that one).
    std::function<const QObject*(const QObject* instance, const QMetaProperty& property)> NestedDefault;
};

// Raises EStreamError "Error writing <component>.<property>: <reason>" for a
// property whose type cannot be stored or a reference to an unnamed component.
FormComponent ComponentToForm(TComponent* root, const FormWriteOptions& options = {});
QByteArray SaveComponentBinary(TComponent* root, const FormWriteOptions& options = {}); // "TPF0" ...
QByteArray SaveComponentText(TComponent* root, const FormWriteOptions& options = {});

// --- reading -----------------------------------------------------------------------------------

struct FormUnresolvedReference {
    QPointer<QObject> Instance;
    QString Property; // dotted path from the instance
    QString Name; // the name the form holds
};

struct FormReadOptions {
    FormParseOptions Parse;
    // The root keeps its own name (a form loaded into a report does not
    // rename it); false takes the name the form holds.
    bool KeepRootName = true;
    // Creates the component for a child entry of `parent`. Default:
    // CreateObject(entry class, parent), i.e. owned by the parent.
    std::function<TComponent*(TComponent* parent, const FormComponent& entry, const QMetaObject* metaObject)>
        CreateChild;
    // Called once a child and everything inside it has been read, in form order.
    std::function<void(TComponent* parent, TComponent* child)> ChildLoaded;
    // Finds a referenced component the form does not contain (e.g. among
    // the application's components); nullptr when unknown.
    std::function<QObject*(const QString& name)> ResolveReference;
    // Properties set only after the whole form is read and its references
    // are resolved, in form order (a data set's Active, so that it opens
    // with its master already linked). `path` is the stored (dotted) name.
    std::function<bool(const QObject* instance, const QString& path)> DeferProperty;
};

struct FormReadResult {
    // References no component answered to; the property was left unchanged.
    std::vector<FormUnresolvedReference> Unresolved;
};

// Reads a tree into `root`. Errors raise EStreamError naming the component,
// the property and the offset; what was read before stays, a child that
// failed is freed (unless it existed before: an inherited entry).
// Incomplete entries (from a reader that failed) are not created.
FormReadResult FormToComponent(const FormComponent& tree, TComponent* root, const FormReadOptions& options = {});
// Recognises the form (binary or text, with or without the resource
// header), reads it into `root`; when the stream is broken, reads what
// came before the fault and then raises the stream's error.
FormReadResult LoadComponent(QByteArrayView bytes, TComponent* root, const FormReadOptions& options = {});

// The prototype a class's defaults come from (nullptr when the class has no
// Q_INVOKABLE constructor taking QObject*, or TCollection* for items).
const QObject* FormPrototype(const QMetaObject* metaObject);
// Frees the prototypes (library shut-down, or after a class changed its defaults).
void ClearFormPrototypes();

} // namespace vorel
