#include "data/csv_dataset.h"

#include "data/text_decode_p.h"

#include <QFile>
#include <cmath>
#include <limits>

namespace vorel {

namespace {

struct CsvValue {
    QString Text;
    bool Quoted = false;
};

struct CsvRecord {
    qint64 Line = 0; // 1-based line the record starts on
    std::vector<CsvValue> Values;
};

// Splits decoded text into records. Errors are reported through `fail`
// with the line number. The first record sets the number of columns; a
// later record of another count fails as soon as it ends, and the values
// past that count are not kept while it is read (a long line of
// delimiters would otherwise hold one value per character: hundreds of
// megabytes for a 10 MB line).
template <typename Fail>
std::vector<CsvRecord> ParseCsv(const QString& text, QChar delimiter, QChar quote, bool quoting, bool hasHeader,
                                Fail fail)
{
    std::vector<CsvRecord> records;
    const qsizetype n = text.size();
    const QChar* s = text.constData();
    qsizetype pos = 0;
    qint64 line = 1;
    while (pos < n) {
        if (s[pos] == u'\r' || s[pos] == u'\n') {
            // A blank line separates nothing: skipped.
            if (s[pos] == u'\r' && pos + 1 < n && s[pos + 1] == u'\n')
                ++pos;
            ++pos;
            ++line;
            continue;
        }
        CsvRecord record;
        record.Line = line;
        const std::size_t columns = records.empty() ? std::numeric_limits<std::size_t>::max()
                                                    : records.front().Values.size();
        std::size_t count = 0; // values of this record, kept or not
        for (;;) {
            CsvValue value;
            if (quoting && pos < n && s[pos] == quote) {
                const qint64 startLine = line;
                value.Quoted = true;
                ++pos;
                for (;;) {
                    if (pos >= n)
                        fail(startLine, QStringLiteral("the quoted value that starts here is not closed"));
                    const QChar c = s[pos];
                    if (c == quote) {
                        if (pos + 1 < n && s[pos + 1] == quote) {
                            value.Text += quote;
                            pos += 2;
                            continue;
                        }
                        ++pos;
                        break;
                    }
                    if (c == u'\n' || (c == u'\r' && !(pos + 1 < n && s[pos + 1] == u'\n')))
                        ++line;
                    value.Text += c;
                    ++pos;
                }
                if (pos < n && s[pos] != delimiter && s[pos] != u'\r' && s[pos] != u'\n')
                    fail(line, QStringLiteral("unexpected character '%1' after a closing quote").arg(s[pos]));
            } else {
                const qsizetype start = pos;
                while (pos < n && s[pos] != delimiter && s[pos] != u'\r' && s[pos] != u'\n')
                    ++pos;
                value.Text = text.mid(start, pos - start);
            }
            if (++count <= columns)
                record.Values.push_back(std::move(value));
            if (pos < n && s[pos] == delimiter) {
                ++pos;
                continue;
            }
            break;
        }
        if (pos < n) { // the line end
            if (s[pos] == u'\r' && pos + 1 < n && s[pos + 1] == u'\n')
                ++pos;
            ++pos;
            ++line;
        }
        if (!records.empty() && count != columns)
            fail(record.Line, QStringLiteral("the row has %1 values where the %2 has %3 columns")
                                  .arg(count)
                                  .arg(hasHeader ? QStringLiteral("header") : QStringLiteral("first row"))
                                  .arg(columns));
        records.push_back(std::move(record));
    }
    return records;
}

// What the values of a column can all be read as.
struct ColumnShape {
    bool AnyValue = false;
    bool Int32 = true;
    bool Int64 = true;
    bool Float = true;
    bool Boolean = true;
    bool DateOnly = true;
    bool TimeOnly = true;
    bool DateOrDateTime = true;
    int MaxLength = 0; // characters

    void Add(const QString& raw, QChar decimal)
    {
        MaxLength = std::max(MaxLength, int(std::min<qsizetype>(raw.size(), std::numeric_limits<int>::max())));
        const QString v = raw.trimmed();
        AnyValue = true;
        bool ok = false;
        const qint64 i = v.toLongLong(&ok);
        if (!ok) {
            Int32 = Int64 = false;
        } else if (i < std::numeric_limits<int>::min() || i > std::numeric_limits<int>::max()) {
            Int32 = false;
        }
        if (Float && !ok) {
            QString f = v;
            if (decimal != u'.')
                f.replace(decimal, u'.');
            const double d = f.toDouble(&ok);
            Float = ok && std::isfinite(d);
        }
        if (Boolean)
            Boolean = v.compare(u"true", Qt::CaseInsensitive) == 0 || v.compare(u"false", Qt::CaseInsensitive) == 0;
        if (DateOnly || TimeOnly || DateOrDateTime) {
            double d = 0;
            const bool date = ParseIsoDateTime(v, ftDateTime, d);
            const bool hasDatePart = date && v.size() >= 10 && v[4] == u'-';
            const bool hasTimePart = date && v.contains(u':');
            DateOnly = DateOnly && hasDatePart && !hasTimePart;
            TimeOnly = TimeOnly && date && !hasDatePart;
            DateOrDateTime = DateOrDateTime && hasDatePart;
        }
    }

    TFieldType Type() const
    {
        if (!AnyValue)
            return ftWideString;
        if (Int32)
            return ftInteger;
        if (Int64)
            return ftLargeint;
        if (Float)
            return ftFloat;
        if (Boolean)
            return ftBoolean;
        if (DateOnly)
            return ftDate;
        if (TimeOnly)
            return ftTime;
        if (DateOrDateTime)
            return ftDateTime;
        return ftWideString;
    }
};

bool UsesDecimalSeparator(TFieldType type)
{
    return type == ftFloat || type == ftCurrency || type == ftBCD || type == ftFMTBcd || type == ftExtended
        || type == ftSingle;
}

} // namespace

TCsvDataSet::TCsvDataSet(QObject* owner) : TDataSet(owner), FFieldTypes(new TStringList(this)) {}

TCsvDataSet::~TCsvDataSet()
{
    if (Active()) {
        AfterClose = nullptr;
        BeforeClose = nullptr;
        blockSignals(true);
        Close();
    }
}

void TCsvDataSet::CheckInactive() const
{
    if (Active())
        DataSetError(QStringLiteral("Cannot perform this operation on an open dataset"));
}

void TCsvDataSet::SetFileName(const QString& fileName)
{
    CheckInactive();
    FFileName = fileName;
}

void TCsvDataSet::SetDelimiter(const QString& delimiter)
{
    CheckInactive();
    QString d = delimiter;
    if (d == u"\\t" || d.compare(u"TAB", Qt::CaseInsensitive) == 0)
        d = QStringLiteral("\t");
    if (d.size() != 1)
        DataSetError(QStringLiteral("The delimiter must be one character, not '%1'").arg(delimiter));
    FDelimiter = d;
}

void TCsvDataSet::SetQuoteChar(const QString& quote)
{
    CheckInactive();
    if (quote.size() > 1)
        DataSetError(QStringLiteral("The quote character must be one character, not '%1'").arg(quote));
    FQuoteChar = quote;
}

void TCsvDataSet::SetEncoding(const QString& encoding)
{
    CheckInactive();
    FEncoding = encoding;
}

void TCsvDataSet::SetDecimalSeparator(const QString& separator)
{
    CheckInactive();
    if (separator.size() != 1)
        DataSetError(QStringLiteral("The decimal separator must be one character, not '%1'").arg(separator));
    FDecimalSeparator = separator;
}

void TCsvDataSet::SetHasHeader(bool value)
{
    CheckInactive();
    FHasHeader = value;
}

void TCsvDataSet::SetInferTypes(bool value)
{
    CheckInactive();
    FInferTypes = value;
}

void TCsvDataSet::SetFieldTypes(const TStringList* types)
{
    CheckInactive();
    if (types != FFieldTypes)
        FFieldTypes->Assign(types);
}

// Worded as DataSetError words it ("Name: path:line: message"), with the
// file and the line as the error's place.
void TCsvDataSet::FileError(qint64 line, const QString& message) const
{
    TErrorPlace place;
    place.File = ResolvePath(FFileName);
    place.Line = line;
    throw EDatabaseError(DisplayedName() + QStringLiteral(": ")
                             + (line > 0 ? QStringLiteral("%1:%2: %3").arg(place.File).arg(line).arg(message)
                                         : QStringLiteral("%1: %2").arg(place.File, message)),
                         place);
}

void TCsvDataSet::InternalOpen()
{
    if (FFileName.isEmpty())
        DataSetError(QStringLiteral("Property FileName wasn't specified."));
    QFile file(ResolvePath(FFileName));
    if (!file.open(QIODevice::ReadOnly))
        FileError(0, QStringLiteral("cannot open the file: %1").arg(file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        FileError(0, QStringLiteral("cannot read the file: %1").arg(file.errorString()));
    file.close();

    TDecodeResult decoded = DecodeText(bytes, FEncoding);
    if (!decoded.Ok) {
        if (decoded.ErrorOffset >= 0)
            FileError(0, QStringLiteral("%1 at byte %2").arg(decoded.ErrorMessage).arg(decoded.ErrorOffset));
        FileError(0, decoded.ErrorMessage);
    }

    const QChar delimiter = FDelimiter.isEmpty() ? QChar(u',') : FDelimiter[0];
    const bool quoting = !FQuoteChar.isEmpty();
    const QChar quote = quoting ? FQuoteChar[0] : QChar(u'"');
    std::vector<CsvRecord> records =
        ParseCsv(decoded.Text, delimiter, quote, quoting, FHasHeader, [this](qint64 line, const QString& message) {
            FileError(line, message);
        });
    decoded.Text.clear();

    // Field names.
    QStringList names;
    size_t first = 0;
    if (FHasHeader) {
        if (records.empty())
            FileError(0, QStringLiteral("the file has no header row"));
        for (const CsvValue& v : records[0].Values)
            names.append(v.Text.trimmed());
        for (qsizetype i = 0; i < names.size(); ++i)
            if (names[i].isEmpty())
                names[i] = QStringLiteral("Field%1").arg(i + 1);
        first = 1;
    } else if (!records.empty()) {
        for (size_t i = 0; i < records[0].Values.size(); ++i)
            names.append(QStringLiteral("Field%1").arg(i + 1));
    }
    const int columns = int(names.size()); // every record has as many (checked while splitting)

    // Declared types.
    std::vector<TFieldType> types(size_t(columns), ftUnknown);
    std::vector<int> sizes(size_t(columns), 0);
    for (const QString& line : FFieldTypes->List()) {
        if (line.trimmed().isEmpty())
            continue;
        const qsizetype eq = line.indexOf(u'=');
        const QString name = line.left(eq).trimmed();
        QString typeText = eq >= 0 ? line.mid(eq + 1).trimmed() : QString();
        int size = 0;
        if (const qsizetype open = typeText.indexOf(u'('); open >= 0 && typeText.endsWith(u')')) {
            bool ok = false;
            size = typeText.mid(open + 1, typeText.size() - open - 2).trimmed().toInt(&ok);
            if (!ok || size < 0)
                DataSetError(QStringLiteral("FieldTypes: '%1' has no valid size").arg(line));
            typeText = typeText.left(open).trimmed();
        }
        TFieldType type = ftUnknown;
        if (eq < 0 || !FieldTypeFromName(typeText, type) || type == ftUnknown)
            DataSetError(QStringLiteral("FieldTypes: '%1' does not name a field type").arg(line));
        const qsizetype column = [&] {
            for (qsizetype i = 0; i < names.size(); ++i)
                if (names[i].compare(name, Qt::CaseInsensitive) == 0)
                    return i;
            return qsizetype(-1);
        }();
        if (column < 0)
            FileError(0, QStringLiteral("FieldTypes names the field '%1' that the file does not have").arg(name));
        types[size_t(column)] = type;
        sizes[size_t(column)] = size;
    }

    // Inferred types, and the widths of string columns.
    const QChar decimal = FDecimalSeparator.isEmpty() ? QChar(u'.') : FDecimalSeparator[0];
    for (int c = 0; c < columns; ++c) {
        const bool declared = types[size_t(c)] != ftUnknown;
        const bool stringLike = declared && (IsStringFieldType(types[size_t(c)]) || IsMemoFieldType(types[size_t(c)]));
        if (declared && (!stringLike || sizes[size_t(c)] > 0))
            continue;
        ColumnShape shape;
        for (size_t r = first; r < records.size(); ++r) {
            const CsvValue& v = records[r].Values[size_t(c)];
            if (v.Text.isEmpty() && !v.Quoted)
                continue;
            if (declared || !FInferTypes)
                shape.MaxLength = std::max(shape.MaxLength, int(v.Text.size()));
            else
                shape.Add(v.Text, decimal);
        }
        if (!declared)
            types[size_t(c)] = FInferTypes ? shape.Type() : ftWideString;
        if (IsStringFieldType(types[size_t(c)]) && sizes[size_t(c)] == 0)
            sizes[size_t(c)] = std::max(1, shape.MaxLength);
    }

    // Values.
    FColumnCount = columns;
    FRowCount = qint64(records.size() - first);
    FValues.clear();
    FValues.reserve(size_t(FRowCount) * size_t(columns));
    for (size_t r = first; r < records.size(); ++r) {
        CsvRecord& record = records[r];
        for (int c = 0; c < columns; ++c) {
            CsvValue& v = record.Values[size_t(c)];
            const TFieldType type = types[size_t(c)];
            const bool stringType = IsStringFieldType(type) || IsMemoFieldType(type);
            if (v.Text.isEmpty() && (!v.Quoted || !stringType)) {
                FValues.push_back(Variant::Null());
                continue;
            }
            if (stringType) {
                FValues.push_back(Variant(std::move(v.Text)));
                continue;
            }
            QString text = std::move(v.Text);
            if (decimal != u'.' && UsesDecimalSeparator(type))
                text.replace(decimal, u'.');
            Variant converted;
            if (!ConvertToFieldType(Variant(text), type, converted))
                FileError(record.Line, QStringLiteral("'%1' in column '%2' is not a valid %3 value")
                                           .arg(text, names[c], FieldTypeName(type).mid(2)));
            FValues.push_back(std::move(converted));
        }
        record.Values.clear();
        record.Values.shrink_to_fit();
    }
    for (int c = 0; c < columns; ++c)
        CreateField(names[c], types[size_t(c)], sizes[size_t(c)]);
}

void TCsvDataSet::InternalClose()
{
    FValues.clear();
    FValues.shrink_to_fit();
    FRowCount = 0;
    FColumnCount = 0;
}

const Variant* TCsvDataSet::InternalRecord(qint64 recNo)
{
    if (recNo < 0 || recNo >= FRowCount)
        return nullptr;
    return FValues.data() + size_t(recNo) * size_t(FColumnCount);
}

qint64 TCsvDataSet::InternalLastRecNo()
{
    return FRowCount - 1;
}

} // namespace vorel
