#pragma once
// The command line of vorel render, parsed and checked before any file is
// read: what is wrong here is a usage error (exit 2).

#include "data/data_binding.h"
#include "foundation/language/language.h"

#include <QList>
#include <QPair>
#include <QString>
#include <optional>

namespace vorel::cli {

struct TRenderOptions {
    QString Input;
    QString Output;
    QString Format;
    std::optional<QString> Pages;
    bool Separate = false;
    QList<QPair<QString, QString>> Params;
    QList<TDataBinding> Data;
    QList<QPair<QString, QString>> ExportOptions; // --option NAME=VALUE, in command-line order
    bool TwoPass = false;
    std::optional<TKVXLangID> Language;
    bool Quiet = false;
    // --memory-limit: bytes of prepared pages kept in memory before they
    // spill to a scratch file (none given: the library's default).
    std::optional<qint64> MemoryLimit;
    // --threads: 1 runs everything on one thread; 0 (none given): as many
    // as help (two: the export beside the preparation).
    int Threads = 0;
};

// Thrown for wrong usage (exit 2), as opposed to bad input (EKVXError, exit 1).
struct UsageError {
    QString Message;
};

// "--name value" and "--name=value" alike; "--" ends the options. An option
// that takes one value may be given once; a flag takes no value; a value is
// never empty.
TRenderOptions ParseRenderOptions(const QStringList& args);

} // namespace vorel::cli
