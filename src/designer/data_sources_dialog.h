#pragma once
// TDataSourcesDialog: the data sets a report holds. Lists them, adds an
// SQL data set, removes one, renames one, edits its connection and query
// in an SQL editor, and lists the fields the query gives (the query is run
// on a copy, read-only, so the report's own data sets keep their state).
// Every change goes through the designer window, as one undoable edit.

#include <QDialog>
#include <QList>
#include <QPointer>

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace vorel {

class TDataSet;
class TKVReport;
class TKVXDesignerWindow;

// One field of a data set as the field list shows it.
struct TFieldRow {
    QString Name;
    QString Type; // "Integer", "WideString", ...
    int Size = 0; // characters of a string field, else 0
};

// Opens a copy of the data set (with its stored settings, so the original
// keeps its state) and returns its fields; with `connection` or `sql` given (an
// SQL data set's text not applied yet) the copy runs those instead. Raises
// the data layer's error when the connection or the query fails.
QList<TFieldRow> ListDataSetFields(const TDataSet* dataSet, const QString* connection = nullptr,
                                   const QString* sql = nullptr);

class TDataSourcesDialog : public QDialog {
    Q_OBJECT
public:
    explicit TDataSourcesDialog(TKVXDesignerWindow* window, QWidget* parent = nullptr);

    // The data set the right side shows (none: the list is empty).
    TDataSet* Current() const { return FCurrent.data(); }
    void Select(TDataSet* dataSet);
    // Adds an SQL data set with a free name ("Query1", ...), on the
    // connection of the first SQL data set there is, and selects it.
    TDataSet* AddDataSet();
    void RemoveCurrent();
    // Applies the name, connection and query of the editor to the current
    // data set as one edit; false (message shown) when the name is taken
    // or no name. Then lists the fields.
    bool ApplyCurrent();
    // Lists the fields of the editor's connection and query without
    // applying them; the data layer's message when it fails.
    void RefreshFields();

    QLineEdit* NameEdit() const { return FName; }
    QLineEdit* ConnectionEdit() const { return FConnection; }
    QPlainTextEdit* SqlEdit() const { return FSql; }
    QTreeWidget* FieldList() const { return FFields; }
    QListWidget* DataSetList() const { return FList; }
    // The last error shown (empty when the last action worked).
    QString Message() const;
    // The user left for the object inspector on the current data set (its
    // other properties: parameters, master link, a CSV file's settings).
    bool InspectorAsked() const { return FInspectorAsked; }

private:
    void FillList();
    void ShowCurrent();
    void ShowMessage(const QString& text);

    TKVXDesignerWindow* FWindow;
    QPointer<TDataSet> FCurrent;
    QListWidget* FList;
    QLineEdit* FName;
    QLineEdit* FConnection;
    QPlainTextEdit* FSql;
    QTreeWidget* FFields;
    QLabel* FMessage;
    QPushButton* FRemove;
    QPushButton* FApply;
    QPushButton* FQueryBuilder;
    bool FFilling = false;
    bool FInspectorAsked = false;
};

} // namespace vorel
