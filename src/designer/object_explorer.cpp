#include "designer/object_explorer.h"

#include "designer/designer.h"
#include "designer/designer_window.h"
#include "model/report.h"

namespace vorel {

namespace {
constexpr int kIdRole = Qt::UserRole;
}

TObjectExplorer::TObjectExplorer(TKVXDesignerWindow* window) : QTreeWidget(window), FWindow(window)
{
    setObjectName("ObjectExplorer");
    setHeaderHidden(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    connect(this, &QTreeWidget::itemSelectionChanged, this, [this] { Chosen(); });
}

void TObjectExplorer::Rebuild()
{
    FSyncing = true;
    clear();
    FItems.clear();
    TKVReport* report = FWindow->Report();
    if (report) {
        TDesignHistory* history = FWindow->History();
        auto* root = new QTreeWidgetItem(this, {report->objectName().isEmpty() ? report->ClassName()
                                                                               : report->objectName()});
        root->setData(0, kIdRole, history->IdOf(report));
        FItems.insert(history->IdOf(report), root);
        for (TKVXBand* band : report->Bands()) {
            auto* bandItem = new QTreeWidgetItem(root, {band->DisplayName()});
            bandItem->setData(0, kIdRole, history->IdOf(band));
            FItems.insert(history->IdOf(band), bandItem);
            for (TKVXControl* control : band->Objects()) {
                auto* item = new QTreeWidgetItem(bandItem, {QStringLiteral("%1 (%2)").arg(control->DisplayName(),
                                                                                          control->ClassName())});
                item->setData(0, kIdRole, history->IdOf(control));
                FItems.insert(history->IdOf(control), item);
            }
        }
        expandAll();
    }
    FSyncing = false;
    ShowSelection();
}

QTreeWidgetItem* TObjectExplorer::ItemOf(const QObject* object) const
{
    if (!object)
        return nullptr;
    const QVariant id = object->property("_vorelDesignId");
    if (!id.isValid())
        return nullptr;
    return FItems.value(id.toULongLong());
}

void TObjectExplorer::ShowSelection()
{
    if (FSyncing)
        return;
    FSyncing = true;
    clearSelection();
    TKVXDesigner* designer = FWindow->Designer();
    for (int i = 0; i < designer->SelectedCount(); ++i)
        if (QTreeWidgetItem* item = ItemOf(designer->GetSelected(i)))
            item->setSelected(true);
    FSyncing = false;
}

void TObjectExplorer::Chosen()
{
    if (FSyncing)
        return;
    FSyncing = true;
    TKVXDesigner* designer = FWindow->Designer();
    QList<TKVXControl*> controls;
    QObject* other = nullptr;
    for (QTreeWidgetItem* item : selectedItems()) {
        QObject* object = FWindow->History()->Find(item->data(0, kIdRole).toULongLong());
        auto* control = qobject_cast<TKVXControl*>(object);
        if (control && !qobject_cast<TKVXBand*>(control))
            controls.append(control);
        else if (object)
            other = object;
    }
    designer->ClearSelected();
    for (TKVXControl* control : controls)
        designer->AddSelected(control);
    FSyncing = false;
    if (controls.isEmpty() && other)
        FWindow->SetCurrentObject(other);
}

} // namespace vorel
