#pragma once
// Which writer an output gets, by name: a registered export filter or the
// prepared report (.zpg); and the filter's options given as text (the
// command line's --option NAME=VALUE, vorel::Report::exportTo's options),
// checked before any work is done.

#include "export/export_options.h"

#include <QList>
#include <QMetaObject>
#include <QPair>
#include <QString>
#include <QStringList>
#include <optional>

namespace vorel {

class TKVXExport;

struct TOutputFormat {
    bool Prepared = false;                     // a saved prepared report (.zpg)
    const QMetaObject* ExportClass = nullptr;  // else: the export filter
    QString Name;                              // its extension in lower case ("pdf", "zpg")
};

using TExportOptionList = QList<QPair<QString, QString>>; // name, value as text

// The format `name` names: a filter's extension ("pdf", ".PDF"), its class
// name or its English format name (unless extensionOnly), or "zpg" /
// "prepared". Names are not case-sensitive. None when nothing matches.
std::optional<TOutputFormat> FindOutputFormat(const QString& name, bool extensionOnly = false);

// The names FindOutputFormat takes, one per format: "zpg", then each
// registered filter's extension in lower case, in registration order.
QStringList OutputFormatNames();

// Whether ExportTo sets the option itself (OffsetX, OffsetY: it places
// every page), so that it is no option of a run.
bool IsPlacedByExport(const QString& name);

// The options of a run of the filter class: its options but those ExportTo
// sets, with the defaults a run gets (PDF: Flate-compressed at zlib's
// fastest level, Compression=seFlate and CompressionMethod=cmFastest, which
// every reader takes and which makes files several times smaller than the
// filter's own ASCIIHex default).
QList<TKVXExportOption> OutputFormatOptions(const QMetaObject* exportClass);

// The run's defaults the given options do not name, then the given ones in
// their order. A prepared report has no options (the list stays as given).
TExportOptionList WithDefaultExportOptions(const TOutputFormat& format, const TExportOptionList& given);

// Tries one option on a filter of the format (a trial instance, which it
// changes): raises EKVXError for a name the run does not offer ("the pdf
// format has no option X (its options: ...)") or a value the filter does
// not take (the filter's message naming what is allowed). A prepared
// report takes no option ("a prepared report (zpg) has no options").
void CheckExportOption(const TOutputFormat& format, TKVXExport* trial, const QString& name, const QString& value);

// Sets the options on a filter, in order.
void SetExportOptions(TKVXExport& filter, const TExportOptionList& options);

// Whether the options make the format's filter a data export (the CSV or
// XLSX filter's Mode dmData), which reads the data a preparation records beside
// the pages (TKVPrintBaseComponent::SetDataRecords).
bool ExportWantsDataRecords(const TOutputFormat& format, const TExportOptionList& options);

} // namespace vorel
