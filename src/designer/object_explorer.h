#pragma once
// TObjectExplorer: the report as a tree (the report, its bands, each band's
// controls). Choosing a node selects the control, or shows the band or the
// report in the inspector. Nodes carry the designer id of their object,
// which stays unique however many controls a band holds.

#include <QHash>
#include <QTreeWidget>

namespace vorel {

class TKVXDesignerWindow;

class TObjectExplorer : public QTreeWidget {
    Q_OBJECT
public:
    explicit TObjectExplorer(TKVXDesignerWindow* window);
    void Rebuild();
    // Marks the selected controls' nodes.
    void ShowSelection();
    // The node of an object, or nullptr.
    QTreeWidgetItem* ItemOf(const QObject* object) const;

private:
    void Chosen();
    TKVXDesignerWindow* FWindow;
    QHash<quint64, QTreeWidgetItem*> FItems; // by designer id
    bool FSyncing = false;
};

} // namespace vorel
