#pragma once
// Data sets and fields: the cursor the band engine, the expression language
// and the automatic reports walk.
//
// A data set is a component with a current record. Moving never leaves the
// data: Next on the last record sets Eof and stays there, Prior on the first
// sets Bof and stays there, so a loop `while (!ds->Eof()) { ...; ds->Next(); }`
// visits every record once. Fields belong to their data set, are created when
// it opens (data fields from the source, calculated ones from declarations
// made before opening) and read the current record without copying it. A
// data field lives until its data set closes; a calculated one as long as
// its data set. A re-query (master-detail) keeps the fields.
//
// Implementations (memory_dataset.h, csv_dataset.h, sql_dataset.h) supply the
// records through the protected Internal* operations; everything a caller
// sees is implemented once here.

#include "foundation/records/alignment.h"
#include "foundation/components/component.h"
#include "foundation/values/variant.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace vorel {

// The data-access framework's field types, in the classic order, so that a
// type converts to its classic code with a plain cast and a name with the
// meta-object ("ftInteger"). The expression typing maps every one of them.
class TFieldTypes {
    Q_GADGET
public:
    enum TFieldType {
        ftUnknown,         // 0
        ftString,          // 1  8-bit string (Vorel stores every string as UTF-16)
        ftSmallint,        // 2  16-bit signed
        ftInteger,         // 3  32-bit signed
        ftWord,            // 4  16-bit unsigned
        ftBoolean,         // 5
        ftFloat,           // 6  double
        ftCurrency,        // 7
        ftBCD,             // 8
        ftDate,            // 9
        ftTime,            // 10
        ftDateTime,        // 11
        ftBytes,           // 12 fixed-length bytes
        ftVarBytes,        // 13 variable-length bytes
        ftAutoInc,         // 14
        ftBlob,            // 15
        ftMemo,            // 16
        ftGraphic,         // 17
        ftFmtMemo,         // 18 formatted (rich) text
        ftParadoxOle,      // 19
        ftDBaseOle,        // 20
        ftTypedBinary,     // 21
        ftCursor,          // 22
        ftFixedChar,       // 23
        ftWideString,      // 24
        ftLargeint,        // 25 64-bit signed
        ftADT,             // 26
        ftArray,           // 27
        ftReference,       // 28
        ftDataSet,         // 29
        ftOraBlob,         // 30
        ftOraClob,         // 31
        ftVariant,         // 32
        ftInterface,       // 33
        ftIDispatch,       // 34
        ftGuid,            // 35
        ftTimeStamp,       // 36
        ftFMTBcd,          // 37
        ftFixedWideChar,   // 38
        ftWideMemo,        // 39
        ftOraTimeStamp,    // 40
        ftOraInterval,     // 41
        ftLongWord,        // 42 32-bit unsigned
        ftShortint,        // 43 8-bit signed
        ftByte,            // 44 8-bit unsigned
        ftExtended,        // 45
        ftConnection,      // 46
        ftParams,          // 47
        ftStream,          // 48
        ftTimeStampOffset, // 49
        ftObject,          // 50
        ftSingle           // 51
    };
    Q_ENUM(TFieldType)

    enum TFieldKind { fkData, fkCalculated, fkLookup, fkInternalCalc, fkAggregate };
    Q_ENUM(TFieldKind)
};
using TFieldType = TFieldTypes::TFieldType;
using enum TFieldTypes::TFieldType;
using TFieldKind = TFieldTypes::TFieldKind;
using enum TFieldTypes::TFieldKind;

constexpr int FieldTypeCount = int(ftSingle) + 1;

// "ftInteger" for ftInteger; "" for a value out of range.
QString FieldTypeName(TFieldType type);
// Accepts "ftInteger" and "Integer", case-insensitively; false when unknown.
bool FieldTypeFromName(const QString& name, TFieldType& type);

// Type groups used by text rules, alignment and printable-field tests.
bool IsStringFieldType(TFieldType type);  // string, fixed and wide strings, GUID
bool IsIntegerFieldType(TFieldType type); // 8- to 64-bit integers, auto-increment
bool IsNumericFieldType(TFieldType type); // integers, float, currency, BCD, extended, single
bool IsBlobFieldType(TFieldType type);    // blob, memo, graphic, rich text, OLE, typed binary, Oracle blobs
bool IsMemoFieldType(TFieldType type);    // memo, formatted memo, wide memo, Oracle clob: text blobs

// Converts a value to the representation a field of the type stores (every
// data set shares it): integers as Integer or Int64, floats as Double,
// currency as Currency, dates and times as Date, booleans as Boolean,
// strings and memos as String, byte fields and binary blobs as String holding
// one character (0..255) per byte. Texts are parsed: ISO dates and times
// ("2024-03-05", "10:20:30", "2024-03-05 10:20:30" or with "T"), numbers with
// "." as decimal separator, "True"/"False" and "1"/"0" (any case). Null and
// Empty give Null. Returns false when the value is not valid for the type.
bool ConvertToFieldType(const Variant& value, TFieldType type, Variant& result);
// ISO 8601 as databases and CSV files write it: "2024-03-05",
// "2024-03-05 10:20:30", "2024-03-05T10:20:30.250", "10:20" or "10:20:30",
// an optional zone suffix accepted and ignored. For ftDate a text must hold a
// date; for ftTime only the time of day is kept. False when not valid.
bool ParseIsoDateTime(const QString& text, TFieldType type, double& value);
// Bytes <-> the String form of byte fields and binary blobs.
QString BytesToFieldString(const QByteArray& bytes);
QByteArray FieldStringToBytes(const QString& text);

class TDataSet;

// A remembered position. A value: copying is cheap and FreeBookmark only
// invalidates it. A bookmark from an earlier opening of the data set (or from
// another data set) is rejected by GotoBookmark.
struct TBookmark {
    qint64 RecNo = -1;           // 0-based record index
    const TDataSet* DataSet = nullptr;
    quint64 Generation = 0;      // the data set's opening count when taken
    bool IsValid() const { return DataSet != nullptr && RecNo >= 0; }
};

class TField : public TPersistent {
    Q_OBJECT
    Q_CLASSINFO("Doc", "A column of a data set, made when the data set opens; expressions read it by name "
                       "('[Amount]', 'Orders.Amount'). Its display settings describe it to applications; their "
                       "defaults follow the field's type.")
    Q_PROPERTY(QString FieldName READ FieldName)
    Q_CLASSINFO("Doc.FieldName", "The column's name as the data source gives it.")
    Q_PROPERTY(QString DisplayLabel READ DisplayLabel WRITE SetDisplayLabel)
    Q_CLASSINFO("Doc.DisplayLabel", "The caption shown for the field; the field name while empty.")
    Q_PROPERTY(int DisplayWidth READ DisplayWidth WRITE SetDisplayWidth)
    Q_CLASSINFO("Doc.DisplayWidth", "The width shown for the field, in characters; by default the usual width of its "
                                    "type.")
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_CLASSINFO("Doc.Visible", "Whether the field is shown where fields are listed.")
    Q_PROPERTY(vorel::TAlignments::TAlignment Alignment READ Alignment WRITE SetAlignment)
    Q_CLASSINFO("Doc.Alignment", "The alignment of the field's text; numbers are right-aligned unless set.")
public:
    // Fields are made by their data set (TDataSet::CreateField).
    TField(TDataSet* dataSet, const QString& fieldName, TFieldType type, int size, TFieldKind kind);
    ~TField() override;

    TDataSet* DataSet() const { return FDataSet; }
    // The column name. Name() is the component name: the one given with
    // SetName, else the field name.
    const QString& FieldName() const { return FFieldName; }
    QString Name() const { return FName.isEmpty() ? FFieldName : FName; }
    void SetName(const QString& name) { FName = name; }
    int Index() const { return FIndex; }          // 0-based position in Fields
    int FieldNo() const { return FIndex + 1; }    // 1-based
    TFieldType DataType() const { return FDataType; }
    TFieldKind FieldKind() const { return FFieldKind; }
    int Size() const { return FSize; }            // characters for strings, bytes for byte fields, else 0
    bool IsBlob() const { return IsBlobFieldType(FDataType); }
    bool Calculated() const { return FFieldKind == fkCalculated || FFieldKind == fkInternalCalc; }

    // DisplayLabel falls back to the field name; DisplayName is the label.
    QString DisplayLabel() const { return FDisplayLabel.isEmpty() ? FFieldName : FDisplayLabel; }
    void SetDisplayLabel(const QString& label) { FDisplayLabel = label; }
    QString DisplayName() const { return DisplayLabel(); }
    int DisplayWidth() const;                     // characters
    void SetDisplayWidth(int characters) { FDisplayWidth = characters; }
    bool Visible() const { return FVisible; }
    void SetVisible(bool visible) { FVisible = visible; }
    // Numbers default to right alignment, everything else to left.
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment alignment) { FAlignment = alignment; }

    // The current record's value. Null for a null field and whenever the data
    // set is closed or empty.
    const Variant& Value() const;
    bool IsNull() const { return Value().IsNull(); }
    // Sets the value in the current record: calculated fields inside
    // OnCalcFields, data fields of data sets that allow it (memory).
    void SetValue(const Variant& value);

    // Text rules of printed reports: integers plainly; floats in the general
    // format (15 significant digits, the locale's decimal separator);
    // currency as a number (Text: fixed with the locale's currency decimals,
    // DisplayText: the locale's currency format); dates, times and
    // date-times as DateToStr / TimeToStr / DateTimeToStr; booleans
    // "True"/"False"; memos their text; binary blobs "(BLOB)" in DisplayText;
    // null "". OnGetText, when set, decides instead.
    QString AsString() const;
    QString Text() const { return GetText(false); }
    QString DisplayText() const { return GetText(true); }
    int AsInteger() const;     // raises EDatabaseError naming the field when not convertible
    qint64 AsLargeInt() const;
    double AsFloat() const;
    bool AsBoolean() const;
    double AsDateTime() const; // days since 30 December 1899
    // Bytes of a blob or byte field (a memo's text as UTF-8); empty when null.
    // Pictures and rich text are loaded from these bytes by the graphics and
    // report layers.
    QByteArray AsBytes() const;

    // Text of the field: (sender, text, displayText). Replaces the rules above.
    std::function<void(TField* sender, QString& text, bool displayText)> OnGetText;

private:
    friend class TDataSet;
    QString GetText(bool displayText) const;
    int DefaultDisplayWidth() const;

    TDataSet* FDataSet;
    QString FFieldName;
    QString FName;
    QString FDisplayLabel;
    TFieldType FDataType;
    TFieldKind FFieldKind;
    int FSize;
    int FIndex = -1;
    int FBufferIndex = -1; // column in the record (data) or the calculated buffer
    int FDisplayWidth = -1; // -1: the type's default
    bool FVisible = true;
    TAlignment FAlignment = taLeftJustify;
};

// What happened to a data set, told to linked data sets (master-detail).
enum TDataEvent { deOpen, deClose, deScroll, deDataSetChange };

class TDataSet : public TComponent {
    Q_OBJECT
    // Concrete data sets declare `Active` themselves, after their own
    // properties, so that a form being read sets it last.
public:
    explicit TDataSet(QObject* owner = nullptr);
    ~TDataSet() override;

    bool Active() const { return FActive; }
    void SetActive(bool active);
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }

    // Navigation; each raises "<name>: Dataset is not active." when closed.
    void First();
    void Next();
    void Prior();
    void Last();
    bool Eof() const { return FEof; }
    bool Bof() const { return FBof; }
    bool IsEmpty() const { return FActive && FRecord == nullptr; }
    // 1-based number of the current record; 0 when closed or empty.
    qint64 RecNo() const { return FRecord ? FRecNo + 1 : 0; }
    // Number of records. Sources that stream their rows may have to count
    // them (see the SQL data set); 0 when closed.
    qint64 RecordCount();
    // Moves to the 1-based record number; false (and no move) when out of range.
    bool MoveTo(qint64 recNo);

    TBookmark GetBookmark() const;
    // Raises "<name>: Record not found" for a bookmark that is not valid in
    // this opening of the data set.
    void GotoBookmark(const TBookmark& bookmark);
    void FreeBookmark(TBookmark& bookmark) { bookmark = TBookmark(); }
    bool BookmarkValid(const TBookmark& bookmark) const;

    // Attached user-interface controls are not refreshed while the count is
    // above zero. Data sets linked to this one (master-detail) keep
    // following it: a report walks its details with the controls disabled.
    void DisableControls() { ++FDisableCount; }
    void EnableControls();
    bool ControlsDisabled() const { return FDisableCount > 0; }

    int FieldCount() const { return int(FFields.size()); }
    TField* Fields(int index) const; // nullptr out of range
    // Case-insensitive; nullptr when absent.
    TField* FindField(QStringView fieldName) const;
    // Raises EDatabaseError "<data set>: Field 'X' not found" when absent.
    TField* FieldByName(const QString& fieldName) const;
    QStringList FieldNames() const;

    // Declares a calculated field (fkCalculated or fkInternalCalc); allowed
    // while closed. Its values are set by OnCalcFields for every record.
    TField* AddCalcField(const QString& fieldName, TFieldType type, int size = 0,
                         TFieldKind kind = fkCalculated);
    void ClearCalcFields();

    // Classic events, sender first.
    std::function<void(TDataSet*)> AfterOpen;
    std::function<void(TDataSet*)> BeforeClose;
    std::function<void(TDataSet*)> AfterClose;
    std::function<void(TDataSet*)> AfterScroll;
    std::function<void(TDataSet*)> OnCalcFields;

    // Details (master-detail links) are told of every open, close, move and
    // change of this data set through their MasterEvent, by a plain call so
    // that their errors reach the caller of the move.
    void AttachDetail(TDataSet* detail);
    void DetachDetail(TDataSet* detail);

    // The folder relative file names of this data set (a CSV file, an SQLite
    // database) are taken from; empty: the working directory. Not stored: a
    // report loaded from a form sets it to the form's folder, so that forms
    // travel with their data.
    const QString& BaseDirectory() const { return FBaseDirectory; }
    void SetBaseDirectory(const QString& directory) { FBaseDirectory = directory; }
    // The path as this data set opens it: relative paths against BaseDirectory.
    QString ResolvePath(const QString& path) const;

    // The text naming this data set in messages: its name, else its class.
    QString DisplayedName() const;
    [[noreturn]] void DataSetError(const QString& message) const;

signals:
    // For user-interface controls (details are told through MasterEvent).
    void DataEventRaised(vorel::TDataSet* sender, int event);

protected:
    // --- the implementation's side ---------------------------------------
    // Opens the source and calls CreateField for every data column in order.
    virtual void InternalOpen() = 0;
    virtual void InternalClose() = 0;
    // The record with the 0-based index, or nullptr when there is none.
    // The returned values (one per data field, in field order) stay valid
    // until the next InternalRecord, InternalLastRecNo or InternalClose.
    virtual const Variant* InternalRecord(qint64 recNo) = 0;
    // Index of the last record (-1 when empty); may read to the end.
    virtual qint64 InternalLastRecNo() = 0;
    // Number of records; the default is InternalLastRecNo() + 1.
    virtual qint64 InternalRecordCount();
    // After InternalRecord returned nullptr, or after InternalLastRecNo or
    // InternalRecordCount, the values of the current record may have moved:
    // the base asks for the current record again before reading it.
    // Writes a data field of the current record; the default raises
    // "Cannot modify a read-only dataset".
    virtual void InternalSetFieldValue(qint64 recNo, int dataIndex, const Variant& value);

    // Told by a master this data set is attached to; the default does nothing.
    virtual void MasterEvent(TDataSet* master, TDataEvent event);

    // Creates a data field during InternalOpen.
    TField* CreateField(const QString& fieldName, TFieldType type, int size = 0);
    // Reloads the current record after the source changed under it (a
    // re-query): positions on the first record and tells linked data sets.
    void Resync();
    void RaiseDataEvent(TDataEvent event);
    qint64 CurrentRecNo() const { return FRecNo; }
    int DataFieldCount() const { return FDataFieldCount; }
    // Set while the data set opens; a master-detail link ignores events then.
    bool Opening() const { return FOpening; }

private:
    QString FBaseDirectory;
    friend class TField;
    void CheckActive() const;
    bool SetCurrent(qint64 recNo); // false when there is no such record
    void CalculateFields();
    void DoScrolled();

    std::vector<std::unique_ptr<TField>> FDataFields; // made at each opening
    std::vector<std::unique_ptr<TField>> FCalcFields; // declared by the caller, kept across openings
    std::vector<TField*> FFields;                     // data fields, then calculated ones
    std::vector<Variant> FCalcBuffer;
    QList<QPointer<TDataSet>> FDetails;
    const Variant* FRecord = nullptr; // current record's data values
    qint64 FRecNo = -1;
    quint64 FGeneration = 0;
    int FDataFieldCount = 0;
    int FDisableCount = 0;
    bool FActive = false;
    bool FEof = true;
    bool FBof = true;
    bool FOpening = false;
    bool FCalculating = false;
};

} // namespace vorel
