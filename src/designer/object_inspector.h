#pragma once
// TObjectInspector: the published properties of the selected objects as a
// grid (nested objects such as Font, Frame and KVPrintWhen as branches),
// with an editor per kind: text and numbers typed in, Booleans as check
// boxes, enumerations as lists, colours and fonts through their dialogs.
// It shows the values of the first object; a change goes to all of them
// as one undoable edit.

#include <QList>
#include <QPointer>
#include <QTreeWidget>

namespace vorel {

class TKVXDesignerWindow;

class TObjectInspector : public QTreeWidget {
    Q_OBJECT
public:
    explicit TObjectInspector(TKVXDesignerWindow* window);
    void ShowObjects(const QList<QObject*>& objects);
    // Reads the values again (after an edit or an undo).
    void Refresh();
    // The row of a property path ("Font.Name"), or nullptr.
    QTreeWidgetItem* ItemOf(const QString& path) const;
    // Sets a property from its text as typed in the grid; false when the
    // text is no value of the property's type (the grid shows why).
    bool SetFromText(const QString& path, const QString& text);

private:
    void AddProperties(QObject* object, const QString& prefix, QTreeWidgetItem* parent, int depth);
    void ItemChanged(QTreeWidgetItem* item, int column);
    void Apply(const QString& path, const QVariant& value);

    TKVXDesignerWindow* FWindow;
    QList<QPointer<QObject>> FObjects;
    bool FFilling = false;
};

} // namespace vorel
