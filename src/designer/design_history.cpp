#include "designer/design_history.h"

#include "foundation/components/component.h"
#include "foundation/forms/form_objects.h"
#include "model/band.h"
#include "model/report.h"
#include "model/report_form.h"
#include "data/dataset.h"

#include <QMetaProperty>
#include <QSet>
#include <QUndoCommand>
#include <QUndoStack>

namespace vorel {

namespace {

constexpr char kIdProperty[] = "_vorelDesignId";
constexpr int kMaxNesting = 4; // nested objects (PrinterSetting.Margins.Left) are shallow

bool IsOwnedObject(const QObject*, const QObject* child)
{
    // A component (a data set, a data manager) is held by reference, even
    // one the report owns; nested persistents (font, frame) are part of
    // the owner's state.
    return !qobject_cast<const TComponent*>(child);
}

void CaptureInto(const QObject* object, const QString& prefix, QVariantMap& out, int depth)
{
    const QMetaObject* mo = object->metaObject();
    const auto* persistent = qobject_cast<const TPersistent*>(object);
    for (int i = QObject::staticMetaObject.propertyCount(); i < mo->propertyCount(); ++i) {
        const QMetaProperty property = mo->property(i);
        if (!property.isReadable() || !property.isStored())
            continue;
        const QString key = prefix + QLatin1String(property.name());
        const QVariant value = property.read(object);
        if (property.metaType().flags() & QMetaType::PointerToQObject) {
            QObject* child = value.value<QObject*>();
            if (!child || !IsOwnedObject(object, child)) {
                if (!property.isWritable())
                    continue;
                // A reference the object does not store is a fallback (a
                // band's Dataset reads the report's): the object holds none.
                if (child && persistent && !persistent->IsPropertyStored(property.name())) {
                    out.insert(key, QVariant(property.metaType()));
                    continue;
                }
                const QVariant id = child ? child->property(kIdProperty) : QVariant();
                if (id.isValid())
                    out.insert(key, QVariant::fromValue(TDesignRef{id.toULongLong()}));
                else
                    out.insert(key, value);
            } else if (auto* list = qobject_cast<TStringList*>(child)) {
                out.insert(key, list->List());
            } else if (auto* collection = qobject_cast<TCollection*>(child)) {
                QVariantList items;
                for (int k = 0; k < collection->Count(); ++k) {
                    QVariantMap item;
                    CaptureInto(collection->Items(k), QString(), item, depth + 1);
                    items.append(item);
                }
                out.insert(key, items);
            } else if (depth < kMaxNesting) {
                CaptureInto(child, key + u'.', out, depth + 1);
            }
            continue;
        }
        if (property.isWritable())
            out.insert(key, value);
    }
}

using TResolver = std::function<QObject*(quint64 id)>;

void RestoreValue(QObject* object, QStringView path, const QVariant& value, const TResolver& resolve)
{
    const qsizetype dot = path.indexOf(u'.');
    const QByteArray name = (dot < 0 ? path : path.left(dot)).toLatin1();
    const int index = object->metaObject()->indexOfProperty(name.constData());
    if (index < 0)
        return;
    const QMetaProperty property = object->metaObject()->property(index);
    if (dot >= 0) {
        if (QObject* child = property.read(object).value<QObject*>())
            RestoreValue(child, path.mid(dot + 1), value, resolve);
        return;
    }
    if (property.metaType().flags() & QMetaType::PointerToQObject) {
        QObject* child = property.read(object).value<QObject*>();
        if (auto* list = qobject_cast<TStringList*>(child); list && value.metaType().id() == QMetaType::QStringList) {
            list->SetList(value.toStringList());
            return;
        }
        if (auto* collection = qobject_cast<TCollection*>(child);
            collection && value.metaType().id() == QMetaType::QVariantList) {
            collection->BeginUpdate();
            collection->Clear();
            for (const QVariant& item : value.toList())
                RestoreProperties(collection->Add(), item.toMap(), resolve);
            collection->EndUpdate();
            return;
        }
    }
    if (value.metaType() == QMetaType::fromType<TDesignRef>()) {
        // The component as it is now (made again by an undo, perhaps), or
        // none when it is gone: a dangling pointer is never written.
        QObject* target = resolve ? resolve(value.value<TDesignRef>().Id) : nullptr;
        QVariant typed(property.metaType());
        if (target) {
            void* pointer = target;
            typed = QVariant(property.metaType(), &pointer);
            // Only a component of the property's class is written.
            const QMetaObject* wanted = property.metaType().metaObject();
            if (wanted && !target->metaObject()->inherits(wanted))
                return;
        }
        property.write(object, typed);
        return;
    }
    property.write(object, value);
}

QList<TKVXControl*> Controls(const TKVXBand* band)
{
    return band->Objects();
}

// The diff of two captures of one object: the keys whose values differ.
void Diff(const QVariantMap& a, const QVariantMap& b, QVariantMap& onlyA, QVariantMap& onlyB)
{
    for (auto it = a.cbegin(); it != a.cend(); ++it) {
        const auto other = b.constFind(it.key());
        if (other == b.cend() || other.value() != it.value()) {
            onlyA.insert(it.key(), it.value());
            if (other != b.cend())
                onlyB.insert(it.key(), other.value());
        }
    }
    for (auto it = b.cbegin(); it != b.cend(); ++it)
        if (!a.contains(it.key()))
            onlyB.insert(it.key(), it.value());
}

class TEditCommand : public QUndoCommand {
public:
    TEditCommand(TDesignHistory* history, const QString& text) : QUndoCommand(text), FHistory(history) {}
    void undo() override { FHistory->Apply(Before.Layout, Before.Values, BeforeForms); }
    void redo() override
    {
        // The edit itself made the change already when the command is pushed.
        if (FFirst) {
            FFirst = false;
            return;
        }
        FHistory->Apply(After.Layout, After.Values, AfterForms);
    }

    TDesignHistory::State Before, After;                     // only the values that differ
    QHash<quint64, TDesignHistory::StoredForm> BeforeForms; // deleted by the edit
    QHash<quint64, TDesignHistory::StoredForm> AfterForms;  // created by the edit

private:
    TDesignHistory* FHistory;
    bool FFirst = true;
};

} // namespace

QVariantMap CaptureProperties(const QObject* object)
{
    QVariantMap out;
    if (object)
        CaptureInto(object, QString(), out, 0);
    return out;
}

void RestoreProperties(QObject* object, const QVariantMap& values, const std::function<QObject*(quint64 id)>& resolve)
{
    if (!object)
        return;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        RestoreValue(object, it.key(), it.value(), resolve);
}

QList<QObject*> OwnedComponents(const TKVReport* report)
{
    QList<QObject*> components;
    if (!report)
        return components;
    for (QObject* child : report->children())
        if (qobject_cast<TComponent*>(child) && !qobject_cast<TKVXBand*>(child))
            components.append(child);
    return components;
}

TDesignHistory::TDesignHistory(TKVReport* report) : FReport(report), FStack(std::make_unique<QUndoStack>()) {}

TDesignHistory::~TDesignHistory() = default;

TKVReport* TDesignHistory::Report() const
{
    return FReport.data();
}

void TDesignHistory::SetId(QObject* object, quint64 id)
{
    object->setProperty(kIdProperty, id);
    FObjects.insert(id, object);
    if (id >= FNextId)
        FNextId = id + 1;
}

quint64 TDesignHistory::IdOf(QObject* object)
{
    if (!object)
        return 0;
    const QVariant stored = object->property(kIdProperty);
    if (stored.isValid()) {
        const quint64 id = stored.toULongLong();
        if (FObjects.value(id) != object)
            FObjects.insert(id, object);
        return id;
    }
    const quint64 id = FNextId++;
    SetId(object, id);
    return id;
}

QObject* TDesignHistory::Find(quint64 id) const
{
    return FObjects.value(id).data();
}

TDesignHistory::State TDesignHistory::Capture(const QSet<quint64>* controls)
{
    State state;
    if (!FReport)
        return state;
    // The owned components first: they get their ids before the report and
    // the bands are captured, so references to them are kept by id.
    const QList<QObject*> components = OwnedComponents(FReport);
    for (QObject* component : components)
        state.Layout.Components.append(IdOf(component));
    for (QObject* component : components) // references between them too
        state.Values.insert(IdOf(component), CaptureProperties(component));
    state.Values.insert(IdOf(FReport), CaptureProperties(FReport));
    for (TKVXBand* band : FReport->Bands()) {
        const quint64 bandId = IdOf(band);
        state.Layout.Bands.append(bandId);
        state.Values.insert(bandId, CaptureProperties(band));
        QList<quint64>& ids = state.Layout.Controls[bandId];
        for (TKVXControl* control : Controls(band)) {
            const quint64 id = IdOf(control);
            ids.append(id);
            if (!controls || controls->contains(id))
                state.Values.insert(id, CaptureProperties(control));
        }
    }
    return state;
}

void TDesignHistory::Begin(const QString& text)
{
    if (FDepth++ > 0) {
        if (FScope && FBefore && FReport) {
            // A wider edit joined a narrow one: record the other controls
            // now, so that what changes from here on is undone too.
            for (TKVXBand* band : FReport->Bands())
                for (TKVXControl* control : Controls(band)) {
                    const quint64 id = IdOf(control);
                    if (!FBefore->Values.contains(id))
                        FBefore->Values.insert(id, CaptureProperties(control));
                }
            FScope.reset();
        }
        return;
    }
    FText = text;
    FDeleted.clear();
    FScope.reset();
    FBefore = std::make_unique<State>(Capture());
}

void TDesignHistory::Begin(const QString& text, const QList<TKVXControl*>& controls)
{
    if (FDepth > 0) {
        ++FDepth;
        return; // joins the open edit, which records at least as much
    }
    ++FDepth;
    FText = text;
    FDeleted.clear();
    QSet<quint64> ids;
    for (TKVXControl* control : controls)
        ids.insert(IdOf(control));
    FScope = ids;
    FBefore = std::make_unique<State>(Capture(&*FScope));
}

QList<TKVXControl*> TDesignHistory::Recreated() const
{
    QList<TKVXControl*> controls;
    for (const QPointer<TKVXControl>& control : FRecreated)
        if (control && control->GetParentBand())
            controls.append(control);
    return controls;
}

TDesignHistory::StoredForm TDesignHistory::FormOf(QObject* object)
{
    StoredForm form;
    auto* component = qobject_cast<TComponent*>(object);
    if (!component)
        return form;
    form.ClassName = component->ClassName();
    form.Bytes = SaveComponentBinary(component, ReportFormWriteOptions());
    if (auto* band = qobject_cast<TKVXBand*>(object))
        for (TKVXControl* control : band->Objects())
            form.ChildIds.append(IdOf(control));
    return form;
}

void TDesignHistory::NoteDeleting(QObject* object)
{
    if (FDepth == 0 || !object)
        return;
    const quint64 id = IdOf(object);
    if (!FDeleted.contains(id))
        FDeleted.insert(id, FormOf(object));
    if (auto* band = qobject_cast<TKVXBand*>(object))
        for (TKVXControl* control : band->Objects())
            NoteDeleting(control);
}

bool TDesignHistory::Commit()
{
    if (FDepth == 0)
        return false;
    if (--FDepth > 0)
        return false;
    std::unique_ptr<State> before = std::move(FBefore);
    if (!before || !FReport)
        return false;
    State after = Capture(FScope ? &*FScope : nullptr);
    FScope.reset();
    auto command = std::make_unique<TEditCommand>(this, FText);
    bool changed = before->Layout.Bands != after.Layout.Bands || before->Layout.Controls != after.Layout.Controls ||
                   before->Layout.Components != after.Layout.Components;
    if (changed) {
        command->Before.Layout = before->Layout;
        command->After.Layout = after.Layout;
        command->Before.Layout.Recorded = command->After.Layout.Recorded = true;
    }
    for (auto it = before->Values.cbegin(); it != before->Values.cend(); ++it) {
        const auto other = after.Values.constFind(it.key());
        if (other == after.Values.cend())
            continue; // deleted: its form brings it back
        QVariantMap a, b;
        Diff(it.value(), other.value(), a, b);
        if (!a.isEmpty() || !b.isEmpty()) {
            command->Before.Values.insert(it.key(), a);
            command->After.Values.insert(it.key(), b);
            changed = true;
        }
    }
    if (!changed)
        return false;
    // What the edit freed comes back from its form on undo; what it made
    // comes back from its form on a redo after an undo removed it.
    for (auto it = FDeleted.cbegin(); it != FDeleted.cend(); ++it)
        command->BeforeForms.insert(it.key(), it.value());
    QSet<quint64> existed(before->Layout.Bands.cbegin(), before->Layout.Bands.cend());
    existed.unite(QSet<quint64>(before->Layout.Components.cbegin(), before->Layout.Components.cend()));
    for (quint64 id : after.Layout.Components)
        if (!existed.contains(id))
            command->AfterForms.insert(id, FormOf(Find(id)));
    for (const QList<quint64>& ids : before->Layout.Controls)
        existed.unite(QSet<quint64>(ids.cbegin(), ids.cend()));
    for (quint64 id : after.Layout.Bands)
        if (!existed.contains(id))
            command->AfterForms.insert(id, FormOf(Find(id)));
    for (const QList<quint64>& ids : after.Layout.Controls)
        for (quint64 id : ids)
            if (!existed.contains(id))
                command->AfterForms.insert(id, FormOf(Find(id)));
    FDeleted.clear();
    FStack->push(command.release());
    if (OnCommitted)
        OnCommitted();
    return true;
}

void TDesignHistory::Clear()
{
    FStack->clear();
    FDepth = 0;
    FBefore.reset();
    FDeleted.clear();
}

TKVXBand* TDesignHistory::RecreateBand(quint64 id, const StoredForm& form)
{
    auto* band = new TKVXBand(FReport);
    FReport->AppendBandAsRead(band);
    FormReadOptions options = ReportFormReadOptions();
    options.KeepRootName = false;
    TKVReport* report = FReport;
    options.ResolveReference = [report](const QString& name) -> QObject* { return report->FindComponent(name); };
    LoadComponent(form.Bytes, band, options);
    SetId(band, id);
    for (int i = 0; i < band->ObjectCount() && i < form.ChildIds.size(); ++i)
        SetId(band->Object(i), form.ChildIds[i]);
    return band;
}

TKVXControl* TDesignHistory::RecreateControl(quint64 id, const StoredForm& form, TKVXBand* band)
{
    const QMetaObject* controlClass = TKVXBand::GetClassByName(form.ClassName);
    if (!controlClass)
        return nullptr; // the class was unregistered since: nothing to make
    TKVXControl* control = band->Object(band->AddElement(controlClass));
    if (!control)
        return nullptr;
    FormReadOptions options = ReportFormReadOptions();
    options.KeepRootName = false;
    TKVReport* report = FReport;
    options.ResolveReference = [report](const QString& name) -> QObject* { return report->FindComponent(name); };
    LoadComponent(form.Bytes, control, options);
    SetId(control, id);
    FRecreated.append(control);
    return control;
}

QObject* TDesignHistory::RecreateComponent(quint64 id, const StoredForm& form)
{
    auto* component = qobject_cast<TComponent*>(CreateObject(form.ClassName, FReport));
    if (!component)
        return nullptr;
    if (auto* dataSet = qobject_cast<TDataSet*>(component); dataSet && !FReport->FormDirectory().isEmpty())
        dataSet->SetBaseDirectory(FReport->FormDirectory());
    FormReadOptions options = ReportFormReadOptions();
    options.KeepRootName = false;
    TKVReport* report = FReport;
    options.ResolveReference = [report](const QString& name) -> QObject* { return report->FindComponent(name); };
    try {
        LoadComponent(form.Bytes, component, options);
    } catch (const std::exception&) {
        // Its properties as far as they were read; a data set that cannot
        // open now (its database moved) still comes back, closed.
    }
    SetId(component, id);
    return component;
}

void TDesignHistory::ApplyComponents(const QList<quint64>& ids, const QHash<quint64, StoredForm>& forms)
{
    QList<QObject*> target;
    for (quint64 id : ids) {
        QObject* component = Find(id);
        if (!component || component->parent() != FReport) {
            const auto form = forms.constFind(id);
            component = form == forms.cend() ? nullptr : RecreateComponent(id, form.value());
        }
        if (component)
            target.append(component);
    }
    for (QObject* component : OwnedComponents(FReport))
        if (!target.contains(component))
            delete component;
    // The form stores them in child order: re-adding the tail from the
    // first difference puts them back in order.
    const QList<QObject*> now = OwnedComponents(FReport);
    qsizetype same = 0;
    while (same < target.size() && same < now.size() && now[same] == target[same])
        ++same;
    for (qsizetype i = same; i < target.size(); ++i) {
        target[i]->setParent(nullptr);
        target[i]->setParent(FReport);
    }
}

void TDesignHistory::Apply(const Structure& layout, const QHash<quint64, QVariantMap>& values,
                           const QHash<quint64, StoredForm>& forms)
{
    if (!FReport)
        return;
    FRecreated.clear();
    // A command that changed no layout carries none.
    if (layout.Recorded)
        ApplyComponents(layout.Components, forms);
    if (layout.Recorded) {
        // Bands: recreate the missing, free the extra, then put them in order.
        QList<TKVXBand*> targetBands;
        for (quint64 id : layout.Bands) {
            auto* band = qobject_cast<TKVXBand*>(Find(id));
            if (!band || band->Report() != FReport || !FReport->Bands().contains(band)) {
                const auto form = forms.constFind(id);
                band = form == forms.cend() ? nullptr : RecreateBand(id, form.value());
            }
            if (band)
                targetBands.append(band);
        }
        for (int i = FReport->BandCount() - 1; i >= 0; --i)
            if (!targetBands.contains(FReport->GetBand(i)))
                FReport->DeleteBand(i);
        qsizetype firstDiff = 0;
        while (firstDiff < targetBands.size() && FReport->GetBand(int(firstDiff)) == targetBands[firstDiff])
            ++firstDiff;
        for (qsizetype i = firstDiff; i < targetBands.size(); ++i)
            FReport->AppendBandAsRead(targetBands[i]);

        // Controls: the same per band; a control found in another band moves.
        QHash<TKVXBand*, QList<TKVXControl*>> targetControls;
        QSet<TKVXControl*> keep;
        for (TKVXBand* band : targetBands) {
            const quint64 bandId = IdOf(band);
            QList<TKVXControl*>& list = targetControls[band];
            for (quint64 id : layout.Controls.value(bandId)) {
                auto* control = qobject_cast<TKVXControl*>(Find(id));
                if (!control || !control->GetParentBand() || control->Report() != FReport) {
                    const auto form = forms.constFind(id);
                    control = form == forms.cend() ? nullptr : RecreateControl(id, form.value(), band);
                }
                if (control) {
                    list.append(control);
                    keep.insert(control);
                }
            }
        }
        for (TKVXBand* band : targetBands)
            for (int i = band->ObjectCount() - 1; i >= 0; --i)
                if (!keep.contains(band->Object(i)))
                    delete band->Object(i);
        for (TKVXBand* band : targetBands) {
            const QList<TKVXControl*>& list = targetControls[band];
            qsizetype same = 0;
            while (same < list.size() && band->Object(int(same)) == list[same])
                ++same;
            for (qsizetype i = same; i < list.size(); ++i)
                list[i]->MoveToBand(band); // appends: the tail is rebuilt in order
        }
    }
    // The report first: a band's or control's setter may compare with what
    // the report holds (a band's Dataset equal to the report's is none).
    const auto resolve = [this](quint64 id) { return Find(id); };
    const quint64 reportId = IdOf(FReport);
    if (const auto it = values.constFind(reportId); it != values.cend())
        RestoreProperties(FReport, it.value(), resolve);
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        if (it.key() != reportId)
            RestoreProperties(Find(it.key()), it.value(), resolve);
    if (OnRestored)
        OnRestored();
}

} // namespace vorel
