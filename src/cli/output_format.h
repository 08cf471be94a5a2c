#pragma once
// Which writer an output gets: a registered export filter or the prepared
// report (.zpg), named by --format or by the output file's extension.

#include <QMetaObject>
#include <QString>

namespace vorel::cli {

struct TOutputFormat {
    bool Prepared = false;                     // a saved prepared report (.zpg)
    const QMetaObject* ExportClass = nullptr;  // else: the export filter
};

// `name` matches a filter's extension ("pdf", ".PDF"), its class name or its
// English format name, or "zpg"/"prepared"; without a name the output's
// extension decides. Raises EKVXError naming what did not match and listing
// the formats.
TOutputFormat ChooseOutputFormat(const QString& name, const QString& outputFile);

} // namespace vorel::cli
