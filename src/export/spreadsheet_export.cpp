#include "export/spreadsheet_export.h"

#include "export/export_file.h"
#include "foundation/code_page.h"
#include "foundation/byte_io.h"

namespace vorel {

QString CutCellText(const QString& text, int maxChars)
{
    if (text.size() <= maxChars)
        return text;
    int n = maxChars;
    if (n > 0 && text.at(n - 1).isHighSurrogate())
        --n;
    return text.left(n);
}

TKVXExportToSpreadsheet::TKVXExportToSpreadsheet(QObject* owner) : TKVXExportAttributes(owner) {}

TKVXExportToSpreadsheet::~TKVXExportToSpreadsheet() = default;

void TKVXExportToSpreadsheet::WriteRecordHeader(int recordType, int recordSize)
{
    QByteArray header;
    writeU16le(header, std::uint16_t(recordType));
    writeU16le(header, std::uint16_t(recordSize));
    WriteBytes(header);
}

void TKVXExportToSpreadsheet::WriteFileBegin() {}
void TKVXExportToSpreadsheet::WriteFileEnd() {}
void TKVXExportToSpreadsheet::WriteDimensions(quint16, quint16) {}
void TKVXExportToSpreadsheet::WriteRowStart() {}
void TKVXExportToSpreadsheet::WriteRowEnd() {}
void TKVXExportToSpreadsheet::WriteData(TSpreadsheetCellType, const TKVXMFERecord*, int, int, const QString&, TAlignment,
                                        TColor)
{
}

void TKVXExportToSpreadsheet::WriteString(const QString& s)
{
    WriteBytes(EncodeCodePage(s, CodePage));
}

void TKVXExportToSpreadsheet::WriteUtf8(const QString& s)
{
    if (FStream)
        FStream->WriteUtf8(s);
}

void TKVXExportToSpreadsheet::WriteBytes(QByteArrayView bytes)
{
    if (FStream)
        FStream->Write(bytes);
}

void TKVXExportToSpreadsheet::SaveToFile(const QString& fileName)
{
    struct Clear {
        TKVXExportToSpreadsheet* self;
        ~Clear() { self->ClearRecords(); }
    } clearAfterwards{this};
    TKVXExportAttributes::SaveToFile(fileName);
    TExportFile file(fileName);
    FStream = &file;
    struct Detach {
        TExportFile*& stream;
        ~Detach() { stream = nullptr; }
    } detach{FStream};
    try {
        WriteFileBegin();
        WriteDimensions(quint16(RowCount), quint16(ColCount));
        int r = 0;
        int c = 0;
        bool rowOpen = false;
        for (const TKVXMFERecord& item : Records()) {
            if (c >= ColCount) {
                // Only an open row is closed: with no columns at all (no
                // text on the pages) every item is a row of its own and the
                // markup stays balanced.
                if (rowOpen) {
                    WriteRowEnd();
                    ++r;
                }
                c = 0;
                rowOpen = false;
            }
            if (c == 0) {
                WriteRowStart();
                rowOpen = true;
            }
            if (item.Kind == rkText && !IsBlankText(item.Text))
                WriteData(ctString, &item, r, c, CutCellText(item.Text), CurrentAlignment, item.Color);
            else
                WriteData(ctBlank, &item, r, c, QString(), taLeftJustify, clWhite);
            ++c;
        }
        if (rowOpen) {
            for (int k = c; k < ColCount; ++k)
                WriteData(ctBlank, nullptr, r, k, QString(), taLeftJustify, clWhite);
            WriteRowEnd();
        }
    } catch (...) {
        // The file end is written also after an error; the file itself is
        // then discarded, and the first error is the one reported.
        try {
            WriteFileEnd();
        } catch (...) {
        }
        throw;
    }
    WriteFileEnd();
    file.Commit();
}

} // namespace vorel
