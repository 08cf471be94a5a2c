#pragma once
// Shared by the object writer and reader of form_objects.h (not part of the interface).

#include "foundation/forms/form_objects.h"

#include <QMetaProperty>
#include <QVariant>

namespace vorel::formio {

// Properties below this index belong to QObject (objectName) and are never stored.
int FirstStoredProperty();

enum class PropKind {
    Scalar, // a plain value: numbers, strings, enums, sets, variants ...
    Reference, // a pointer to a TComponent: stored by name
    Collection, // a TCollection: stored as a collection value
    Nested // another persistent object: stored as dotted names
};
// `value` is the object the property holds now (pointer properties only).
PropKind ClassifyProperty(const QMetaProperty& prop, const QObject* value);
// The object a pointer property holds, or nullptr.
QObject* ObjectValue(const QObject* instance, const QMetaProperty& prop);

// A plain value in its stored form; raises EKVXError with the reason when
// the type cannot be stored.
FormValue ScalarToForm(const QMetaProperty& prop, const QVariant& value);
// A stored value as the property's type; raises EKVXError with the reason
// when the value does not fit the property.
QVariant FormToScalar(const QMetaProperty& prop, const FormValue& value);

// The property of that name (case-insensitive), declared below QObject; invalid when none.
QMetaProperty FindProperty(const QMetaObject* metaObject, const QString& name);
// Whether the class (or a base class) names the property in its
// Q_CLASSINFO("AlwaysStored", "A,B"): written even when equal to its default.
bool IsAlwaysStored(const QMetaObject* metaObject, const char* propertyName);
// Runs the define functions of the instance's class chain, base first.
void CallDefineProperties(QObject* instance, TFiler& filer);
// Whether a property path names one of InheritedFrameworkProperties()
// (its first segment, so "Constraints.MaxHeight" counts).
bool IsInheritedFrameworkName(const QString& path);

} // namespace vorel::formio
