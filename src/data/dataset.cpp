#include "data/dataset.h"

#include "foundation/locale/format_settings.h"

#include <QDir>
#include <QMetaEnum>

namespace vorel {

namespace {

const Variant& NullValue()
{
    static const Variant null = Variant::Null();
    return null;
}

// Sets a flag for the lifetime of a scope, so an exception cannot leave it set.
class FlagGuard {
public:
    explicit FlagGuard(bool& flag) : FFlag(flag) { FFlag = true; }
    ~FlagGuard() { FFlag = false; }

private:
    bool& FFlag;
};

} // namespace

// --- field types -----------------------------------------------------------------

QString FieldTypeName(TFieldType type)
{
    const QMetaEnum e = QMetaEnum::fromType<TFieldTypes::TFieldType>();
    const char* key = e.valueToKey(int(type));
    return key ? QString::fromLatin1(key) : QString();
}

bool FieldTypeFromName(const QString& name, TFieldType& type)
{
    const QString trimmed = name.trimmed();
    const QMetaEnum e = QMetaEnum::fromType<TFieldTypes::TFieldType>();
    for (int i = 0; i < e.keyCount(); ++i) {
        const QString key = QString::fromLatin1(e.key(i));
        if (key.compare(trimmed, Qt::CaseInsensitive) == 0
            || key.mid(2).compare(trimmed, Qt::CaseInsensitive) == 0) {
            type = TFieldType(e.value(i));
            return true;
        }
    }
    return false;
}

bool IsStringFieldType(TFieldType type)
{
    switch (type) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
    case ftFixedWideChar:
    case ftGuid: return true;
    default: return false;
    }
}

bool IsIntegerFieldType(TFieldType type)
{
    switch (type) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint:
    case ftLongWord:
    case ftShortint:
    case ftByte: return true;
    default: return false;
    }
}

bool IsNumericFieldType(TFieldType type)
{
    switch (type) {
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftFMTBcd:
    case ftExtended:
    case ftSingle: return true;
    default: return IsIntegerFieldType(type);
    }
}

bool IsBlobFieldType(TFieldType type)
{
    switch (type) {
    case ftBlob:
    case ftMemo:
    case ftGraphic:
    case ftFmtMemo:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
    case ftOraBlob:
    case ftOraClob:
    case ftWideMemo: return true;
    default: return false;
    }
}

bool IsMemoFieldType(TFieldType type)
{
    return type == ftMemo || type == ftFmtMemo || type == ftWideMemo || type == ftOraClob;
}

// --- TField --------------------------------------------------------------------------

TField::TField(TDataSet* dataSet, const QString& fieldName, TFieldType type, int size, TFieldKind kind)
    : TPersistent(nullptr), FDataSet(dataSet), FFieldName(fieldName), FDataType(type), FFieldKind(kind),
      FSize(size)
{
    if (IsNumericFieldType(type))
        FAlignment = taRightJustify;
}

TField::~TField() = default;

const Variant& TField::Value() const
{
    const TDataSet* ds = FDataSet;
    if (!ds->FRecord)
        return NullValue();
    if (FFieldKind == fkData)
        return ds->FRecord[FBufferIndex];
    return ds->FCalcBuffer[size_t(FBufferIndex)];
}

void TField::SetValue(const Variant& value)
{
    TDataSet* ds = FDataSet;
    ds->CheckActive();
    if (!ds->FRecord)
        ds->DataSetError(QStringLiteral("Cannot modify the field '%1' of an empty dataset").arg(FFieldName));
    Variant converted;
    if (!ConvertToFieldType(value, FDataType, converted))
        ds->DataSetError(QStringLiteral("'%1' is not a valid value for field '%2'")
                             .arg(value.ToString(), FFieldName));
    if (FFieldKind != fkData) {
        if (!ds->FCalculating)
            ds->DataSetError(QStringLiteral("Field '%1' cannot be modified").arg(FFieldName));
        ds->FCalcBuffer[size_t(FBufferIndex)] = converted;
        return;
    }
    ds->InternalSetFieldValue(ds->FRecNo, FBufferIndex, converted);
    // The write may have moved the record's values.
    ds->FRecord = ds->InternalRecord(ds->FRecNo);
    ds->CalculateFields();
    ds->RaiseDataEvent(deDataSetChange);
}

int TField::DefaultDisplayWidth() const
{
    if (IsStringFieldType(FDataType))
        return FSize > 0 ? FSize : 20;
    switch (FDataType) {
    case ftSmallint: return 6;
    case ftInteger:
    case ftAutoInc: return 11;
    case ftWord: return 5;
    case ftLongWord: return 10;
    case ftShortint: return 4;
    case ftByte: return 3;
    case ftLargeint: return 15;
    case ftBoolean: return 5;
    // Dates and times are as wide as the locale writes a late date and a
    // two-digit time (28 December 2000, 22:22:22).
    case ftDate: return int(DateToStr(EncodeDate(2000, 12, 28)).size());
    case ftTime: return int(TimeToStr(EncodeTime(22, 22, 22, 0)).size());
    case ftDateTime:
    case ftTimeStamp:
    case ftOraTimeStamp:
    case ftTimeStampOffset:
        return int(DateTimeToStr(EncodeDate(2000, 12, 28) + EncodeTime(22, 22, 22, 0)).size());
    default: return 10;
    }
}

int TField::DisplayWidth() const
{
    return FDisplayWidth >= 0 ? FDisplayWidth : DefaultDisplayWidth();
}

QString TField::AsString() const
{
    const Variant& v = Value();
    if (v.IsEmptyOrNull())
        return {};
    switch (FDataType) {
    case ftBoolean: return v.ToBool() ? QStringLiteral("True") : QStringLiteral("False");
    case ftFloat:
    case ftBCD:
    case ftFMTBcd:
    case ftExtended:
    case ftSingle:
    case ftCurrency: return FloatToStrG(v.ToDouble());
    case ftDate: return DateToStr(v.ToDouble());
    case ftTime: return TimeToStr(v.ToDouble());
    case ftDateTime:
    case ftTimeStamp:
    case ftOraTimeStamp:
    case ftTimeStampOffset: return DateTimeToStr(v.ToDouble());
    default:
        if (IsIntegerFieldType(FDataType))
            return QString::number(v.ToInt64());
        return v.ToString();
    }
}

QString TField::GetText(bool displayText) const
{
    if (OnGetText) {
        QString text;
        OnGetText(const_cast<TField*>(this), text, displayText);
        return text;
    }
    const Variant& v = Value();
    if (v.IsEmptyOrNull())
        return {};
    switch (FDataType) {
    case ftCurrency: {
        const double amount = v.ToDouble();
        if (displayText)
            return FormatCurrency(amount);
        const int decimals = FormatSettings().CurrencyDecimals;
        return FormatFloat(decimals > 0 ? QStringLiteral("0.") + QString(decimals, u'0') : QStringLiteral("0"),
                           amount);
    }
    case ftGraphic:
        if (displayText)
            return QStringLiteral("(GRAPHIC)");
        break;
    case ftBytes:
    case ftVarBytes:
    case ftBlob:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
    case ftOraBlob:
        // Binary content has no printable form.
        if (displayText)
            return QStringLiteral("(BLOB)");
        break;
    default: break;
    }
    return AsString();
}

int TField::AsInteger() const
{
    const qint64 v = AsLargeInt();
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        FDataSet->DataSetError(QStringLiteral("Value of field '%1' is out of the integer range").arg(FFieldName));
    return int(v);
}

qint64 TField::AsLargeInt() const
{
    const Variant& v = Value();
    if (v.IsEmptyOrNull())
        return 0;
    try {
        return v.ToInt64();
    } catch (const EKVXError& e) {
        FDataSet->DataSetError(QStringLiteral("Field '%1': %2").arg(FFieldName, e.Message()));
    }
}

double TField::AsFloat() const
{
    const Variant& v = Value();
    if (v.IsEmptyOrNull())
        return 0;
    try {
        return v.ToDouble();
    } catch (const EKVXError& e) {
        FDataSet->DataSetError(QStringLiteral("Field '%1': %2").arg(FFieldName, e.Message()));
    }
}

bool TField::AsBoolean() const
{
    const Variant& v = Value();
    if (v.IsEmptyOrNull())
        return false;
    try {
        return v.ToBool();
    } catch (const EKVXError& e) {
        FDataSet->DataSetError(QStringLiteral("Field '%1': %2").arg(FFieldName, e.Message()));
    }
}

double TField::AsDateTime() const
{
    const Variant& v = Value();
    if (v.IsEmptyOrNull())
        return 0;
    if (v.IsString()) {
        Variant converted;
        if (ConvertToFieldType(v, ftDateTime, converted))
            return converted.ToDouble();
        FDataSet->DataSetError(QStringLiteral("Field '%1': '%2' is not a valid date").arg(FFieldName, v.ToString()));
    }
    return AsFloat();
}

QByteArray TField::AsBytes() const
{
    const Variant& v = Value();
    if (v.IsEmptyOrNull())
        return {};
    if (IsMemoFieldType(FDataType) || IsStringFieldType(FDataType))
        return v.ToString().toUtf8();
    if (v.IsString())
        return FieldStringToBytes(v.ToString());
    return AsString().toUtf8();
}

// --- TDataSet ------------------------------------------------------------------------

TDataSet::TDataSet(QObject* owner) : TComponent(owner) {}

// Implementations close themselves in their destructors (InternalClose is
// theirs); here only the fields go.
TDataSet::~TDataSet() = default;

QString TDataSet::DisplayedName() const
{
    return Name().isEmpty() ? ClassName() : Name();
}

void TDataSet::DataSetError(const QString& message) const
{
    throw EDatabaseError(DisplayedName() + QStringLiteral(": ") + message);
}

QString TDataSet::ResolvePath(const QString& path) const
{
    if (FBaseDirectory.isEmpty() || path.isEmpty() || QDir::isAbsolutePath(path))
        return path;
    return QDir::cleanPath(QDir(FBaseDirectory).filePath(path));
}

void TDataSet::CheckActive() const
{
    if (!FActive)
        DataSetError(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

void TDataSet::SetActive(bool active)
{
    if (active == FActive)
        return;
    if (active) {
        FlagGuard opening(FOpening);
        FDataFields.clear();
        FFields.clear();
        FDataFieldCount = 0;
        try {
            InternalOpen();
        } catch (...) {
            try {
                InternalClose();
            } catch (...) {
            }
            FDataFields.clear();
            FFields.clear();
            FDataFieldCount = 0;
            throw;
        }
        int calcIndex = 0;
        for (auto& field : FCalcFields) {
            field->FIndex = int(FFields.size());
            field->FBufferIndex = calcIndex++;
            FFields.push_back(field.get());
        }
        FCalcBuffer.assign(FCalcFields.size(), Variant::Null());
        FActive = true;
        ++FGeneration;
        FRecNo = -1;
        FRecord = nullptr;
        SetCurrent(0);
        FBof = true;
        FEof = FRecord == nullptr;
    } else {
        if (BeforeClose)
            BeforeClose(this);
        FActive = false;
        FRecord = nullptr;
        FRecNo = -1;
        FEof = FBof = true;
        InternalClose();
        for (auto& field : FCalcFields)
            field->FIndex = -1;
        FFields.clear();
        FDataFields.clear();
        FDataFieldCount = 0;
    }
    if (active) {
        if (AfterOpen)
            AfterOpen(this);
        RaiseDataEvent(deOpen);
    } else {
        if (AfterClose)
            AfterClose(this);
        RaiseDataEvent(deClose);
    }
}

TField* TDataSet::CreateField(const QString& fieldName, TFieldType type, int size)
{
    // Two columns of one name (a join selecting a.id and b.id) stay
    // addressable: the later one becomes "id_1", "id_2", ...
    QString name = fieldName;
    for (int n = 1; FindField(name); ++n)
        name = fieldName + u'_' + QString::number(n);
    auto field = std::make_unique<TField>(this, name, type, size, fkData);
    field->FIndex = int(FFields.size());
    field->FBufferIndex = FDataFieldCount++;
    FFields.push_back(field.get());
    FDataFields.push_back(std::move(field));
    return FFields.back();
}

TField* TDataSet::AddCalcField(const QString& fieldName, TFieldType type, int size, TFieldKind kind)
{
    if (FActive)
        DataSetError(QStringLiteral("Cannot perform this operation on an open dataset"));
    if (kind == fkData)
        kind = fkCalculated;
    for (const auto& f : FCalcFields)
        if (f->FieldName().compare(fieldName, Qt::CaseInsensitive) == 0)
            DataSetError(QStringLiteral("Duplicate field name '%1'").arg(fieldName));
    FCalcFields.push_back(std::make_unique<TField>(this, fieldName, type, size, kind));
    return FCalcFields.back().get();
}

void TDataSet::ClearCalcFields()
{
    if (FActive)
        DataSetError(QStringLiteral("Cannot perform this operation on an open dataset"));
    FCalcFields.clear();
}

TField* TDataSet::Fields(int index) const
{
    if (index < 0 || index >= FieldCount())
        return nullptr;
    return FFields[size_t(index)];
}

TField* TDataSet::FindField(QStringView fieldName) const
{
    for (TField* f : FFields)
        if (QStringView(f->FieldName()).compare(fieldName, Qt::CaseInsensitive) == 0)
            return f;
    return nullptr;
}

TField* TDataSet::FieldByName(const QString& fieldName) const
{
    TField* f = FindField(fieldName);
    if (!f)
        DataSetError(QStringLiteral("Field '%1' not found").arg(fieldName));
    return f;
}

QStringList TDataSet::FieldNames() const
{
    QStringList names;
    for (TField* f : FFields)
        names.append(f->FieldName());
    return names;
}

bool TDataSet::SetCurrent(qint64 recNo)
{
    const Variant* row = recNo >= 0 ? InternalRecord(recNo) : nullptr;
    if (!row) {
        // The source may have dropped the current record while looking.
        if (FRecNo >= 0)
            FRecord = InternalRecord(FRecNo);
        return false;
    }
    FRecord = row;
    FRecNo = recNo;
    CalculateFields();
    return true;
}

void TDataSet::CalculateFields()
{
    if (FCalcFields.empty())
        return;
    for (Variant& v : FCalcBuffer)
        v = Variant::Null();
    if (OnCalcFields && FRecord) {
        FlagGuard calculating(FCalculating);
        OnCalcFields(this);
    }
}

void TDataSet::DoScrolled()
{
    if (AfterScroll)
        AfterScroll(this);
    RaiseDataEvent(deScroll);
}

void TDataSet::RaiseDataEvent(TDataEvent event)
{
    if (!FDetails.isEmpty()) {
        const QList<QPointer<TDataSet>> details = FDetails; // a detail may detach meanwhile
        for (const QPointer<TDataSet>& detail : details)
            if (detail)
                detail->MasterEvent(this, event);
    }
    emit DataEventRaised(this, int(event));
}

void TDataSet::AttachDetail(TDataSet* detail)
{
    FDetails.removeAll(nullptr);
    if (detail && !FDetails.contains(detail))
        FDetails.append(detail);
}

void TDataSet::DetachDetail(TDataSet* detail)
{
    FDetails.removeAll(detail);
    FDetails.removeAll(nullptr);
}

void TDataSet::MasterEvent(TDataSet*, TDataEvent) {}

void TDataSet::First()
{
    CheckActive();
    SetCurrent(0);
    FBof = true;
    FEof = FRecord == nullptr;
    DoScrolled();
}

void TDataSet::Next()
{
    CheckActive();
    if (FRecord && SetCurrent(FRecNo + 1)) {
        FBof = false;
        FEof = false;
        DoScrolled();
    } else {
        FEof = true;
    }
}

void TDataSet::Prior()
{
    CheckActive();
    if (FRecord && FRecNo > 0 && SetCurrent(FRecNo - 1)) {
        FBof = false;
        FEof = false;
        DoScrolled();
    } else {
        FBof = true;
    }
}

void TDataSet::Last()
{
    CheckActive();
    const qint64 last = InternalLastRecNo();
    if (last < 0) {
        FRecord = nullptr;
        FRecNo = -1;
        FBof = FEof = true;
    } else {
        FRecNo = -1; // whatever was current may be gone: fetch afresh
        FRecord = nullptr;
        SetCurrent(last);
        FBof = false;
        FEof = true;
    }
    DoScrolled();
}

qint64 TDataSet::InternalRecordCount()
{
    return InternalLastRecNo() + 1;
}

qint64 TDataSet::RecordCount()
{
    if (!FActive)
        return 0;
    const qint64 count = InternalRecordCount();
    if (FRecNo >= 0)
        FRecord = InternalRecord(FRecNo);
    return count;
}

bool TDataSet::MoveTo(qint64 recNo)
{
    CheckActive();
    if (recNo < 1 || !SetCurrent(recNo - 1))
        return false;
    FBof = FEof = false;
    DoScrolled();
    return true;
}

TBookmark TDataSet::GetBookmark() const
{
    TBookmark b;
    if (FActive && FRecord) {
        b.RecNo = FRecNo;
        b.DataSet = this;
        b.Generation = FGeneration;
    }
    return b;
}

bool TDataSet::BookmarkValid(const TBookmark& bookmark) const
{
    return FActive && bookmark.IsValid() && bookmark.DataSet == this && bookmark.Generation == FGeneration;
}

void TDataSet::GotoBookmark(const TBookmark& bookmark)
{
    CheckActive();
    if (!BookmarkValid(bookmark) || !SetCurrent(bookmark.RecNo))
        DataSetError(QStringLiteral("Record not found"));
    FBof = FEof = false;
    DoScrolled();
}

void TDataSet::EnableControls()
{
    if (FDisableCount > 0)
        --FDisableCount;
}

void TDataSet::InternalSetFieldValue(qint64, int, const Variant&)
{
    DataSetError(QStringLiteral("Cannot modify a read-only dataset"));
}

void TDataSet::Resync()
{
    if (!FActive)
        return;
    ++FGeneration; // positions of the old result mean nothing now
    FRecNo = -1;
    FRecord = nullptr;
    SetCurrent(0);
    FBof = true;
    FEof = FRecord == nullptr;
    DoScrolled();
}

} // namespace vorel
