#include "export/csv_export.h"

#include "export/export_file.h"
#include "foundation/values/errors.h"
#include "graphics/emf_enumerator.h"
#include "graphics/emf_format.h"

#include <algorithm>

namespace vorel {

TKVXExportToCSV::TKVXExportToCSV(QObject* owner) : TKVXExportAttributes(owner) {}

namespace {

QChar OneCharacter(const QString& value, const char* property)
{
    if (value.size() != 1 || value.at(0) == u'\r' || value.at(0) == u'\n')
        throw EConvertError(QStringLiteral("The CSV %1 must be a single character other than a line break, not \"%2\"")
                                .arg(QLatin1String(property), value));
    return value.at(0);
}

} // namespace

void TKVXExportToCSV::SetSeparator(const QString& value)
{
    FSeparator = OneCharacter(value, "Separator");
}

void TKVXExportToCSV::SetQuote(const QString& value)
{
    FQuote = OneCharacter(value, "Quote");
}

bool LooksLikeFormula(QStringView text)
{
    if (text.isEmpty())
        return false;
    const QChar first = text.front();
    if (first == u'=' || first == u'@')
        return true;
    if (first != u'+' && first != u'-')
        return false;
    if (text.size() == 1)
        return false; // a dash alone is text to every spreadsheet
    // A signed number as reports print them: digits with grouping and a
    // decimal separator, an exponent, a percent sign. Anything else after
    // the sign ("-2+3", "+cmd|' /C calc'!A0") would be computed.
    qsizetype i = 1;
    const qsizetype n = text.size();
    bool digits = false;
    while (i < n && (text[i].isDigit() || text[i] == u',' || text[i] == u'.' || text[i] == u' ' || text[i] == u'\''
                     || text[i] == QChar(0x00A0) || text[i] == QChar(0x202F))) {
        digits = digits || text[i].isDigit();
        ++i;
    }
    if (!digits)
        return true;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        if (j < n && (text[j] == u'+' || text[j] == u'-'))
            ++j;
        const qsizetype exponent = j;
        while (j < n && text[j].isDigit())
            ++j;
        if (j > exponent)
            i = j;
    }
    if (i < n && text[i] == u'%')
        ++i;
    return i != n;
}

QString CsvField(const QString& text, QChar separator, QChar quote, bool guardFormulas)
{
    if (guardFormulas && LooksLikeFormula(text))
        return CsvField(u'\'' + text, separator, quote, false);
    bool quoted = false;
    for (QChar c : text) {
        if (c == separator || c == quote || c == u'\r' || c == u'\n') {
            quoted = true;
            break;
        }
    }
    if (!quoted)
        return text;
    QString out;
    out.reserve(text.size() + 4);
    out += quote;
    for (QChar c : text) {
        if (c == quote)
            out += quote;
        out += c;
    }
    out += quote;
    return out;
}

bool TKVXExportToCSV::ExportEMFRecord(const TEmfEnumerator& dc, const TEmfRecord& record)
{
    if (FMode != dmData)
        return TKVXExportAttributes::ExportEMFRecord(dc, record);
    // Data only: the pages' drawing is passed over, the data records read.
    if (TKVXExport::ExportEMFRecord(dc, record))
        FData.Read(record);
    return true;
}

void TKVXExportToCSV::StartExport()
{
    TKVXExportAttributes::StartExport();
    FData.Clear();
}

void TKVXExportToCSV::AppendRow(QByteArray& out, const std::vector<QString>& fields) const
{
    const bool guard = GuardsFormulas();
    const QByteArray separator = QString(FSeparator).toUtf8();
    for (std::size_t c = 0; c < fields.size(); ++c) {
        if (c > 0)
            out += separator;
        out += CsvField(fields[c], FSeparator, FQuote, guard).toUtf8();
    }
    out += "\r\n";
}

void TKVXExportToCSV::PageProcessed(const TMetafile& metafile)
{
    TKVXExportAttributes::PageProcessed(metafile);
    if (FMode == dmData)
        FData.LetFinishedRowsGo();
}

void TKVXExportToCSV::SaveData(const QString& fileName)
{
    TExportFile file(fileName);
    const std::vector<TKVXDataRecords::TCell> columns = FData.Columns();
    QByteArray line;
    if (!columns.empty()) {
        AppendRow(line, FData.Captions(columns));
        file.Write(line);
    }
    FData.ForEachRow(columns, [&](const std::vector<QString>& fields) {
        line.resize(0);
        AppendRow(line, fields);
        file.Write(line);
    });
    file.Commit();
}

void TKVXExportToCSV::SaveToFile(const QString& fileName)
{
    if (FMode == dmData) {
        TKVXExport::SaveToFile(fileName);
        struct Clear {
            TKVXExportToCSV* self;
            ~Clear() { self->FData.Clear(); }
        } clearAfterwards{this};
        if (FData.Empty())
            throw EKVXError(NoDataRecordsMessage(QStringLiteral("CSV")));
        SaveData(fileName);
        return;
    }
    struct Clear {
        TKVXExportToCSV* self;
        ~Clear() { self->ClearRecords(); }
    } clearAfterwards{this};
    TKVXExportAttributes::SaveToFile(fileName);
    TExportFile file(fileName);
    const QString separator(FSeparator);
    // The grid holds only the filled cells; the empty ones are written as
    // empty fields between them.
    // Every row has a field for each column.
    int row = 0;
    int col = 0;
    const auto moveTo = [&](int r, int c) {
        for (; row < r; ++row, col = 0) {
            for (; col < ColCount - 1; ++col)
                file.WriteUtf8(separator);
            file.Write("\r\n");
        }
        for (; col < c; ++col)
            file.WriteUtf8(separator);
    };
    const bool guard = GuardsFormulas();
    bool any = false;
    ForEachCell([&](const TKVXMFERecord& item) {
        any = true;
        moveTo(item.Row, item.Col);
        if (item.Kind == rkText)
            file.WriteUtf8(CsvField(item.Text, FSeparator, FQuote, guard));
    });
    if (any)
        moveTo(row, ColCount - 1);
    file.Commit();
}

} // namespace vorel
