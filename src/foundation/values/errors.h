#pragma once
// One exception family for every failure the library raises. Messages are the
// system's own texts (mostly from the language tables) and name what failed.

#include <QString>
#include <exception>
#include <string>

namespace vorel {

class EKVXError : public std::exception {
public:
    explicit EKVXError(QString message) : FMessage(std::move(message)), FUtf8(FMessage.toStdString()) {}
    const char* what() const noexcept override { return FUtf8.c_str(); }
    const QString& Message() const noexcept { return FMessage; }

private:
    QString FMessage;
    std::string FUtf8;
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
