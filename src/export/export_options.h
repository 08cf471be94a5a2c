#pragma once
// A filter's options by name: its published properties (Q_PROPERTYs),
// listed and set from text, so that a command line or a configuration file
// can reach options the filters publish without knowing each filter.
//
// The options of a filter are the published properties from TKVXExport
// down (the component's Name and Tag are not export options) whose type
// reads from one text: booleans, integers, numbers, texts, single
// characters and enumerations registered with the meta-object system.
// Object properties (Properties, the document properties) are not options.

#include "foundation/values/errors.h"

#include <QList>
#include <QMetaObject>
#include <QString>
#include <QStringList>

namespace vorel {

class TKVXExport;

// A name that is no option of the filter, or a text its option does not
// take. The message names the filter, the option and what is allowed.
class EKVXExportOptionError : public EKVXError {
public:
    using EKVXError::EKVXError;
};

struct TKVXExportOption {
    QString Name;
    // "boolean", "integer", "number", "text", "character" or, for an
    // enumeration, its type name ("TKVXECompression").
    QString Type;
    QString Default;    // as text, from a freshly constructed filter
    QStringList Values; // an enumeration's value names, in declaration order
};

// The options of a filter class (derived from TKVXExport; anything else
// raises EKVXError) in declaration order, base classes first.
QList<TKVXExportOption> KVXExportOptions(const QMetaObject* exportClass);

// Sets the option `name` (any case) from text:
// - booleans: true, false, yes, no, 1, 0 (any case);
// - integers and numbers: decimal, in the C locale ("2.5");
// - characters: exactly one, or "\t" for a tab;
// - enumerations: a value name with or without its lower-case prefix
//   ("seFlate" or "Flate"), any case.
// Raises EKVXExportOptionError naming the filter, the option and the
// allowed values or type; the filter is then unchanged.
void SetKVXExportOption(TKVXExport& filter, const QString& name, const QString& value);

} // namespace vorel
