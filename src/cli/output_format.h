#pragma once
// Which writer an output gets: a registered export filter or the prepared
// report (.zpg), named by --format or by the output file's extension.

#include <QList>
#include <QMetaObject>
#include <QPair>
#include <QString>

namespace vorel::cli {

struct TOutputFormat {
    bool Prepared = false;                     // a saved prepared report (.zpg)
    const QMetaObject* ExportClass = nullptr;  // else: the export filter
    QString Name;                              // its extension in lower case ("pdf", "zpg")
};

using TExportOptionList = QList<QPair<QString, QString>>; // name, value as text

// `name` matches a filter's extension ("pdf", ".PDF"), its class name or its
// English format name, or "zpg"/"prepared"; without a name the output's
// extension decides. Raises EKVXError naming what did not match and listing
// the formats.
TOutputFormat ChooseOutputFormat(const QString& name, const QString& outputFile);

// The options render gives the format's filter: render's own defaults
// (PDF: Compression=seFlate) unless the command line names them, then the
// command line's, in its order. Each is tried on a fresh filter, so what
// the filter would refuse is a UsageError before any work: a name it lacks
// (naming the format and listing its options) or a value it does not take
// (naming the option, the value and what is allowed). A prepared report
// takes no options.
TExportOptionList RenderExportOptions(const TOutputFormat& format, const TExportOptionList& given);

} // namespace vorel::cli
