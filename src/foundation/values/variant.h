#pragma once
// The tagged value of fields, variables, control values and expression results.
//
// Classic variant rules, as the expression language relies on them:
// - a string meets a number: the string converts to a number (a text that is
//   not a number raises EVariantError);
// - integer arithmetic widens (32 -> 64 bit -> double) instead of overflowing;
// - a date-time plus or minus a number stays a date-time; date - date is a double;
// - "/" is real division; IntDiv is integer division; both raise EZeroDivide
//   on a zero divisor.
// Null rules (the classic platform leaves them to configuration; Vorel fixes
// them, see docs/ARCHITECTURE.md):
// - Null + x = x + Null = x (so SUM, which starts from Null, sums), Null + Null = Null;
// - every other arithmetic operator with a Null operand gives Null;
// - Null = Null is true, Null = x is false for every non-Null x;
// - Null orders before every non-Null value (so MAX, starting from Null, works);
// - Empty behaves as 0 with numbers, "" with strings and false with booleans.

#include <QString>
#include <QMetaType>
#include <QVariant>
#include <cstdint>

namespace vorel {

// Type codes keep the classic values so prepared streams and forms that store
// them stay readable.
enum TVarType : std::uint16_t {
    varEmpty = 0x0000,
    varNull = 0x0001,
    varSmallint = 0x0002, // 16-bit signed
    varInteger = 0x0003,  // 32-bit signed
    varSingle = 0x0004,
    varDouble = 0x0005,
    varCurrency = 0x0006, // fixed point, 4 decimals
    varDate = 0x0007,     // days since 30 December 1899
    varBoolean = 0x000B,
    varShortInt = 0x0010, // 8-bit signed
    varByte = 0x0011,     // 8-bit unsigned
    varWord = 0x0012,     // 16-bit unsigned
    varLongWord = 0x0013, // 32-bit unsigned
    varInt64 = 0x0014,
    varString = 0x0100 // UTF-16
};

class Variant {
public:
    Variant() = default; // Empty
    Variant(bool v) : FType(varBoolean) { FInt = v ? 1 : 0; }
    Variant(int v) : FType(varInteger) { FInt = v; }
    Variant(qint64 v) : FType(varInt64) { FInt = v; }
    Variant(double v) : FType(varDouble) { FDouble = v; }
    Variant(const QString& v) : FType(varString), FString(v) {}
    Variant(QString&& v) : FType(varString), FString(std::move(v)) {}
    Variant(const char16_t* v) : FType(varString), FString(QString::fromUtf16(v)) {}
    Variant(const char* v) = delete; // say QStringLiteral / u"" to avoid encoding guesses

    static Variant Null();
    static Variant FromSmallint(qint16 v);
    static Variant FromShortInt(qint8 v);
    static Variant FromByte(quint8 v);
    static Variant FromWord(quint16 v);
    static Variant FromLongWord(quint32 v);
    static Variant FromSingle(float v);
    static Variant FromDate(double dayNumber);
    // From a double amount (rounded to 4 decimals) or the raw scaled value.
    static Variant FromCurrency(double amount);
    static Variant FromCurrencyRaw(qint64 scaledBy10000);
    // A QVariant from Qt (SQL values and the like): null QVariant -> Null,
    // QDate/QDateTime/QTime -> date-time, numbers and strings by type.
    static Variant FromQVariant(const QVariant& v);

    TVarType Type() const { return FType; }
    bool IsEmpty() const { return FType == varEmpty; }
    bool IsNull() const { return FType == varNull; }
    bool IsEmptyOrNull() const { return FType == varEmpty || FType == varNull; }
    bool IsString() const { return FType == varString; }
    bool IsNumeric() const; // any integer, float or currency type (not date, not boolean)
    bool IsOrdinal() const; // integer types and boolean
    bool IsFloat() const { return FType == varSingle || FType == varDouble; }
    bool IsInteger() const;

    // Conversions. The strict ones raise EVariantError "Could not convert
    // variant of type (X) into type (Y)"; Null converts strictly to nothing.
    QString ToString() const;       // Null and Empty give ""
    QString ToStrictString() const; // Empty gives "", Null raises
    double ToDouble() const;        // strict; Empty gives 0; a date gives its day number
    qint64 ToInt64() const;         // strict; floats rounded half to even
    int ToInt() const;              // strict; raises when out of the 32-bit range
    bool ToBool() const;            // strict; numbers: non-zero; strings "True"/"False" or numbers
    qint64 CurrencyRaw() const;     // the scaled value of a currency variant, else converted
    QVariant ToQVariant() const;

    // The classic type name: "Empty", "Null", "Integer", "String", "Date", ...
    static QString TypeName(TVarType type);

    // Arithmetic with the rules above.
    friend Variant operator+(const Variant& a, const Variant& b);
    friend Variant operator-(const Variant& a, const Variant& b);
    friend Variant operator*(const Variant& a, const Variant& b);
    friend Variant operator/(const Variant& a, const Variant& b);
    static Variant IntDiv(const Variant& a, const Variant& b);
    Variant Negate() const;

    // Equality as the expression language's "=": Null equals only Null;
    // a string and a number compare as numbers; strings compare exactly.
    bool Equals(const Variant& other) const;
    // -1, 0, 1. Strings compare by the locale's collation, except that equal
    // texts are always 0; a string and a number compare as numbers.
    int Compare(const Variant& other) const;
    // Same type and same value (no conversions): used to detect value
    // changes where "1" and 1 must count as different.
    bool Identical(const Variant& other) const;

    friend bool operator==(const Variant& a, const Variant& b) { return a.Equals(b); }
    friend bool operator!=(const Variant& a, const Variant& b) { return !a.Equals(b); }
    friend bool operator<(const Variant& a, const Variant& b) { return a.Compare(b) < 0; }
    friend bool operator>(const Variant& a, const Variant& b) { return a.Compare(b) > 0; }
    friend bool operator<=(const Variant& a, const Variant& b) { return a.Compare(b) <= 0; }
    friend bool operator>=(const Variant& a, const Variant& b) { return a.Compare(b) >= 0; }

private:
    [[noreturn]] void CastError(TVarType target) const;
    TVarType FType = varEmpty;
    union {
        qint64 FInt = 0; // integers, boolean (0/1), currency scaled by 10000
        double FDouble;  // single, double, date
    };
    QString FString;
};

} // namespace vorel

Q_DECLARE_METATYPE(vorel::Variant)
