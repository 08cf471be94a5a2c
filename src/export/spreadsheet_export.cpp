#include "export/spreadsheet_export.h"

#include "export/export_file.h"
#include "foundation/locale/code_page.h"
#include "foundation/values/byte_io.h"

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
        if (ColCount == 0) {
            // No text, so no columns: every item is a row of its own.
            int r = 0;
            ForEachCell([&](const TKVXMFERecord& item) {
                WriteRowStart();
                WriteData(ctBlank, &item, r++, 0, QString(), taLeftJustify, clWhite);
                WriteRowEnd();
            });
        } else {
            // The grid holds only items; the empty cells are made here, one
            // row at a time, so the whole grid is never held. (r, c) is the
            // next cell to write.
            int r = 0, c = 0;
            const auto writeCell = [&](const TKVXMFERecord* item) {
                if (c == 0)
                    WriteRowStart();
                if (item && item->Kind == rkText && !IsBlankText(item->Text))
                    WriteData(ctString, item, r, c, CutCellText(item->Text), item->Alignment, item->Color);
                else
                    WriteData(ctBlank, item, r, c, QString(), taLeftJustify, clWhite);
                if (++c == ColCount) {
                    WriteRowEnd();
                    c = 0;
                    ++r;
                }
            };
            const auto blanksBefore = [&](int row, int col) {
                while (r < row || (r == row && c < col))
                    writeCell(nullptr);
            };
            ForEachCell([&](const TKVXMFERecord& item) {
                blanksBefore(item.Row, item.Col);
                writeCell(&item);
            });
            blanksBefore(RowCount, 0);
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
