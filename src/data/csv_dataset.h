#pragma once
// A data set read from a CSV file: a header row of field names (optional),
// a delimiter, quoting with doubled quotes inside quoted values (which may
// span lines), an encoding, and field types declared or inferred.
//
// The whole file is read when the data set opens; values are converted to
// their field types then, so a bad value is reported at opening with the
// file name and the line it stands on, never half-way through a report.
//
// Declared types: FieldTypes lines "Name=Type" or "Name=Type(size)", the
// type by its classic name with or without "ft" ("Integer", "ftDate",
// "WideString(40)"). Undeclared columns are inferred over all their values
// when InferTypes is set: 32-bit integers, 64-bit integers, floats, the
// words True/False, ISO dates, ISO times, ISO date-times, else wide strings;
// without InferTypes they are wide strings. An unquoted empty value is Null;
// a quoted empty value is an empty string in a string column.

#include "data/dataset.h"

#include <vector>

namespace vorel {

class TCsvDataSet : public TDataSet {
    Q_OBJECT
    Q_CLASSINFO("Doc", "A data set read from a CSV file: a header row, a delimiter, quoting, an encoding, and field "
                       "types declared or inferred.")
    Q_PROPERTY(QString FileName READ FileName WRITE SetFileName)
    Q_CLASSINFO("Doc.FileName", "The CSV file; a relative name is taken from the form's folder.")
    Q_PROPERTY(QString Delimiter READ Delimiter WRITE SetDelimiter)
    Q_CLASSINFO("Doc.Delimiter", "The character between values; 'TAB' stands for a tab.")
    Q_PROPERTY(QString QuoteChar READ QuoteChar WRITE SetQuoteChar)
    Q_CLASSINFO("Doc.QuoteChar", "The character enclosing values that hold the delimiter or line breaks (doubled "
                                 "inside them); empty: no quoting.")
    Q_PROPERTY(QString Encoding READ Encoding WRITE SetEncoding)
    Q_CLASSINFO("Doc.Encoding", "The file's encoding: UTF-8, UTF-16, ISO-8859-1, System or a code page iconv knows "
                                "('windows-1251'); a byte order mark overrides it.")
    Q_PROPERTY(QString DecimalSeparator READ DecimalSeparator WRITE SetDecimalSeparator)
    Q_CLASSINFO("Doc.DecimalSeparator", "The decimal separator of the numbers in the file.")
    Q_PROPERTY(bool HasHeader READ HasHeader WRITE SetHasHeader)
    Q_CLASSINFO("Doc.HasHeader", "The first row holds the field names; without it the fields are Field1, Field2, ...")
    Q_PROPERTY(bool InferTypes READ InferTypes WRITE SetInferTypes)
    Q_CLASSINFO("Doc.InferTypes", "Columns without a declared type take one from their values (integers, numbers, "
                                  "True/False, ISO dates and times); otherwise they are text.")
    Q_PROPERTY(vorel::TStringList* FieldTypes READ FieldTypes WRITE SetFieldTypes)
    Q_CLASSINFO("Doc.FieldTypes", "Declared field types, one 'Name=Type' line each ('Amount=Float', "
                                  "'Code=WideString(10)').")
    Q_PROPERTY(bool Active READ Active WRITE SetActive)
    Q_CLASSINFO("Doc.Active", "Open: the file is read and converted (a bad value is reported with its line when it "
                              "opens).")
public:
    Q_INVOKABLE explicit TCsvDataSet(QObject* owner = nullptr);
    ~TCsvDataSet() override;

    QString FileName() const { return FFileName; }
    void SetFileName(const QString& fileName);
    // One character; "\t" (backslash t) and "TAB" stand for a tab. Default ",".
    QString Delimiter() const { return FDelimiter; }
    void SetDelimiter(const QString& delimiter);
    // One character, or empty for no quoting. Default '"'.
    QString QuoteChar() const { return FQuoteChar; }
    void SetQuoteChar(const QString& quote);
    // "UTF-8" (default), "UTF-16", "UTF-16LE", "UTF-16BE", "ISO-8859-1",
    // "System", or a code page iconv knows ("windows-1251", "CP1252", ...).
    // A byte order mark in the file overrides it.
    QString Encoding() const { return FEncoding; }
    void SetEncoding(const QString& encoding);
    // Decimal separator of float values in the file. Default ".".
    QString DecimalSeparator() const { return FDecimalSeparator; }
    void SetDecimalSeparator(const QString& separator);
    bool HasHeader() const { return FHasHeader; }
    void SetHasHeader(bool value);
    bool InferTypes() const { return FInferTypes; }
    void SetInferTypes(bool value);
    TStringList* FieldTypes() const { return FFieldTypes; }
    void SetFieldTypes(const TStringList* types);

protected:
    void InternalOpen() override;
    void InternalClose() override;
    const Variant* InternalRecord(qint64 recNo) override;
    qint64 InternalLastRecNo() override;

private:
    void CheckInactive() const;
    [[noreturn]] void FileError(qint64 line, const QString& message) const;

    QString FFileName;
    QString FDelimiter = QStringLiteral(",");
    QString FQuoteChar = QStringLiteral("\"");
    QString FEncoding = QStringLiteral("UTF-8");
    QString FDecimalSeparator = QStringLiteral(".");
    bool FHasHeader = true;
    bool FInferTypes = true;
    TStringList* FFieldTypes;

    std::vector<Variant> FValues; // row-major, one value per field
    qint64 FRowCount = 0;
    int FColumnCount = 0;
};

} // namespace vorel
