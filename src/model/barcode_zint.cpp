// The libzint symbologies: what libzint is asked for each type, the checks
// libzint leaves to its caller, and reading its module matrix back.

#include "model/barcode_zint_p.h"

#include <zint.h>

#include <QRegularExpression>
#include <memory>

namespace vorel {

namespace {

struct TZintSymbolDeleter {
    void operator()(zint_symbol* symbol) const { ZBarcode_Delete(symbol); }
};

bool AllDigits(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// libzint's message without its number: "Error 275: Invalid check digit
// '8', expecting '7'" reads "invalid check digit '8', expecting '7'".
QString ZintReason(const char* errtxt)
{
    QString text = QString::fromUtf8(errtxt);
    static const QRegularExpression prefix(QStringLiteral("^(Error|Warning) \\d+: "));
    text.remove(prefix);
    if (!text.isEmpty())
        text[0] = text[0].toLower();
    return text;
}

// The lengths libzint's EAN and UPC-E encoders would quietly reinterpret
// (a short EAN-13 becomes an add-on, 8 digits an EAN-13 with leading zeros,
// UPC-E's number system 2 becomes 0) are refused here. Sets the symbology
// libzint is asked for; returns the reason when the data cannot be encoded.
QString CheckRetailData(TBarCodeType type, const QString& data, int& symbology)
{
    if (!AllDigits(data))
        return QStringLiteral("only digits can be encoded");
    const qsizetype n = data.size();
    switch (type) {
    case bcEAN13:
        if (n != 12 && n != 13)
            return QStringLiteral("needs 12 digits, or 13 with the check digit (has %1)").arg(n);
        symbology = n == 13 ? BARCODE_EANX_CHK : BARCODE_EANX;
        return {};
    case bcEAN8:
        if (n != 7 && n != 8)
            return QStringLiteral("needs 7 digits, or 8 with the check digit (has %1)").arg(n);
        symbology = n == 8 ? BARCODE_EANX_CHK : BARCODE_EANX;
        return {};
    case bcUPCE:
        if (n < 6 || n > 8)
            return QStringLiteral("needs 6 to 8 digits (has %1)").arg(n);
        if (n >= 7 && data[0] != u'0' && data[0] != u'1')
            return QStringLiteral("the number system (the first of 7 or 8 digits) must be 0 or 1");
        symbology = BARCODE_UPCE_CHK;
        if (n < 8)
            symbology = BARCODE_UPCE;
        return {};
    default: return {};
    }
}

} // namespace

TBarCodeMatrix EncodeWithZint(TBarCodeType type, const QString& data, TQRLevel level)
{
    TBarCodeMatrix matrix;
    int symbology = 0;
    int inputMode = UNICODE_MODE;
    switch (type) {
    case bcCode128: symbology = BARCODE_CODE128; break;
    case bcGS1128:
        symbology = BARCODE_GS1_128;
        inputMode = GS1_MODE | GS1PARENS_MODE;
        break;
    case bcEAN13:
    case bcEAN8:
    case bcUPCE: matrix.Error = CheckRetailData(type, data, symbology); break;
    // The UTF-8 bytes as they are, without an ECI: readers take UTF-8 from
    // byte mode, while libzint's Unicode mode would pick Latin-1 or Shift
    // JIS, or add an ECI header that not every reader honours.
    case bcQRCode:
        symbology = BARCODE_QRCODE;
        inputMode = DATA_MODE;
        break;
    case bcDataMatrix:
        symbology = BARCODE_DATAMATRIX;
        inputMode = DATA_MODE;
        break;
    case bcPDF417: symbology = BARCODE_PDF417; break;
    default: matrix.Error = QStringLiteral("not a libzint symbology"); break;
    }
    if (!matrix.Error.isEmpty())
        return matrix;

    std::unique_ptr<zint_symbol, TZintSymbolDeleter> symbol(ZBarcode_Create());
    if (!symbol) {
        matrix.Error = QStringLiteral("out of memory");
        return matrix;
    }
    symbol->symbology = symbology;
    symbol->input_mode = inputMode;
    if (type == bcQRCode)
        symbol->option_1 = int(level) + 1; // 1 = L ... 4 = H; option_2 0: the smallest version
    if (type == bcDataMatrix)
        symbol->option_3 = DM_SQUARE; // libzint would pick a rectangle when it is smaller
    const QByteArray bytes = data.toUtf8();
    const int result =
        ZBarcode_Encode(symbol.get(), reinterpret_cast<const unsigned char*>(bytes.constData()), int(bytes.size()));
    // A non-compliant symbol (a GS1 check digit that is wrong) would read
    // as something else than meant: refused like an error.
    if (result >= ZINT_ERROR || result == ZINT_WARN_NONCOMPLIANT) {
        matrix.Error = ZintReason(symbol->errtxt);
        if (matrix.Error.isEmpty())
            matrix.Error = QStringLiteral("libzint refused it (code %1)").arg(result);
        return matrix;
    }
    matrix.Rows = symbol->rows;
    matrix.Columns = symbol->width;
    if (matrix.Rows <= 0 || matrix.Columns <= 0) {
        matrix.Error = QStringLiteral("libzint gave an empty symbol");
        return matrix;
    }
    matrix.Text = QString::fromUtf8(reinterpret_cast<const char*>(symbol->text));
    // Rows whose height libzint leaves open (0) share the symbol's height.
    const double openRowModules = double(symbol->height) / matrix.Rows;
    matrix.RowModules.resize(std::size_t(matrix.Rows));
    matrix.Dark.resize(std::size_t(matrix.Rows) * std::size_t(matrix.Columns));
    for (int row = 0; row < matrix.Rows; ++row) {
        const double modules = symbol->row_height[row] > 0 ? symbol->row_height[row] : openRowModules;
        matrix.RowModules[std::size_t(row)] = std::max(1, int(modules + 0.5));
        // libzint keeps each row as a bit field, column c in bit c % 8 of byte c / 8.
        for (int column = 0; column < matrix.Columns; ++column)
            matrix.Dark[std::size_t(row) * std::size_t(matrix.Columns) + std::size_t(column)] =
                (symbol->encoded_data[row][column >> 3] >> (column & 7)) & 1;
    }
    return matrix;
}

} // namespace vorel
