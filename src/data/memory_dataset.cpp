#include "data/memory_dataset.h"

namespace vorel {

TMemoryDataSet::TMemoryDataSet(QObject* owner) : TDataSet(owner) {}

TMemoryDataSet::~TMemoryDataSet()
{
    if (Active()) {
        // Not through Close: the events must not reach a half-destroyed object.
        AfterClose = nullptr;
        BeforeClose = nullptr;
        blockSignals(true);
        Close();
    }
}

void TMemoryDataSet::AddFieldDef(const QString& name, TFieldType type, int size)
{
    if (Active())
        DataSetError(QStringLiteral("Cannot perform this operation on an open dataset"));
    if (name.isEmpty())
        DataSetError(QStringLiteral("A field needs a name"));
    for (const TFieldDef& def : FDefs)
        if (def.Name.compare(name, Qt::CaseInsensitive) == 0)
            DataSetError(QStringLiteral("Duplicate field name '%1'").arg(name));
    if (FRowCount > 0)
        DataSetError(QStringLiteral("Cannot add the field '%1' to a table that has rows").arg(name));
    FDefs.push_back({name, type, size});
}

void TMemoryDataSet::ClearFieldDefs()
{
    if (Active())
        DataSetError(QStringLiteral("Cannot perform this operation on an open dataset"));
    FDefs.clear();
    EmptyTable();
}

void TMemoryDataSet::ReserveRows(qint64 rows)
{
    if (rows > 0)
        FValues.reserve(size_t(rows) * FDefs.size());
}

void TMemoryDataSet::AppendRecord(std::initializer_list<Variant> values)
{
    AppendRecord(QList<Variant>(values));
}

void TMemoryDataSet::AppendRecord(const QList<Variant>& values)
{
    const size_t width = FDefs.size();
    if (width == 0)
        DataSetError(QStringLiteral("Cannot append a record to a table without fields"));
    if (size_t(values.size()) > width)
        DataSetError(QStringLiteral("Record %1 has %2 values for %3 fields")
                         .arg(FRowCount + 1)
                         .arg(values.size())
                         .arg(width));
    // Convert first, so a bad value leaves the table as it was.
    std::vector<Variant> row(width, Variant::Null());
    for (qsizetype i = 0; i < values.size(); ++i) {
        const TFieldDef& def = FDefs[size_t(i)];
        if (!ConvertToFieldType(values[i], def.DataType, row[size_t(i)]))
            DataSetError(QStringLiteral("Record %1: '%2' is not a valid %3 value for field '%4'")
                             .arg(FRowCount + 1)
                             .arg(values[i].ToString(), FieldTypeName(def.DataType).mid(2), def.Name));
    }
    // Appending may move the stored values; moving the cursor re-reads them.
    FValues.insert(FValues.end(), std::make_move_iterator(row.begin()), std::make_move_iterator(row.end()));
    ++FRowCount;
    if (Active())
        MoveTo(FRowCount); // the classic append leaves the cursor on the new record
}

void TMemoryDataSet::EmptyTable()
{
    FValues.clear();
    FRowCount = 0;
    if (Active())
        Resync();
}

void TMemoryDataSet::InternalOpen()
{
    for (const TFieldDef& def : FDefs)
        CreateField(def.Name, def.DataType, def.Size);
}

void TMemoryDataSet::InternalClose() {}

const Variant* TMemoryDataSet::InternalRecord(qint64 recNo)
{
    if (recNo < 0 || recNo >= FRowCount)
        return nullptr;
    return FValues.data() + size_t(recNo) * FDefs.size();
}

qint64 TMemoryDataSet::InternalLastRecNo()
{
    return FRowCount - 1;
}

void TMemoryDataSet::InternalSetFieldValue(qint64 recNo, int dataIndex, const Variant& value)
{
    if (recNo < 0 || recNo >= FRowCount || dataIndex < 0 || size_t(dataIndex) >= FDefs.size())
        DataSetError(QStringLiteral("Record not found"));
    FValues[size_t(recNo) * FDefs.size() + size_t(dataIndex)] = value;
}

} // namespace vorel
