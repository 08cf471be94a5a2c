#pragma once
// The control registry: the printable control classes the designer offers
// and report forms may name. Registering a control also registers its class
// for streaming. Cursors belong to the designer: an entry keeps a cursor
// number (0, the default cursor) for it to fill.
//
// Library start-up calls RegisterModelClasses() and then
// RegisterBuiltinControls(); shut-down calls UnRegisterBuiltinControls()
// and UnRegisterModelClasses().

#include <QList>
#include <QMetaObject>
#include <QString>

namespace vorel {

struct TKVXControlEntry {
    const QMetaObject* ControlClass = nullptr;
    QString ClassName;
    int HintId = 0;   // text id of the palette hint ("Add text label")
    QString Caption;
    QString Module;   // where the designer looks for the class's cursor
    int Cursor = 0;   // screen cursor number; 0 is the default cursor
};

// Adds (or replaces, for a class registered before) the entry of a class
// derived from TKVXControl; raises EKVXError for any other class.
void RegisterKVXControl(const QMetaObject* controlClass, int hintId, const QString& caption = QString(),
                        const QString& module = QString());
// Removes the entry and the class registration; an unknown class is ignored.
void UnRegisterKVXControl(const QMetaObject* controlClass);
// The entries in registration order.
const QList<TKVXControlEntry>& KVXControls();
// The entry of a class name (without regard to case), or nullptr.
const TKVXControlEntry* FindKVXControl(const QString& className);

// TKVReport and TKVXBand for streaming, the form data of pictures and the
// event handler names of reports and controls.
void RegisterModelClasses();
void UnRegisterModelClasses();
// The built-in controls with their hint ids, in the palette's order:
// label, expression, system data, image, line, rectangle, ellipse, barcode,
// rich text.
void RegisterBuiltinControls();
void UnRegisterBuiltinControls();

} // namespace vorel
