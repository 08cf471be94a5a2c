// The control registry and the registration of the model's classes.

#include "model/control_registry.h"

#include "foundation/values/errors.h"
#include "foundation/forms/form_objects.h"
#include "graphics/picture.h"
#include "model/barcode.h"
#include "model/event_handlers.h"
#include "model/image_control.h"
#include "model/report.h"
#include "model/rich_text_control.h"
#include "model/shapes.h"
#include "model/text_controls.h"

namespace vorel {

namespace {

QList<TKVXControlEntry>& Registry()
{
    static QList<TKVXControlEntry> entries;
    return entries;
}

struct BuiltinControl {
    const QMetaObject* Class;
    int HintId;
};

const BuiltinControl* BuiltinControls(int& count)
{
    static const BuiltinControl controls[] = {
        {&TKVXLabel::staticMetaObject, 1911},     // "Add text label"
        {&TKVXExpression::staticMetaObject, 1912}, // "Add expression"
        {&TKVXSysData::staticMetaObject, 1913},   // "Add system data/variable"
        {&TKVXImage::staticMetaObject, 1914},     // "Add image"
        {&TKVXLine::staticMetaObject, 1915},      // "Add line"
        {&TKVXRectangle::staticMetaObject, 1916}, // "Add rectangle"
        {&TKVXEllipse::staticMetaObject, 1917},   // "Add ellipse"
        {&TKVBarCode::staticMetaObject, KVX_TEXT_ADD_BARCODE}, // "Add a barcode"
        {&TKVRichText::staticMetaObject, 1919},   // "Add a richtext"
    };
    count = int(std::size(controls));
    return controls;
}

} // namespace

void RegisterKVXControl(const QMetaObject* controlClass, int hintId, const QString& caption, const QString& module)
{
    if (!controlClass || !controlClass->inherits(&TKVXControl::staticMetaObject))
        throw EKVXError(QStringLiteral("Class %1 is not a report control")
                            .arg(controlClass ? MetaClassName(controlClass) : QStringLiteral("(none)")));
    TKVXControlEntry entry;
    entry.ControlClass = controlClass;
    entry.ClassName = MetaClassName(controlClass);
    entry.HintId = hintId;
    entry.Caption = caption;
    entry.Module = module;
    QList<TKVXControlEntry>& entries = Registry();
    bool replaced = false;
    for (TKVXControlEntry& existing : entries)
        if (existing.ControlClass == controlClass) {
            entry.Cursor = existing.Cursor;
            existing = entry;
            replaced = true;
        }
    if (!replaced)
        entries.append(entry);
    RegisterClass(controlClass);
}

void UnRegisterKVXControl(const QMetaObject* controlClass)
{
    QList<TKVXControlEntry>& entries = Registry();
    const qsizetype removed = entries.removeIf([&](const TKVXControlEntry& e) { return e.ControlClass == controlClass; });
    if (removed)
        UnRegisterClass(controlClass);
}

const QList<TKVXControlEntry>& KVXControls()
{
    return Registry();
}

const TKVXControlEntry* FindKVXControl(const QString& className)
{
    for (const TKVXControlEntry& entry : Registry())
        if (entry.ClassName.compare(className, Qt::CaseInsensitive) == 0)
            return &entry;
    return nullptr;
}

void RegisterModelClasses()
{
    RegisterClass(&TKVReport::staticMetaObject);
    RegisterClass(&TKVXBand::staticMetaObject);
    // A picture stores itself as binary "Data" (its graphic's class name,
    // then the graphic's bytes): images' stored pictures and page frames'
    // background pictures.
    RegisterDefineProperties(&TPicture::staticMetaObject, [](QObject* instance, TFiler& filer) {
        auto* picture = static_cast<TPicture*>(instance);
        filer.DefineBinaryProperty(
            QStringLiteral("Data"), [picture](const QByteArray& bytes) { picture->SetData(bytes); },
            [picture]() -> std::optional<QByteArray> {
                if (picture->Empty())
                    return std::nullopt;
                return picture->Data();
            });
    });
    // Event handlers by method name: the report's events, the framework's
    // mouse and drag events of controls.
    RegisterEventNameProperties();
}

void UnRegisterModelClasses()
{
    UnRegisterEventNameProperties();
    UnRegisterDefineProperties(&TPicture::staticMetaObject);
    UnRegisterClass(&TKVXBand::staticMetaObject);
    UnRegisterClass(&TKVReport::staticMetaObject);
}

void RegisterBuiltinControls()
{
    int count = 0;
    const BuiltinControl* controls = BuiltinControls(count);
    for (int i = 0; i < count; ++i)
        RegisterKVXControl(controls[i].Class, controls[i].HintId);
}

void UnRegisterBuiltinControls()
{
    int count = 0;
    const BuiltinControl* controls = BuiltinControls(count);
    for (int i = count - 1; i >= 0; --i)
        UnRegisterKVXControl(controls[i].Class);
}

} // namespace vorel
