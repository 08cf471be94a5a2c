#pragma once
// One exception family for every failure the library raises. Messages are the
// system's own texts (mostly from the language tables) and name what failed.

#include <QString>
#include <exception>
#include <string>

namespace vorel {

// Where an error arose, as data beside the message, so that a caller (the
// command-line tool, an application, a designer) can point at the place
// instead of parsing the text. Each layer fills what it knows and leaves
// the rest; a field not known keeps its empty value.
struct TErrorPlace {
    QString File;            // the form, prepared report or data file read
    qint64 Line = 0;         // 1-based line of a text form or CSV file; 0: unknown
    qint64 Offset = -1;      // byte offset in a binary form or stream; -1: unknown
    QString Component;       // component path, e.g. "Report1.Detail1.Expression3"
    QString Band;            // the band being printed, e.g. "Detail1"
    QString Control;         // the control being printed, e.g. "Expression3"
    QString Property;        // the property read or evaluated, e.g. "Expression"
    QString Expression;      // the expression's text
    int Position = -1;       // 0-based position in Expression; -1: unknown

    bool IsEmpty() const
    {
        return File.isEmpty() && Line == 0 && Offset < 0 && Component.isEmpty() && Band.isEmpty() &&
               Control.isEmpty() && Property.isEmpty() && Expression.isEmpty() && Position < 0;
    }

    // Each field of `outer` that is still unknown here (a position only
    // with its expression). Layers that catch and rethrow use it: what an
    // inner layer filled stays.
    void Fill(const TErrorPlace& outer);

    // The place in words, from what is known ("" when nothing is), e.g.
    //   Detail1.Amount.Expression "[amount] +* 2" at character 11
    //   Variables[Total].Expression "SUM([amount])"
    //   orders.csv, line 12
    //   report.kvx, offset 418, SalesReport.Detail1.Font.Height
    // The character counts from 1 (Position + 1), as editors count columns.
    QString Describe() const;
};

class EKVXError : public std::exception {
public:
    explicit EKVXError(QString message) : FMessage(std::move(message)), FUtf8(FMessage.toStdString()) {}
    EKVXError(QString message, TErrorPlace place)
        : FMessage(std::move(message)), FUtf8(FMessage.toStdString()), FPlace(std::move(place))
    {
    }
    const char* what() const noexcept override { return FUtf8.c_str(); }
    const QString& Message() const noexcept { return FMessage; }
    // Where the error arose; layers that catch and rethrow add what they know.
    const TErrorPlace& Place() const noexcept { return FPlace; }
    TErrorPlace& Place() noexcept { return FPlace; }

private:
    QString FMessage;
    std::string FUtf8;
    TErrorPlace FPlace;
};

// Raised by the data-access layer and by the expression language
// (DatabaseError / DatabaseErrorFmt of the classic framework).
class EDatabaseError : public EKVXError {
public:
    using EKVXError::EKVXError;
};

// A value that cannot be converted to the requested type, e.g.
// "Could not convert variant of type (String) into type (Double)".
class EVariantError : public EKVXError {
public:
    using EKVXError::EKVXError;
};

class EConvertError : public EKVXError {
public:
    using EKVXError::EKVXError;
};

// Integer or real division by zero.
class EZeroDivide : public EKVXError {
public:
    using EKVXError::EKVXError;
};

// A class name that was never registered, a stream that is too short or
// malformed, a file that cannot be read.
class EClassNotFound : public EKVXError {
public:
    using EKVXError::EKVXError;
};

class EStreamError : public EKVXError {
public:
    using EKVXError::EKVXError;
};

class EListError : public EKVXError {
public:
    using EKVXError::EKVXError;
};

[[noreturn]] void DatabaseError(const QString& message);
// Formats with %s / %d placeholders in order, like the classic Format.
[[noreturn]] void DatabaseErrorFmt(const QString& format, std::initializer_list<QString> args);

// Replaces %s, %d, %u, %x and %% in order with the given arguments (already
// rendered as text). A placeholder without an argument stays as it stands.
QString FormatText(const QString& format, std::initializer_list<QString> args);

} // namespace vorel
