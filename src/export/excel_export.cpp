#include "export/excel_export.h"

#include "foundation/locale/code_page.h"
#include "foundation/locale/format_settings.h"
#include "foundation/values/byte_io.h"
#include "foundation/values/errors.h"

namespace vorel {

namespace {

constexpr int kBof = 0x0809;
constexpr int kCodePage = 0x0042;
constexpr int kFont = 0x0031;
constexpr int kXf = 0x0043;
constexpr int kDimensions = 0x0200;
constexpr int kBlank = 0x0001;
constexpr int kInteger = 0x0002;
constexpr int kNumber = 0x0003;
constexpr int kLabel = 0x0004;
constexpr int kEof = 0x000A;

std::uint8_t AlignmentByte(TAlignment alignment)
{
    switch (alignment) {
    case taRightJustify:
        return 3;
    case taCenter:
        return 2;
    default:
        return 1;
    }
}

} // namespace

TKVXExportToExcel::TKVXExportToExcel(QObject* owner) : TKVXExportToSpreadsheet(owner) {}

QByteArray TKVXExportToExcel::LabelBytes(const QString& text, int codePage)
{
    // EncodeCodePage gives one byte per UTF-16 unit, "?" for each half of a
    // surrogate pair: a pair becomes one "?" here, so every byte is one character.
    const QByteArray units = EncodeCodePage(text, codePage);
    QByteArray bytes;
    bytes.reserve(qMin<qsizetype>(units.size(), 255));
    for (qsizetype i = 0; i < text.size() && bytes.size() < 255; ++i) {
        bytes += units.at(i);
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
    }
    return bytes;
}

void TKVXExportToExcel::WriteFileBegin()
{
    if (RowCount > kMaxRows || ColCount > kMaxColumns)
        throw EKVXError(QStringLiteral("The XLS format holds at most %1 rows and %2 columns; the pages make a grid of "
                                       "%3 rows and %4 columns (XLSX holds more)")
                            .arg(kMaxRows)
                            .arg(kMaxColumns)
                            .arg(RowCount)
                            .arg(ColCount));
    QByteArray data;
    writeU16le(data, 0);
    writeU16le(data, 0x0010); // worksheet
    writeU16le(data, 0);
    WriteRecordHeader(kBof, int(data.size()));
    WriteBytes(data);
    // The code page the labels are in: without it a reader guesses its own.
    data.clear();
    writeU16le(data, std::uint16_t(CodePage));
    WriteRecordHeader(kCodePage, int(data.size()));
    WriteBytes(data);
    // One font and one cell format, the ones every cell's attributes name
    // (index 0): readers that resolve formats (Gnumeric) drop cells without them.
    data.clear();
    writeU16le(data, 200); // 10 points, in twips
    writeU16le(data, 0);   // regular
    const QByteArray face("Arial");
    writeU8(data, std::uint8_t(face.size()));
    data += face;
    WriteRecordHeader(kFont, int(data.size()));
    WriteBytes(data);
    data.clear();
    writeU8(data, 0);    // font 0
    writeU8(data, 0);    // not used
    writeU8(data, 0x40); // number format 0 (General), cell locked
    writeU8(data, 0);    // general alignment, no borders
    WriteRecordHeader(kXf, int(data.size()));
    WriteBytes(data);
}

void TKVXExportToExcel::WriteFileEnd()
{
    WriteRecordHeader(kEof, 0);
}

void TKVXExportToExcel::WriteDimensions(quint16 rows, quint16 columns)
{
    QByteArray data;
    writeU16le(data, 0);
    writeU16le(data, rows);
    writeU16le(data, 0);
    writeU16le(data, columns);
    writeU16le(data, 0);
    WriteRecordHeader(kDimensions, int(data.size()));
    WriteBytes(data);
}

void TKVXExportToExcel::WriteData(TSpreadsheetCellType cellType, const TKVXMFERecord* rec, int row, int col,
                                  const QString& value, TAlignment alignment, TColor color)
{
    Q_UNUSED(rec);
    Q_UNUSED(color);
    // The integer cell is 16-bit unsigned: an integer outside 0..255 (the
    // classic limit, kept) is a number cell, so a negative one reads back as
    // written instead of wrapping (-5 would read 65531).
    if (cellType == ctInteger) {
        qint64 v = 0;
        if (!TryStrToInt64(value, v))
            v = 0;
        if (v > 255 || v < 0)
            cellType = ctDouble;
    }
    QByteArray data;
    writeU16le(data, std::uint16_t(row));
    writeU16le(data, std::uint16_t(col));
    writeU8(data, 0);
    writeU8(data, 0);
    writeU8(data, AlignmentByte(alignment));
    int type = kBlank;
    switch (cellType) {
    case ctBlank:
        break;
    case ctInteger:
        type = kInteger;
        writeU16le(data, std::uint16_t(StrToInt64(value))); // raises EConvertError for a non-integer
        break;
    case ctDouble:
    case ctCurrency: {
        type = kNumber;
        writeF64le(data, StrToFloat(value)); // raises EConvertError for a non-number
        break;
    }
    case ctString:
    case ctDateTime: {
        type = kLabel;
        const QByteArray text = LabelBytes(value, CodePage);
        writeU8(data, std::uint8_t(text.size()));
        data += text;
        break;
    }
    }
    WriteRecordHeader(type, int(data.size()));
    WriteBytes(data);
}

} // namespace vorel
