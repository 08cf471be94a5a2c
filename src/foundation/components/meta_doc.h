#pragma once
// Explanations for report authors, kept in the meta-object system beside
// what they explain, so that the reference `vorel reference` prints is read
// from the classes themselves and cannot drift from them:
//
//     Q_CLASSINFO("Doc", "...")             the class itself (its own entry,
//                                           never a base class's)
//     Q_CLASSINFO("Doc.Prop", "...")        the published property Prop; a
//                                           derived class may explain an
//                                           inherited property anew
//     Q_CLASSINFO("Doc.enValue", "...")     a value of an enumeration, in the
//                                           Q_GADGET holder that declares it
//     Q_CLASSINFO("DocDefault.Prop", "...") the default of Prop in words, for
//                                           a default that depends on the
//                                           machine (the printer's paper)
//
// Each explanation is one line written for report authors: what the setting
// does to the printed report, with its unit where it has one.

#include <QMetaEnum>
#include <QMetaObject>
#include <QString>

namespace vorel {

// The class's own "Doc" entry; "" when it has none.
QString ClassDoc(const QMetaObject* metaObject);
// "Doc.<property>" of the class or, failing that, of its nearest base
// class that has one; "" when none has.
QString PropertyDoc(const QMetaObject* metaObject, const char* propertyName);
// "Doc.<key>" of the class or gadget that declares the enumeration; "" when
// it has none.
QString EnumValueDoc(const QMetaEnum& enumerator, const char* key);
// "DocDefault.<property>" as PropertyDoc finds it; "" when the default is
// simply the value a freshly constructed object holds.
QString DefaultDoc(const QMetaObject* metaObject, const char* propertyName);

} // namespace vorel
