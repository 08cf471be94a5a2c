#pragma once
// A data set whose fields are declared in code and whose rows are appended by
// the application: the workhorse of tests and of applications that compute
// their data.
//
//     auto* ds = new TMemoryDataSet(owner);
//     ds->AddFieldDef(u"Id"_s, ftInteger);
//     ds->AddFieldDef(u"Name"_s, ftWideString, 30);
//     ds->AppendRecord({1, u"Alice"_s});
//     ds->Open();
//
// Values are converted to the declared field type when appended (a text
// that is not a valid value of the type raises an error naming the field and
// the row); Null and Empty are stored as Null.

#include "data/dataset.h"

#include <QList>
#include <initializer_list>
#include <vector>

namespace vorel {

struct TFieldDef {
    QString Name;
    TFieldType DataType = ftUnknown;
    int Size = 0; // characters for strings, bytes for byte fields
};

class TMemoryDataSet : public TDataSet {
    Q_OBJECT
    Q_CLASSINFO("Doc", "A data set whose fields and rows an application supplies in code.")
    Q_PROPERTY(bool Active READ Active WRITE SetActive)
    Q_CLASSINFO("Doc.Active", "Open: the rows can be read.")
public:
    Q_INVOKABLE explicit TMemoryDataSet(QObject* owner = nullptr);
    ~TMemoryDataSet() override;

    // Field declarations; changing them is allowed while closed.
    void AddFieldDef(const QString& name, TFieldType type, int size = 0);
    const std::vector<TFieldDef>& FieldDefs() const { return FDefs; }
    void ClearFieldDefs();

    // Appends a row (one value per declared field; missing trailing values
    // are Null). Allowed open or closed; an open data set stays on its record.
    void AppendRecord(std::initializer_list<Variant> values);
    void AppendRecord(const QList<Variant>& values);
    // Removes every row.
    void EmptyTable();
    qint64 RowCount() const { return FRowCount; }
    // Reserves room for rows (a hint for large tables).
    void ReserveRows(qint64 rows);

protected:
    void InternalOpen() override;
    void InternalClose() override;
    const Variant* InternalRecord(qint64 recNo) override;
    qint64 InternalLastRecNo() override;
    void InternalSetFieldValue(qint64 recNo, int dataIndex, const Variant& value) override;

private:
    std::vector<TFieldDef> FDefs;
    std::vector<Variant> FValues; // row-major, FDefs.size() values per row
    qint64 FRowCount = 0;
};

} // namespace vorel
