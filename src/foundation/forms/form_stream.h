#pragma once
// The classic component stream as a tree of plain values, with its compact
// binary form ("TPF0"), its readable text form ("object Name: Class ... end")
// and the 16-bit resource header that wraps the binary form in a form file.
//
// Both forms read into and write from the same FormComponent tree, so
// converting one into the other never looks at live objects; form_objects.h
// bridges the tree and components. docs/FORM_FILES.md describes the formats.

#include "foundation/values/errors.h"
#include "foundation/values/limits.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace vorel {

// The value kinds of the stream, by their byte codes.
enum TValueType : std::uint8_t {
    vaNull = 0, // also the end of a list (property list, list, collection, set of children)
    vaList = 1,
    vaInt8 = 2,
    vaInt16 = 3,
    vaInt32 = 4,
    vaExtended = 5, // 80-bit x87 extended
    vaString = 6, // byte count (8-bit) + 8-bit characters
    vaIdent = 7,
    vaFalse = 8,
    vaTrue = 9,
    vaBinary = 10, // byte count (32-bit) + bytes
    vaSet = 11,
    vaLString = 12, // byte count (32-bit) + 8-bit characters
    vaNil = 13,
    vaCollection = 14,
    vaSingle = 15,
    vaCurrency = 16, // 64-bit integer scaled by 10000
    vaDate = 17, // double, days since 30 December 1899
    vaWString = 18, // UTF-16 unit count (32-bit) + UTF-16LE
    vaInt64 = 19,
    vaUTF8String = 20, // byte count (32-bit) + UTF-8
    vaDouble = 21
};
constexpr std::uint8_t kLastValueType = vaDouble;
// The classic name of a value kind ("vaInt8"), for messages.
QString ValueTypeName(TValueType kind);

// Filer flags of a component entry (the optional prefix byte 0xF0 | flags).
enum TFilerFlag : std::uint8_t { ffInherited = 1, ffChildPos = 2, ffInline = 4 };

struct FormProperty;
struct FormCollectionItem;

// One typed value. Which members carry it depends on Kind:
// - vaInt8/16/32/64: Int;  vaCurrency: Int (the amount scaled by 10000);
// - vaSingle, vaDouble, vaDate: Int holds the raw IEEE bits (32 or 64);
// - vaExtended: Extended holds the 10 raw bytes (little-endian);
// - vaString, vaLString, vaUTF8String: Bytes as stored, Text decoded;
// - vaWString: Text;  vaIdent: Text;  vaBinary: Bytes;  vaSet: Set;
// - vaList: List;  vaCollection: Items;  vaNull, vaNil, vaFalse, vaTrue: nothing.
// Keeping the raw stored form makes binary -> tree -> binary exact.
struct FormValue {
    TValueType Kind = vaNull;
    std::int64_t Int = 0;
    std::array<std::uint8_t, 10> Extended{};
    QString Text;
    QByteArray Bytes;
    QStringList Set;
    std::vector<FormValue> List;
    std::vector<FormCollectionItem> Items;

    // Canonical constructors: the kind the classic writer chooses.
    static FormValue Integer(std::int64_t v); // smallest of vaInt8/16/32/64
    // ASCII: vaString up to 255 bytes, else vaLString; other text: vaUTF8String
    // when its UTF-8 form is shorter than its UTF-16 form, else vaWString.
    static FormValue String(const QString& text);
    // "True"/"False"/"Null"/"nil" (any case) become vaTrue/vaFalse/vaNull/vaNil.
    static FormValue Ident(const QString& ident);
    static FormValue Boolean(bool v);
    static FormValue Simple(TValueType kind); // vaNull, vaNil, vaFalse, vaTrue
    static FormValue Float(long double v); // vaExtended
    static FormValue Single(float v);
    static FormValue Double(double v);
    static FormValue Date(double dayNumber);
    static FormValue CurrencyRaw(std::int64_t scaledBy10000);
    static FormValue Binary(const QByteArray& bytes);
    static FormValue SetOf(const QStringList& names);
    static FormValue ListOf(std::vector<FormValue> items);
    static FormValue Collection(std::vector<FormCollectionItem> items);

    bool IsInteger() const { return Kind == vaInt8 || Kind == vaInt16 || Kind == vaInt32 || Kind == vaInt64; }
    bool IsString() const { return Kind == vaString || Kind == vaLString || Kind == vaWString || Kind == vaUTF8String; }
    bool IsFloat() const
    {
        return Kind == vaExtended || Kind == vaSingle || Kind == vaDouble || Kind == vaDate || Kind == vaCurrency;
    }
    // The number of a float kind (currency as its amount), or of an integer kind.
    long double ToLongDouble() const;
    double ToDouble() const { return double(ToLongDouble()); }

    // Same kind and same stored payload (floats compare by their bits).
    friend bool operator==(const FormValue& a, const FormValue& b);
};

struct FormProperty {
    QString Name; // dotted for nested objects: "Font.Name"
    FormValue Value;
    std::int64_t Offset = -1; // byte offset of the property in its source
    int Line = 0; // line in a text source, 0 for binary

    friend bool operator==(const FormProperty& a, const FormProperty& b)
    {
        return a.Name == b.Name && a.Value == b.Value;
    }
};

struct FormCollectionItem {
    bool HasOrder = false; // the optional integer before the item
    FormValue Order;
    std::vector<FormProperty> Properties;
    std::int64_t Offset = -1;
    int Line = 0;

    friend bool operator==(const FormCollectionItem& a, const FormCollectionItem& b)
    {
        return a.HasOrder == b.HasOrder && (!a.HasOrder || a.Order == b.Order) && a.Properties == b.Properties;
    }
};

// One component entry: class name, component name, properties, children.
struct FormComponent {
    std::uint8_t Flags = 0; // TFilerFlag bits
    FormValue ChildPos; // an integer kind, meaningful when Flags has ffChildPos
    QString ClassName;
    QString Name;
    std::vector<FormProperty> Properties;
    std::vector<FormComponent> Children;
    // False while the entry's closing marker has not been read: a reader that
    // failed leaves the entries it had begun incomplete.
    bool Complete = false;
    std::int64_t Offset = -1;
    int Line = 0;

    friend bool operator==(const FormComponent& a, const FormComponent& b);
};

// --- 80-bit extended --------------------------------------------------------------------
// Exact both ways for every double; 80-bit values that no double holds are
// rounded to the nearest double by ExtendedToDouble but kept exactly by
// ExtendedToLongDouble where long double has at least 64 mantissa bits.
std::array<std::uint8_t, 10> LongDoubleToExtended(long double v);
long double ExtendedToLongDouble(const std::array<std::uint8_t, 10>& bytes);

// --- binary form ------------------------------------------------------------------------

struct FormParseOptions {
    // Decodes the 8-bit characters of vaString and vaLString values (and of
    // names that are not valid UTF-8). The default is Windows-1252.
    std::function<QString(QByteArrayView)> DecodeAnsi;
    // Added to every offset in messages and in the tree, so that they count
    // from the start of the file rather than of the stream.
    std::int64_t BaseOffset = 0;
    // Nesting deeper than this (components, lists, collections) is refused.
    int MaxDepth = 256;
    // A form with more component entries than this is refused: creating a
    // component costs far more than its entry's bytes.
    std::int64_t MaxComponents = limits::kFormComponents;
};

// "TPF0" followed by the root entry.
QByteArray WriteFormBinary(const FormComponent& root);
// Reads "TPF0" and one component entry. Malformed input raises EStreamError
// "Error reading <component>.<property> at offset N: <reason>"; `root` then
// holds everything read before the failure. Bytes after the entry are ignored.
void ReadFormBinary(QByteArrayView data, FormComponent& root, const FormParseOptions& options = {});

// --- text form --------------------------------------------------------------------------

// The readable form: 7-bit ASCII, two spaces per level, CR LF line ends.
QByteArray WriteFormText(const FormComponent& root);
// Reads the readable form (CR LF, LF or CR line ends). Errors name the line and offset.
void ReadFormText(QByteArrayView text, FormComponent& root, const FormParseOptions& options = {});

// --- resource wrapper -------------------------------------------------------------------

// 0xFF, type 10 (RCDATA) as 16 bits, the name in upper case and a zero
// byte, flags 0x1030 as 16 bits, the data size as 32 bits, then the data.
QByteArray WrapFormResource(const QString& name, QByteArrayView data);
struct FormResource {
    QString Name; // as stored (upper case), or "#<id>" for a numeric name
    std::int64_t DataOffset = 0; // offset of the data within the input
    std::int64_t DataSize = 0; // in bytes
    bool Truncated = false; // the stored size ran past the end (see below)
};
// Validates the header and the size against what remains; raises EStreamError
// otherwise, with offsets counted from `baseOffset` (where `bytes` starts in its file).
// With `allowShortData` a size past the end is cut to what remains (and
// Truncated set), so that a reader can take what a cut-off file still holds
// and report the fault where the data ends.
FormResource ReadFormResourceHeader(QByteArrayView bytes, std::int64_t baseOffset = 0, bool allowShortData = false);
bool LooksLikeFormResource(QByteArrayView bytes);

// --- recognition --------------------------------------------------------------------------

enum class FormFormat { Binary, Text, Unknown };
// Binary ("TPF0"), text ("object", "inherited" or "inline" after optional
// white space and a UTF-8 byte order mark), each with or without the resource header.
FormFormat DetectFormFormat(QByteArrayView bytes);
// Reads either form, with or without the resource header.
void ReadFormAny(QByteArrayView bytes, FormComponent& root, const FormParseOptions& options = {});

// Windows-1252 to Unicode (the default 8-bit decoder).
QString DecodeWindows1252(QByteArrayView bytes);

} // namespace vorel
