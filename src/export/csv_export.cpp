#include "export/csv_export.h"

#include "export/export_file.h"

namespace vorel {

TKVXExportToCSV::TKVXExportToCSV(QObject* owner) : TKVXExportAttributes(owner) {}

QString CsvField(const QString& text, QChar separator)
{
    bool quote = false;
    for (QChar c : text) {
        if (c == separator || c == u'"' || c == u'\r' || c == u'\n') {
            quote = true;
            break;
        }
    }
    if (!quote)
        return text;
    QString out;
    out.reserve(text.size() + 4);
    out += u'"';
    for (QChar c : text) {
        if (c == u'"')
            out += u'"';
        out += c;
    }
    out += u'"';
    return out;
}

void TKVXExportToCSV::SaveToFile(const QString& fileName)
{
    struct Clear {
        TKVXExportToCSV* self;
        ~Clear() { self->ClearRecords(); }
    } clearAfterwards{this};
    TKVXExportAttributes::SaveToFile(fileName);
    TExportFile file(fileName);
    bool first = true;
    int previousTop = 0;
    for (const TKVXMFERecord& item : Records()) {
        if (!first) {
            // A new row starts where the top moves by more than a row's
            // tolerance. (A row at the very top of the output, at 0, is a
            // row like any other.)
            file.Write(std::abs(previousTop - item.Top) > KVX_EQUAL_Y ? QByteArrayView("\r\n") : QByteArrayView(";"));
        }
        file.WriteUtf8(CsvField(item.Text));
        previousTop = item.Top;
        first = false;
    }
    file.Commit();
}

} // namespace vorel
