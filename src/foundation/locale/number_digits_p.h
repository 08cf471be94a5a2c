#pragma once
// Decimal digits of a double, the working form of every number renderer.
//
// A value is taken at 15 significant digits (what a double reliably holds)
// and then rounded on those decimal digits, halves away from zero. So 2.675,
// stored as 2.67499999999999982236431605997495353221893310546875, renders with
// two decimals as "2.68", as the person who typed 2.675 expects, and the text
// round trip FloatToStrG -> TryStrToFloat -> FormatFloat gives the same result
// as formatting the double itself.

#include <QString>

namespace vorel::detail {

struct DecimalDigits {
    char Digits[24] = {}; // significant digits '0'..'9', no trailing zeros
    int Count = 0;        // 0 for zero
    int Exponent = 0;     // value = 0.Digits x 10^Exponent
    bool Negative = false;

    bool IsZero() const { return Count == 0; }
};

// A finite double at 15 significant digits.
DecimalDigits ToDecimalDigits(double value);
// The same through the C++ library's exact decimal conversion, the path
// ToDecimalDigits takes for values that are no short decimal; the two agree
// on every value (tests compare them).
DecimalDigits ToDecimalDigitsByText(double value);
// Rounds half away from zero so that at most `decimals` digits follow the
// decimal point (a negative count rounds to tens, hundreds, ...).
void RoundToDecimals(DecimalDigits& d, int decimals);
// Rounds half away from zero to at most `count` significant digits (>= 1).
void RoundToSignificant(DecimalDigits& d, int count);
// The digits as a double again (exact decimal to nearest double).
double FromDecimalDigits(const DecimalDigits& d);

// Writes the integer digits of d (at least minDigits, zero-padded), grouped
// by `thousands` every three digits when it is not null.
void AppendIntegerDigits(QString& out, const DecimalDigits& d, int minDigits, QChar thousands);
// The i-th digit after the decimal point (0-based), '0' past the digits.
char FractionDigit(const DecimalDigits& d, int i);

// FloatToStrG and FormatFloat with the separators given directly, so that a
// caller overriding them needs no copy of the whole settings record.
QString FloatToStrGSep(double value, QChar decimalSeparator);
bool TryStrToFloatSep(QStringView text, double& value, QChar decimalSeparator);
QString FormatFloatSep(QStringView pattern, double value, QChar decimalSeparator, QChar thousandSeparator);

} // namespace vorel::detail
