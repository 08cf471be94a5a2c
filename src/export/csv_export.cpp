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

QString CsvField(const QString& text, QChar separator, QChar quote)
{
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
    if (!TKVXExport::ExportEMFRecord(dc, record) || record.Type != EMR_GDICOMMENT)
        return true;
    const std::size_t length = std::min<std::size_t>(record.Bytes.u32le(8), record.Bytes.Size() - 12);
    const ByteView data = record.Bytes.Sub(12, length);
    const QByteArray text(reinterpret_cast<const char*>(data.Data()), qsizetype(data.Size()));
    static const QByteArray prefix("VorelData\t");
    if (!text.startsWith(prefix))
        return true;
    const QList<QByteArray> parts = text.mid(prefix.size()).split('\t');
    if (parts.value(0) == "band") {
        FInDetail = parts.value(1) == "detail";
        FInHeader = parts.value(1) == "header" && !FCaptionsTaken;
        if (FInDetail)
            FRows.emplace_back();
        if (!FInHeader && !FCaptions.empty())
            FCaptionsTaken = true;
    } else if (parts.value(0) == "cell" && parts.size() >= 5) {
        // The text may hold tabs itself: it is everything after the top.
        const qsizetype at =
            text.indexOf('\t', prefix.size() + 5 + parts[1].size() + 1 + parts[2].size() + 1 + parts[3].size());
        TDataCell cell{parts[1].toInt(), parts[2].toInt(), parts[3].toInt(), QString::fromUtf8(text.mid(at + 1))};
        if (FInDetail)
            FRows.back().push_back(std::move(cell));
        else if (FInHeader)
            FCaptions.push_back(std::move(cell));
    }
    return true;
}

void TKVXExportToCSV::SaveData(const QString& fileName)
{
    TExportFile file(fileName);
    // Columns: the detail band's controls left to right (the first row's
    // places); a caption heads the column whose control it overlaps most.
    std::vector<TDataCell> columns = FRows.empty() ? std::vector<TDataCell>{} : FRows.front();
    std::stable_sort(columns.begin(), columns.end(), [](const TDataCell& a, const TDataCell& b) { return a.Left < b.Left; });
    const auto columnOf = [&](int left, int width) {
        int best = -1, bestOverlap = 0;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const int overlap = std::min(left + width, columns[c].Left + columns[c].Width) - std::max(left, columns[c].Left);
            if (overlap > bestOverlap) {
                best = int(c);
                bestOverlap = overlap;
            }
        }
        return best;
    };
    const auto writeRow = [&](const std::vector<QString>& fields) {
        for (std::size_t c = 0; c < fields.size(); ++c) {
            if (c > 0)
                file.WriteUtf8(QString(FSeparator));
            file.WriteUtf8(CsvField(fields[c], FSeparator, FQuote));
        }
        file.Write("\r\n");
    };
    // A column's caption: of the header texts above it, the lowest (a title
    // above the captions overlaps columns too).
    std::vector<QString> fields(columns.size());
    std::vector<int> captionTop(columns.size(), -1);
    for (const TDataCell& caption : FCaptions) {
        const int c = columnOf(caption.Left, caption.Width);
        if (c < 0 || caption.Text.trimmed().isEmpty())
            continue;
        if (caption.Top > captionTop[size_t(c)]) {
            captionTop[size_t(c)] = caption.Top;
            fields[size_t(c)] = caption.Text;
        } else if (caption.Top == captionTop[size_t(c)]) {
            fields[size_t(c)] += u' ' + caption.Text;
        }
    }
    if (!columns.empty())
        writeRow(fields);
    for (const std::vector<TDataCell>& row : FRows) {
        std::fill(fields.begin(), fields.end(), QString());
        for (const TDataCell& cell : row)
            if (const int c = columnOf(cell.Left, cell.Width); c >= 0)
                fields[size_t(c)] = cell.Text;
        writeRow(fields);
    }
    file.Commit();
}

void TKVXExportToCSV::SaveToFile(const QString& fileName)
{
    if (FMode == dmData) {
        TKVXExport::SaveToFile(fileName);
        struct Clear {
            TKVXExportToCSV* self;
            ~Clear()
            {
                self->FRows.clear();
                self->FCaptions.clear();
                self->FCaptionsTaken = self->FInHeader = self->FInDetail = false;
            }
        } clearAfterwards{this};
        if (FRows.empty() && FCaptions.empty())
            throw EKVXError(QStringLiteral("The pages hold no data records: the report must be prepared with "
                                           "data records for the CSV Mode dmData (vorel render does so)"));
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
    for (const TKVXMFERecord& item : Records()) {
        moveTo(item.Row, item.Col);
        if (item.Kind == rkText)
            file.WriteUtf8(CsvField(item.Text, FSeparator, FQuote));
    }
    if (!Records().empty())
        moveTo(row, ColCount - 1);
    file.Commit();
}

} // namespace vorel
