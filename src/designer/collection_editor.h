#pragma once
// TCollectionEditor: edits the items of a collection (a report's variables
// or parameters, a control's highlights, a data manager's data sets) on a
// copy: add, remove, move, and each item's properties as text. OK gives
// the edited items as a value for RestoreProperties, so the change is one
// undoable edit.

#include <QDialog>
#include <QVariantList>

class QListWidget;
class QTableWidget;

namespace vorel {

class TCollection;

class TCollectionEditor : public QDialog {
    Q_OBJECT
public:
    TCollectionEditor(const TCollection* collection, const QString& title, QWidget* parent = nullptr);
    // The items as edited (one property map each).
    const QVariantList& Items() const { return FItems; }
    void AddItem();
    void RemoveItem(int index);
    // Sets one property of an item from its text; false (and nothing
    // changes) when the text is no value of the property's type.
    bool SetValue(int index, const QString& key, const QString& text);

private:
    void FillList();
    void ShowItem(int index);

    const TCollection* FCollection;
    QVariantMap FDefaults; // a fresh item's properties
    QVariantList FItems;
    QListWidget* FList;
    QTableWidget* FTable;
    bool FFilling = false;
};

} // namespace vorel
