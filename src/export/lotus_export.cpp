#include "export/lotus_export.h"

#include "export/export_file.h"
#include "foundation/locale/code_page.h"
#include "foundation/values/byte_io.h"
#include "foundation/values/errors.h"

#include <cmath>

namespace vorel {

// Format bytes: Lotus marks every cell protected (bit 7) with the general
// format ($F1) for numbers and labels, fixed with two decimals ($82) for
// integers; QuattroPro takes 0 (its default style) everywhere. The row
// limits are the rows the readers take: LibreOffice and Gnumeric read a
// Lotus row as unsigned (65,536 rows), LibreOffice reads a QuattroPro row
// as signed and refuses a file with a row beyond 32,767.
const TWorksheetFormat kLotusFormat{"Lotus 1-2-3 worksheet", 0x0404, 0x22, 0x82, 0xF1, false, 65536};
const TWorksheetFormat kQuattroProFormat{"QuattroPro worksheet", 0x5120, 0, 0, 0, true, 32768};

namespace {

enum : int {
    kBof = 0,
    kEof = 1,
    kCalcMode = 2,
    kCalcOrder = 3,
    kRange = 6,
    kBlank = 12,
    kInteger = 13,
    kNumber = 14,
    kLabel = 15,
};

constexpr int kCellHeaderBytes = 5;
constexpr int kMaxLabelBytes = 255;

char AlignmentPrefix(TAlignment alignment)
{
    switch (alignment) {
    case taRightJustify: return '"';
    case taCenter: return '^';
    default: return '\'';
    }
}

// The longest head of text that fits a label without splitting a surrogate pair.
QStringView LabelText(QStringView text)
{
    if (text.size() <= kMaxLabelBytes)
        return text;
    qsizetype n = kMaxLabelBytes;
    if (text.at(n - 1).isHighSurrogate())
        --n;
    return text.first(n);
}

} // namespace

TKVXExportToLotus::TKVXExportToLotus(QObject* owner) : TKVXExportToLotus(kLotusFormat, owner) {}

TKVXExportToLotus::TKVXExportToLotus(const TWorksheetFormat& format, QObject* owner)
    : TKVXExportToSpreadsheet(owner), FFormat(format)
{
    FRecord.reserve(4 + kCellHeaderBytes + 2 + kMaxLabelBytes);
}

TKVXExportToQuattroPro::TKVXExportToQuattroPro(QObject* owner) : TKVXExportToLotus(kQuattroProFormat, owner) {}

void TKVXExportToLotus::CheckCell(int row, int col) const
{
    // Checked before anything is written: the export file is then dropped,
    // and an existing file of the name stays as it was.
    if (col >= kWorksheetMaxColumns)
        throw EKVXError(QStringLiteral("Cannot write \"%1\": the pages give %2 columns, a %3 holds at most %4")
                            .arg(FileName())
                            .arg(col + 1)
                            .arg(QLatin1String(FFormat.Name))
                            .arg(kWorksheetMaxColumns));
    if (row >= FFormat.MaxRows)
        throw EKVXError(QStringLiteral("Cannot write \"%1\": the pages give %2 rows, a %3 holds at most %4")
                            .arg(FileName())
                            .arg(row + 1)
                            .arg(QLatin1String(FFormat.Name))
                            .arg(FFormat.MaxRows));
}

void TKVXExportToLotus::WriteFileBegin()
{
    FRecord.resize(0);
    writeU16le(FRecord, kBof);
    writeU16le(FRecord, 2);
    writeU16le(FRecord, FFormat.Version);
    // Automatic calculation in natural order. Readers take a file with
    // fewer than four records before the end for no worksheet at all
    // (LibreOffice refuses an empty QuattroPro sheet), so every file has them.
    writeU16le(FRecord, kCalcMode);
    writeU16le(FRecord, 1);
    writeU8(FRecord, 0xFF);
    writeU16le(FRecord, kCalcOrder);
    writeU16le(FRecord, 1);
    writeU8(FRecord, 0);
    WriteBytes(FRecord);
}

void TKVXExportToLotus::WriteFileEnd()
{
    FRecord.resize(0);
    writeU16le(FRecord, kEof);
    writeU16le(FRecord, 0);
    WriteBytes(FRecord);
}

void TKVXExportToLotus::WriteDimensions(quint16, quint16)
{
    // The counts as the grid has them: the arguments are cut to 16 bits.
    if (RowCount > 0 || ColCount > 0)
        CheckCell(std::max(RowCount - 1, 0), std::max(ColCount - 1, 0));
    FRecord.resize(0);
    writeU16le(FRecord, kRange);
    writeU16le(FRecord, 8);
    writeU16le(FRecord, 0);
    writeU16le(FRecord, 0);
    // An empty grid gives $FFFF (-1) for both; the readers open it as an empty sheet.
    writeU16le(FRecord, std::uint16_t(ColCount - 1));
    writeU16le(FRecord, std::uint16_t(RowCount - 1));
    WriteBytes(FRecord);
}

void TKVXExportToLotus::WriteCellHeader(int type, int dataLength, std::uint8_t format, int row, int col)
{
    FRecord.resize(0);
    writeU16le(FRecord, std::uint16_t(type));
    writeU16le(FRecord, std::uint16_t(kCellHeaderBytes + dataLength));
    writeU8(FRecord, format);
    writeU16le(FRecord, std::uint16_t(col));
    writeU16le(FRecord, std::uint16_t(row));
}

void TKVXExportToLotus::WriteData(TSpreadsheetCellType cellType, const TKVXMFERecord*, int row, int col,
                                  const QString& value, TAlignment alignment, TColor)
{
    if (row < 0 || col < 0)
        return;
    CheckCell(row, col);
    // A typed cell whose value is no number of its type is written as the
    // label it is, not as an invented 0; an empty one as a blank cell.
    const QStringView text = QStringView(value).trimmed();
    if ((cellType == ctInteger || cellType == ctDouble || cellType == ctCurrency) && text.isEmpty())
        cellType = ctBlank;
    double number = 0;
    if (cellType == ctInteger) {
        bool ok = false;
        const qlonglong n = text.toLongLong(&ok);
        if (!ok)
            cellType = ctString;
        else if (n < -32767 || n > 32767) // the integer cell holds 16 bits; -32768 is no Lotus integer
            cellType = ctDouble, number = double(n);
        else
            number = double(n);
    } else if (cellType == ctDouble || cellType == ctCurrency) {
        bool ok = false;
        number = text.toDouble(&ok);
        cellType = ok && std::isfinite(number) ? ctDouble : ctString;
    }
    switch (cellType) {
    case ctBlank: WriteCellHeader(kBlank, 0, FFormat.BlankFormat, row, col); break;
    case ctInteger:
        WriteCellHeader(kInteger, 2, FFormat.IntegerFormat, row, col);
        writeI16le(FRecord, std::int16_t(number));
        break;
    case ctDouble:
        WriteCellHeader(kNumber, 8, FFormat.NumberFormat, row, col);
        writeF64le(FRecord, number);
        break;
    default: {
        const QStringView label = LabelText(value);
        WriteCellHeader(kLabel, int(label.size()) + 2, FFormat.NumberFormat, row, col);
        writeU8(FRecord, std::uint8_t(AlignmentPrefix(alignment)));
        if (FFormat.LabelLengthByte)
            writeU8(FRecord, std::uint8_t(label.size()));
        const qsizetype at = FRecord.size();
        AppendCodePage(FRecord, label, CodePage);
        // A label is one line; a zero byte would end a Lotus label early.
        for (qsizetype i = at; i < FRecord.size(); ++i)
            if (std::uint8_t(FRecord[i]) < 0x20)
                FRecord[i] = ' ';
        if (!FFormat.LabelLengthByte)
            writeU8(FRecord, 0);
        break;
    }
    }
    WriteBytes(FRecord);
}

} // namespace vorel
