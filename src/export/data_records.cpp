#include "export/data_records.h"

#include "foundation/values/byte_io.h"

#include "graphics/emf_format.h"

#include <algorithm>

namespace vorel {

void TKVXDataRecords::Read(const TEmfRecord& record)
{
    if (record.Type != EMR_GDICOMMENT || record.Bytes.Size() < 12)
        return;
    const std::size_t length = std::min<std::size_t>(record.Bytes.u32le(8), record.Bytes.Size() - 12);
    const ByteView data = record.Bytes.Sub(12, length);
    const QByteArray text(reinterpret_cast<const char*>(data.Data()), qsizetype(data.Size()));
    static const QByteArray prefix("VorelData\t");
    if (!text.startsWith(prefix))
        return;
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
        TCell cell{parts[1].toInt(), parts[2].toInt(), parts[3].toInt(), QString::fromUtf8(text.mid(at + 1))};
        if (FInDetail)
            FRows.back().push_back(std::move(cell));
        else if (FInHeader)
            FCaptions.push_back(std::move(cell));
    }
}

void TKVXDataRecords::Clear()
{
    FRows.clear();
    FCaptions.clear();
    FFirstRow.clear();
    FFirstRowKept = false;
    FSpill.reset();
    FSpillBuffer.clear();
    FSpilledRows = 0;
    FCaptionsTaken = FInHeader = FInDetail = false;
}

namespace {

// The column a control overlaps most, or -1.
int ColumnOf(const std::vector<TKVXDataRecords::TCell>& columns, int left, int width)
{
    int best = -1, bestOverlap = 0;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const int overlap = std::min(left + width, columns[c].Left + columns[c].Width) - std::max(left, columns[c].Left);
        if (overlap > bestOverlap) {
            best = int(c);
            bestOverlap = overlap;
        }
    }
    return best;
}

} // namespace

std::vector<TKVXDataRecords::TCell> TKVXDataRecords::Columns() const
{
    std::vector<TCell> columns = FFirstRowKept ? FFirstRow : FRows.empty() ? std::vector<TCell>{} : FRows.front();
    std::stable_sort(columns.begin(), columns.end(), [](const TCell& a, const TCell& b) { return a.Left < b.Left; });
    return columns;
}

std::vector<QString> TKVXDataRecords::Captions(const std::vector<TCell>& columns) const
{
    // A column's caption: of the header texts above it, the lowest (a title
    // above the captions overlaps columns too).
    std::vector<QString> fields(columns.size());
    std::vector<int> captionTop(columns.size(), -1);
    for (const TCell& caption : FCaptions) {
        const int c = ColumnOf(columns, caption.Left, caption.Width);
        if (c < 0 || caption.Text.trimmed().isEmpty())
            continue;
        if (caption.Top > captionTop[size_t(c)]) {
            captionTop[size_t(c)] = caption.Top;
            fields[size_t(c)] = caption.Text;
        } else if (caption.Top == captionTop[size_t(c)]) {
            fields[size_t(c)] += u' ' + caption.Text;
        }
    }
    return fields;
}

void TKVXDataRecords::RowValues(const std::vector<TCell>& row, const std::vector<TCell>& columns,
                                std::vector<QString>& values) const
{
    values.assign(columns.size(), QString());
    for (const TCell& cell : row)
        if (const int c = ColumnOf(columns, cell.Left, cell.Width); c >= 0)
            values[size_t(c)] = cell.Text;
}

void TKVXDataRecords::LetFinishedRowsGo()
{
    if (FRows.size() < 2)
        return;
    const std::vector<TCell> columns = Columns();
    if (!FFirstRowKept) {
        FFirstRow = FRows.front();
        FFirstRowKept = true;
    }
    if (!FSpill)
        FSpill = std::make_unique<TScratchFile>();
    std::vector<QString> values;
    for (std::size_t i = 0; i + 1 < FRows.size(); ++i) {
        RowValues(FRows[i], columns, values);
        for (const QString& value : values) {
            const QByteArray text = value.toUtf8();
            bytes::writeU32le(FSpillBuffer, std::uint32_t(text.size()));
            FSpillBuffer += text;
        }
    }
    FSpilledRows += FRows.size() - 1;
    FRows.erase(FRows.begin(), FRows.end() - 1);
    FSpill->Append(FSpillBuffer);
    FSpillBuffer.resize(0);
}

void TKVXDataRecords::ForEachRow(const std::vector<TCell>& columns,
                                 const std::function<void(const std::vector<QString>&)>& visit)
{
    std::vector<QString> values(columns.size());
    if (FSpill && FSpilledRows > 0) {
        // Read back in blocks; a row may straddle two.
        constexpr qint64 kBlock = 1 << 20;
        QByteArray block, pending;
        qint64 at = 0;
        std::size_t column = 0;
        while (at < FSpill->Size() || pending.size() > 0) {
            if (at < FSpill->Size()) {
                const qint64 size = std::min(kBlock, FSpill->Size() - at);
                FSpill->Read(at, size, block);
                at += size;
                pending += block;
            }
            const ByteView view(pending);
            std::size_t used = 0;
            while (view.Fits(used, 4) && view.Fits(used + 4, view.u32le(used))) {
                const std::uint32_t length = view.u32le(used);
                values[column] = QString::fromUtf8(pending.constData() + used + 4, qsizetype(length));
                used += 4 + length;
                if (++column == values.size()) {
                    column = 0;
                    visit(values);
                }
            }
            pending.remove(0, qsizetype(used));
            if (at >= FSpill->Size() && used == 0)
                break; // a cut record: nothing more to read
        }
    }
    for (const std::vector<TCell>& row : FRows) {
        RowValues(row, columns, values);
        visit(values);
    }
}

QString NoDataRecordsMessage(const QString& filter)
{
    return QStringLiteral("The pages hold no data records: the report must be prepared with data records for the %1 "
                          "Mode dmData (vorel render does so)")
        .arg(filter);
}

} // namespace vorel
